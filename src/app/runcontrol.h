#pragma once
#include <QObject>
#include <QString>
#include <functional>

#include "app/runrequest.h"

class QWidget;

namespace tessilor {

class ImageWindow;
class ResultWindow;

// One conversion run from start to end and the outputs of its result. The
// main window builds the run request and follows the signals; the image
// window and the result window are reached through the two functions given
// at construction (the result window is created on first use).
class RunControl : public QObject
{
    Q_OBJECT
public:
    RunControl(std::function<ImageWindow *()> picture, std::function<ResultWindow *()> result, QWidget *owner);

    bool isRunning() const { return m_running; }

    // One run: closes the previous result window, converts by the request's
    // mode and, after a failure, converts once more. Returns the failure
    // (empty after a complete or stopped run). Does nothing while a run is
    // under way.
    QString run(const RunRequest &request);
    // Asks the running conversion to stop; its partial result is kept.
    void stop();
    // Stops the run for good: the program is closing, no retry follows.
    void stopForClose();
    // A live preview: converts the request (its preview flag set) into the
    // result window as it stands, without a run's start and end: no retry,
    // controls and buttons untouched. Does nothing while a run is under way.
    void preview(const RunRequest &request);
    bool isPreviewing() const { return m_previewing; }
    // Runs an output of the result by its key: "save", "word", "cl" or
    // "print"; another key does nothing.
    void output(const QString &key);

Q_SIGNALS:
    // The run has begun (the previous result window is closed).
    void started();
    // A conversion is under way (true) or has ended (false).
    void converting(bool underWay);
    // Progress of the conversion in percent.
    void progress(double percent);
    // The run has ended: completed, stopped (failure empty) or failed (the
    // reason, after the one retry). The run counts as under way until the
    // receivers have returned.
    void finished(const QString &failure);
    // A preview has ended: shown, stopped (failure empty) or failed.
    void previewFinished(const QString &failure);

private:
    void convert(const RunRequest &request);
    // One conversion; the failure's reason, empty when it ran.
    QString attempt(const RunRequest &request);

    std::function<ImageWindow *()> m_picture;
    std::function<ResultWindow *()> m_result;
    QWidget *m_owner;
    bool m_running = false;
    bool m_closing = false;
    bool m_previewing = false;
};

} // namespace tessilor
