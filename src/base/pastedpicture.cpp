#include "base/pastedpicture.h"

#include "base/outputfile.h"
#include "base/paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace tessilor {

namespace {

const QString kGnomeCopiedFiles = QStringLiteral("x-special/gnome-copied-files");
const QString kUriList = QStringLiteral("text/uri-list");

// Local files of a list of URLs, a line each.
QStringList localFiles(const QByteArray &lines)
{
    QStringList files;
    for (QByteArray line : lines.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QUrl url = QUrl::fromEncoded(line);
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    return files;
}

QString firstPictureFile(const QMimeData &data)
{
    for (const QString &file : copiedFiles(data)) {
        if (isImageExtension(getExt(file)) && QFileInfo(file).isFile())
            return file;
    }
    return QString();
}

bool sameBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.size() == bytes.size() && file.open(QIODevice::ReadOnly) && file.readAll() == bytes;
}

} // namespace

const QList<ClipboardPictureType> &clipboardPictureTypes()
{
    static const QList<ClipboardPictureType> types = {{QStringLiteral("image/png"), QStringLiteral("png")},
                                                      {QStringLiteral("image/jpeg"), QStringLiteral("jpg")},
                                                      {QStringLiteral("image/bmp"), QStringLiteral("bmp")},
                                                      {QStringLiteral("image/x-bmp"), QStringLiteral("bmp")},
                                                      {QStringLiteral("image/x-ms-bmp"), QStringLiteral("bmp")},
                                                      {QStringLiteral("image/gif"), QStringLiteral("gif")},
                                                      {QStringLiteral("image/webp"), QStringLiteral("webp")},
                                                      {QStringLiteral("image/tiff"), QStringLiteral("tif")}};
    return types;
}

QStringList copiedFiles(const QMimeData &data)
{
    if (data.hasFormat(kGnomeCopiedFiles)) {
        // The first line says "copy" or "cut"; the files follow it.
        QByteArray list = data.data(kGnomeCopiedFiles);
        list.replace('\0', '\n');
        const qsizetype firstLine = list.indexOf('\n');
        const QStringList files = localFiles(firstLine < 0 ? QByteArray() : list.mid(firstLine + 1));
        if (!files.isEmpty())
            return files;
    }
    if (data.hasFormat(kUriList))
        return localFiles(data.data(kUriList));
    return {};
}

ClipboardPicture pictureFromClipboard(const QMimeData &data)
{
    ClipboardPicture picture;
    for (const ClipboardPictureType &type : clipboardPictureTypes()) {
        if (!data.hasFormat(type.mime))
            continue;
        picture.bytes = data.data(type.mime);
        if (!picture.bytes.isEmpty()) {
            picture.extension = type.extension;
            return picture;
        }
    }
    picture.file = firstPictureFile(data);
    return picture;
}

bool offersPicture(const QMimeData &data)
{
    for (const ClipboardPictureType &type : clipboardPictureTypes()) {
        if (data.hasFormat(type.mime))
            return true;
    }
    return !firstPictureFile(data).isEmpty();
}

QString keepPastedPicture(const QByteArray &bytes, const QString &extension, const QString &folder,
                          const QDateTime &when, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return QString();
    };
    if (folder.isEmpty())
        return fail(QStringLiteral("нет папки данных программы"));
    const QDir dir(folder);
    // The same picture pasted again is the same file.
    for (const QString &name : dir.entryList(QDir::Files)) {
        if (getExt(name) == extension && sameBytes(dir.filePath(name), bytes))
            return dir.filePath(name);
    }
    const QString stem = QStringLiteral("буфер обмена ") + when.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    QString path = dir.filePath(stem + u'.' + extension);
    for (int n = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++n)
        path = dir.filePath(QStringLiteral("%1 (%2).%3").arg(stem).arg(n).arg(extension));
    OutputFile file(path, OutputFile::Access::Private);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    file.write(bytes);
    if (!file.commit())
        return fail(file.errorString());
    return path;
}

int removeUnlistedPastedPictures(const QString &folder, const QStringList &keep)
{
    if (folder.isEmpty())
        return 0;
    QStringList kept;
    for (const QString &path : keep)
        kept.append(QFileInfo(path).absoluteFilePath());
    const QDir dir(folder);
    int removed = 0;
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QString path = dir.filePath(name);
        if (!kept.contains(QFileInfo(path).absoluteFilePath()) && QFile::remove(path))
            ++removed;
    }
    return removed;
}

} // namespace tessilor
