#include "base/filenames.h"
#include "cli/quickstart.h"

#include <QFile>
#include <QFileInfo>
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <unistd.h>

// tessilor-cli starts with Qt Core alone: the quick start makes the most
// frequent tone results without the GUI libraries; every other run is handed
// to the whole command line, a library loaded then (with Qt GUI and the
// font libraries), from TESSILOR_CLI_LIBRARY beside the program.

namespace {

// The width of the terminal standard output goes to; 0 when it goes to a
// file or a pipe.
int terminalColumns()
{
    if (!::isatty(STDOUT_FILENO))
        return 0;
    struct winsize size = {};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    bool ok = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &ok);
    return ok && columns > 0 ? columns : 80;
}

// Loads the whole command line and runs it.
int runWhole(int argc, char **argv, int columns)
{
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    const QByteArray library = QFile::encodeName(program + QStringLiteral("/" TESSILOR_CLI_LIBRARY));
    void *handle = ::dlopen(library.constData(), RTLD_NOW | RTLD_LOCAL);
    using Run = int (*)(int, char **, int);
    const Run run = handle ? reinterpret_cast<Run>(::dlsym(handle, "tessilorCliRun")) : nullptr;
    if (!run) {
        const char *why = ::dlerror();
        const QByteArray message =
            "tessilor-cli: cannot load " + library + ": " + (why ? why : "no tessilorCliRun") + "\n";
        (void)!::write(STDERR_FILENO, message.constData(), size_t(message.size()));
        return 1;
    }
    return run(argc, argv, columns);
}

} // namespace

int main(int argc, char **argv)
{
    const int columns = terminalColumns();
    {
        QStringList args;
        for (int i = 1; i < argc; ++i)
            args.append(tessilor::decodeFileName(argv[i])); // names keep their bytes
        QFile out;
        QFile err;
        out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
        err.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
        if (const std::optional<int> status = tessilor::cli::runQuickStart(args, out, err, columns))
            return *status;
    }
    return runWhole(argc, argv, columns);
}
