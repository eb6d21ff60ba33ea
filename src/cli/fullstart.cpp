#include "art/rampcache.h"
#include "base/filenames.h"
#include "base/leftovers.h"
#include "cli/cli.h"
#include "fonts/fontmodule.h"
#include "picture/imageloader.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdlib>
#include <malloc.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder Qt takes as the runtime folder: the user's own, mode 0700, no link.
bool usableRuntimeFolder(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 07777) == 0700;
}

// The GUI application object looks into the runtime folder (XDG_RUNTIME_DIR)
// as it starts. Without one, Qt says so on stderr and makes runtime-<user> in
// the temporary folder, which a batch run would leave behind. While this
// object lives the variable names a folder that exists: the system's one for
// this user, or else a private one made here and removed again at the end.
class StartupRuntimeFolder
{
public:
    StartupRuntimeFolder()
    {
        if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
            return;
        const QByteArray system = "/run/user/" + QByteArray::number(::geteuid());
        if (usableRuntimeFolder(system)) {
            m_set = qputenv("XDG_RUNTIME_DIR", system);
            return;
        }
        m_made = tessilor::makeLeftover(
            [] {
                QByteArray folder = QFile::encodeName(QDir::tempPath()) + "/tessilor-cli-XXXXXX";
                return ::mkdtemp(folder.data()) ? folder : QByteArray();
            },
            true);
        if (!m_made.isEmpty())
            m_set = qputenv("XDG_RUNTIME_DIR", m_made);
    }
    ~StartupRuntimeFolder()
    {
        if (m_set)
            qunsetenv("XDG_RUNTIME_DIR");
        if (!m_made.isEmpty()) {
            ::rmdir(m_made.constData());
            tessilor::forgetLeftover(m_made);
        }
    }
    StartupRuntimeFolder(const StartupRuntimeFolder &) = delete;
    StartupRuntimeFolder &operator=(const StartupRuntimeFolder &) = delete;

private:
    QByteArray m_made;
    bool m_set = false;
};

} // namespace

// The whole command line, as tessilor-cli's starter hands it on (see
// main.cpp): loaded only when the quick start cannot make the result.
extern "C" __attribute__((visibility("default"))) int tessilorCliRun(int argc, char **argv, int terminalColumns)
{
    // An interrupted run (SIGINT, SIGTERM, SIGHUP) leaves none of its
    // temporary files and folders behind.
    tessilor::removeLeftoversOnSignals();
    // One heap for all threads: each thread's own heap keeps up to 64 MB of
    // address space reserved once it has grown, which under an address-space
    // limit (ulimit -v) took the room that a picture converted again alone,
    // after running out of memory beside others (-j), needs.
    ::mallopt(M_ARENA_MAX, 1);
    tessilor::initPictureDecoding();
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(tessilor::decodeFileName(argv[i])); // names keep their bytes
    // Rich output, the tone method and the fill need fonts and so a GUI
    // application object, but never a display: they run on the offscreen
    // platform unless another one is asked for. Other text and colour
    // output start faster without it, and so does the tone method when the
    // ramp measured in an earlier run is in the user's cache folder.
    std::unique_ptr<QCoreApplication> app;
    if (tessilor::cli::needsFonts(args)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        tessilor::setToneRampCacheFolder(tessilor::userRampCacheFolder());
        if (tessilor::cli::rampsFromCache(args)) {
            app = std::make_unique<QCoreApplication>(argc, argv);
        } else {
            StartupRuntimeFolder runtime;
            tessilor::useOwnFontCaches();
            app = std::make_unique<QGuiApplication>(argc, argv);
        }
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("tessilor"));
    // Straight to the file descriptors, unbuffered: every write reaches the
    // system at once and is checked there. Through the C library's stream, an
    // output small enough for its buffer was written only at exit, where a
    // failure went unseen.
    QFile out;
    QFile err;
    out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return tessilor::cli::run(args, out, err, terminalColumns);
}
