#include "widgets/panel3d.h"

#include <QPainter>
#include <QPalette>

namespace tessilor {

namespace {

QLine linePixels(const QLine &twips)
{
    return QLine(twipsToPixels(twips.x1()), twipsToPixels(twips.y1()), twipsToPixels(twips.x2()),
                 twipsToPixels(twips.y2()));
}

} // namespace

void paintEtchedFrame(QPainter &painter, const QSize &pixels, const QPalette &palette)
{
    const FrameLines f = frameLines(int(pixelsToTwips(pixels.width())), int(pixelsToTwips(pixels.height())));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    // Draw in the order of the design so the bottom and right lines lie over
    // the ends of the top and left ones.
    const QColor shadow = palette.color(QPalette::Dark);
    const QColor light = palette.color(QPalette::Light);
    const QColor highlightText = palette.color(QPalette::HighlightedText);
    auto line = [&](const QLine &l, const QColor &c) {
        painter.setPen(QPen(c, 0));
        painter.drawLine(linePixels(l));
    };
    line(f.line1, shadow);
    line(f.line4, shadow);
    line(f.line3, light);
    line(f.line2, highlightText);
    painter.restore();
}

Panel3d::Panel3d(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Panel3d"));
}

FrameLines Panel3d::frameTwips() const
{
    return frameLines(int(pixelsToTwips(width())), int(pixelsToTwips(height())));
}

QSize Panel3d::sizeHint() const
{
    return QSize(twipsToPixels(4395), twipsToPixels(30));
}

void Panel3d::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    paintEtchedFrame(p, size(), palette());
}

} // namespace tessilor
