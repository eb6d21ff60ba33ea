#include "document/artimage.h"

#include "document/fastdeflate.h"

#include <QAbstractTextDocumentLayout>
#include <QIODevice>
#include <QPainter>
#include <QTextDocument>
#include <QTextOption>
#include <algorithm>
#include <cmath>
#include <deque>
#include <future>
#include <memory>
#include <new>
#include <vector>
#include <zlib.h>

namespace tessilor {

namespace {

// A picture at 96 dpi, the resolution the window and the document layout use.
constexpr int kDotsPerMeter96 = 3780;
// Rows drawn and compressed at a time.
constexpr int kBandRows = 256;

// The document laid out against no page width while it is drawn; an earlier
// page size comes back afterwards.
class NoPageWidth
{
public:
    explicit NoPageWidth(QTextDocument &doc) : m_doc(doc), m_page(doc.pageSize())
    {
        if (m_page.width() != 0)
            m_doc.setPageSize(QSizeF(0, m_page.height()));
    }
    ~NoPageWidth()
    {
        if (m_page.width() != 0)
            m_doc.setPageSize(m_page);
    }
    NoPageWidth(const NoPageWidth &) = delete;
    NoPageWidth &operator=(const NoPageWidth &) = delete;

private:
    QTextDocument &m_doc;
    QSizeF m_page;
};

QSize laidOutSize(QTextDocument &doc)
{
    const QSizeF s = doc.documentLayout()->documentSize();
    const double w = std::ceil(s.width());
    const double h = std::ceil(s.height());
    if (!(w >= 1) || !(h >= 1) || w > 1e9 || h > 1e9)
        return QSize();
    return QSize(int(w), int(h));
}

void drawBand(QTextDocument &doc, QImage &band, int top)
{
    band.setDotsPerMeterX(kDotsPerMeter96);
    band.setDotsPerMeterY(kDotsPerMeter96);
    band.fill(Qt::white);
    QPainter painter(&band);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(0, -top);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, Qt::black);
    context.cursorPosition = -1;
    context.clip = QRectF(0, top, band.width(), band.height());
    painter.setClipRect(context.clip);
    doc.documentLayout()->draw(&painter, context);
}

void appendBig32(std::vector<unsigned char> &out, quint32 v)
{
    out.push_back(static_cast<unsigned char>(v >> 24));
    out.push_back(static_cast<unsigned char>(v >> 16));
    out.push_back(static_cast<unsigned char>(v >> 8));
    out.push_back(static_cast<unsigned char>(v));
}

// Writes one PNG chunk: length, type, data, CRC.
bool writeChunk(QIODevice &out, const char type[4], const unsigned char *data, size_t size)
{
    std::vector<unsigned char> head;
    appendBig32(head, quint32(size));
    head.insert(head.end(), type, type + 4);
    uLong crc = crc32(0, reinterpret_cast<const Bytef *>(type), 4);
    if (size > 0)
        crc = crc32_z(crc, data, size);
    std::vector<unsigned char> tail;
    appendBig32(tail, quint32(crc));
    return out.write(reinterpret_cast<const char *>(head.data()), qint64(head.size())) == qint64(head.size()) &&
           (size == 0 || out.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size)) &&
           out.write(reinterpret_cast<const char *>(tail.data()), qint64(tail.size())) == qint64(tail.size());
}

using Bytes = std::vector<unsigned char>;

// Rows from..to-1 of a band as PNG image data at out: each row the filter
// byte 0 ("None") and its pixels as red, green, blue. Unfiltered art
// compresses best: a cell's glyph repeats whole in the next cell of its
// colour, a long match, which is also the compression's fastest path.
// Returns the end of what was written.
unsigned char *packRows(const QImage &band, int from, int to, unsigned char *out)
{
    const int width = band.width();
    for (int y = from; y < to; ++y) {
        const QRgb *pixels = reinterpret_cast<const QRgb *>(band.constScanLine(y));
        *out++ = 0;
        for (int x = 0; x < width; ++x) {
            const QRgb c = pixels[x];
            out[0] = static_cast<unsigned char>(qRed(c));
            out[1] = static_cast<unsigned char>(qGreen(c));
            out[2] = static_cast<unsigned char>(qBlue(c));
            out += 3;
        }
    }
    return out;
}

// A band of the picture compressed on its own, as one piece of the image
// data's deflate stream.
struct DeflatedBand {
    Bytes bytes;
    uLong adler = 1;
    size_t length = 0; // image data bytes it holds
    bool last = false; // ends the stream
};

// Compresses rows 0..rows-1 of a band as a piece of the image data's
// deflate stream (see fastdeflate.h), the end of the previous band (its last
// 32 KiB of image data) serving as dictionary so that the cut costs next to
// nothing.
DeflatedBand deflateBand(QImage band, int rows, QImage previous, int previousRows, bool last)
{
    DeflatedBand result;
    result.last = last;
    const size_t rowBytes = size_t(band.width()) * 3 + 1;
    const int dictionaryRows = previous.isNull() ? 0 : std::min(previousRows, int((32768 + rowBytes - 1) / rowBytes));
    const size_t dictionarySize = size_t(dictionaryRows) * rowBytes;
    result.length = size_t(rows) * rowBytes;
    const std::unique_ptr<unsigned char[]> data(new unsigned char[dictionarySize + result.length]);
    if (dictionaryRows > 0)
        packRows(previous, previousRows - dictionaryRows, previousRows, data.get());
    previous = QImage();
    packRows(band, 0, rows, data.get() + dictionarySize);
    band = QImage();
    const unsigned char *image = data.get() + dictionarySize;
    result.bytes = deflatePiece(image, result.length, dictionarySize, last);
    result.adler = adler32_z(1, image, result.length);
    return result;
}

