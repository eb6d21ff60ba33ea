#include "picture/decodermessages.h"

#include <QtGlobal>

#include <cstdarg>
#include <cstdio>
#include <dlfcn.h>
#include <mutex>

namespace tessilor {

namespace {

thread_local DecoderMessages *t_current = nullptr;

QtMessageHandler g_previousHandler = nullptr;

void onQtMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // A fatal message still ends the program as it would have.
    if (t_current && type != QtFatalMsg) {
        t_current->add(message);
        return;
    }
    g_previousHandler(type, context, message);
}

// libtiff prints its warnings and errors itself unless handlers are set;
// Qt's TIFF plugin sets none. The handlers are the library's own, shared
// by every user of it in the process, and the library is the one the
// plugin loads (the same file, loaded once).
using TiffHandler = void (*)(const char *module, const char *format, va_list args);
using TiffSetHandler = TiffHandler (*)(TiffHandler);

void onTiffMessage(const char *, const char *format, va_list args)
{
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    if (t_current)
        t_current->add(QString::fromLocal8Bit(text));
    else
        qWarning("libtiff: %s", text);
}

} // namespace

void routeTiffMessages()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (const char *name : {"libtiff.so.6", "libtiff.so.5"}) {
            void *library = ::dlopen(name, RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
            if (!library)
                continue;
            const auto setWarning = reinterpret_cast<TiffSetHandler>(::dlsym(library, "TIFFSetWarningHandler"));
            const auto setError = reinterpret_cast<TiffSetHandler>(::dlsym(library, "TIFFSetErrorHandler"));
            if (setWarning && setError) {
                setWarning(onTiffMessage);
                setError(onTiffMessage);
            }
            return;
        }
    });
}

DecoderMessages::DecoderMessages() : m_outer(t_current)
{
    t_current = this;
}

DecoderMessages::~DecoderMessages()
{
    t_current = m_outer;
}

void DecoderMessages::add(const QString &message)
{
    // A flood of the same warning (one per chunk or row) is said once.
    const QString line = message.trimmed();
    if (!line.isEmpty() && !m_lines.contains(line) && m_lines.size() < 20)
        m_lines.append(line);
}

QString DecoderMessages::text() const
{
    return m_lines.join(QStringLiteral("; "));
}

void routeDecoderMessages()
{
    g_previousHandler = qInstallMessageHandler(onQtMessage);
}

} // namespace tessilor
