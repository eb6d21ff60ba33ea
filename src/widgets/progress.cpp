#include "widgets/progress.h"

#include "base/numparse.h"
#include "widgets/panel3d.h"

#include <QLinearGradient>
#include <QPainter>

namespace tessilor {

namespace {

// The bar bitmap, 100 x 16 pixels, stretched over the bar rectangle.
const QImage &barBitmap()
{
    static const QImage bitmap = [] {
        QImage img(100, 16, QImage::Format_RGB32);
        QPainter p(&img);
        QLinearGradient g(0, 0, 0, 16);
        g.setColorAt(0.0, QColor(0x6a, 0x9e, 0xe6));
        g.setColorAt(0.5, QColor(0x1c, 0x5c, 0xc8));
        g.setColorAt(1.0, QColor(0x0a, 0x24, 0x6a));
        p.fillRect(img.rect(), g);
        return img;
    }();
    return bitmap;
}

} // namespace

Progress::Progress(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Progress"));
    resize(sizeHint());
}

void Progress::SetPercent(double p)
{
    const int value = roundHalfEvenTo16(p);
    if (value == m_percent)
        return;
    m_percent = value;
    update();
}

FrameLines Progress::frameTwips() const
{
    return frameLines(int(pixelsToTwips(width())), int(pixelsToTwips(height())));
}

float Progress::barWidthTwips() const
{
    return progressBarWidth(int(pixelsToTwips(width())), m_percent);
}

QRectF Progress::barRectTwips() const
{
    return QRectF(kProgressBarInsetTwips, kProgressBarInsetTwips, barWidthTwips(),
                  progressBarHeight(int(pixelsToTwips(height()))));
}

QSize Progress::sizeHint() const
{
    return QSize(twipsToPixels(1485), twipsToPixels(270));
}

void Progress::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    paintEtchedFrame(p, size(), palette());
    const QRectF bar = barRectTwips();
    const int w = twipsToPixels(bar.width());
    const int h = twipsToPixels(bar.height());
    // A negative percentage cannot be shown; it leaves the bar empty.
    if (w <= 0 || h <= 0)
        return;
    p.drawImage(QRect(twipsToPixels(bar.x()), twipsToPixels(bar.y()), w, h), barBitmap());
}

} // namespace tessilor
