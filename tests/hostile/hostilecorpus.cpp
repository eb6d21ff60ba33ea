#include "hostile/hostilecorpus.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QHash>
#include <QRandomGenerator>
#include <sys/stat.h>
#include <sys/types.h>
#include <zlib.h>

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

// A raw deflate stream of count zero bytes, ended by a full flush (so that
// it stands alone and can be repeated) or as the final block.
QByteArray deflateZeros(qint64 count, bool final)
{
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    QByteArray in(count, '\0');
    QByteArray out(qsizetype(deflateBound(&z, uLong(count)) + 64), '\0');
    z.next_in = reinterpret_cast<Bytef *>(in.data());
    z.avail_in = uInt(count);
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, final ? Z_FINISH : Z_FULL_FLUSH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

// A zlib stream of n zero bytes, made without holding them: a compressed
// megabyte repeated (after a full flush each copy stands alone), the rest,
// and the Adler-32 of n zeros (1, n mod 65521).
QByteArray zlibZeros(qint64 n)
{
    static QHash<qint64, QByteArray> made;
    if (made.contains(n))
        return made.value(n);
    constexpr qint64 piece = qint64(1) << 20;
    const QByteArray block = deflateZeros(piece, false);
    QByteArray out("\x78\xda", 2);
    out.reserve(qsizetype(n / piece + 2) * block.size());
    for (qint64 i = 0; i < n / piece; ++i)
        out += block;
    out += deflateZeros(n % piece, true);
    const quint32 adler = quint32(n % 65521) << 16 | 1u;
    for (int i = 3; i >= 0; --i)
        out.append(char((adler >> (8 * i)) & 0xFF));
    made.insert(n, out);
    return out;
}

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    QByteArray body = QByteArray(type, 4) + data;
    QByteArray c;
    put32be(c, quint32(data.size()));
    c += body;
    put32be(c, crc32(body));
    return c;
}

// A PNG whose pixels are all zero: its header, the chunks given, then the
// image data for the size and format (no interlace, no filter).
QByteArray zeroPng(quint32 w, quint32 h, int depth, int colourType, const QByteArray &chunks = QByteArray())
{
    const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    QByteArray ihdr;
    put32be(ihdr, w);
    put32be(ihdr, h);
    ihdr.append(char(depth));
    ihdr.append(char(colourType));
    ihdr.append(QByteArray(3, '\0'));
    const qint64 rowBytes = 1 + (qint64(w) * channels * depth + 7) / 8;
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) + chunks +
           pngChunk("IDAT", zlibZeros(rowBytes * h)) + pngChunk("IEND", QByteArray());
}

// A big-endian EXIF block (as PNG's eXIf and WebP's EXIF carry it) of one
// entry: the orientation.
QByteArray exifOrientationBlock(quint16 orientation)
{
    QByteArray t("MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01", 18);
    t.append(char(orientation >> 8));
    t.append(char(orientation & 0xFF));
    t.append(QByteArray(2 + 4, '\0'));
    return t;
}

// Bits of a lossless WebP bitstream, least significant first.
class WebpBits
{
public:
    void put(quint32 value, int count)
    {
        for (int i = 0; i < count; ++i) {
            if (m_used == 0)
                m_out.append('\0');
            if ((value >> i) & 1)
                m_out[m_out.size() - 1] = char(uchar(m_out.back()) | (1u << m_used));
            m_used = (m_used + 1) % 8;
        }
    }
    QByteArray bytes() const { return m_out; }

private:
    QByteArray m_out;
    int m_used = 0;
};

// A lossless WebP bitstream of one colour, of any size in a dozen bytes:
// every prefix code has a single symbol, which takes no bits at all.
QByteArray vp8lFlat(quint32 w, quint32 h, bool alpha, QRgb colour)
{
    WebpBits b;
    b.put(0x2F, 8);
    b.put(w - 1, 14);
    b.put(h - 1, 14);
    b.put(alpha ? 1 : 0, 1);
    b.put(0, 3); // version
    b.put(0, 1); // no transform
    b.put(0, 1); // no colour cache
    b.put(0, 1); // no meta prefix codes
    for (int value : {qGreen(colour), qRed(colour), qBlue(colour), qAlpha(colour)}) {
        b.put(1, 1); // simple code
        b.put(0, 1); // one symbol
        b.put(1, 1); // of 8 bits
        b.put(quint32(value), 8);
    }
    b.put(1, 1); // distance: simple code, one symbol of 1 bit, 0
    b.put(0, 1);
    b.put(0, 1);
    b.put(0, 1);
    return b.bytes();
}

QByteArray riffChunk(const char *type, const QByteArray &data)
{
    QByteArray c(type, 4);
    put32le(c, quint32(data.size()));
    c += data;
    if (data.size() % 2)
        c.append('\0');
    return c;
}

QByteArray webpFile(const QByteArray &chunks)
{
    QByteArray w("RIFF");
    put32le(w, quint32(4 + chunks.size()));
    return w + "WEBP" + chunks;
}

