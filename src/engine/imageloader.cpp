#include "engine/imageloader.h"

#include "engine/jpegdecode.h"
#include "engine/memoryprobe.h"
#include "engine/picturechecks.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <cerrno>
#include <cstring>
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

bool isPng(const QByteArray &head)
{
    return head.startsWith(QByteArrayLiteral("\x89PNG\r\n\x1a\n"));
}

bool isWebp(const QByteArray &head)
{
    return head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WEBP";
}

bool isTiff(const QByteArray &head)
{
    return head.startsWith(QByteArrayLiteral("II*\0")) || head.startsWith(QByteArrayLiteral("MM\0*"));
}

// How Qt's reader decodes a format, and what that costs besides the
// picture's 32-bit copy.
struct QtDecoding {
    const char *format;
    int bytesPerPixel;    // the most a pixel of the decoder's own picture takes
    qint64 workBytes = 0; // the decoder's working memory
    bool upright = false; // turned by the orientation the file stores
};

LoadedImage decodeWithQt(const QByteArray &bytes, const QtDecoding &how);
LoadedImage loadTiff(const QByteArray &bytes);

// An accepted picture format: recognised by its first bytes, whatever the
// file is called, then decoded either by a decoding step of our own or by
// Qt's image reader, which may be preceded by a check for damage Qt's
// decoder would paper over. Another format Qt reads is one more line here.
struct PictureFormat {
    bool (*recognise)(const QByteArray &head);
    LoadedImage (*decode)(const QByteArray &bytes);               // own decoding step, or nullptr
    QtDecoding qt;                                                // else Qt's reader for this format
    LoadError (*check)(const QByteArray &bytes, QString *detail); // before Qt's reader, or nullptr
};

// PNG may hold 16 bits a sample, which Qt decodes to 64-bit pixels.
const PictureFormat kFormats[] = {
    {isBmp, nullptr, {"bmp", 4}, checkBmp},           {isJpegData, loadJpeg, {}, nullptr},
    {isGif, nullptr, {"gif", 4}, checkGif},           {isPng, nullptr, {"png", 8, 0, true}, nullptr},
    {isWebp, nullptr, {"webp", 4, 0, true}, nullptr}, {isTiff, loadTiff, {}, nullptr},
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

LoadedImage decodeWithQt(const QByteArray &bytes, const QtDecoding &how)
{
    LoadedImage result;
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, how.format);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(how.upright);
    // The limit's own share for formats with wider pixels.
    QImageReader::setAllocationLimit(int(kMaxDecodedBytes / 4 * how.bytesPerPixel / (1024 * 1024)));
    const QSize size = reader.size();
    const qint64 pixels = size.isValid() ? qint64(size.width()) * size.height() : 0;
    if (size.isValid()) {
        if (size.width() <= 0 || size.height() <= 0) {
            result.error = LoadError::Corrupt;
            return result;
        }
        if (pixels * 4 > kMaxDecodedBytes) {
            result.error = LoadError::TooLarge;
            return result;
        }
        // The decoder's picture, its turned copy, its 32-bit copy and the
        // decoder's working memory.
        const qint64 decoded = pixels * how.bytesPerPixel;
        if (!memoryAvailable(decoded * (how.upright ? 2 : 1) + pixels * 4 + how.workBytes)) {
            result.error = LoadError::OutOfMemory;
            return result;
        }
    }
    QImage img;
    if (!reader.read(&img) || img.isNull()) {
        result.detail = reader.errorString();
        if (reader.error() == QImageReader::InvalidDataError && result.detail.contains(QStringLiteral("limit")))
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

// TIFF: the layout of the first page is checked, and decides the memory the
// decoder may take, before Qt's reader runs. The reader reads that page
// alone and never walks the others, however many the file chains.
LoadedImage loadTiff(const QByteArray &bytes)
{
    LoadedImage result;
    TiffFacts facts;
    result.error = checkTiff(bytes, &result.detail, &facts);
    if (!result.ok())
        return result;
    QtDecoding how{"tiff", facts.bitsPerPixel <= 32 ? 4 : facts.bitsPerPixel <= 64 ? 8 : 16, facts.workBytes, true};
    return decodeWithQt(bytes, how);
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
    const QByteArray name = QFile::encodeName(path.startsWith(u':') ? QStringLiteral("./") + path : path);
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

LoadedImage loadImageData(const QByteArray &bytes)
{
    LoadedImage result;
    const QByteArray head = bytes.left(16);
    for (const PictureFormat &f : kFormats) {
        if (!f.recognise(head))
            continue;
        try {
            if (f.decode)
                return f.decode(bytes);
            if (f.check) {
                result.error = f.check(bytes, &result.detail);
                if (!result.ok())
                    return result;
            }
            return decodeWithQt(bytes, f.qt);
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

} // namespace tessilor
