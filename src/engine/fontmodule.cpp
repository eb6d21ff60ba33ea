#include "engine/fontmodule.h"

#include "engine/options.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QHash>
#include <QRawFont>
#include <QSaveFile>
#include <QStandardPaths>

#include <fontconfig/fontconfig.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

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

// ---------------------------------------------------------------------------

namespace {

// A configuration loaded from disk as the next application would load it:
// neither the fonts Qt added for this program nor a configuration loaded
// before files changed.
class FreshFontconfig
{
public:
    FreshFontconfig() : m_config(FcInitLoadConfigAndFonts()) {}
    ~FreshFontconfig()
    {
        if (m_config)
            FcConfigDestroy(m_config);
    }
    FreshFontconfig(const FreshFontconfig &) = delete;
    FreshFontconfig &operator=(const FreshFontconfig &) = delete;
    FcConfig *get() const { return m_config; }

private:
    FcConfig *m_config;
};

const FcChar8 *fcText(const QByteArray &bytes)
{
    return reinterpret_cast<const FcChar8 *>(bytes.constData());
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The family fontconfig knows a font file under; empty when it reads none.
QByteArray fontconfigFamily(const QString &file)
{
    int count = 0;
    FcPattern *pattern = FcFreeTypeQuery(fcText(QFile::encodeName(file)), 0, nullptr, &count);
    if (!pattern)
        return QByteArray();
    FcChar8 *family = nullptr;
    QByteArray out;
    if (FcPatternGetString(pattern, FC_FAMILY, 0, &family) == FcResultMatch)
        out = reinterpret_cast<const char *>(family);
    FcPatternDestroy(pattern);
    return out;
}

bool sameContent(const QString &file, const QByteArray &bytes)
{
    QFile f(file);
    return f.size() == bytes.size() && f.open(QIODevice::ReadOnly) && f.readAll() == bytes;
}

// True when config lists a file of the family with exactly these bytes.
bool configHasFont(FcConfig *config, const QByteArray &family, const QByteArray &bytes)
{
    FcPattern *pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, fcText(family));
    FcObjectSet *objects = FcObjectSetBuild(FC_FILE, nullptr);
    FcFontSet *found = FcFontList(config, pattern, objects);
    bool same = false;
    for (int i = 0; found && i < found->nfont && !same; ++i) {
        FcChar8 *file = nullptr;
        if (FcPatternGetString(found->fonts[i], FC_FILE, 0, &file) == FcResultMatch)
            same = sameContent(QFile::decodeName(reinterpret_cast<const char *>(file)), bytes);
    }
    if (found)
        FcFontSetDestroy(found);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return same;
}

bool resolvesMonospaced(FcConfig *config, const QString &family)
{
    FcPattern *pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, fcText(family.toUtf8()));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern *match = FcFontMatch(config, pattern, &result);
    int spacing = FC_PROPORTIONAL;
    if (match) {
        FcPatternGetInteger(match, FC_SPACING, 0, &spacing);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return spacing == FC_MONO || spacing == FC_CHARCELL;
}

bool allTextFontsMonospaced(FcConfig *config)
{
    for (const RampFont &f : rampFonts()) {
        if (!resolvesMonospaced(config, f.face))
            return false;
    }
    return true;
}

// Makes folder (and the folders above it that are missing) when needed.
// The nearest folder that already exists must belong to this user, so that
// a program run with another user's HOME (sudo without -H) leaves that home
// alone; folder itself must be a real folder of this user, not a link.
bool prepareOwnFolder(const QString &folder, QString *error)
{
    if (folder.isEmpty() || QDir::isRelativePath(folder)) {
        *error = QStringLiteral("the user has no folder for it (is HOME set?)");
        return false;
    }
    const uid_t me = ::geteuid();
    QString probe = QDir::cleanPath(QDir(folder).absolutePath());
    struct stat st = {};
    while (::stat(QFile::encodeName(probe).constData(), &st) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            *error = QStringLiteral("%1: %2").arg(probe, systemError());
            return false;
        }
        const QString up = QFileInfo(probe).path();
        if (up == probe)
            break;
        probe = up;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != me) {
        *error = QStringLiteral("%1 is not a folder of this user").arg(probe);
        return false;
    }
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot make the folder %1").arg(folder);
        return false;
    }
    if (::lstat(QFile::encodeName(folder).constData(), &st) != 0) {
        *error = QStringLiteral("%1: %2").arg(folder, systemError());
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != me) {
        *error = QStringLiteral("%1 is not a folder of this user (or is a link)").arg(folder);
        return false;
    }
    return true;
}

enum class Copy { Same, Written, Failed };

