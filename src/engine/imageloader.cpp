#include "engine/imageloader.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

namespace tessilor {

namespace {

// Recognises the three accepted formats by their first bytes, before any
// decoder runs.
QByteArray sniffFormat(QIODevice *dev)
{
    const QByteArray head = dev->peek(16);
    if (head.startsWith("BM"))
        return "bmp";
    if (head.size() >= 3 && uchar(head[0]) == 0xFF && uchar(head[1]) == 0xD8 && uchar(head[2]) == 0xFF)
        return "jpeg";
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return "gif";
    return QByteArray();
}

quint32 le32(const QByteArray &b, int at)
{
    return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8 | quint32(uchar(b[at + 2])) << 16 |
           quint32(uchar(b[at + 3])) << 24;
}

quint16 le16(const QByteArray &b, int at)
{
    return quint16(uchar(b[at]) | uchar(b[at + 1]) << 8);
}

// False when a BMP's pixel data cannot be all there: it starts at or past the
// end of the file, or, uncompressed, its rows need more bytes than follow.
// The BMP decoder would otherwise make up the missing pixels.
bool bmpDataPresent(QIODevice *dev)
{
    if (dev->isSequential())
        return true;
    const QByteArray head = dev->peek(30);
    if (head.size() < 30)
        return false;
    const qint64 available = dev->size() - dev->pos();
    const qint64 dataOffset = le32(head, 10);
    if (dataOffset >= available)
        return false;
    const quint32 infoSize = le32(head, 14);
    qint64 width, height;
    quint16 bits;
    quint32 compression = 0;
    if (infoSize == 12) { // OS/2 core header
        width = le16(head, 18);
        height = le16(head, 20);
        bits = le16(head, 24);
    } else {
        const QByteArray info = dev->peek(34);
        if (info.size() < 34)
            return false;
        width = qint32(le32(head, 18));
        height = qint32(le32(head, 22));
        bits = le16(head, 28);
        compression = le32(info, 30);
    }
    const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
    if (!uncompressed || width <= 0 || height == 0 || bits == 0 || bits > 32)
        return true; // left to the decoder
    const qint64 stride = (width * bits + 31) / 32 * 4;
    return dataOffset + stride * qAbs(height) <= available;
}

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
        for (; x < img.width(); ++x)
            line[x] |= 0xFF000000u;
    }
    return img;
}

QImage toOpaqueRgb32(const QImage &in)
{
    if (!in.hasAlphaChannel())
        return withOpaqueAlphaBytes(in.convertToFormat(QImage::Format_RGB32));
    QImage out(in.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    p.drawImage(0, 0, in);
    p.end();
    return out;
}

} // namespace

LoadedImage loadImage(QIODevice *device)
{
    LoadedImage result;
    const QByteArray format = sniffFormat(device);
    if (format.isEmpty()) {
        result.error = LoadError::Unsupported;
        return result;
    }
    if (format == "bmp" && !bmpDataPresent(device)) {
        result.error = LoadError::Corrupt;
        result.detail = QStringLiteral("the pixel data is cut short");
        return result;
    }
    QImageReader reader(device, format);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(int(kMaxDecodedBytes / (1024 * 1024)));
    const QSize size = reader.size();
    if (size.isValid()) {
        if (size.width() <= 0 || size.height() <= 0) {
            result.error = LoadError::Corrupt;
            return result;
        }
        if (qint64(size.width()) * size.height() * 4 > kMaxDecodedBytes) {
            result.error = LoadError::TooLarge;
            return result;
        }
    }
    QImage img;
    if (!reader.read(&img) || img.isNull()) {
        result.error = LoadError::Corrupt;
        result.detail = reader.errorString();
        if (reader.error() == QImageReader::InvalidDataError && result.detail.contains(QStringLiteral("limit")))
            result.error = LoadError::TooLarge;
        return result;
    }
    result.image = toOpaqueRgb32(img);
    if (result.image.isNull())
        result.error = LoadError::TooLarge;
    return result;
}

LoadedImage loadImage(const QString &path)
{
    LoadedImage result;
    QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        result.error = LoadError::NotFound;
        return result;
    }
    if (!info.isFile()) {
        // A pipe, socket or device: opening a pipe would wait for a writer.
        result.error = LoadError::Unreadable;
        result.detail = QStringLiteral("not a regular file");
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = LoadError::Unreadable;
        result.detail = file.errorString();
        return result;
    }
    return loadImage(&file);
}

QString loadErrorText(LoadError error)
{
    switch (error) {
    case LoadError::None:
        return QString();
    case LoadError::NotFound:
        return QStringLiteral("no such file");
    case LoadError::Unreadable:
        return QStringLiteral("cannot read the file");
    case LoadError::Unsupported:
        return QStringLiteral("not a BMP, JPEG or GIF image");
    case LoadError::TooLarge:
        return QStringLiteral("the picture is too large");
    case LoadError::Corrupt:
        return QStringLiteral("the image data is damaged");
    }
    return QString();
}

} // namespace tessilor
