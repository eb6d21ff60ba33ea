#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

#include "app/mainbars.h"
#include "app/runrequest.h"

namespace tessilor {

class RunControl;

// "Автопросмотр": while it is on and a result is on screen, a change of the
// options re-runs the conversion into the result window. A single change
// after a quiet spell (no preview started for kSettleMs) is previewed at
// once; the changes of a burst, typing in a grid field and a change made
// while a preview runs are previewed once the options have settled for
// kSettleMs. Previews are sampled from the picture's reduced copy. One
// conversion runs at a time: a change during a preview stops it, and the
// newest options are previewed next.
class LivePreview : public QObject
{
    Q_OBJECT
public:
    static constexpr int kSettleMs = 150;

    // request: the options as they are now; resultShown: whether a result
    // window is open to show a preview in.
    LivePreview(RunControl *run, std::function<RunRequest()> request, std::function<bool()> resultShown,
                QObject *parent);

    // Follows the bars: the box "Автопросмотр" switches the preview, and
    // every option a conversion reads is watched.
    void watch(const MainBar &bar, const TextBar &text, const FigureBar &figures);

    void setEnabled(bool on);
    bool isEnabled() const { return m_enabled; }
    // An option, the picture or the mode changed; typed: by a key in a
    // field, where more keys are likely to follow.
    void optionsChanged(bool typed = false);

Q_SIGNALS:
    // A preview is on screen, that many milliseconds after the change it
    // shows.
    void shown(qint64 milliseconds);

private:
    void start();

    RunControl *m_run;
    std::function<RunRequest()> m_request;
    std::function<bool()> m_resultShown;
    QTimer m_settle;
    QElapsedTimer m_sinceChange;
    QElapsedTimer m_sinceStart; // of the last preview
    bool m_enabled = false;
};

} // namespace tessilor
