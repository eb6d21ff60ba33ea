#include "layout/viewlayout.h"

#include "base/numparse.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessilor {

namespace {

qint32 saturate32(qint64 v)
{
    return qint32(std::clamp<qint64>(v, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

PlacedRect placed(qint64 x, qint64 y, qint64 w, qint64 h)
{
    PlacedRect p;
    p.valid = w >= 0 && h >= 0;
    if (p.valid)
        p.rect = QRect(saturate32(x), saturate32(y), saturate32(w), saturate32(h));
    return p;
}

// Whole pixels from a twips size in single precision, at least one pixel.
int displayPixels(float twips)
{
    return std::max(1, twipsToPixels(double(twips)));
}

const char16_t *const kZoomCaptions[kZoomItemCount] = {
    u"500 %", u"200 %", u"-", u"100 %", u"-", u"50 %", u"25 %", u"10 %", u"-", u"Вписать в окно",
};

} // namespace

QRect toPixelRect(const QRect &twips)
{
    return QRect(twipsToPixels(twips.x()), twipsToPixels(twips.y()), twipsToPixels(twips.width()),
                 twipsToPixels(twips.height()));
}

QPoint captionDragTarget(const QPoint &windowPos, const QPoint &pointer, const QPoint &grab)
{
    return QPoint(saturate32(qint64(windowPos.x()) + pointer.x() - grab.x()),
                  saturate32(qint64(windowPos.y()) + pointer.y() - grab.y()));
}

ImageWindowLayout imageWindowLayout(int width, int height, int captionHeight)
{
    const qint64 W = width, H = height, Hh = captionHeight;
    ImageWindowLayout l;
    l.header = placed(0, 0, W, Hh);
    l.closeButton =
        placed(W - kImageCloseFromRightTwips, kCaptionButtonTopTwips, kCaptionButtonSizeTwips, kCaptionButtonSizeTwips);
    l.viewport = placed(0, Hh + 15, W - kScrollBarTwips, H - Hh - 15 - kScrollBarTwips);
    l.vScroll = placed(W - kScrollBarTwips, kCaptionHeightTwips, kScrollBarTwips, H - Hh - kScrollBarTwips);
    l.hScroll = placed(kHScrollLeftTwips, H - kScrollBarTwips, W - 350 - kScrollBarTwips, kScrollBarTwips);
    l.zoomButton = placed(0, H - kScrollBarTwips, kHScrollLeftTwips, kScrollBarTwips);
    return l;
}

QString zoomCaption(int index)
{
    if (index < 0 || index >= kZoomItemCount)
        return QString();
    return QString::fromUtf16(kZoomCaptions[index]);
}

float zoomFactorForCaption(const QString &caption, bool *isFit)
{
    if (isFit)
        *isFit = false;
    if (caption == zoomCaption(0))
        return 5.0f;
    if (caption == zoomCaption(1))
        return 2.0f;
    if (caption == zoomCaption(3))
        return 1.0f;
    if (caption == zoomCaption(5))
        return 0.5f;
    if (caption == zoomCaption(6))
        return 0.25f;
    if (caption == zoomCaption(7))
        return 0.1f;
    if (caption == zoomCaption(kZoomFitIndex) && isFit)
        *isFit = true;
    return 0.0f;
}

QSize capDisplaySize(qint64 width, qint64 height)
{
    double w = double(std::max<qint64>(1, width));
    double h = double(std::max<qint64>(1, height));
    double scale = 1.0;
    scale = std::min(scale, kMaxDisplaySide / w);
    scale = std::min(scale, kMaxDisplaySide / h);
    scale = std::min(scale, std::sqrt(double(kMaxDisplayPixels) / (w * h)));
    if (scale < 1.0) {
        w = std::floor(w * scale);
        h = std::floor(h * scale);
    }
    return QSize(int(std::clamp(w, 1.0, double(kMaxDisplaySide))), int(std::clamp(h, 1.0, double(kMaxDisplaySide))));
}

int shownZoomPercent(const QSize &sourcePixels, const QSize &displayPixels)
{
    const bool wide = sourcePixels.width() >= sourcePixels.height();
    const int source = wide ? sourcePixels.width() : sourcePixels.height();
    const int display = wide ? displayPixels.width() : displayPixels.height();
    return source > 0 ? int(std::lround(100.0 * display / source)) : 0;
}

QSize zoomDisplaySize(const QSize &sourcePixels, float factor)
{
    const float tw = float(pixelsToTwips(sourcePixels.width())) * factor;
    const float th = float(pixelsToTwips(sourcePixels.height())) * factor;
    const qint64 pw = displayPixels(tw);
    const qint64 ph = displayPixels(th);
    return capDisplaySize(pw, ph);
}

QSize fitDisplaySize(const QSize &sourcePixels, const QSize &viewportTwips)
{
    const float sw = float(pixelsToTwips(sourcePixels.width()));
    const float sh = float(pixelsToTwips(sourcePixels.height()));
    const float vw = float(viewportTwips.width());
    const float vh = float(viewportTwips.height());
    float w = sw, h = sh;
    if (w >= vw) {
        w = vw;
        h = w / (sw / sh);
    }
    if (h >= vh) {
        h = vh;
        w = h / (sh / sw);
    }
    return capDisplaySize(displayPixels(w), displayPixels(h));
}

QSize shrinkWindowSize(const QSize &windowTwips, const QSize &displayTwips, const QSize &viewportTwips,
                       int captionHeight)
{
    if (!(displayTwips.width() < viewportTwips.width() && displayTwips.height() < viewportTwips.height()))
        return windowTwips;
    const int w = displayTwips.width() + kScrollBarTwips + 140;
    const int h = displayTwips.height() + kScrollBarTwips + captionHeight + 15 + 120;
    return QSize(std::min(windowTwips.width(), w), std::min(windowTwips.height(), h));
}

qint32 scrollMaximum(qint64 displayTwips, qint64 viewportTwips)
{
    const qint64 n = roundHalfEvenTo32(double(displayTwips - viewportTwips) / kScrollUnitTwips);
    return saturate32(std::max<qint64>(0, n));
}

qint32 panOffsetTwips(qint64 scrollValue)
{
    const qint64 v = std::clamp<qint64>(scrollValue, -(qint64(1) << 40), qint64(1) << 40);
    return saturate32(-kScrollUnitTwips * v);
}

qint32 panOffsetPixels(qint64 scrollValue)
{
    const qint64 v = std::clamp<qint64>(scrollValue, -(qint64(1) << 40), qint64(1) << 40);
    return saturate32(-(kScrollUnitTwips / kTwipsPerPixel) * v);
}

PublishedSize publishedSize(int pw, int ph)
{
    PublishedSize p;
    p.aspect = ph != 0 ? float(pw) / float(ph) : 0.0f;
    p.textColumns = decimalText(qint64(pw) * 2);
    p.textRows = decimalText(ph);
    p.figureColumns = decimalText(floorToInt64(pw / 1.4));
    p.figureRows = decimalText(floorToInt64(ph / 1.4));
    return p;
}

FrameLines frameLines(int width, int height)
{
    FrameLines f;
    const int x2 = width - 15;
    f.line1 = QLine(15, 0, x2, 0);
    f.line3 = QLine(x2, 0, x2, height - 15);
    f.line2 = QLine(0, height - 15, x2 + 15, height - 15);
    f.line4 = QLine(0, 0, 0, f.line2.y1() - 15);
    return f;
}

float progressBarWidth(int width, int percent)
{
    return float(width - 2 * kProgressBarInsetTwips) / 100.0f * float(percent);
}

int progressBarHeight(int height)
{
    return height - 2 * kProgressBarInsetTwips;
}

ResultWindowLayout resultWindowLayout(int innerWidth, int innerHeight)
{
    ResultWindowLayout l;
    l.headerWidth = innerWidth;
    l.closeButton = QPoint(innerWidth - kResultCloseFromRightTwips, kCaptionButtonTopTwips);
    l.maxRestoreButton = QPoint(innerWidth - kResultMaxFromRightTwips, kCaptionButtonTopTwips);
    // The text area stays inside the window: the pixels that fit.
    const int w = wholePixelsWithin(innerWidth);
    const int h = wholePixelsWithin(innerHeight);
    l.editPixels = QRect(0, 21, w, h - 21);
    return l;
}

} // namespace tessilor