// The PNG file: signature, header, the image data as one zlib stream whose
// bands are compressed while the next bands are drawn, end.
class PngWriter
{
public:
    explicit PngWriter(QIODevice &out) : m_out(out) {}

    bool begin(int width, int height)
    {
        static const char signature[] = "\x89PNG\r\n\x1a\n";
        if (m_out.write(signature, 8) != 8)
            return false;
        Bytes header;
        appendBig32(header, quint32(width));
        appendBig32(header, quint32(height));
        header.push_back(8); // bits per channel
        header.push_back(2); // RGB
        header.push_back(0); // deflate
        header.push_back(0); // adaptive filters
        header.push_back(0); // not interlaced
        return writeChunk(m_out, "IHDR", header.data(), header.size());
    }

    // Hands the first rows of a drawn band to the compression, which takes
    // the band over; waits while two bands are still being compressed.
    bool band(const QImage &image, int rows, bool last)
    {
        m_pending.push_back(std::async(std::launch::async, deflateBand, image, rows, m_previous, m_previousRows, last));
        m_previous = image;
        m_previousRows = rows;
        while (m_pending.size() > 2 || (last && !m_pending.empty())) {
            if (!writeFront())
                return false;
        }
        return true;
    }

    bool finish() { return writeChunk(m_out, "IEND", nullptr, 0); }

private:
    bool writeFront()
    {
        DeflatedBand piece = m_pending.front().get(); // std::bad_alloc from the thread comes out here
        m_pending.pop_front();
        Bytes &bytes = piece.bytes;
        if (m_first) {
            // The zlib header: deflate, 32 KiB window, fastest level.
            bytes.insert(bytes.begin(), {0x78, 0x01});
            m_first = false;
        }
        m_adler = adler32_combine(m_adler, piece.adler, z_off_t(piece.length));
        if (piece.last)
            appendBig32(bytes, quint32(m_adler));
        return writeChunk(m_out, "IDAT", bytes.data(), bytes.size());
    }

    QIODevice &m_out;
    std::deque<std::future<DeflatedBand>> m_pending;
    QImage m_previous;
    int m_previousRows = 0;
    uLong m_adler = 1;
    bool m_first = true;
};

} // namespace

void prepareResultDocument(QTextDocument &doc)
{
    QTextOption option = doc.defaultTextOption();
    option.setWrapMode(QTextOption::NoWrap);
    doc.setDefaultTextOption(option);
    doc.setPageSize(QSizeF(0, -1));
}

QSize artImageSize(QTextDocument &doc)
{
    const NoPageWidth page(doc);
    return laidOutSize(doc);
}

void drawArtBand(QTextDocument &doc, QImage &band, int top)
{
    const NoPageWidth page(doc);
    drawBand(doc, band, top);
}

QImage renderArtImage(QTextDocument &doc)
{
    const NoPageWidth page(doc);
    const QSize size = laidOutSize(doc);
    if (size.isEmpty())
        return QImage();
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    drawBand(doc, image, 0);
    return image;
}

ArtImageError writeArtPng(QTextDocument &doc, QIODevice &out)
{
    const NoPageWidth page(doc);
    const QSize size = laidOutSize(doc);
    if (size.isEmpty())
        return ArtImageError::Empty;
    if (qint64(size.width()) * size.height() > kMaxArtPixels)
        return ArtImageError::TooLarge;
    const int bandRows = std::min(kBandRows, size.height());
    PngWriter png(out);
    try {
        if (!png.begin(size.width(), size.height()))
            return ArtImageError::WriteFailed;
        // Bands are drawn into four images in turn: while one is drawn, the
        // compression still reads the two before it (and the one before
        // those as dictionary).
        QImage bands[4];
        int turn = 0;
        for (int top = 0; top < size.height(); top += bandRows) {
            QImage &band = bands[turn++ % 4];
            if (band.isNull())
                band = QImage(size.width(), bandRows, QImage::Format_RGB32);
            if (band.isNull())
                return ArtImageError::OutOfMemory;
            drawBand(doc, band, top);
            const int rows = std::min(bandRows, size.height() - top);
            if (!png.band(band, rows, top + rows >= size.height()))
                return ArtImageError::WriteFailed;
        }
        if (!png.finish())
            return ArtImageError::WriteFailed;
    } catch (const std::bad_alloc &) {
        return ArtImageError::OutOfMemory;
    }
    return ArtImageError::None;
}

QString artImageErrorText(ArtImageError error)
{
    switch (error) {
    case ArtImageError::None:
        return QString();
    case ArtImageError::Empty:
        return QStringLiteral("результат пуст");
    case ArtImageError::TooLarge:
        return QStringLiteral("рисунок больше %1 миллионов точек; уменьшите размер шрифта или сетку")
            .arg(kMaxArtPixels / 1000000);
    case ArtImageError::OutOfMemory:
        return QStringLiteral("недостаточно памяти");
    case ArtImageError::WriteFailed:
        return QStringLiteral("файл не удаётся записать");
    }
    return QString();
}

} // namespace tessilor
