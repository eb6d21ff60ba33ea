#include "engine/fontmodule.h"


#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHash>
#include <QRawFont>

namespace tessilor {

namespace {

// Font files are a few megabytes at most; anything far larger is not read.
constexpr qint64 kMaxFontFileSize = 64 * 1024 * 1024;

// Files already added in this run, by canonical path, with their family.
QHash<QString, QString> &installedFonts()
{
    static QHash<QString, QString> fonts;
    return fonts;
}

} // namespace

QString GetTempDir()
{
    QString dir = QDir::tempPath();
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir;
}

bool KillIfExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return false;
    return QFile::remove(path);
}

QString GetFontName(const QString &fontFile)
{
    const QFileInfo info(fontFile);
    if (fontFile.isEmpty() || !info.isFile() || !info.isReadable() || info.size() > kMaxFontFileSize)
        return QString();
    const QRawFont font(fontFile, 12, QFont::PreferNoHinting);
    if (!font.isValid())
        return QString();
    return font.familyName();
}

QString InstallFont(const QString &fontFile)
{
    const QFileInfo info(fontFile);
    const QString key = info.canonicalFilePath();
    if (key.isEmpty())
        return QString();
    auto &fonts = installedFonts();
    const auto known = fonts.constFind(key);
    if (known != fonts.constEnd())
        return *known;

    const QString name = GetFontName(fontFile);
    if (name.isEmpty())
        return QString();
    if (QFontDatabase::addApplicationFont(fontFile) < 0)
        return QString();
    fonts.insert(key, name);
    return name;
}

} // namespace tessilor
