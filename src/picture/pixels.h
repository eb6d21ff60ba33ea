#pragma once
#include <QImage>
#include <QtGlobal>
#include <algorithm>
#include <vector>

// Pixels as the text conversions read them (0xFFRRGGBB, row by row) without
// a picture class, so that code linked without the GUI libraries reads them
// too.
namespace tessilor {

// A grid of pixels held elsewhere, rowStride pixels from one row to the next.
struct PixelView {
    const QRgb *pixels = nullptr;
    qsizetype rowStride = 0;
    int width = 0;
    int height = 0;
    bool isNull() const { return !pixels || width <= 0 || height <= 0; }
    const QRgb *row(int y) const { return pixels + qsizetype(y) * rowStride; }
};

// A grid of pixels of its own.
struct ColorGrid {
    int width = 0;
    int height = 0;
    std::vector<QRgb> pixels;
    bool isNull() const { return width <= 0 || height <= 0 || pixels.size() != size_t(width) * size_t(height); }
    PixelView view() const
    {
        return isNull() ? PixelView() : PixelView{pixels.data(), qsizetype(width), width, height};
    }
};

// The pixels of a Format_RGB32 or Format_ARGB32 picture; null for other
// formats. The picture must outlive the view.
inline PixelView pixelsOf(const QImage &image)
{
    if (image.isNull() || (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32))
        return PixelView();
    return PixelView{reinterpret_cast<const QRgb *>(image.constBits()), image.bytesPerLine() / qsizetype(sizeof(QRgb)),
                     image.width(), image.height()};
}

// The grid as a Format_RGB32 picture; null when it is null or memory runs
// out.
inline QImage imageOf(const ColorGrid &grid)
{
    if (grid.isNull())
        return QImage();
    QImage image(grid.width, grid.height, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    for (int y = 0; y < grid.height; ++y)
        std::copy_n(grid.pixels.data() + size_t(y) * size_t(grid.width), grid.width,
                    reinterpret_cast<QRgb *>(image.scanLine(y)));
    return image;
}

} // namespace tessilor
