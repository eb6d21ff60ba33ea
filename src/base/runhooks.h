#pragma once
#include <QElapsedTimer>
#include <QtGlobal>
#include <functional>

namespace tessilor {

// How a conversion talks to its caller while it runs. Everything is optional.
struct RunHooks {
    // Checked before every cell; a nonzero value stops the run in an orderly
    // way (the partial result is kept).
    const qint16 *stopFlag = nullptr;
    // Lets the caller's event loop run. Called when yieldIntervalMs have
    // passed since the last call; with 0 it runs after every cell.
    std::function<void()> yield;
    int yieldIntervalMs = 20;
    // Progress in percent, after every row and once at the end.
    std::function<void(double)> percent;
};

// Result counters of a finished or stopped run.
struct RunCounts {
    int gridRows = 0;    // rows written
    int gridColumns = 0; // cells walked in the first row
    int endRow = 0;      // row index at which the row loop ended
    bool stopped = false;
};

// Time-sliced yielding shared by the conversions.
class YieldClock
{
public:
    explicit YieldClock(const RunHooks &hooks) : m_hooks(hooks) { m_timer.start(); }
    bool stopRequested() const { return m_hooks.stopFlag && *m_hooks.stopFlag != 0; }
    // Called after every cell.
    void afterCell()
    {
        if (!m_hooks.yield)
            return;
        if (m_hooks.yieldIntervalMs <= 0) {
            m_hooks.yield();
            return;
        }
        if (++m_cells < 512)
            return;
        m_cells = 0;
        tick();
    }
    // Called where a row ends: yields when the slice is over.
    void tick()
    {
        if (!m_hooks.yield)
            return;
        if (m_hooks.yieldIntervalMs <= 0 || m_timer.elapsed() >= m_hooks.yieldIntervalMs) {
            m_hooks.yield();
            m_timer.restart();
        }
    }
    void percent(double value) const
    {
        if (m_hooks.percent)
            m_hooks.percent(value);
    }

private:
    const RunHooks &m_hooks;
    QElapsedTimer m_timer;
    int m_cells = 0;
};

// Percentage of row i of a run whose last row index is lastRow.
inline double rowPercent(int i, int lastRow)
{
    return lastRow > 0 ? double(i) / double(lastRow) * 100.0 : 100.0;
}

} // namespace tessilor
