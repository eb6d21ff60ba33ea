#include "app/livepreview.h"

#include "app/runcontrol.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>

namespace tessilor {

LivePreview::LivePreview(RunControl *run, std::function<RunRequest()> request, std::function<bool()> resultShown,
                         QObject *parent)
    : QObject(parent), m_run(run), m_request(std::move(request)), m_resultShown(std::move(resultShown))
{
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, &LivePreview::start);
    connect(m_run, &RunControl::previewFinished, this, [this](const QString &failure) {
        if (failure.isEmpty() && !m_settle.isActive())
            Q_EMIT shown(m_sinceChange.elapsed());
    });
}

void LivePreview::watch(const MainBar &bar, const TextBar &text, const FigureBar &figures)
{
    connect(bar.autoPreview, &QCheckBox::toggled, this, [this](bool on) {
        setEnabled(on);
        optionsChanged();
    });
    auto changed = [this] { optionsChanged(); };
    connect(bar.modeList, &QComboBox::activated, this, changed);
    for (QComboBox *list :
         {text.fontList, text.grid.sizeList, text.methodList, figures.grid.sizeList, figures.colorModeList})
        connect(list, &QComboBox::currentIndexChanged, this, changed);
    for (const GridFields *g : {&text.grid, &figures.grid}) {
        for (QLineEdit *field : {g->columns, g->rows})
            connect(field, &QLineEdit::textChanged, this, [this] { optionsChanged(true); });
    }
    connect(text.contrastSlider, &QSlider::valueChanged, this, changed);
    connect(text.structureBox, &QSpinBox::valueChanged, this, changed);
    connect(figures.fillBox, &QCheckBox::toggled, this, changed);
}

void LivePreview::setEnabled(bool on)
{
    m_enabled = on;
    if (!on)
        m_settle.stop();
}

void LivePreview::optionsChanged(bool typed)
{
    if (!m_enabled || !m_resultShown())
        return;
    m_sinceChange.start();
    const bool quiet =
        !m_settle.isActive() && !m_run->isRunning() && (!m_sinceStart.isValid() || m_sinceStart.elapsed() >= kSettleMs);
    // The preview under way shows options that are out of date.
    if (m_run->isPreviewing())
        m_run->stop();
    // At once means on the next turn of the event loop, so that options
    // changed together (a mode and its bar) give one preview.
    m_settle.start(quiet && !typed ? 0 : kSettleMs);
}

void LivePreview::start()
{
    if (!m_enabled || !m_resultShown())
        return;
    if (m_run->isRunning()) {
        // A stopped preview has not returned yet, or a full run is under
        // way: look again shortly.
        if (m_run->isPreviewing())
            m_run->stop();
        m_settle.start(kSettleMs / 3);
        return;
    }
    RunRequest request = m_request();
    request.preview = true;
    m_sinceStart.start();
    m_run->preview(request);
}

} // namespace tessilor
