#include "fonts/fontmodule.h"

#include "base/leftovers.h"
#include "base/outputfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QHash>
#include <QRandomGenerator>
#include <QRawFont>
#include <QStandardPaths>

#include <fontconfig/fontconfig.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

const FcChar8 *fcText(const QByteArray &bytes)
{
    return reinterpret_cast<const FcChar8 *>(bytes.constData());
}

// A folder of this run alone in the temporary folder, removed with what it
// holds when the run ends, or when a signal ends it (leftovers.h).
class PrivateFolder
{
public:
    PrivateFolder()
        : m_path(makeLeftover(
              [] {
                  QByteArray path = QFile::encodeName(QDir::tempPath()) + "/tessilor-fontcache-XXXXXX";
                  return ::mkdtemp(path.data()) ? path : QByteArray();
              },
              true))
    {}
    ~PrivateFolder()
    {
        if (m_path.isEmpty())
            return;
        QDir(path()).removeRecursively();
        forgetLeftover(m_path);
    }
    PrivateFolder(const PrivateFolder &) = delete;
    PrivateFolder &operator=(const PrivateFolder &) = delete;
    QString path() const { return QFile::decodeName(m_path); }

private:
    QByteArray m_path;
};

// The folder fontconfig keeps this program's caches in: the user's cache
// folder when the user has a real home, else a private folder of this run,
// removed when it ends. Never a folder shared with other users, so that a
// scan made here (under a memory limit, say) never lands in the system's
// cache.
QString fontCacheFolder()
{
    const QString cache = userCacheFolder();
    if (!cache.isEmpty())
        return cache + QStringLiteral("/fontconfig");
    static const PrivateFolder own;
    return own.path();
}

// The user's configuration (FONTCONFIG_FILE or the system's file), with
// fontCacheFolder() first among the cache folders: fontconfig writes a
// cache into the first folder it may write, and reads from all of them.
FcConfig *loadFontconfig()
{
    FcConfig *config = FcConfigCreate();
    if (!config)
        return nullptr;
    const QString cache = fontCacheFolder();
    if (!cache.isEmpty()) {
        const QByteArray xml = "<?xml version=\"1.0\"?>\n<fontconfig><cachedir>" + cache.toHtmlEscaped().toUtf8() +
                               "</cachedir></fontconfig>\n";
        FcConfigParseAndLoadFromMemory(config, fcText(xml), FcFalse);
    }
    if (!FcConfigParseAndLoad(config, nullptr, FcTrue) || !FcConfigBuildFonts(config)) {
        FcConfigDestroy(config);
        return nullptr;
    }
    return config;
}