// Writes bytes to target unless it holds them already. An existing target
// must be a regular file of this user; it is replaced as a whole.
Copy copyIfDifferent(const QString &target, const QByteArray &bytes, QString *error)
{
    struct stat st = {};
    if (::lstat(QFile::encodeName(target).constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            *error = QStringLiteral("%1 is not a regular file").arg(target);
            return Copy::Failed;
        }
        if (st.st_uid != ::geteuid()) {
            *error = QStringLiteral("%1 belongs to another user").arg(target);
            return Copy::Failed;
        }
        if (sameContent(target, bytes))
            return Copy::Same;
    } else if (errno != ENOENT) {
        *error = QStringLiteral("%1: %2").arg(target, systemError());
        return Copy::Failed;
    }
    QSaveFile out(target);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() ||
        !out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                            QFileDevice::ReadOther) ||
        !out.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(target, out.errorString());
        out.cancelWriting();
        return Copy::Failed;
    }
    return Copy::Written;
}

bool readSmallFile(const QString &file, QByteArray *bytes, QString *error)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxFontFileSize) {
        *error = QStringLiteral("cannot read %1").arg(file);
        return false;
    }
    *bytes = f.readAll();
    return true;
}

} // namespace

QString userFontFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/fonts/tessilor");
}

QString userFontconfigFolder()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return config.isEmpty() ? QString() : config + QStringLiteral("/fontconfig/conf.d");
}

FontShare shareFontsWithUser(const QStringList &fontFiles, const QString &folder)
{
    FontShare r;
    struct Font {
        QString name;
        QByteArray family;
        QByteArray bytes;
    };
    QList<Font> fonts;
    for (const QString &file : fontFiles) {
        Font font;
        if (!readSmallFile(file, &font.bytes, &r.error))
            return r;
        font.name = QFileInfo(file).fileName();
        font.family = fontconfigFamily(file);
        if (font.family.isEmpty()) {
            r.error = QStringLiteral("%1 is not a font file").arg(file);
            return r;
        }
        fonts.append(font);
    }
    auto allVisible = [&fonts](FcConfig *config) {
        for (const Font &font : fonts) {
            if (!configHasFont(config, font.family, font.bytes))
                return false;
        }
        return true;
    };
    {
        const FreshFontconfig before;
        if (!before.get()) {
            r.error = QStringLiteral("fontconfig has no configuration");
            return r;
        }
        if (allVisible(before.get())) {
            r.outcome = FontShare::AlreadyVisible;
            return r;
        }
        if (!prepareOwnFolder(folder, &r.error))
            return r;
        for (const Font &font : fonts) {
            const QString target = folder + u'/' + font.name;
            const Copy c = copyIfDifferent(target, font.bytes, &r.error);
            if (c == Copy::Failed)
                return r;
            if (c == Copy::Written)
                r.written.append(target);
        }
        // What fc-cache does for the folder: scan it and write its cache.
        // The folder above changed too when this one was made; its cache is
        // rebuilt only when out of date.
        if (FcCache *cache = FcDirCacheRead(fcText(QFile::encodeName(folder)), FcTrue, before.get()))
            FcDirCacheUnload(cache);
        if (FcCache *cache = FcDirCacheRead(fcText(QFile::encodeName(QFileInfo(folder).path())), FcFalse, before.get()))
            FcDirCacheUnload(cache);
    }
    const FreshFontconfig after;
    if (after.get() && allVisible(after.get())) {
        r.outcome = FontShare::Shared;
        return r;
    }
    r.error = QStringLiteral("fontconfig does not look for fonts in %1").arg(folder);
    return r;
}

bool textFontsResolveMonospaced()
{
    const FreshFontconfig config;
    return config.get() && allTextFontsMonospaced(config.get());
}

FontShare shareTextFontAliases(const QString &aliasFile, const QString &folder)
{
    FontShare r;
    QByteArray bytes;
    if (!readSmallFile(aliasFile, &bytes, &r.error))
        return r;
    if (textFontsResolveMonospaced()) {
        r.outcome = FontShare::AlreadyVisible;
        return r;
    }
    if (!prepareOwnFolder(folder, &r.error))
        return r;
    const QString target = folder + u'/' + QFileInfo(aliasFile).fileName();
    const Copy c = copyIfDifferent(target, bytes, &r.error);
    if (c == Copy::Failed)
        return r;
    if (c == Copy::Written)
        r.written.append(target);
    if (textFontsResolveMonospaced()) {
        r.outcome = FontShare::Shared;
        return r;
    }
    r.error = QStringLiteral("fontconfig does not read %1").arg(target);
    return r;
}

} // namespace tessilor
