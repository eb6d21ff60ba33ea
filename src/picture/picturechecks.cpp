#include "picture/picturechecks.h"

#include "base/memoryprobe.h"

#include <QImage>
#include <QtEndian>
#include <QtNumeric>
#include <array>

namespace tessilor {

namespace {

quint32 le32(const uchar *p)
{
    return qFromLittleEndian<quint32>(p);
}

quint16 le16(const uchar *p)
{
    return qFromLittleEndian<quint16>(p);
}

LoadError corrupt(QString *detail, const QString &why)
{
    if (detail)
        *detail = why;
    return LoadError::Corrupt;
}

struct BmpHeader {
    qint64 dataOffset = 0;
    qint64 width = 0;
    qint64 height = 0;
    int bits = 0;
    quint32 compression = 0;
    qint64 colours = 0; // palette entries as the decoder counts them; 0 without a palette
    qint64 paletteAt = 0;
    quint32 alphaMask = 0;
};

bool readBmpHeader(const uchar *p, qint64 n, BmpHeader *h)
{
    if (n < 30)
        return false;
    h->dataOffset = le32(p + 10);
    const quint32 infoSize = le32(p + 14);
    quint32 used = 0;
    if (infoSize == 12) { // OS/2 core header
        h->width = le16(p + 18);
        h->height = le16(p + 20);
        h->bits = le16(p + 24);
    } else {
        if (n < 50)
            return false;
        h->width = qint32(le32(p + 18));
        h->height = qint32(le32(p + 22));
        h->bits = le16(p + 28);
        if (infoSize >= 20)
            h->compression = le32(p + 30);
        if (infoSize >= 36)
            used = le32(p + 46);
        if (infoSize >= 56 && n >= 70 && (h->compression == 3 || h->compression == 6))
            h->alphaMask = le32(p + 66);
    }
    h->paletteAt = 14 + qint64(infoSize);
    if (h->bits >= 1 && h->bits <= 8)
        h->colours = used ? qint64(used) : qint64(1) << h->bits;
    return true;
}

// Receives the pixels of run-length data: palette index at (x, row),
// rows counted from the first one stored.
using RunPainter = void (*)(void *target, qint64 x, qint64 row, int index);

// Walks run-length data: it must reach its end code or finish its last row
// before the file ends, and every index must name a palette colour. With a
// painter, every pixel is handed to it.
LoadError walkRunLength(const uchar *p, qint64 n, const BmpHeader &h, QString *detail, RunPainter paint = nullptr,
                        void *target = nullptr)
{
    const bool rle4 = h.compression == 2;
    const qint64 rows = qAbs(h.height);
    auto inPalette = [&](int index) { return index < h.colours; };
    auto runIndicesOk = [&](uchar value, int count) {
        if (!rle4)
            return inPalette(value);
        return inPalette(value >> 4) && (count < 2 || inPalette(value & 0x0F));
    };
    // The index of pixel i of a run or of literal pixels.
    auto runIndex = [&](uchar value, int i) { return rle4 ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : int(value); };
    qint64 pos = h.dataOffset;
    qint64 row = 0;
    qint64 x = 0;
    const QString cut = QStringLiteral("the run-length data ends before its end code");
    const QString badIndex = QStringLiteral("the run-length data names a colour the palette does not have");
    for (;;) {
        if (pos + 2 > n)
            return corrupt(detail, cut);
        const int count = p[pos];
        const uchar value = p[pos + 1];
        pos += 2;
        if (count > 0) {
            if (!runIndicesOk(value, count))
                return corrupt(detail, badIndex);
            if (paint && row < rows) {
                for (int i = 0; i < count && x + i < h.width; ++i)
                    paint(target, x + i, row, runIndex(value, i));
            }
            x += count;
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            if (++row >= rows)
                return LoadError::None;
            break;
        case 1: // end of picture
            return LoadError::None;
        case 2: // move
            if (pos + 2 > n)
                return corrupt(detail, cut);
            x += p[pos];
            row += p[pos + 1];
            pos += 2;
            break;
        default: { // literal pixels, padded to 16 bits
            const int pixels = value;
            const qint64 bytes = rle4 ? (pixels + 1) / 2 : pixels;
            if (pos + bytes > n)
                return corrupt(detail, cut);
            for (int i = 0; i < pixels; ++i) {
                const int index = runIndex(p[pos + (rle4 ? i / 2 : i)], i);
                if (!inPalette(index))
                    return corrupt(detail, badIndex);
                if (paint && row < rows && x + i < h.width)
                    paint(target, x + i, row, index);
            }
            x += pixels;
            pos += (bytes + 1) & ~qint64(1);
            break;
        }
        }
    }
}

// Every index of uncompressed palette rows names a palette colour.
LoadError checkIndices(const uchar *p, const BmpHeader &h, QString *detail)
{
    if (h.colours >= (qint64(1) << h.bits))
        return LoadError::None;
    const qint64 stride = (h.width * h.bits + 31) / 32 * 4;
    const int perByte = 8 / h.bits;
    const int mask = (1 << h.bits) - 1;
    for (qint64 y = 0; y < qAbs(h.height); ++y) {
        const uchar *line = p + h.dataOffset + y * stride;
        for (qint64 x = 0; x < h.width; ++x) {
            const int shift = 8 - h.bits * int(x % perByte + 1);
            if (((line[x / perByte] >> shift) & mask) >= h.colours)
                return corrupt(detail, QStringLiteral("a pixel names a colour the palette does not have"));
        }
    }
    return LoadError::None;
}

} // namespace

LoadError checkBmp(const QByteArray &bytes, QString *detail, BmpFacts *facts)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qint64 n = bytes.size();
    BmpHeader h;
    if (!readBmpHeader(p, n, &h))
        return corrupt(detail, QStringLiteral("the header is cut short"));
    if (h.dataOffset >= n)
        return corrupt(detail, QStringLiteral("the pixel data is missing"));
    if (h.width <= 0 || h.height == 0)
        return LoadError::None; // left to the decoder
    // Both sides come from 32 bits, so their product fits; anything the
    // limit refuses is refused before any more arithmetic on its size.
    if (h.width * qAbs(h.height) > kMaxDecodedBytes / 4)
        return LoadError::TooLarge;
    const bool paletted = h.colours > 0 && h.colours <= 256;
    if (facts) {
        facts->bits = h.bits;
        facts->alpha = h.bits == 32 && h.alphaMask != 0;
    }
    if ((h.compression == 1 && h.bits == 8) || (h.compression == 2 && h.bits == 4)) {
        if (!paletted)
            return LoadError::None;
        if (h.paletteAt + 4 * h.colours > n)
            return corrupt(detail, QStringLiteral("the palette is cut short"));
        if (facts)
            facts->runLength = true;
        return walkRunLength(p, n, h, detail);
    }
    const bool uncompressed = h.compression == 0 || h.compression == 3 || h.compression == 6;
    if (!uncompressed || h.bits == 0 || h.bits > 32)
        return LoadError::None;
    // Rows that need more bytes than follow would be made up by the decoder.
    qint64 bitsPerRow = 0, stride = 0, pixelBytes = 0, end = 0;
    if (qMulOverflow(h.width, qint64(h.bits), &bitsPerRow) || qAddOverflow(bitsPerRow, qint64(31), &bitsPerRow) ||
        qMulOverflow(bitsPerRow / 32, qint64(4), &stride) || qMulOverflow(stride, qAbs(h.height), &pixelBytes) ||
        qAddOverflow(h.dataOffset, pixelBytes, &end))
        return LoadError::TooLarge;
    if (end > n)
        return corrupt(detail, QStringLiteral("the pixel data is cut short"));
    if (paletted && (h.bits == 1 || h.bits == 4 || h.bits == 8) && h.compression == 0)
        return checkIndices(p, h, detail);
    return LoadError::None;
}

