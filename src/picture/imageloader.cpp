#include "picture/imageloader.h"

#include "base/filenames.h"
#include "base/memoryprobe.h"
#include "picture/decodermessages.h"
#include "picture/jpegdecode.h"
#include "picture/picturechecks.h"
#include "picture/pngdecode.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessilor {

namespace {

bool isBmp(const QByteArray &head)
{
    return head.startsWith("BM");
}

bool isGif(const QByteArray &head)
{
    return head.startsWith("GIF87a") || head.startsWith("GIF89a");
}

bool isWebp(const QByteArray &head)
{
    return head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WEBP";
}

bool isTiff(const QByteArray &head)
{
    return head.startsWith(QByteArrayLiteral("II*\0")) || head.startsWith(QByteArrayLiteral("MM\0*"));
}

// How Qt's reader decodes a format, and what the decode holds at its
// height: the decoder's own picture (in its own format), the canvas an
// animation's frames are drawn on, then either the copy Qt turns by the
// stored orientation or the opaque 32-bit copy made of it here, and the
// decoder's working memory.
struct QtDecoding {
    const char *format;
    int bytesPerPixel = 4; // a pixel of the decoder's own picture
    bool copied = true;    // the 32-bit opaque picture is a copy of it
    bool turned = false;   // Qt turns it by the orientation the file stores
    bool canvas = false;   // frames drawn on a canvas of the picture's size
    qint64 workBytes = 0;  // the decoder's working memory
};

// Decodes with Qt's reader. stated, when valid, is the size the file's
// headers state, checked before the reader is made: some readers (an
// animation's) take the memory as they learn the size.
LoadedImage decodeWithQt(const QByteArray &bytes, const QtDecoding &how, QSize stated = QSize());

// What a decode of a picture of this size would hold at its height, or
// TooLarge.
LoadError decodingCost(QSize size, const QtDecoding &how, qint64 *peak);

// BMP: run-length pictures are drawn here (Qt leaves the pixels their data
// skips unset); palette pictures decode to 8-bit indices, 32-bit ones with
// an alpha mask to pixels with transparency.
LoadedImage loadBmp(const QByteArray &bytes)
{
    LoadedImage result;
    BmpFacts facts;
    result.error = checkBmp(bytes, &result.detail, &facts);
    if (!result.ok())
        return result;
    if (facts.runLength)
        return decodeBmpRunLength(bytes);
    const bool paletted = facts.bits <= 8;
    return decodeWithQt(bytes, {"bmp", paletted ? 1 : 4, paletted || facts.alpha});
}

// GIF: Qt's reader states the first frame's size, but decodes onto a
// canvas of the logical screen's size: that size is what the decode costs.
LoadedImage loadGif(const QByteArray &bytes)
{
    LoadedImage result;
    const QtDecoding how{"gif"};
    qint64 peak = 0;
    const QSize screen = gifScreenSize(bytes);
    if (!screen.isEmpty() && (result.error = decodingCost(screen, how, &peak)) != LoadError::None)
        return result;
    result.error = checkGif(bytes, &result.detail);
    if (!result.ok())
        return result;
    return decodeWithQt(bytes, how, screen);
}

// WebP: 32-bit pixels; with transparency a copy, with animation the
// canvas the first frame is drawn on besides the frame.
LoadedImage loadWebp(const QByteArray &bytes)
{
    const WebpFacts facts = webpFacts(bytes);
    return decodeWithQt(bytes, {"webp", 4, facts.alpha || facts.animated, facts.exif, facts.animated}, facts.size);
}

// TIFF: the layout of the first page is checked, and decides the memory the
// decoder may take, before Qt's reader runs. The reader reads that page
// alone and never walks the others, however many the file chains. Its
// picture takes a byte a pixel up to 8 bits (grey, palette), 4 up to 32, 8
// up to 64 (16-bit samples) and 16 beyond (32-bit floating point); only
// 8-bit RGB comes as the opaque 32-bit picture itself.
LoadedImage loadTiff(const QByteArray &bytes)
{
    LoadedImage result;
    TiffFacts facts;
    result.error = checkTiff(bytes, &result.detail, &facts);
    if (!result.ok())
        return result;
    const int bits = facts.bitsPerPixel;
    const int bytesPerPixel = bits <= 8 ? 1 : bits <= 32 ? 4 : bits <= 64 ? 8 : 16;
    const bool opaqueRgb = facts.photometric == 2 && facts.samples == 3 && bits == 24;
    routeTiffMessages();
    return decodeWithQt(bytes, {"tiff", bytesPerPixel, !opaqueRgb, facts.orientation != 1, false, facts.workBytes});
}

// An accepted picture format: recognised by its first bytes, whatever the
// file is called, then decoded by its decoding step (ours, or Qt's image
// reader after checks for what Qt's decoder would paper over). Another
// format is one more line here.
struct PictureFormat {
    bool (*recognise)(const QByteArray &head);
    LoadedImage (*decode)(const QByteArray &bytes);
};

const PictureFormat kFormats[] = {
    {isBmp, loadBmp},     {isJpegData, loadJpeg}, {isGif, loadGif},
    {isPngData, loadPng}, {isWebp, loadWebp},     {isTiff, loadTiff},
};

// Some decoders hand out RGB32 pictures whose unused alpha byte is not 0xFF
// (the GIF decoder leaves it 0 where a frame does not cover the screen).
// Pixels are read from scan lines, so the picture is made to match its format.
QImage withOpaqueAlphaBytes(QImage img)
{
    for (int y = 0; y < img.height(); ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        int x = 0;
        while (x < img.width() && (in[x] & 0xFF000000u) == 0xFF000000u)
            ++x;
        if (x == img.width())
            continue;
        QRgb *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        if (!line)
            return QImage();
        for (; x < img.width(); ++x)
            line[x] |= 0xFF000000u;
    }
    return img;
}

QImage toOpaqueRgb32(const QImage &in)
{
    if (!in.hasAlphaChannel()) {
        const QImage rgb = in.convertToFormat(QImage::Format_RGB32);
        return rgb.isNull() ? rgb : withOpaqueAlphaBytes(rgb);
    }
    QImage out(in.size(), QImage::Format_RGB32);
    if (out.isNull())
        return out;
    out.fill(Qt::white);
    QPainter p(&out);
    p.drawImage(0, 0, in);
    p.end();
    return out;
}

LoadError decodingCost(QSize size, const QtDecoding &how, qint64 *peak)
{
    const qint64 pixels = qint64(size.width()) * size.height();
    const qint64 decoded = pixels * how.bytesPerPixel;
    *peak =
        decoded * (how.canvas ? 2 : 1) + qMax(how.turned ? decoded : 0, how.copied ? pixels * 4 : 0) + how.workBytes;
    if (size.width() > kMaxPictureSide || size.height() > kMaxPictureSide || pixels * 4 > kMaxDecodedBytes ||
        decoded > kMaxDecodedBytes || *peak > kMaxDecodingBytes)
        return LoadError::TooLarge;
    return LoadError::None;
}

LoadedImage decodeWithQt(const QByteArray &bytes, const QtDecoding &how, QSize stated)
{
    LoadedImage result;
    qint64 statedPeak = 0;
    if (stated.isValid() && !stated.isEmpty()) {
        result.error = decodingCost(stated, how, &statedPeak);
        if (!result.ok())
            return result;
    }
    qint64 peak = statedPeak;
    // What Qt and the libraries say belongs to this load.
    DecoderMessages messages;
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, how.format);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    const qint64 pixels = size.isValid() ? qint64(size.width()) * size.height() : 0;
    if (size.isValid()) {
        if (size.width() <= 0 || size.height() <= 0) {
            result.error = LoadError::Corrupt;
            result.detail = QStringLiteral("the picture has no pixels");
            return result;
        }
        result.error = decodingCost(size, how, &peak);
        if (!result.ok())
            return result;
        peak = qMax(peak, statedPeak);
        if (!memoryAvailable(peak)) {
            result.error = LoadError::OutOfMemory;
            return result;
        }
    }
    QImage img;
    if (!reader.read(&img) || img.isNull()) {
        result.detail = messages.isEmpty() ? reader.errorString() : messages.text();
        if (result.detail.contains(QStringLiteral("allocation limit")))
            result.error = LoadError::TooLarge;
        else if (size.isValid() && !memoryAvailable(pixels * how.bytesPerPixel))
            result.error = LoadError::OutOfMemory; // the decoder's picture could not be had
        else
            result.error = LoadError::Corrupt;
        return result;
    }
    result.image = toOpaqueRgb32(img);
    if (result.image.isNull())
        result.error = LoadError::OutOfMemory;
    return result;
}

