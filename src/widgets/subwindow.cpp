#include "widgets/subwindow.h"

#include "engine/mainlayout.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QResizeEvent>

namespace tessilor {

FramelessSubWindow::FramelessSubWindow(QWidget *parent) : QMdiSubWindow(parent)
{
    setWindowFlags(Qt::SubWindow | Qt::FramelessWindowHint);
}

FramelessSubWindow::~FramelessSubWindow()
{
    disconnect(this, &QMdiSubWindow::windowStateChanged, nullptr, nullptr);
}

void FramelessSubWindow::followAreaSize(QSize minimum)
{
    QMdiArea *area = mdiArea();
    if (!area)
        return;
    m_followMinimum = minimum;
    m_area = area->viewport()->size();
    area->viewport()->installEventFilter(this);
}

void FramelessSubWindow::followArea()
{
    if (!m_followMinimum.isValid() || !mdiArea() || isMaximized() || isMinimized())
        return;
    const QSize area = mdiArea()->viewport()->size();
    if (m_area.isValid() && area != m_area)
        setGeometry(mainlayout::followingArea(geometry(), m_area, area, m_followMinimum));
    m_area = area;
}

bool FramelessSubWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && mdiArea() && watched == mdiArea()->viewport())
        followArea();
    return QMdiSubWindow::eventFilter(watched, event);
}

void FramelessSubWindow::changeEvent(QEvent *event)
{
    QMdiSubWindow::changeEvent(event);
    // Once restored (to the geometry it had before), from the event loop.
    if (event->type() == QEvent::WindowStateChange && m_followMinimum.isValid())
        QMetaObject::invokeMethod(this, &FramelessSubWindow::followArea, Qt::QueuedConnection);
}

void FramelessSubWindow::closeEvent(QCloseEvent *event)
{
    QMdiSubWindow::closeEvent(event);
    // The window hides after this; its client is shown again at once, so it
    // comes back with the window.
    if (event->isAccepted() && !testAttribute(Qt::WA_DeleteOnClose)) {
        if (QWidget *client = widget(); client && client->isHidden())
            client->show();
    }
}

} // namespace tessilor