LoadedImage decodeBmpRunLength(const QByteArray &bytes)
{
    LoadedImage result;
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    BmpHeader h;
    readBmpHeader(p, bytes.size(), &h);
    struct Target {
        QImage image;
        bool bottomUp;
        QRgb palette[256];
    } target;
    target.bottomUp = h.height > 0;
    for (qint64 i = 0; i < h.colours; ++i) {
        const uchar *c = p + h.paletteAt + 4 * i;
        target.palette[i] = qRgb(c[2], c[1], c[0]);
    }
    if (!memoryAvailable(h.width * qAbs(h.height) * 4) ||
        (target.image = QImage(int(h.width), int(qAbs(h.height)), QImage::Format_RGB32)).isNull()) {
        result.error = LoadError::OutOfMemory;
        return result;
    }
    target.image.fill(Qt::white);
    const RunPainter paint = [](void *t, qint64 x, qint64 row, int index) {
        auto *to = static_cast<Target *>(t);
        const int y = to->bottomUp ? to->image.height() - 1 - int(row) : int(row);
        QRgb *line = reinterpret_cast<QRgb *>(to->image.scanLine(y));
        line[x] = to->palette[index];
    };
    result.error = walkRunLength(p, bytes.size(), h, &result.detail, paint, &target);
    if (result.ok())
        result.image = target.image;
    return result;
}

