#include "widgets/subwindow.h"

#include <QCloseEvent>

namespace tessilor {

FramelessSubWindow::FramelessSubWindow(QWidget *parent)
    : QMdiSubWindow(parent)
{
    setWindowFlags(Qt::SubWindow | Qt::FramelessWindowHint);
}

FramelessSubWindow::~FramelessSubWindow()
{
    disconnect(this, &QMdiSubWindow::windowStateChanged, nullptr, nullptr);
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
