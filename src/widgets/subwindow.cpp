#include "widgets/subwindow.h"

#include "layout/mainlayout.h"

#include <QApplication>
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

bool FramelessSubWindow::focusNextPrevChild(bool next)
{
    QWidget *from = QApplication::focusWidget();
    if (!from || (from != this && !isAncestorOf(from)))
        return QMdiSubWindow::focusNextPrevChild(next);
    // The next control outside the area's windows that takes the focus from
    // the keyboard, in the main window's focus chain.
    for (QWidget *w = next ? from->nextInFocusChain() : from->previousInFocusChain(); w && w != from;
         w = next ? w->nextInFocusChain() : w->previousInFocusChain()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisible() || !w->isEnabled() || w->focusProxy() ||
            w->window() != window())
            continue;
        if (w == this) // the frame round its controls
            continue;
        if (isAncestorOf(w))
            return QMdiSubWindow::focusNextPrevChild(next);
        // The other windows of the area are not stepped into on the way.
        bool inWindowOfArea = false;
        for (QWidget *p = w; p && !inWindowOfArea; p = p->parentWidget())
            inWindowOfArea = qobject_cast<QMdiSubWindow *>(p) != nullptr;
        if (inWindowOfArea)
            continue;
        w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
    return QMdiSubWindow::focusNextPrevChild(next);
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
