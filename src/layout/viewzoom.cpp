#include "layout/viewzoom.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tessilor::viewzoom {

namespace {

constexpr std::array<double, 25> kSteps = {0.02, 0.03, 0.05, 0.07, 0.1,  0.15, 0.2, 0.25, 0.33, 0.5, 0.67, 0.75, 0.9,
                                           1.0,  1.1,  1.25, 1.5,  1.75, 2.0,  2.5, 3.0,  4.0,  5.0, 6.0,  8.0};
// Zooms this close count as the same step.
constexpr double kSame = 1e-6;

} // namespace

double bounded(double zoom)
{
    if (!(zoom > 0) || !std::isfinite(zoom))
        return 1.0;
    return std::clamp(zoom, kMinZoom, kMaxZoom);
}

double stepIn(double zoom)
{
    zoom = bounded(zoom);
    for (double s : kSteps) {
        if (s > zoom * (1 + kSame))
            return s;
    }
    return kMaxZoom;
}

double stepOut(double zoom)
{
    zoom = bounded(zoom);
    for (auto it = kSteps.rbegin(); it != kSteps.rend(); ++it) {
        if (*it < zoom * (1 - kSame))
            return *it;
    }
    return kMinZoom;
}

double fitting(QSizeF document, QSize viewport)
{
    if (document.width() <= 0 || document.height() <= 0 || viewport.width() <= 0 || viewport.height() <= 0)
        return 1.0;
    return bounded(std::min(viewport.width() / document.width(), viewport.height() / document.height()));
}

int scrollRange(double documentLength, double zoom, int viewportLength)
{
    const double zoomed = std::ceil(documentLength * zoom - 1e-9);
    if (!(zoomed > viewportLength))
        return 0;
    return int(std::min(zoomed - viewportLength, 1e9));
}

QPointF documentPoint(QPointF viewportPoint, QPoint scroll, double zoom)
{
    return (viewportPoint + QPointF(scroll)) / zoom;
}

QPoint scrollFor(QPointF documentPoint, QPointF viewportPoint, double zoom)
{
    return (documentPoint * zoom - viewportPoint).toPoint();
}

QRectF zoomedCaret(QRectF caretInView, QPoint scroll, double zoom)
{
    const QRectF caret = caretInView.translated(scroll);
    return QRectF(caret.topLeft() * zoom, QSizeF(std::max(1.0, caret.width() * zoom), caret.height() * zoom));
}

int scrollToShow(int scroll, double from, double to, int extent)
{
    if (from < scroll)
        return int(std::floor(from));
    if (to > scroll + extent)
        return int(std::ceil(to)) - extent;
    return scroll;
}

} // namespace tessilor::viewzoom
