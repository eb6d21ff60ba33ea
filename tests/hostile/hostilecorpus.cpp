#include "hostile/hostilecorpus.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>
#include <sys/stat.h>
#include <sys/types.h>

using tessilor::LoadError;

namespace hostile {

namespace {

void put16le(QByteArray &b, quint32 v)
{
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}

void put32le(QByteArray &b, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

QImage pattern(int w = 40, int h = 30)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 37) & 0xFF, (y * 53) & 0xFF, ((x + y) * 11) & 0xFF));
    return img;
}

QByteArray encoded(const QImage &img, const char *format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    QImageWriter w(&buf, format);
    w.setQuality(quality);
    w.write(img);
    return bytes;
}

// BMP with a 40-byte info header and the given fields; data follows the
// palette.
QByteArray bmp(qint32 width, qint32 height, quint16 bits, quint32 compression, quint32 colours,
               const QByteArray &palette, const QByteArray &data, quint32 dataOffset = 0)
{
    QByteArray b("BM");
    const quint32 offset = dataOffset ? dataOffset : quint32(54 + palette.size());
    put32le(b, quint32(54 + palette.size() + data.size()));
    put32le(b, 0);
    put32le(b, offset);
    put32le(b, 40);
    put32le(b, quint32(width));
    put32le(b, quint32(height));
    put16le(b, 1);
    put16le(b, bits);
    put32le(b, compression);
    put32le(b, quint32(data.size()));
    put32le(b, 2835);
    put32le(b, 2835);
    put32le(b, colours);
    put32le(b, 0);
    return b + palette + data;
}

QByteArray greys(int n)
{
    QByteArray p;
    for (int i = 0; i < n; ++i) {
        const char g = char(i * 255 / qMax(1, n - 1));
        p.append(g);
        p.append(g);
        p.append(g);
        p.append('\0');
    }
    return p;
}

// GIF89a with one frame. lzw is the raw LZW stream (split into sub-blocks
// here) after a minimum code size of 2.
QByteArray gif(quint16 screenW, quint16 screenH, quint16 frameW, quint16 frameH, const QByteArray &lzw,
               bool trailer = true)
{
    QByteArray g("GIF89a");
    put16le(g, screenW);
    put16le(g, screenH);
    g.append(char(0x81)); // global colour table of 4 entries
    g.append('\0');
    g.append('\0');
    g.append(QByteArray("\0\0\0\xff\xff\xff\xff\0\0\0\0\xff", 12));
    g.append(',');
    put16le(g, 0);
    put16le(g, 0);
    put16le(g, frameW);
    put16le(g, frameH);
    g.append('\0');
    g.append(char(2));
    for (qsizetype i = 0; i < lzw.size(); i += 255) {
        const QByteArray chunk = lzw.mid(i, 255);
        g.append(char(chunk.size()));
        g.append(chunk);
    }
    g.append('\0');
    if (trailer)
        g.append(';');
    return g;
}

// A short LZW stream that keeps growing its dictionary: the cheapest way to
// ask a decoder for very many pixels.
QByteArray lzwRun(int bytes)
{
    QByteArray d;
    d.append(char(0x04)); // clear code, then literals
    for (int i = 0; i < bytes; ++i)
        d.append(char(0x00 + (i % 3)));
    return d;
}

// Offset of the first byte after the marker in a JPEG, or -1.
qsizetype jpegMarker(const QByteArray &jpeg, uchar marker)
{
    for (qsizetype i = 2; i + 1 < jpeg.size(); ++i)
        if (uchar(jpeg[i]) == 0xFF && uchar(jpeg[i + 1]) == marker)
            return i + 2;
    return -1;
}

// The same JPEG with its frame header claiming another size.
QByteArray jpegWithSize(QByteArray jpeg, quint16 w, quint16 h)
{
    const qsizetype sof = jpegMarker(jpeg, 0xC0);
    if (sof < 0)
        return jpeg;
    // length(2) precision(1) height(2) width(2)
    jpeg[sof + 3] = char(h >> 8);
    jpeg[sof + 4] = char(h & 0xFF);
    jpeg[sof + 5] = char(w >> 8);
    jpeg[sof + 6] = char(w & 0xFF);
    return jpeg;
}