QSize gifScreenSize(const QByteArray &bytes)
{
    if (bytes.size() < 10)
        return QSize();
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    return QSize(le16(p + 6), le16(p + 8));
}

LoadError checkGif(const QByteArray &bytes, QString *detail)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qint64 n = bytes.size();
    if (n < 13)
        return LoadError::None;
    qint64 pos = 13;
    if (p[10] & 0x80)
        pos += 3 * (qint64(2) << (p[10] & 7));
    // Up to the first frame: extensions are skipped; anything else is left to
    // the decoder.
    for (;;) {
        if (pos >= n)
            return LoadError::None;
        const uchar kind = p[pos++];
        if (kind == 0x2C)
            break;
        if (kind != 0x21 || pos >= n)
            return LoadError::None;
        ++pos; // label
        while (pos < n && p[pos] != 0)
            pos += 1 + p[pos];
        ++pos;
    }
    if (pos + 9 > n)
        return LoadError::None;
    const qint64 width = le16(p + pos + 4);
    const qint64 height = le16(p + pos + 6);
    const uchar flags = p[pos + 8];
    pos += 9;
    if (flags & 0x80)
        pos += 3 * (qint64(2) << (flags & 7));
    const qint64 pixelsNeeded = width * height;
    if (pixelsNeeded == 0)
        return LoadError::None;
    if (pos >= n)
        return corrupt(detail, QStringLiteral("the first frame has no data"));
    const int minCodeSize = p[pos++];
    if (minCodeSize < 1 || minCodeSize > 11)
        return LoadError::None;

    // Decodes the codes, counting the pixels each one stands for.
    const int clear = 1 << minCodeSize;
    const int endCode = clear + 1;
    std::array<quint16, 4096> length{};
    for (int i = 0; i < clear; ++i)
        length[size_t(i)] = 1;
    int codeSize = minCodeSize + 1;
    int next = clear + 2;
    int previous = -1;
    qint64 pixels = 0;
    quint32 bitBuffer = 0;
    int bitCount = 0;
    int blockLeft = 0;
    bool dataEnded = false;
    while (pixels < pixelsNeeded && !dataEnded) {
        while (bitCount < codeSize) {
            if (blockLeft == 0) {
                if (pos >= n || p[pos] == 0) {
                    dataEnded = true;
                    break;
                }
                blockLeft = p[pos++];
            }
            if (pos >= n) {
                dataEnded = true;
                break;
            }
            bitBuffer |= quint32(p[pos++]) << bitCount;
            bitCount += 8;
            --blockLeft;
        }
        if (dataEnded)
            break;
        const int code = int(bitBuffer & ((1u << codeSize) - 1));
        bitBuffer >>= codeSize;
        bitCount -= codeSize;
        if (code == clear) {
            codeSize = minCodeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == endCode)
            break;
        qint64 produced;
        if (previous < 0) {
            if (code >= clear)
                return corrupt(detail, QStringLiteral("the LZW data holds an impossible code"));
            produced = 1;
        } else {
            if (code < next)
                produced = length[size_t(code)];
            else if (code == next)
                produced = length[size_t(previous)] + 1;
            else
                return corrupt(detail, QStringLiteral("the LZW data holds an impossible code"));
            if (next < 4096) {
                length[size_t(next)] = quint16(length[size_t(previous)] + 1);
                ++next;
                if (next == (1 << codeSize) && codeSize < 12)
                    ++codeSize;
            }
        }
        pixels += produced;
        previous = code;
    }
    if (pixels < pixelsNeeded)
        return corrupt(
            detail,
            QStringLiteral("the LZW data ends after %1 of the first frame's %2 pixels").arg(pixels).arg(pixelsNeeded));
    return LoadError::None;
}