void put24le(QByteArray &b, quint32 v)
{
    for (int i = 0; i < 3; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

// An animated WebP: a canvas of w x h and the given number of frames, each
// covering it in one colour.
QByteArray animatedWebp(quint32 w, quint32 h, int frames)
{
    QByteArray vp8x(1, char(0x02 | 0x10)); // animation, alpha
    vp8x.append(QByteArray(3, '\0'));
    put24le(vp8x, w - 1);
    put24le(vp8x, h - 1);
    QByteArray anim;
    put32le(anim, 0xFFFFFFFFu); // background
    put16le(anim, 0);           // loop for ever
    QByteArray chunks = riffChunk("VP8X", vp8x) + riffChunk("ANIM", anim);
    for (int i = 0; i < frames; ++i) {
        QByteArray anmf;
        put24le(anmf, 0);
        put24le(anmf, 0);
        put24le(anmf, w - 1);
        put24le(anmf, h - 1);
        put24le(anmf, 100);
        anmf.append('\0');
        anmf += riffChunk("VP8L", vp8lFlat(w, h, true, qRgba(40 * i, 90, 200, 128)));
        chunks += riffChunk("ANMF", anmf);
    }
    return webpFile(chunks);
}

// A TIFF field with its values in the entry or, when they do not fit, after
// the directory.
struct TiffField {
    quint16 tag;
    quint16 type; // 3 SHORT, 4 LONG
    QList<quint32> values;
};

// A little-endian TIFF of one page: header, directory (fields sorted by
// tag), the values that do not fit their entries, then data. A value
// kAtData + n in a field is the offset of byte n of data.
constexpr quint32 kAtData = 0xF0000000u;
QByteArray tiffWithFields(const QList<TiffField> &fields, const QByteArray &data)
{
    const quint32 directoryEnd = quint32(8 + 2 + 12 * fields.size() + 4);
    quint32 extra = 0;
    for (const TiffField &f : fields) {
        const quint32 bytes = quint32(f.values.size()) * (f.type == 3 ? 2 : 4);
        if (bytes > 4)
            extra += bytes;
    }
    const quint32 dataAt = directoryEnd + extra;
    auto value = [&](quint32 v) { return v >= kAtData ? dataAt + (v - kAtData) : v; };
    QByteArray b("II*\0", 4);
    put32le(b, 8);
    put16le(b, quint32(fields.size()));
    QByteArray outside;
    for (const TiffField &f : fields) {
        put16le(b, f.tag);
        put16le(b, f.type);
        put32le(b, quint32(f.values.size()));
        QByteArray values;
        for (quint32 v : f.values) {
            if (f.type == 3)
                put16le(values, value(v));
            else
                put32le(values, value(v));
        }
        if (values.size() <= 4) {
            b += values + QByteArray(4 - values.size(), '\0');
        } else {
            put32le(b, directoryEnd + quint32(outside.size()));
            outside += values;
        }
    }
    put32le(b, 0);
    return b + outside + data;
}

// A deflated RGBA TIFF of w x h pixels, all zero, with bits-per-sample
// samples (sampleFormat 1 unsigned, 2 signed, 3 floating point): every strip
// of 16 rows holds the same few bytes of data.
QByteArray zeroRgbaTiff(quint32 w, quint32 h, quint16 bits, quint16 sampleFormat)
{
    const quint32 rows = 16;
    const quint32 strips = (h + rows - 1) / rows;
    const QByteArray strip = zlibZeros(qint64(w) * rows * 4 * bits / 8);
    const QList<quint32> offsets(strips, kAtData);
    const QList<quint32> counts(strips, quint32(strip.size()));
    return tiffWithFields({{256, 4, {w}},
                           {257, 4, {h}},
                           {258, 3, {bits, bits, bits, bits}},
                           {259, 3, {8}},
                           {262, 3, {2}},
                           {273, 4, offsets},
                           {277, 3, {4}},
                           {278, 4, {rows}},
                           {279, 4, counts},
                           {284, 3, {1}},
                           {338, 3, {2}},
                           {339, 3, {sampleFormat, sampleFormat, sampleFormat, sampleFormat}}},
                          strip);
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
    // The decoder draws the frame on a canvas of the logical screen's size:
    // that is the picture's size, whatever the frame's.
    add("huge-screen.gif", gif(16384, 16384, 1, 1, lzwLiterals({0}, true)),
        "GIF with a logical screen of 16384 x 16384 and a frame of 1 x 1", {LoadError::TooLarge});

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
        // Counts that the check itself would loop over: refused as stated,
        // before anything is summed over them.
        for (const quint32 bits : {8u, 1u, 0u}) {
            QList<TiffTag> samples = rgbTiffTags(40, 30);
            samples[2].value = bits;
            samples[6] = {277, 4, 1, 0xFFFFFFFFu};
            add(QStringLiteral("samples-bomb-%1.tif").arg(bits), tiff(samples, rgb),
                QStringLiteral("TIFF claiming 4294967295 samples of %1 bits a pixel").arg(bits), corrupt);
            files.last().detailNames = QStringLiteral("4294967295 samples");
        }
        add("many-pages.tif", tiff(rgbTiffTags(4, 4), QByteArray(4 * 4 * 3, '\x80'), 20000),
            "TIFF of 20000 pages of 4 x 4", {});
        files.last().mayLoadUpTo = QSize(4, 4);
    }

    // Small files that would cost a decoder seconds and gigabytes: text
    // chunks that inflate to megabytes each, deep samples, frames and turns
    // that multiply what a picture of the allowed size costs, a size whose
    // product overflows.
    {
        auto accepted = [&](QSize size) { files.last().mayLoadUpTo = size; };
        const QByteArray text7M = zlibZeros(7900000);
        QByteArray ztxt;
        for (int i = 0; i < 100; ++i)
            ztxt += pngChunk("zTXt", "Comment" + QByteArray::number(i) + QByteArray(2, '\0') + text7M);
        add("ztxt-bomb.png", zeroPng(16, 16, 8, 2, ztxt), "PNG of 16 x 16 with 100 zTXt chunks of 7.9 MB each", {});
        accepted(QSize(16, 16));
        QByteArray itxt;
        for (int i = 0; i < 300; ++i)
            itxt += pngChunk("iTXt", "Comment" + QByteArray::number(i) + QByteArray("\0\1\0\0\0", 5) + text7M);
        add("itxt-bomb.png", zeroPng(16, 16, 8, 2, itxt), "PNG of 16 x 16 with 300 iTXt chunks of 7.9 MB each", {});
        accepted(QSize(16, 16));
        add("ztxt-100mb.png",
            zeroPng(16, 16, 8, 2, pngChunk("zTXt", QByteArray("Comment\0\0", 9) + zlibZeros(100000000))),
            "PNG of 16 x 16 with a zTXt chunk of 100 MB", {});
        accepted(QSize(16, 16));
        QByteArray texts;
        for (int i = 0; i < 20000; ++i)
            texts += pngChunk("tEXt", QByteArray("k\0v", 3));
        add("many-texts.png", zeroPng(16, 16, 8, 2, texts), "PNG of 16 x 16 with 20000 tEXt chunks", {});
        accepted(QSize(16, 16));
        add("deep-turned.png", zeroPng(8192, 8192, 16, 6, pngChunk("eXIf", exifOrientationBlock(6))),
            "16-bit RGBA PNG of 8192 x 8192 stored turned (EXIF orientation 6)", {LoadError::TooLarge});
        add("one-column.png", zeroPng(1, 67108864, 8, 0), "valid grey PNG of 1 x 67108864", {LoadError::TooLarge});
        add("float-rgba.tif", zeroRgbaTiff(8192, 8192, 32, 3), "floating-point RGBA TIFF of 8192 x 8192",
            {LoadError::TooLarge});
        add("int32-samples.tif", zeroRgbaTiff(64, 64, 32, 1), "RGBA TIFF of 32-bit integer samples",
            {LoadError::Corrupt});
        add("animated.webp", animatedWebp(8000, 8000, 2), "animated WebP of 8000 x 8000 in two frames",
            {LoadError::TooLarge});
        add("alpha-lossless.webp", webpFile(riffChunk("VP8L", vp8lFlat(8192, 8192, true, qRgba(10, 20, 30, 40)))),
            "lossless WebP of 8192 x 8192 with alpha", {LoadError::TooLarge});
        add("overflow.bmp", bmp(0x7FFFFFFF, 0x7FFFFFFF, 32, 0, 0, QByteArray(), QByteArray(), 26),
            "54-byte BMP of 2^31-1 x 2^31-1 at 32 bits, its pixels said to start inside its header", tooLargeOrCorrupt);
        QList<TiffField> tiled = {{256, 4, {32}},
                                  {257, 4, {32}},
                                  {258, 3, {8, 8, 8}},
                                  {259, 3, {1}},
                                  {262, 3, {2}},
                                  {277, 3, {3}},
                                  {322, 4, {16}},
                                  {323, 4, {16}},
                                  {324, 4, {kAtData, kAtData + 768, kAtData + 1536, kAtData + 2304}},
                                  {325, 4, {768, 768, 768, 768}}};
        const QByteArray tiles(4 * 768, '\x40');
        QByteArray cutTiles = tiffWithFields(tiled, tiles);
        add("cut-tiles.tif", cutTiles.left(cutTiles.size() - 3), "tiled TIFF cut by three bytes", corrupt);
        tiled.removeLast(); // the tiles' byte counts: the decoder works them out
        cutTiles = tiffWithFields(tiled, tiles);
        add("cut-tiles-no-counts.tif", cutTiles.left(cutTiles.size() - 3),
            "tiled TIFF without tile byte counts, cut by three bytes", corrupt);
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
