#include "fonts/fontstate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <fontconfig/fontconfig.h>

#include <link.h>
#include <sys/stat.h>

namespace tessilor {

namespace {

qint64 nanoseconds(const timespec &t)
{
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

QString fcString(const FcChar8 *s)
{
    return QFile::decodeName(reinterpret_cast<const char *>(s));
}

// The list with each path once, in the order of its first place.
QStringList eachOnce(const QStringList &paths)
{
    QStringList out;
    QSet<QString> seen;
    for (const QString &path : paths) {
        if (!seen.contains(path)) {
            seen.insert(path);
            out.append(path);
        }
    }
    return out;
}

void append(QStringList &out, FcStrList *list)
{
    if (!list)
        return;
    while (const FcChar8 *s = FcStrListNext(list))
        out.append(fcString(s));
    FcStrListDone(list);
}

} // namespace

FileState fileState(const QString &path)
{
    FileState s;
    s.path = path;
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return s;
    s.type = quint32(st.st_mode & S_IFMT);
    s.device = qint64(st.st_dev);
    s.inode = qint64(st.st_ino);
    s.size = qint64(st.st_size);
    s.modified = nanoseconds(st.st_mtim);
    s.changed = nanoseconds(st.st_ctim);
    return s;
}

QStringList fontconfigFiles()
{
    QStringList out;
    FcConfig *config = FcConfigGetCurrent();
    if (config) {
        append(out, FcConfigGetConfigFiles(config));
        append(out, FcConfigGetFontDirs(config));
    }
    // Where fontconfig's default configuration looks for the user's own
    // (50-user.conf), whether or not anything is there yet.
    const QString home = QFile::decodeName(qgetenv("HOME"));
    if (home.startsWith(u'/')) {
        const QString xdg = QFile::decodeName(qgetenv("XDG_CONFIG_HOME"));
        const QString user =
            (xdg.startsWith(u'/') ? xdg : home + QStringLiteral("/.config")) + QStringLiteral("/fontconfig");
        out << user << user + QStringLiteral("/fonts.conf") << user + QStringLiteral("/conf.d")
            << home + QStringLiteral("/.fonts.conf") << home + QStringLiteral("/.fonts.conf.d");
    }
    for (QString &path : out)
        path = QDir::cleanPath(path);
    return eachOnce(out);
}

QStringList fontFilesOfFamily(const QString &family)
{
    QStringList out;
    FcPattern *pattern = FcPatternCreate();
    const QByteArray name = family.toUtf8();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(name.constData()));
    FcObjectSet *objects = FcObjectSetBuild(FC_FILE, nullptr);
    FcFontSet *found = FcFontList(nullptr, pattern, objects);
    for (int i = 0; found && i < found->nfont; ++i) {
        FcChar8 *file = nullptr;
        if (FcPatternGetString(found->fonts[i], FC_FILE, 0, &file) == FcResultMatch)
            out.append(fcString(file));
    }
    if (found)
        FcFontSetDestroy(found);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    out.sort();
    return eachOnce(out);
}

QStringList glyphLibraryFiles()
{
    QStringList out;
    ::dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *data) {
            const QString path = QFile::decodeName(info->dlpi_name);
            const QString name = QFileInfo(path).fileName();
            for (const char *library : {"libQt6Gui.so", "libfreetype.so", "libfontconfig.so"}) {
                if (name.startsWith(QLatin1String(library)))
                    static_cast<QStringList *>(data)->append(path);
            }
            return 0;
        },
        &out);
    out.sort();
    return eachOnce(out);
}

} // namespace tessilor
