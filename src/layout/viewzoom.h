#pragma once
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QSizeF>

// Arithmetic of a zoomed view of a document: the zoom steps, the zoom that
// shows the whole document, the scroll ranges and the mapping between the
// view's pixels and the document's coordinates. Zoom 1 is the document as
// laid out; the view scrolls in zoomed pixels.
namespace tessilor::viewzoom {

inline constexpr double kMinZoom = 0.02;
inline constexpr double kMaxZoom = 8.0;

// A zoom brought into [kMinZoom, kMaxZoom]; anything not a positive number
// gives 1.
double bounded(double zoom);

// The next of the usual steps (2 % .. 800 %) above or below zoom; zoom
// itself at the ends.
double stepIn(double zoom);
double stepOut(double zoom);

// The largest zoom that shows a document of this size whole in a viewport
// of this size (bounded); 1 for an empty document or viewport.
double fitting(QSizeF document, QSize viewport);

// Scroll range of one direction: what the zoomed document is longer than
// the viewport, in whole pixels (0 when it fits).
int scrollRange(double documentLength, double zoom, int viewportLength);

// Document point under a viewport point, for a scroll position in zoomed
// pixels; and the scroll position that puts a document point under a
// viewport point (not bounded by the range).
QPointF documentPoint(QPointF viewportPoint, QPoint scroll, double zoom);
QPoint scrollFor(QPointF documentPoint, QPointF viewportPoint, double zoom);

// The caret's rectangle in zoomed pixels from the document's origin, from
// the rectangle an unzoomed view scrolled by scroll gives it; at least one
// pixel wide however thin the caret is.
QRectF zoomedCaret(QRectF caretInView, QPoint scroll, double zoom);

// Scroll position of one direction that shows [from, to] (zoomed pixels) in
// a view of this length, moving as little as needed from scroll: a span that
// starts before the view brings its first pixel to the view's start, one that
// ends after it brings its last pixel to the view's end (so a span longer
// than the view shows its start if it began before the view, its end
// otherwise), and a span inside the view keeps scroll. Not bounded by the
// range.
int scrollToShow(int scroll, double from, double to, int extent);

} // namespace tessilor::viewzoom