struct FileCloser {
    int fd;
    ~FileCloser() { ::close(fd); }
};

LoadError classify(const struct stat &st, QString *detail)
{
    if (S_ISDIR(st.st_mode))
        return LoadError::IsFolder;
    if (!S_ISREG(st.st_mode)) {
        // A pipe, socket or device.
        if (detail)
            *detail = QStringLiteral("not a regular file");
        return LoadError::Unreadable;
    }
    if (st.st_size > kMaxFileBytes)
        return LoadError::TooLarge;
    return LoadError::None;
}

LoadError unreadable(int error, QString *detail)
{
    if (error == ENOENT || error == ENOTDIR)
        return LoadError::NotFound;
    if (detail)
        *detail = QString::fromLocal8Bit(std::strerror(error));
    return LoadError::Unreadable;
}

} // namespace

LoadError readPictureFile(const QString &path, QByteArray *bytes, QString *detail)
{
    if (path.isEmpty())
        return LoadError::NotFound;
    // A leading ':' makes Qt's file classes look among the program's
    // resources; a name given by the user is always a file name.
    const QByteArray name = encodeFileName(path.startsWith(u':') ? QStringLiteral("./") + path : path);
    struct stat st;
    if (::stat(name.constData(), &st) != 0)
        return unreadable(errno, detail);
    if (const LoadError e = classify(st, detail); e != LoadError::None)
        return e;
    // Not blocking: should a pipe have taken the file's place meanwhile, the
    // open does not wait for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return unreadable(errno, detail);
    FileCloser closer{fd};
    if (::fstat(fd, &st) != 0)
        return unreadable(errno, detail);
    if (const LoadError e = classify(st, detail); e != LoadError::None)
        return e;
    try {
        // Read to the end, whatever the size said: a file that shrinks is
        // read short, one that grows is read on up to the limit.
        QByteArray data(qMin<qint64>(st.st_size, kMaxFileBytes) + 1, Qt::Uninitialized);
        qint64 have = 0;
        for (;;) {
            if (have == data.size()) {
                if (have > kMaxFileBytes)
                    return LoadError::TooLarge;
                data.resize(qMin<qint64>(2 * have, kMaxFileBytes + 1));
            }
            const ssize_t got = ::read(fd, data.data() + have, size_t(data.size() - have));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return unreadable(errno, detail);
            }
            if (got == 0)
                break;
            have += got;
        }
        data.resize(have);
        *bytes = data;
    } catch (const std::bad_alloc &) {
        return LoadError::OutOfMemory;
    }
    return LoadError::None;
}

