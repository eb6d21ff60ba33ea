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

    // From now on the window follows the size of its MDI area (see
    // mainlayout::followingArea), unless it is maximised or minimised; it is
    // never made smaller than minimum. Call once the window is in its area.
    void followAreaSize(QSize minimum);

protected:
    // Tab goes through the window's own controls and then on to the
    // controls around the area (the main window's bars), as in a dialog; an
    // MDI child would keep it inside for good.
    bool focusNextPrevChild(bool next) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Follows the area's changes since the size last followed (a maximised
    // window catches up once it is restored).
    void followArea();
    QSize m_area;          // the area's size the window last followed
    QSize m_followMinimum; // invalid: the window does not follow
};

} // namespace tessilor
