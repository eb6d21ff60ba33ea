#include "engine/picturechecks.h"

#include <array>

namespace tessilor {

namespace {

quint32 le32(const uchar *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint16 le16(const uchar *p)
{
    return quint16(p[0] | p[1] << 8);
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
    }
    if (h->bits >= 1 && h->bits <= 8)
        h->colours = used ? qint64(used) : qint64(1) << h->bits;
    return true;
}

// Walks run-length data: it must reach its end code or finish its last row
// before the file ends, and every index must name a palette colour.
LoadError checkRunLength(const uchar *p, qint64 n, const BmpHeader &h, QString *detail)
{
    const bool rle4 = h.compression == 2;
    const qint64 rows = h.height;
    auto inPalette = [&](int index) { return index < h.colours; };
    auto runIndicesOk = [&](uchar value, int count) {
        if (!rle4)
            return inPalette(value);
        return inPalette(value >> 4) && (count < 2 || inPalette(value & 0x0F));
    };
    qint64 pos = h.dataOffset;
    qint64 row = 0;
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
            continue;
        }
        switch (value) {
        case 0: // end of line
            if (++row >= rows)
                return LoadError::None;
            break;
        case 1: // end of picture
            return LoadError::None;
        case 2: // move
            if (pos + 2 > n)
                return corrupt(detail, cut);
            row += p[pos + 1];
            pos += 2;
            break;
        default: { // literal pixels, padded to 16 bits
            const int pixels = value;
            const qint64 bytes = rle4 ? (pixels + 1) / 2 : pixels;
            if (pos + bytes > n)
                return corrupt(detail, cut);
            for (int i = 0; i < pixels; ++i) {
                const uchar b = p[pos + (rle4 ? i / 2 : i)];
                const int index = rle4 ? (i % 2 == 0 ? b >> 4 : b & 0x0F) : b;
                if (!inPalette(index))
                    return corrupt(detail, badIndex);
            }
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

LoadError checkBmp(const QByteArray &bytes, QString *detail)
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
    const bool paletted = h.colours > 0 && h.colours <= 256;
    if ((h.compression == 1 && h.bits == 8) || (h.compression == 2 && h.bits == 4)) {
        if (h.height < 0 || !paletted)
            return LoadError::None;
        return checkRunLength(p, n, h, detail);
    }
    const bool uncompressed = h.compression == 0 || h.compression == 3 || h.compression == 6;
    if (!uncompressed || h.bits == 0 || h.bits > 32)
        return LoadError::None;
    // Rows that need more bytes than follow would be made up by the decoder.
    const qint64 stride = (h.width * h.bits + 31) / 32 * 4;
    if (h.dataOffset + stride * qAbs(h.height) > n)
        return corrupt(detail, QStringLiteral("the pixel data is cut short"));
    if (paletted && (h.bits == 1 || h.bits == 4 || h.bits == 8) && h.compression == 0)
        return checkIndices(p, h, detail);
    return LoadError::None;
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
        return corrupt(detail, QStringLiteral("the LZW data ends after %1 of the first frame's %2 pixels")
                                   .arg(pixels)
                                   .arg(pixelsNeeded));
    return LoadError::None;
}

} // namespace tessilor
