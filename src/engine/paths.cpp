#include "engine/paths.h"

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
    static const QStringList known = {QStringLiteral("jpg"), QStringLiteral("bmp"),
                                      QStringLiteral("jpe"), QStringLiteral("jpeg"),
                                      QStringLiteral("dib"), QStringLiteral("gif")};
    return known.contains(ext);
}

QString dataFolder()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (dir.isEmpty())
        return QString();
    if (!QDir().mkpath(dir))
        return QString();
    return QDir::cleanPath(dir);
}

QString programFilesFolder()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QString installed = QDir::cleanPath(exeDir + QStringLiteral("/../share/tessilor"));
    if (QFileInfo(installed).isDir())
        return installed;
    return exeDir;
}

QString figureFontFolder()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QString installed = QDir::cleanPath(exeDir + QStringLiteral("/../share/fonts/truetype/tessilor"));
    if (QFileInfo(installed).isDir())
        return installed;
    return exeDir;
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
