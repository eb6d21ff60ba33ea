#pragma once
#include <QImage>
#include <QSize>
#include <vector>

namespace tessilor {

// The orientation (tag 0x0112) of an EXIF block in TIFF layout, as JPEG's
// APP1 (after "Exif\0\0"), PNG's eXIf and WebP's EXIF carry it: 1..8, or 1
// when absent or unreadable.
int exifOrientation(const uchar *tiff, qint64 length);

// A picture put together from its rows as stored and turned upright by its
// EXIF orientation as they arrive: the rows land where the upright picture
// has them, so no turned copy of the whole picture is ever made.
class UprightImage
{
public:
    // The stored size. False when the picture's memory cannot be had.
    bool start(QSize stored, int orientation);
    // Where stored row y goes: the stored width of 0xFFRRGGBB pixels.
    QRgb *row(int y);
    // Stored row y is complete (rows come in order, top first).
    void rowDone(int y);
    // The upright picture, Format_RGB32.
    QImage take() { return std::move(m_image); }

private:
    void placeBand(int firstRow, int rows);

    QImage m_image;
    QSize m_stored;
    int m_orientation = 1;
    std::vector<QRgb> m_band; // turned a quarter: a band of stored rows
    int m_bandRows = 0;
};

} // namespace tessilor