// Entropy-coded bits of a JPEG scan, most significant bit first, with the
// 0xFF byte stuffing and the 1-bit padding the format asks for.
class JpegBits
{
public:
    void put(quint32 bits, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            m_byte = quint8(m_byte << 1 | ((bits >> i) & 1));
            if (++m_used == 8)
                flushByte();
        }
    }
    QByteArray finish()
    {
        while (m_used != 0)
            put(1, 1);
        return m_out;
    }

private:
    void flushByte()
    {
        m_out.append(char(m_byte));
        if (m_byte == 0xFF)
            m_out.append('\0');
        m_byte = 0;
        m_used = 0;
    }
    QByteArray m_out;
    quint8 m_byte = 0;
    int m_used = 0;
};

void putMarker(QByteArray &j, uchar marker, const QByteArray &body)
{
    j.append(char(0xFF));
    j.append(char(marker));
    j.append(char((body.size() + 2) >> 8));
    j.append(char((body.size() + 2) & 0xFF));
    j.append(body);
}

// Spends the given number of blocks as end-of-band runs: the AC table of
// progressiveGreyJpeg codes run class r (symbol r << 4) as the 4-bit value r.
void eobRuns(JpegBits &bits, qint64 blocks)
{
    while (blocks > 0) {
        const int run = int(qMin<qint64>(blocks, 32767));
        int r = 0;
        while ((2 << r) <= run)
            ++r;
        bits.put(quint32(r), 4);
        bits.put(quint32(run - (1 << r)), r);
        blocks -= run;
    }
}

