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

QImage toOpaqueRgb32(const QImage &in)
{
    if (!in.hasAlphaChannel())
        return in.convertToFormat(QImage::Format_RGB32);
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
