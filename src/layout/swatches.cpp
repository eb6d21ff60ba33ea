#include "layout/swatches.h"

#include "base/options.h"

#include <QColor>
#include <QFont>
#include <QPainter>

namespace tessilor {

QImage makeSwatch(quint32 color)
{
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(qRgb(128, 128, 128));
    const QRgb inside = qRgb(redOf(color), greenOf(color), blueOf(color));
    for (int y = 1; y <= 14; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 1; x <= 14; ++x)
            line[x] = inside;
    }
    return img;
}

quint32 swatchColor(const QImage &swatch)
{
    if (swatch.width() <= 5 || swatch.height() <= 5)
        return 0;
    const QRgb p = swatch.pixel(5, 5);
    return rgbValue(qRed(p), qGreen(p), qBlue(p));
}

QImage makePictureSwatch()
{
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(qRgb(128, 128, 128));
    for (int y = 1; y <= 14; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 1; x <= 14; ++x)
            line[x] = QColor::fromHsv((x - 1) * 359 / 13, 200, 255 - (y - 1) * 9).rgb();
    }
    return img;
}

SwatchList::SwatchList()
{
    for (quint32 c : paletteColors())
        m_images.append(makeSwatch(c));
}

const QImage &SwatchList::image(int index) const
{
    static const QImage empty;
    if (index < 1 || index > m_images.size())
        return empty;
    return m_images[index - 1];
}

quint32 SwatchList::color(int index) const
{
    return swatchColor(image(index));
}

int SwatchList::add(const QImage &swatch)
{
    m_images.append(swatch.convertToFormat(QImage::Format_RGB32));
    return int(m_images.size());
}

QImage renderFigurePreview(const QString &family, int code, QColor background, QSize size)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(background);
    QPainter p(&img);
    QFont font(family);
    font.setPointSize(22);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRect(QPoint(0, 0), size), Qt::AlignLeft | Qt::AlignTop, QString(codePageChar(code)));
    p.end();
    return img;
}

} // namespace tessilor
