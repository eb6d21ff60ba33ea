#pragma once
// Fontconfig for programs under test. The programs share the figure fonts
// and the text-font aliases through the user's font and fontconfig folders;
// a test points HOME and the XDG folders at a temporary folder, and with the
// file written here fontconfig also keeps its caches there: the system's
// configuration is read as usual, but a cache folder below dir comes first,
// so that neither the system's nor the real user's cache folder is written.
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QString>

namespace testsupport {

// Writes dir/fonts.conf and returns its path, for FONTCONFIG_FILE. extra
// is added to the configuration after the system's (font folders, say).
inline QString writePrivateFontconfig(const QString &dir, const QByteArray &extra = QByteArray())
{
    QDir().mkpath(dir);
    const QString file = dir + QStringLiteral("/fonts.conf");
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write("<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n<fontconfig>\n"
            "  <cachedir>" +
            dir.toHtmlEscaped().toUtf8() +
            "/fontconfig-cache</cachedir>\n"
            "  <include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>\n" +
            extra + "</fontconfig>\n");
    return file;
}

// HOME, the XDG folders and fontconfig of a test, all below home.
inline QProcessEnvironment privateEnvironment(const QString &home,
                                              QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
{
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    const QString runtime = home + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("FONTCONFIG_FILE"), writePrivateFontconfig(home));
    return env;
}

// The same for this process; call before the application object exists.
inline void usePrivateEnvironment(const QString &home)
{
    const QProcessEnvironment env = privateEnvironment(home, QProcessEnvironment());
    for (const QString &key : env.keys())
        qputenv(key.toLocal8Bit().constData(), QFile::encodeName(env.value(key)));
}

} // namespace testsupport