void initPictureDecoding()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // A backstop for what the checks here do not foresee: no single
        // picture of a decoder is larger than the decoded limit.
        QImageReader::setAllocationLimit(int(kMaxDecodedBytes / (1024 * 1024)));
        routeDecoderMessages();
    });
}

LoadedImage loadImageData(const QByteArray &bytes)
{
    initPictureDecoding();
    LoadedImage result;
    const QByteArray head = bytes.left(16);
    for (const PictureFormat &f : kFormats) {
        if (!f.recognise(head))
            continue;
        try {
            return f.decode(bytes);
        } catch (const std::bad_alloc &) {
            LoadedImage failed;
            failed.error = LoadError::OutOfMemory;
            return failed;
        }
    }
    result.error = LoadError::Unsupported;
    return result;
}

LoadedImage loadImage(QIODevice *device)
{
    LoadedImage result;
    QByteArray bytes;
    try {
        bytes = device->read(kMaxFileBytes + 1);
    } catch (const std::bad_alloc &) {
        result.error = LoadError::OutOfMemory;
        return result;
    }
    if (bytes.size() > kMaxFileBytes) {
        result.error = LoadError::TooLarge;
        return result;
    }
    return loadImageData(bytes);
}

LoadedImage loadImage(const QString &path)
{
    LoadedImage result;
    QByteArray bytes;
    result.error = readPictureFile(path, &bytes, &result.detail);
    if (!result.ok())
        return result;
    return loadImageData(bytes);
}

QString loadErrorText(LoadError error)
{
    switch (error) {
    case LoadError::None:
        return QString();
    case LoadError::NotFound:
        return QStringLiteral("no such file");
    case LoadError::IsFolder:
        return QStringLiteral("is a folder, not a picture file");
    case LoadError::Unreadable:
        return QStringLiteral("cannot read the file");
    case LoadError::Unsupported:
        return QStringLiteral("not a BMP, JPEG, GIF, PNG, WebP or TIFF image");
    case LoadError::TooLarge:
        return QStringLiteral("the picture is too large");
    case LoadError::TooComplex:
        return QStringLiteral("the picture takes far more decoding work than any real picture needs");
    case LoadError::Corrupt:
        return QStringLiteral("the image data is damaged");
    case LoadError::OutOfMemory:
        return QStringLiteral("not enough memory to load the picture");
    }
    return QString();
}

QString loadErrorTextRussian(LoadError error)
{
    switch (error) {
    case LoadError::None:
        return QString();
    case LoadError::NotFound:
        return QStringLiteral("файл не найден");
    case LoadError::IsFolder:
        return QStringLiteral("это папка, а не файл изображения");
    case LoadError::Unreadable:
        return QStringLiteral("файл не удаётся прочитать");
    case LoadError::Unsupported:
        return QStringLiteral("это не изображение BMP, JPEG, GIF, PNG, WebP или TIFF");
    case LoadError::TooLarge:
        return QStringLiteral("изображение слишком велико");
    case LoadError::TooComplex:
        return QStringLiteral("распаковка изображения требует во много раз больше работы, чем любое настоящее "
                              "изображение");
    case LoadError::Corrupt:
        return QStringLiteral("данные изображения повреждены или обрезаны");
    case LoadError::OutOfMemory:
        return QStringLiteral("недостаточно памяти для загрузки изображения");
    }
    return QString();
}

} // namespace tessilor