// LZW data of literal codes only, valid to the letter: a clear code before
// every two pixels keeps the code size at three bits (minimum code size 2).
// Without the end code the data simply stops.
QByteArray lzwLiterals(const QList<int> &pixels, bool endCode)
{
    QByteArray out;
    quint32 acc = 0;
    int bits = 0;
    auto put = [&](int code) {
        acc |= quint32(code) << bits;
        bits += 3;
        while (bits >= 8) {
            out.append(char(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    };
    for (qsizetype i = 0; i < pixels.size(); ++i) {
        if (i % 2 == 0)
            put(4);
        put(pixels[i]);
    }
    if (endCode)
        put(5);
    if (bits > 0)
        out.append(char(acc & 0xFF));
    return out;
}

// A 4-colour 8-bit run-length BMP of 4 x 2 pixels from its run-length data.
QByteArray rle8Bmp(const QByteArray &runs)
{
    return bmp(4, 2, 8, 1, 4, greys(4), runs);
}

QByteArray randomBytes(quint32 seed, int n)
{
    QRandomGenerator rng(seed);
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = char(rng.bounded(256));
    return b;
}

// CRC-32 of a PNG chunk's type and data.
quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= uchar(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

void put32be(QByteArray &b, quint32 v)
{
    for (int i = 3; i >= 0; --i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

// The same PNG with its header claiming another size, its checksum right.
QByteArray pngWithSize(QByteArray png, quint32 w, quint32 h)
{
    // Signature (8), IHDR length (4) and type (4), then width and height.
    QByteArray body = png.mid(12, 4 + 13);
    body.replace(4, 8, QByteArray());
    QByteArray size;
    put32be(size, w);
    put32be(size, h);
    body.insert(4, size);
    QByteArray crc;
    put32be(crc, crc32(body));
    return png.left(12) + body + crc + png.mid(12 + 4 + 13 + 4);
}

// The same lossless WebP with its bitstream header claiming another size
// (1 .. 16384 each way).
QByteArray webpWithSize(QByteArray webp, quint32 w, quint32 h)
{
    // "RIFF" size "WEBP" "VP8L" size, the signature byte 0x2F, then 14 bits
    // of width - 1, 14 of height - 1, the alpha bit and 3 version bits.
    const qsizetype at = 21;
    quint32 bits = quint32(uchar(webp[at])) | quint32(uchar(webp[at + 1])) << 8 | quint32(uchar(webp[at + 2])) << 16 |
                   quint32(uchar(webp[at + 3])) << 24;
    bits = (bits & 0xF0000000u) | ((w - 1) & 0x3FFF) | ((h - 1) & 0x3FFF) << 14;
    for (int i = 0; i < 4; ++i)
        webp[at + i] = char((bits >> (8 * i)) & 0xFF);
    return webp;
}

struct TiffTag {
    quint16 tag;
    quint16 type; // 3 SHORT, 4 LONG
    quint32 count;
    quint32 value;
};

// A little-endian TIFF whose directory comes first, repeated for every page,
// then data. Tags 273 and 324 (strip and tile offsets) that are 0 point at
// the data.
QByteArray tiff(QList<TiffTag> tags, const QByteArray &data, int pages = 1)
{
    const quint32 directory = quint32(2 + 12 * tags.size() + 4);
    const quint32 dataAt = 8 + directory * quint32(pages);
    for (TiffTag &t : tags) {
        if ((t.tag == 273 || t.tag == 324) && t.value == 0)
            t.value = dataAt;
    }
    QByteArray b("II*\0", 4);
    put32le(b, 8);
    for (int page = 0; page < pages; ++page) {
        put16le(b, quint32(tags.size()));
        for (const TiffTag &t : tags) {
            put16le(b, t.tag);
            put16le(b, t.type);
            put32le(b, t.count);
            put32le(b, t.value);
        }
        put32le(b, page + 1 < pages ? quint32(b.size() + 4) : 0);
    }
    return b + data;
}

// The tags of an uncompressed 8-bit RGB picture in one strip.
QList<TiffTag> rgbTiffTags(quint32 w, quint32 h)
{
    return {{256, 4, 1, w}, {257, 4, 1, h}, {258, 3, 1, 8}, {259, 3, 1, 1},        {262, 3, 1, 2},
            {273, 4, 1, 0}, {277, 3, 1, 3}, {278, 4, 1, h}, {279, 4, 1, w * h * 3}};
}

} // namespace

QByteArray bmpBytes(qint32 width, qint32 height, quint16 bits, quint32 compression, quint32 colours,
                    const QByteArray &palette, const QByteArray &data)
{
    return bmp(width, height, bits, compression, colours, palette, data);
}

QByteArray greyPalette(int n)
{
    return greys(n);
}

QByteArray gifBytes(quint16 w, quint16 h, const QByteArray &lzw)
{
    return gif(w, h, w, h, lzw);
}

QByteArray rgbTiff(quint32 w, quint32 h, const QByteArray &rgb, int pages)
{
    return tiff(rgbTiffTags(w, h), rgb, pages);
}

QByteArray goodBmp()
{
    return encoded(pattern(8, 6), "bmp");
}

QByteArray topDownBmp()
{
    QByteArray rows;
    // Rows are 6 bytes of BGR plus 2 bytes of padding.
    rows += QByteArray::fromHex("0000ff00ff000000");
    rows += QByteArray::fromHex("ff0000ffffff0000");
    return bmp(2, -2, 24, 0, 0, QByteArray(), rows);
}

QByteArray progressiveFlatJpeg(quint16 w, quint16 h, int components, int acScans)
{
    QByteArray j("\xFF\xD8", 2);
    putMarker(j, 0xDB, QByteArray(1, '\0') + QByteArray(64, '\1'));
    QByteArray sof;
    sof.append(char(8));
    sof.append(char(h >> 8));
    sof.append(char(h & 0xFF));
    sof.append(char(w >> 8));
    sof.append(char(w & 0xFF));
    sof.append(char(components));
    for (int c = 1; c <= components; ++c) {
        sof.append(char(c));
        sof.append(QByteArray("\x11\x00", 2)); // 1 x 1 sampling, quantisation table 0
    }
    putMarker(j, 0xC2, sof);
    // DC table: the single symbol 0 (difference 0) as the 1-bit code 0.
    QByteArray dc(1, '\x00');
    dc.append(char(1));
    dc.append(QByteArray(15, '\0'));
    dc.append('\0');
    putMarker(j, 0xC4, dc);
    // AC table: the end-of-band run classes 0..14 as 4-bit codes.
    QByteArray ac(1, '\x10');
    ac.append(QByteArray(3, '\0'));
    ac.append(char(15));
    ac.append(QByteArray(12, '\0'));
    for (int r = 0; r < 15; ++r)
        ac.append(char(r << 4));
    putMarker(j, 0xC4, ac);

    const qint64 blocks = qint64((w + 7) / 8) * ((h + 7) / 8); // per component
    auto scan = [&](const QList<int> &comps, int ss, int se, int ah, int al, const QByteArray &data) {
        QByteArray sos(1, char(comps.size()));
        for (int c : comps) {
            sos.append(char(c));
            sos.append('\0'); // DC and AC table 0
        }
        sos.append(char(ss));
        sos.append(char(se));
        sos.append(char(ah << 4 | al));
        putMarker(j, 0xDA, sos);
        j.append(data);
    };
    {
        // All components in one DC scan, a block of each per unit.
        JpegBits bits;
        for (qint64 b = 0; b < blocks * components; ++b)
            bits.put(0, 1);
        QList<int> all;
        for (int c = 1; c <= components; ++c)
            all.append(c);
        scan(all, 0, 0, 0, 0, bits.finish());
    }
    // Coefficient k of one component alone, first at point transform 13,
    // then refined bit by bit down to 0: 14 legal scans per coefficient and
    // component.
    int made = 0;
    for (int k = 1; k <= 63 && made < acScans; ++k) {
        for (int ah = 0; ah <= 13 && made < acScans; ++ah) {
            for (int c = 1; c <= components && made < acScans; ++c, ++made) {
                JpegBits bits;
                eobRuns(bits, blocks);
                if (ah == 0)
                    scan({c}, k, k, 0, 13, bits.finish());
                else
                    scan({c}, k, k, 14 - ah, 13 - ah, bits.finish());
            }
        }
    }
    j.append("\xFF\xD9", 2);
    return j;
}

QList<HostileFile> makeCorpus(const QTemporaryDir &dir)
{
    QList<HostileFile> files;
    const QList<LoadError> corrupt{LoadError::Corrupt};
    const QList<LoadError> tooLargeOrCorrupt{LoadError::TooLarge, LoadError::Corrupt};
    const QList<LoadError> unsupported{LoadError::Unsupported};
    auto add = [&](const QString &name, const QByteArray &bytes, const QString &what, QList<LoadError> allowed) {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        HostileFile h;
        h.name = name;
        h.path = path;
        h.what = what;
        h.allowed = allowed;
        files.append(h);
    };

    const QByteArray jpeg = encoded(pattern(), "jpeg");
    const QByteArray bmp24 = encoded(pattern(), "bmp");
    const QByteArray png = encoded(pattern(), "png");

    // Truncated files: the header is cut, so no decoder can make a picture.
    add("cut-header.jpg", jpeg.left(20), "JPEG cut inside its headers", corrupt);
    add("cut-before-scan.jpg", jpeg.left(jpegMarker(jpeg, 0xDA) - 2), "JPEG cut before its scan", corrupt);
    add("cut-header.bmp", bmp24.left(30), "BMP cut inside its info header", corrupt);
    add("cut-pixels.bmp", bmp24.left(54 + 40), "BMP cut inside its pixel rows", corrupt);
    add("cut-header.gif", gif(4, 2, 4, 2, lzwRun(8)).left(16), "GIF cut inside its colour table", corrupt);
    add("cut-no-frame.gif", gif(4, 2, 4, 2, lzwRun(8)).left(6 + 7 + 12), "GIF with no frame at all", corrupt);
    add("magic-only.jpg", QByteArray("\xFF\xD8\xFF", 3), "JPEG signature and nothing else", corrupt);
    add("magic-only.bmp", QByteArray("BM"), "BMP signature and nothing else", corrupt);
    add("magic-only.gif", QByteArray("GIF89a"), "GIF signature and nothing else", corrupt);

    // JPEG data that ends early or that the decoder finds damaged: a
    // decoder would fill in the rest with made-up grey.
    {
        const qsizetype sos = jpegMarker(jpeg, 0xDA);
        const qsizetype scanData = sos + ((uchar(jpeg[sos]) << 8) | uchar(jpeg[sos + 1]));
        add("cut-after-scan-header.jpg", jpeg.left(scanData), "JPEG cut right after its scan header", corrupt);
        add("cut-mid-scan.jpg", jpeg.left((scanData + jpeg.size()) / 2), "JPEG cut in the middle of its scan", corrupt);
        QByteArray bad = jpeg;
        for (qsizetype i = (scanData + jpeg.size()) / 2, n = 0; n < 8; ++n, i += 2) {
            bad[i] = char(0xFF); // stuffed 0xFF bytes: a run of 1 bits no Huffman code has
            bad[i + 1] = '\0';
        }
        add("bad-code.jpg", bad, "JPEG whose scan holds an impossible Huffman code", corrupt);
        QByteArray junk = jpeg;
        junk.insert(sos - 2, QByteArray(20, '\x55'));
        add("junk-before-scan.jpg", junk, "JPEG with junk bytes before its scan header", corrupt);
        QByteArray progressive;
        QBuffer buf(&progressive);
        buf.open(QIODevice::WriteOnly);
        QImageWriter w(&buf, "jpeg");
        w.setProgressiveScanWrite(true);
        w.write(pattern(120, 90));
        add("cut-progressive.jpg", progressive.left(progressive.size() * 3 / 5),
            "progressive JPEG cut after some of its scans", corrupt);
    }
    // Scan bombs: progressive JPEGs whose every scan is a pass over all
    // blocks for a few bytes.
    const QList<LoadError> tooComplex{LoadError::TooComplex};
    const QByteArray scanBomb = progressiveFlatJpeg(8192, 8192, 1, 882);
    add("scan-bomb.jpg", scanBomb, "progressive JPEG of 8192 x 8192 with 883 scans in 240 KB", tooComplex);
    add("scan-bomb-cut.jpg", scanBomb.left(scanBomb.size() * 4 / 5), "the scan bomb cut short",
        {LoadError::TooComplex, LoadError::Corrupt});
    add("scan-bomb-small.jpg", progressiveFlatJpeg(1024, 1024, 1, 882),
        "progressive JPEG of 1024 x 1024 with 883 scans", tooComplex);

    // GIF LZW data that runs short, and run-length BMP data without an end or
    // with colours the palette does not have.
    add("short-lzw.gif", gif(4, 2, 4, 2, lzwLiterals({0, 1}, true)), "GIF whose LZW data gives 2 of 8 pixels", corrupt);
    add("cut-lzw.gif", gif(4, 2, 4, 2, lzwLiterals({0, 1, 2, 3, 0, 1, 2, 3}, true)).left(13 + 12 + 10 + 1 + 1 + 3),
        "GIF cut inside its LZW data", corrupt);
    add("rle-no-end.bmp", rle8Bmp(QByteArray::fromHex("04010402")), "run-length BMP without an end code", corrupt);
    add("rle4-no-end.bmp", bmp(4, 2, 4, 2, 4, greys(4), QByteArray::fromHex("0411")),
        "4-bit run-length BMP without an end code", corrupt);
    add("rle-bad-index.bmp", rle8Bmp(QByteArray::fromHex("040900000402 0001")),
        "run-length BMP with a run of colour 9 of 4", corrupt);
    add("rle-literal-bad-index.bmp", rle8Bmp(QByteArray::fromHex("000401020307 0000 0402 0001")),
        "run-length BMP with literal pixels of colour 7 of 4", corrupt);
    add("index-past-palette.bmp", bmp(4, 2, 8, 0, 4, greys(4), QByteArray::fromHex("010203c800010203")),
        "8-bit BMP with a pixel of colour 200 of 4", corrupt);

    // Corrupt data with intact signatures.
    {
        QByteArray j = jpeg;
        const qsizetype dht = jpegMarker(j, 0xC4);
        for (qsizetype i = dht + 3; i < dht + 3 + 16 && i < j.size(); ++i)
            j[i] = char(0xFF); // Huffman code counts that overflow the code space
        add("bad-huffman.jpg", j, "JPEG with an impossible Huffman table", corrupt);
    }
    {
        QByteArray j = jpeg;
        const qsizetype sof = jpegMarker(j, 0xC0);
        j[sof + 2] = char(3); // 3-bit precision
        add("bad-precision.jpg", j, "JPEG with an unsupported sample precision", corrupt);
    }
    add("bad-bits.bmp", bmp(4, 4, 7, 0, 0, QByteArray(), QByteArray(64, '\x10')), "BMP with 7 bits per pixel", corrupt);
    add("bad-compression.bmp", bmp(4, 4, 24, 9, 0, QByteArray(), QByteArray(64, '\x10')),
        "BMP with an unknown compression", corrupt);
    add("huge-palette.bmp", bmp(4, 4, 8, 0, 0x7FFFFFFF, greys(4), QByteArray(16, '\x01')),
        "BMP claiming two thousand million palette colours", corrupt);
    add("offset-past-end.bmp", bmp(4, 4, 24, 0, 0, QByteArray(), QByteArray(64, '\x10'), 0x7FFFFF00),
        "BMP whose pixels start far past its end", corrupt);

    // Sizes: huge, zero, negative.
    add("huge.jpg", jpegWithSize(jpeg, 60000, 60000), "JPEG frame header claiming 60000 x 60000", tooLargeOrCorrupt);
    add("zero-width.jpg", jpegWithSize(jpeg, 0, 30), "JPEG frame header claiming zero width", corrupt);
    add("zero-height.jpg", jpegWithSize(jpeg, 40, 0), "JPEG frame header claiming zero height", corrupt);
    add("huge.bmp", bmp(60000, 60000, 24, 0, 0, QByteArray(), QByteArray(64, '\x7f')), "BMP claiming 60000 x 60000",
        tooLargeOrCorrupt);
    add("huge-width.bmp", bmp(0x7FFFFFFF, 1, 32, 0, 0, QByteArray(), QByteArray(64, '\x7f')),
        "BMP claiming 2^31-1 columns", tooLargeOrCorrupt);
    add("zero.bmp", bmp(0, 0, 24, 0, 0, QByteArray(), QByteArray()), "BMP claiming 0 x 0", corrupt);
    add("negative-width.bmp", bmp(-5, 4, 24, 0, 0, QByteArray(), QByteArray(64, '\x10')),
        "BMP claiming a negative width", tooLargeOrCorrupt);
    add("min-height.bmp", bmp(4, qint32(0x80000000u), 24, 0, 0, QByteArray(), QByteArray(64, '\x10')),
        "BMP claiming the most negative height", tooLargeOrCorrupt);
    add("huge.gif", gif(60000, 60000, 60000, 60000, lzwRun(40)), "GIF claiming 60000 x 60000", tooLargeOrCorrupt);
    add("huge-frame.gif", gif(4, 2, 60000, 60000, lzwRun(2000)), "GIF with a small screen and a 60000 x 60000 frame",
        tooLargeOrCorrupt);
    files.last().mayLoadUpTo = QSize(4, 2);
    add("zero.gif", gif(0, 0, 0, 0, lzwRun(8)), "GIF claiming 0 x 0", corrupt);

    // Decompression bombs: a few hundred bytes asking for billions of pixels.
    add("bomb-rle.bmp", bmp(60000, 60000, 8, 1, 4, greys(4), QByteArray::fromHex("ff01ff01ff01ff010000ff02ff020001")),
        "RLE BMP of a few bytes claiming 60000 x 60000", tooLargeOrCorrupt);
    add("bomb-rle4.bmp", bmp(60000, 60000, 4, 2, 4, greys(4), QByteArray::fromHex("ff11ff110001")),
        "4-bit RLE BMP of a few bytes claiming 60000 x 60000", tooLargeOrCorrupt);
    add("bomb.gif", gif(60000, 60000, 60000, 60000, lzwRun(2000)), "GIF of two kilobytes claiming 60000 x 60000",
        tooLargeOrCorrupt);
    add("bomb.jpg", jpegWithSize(encoded(pattern(8, 8), "jpeg"), 60000, 60000), "small JPEG claiming 60000 x 60000",
        tooLargeOrCorrupt);

    // PNG, WebP and TIFF: cut short, lying about their size, tiles and
    // strips that ask the decoder for memory the picture does not need.
    {
        const QByteArray webp = encoded(pattern(), "webp", 100);
        const QByteArray rgb = encoded(pattern(), "ppm").right(40 * 30 * 3);
        const QByteArray tif = tiff(rgbTiffTags(40, 30), rgb);
        add("cut-header.png", png.left(20), "PNG cut inside its header", corrupt);
        add("cut-data.png", png.left(png.size() * 3 / 4), "PNG cut inside its image data", corrupt);
        add("cut-data.webp", webp.left(webp.size() * 3 / 4), "lossless WebP cut inside its data", corrupt);
        add("cut-strip.tif", tif.left(tif.size() - 100), "TIFF cut inside its strip", corrupt);
        add("magic-only.png", png.left(8), "PNG signature and nothing else", corrupt);
        add("magic-only.tif", tif.left(4), "TIFF signature and nothing else", corrupt);
        add("huge.png", pngWithSize(png, 60000, 60000), "PNG header claiming 60000 x 60000", tooLargeOrCorrupt);
        add("zero.png", pngWithSize(png, 0, 0), "PNG header claiming 0 x 0", corrupt);
        add("huge.webp", webpWithSize(webp, 16384, 16384), "lossless WebP of 16384 x 16384 in a few bytes",
            tooLargeOrCorrupt);
        QList<TiffTag> huge = rgbTiffTags(60000, 60000);
        huge.last().value = quint32(rgb.size());
        add("huge.tif", tiff(huge, rgb), "TIFF of a few bytes claiming 60000 x 60000", tooLargeOrCorrupt);
        QList<TiffTag> tiled = {{256, 4, 1, 40},      {257, 4, 1, 30},
                                {258, 3, 1, 8},       {259, 3, 1, 1},
                                {262, 3, 1, 2},       {277, 3, 1, 3},
                                {322, 4, 1, 0x10000}, {323, 4, 1, 0x10000},
                                {324, 4, 1, 0},       {325, 4, 1, quint32(rgb.size())}};
        add("huge-tile.tif", tiff(tiled, rgb), "TIFF of 40 x 30 in one tile of 65536 x 65536", corrupt);
        QList<TiffTag> past = rgbTiffTags(40, 30);
        past[5].value = 0x7FFF0000;
        add("strip-past-end.tif", tiff(past, rgb), "TIFF whose strip starts far past its end", corrupt);
        QList<TiffTag> wide = rgbTiffTags(40, 30);
        wide[6].value = 60000;
        add("many-samples.tif", tiff(wide, rgb), "TIFF claiming 60000 samples a pixel", corrupt);
        add("many-pages.tif", tiff(rgbTiffTags(4, 4), QByteArray(4 * 4 * 3, '\x80'), 20000),
            "TIFF of 20000 pages of 4 x 4", {});
        files.last().mayLoadUpTo = QSize(4, 4);
    }

    // Random bytes, with and without a real signature in front.
    int seed = 1;
    for (const char *ext : {"jpg", "jpeg", "jpe", "bmp", "dib", "gif"}) {
        add(QStringLiteral("random.%1").arg(QLatin1String(ext)), randomBytes(seed++, 4096),
            QStringLiteral("random bytes named .%1").arg(QLatin1String(ext)), unsupported);
    }
    add("random-after-magic.jpg", QByteArray("\xFF\xD8\xFF", 3) + randomBytes(11, 4096),
        "JPEG signature followed by random bytes", tooLargeOrCorrupt);
    add("random-after-magic.bmp", QByteArray("BM") + randomBytes(12, 4096), "BMP signature followed by random bytes",
        tooLargeOrCorrupt);
    add("random-after-magic.gif", QByteArray("GIF89a") + randomBytes(13, 4096),
        "GIF signature followed by random bytes", tooLargeOrCorrupt);
    add("random-after-magic.png", png.left(8) + randomBytes(16, 4096), "PNG signature followed by random bytes",
        tooLargeOrCorrupt);
    add("random-after-magic.webp", QByteArray("RIFF\0\x10\0\0WEBP", 12) + randomBytes(17, 4096),
        "WebP signature followed by random bytes", tooLargeOrCorrupt);
    add("random-after-magic.tif", QByteArray("MM\0*", 4) + randomBytes(18, 4096),
        "TIFF signature followed by random bytes", tooLargeOrCorrupt);

    // Pictures under another format's extension load by their content.
    add("png.jpg", png, "PNG named .jpg", {});
    files.last().mayLoadUpTo = QSize(40, 30);
    add("png.bmp", png, "PNG named .bmp", {});
    files.last().mayLoadUpTo = QSize(40, 30);
    add("png.gif", png, "PNG named .gif", {});
    files.last().mayLoadUpTo = QSize(40, 30);
    // Other formats under the accepted extensions.
    add("ppm.gif", encoded(pattern(), "ppm"), "PPM named .gif", unsupported);
    add("xpm.bmp", encoded(pattern(4, 4), "xpm"), "XPM named .bmp", unsupported);
    add("tiff.jpg", QByteArray("II*\0\x08\0\0\0", 8) + randomBytes(14, 64), "TIFF header and random bytes named .jpg",
        tooLargeOrCorrupt);
    add("webp.gif", QByteArray("RIFF\x20\0\0\0WEBPVP8 ", 16) + randomBytes(15, 32),
        "WebP header and random bytes named .gif", tooLargeOrCorrupt);
    add("svg.bmp", QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9\" height=\"9\"/>"),
        "SVG text named .bmp", unsupported);
    add("text.jpg", QByteArray("just some text\r\n"), "a text file named .jpg", unsupported);

    // Empty files.
    for (const char *ext : {"jpg", "bmp", "gif"})
        add(QStringLiteral("empty.%1").arg(QLatin1String(ext)), QByteArray(),
            QStringLiteral("empty file named .%1").arg(QLatin1String(ext)), unsupported);

    // Things that are not regular files.
    auto special = [&](const QString &name, const QString &what, QList<LoadError> allowed) {
        HostileFile h;
        h.name = name;
        h.path = dir.filePath(name);
        h.what = what;
        h.allowed = allowed;
        h.regularFile = false;
        files.append(h);
    };
    QDir().mkpath(dir.filePath(QStringLiteral("folder.jpg")));
    special(QStringLiteral("folder.jpg"), QStringLiteral("a folder named .jpg"), {LoadError::IsFolder});
    if (::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.gif"))).constData(), 0600) == 0)
        special(QStringLiteral("pipe.gif"), QStringLiteral("a named pipe with no writer"),
                {LoadError::NotFound, LoadError::Unreadable});
    special(QStringLiteral("missing.bmp"), QStringLiteral("a file that does not exist"), {LoadError::NotFound});
    return files;
}

} // namespace hostile
