#pragma once
#include <QImage>
#include <QList>
#include <QString>

namespace tessilor {

// The text colour is kept as a 16 x 16 swatch picture: a one-pixel grey
// (128, 128, 128) border around a 14 x 14 area in the colour. The colour is
// read back from the pixel at (5, 5).
QImage makeSwatch(quint32 color);
quint32 swatchColor(const QImage &swatch); // pixel (5, 5) as r + 256 g + 65536 b

// The swatch of the colour choice "По изображению" (each character in its
// picture cell's colour): the grey border around a band of hues over
// lightness, like a small picture.
QImage makePictureSwatch();

// The list of swatches the colour button and the colour picker share: the 40
// palette colours first, then one entry per custom colour chosen since
// start-up (entries are only added). Indices are 1-based like the list.
class SwatchList
{
public:
    SwatchList();
    int count() const { return int(m_images.size()); }
    const QImage &image(int index) const; // 1-based
    quint32 color(int index) const;
    int add(const QImage &swatch); // returns the new 1-based index

private:
    QList<QImage> m_images;
};

// Picture of a figure glyph as the figure button and the picker show it:
// the character with the given code in the given family at 22 points,
// printed at the top-left corner of a surface of the given background.
QImage renderFigurePreview(const QString &family, int code, QColor background, QSize size = QSize(32, 32));

} // namespace tessilor
