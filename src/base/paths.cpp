#include "base/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tessilor {

QString getName(const QString &pathName)
{
    const qsizetype p = pathName.lastIndexOf(u'/') + 1; // 1-based, 0 when absent
    if (p > 0 && p < pathName.size())
        return pathName.mid(p).toLower();
    return QString();
}

QString getPath(const QString &pathName)
{
    const qsizetype p = pathName.lastIndexOf(u'/') + 1;
    if (p > 1 && p < pathName.size())
        return pathName.left(p - 1);
    // A file in the root folder: the root itself.
    if (p == 1 && pathName.size() > 1)
        return QStringLiteral("/");
    return QString();
}

QString getExt(const QString &name)
{
    const qsizetype p = name.lastIndexOf(u'.') + 1;
    if (p > 0 && p < name.size()) {
        const QString e = name.mid(p);
        if (e.size() > 10)
            return QString();
        return e.toLower();
    }
    return QString();
}

bool isImageExtension(const QString &ext)
{
    static const QStringList known = {QStringLiteral("jpg"),  QStringLiteral("bmp"),  QStringLiteral("jpe"),
                                      QStringLiteral("jpeg"), QStringLiteral("dib"),  QStringLiteral("gif"),
                                      QStringLiteral("png"),  QStringLiteral("webp"), QStringLiteral("tif"),
                                      QStringLiteral("tiff")};
    return known.contains(ext);
}

QString dataFolderLocation()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return dir.isEmpty() ? QString() : QDir::cleanPath(dir);
}

QString dataFolder()
{
    const QString dir = dataFolderLocation();
    if (dir.isEmpty() || !QDir().mkpath(dir) || !QFileInfo(dir).isDir())
        return QString();
    // The folder holds the last result: the user's alone.
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return dir;
}

QString pastedPicturesFolder()
{
    const QString data = dataFolder();
    if (data.isEmpty())
        return QString();
    const QString dir = data + QStringLiteral("/pasted");
    const QFileInfo info(dir);
    // Never a link put there by someone else.
    if (info.isSymLink() || (!info.isDir() && !QDir().mkdir(dir)) || !QFileInfo(dir).isDir())
        return QString();
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return dir;
}

QString programFilesFolder()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QString installed = QDir::cleanPath(exeDir + QStringLiteral("/../share/tessilor"));
    if (QFileInfo(installed).isDir())
        return installed;
    return exeDir;
}

int deleteTempFiles(const QString &folder)
{
    if (folder.isEmpty())
        return 0;
    QDir dir(folder);
    dir.setNameFilters({QStringLiteral("*.tmp")});
    dir.setFilter(QDir::Files | QDir::Hidden | QDir::System);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    int deleted = 0;
    // Name filters match without regard to case: "X.TMP" goes too.
    const QStringList names = dir.entryList();
    for (const QString &name : names) {
        if (QFile::remove(dir.filePath(name)))
            ++deleted;
    }
    return deleted;
}

QString figureFontFolder()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QString installed = QDir::cleanPath(exeDir + QStringLiteral("/../share/fonts/truetype/tessilor"));
    if (QFileInfo(installed).isDir())
        return installed;
    return exeDir;
}

QString figureFontFile(int which, const QString &folder)
{
    return folder + QStringLiteral("/GLYFA__%1.TTF").arg(which);
}

QString textFontAliasFile()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QString name = QString::fromLatin1(kTextFontAliasFileName);
    const QString installed = QDir::cleanPath(exeDir + QStringLiteral("/../share/fontconfig/conf.avail/") + name);
    if (QFileInfo(installed).isFile())
        return installed;
    return exeDir + u'/' + name;
}

} // namespace tessilor