WebpFacts webpFacts(const QByteArray &bytes)
{
    WebpFacts facts;
    if (bytes.size() < 30 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WEBP")
        return facts;
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const QByteArray first = bytes.mid(12, 4);
    if (first == "VP8X") {
        facts.alpha = p[20] & 0x10;
        facts.exif = p[20] & 0x08;
        facts.animated = p[20] & 0x02;
        // The canvas: 24 bits each of width - 1 and height - 1.
        facts.size = QSize(int((le32(p + 24) & 0xFFFFFF) + 1), int((le32(p + 27) & 0xFFFFFF) + 1));
    } else if (first == "VP8L") {
        // The signature byte, 14 bits of width - 1, 14 of height - 1, then
        // the alpha bit.
        const quint32 bits = le32(p + 21);
        facts.size = QSize(int((bits & 0x3FFF) + 1), int(((bits >> 14) & 0x3FFF) + 1));
        facts.alpha = (bits >> 28) & 1;
    } else if (first == "VP8 " && p[23] == 0x9D && p[24] == 0x01 && p[25] == 0x2A) {
        // A key frame's start code, then 14 bits each of width and height.
        facts.size = QSize(le16(p + 26) & 0x3FFF, le16(p + 28) & 0x3FFF);
    }
    return facts;
}

// ---------------------------------------------------------------------------
// TIFF

namespace {

// Reads the fields of a classic TIFF in its byte order.
class TiffReader
{
public:
    explicit TiffReader(const QByteArray &bytes)
        : m_p(reinterpret_cast<const uchar *>(bytes.constData())), m_n(bytes.size()), m_big(bytes.startsWith("MM"))
    {}
    qint64 size() const { return m_n; }
    bool has(qint64 at, qint64 length) const { return at >= 0 && length >= 0 && at <= m_n - length; }
    quint32 u16(qint64 at) const
    {
        return m_big ? qFromBigEndian<quint16>(m_p + at) : qFromLittleEndian<quint16>(m_p + at);
    }
    quint32 u32(qint64 at) const
    {
        return m_big ? qFromBigEndian<quint32>(m_p + at) : qFromLittleEndian<quint32>(m_p + at);
    }

private:
    const uchar *m_p;
    qint64 m_n;
    bool m_big;
};

// One directory entry: its integer values (SHORT or LONG), read where they
// are, in the entry or elsewhere in the file.
struct TiffEntry {
    qint64 at = -1; // offset of the entry; -1 when the directory has none
    quint32 type = 0;
    qint64 count = 0;

    bool present() const { return at >= 0; }
    bool integers() const { return type == 3 || type == 4; }
    qint64 valuesAt(const TiffReader &r) const
    {
        const qint64 bytes = count * (type == 3 ? 2 : 4);
        return bytes <= 4 ? at + 8 : qint64(r.u32(at + 8));
    }
    bool valuesInFile(const TiffReader &r) const
    {
        return integers() && count >= 1 && r.has(valuesAt(r), count * (type == 3 ? 2 : 4));
    }
    qint64 value(const TiffReader &r, qint64 i) const
    {
        const qint64 from = valuesAt(r);
        return type == 3 ? r.u16(from + 2 * i) : r.u32(from + 4 * i);
    }
};

constexpr qint64 kMaxTiffPixelBits = 128;

qint64 roundUp16(qint64 v)
{
    return (v + 15) / 16 * 16;
}

} // namespace

LoadError checkTiff(const QByteArray &bytes, QString *detail, TiffFacts *facts)
{
    const TiffReader r(bytes);
    if (!r.has(0, 8))
        return corrupt(detail, QStringLiteral("the header is cut short"));
    const qint64 dir = r.u32(4);
    if (dir < 8 || !r.has(dir, 2) || !r.has(dir + 2, 12 * qint64(r.u16(dir)) + 4))
        return corrupt(detail, QStringLiteral("the first page's directory lies outside the file"));
    const qint64 entries = r.u16(dir);

    enum {
        Width,
        Height,
        Bits,
        StripOffsets,
        Samples,
        RowsPerStrip,
        StripCounts,
        TileWidth,
        TileHeight,
        TileOffsets,
        TileCounts,
        Orientation,
        Photometric,
        TagCount
    };
    static const quint32 tags[TagCount] = {256, 257, 258, 273, 277, 278, 279, 322, 323, 324, 325, 274, 262};
    TiffEntry e[TagCount];
    for (qint64 i = 0; i < entries; ++i) {
        const qint64 at = dir + 2 + 12 * i;
        for (int t = 0; t < TagCount; ++t) {
            if (r.u16(at) == tags[t] && !e[t].present())
                e[t] = TiffEntry{at, r.u16(at + 2), qint64(r.u32(at + 4))};
        }
    }
    // A single number, or fallback when the entry is missing or unreadable.
    auto number = [&](int t, qint64 fallback) {
        return e[t].present() && e[t].valuesInFile(r) ? e[t].value(r, 0) : fallback;
    };
    const qint64 width = number(Width, 0);
    const qint64 height = number(Height, 0);
    const qint64 samples = number(Samples, 1);
    // Every sample has at least a bit, so a pixel of more samples than its
    // bit limit is refused as stated, before the bits are added up.
    if (samples > kMaxTiffPixelBits)
        return corrupt(detail, QStringLiteral("a pixel claims %1 samples").arg(samples));
    qint64 bitsPerPixel = 0;
    if (e[Bits].present() && e[Bits].valuesInFile(r)) {
        // One value for every sample; some writers give only the first.
        for (qint64 s = 0; s < samples; ++s)
            bitsPerPixel += e[Bits].value(r, qMin(s, e[Bits].count - 1));
    } else {
        bitsPerPixel = samples;
    }
    if (bitsPerPixel > kMaxTiffPixelBits)
        return corrupt(detail, QStringLiteral("a pixel claims %1 bits").arg(bitsPerPixel));

    const bool tiled = e[TileWidth].present() || e[TileHeight].present();
    qint64 partWidth = width;
    qint64 partHeight = qBound<qint64>(0, number(RowsPerStrip, height), height);
    if (tiled) {
        partWidth = number(TileWidth, 0);
        partHeight = number(TileHeight, 0);
        if (partWidth > roundUp16(width) || partHeight > roundUp16(height))
            return corrupt(detail, QStringLiteral("its tiles of %1 x %2 are larger than the picture of %3 x %4")
                                       .arg(partWidth)
                                       .arg(partHeight)
                                       .arg(width)
                                       .arg(height));
    }
    // Every strip or tile lies in the file; a missing or broken list is
    // left to the decoder.
    const TiffEntry &offsets = e[tiled ? TileOffsets : StripOffsets];
    const TiffEntry &counts = e[tiled ? TileCounts : StripCounts];
    if (offsets.present() && offsets.valuesInFile(r)) {
        const bool sized = counts.present() && counts.valuesInFile(r) && counts.count == offsets.count;
        for (qint64 i = 0; i < offsets.count; ++i) {
            const qint64 at = offsets.value(r, i);
            const qint64 length = sized ? counts.value(r, i) : 0;
            if (at >= r.size() && (length > 0 || !sized))
                return corrupt(detail, QStringLiteral("its pixel data lies past the end of the file"));
            if (length > 0 && !r.has(at, length))
                return corrupt(detail, QStringLiteral("the pixel data is cut short"));
        }
    }
    if (facts) {
        facts->bitsPerPixel = int(bitsPerPixel);
        facts->samples = int(qMax(qint64(0), samples));
        const qint64 orientation = number(Orientation, 1);
        facts->orientation = orientation >= 1 && orientation <= 8 ? int(orientation) : 1;
        facts->photometric = int(qBound(qint64(-1), number(Photometric, -1), qint64(65535)));
        // In floating point: a lying header may name sizes whose product
        // does not fit 64 bits.
        facts->workBytes = qint64(qMin(double(partWidth) * double(partHeight) * double(bitsPerPixel) / 8, 1e18));
    }
    return LoadError::None;
}

} // namespace tessilor
