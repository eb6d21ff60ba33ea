#include "app/runcontrol.h"

#include "app/globals.h"
#include "app/resultwindow.h"
#include "view/imagewindow.h"
#include "view/printwindow.h"

#include <QCoreApplication>
#include <exception>
#include <new>

namespace tessilor {

RunControl::RunControl(std::function<ImageWindow *()> picture, std::function<ResultWindow *()> result, QWidget *owner)
    : QObject(owner), m_picture(std::move(picture)), m_result(std::move(result)), m_owner(owner)
{}

void RunControl::stop()
{
    globals::StopRequested = -1;
}

void RunControl::stopForClose()
{
    m_closing = true;
    stop();
}

void RunControl::convert(const RunRequest &request)
{
    ResultWindow *tf = m_result();
    ImageWindow *pf = m_picture();
    RunHooks hooks;
    hooks.stopFlag = &globals::StopRequested;
    hooks.yield = [] { QCoreApplication::processEvents(); };
    hooks.yieldIntervalMs = 20;
    hooks.percent = [this](double p) { Q_EMIT progress(p); };

    if (!request.hasMode)
        return;
    QFont font = pf->windowFont();
    if (request.mode == Mode::Text) {
        font.setFamily(request.fontFace);
        if (request.textSize > 0)
            font.setPointSizeF(request.textSize);
        pf->setWindowFont(font);
        tf->convert(request, pf, hooks);
        globals::ResultKind = 3;
    } else {
        font.setFamily(globals::FigureFontName);
        pf->setWindowFont(font);
        tf->convert(request, pf, hooks);
        globals::ResultKind = 2;
    }
}

QString RunControl::run(const RunRequest &request)
{
    if (m_running)
        return QString();
    m_running = true;
    m_closing = false;
    if (ResultWindow *previous = m_result(); previous && previous->isVisible())
        previous->close();
    Q_EMIT started();
    globals::StopRequested = 0;
    globals::ResultKind = 0;

    // One recovery per run: a failing conversion is started once more,
    // unless the program is closing meanwhile.
    QString failure = attempt(request);
    if (!failure.isEmpty() && !m_closing)
        failure = attempt(request);
    if (!failure.isEmpty())
        Q_EMIT converting(false);
    Q_EMIT finished(failure);
    m_running = false;
    return failure;
}

QString RunControl::attempt(const RunRequest &request)
{
    try {
        convert(request);
        return QString();
    } catch (const RunError &e) {
        return e.reason;
    } catch (const std::bad_alloc &) {
        return QStringLiteral("недостаточно памяти.");
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    }
}

void RunControl::preview(const RunRequest &request)
{
    if (m_running)
        return;
    m_running = true;
    m_previewing = true;
    m_closing = false;
    globals::StopRequested = 0;
    const QString failure = attempt(request);
    m_previewing = false;
    m_running = false;
    Q_EMIT previewFinished(failure);
}

void RunControl::output(const QString &key)
{
    if (key == QLatin1String("save")) {
        m_result()->saveToFile();
    } else if (key == QLatin1String("word")) {
        m_result()->openInWordProcessor();
    } else if (key == QLatin1String("cl")) {
        m_result()->copyToClipboard();
    } else if (key == QLatin1String("print")) {
        // Without a printer this shows "На компьютере нет установленных
        // принтеров!"; otherwise the print window, modal.
        if (m_result()->confirmIncompleteOutput(QStringLiteral("Напечатать неполный результат?")))
            ShowPrintWindow(m_result()->printSource(), m_owner);
    }
}

} // namespace tessilor