// A configuration loaded from disk as the next application would load it:
// neither the fonts Qt added for this program nor a configuration loaded
// before files changed.
class FreshFontconfig
{
public:
    FreshFontconfig() : m_config(loadFontconfig()) {}
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

QString systemError(int error = errno)
{
    return QString::fromLocal8Bit(std::strerror(error));
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
    for (const QString &face : textFontFaces()) {
        if (!resolvesMonospaced(config, face))
            return false;
    }
    return true;
}

// A folder opened to write into. It is reached from the home down one name
// at a time, never through a symbolic link, and every folder on the way,
// made here where missing (mode 0700), must belong to this user: so a link
// anywhere in the path (~/.config to /etc/fonts, say) or another user's
// folder stops the write, and so does a home that is not this user's (a
// program run by root with another user's HOME, as sudo without -H). A
// folder outside the home is reached the same way from the XDG base folder
// that names it.
class OwnFolder
{
public:
    OwnFolder(const QString &folder, QString *error);
    ~OwnFolder()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OwnFolder(const OwnFolder &) = delete;
    OwnFolder &operator=(const OwnFolder &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
};

OwnFolder::OwnFolder(const QString &folder, QString *error)
{
    QString problem;
    const QString home = userHomeFolder(&problem);
    if (home.isEmpty()) {
        *error = problem + QStringLiteral(": nothing is written");
        return;
    }
    if (folder.isEmpty() || QDir::isRelativePath(folder)) {
        *error = QStringLiteral("the user has no folder for it");
        return;
    }
    const QString clean = QDir::cleanPath(folder);
    auto below = [&clean](const QString &root) { return clean == root || clean.startsWith(root + u'/'); };
    // The walk starts at the home, or for a folder outside it at the XDG
    // base folder the user named for it (XDG_DATA_HOME, XDG_CONFIG_HOME,
    // XDG_CACHE_HOME),
    // made here below a folder of the user's when missing.
    QString root = home;
    if (!below(home)) {
        root.clear();
        for (const char *variable : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
            const QString base = QDir::cleanPath(QFile::decodeName(qgetenv(variable)));
            if (base.startsWith(u'/') && base != QLatin1String("/") && below(base))
                root = base;
        }
        if (root.isEmpty()) {
            *error = QStringLiteral("%1 is not inside the home folder %2").arg(clean, home);
            return;
        }
        struct stat parent = {};
        const QByteArray up = QFile::encodeName(QFileInfo(root).path());
        if (!QFileInfo::exists(root) && ::stat(up.constData(), &parent) == 0 && S_ISDIR(parent.st_mode) &&
            parent.st_uid == ::geteuid())
            ::mkdir(QFile::encodeName(root).constData(), 0700);
    }
    const uid_t me = ::geteuid();
    int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QString at = root;
    struct stat st = {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_uid != me) {
        *error = QStringLiteral("%1 is not a folder of this user").arg(root);
        if (fd >= 0)
            ::close(fd);
        return;
    }
    for (const QString &part : clean.mid(root.size()).split(u'/', Qt::SkipEmptyParts)) {
        at += u'/' + part;
        const QByteArray name = QFile::encodeName(part);
        const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        int next = ::openat(fd, name.constData(), flags);
        if (next < 0 && errno == ENOENT) {
            if (::mkdirat(fd, name.constData(), 0700) != 0 && errno != EEXIST) {
                *error = QStringLiteral("cannot make the folder %1: %2").arg(at, systemError());
                ::close(fd);
                return;
            }
            next = ::openat(fd, name.constData(), flags);
        }
        if (next < 0) {
            const int openError = errno;
            if (::fstatat(fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
                *error = QStringLiteral("%1 is a symbolic link").arg(at);
            else if (openError == ENOTDIR)
                *error = QStringLiteral("%1 is not a folder").arg(at);
            else
                *error = QStringLiteral("%1: %2").arg(at, systemError(openError));
            ::close(fd);
            return;
        }
        ::close(fd);
        fd = next;
        if (::fstat(fd, &st) != 0 || st.st_uid != me) {
            *error = QStringLiteral("%1 is not a folder of this user").arg(at);
            ::close(fd);
            return;
        }
    }
    m_fd = fd;
}

// The bytes of the regular file name in the folder dirFd, when it holds no
// more than limit bytes.
bool readAt(int dirFd, const QByteArray &name, qint64 limit, QByteArray *bytes)
{
    const int fd = ::openat(dirFd, name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    QFile f;
    const bool ok = f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    if (!ok) {
        ::close(fd);
        return false;
    }
    *bytes = f.read(limit + 1);
    return bytes->size() <= limit;
}

enum class Copy { Same, Written, Failed };

// Writes bytes to the file name in the folder dirFd (shown as target)
// unless it holds them already. An existing file must be a regular file of
// this user. A temporary file beside it is written, flushed to the disk and
// closed, each step checked, and then renamed over it; on any failure the
// temporary file goes and the error names the cause (a full disk, say),
// so a cut file never takes the target's place.
Copy copyIfDifferent(int dirFd, const QString &target, const QByteArray &bytes, QString *error)
{
    const QByteArray name = QFile::encodeName(QFileInfo(target).fileName());
    struct stat st = {};
    if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!S_ISREG(st.st_mode)) {
            *error = (S_ISLNK(st.st_mode) ? QStringLiteral("%1 is a symbolic link")
                                          : QStringLiteral("%1 is not a regular file"))
                         .arg(target);
            return Copy::Failed;
        }
        if (st.st_uid != ::geteuid()) {
            *error = QStringLiteral("%1 belongs to another user").arg(target);
            return Copy::Failed;
        }
        QByteArray old;
        if (st.st_size == bytes.size() && readAt(dirFd, name, bytes.size(), &old) && old == bytes)
            return Copy::Same;
    } else if (errno != ENOENT) {
        *error = QStringLiteral("%1: %2").arg(target, systemError());
        return Copy::Failed;
    }
    // Hidden, so that fontconfig passes over it while it exists.
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = '.' + name + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".part";
        fd = ::openat(dirFd, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        *error = QStringLiteral("cannot write %1: %2").arg(target, systemError());
        return Copy::Failed;
    }
    auto fail = [&](int cause) {
        if (fd >= 0)
            ::close(fd);
        ::unlinkat(dirFd, temp.constData(), 0);
        *error = QStringLiteral("cannot write %1: %2").arg(target, systemError(cause));
        return Copy::Failed;
    };
    if (const int cause = writeAllTo(fd, bytes.constData(), bytes.size()))
        return fail(cause);
    // Readable by the user's other programs, whatever the umask.
    if (::fchmod(fd, 0644) != 0 || ::fsync(fd) != 0)
        return fail(errno);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        return fail(errno);
    if (::renameat(dirFd, temp.constData(), dirFd, name.constData()) != 0)
        return fail(errno);
    return Copy::Written;
}

// Rebuilds fontconfig's cache of folder as fc-cache does, and checks that
// it lists every one of files. A cache that misses one (a scan that ran out
// of memory, say) is removed rather than left in force for every
// application: they scan the folder themselves then.
bool rebuildFolderCache(const QString &folder, const QStringList &files, FcConfig *config, QString *error)
{
    const QByteArray dir = QFile::encodeName(folder);
    if (FcCache *cache = FcDirCacheRead(fcText(dir), FcTrue, config))
        FcDirCacheUnload(cache);
    FcChar8 *cacheFile = nullptr;
    FcCache *cache = FcDirCacheLoad(fcText(dir), config, &cacheFile);
    if (!cache)
        return true; // none written (no cache folder): applications scan it
    QStringList missing = files;
    if (FcFontSet *set = FcCacheCopySet(cache)) {
        for (int i = 0; i < set->nfont; ++i) {
            FcChar8 *file = nullptr;
            if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) == FcResultMatch)
                missing.removeAll(QFile::decodeName(reinterpret_cast<const char *>(file)));
        }
        FcFontSetDestroy(set);
    }
    FcDirCacheUnload(cache);
    const QString cachePath = cacheFile ? QFile::decodeName(reinterpret_cast<const char *>(cacheFile)) : QString();
    if (cacheFile)
        FcStrFree(cacheFile);
    if (missing.isEmpty())
        return true;
    // Only a cache of this program's own folder is removed.
    if (cachePath.startsWith(fontCacheFolder() + u'/'))
        QFile::remove(cachePath);
    *error = QStringLiteral("fontconfig could not read %1 (short of memory?); its cache of %2 was not kept")
                 .arg(missing.join(QStringLiteral(", ")), folder);
    return false;
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

QString userHomeFolder(QString *problem)
{
    QString why;
    const QByteArray home = qgetenv("HOME");
    const QString clean = QDir::cleanPath(QFile::decodeName(home));
    struct stat st = {};
    if (home.isEmpty())
        why = QStringLiteral("HOME is not set");
    else if (!home.startsWith('/'))
        why = QStringLiteral("HOME (%1) is not an absolute path").arg(clean);
    else if (clean == QLatin1String("/"))
        why = QStringLiteral("HOME is the root folder");
    else if (::stat(home.constData(), &st) != 0)
        why = QStringLiteral("HOME (%1): %2").arg(clean, systemError());
    else if (!S_ISDIR(st.st_mode))
        why = QStringLiteral("HOME (%1) is not a folder").arg(clean);
    else if (st.st_uid != ::geteuid())
        why = QStringLiteral("HOME (%1) belongs to another user").arg(clean);
    if (problem)
        *problem = why;
    return why.isEmpty() ? clean : QString();
}

QString userCacheFolder()
{
    const QString home = userHomeFolder();
    if (home.isEmpty())
        return QString();
    const QString xdg = QDir::cleanPath(QFile::decodeName(qgetenv("XDG_CACHE_HOME")));
    return xdg.startsWith(u'/') && xdg != QLatin1String("/") ? xdg : home + QStringLiteral("/.cache");
}

bool makeOwnFolder(const QString &folder, QString *error)
{
    QString problem;
    const OwnFolder own(folder, &problem);
    if (error)
        *error = problem;
    return own.fd() >= 0;
}

void useOwnFontCaches()
{
    if (FcConfig *config = loadFontconfig()) {
        FcConfigSetCurrent(config);
        FcConfigDestroy(config);
    }
}

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
        const OwnFolder own(folder, &r.error);
        if (own.fd() < 0)
            return r;
        QStringList files;
        for (const Font &font : fonts) {
            const QString target = QDir::cleanPath(folder) + u'/' + font.name;
            files.append(target);
            const Copy c = copyIfDifferent(own.fd(), target, font.bytes, &r.error);
            if (c == Copy::Failed)
                return r;
            if (c == Copy::Written)
                r.written.append(target);
        }
        // What fc-cache does for the folder: scan it and write its cache.
        // The folder above changed too when this one was made; its cache is
        // rebuilt only when out of date.
        if (!rebuildFolderCache(QDir::cleanPath(folder), files, before.get(), &r.error))
            return r;
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

const std::array<QString, 4> &textFontFaces()
{
    static const std::array<QString, 4> faces = {QStringLiteral("Courier New Cyr"), QStringLiteral("Fixedsys"),
                                                 QStringLiteral("Lucida Console"), QStringLiteral("Terminal")};
    return faces;
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
    const OwnFolder own(folder, &r.error);
    if (own.fd() < 0)
        return r;
    const QString target = QDir::cleanPath(folder) + u'/' + QFileInfo(aliasFile).fileName();
    const Copy c = copyIfDifferent(own.fd(), target, bytes, &r.error);
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
