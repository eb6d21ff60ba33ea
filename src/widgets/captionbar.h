#pragma once
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QWidget>

class QLabel;
class QToolButton;

namespace tessilor {

// The caption strip drawn by the image, result and print windows at the top
// of their client area, 300 twips (20 pixels) high: a stretched bitmap (the
// active or the inactive look), an icon, a bold title, a close button and,
// when enabled, maximize and restore buttons that share one place.
//
// Pressing the left button on the strip, the title or the icon and moving
// the pointer drags the window the strip belongs to (its QMdiSubWindow, or
// its top-level window) by the pointer's movement, unless that window is
// maximised. The strip only reports its buttons; the owning window decides
// what closing, maximizing and restoring do.
class CaptionBar : public QWidget
{
    Q_OBJECT
public:
    explicit CaptionBar(const QString &title = QString(), QWidget *parent = nullptr);

    void setTitle(const QString &title);
    QString title() const;
    void setIcon(const QPixmap &icon);

    // Distances of the window buttons' left edges from the strip's right
    // edge, in twips: the image window uses 270 for close, the result window
    // 280 for close and 580 for maximize/restore.
    void setButtonOffsets(int closeFromRightTwips, int maxRestoreFromRightTwips = 580);

    // Shows the maximize/restore pair (the result window); off by default.
    void setMaximizeButtonsEnabled(bool enabled);
    // Which of the pair is visible: restore while maximized, else maximize.
    void setMaximizedLook(bool maximized);

    // Active (Image1) or inactive (Image2) bitmap.
    void setActive(bool active);
    bool isActive() const { return m_active; }
    bool isDragging() const { return m_dragging; }

    QLabel *titleLabel() const { return m_title; }
    QLabel *iconLabel() const { return m_icon; }
    QToolButton *closeButton() const { return m_close; }
    QToolButton *maximizeButton() const { return m_maximize; }
    QToolButton *restoreButton() const { return m_restore; }

    // The two caption bitmaps, 150 x 20 pixels each.
    static QImage activeBitmap();
    static QImage inactiveBitmap();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void closeClicked();
    void maximizeClicked();
    void restoreClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QWidget *dragTarget() const;
    void layoutButtons();

    QLabel *m_icon = nullptr;
    QLabel *m_title = nullptr;
    QToolButton *m_close = nullptr;
    QToolButton *m_maximize = nullptr;
    QToolButton *m_restore = nullptr;
    int m_closeFromRight = 270;
    int m_maxFromRight = 580;
    bool m_maxButtons = false;
    bool m_maximizedLook = false;
    bool m_active = false;
    bool m_dragging = false;
    QPoint m_grabGlobal; // pointer where the left button went down
    QPoint m_startPos;   // window position at that moment
};

} // namespace tessilor
