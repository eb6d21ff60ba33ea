#pragma once
#include <QLine>
#include <QRect>
#include <QSize>
#include <QString>
#include <QtGlobal>
#include "layout/twips.h"

// Geometry of the program's own windows and controls: the image window, the
// caption strip, the progress bar and the etched panel, and the result
// window. Window arithmetic is kept in twips (1/1440 inch) as the windows'
// design gives it; widgets convert at their boundary (twips.h).
namespace tessilor {

// Rectangle in twips to whole pixels (each edge as twipsToPixels rounds it).
QRect toPixelRect(const QRect &twips);

// ---------------------------------------------------------------------------
// Caption strip shared by the image, result and print windows.

inline constexpr int kCaptionHeightTwips = 300; // strip height
inline constexpr int kCaptionBitmapWidth = 150; // active/inactive bitmap, pixels
inline constexpr int kCaptionBitmapHeight = 20;
inline constexpr int kCaptionIconLeftTwips = 75; // icon at (75, 45), 210 x 210
inline constexpr int kCaptionIconTopTwips = 45;
inline constexpr int kCaptionIconSizeTwips = 210;
inline constexpr int kCaptionTitleLeftTwips = 360; // title label left edge
inline constexpr int kCaptionButtonTopTwips = 15;  // window buttons 240 x 240
inline constexpr int kCaptionButtonSizeTwips = 240;
inline constexpr int kImageCloseFromRightTwips = 270;  // image window close button
inline constexpr int kResultCloseFromRightTwips = 280; // result window close button
inline constexpr int kResultMaxFromRightTwips = 580;   // result window max/restore

// Where a window lands when its caption strip was grabbed at grab and the
// pointer is now at pointer (both in strip coordinates): left + x - grabX,
// top + y - grabY. 64-bit intermediate, saturated to 32 bits.
QPoint captionDragTarget(const QPoint &windowPos, const QPoint &pointer, const QPoint &grab);

// ---------------------------------------------------------------------------
// Image window.

// Thickness of its scroll bars, in twips.
inline constexpr int kScrollBarTwips = 255;
// Left of the horizontal scroll bar (the zoom button sits left of it).
inline constexpr int kHScrollLeftTwips = 360;
// One scroll unit moves the display copy by this many twips.
inline constexpr int kScrollUnitTwips = 150;
// The window's size when an image has just been opened.
inline constexpr int kImageWindowStartTwips = 3000;

// One placed part of a window; valid is false when the rule gave a negative
// size, in which case the part keeps its earlier geometry.
struct PlacedRect {
    QRect rect; // twips
    bool valid = false;
};

struct ImageWindowLayout {
    PlacedRect header;      // caption strip: (0, 0, W, Hh)
    PlacedRect closeButton; // (W - 270, 15, 240, 240)
    PlacedRect viewport;    // Picture1: (0, Hh + 15, W - 255, H - Hh - 15 - 255)
    PlacedRect vScroll;     // (W - 255, 300, 255, H - Hh - 255)
    PlacedRect hScroll;     // (360, H - 255, W - 350 - 255, 255)
    PlacedRect zoomButton;  // status bar: (0, H - 255, 360, 255)
};

// Layout of the image window for a client area of width x height twips and a
// caption strip captionHeight twips high.
ImageWindowLayout imageWindowLayout(int width, int height, int captionHeight = kCaptionHeightTwips);

// Zoom menu of the image window, items 0 .. 9.
inline constexpr int kZoomItemCount = 10;
inline constexpr int kZoomFitIndex = 9;
// Caption of a zoom item ("500 %", "200 %", "-", ..., "Вписать в окно").
QString zoomCaption(int index);
// Zoom factor chosen by a caption: 5, 2, 1, 0.5, 0.25, 0.1 (single
// precision) for the percentage captions; 0 for the fit caption, the
// separators and anything else. isFit tells the fit caption apart.
float zoomFactorForCaption(const QString &caption, bool *isFit = nullptr);

// Largest display copy the image window creates: at most this many pixels a
// side and in all. A zoom beyond it is reduced, keeping the aspect ratio.
inline constexpr int kMaxDisplaySide = 16384;
inline constexpr qint64 kMaxDisplayPixels = qint64(64) * 1024 * 1024;

// Reduces a display size to the limits above, keeping the aspect ratio;
// never below 1 x 1.
QSize capDisplaySize(qint64 width, qint64 height);

// The zoom a display copy really shows of its source, in whole percent,
// measured along the longer side (0 for an empty source).
int shownZoomPercent(const QSize &sourcePixels, const QSize &displayPixels);

// Display size in pixels for a percentage zoom: the source's twips times the
// factor in single precision, back to pixels rounded half to even, at least
// one pixel, capped by capDisplaySize.
QSize zoomDisplaySize(const QSize &sourcePixels, float factor);

// Fit to window: the source's size (twips) limited to the viewport's width,
// then to its height, keeping the aspect ratio, in single precision; never
// enlarged. Returned in pixels (rounded half to even, at least one pixel).
QSize fitDisplaySize(const QSize &sourcePixels, const QSize &viewportTwips);

// After a percentage zoom: when the display copy is narrower and lower than
// the viewport, the window shrinks to display + 395 wide and
// display + 255 + captionHeight + 15 + 120 high (twips); it is never
// enlarged. Returns the window's new outer size, or the old one unchanged.
QSize shrinkWindowSize(const QSize &windowTwips, const QSize &displayTwips, const QSize &viewportTwips,
                       int captionHeight = kCaptionHeightTwips);

// Scroll range: (display - viewport) / 150 twips rounded half to even, never
// negative. 64-bit arithmetic, saturated to 32 bits.
qint32 scrollMaximum(qint64 displayTwips, qint64 viewportTwips);

// Pan offset of the display copy for a scroll value: -150 * value twips,
// saturated to 32 bits (never overflows).
qint32 panOffsetTwips(qint64 scrollValue);
// The same in pixels (-10 * value).
qint32 panOffsetPixels(qint64 scrollValue);

// Values the image window publishes after the display copy changed size.
struct PublishedSize {
    float aspect = 0;      // ImageAspect = pw / ph, single precision
    QString textColumns;   // 2 * pw
    QString textRows;      // ph
    QString figureColumns; // Int(pw / 1.4)
    QString figureRows;    // Int(ph / 1.4)
};
// pw, ph: display copy in pixels (both positive).
PublishedSize publishedSize(int pw, int ph);

// ---------------------------------------------------------------------------
// Progress bar and etched panel (frame of four lines, twips).

struct FrameLines {
    QLine line1; // top, 3-D shadow
    QLine line2; // bottom, highlight text
    QLine line3; // right, 3-D highlight
    QLine line4; // left, 3-D shadow
};
// Frame of a control width x height twips: top (15, 0)-(W-15, 0), right
// (W-15, 0)-(W-15, H-15), bottom (0, H-15)-(W, H-15), left (0, 0)-(0, H-30).
FrameLines frameLines(int width, int height);

// Progress bar inside the frame: left 15, top 15, height H - 30, width
// (W - 30) / 100 * percent in single precision (not clamped).
inline constexpr int kProgressBarInsetTwips = 15;
float progressBarWidth(int width, int percent);
int progressBarHeight(int height);

// ---------------------------------------------------------------------------
// Result window (inner width x height twips).

struct ResultWindowLayout {
    int headerWidth = 0;     // caption strip width = inner width
    QPoint closeButton;      // (w - 280, 15), twips
    QPoint maxRestoreButton; // (w - 580, 15), twips
    QRect editPixels;        // richText: 0, 21, Int(w / 15), Int(h / 15) - 21 (pixels)
};
ResultWindowLayout resultWindowLayout(int innerWidth, int innerHeight);

} // namespace tessilor
