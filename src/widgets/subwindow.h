#pragma once
#include <QMdiSubWindow>

namespace tessilor {

// A frameless MDI child that draws its own caption strip inside the widget
// it holds (its client): the image window and the result window.
//
// Closing hides the window and keeps it, client and all, for the next time
// it is shown. QMdiSubWindow closes the widget it holds together with the
// window, and a closed (hidden) child stays hidden when its parent is shown
// again: without the care taken here a window closed once would come back as
// an empty rectangle, without caption strip or content.
class FramelessSubWindow : public QMdiSubWindow
{
    Q_OBJECT
public:
    explicit FramelessSubWindow(QWidget *parent = nullptr);
    // Disconnects the window's state signal: QMdiSubWindow's destructor
    // still reports a change of state, when the parts of a derived window
    // that receivers use are already gone.
    ~FramelessSubWindow() override;

protected:
    void closeEvent(QCloseEvent *event) override;
};

} // namespace tessilor
