#include "widgets/captionbar.h"

#include "layout/viewlayout.h"

#include <QLabel>
#include <QLinearGradient>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>

namespace tessilor {

namespace {

QImage gradientBitmap(const QColor &from, const QColor &to)
{
    QImage img(kCaptionBitmapWidth, kCaptionBitmapHeight, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, kCaptionBitmapWidth, 0);
    g.setColorAt(0.0, from);
    g.setColorAt(1.0, to);
    p.fillRect(img.rect(), g);
    // A light line along the top and a dark one along the bottom give the
    // strip some relief.
    p.setPen(from.lighter(140));
    p.drawLine(0, 0, kCaptionBitmapWidth - 1, 0);
    p.setPen(to.darker(130));
    p.drawLine(0, kCaptionBitmapHeight - 1, kCaptionBitmapWidth - 1, kCaptionBitmapHeight - 1);
    return img;
}

QToolButton *makeButton(QWidget *parent, QStyle::StandardPixmap icon, const QString &name, const QString &tip)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(parent->style()->standardIcon(icon, nullptr, b));
    const int side = twipsToPixels(kCaptionButtonSizeTwips);
    b->setFixedSize(side, side);
    b->setIconSize(QSize(side - 4, side - 4));
    b->setAutoRaise(false);
    b->setFocusPolicy(Qt::NoFocus);
    b->setCursor(Qt::PointingHandCursor);
    b->setToolTip(tip);
    return b;
}

} // namespace

QImage CaptionBar::activeBitmap()
{
    static const QImage img = gradientBitmap(QColor(0x0a, 0x24, 0x6a), QColor(0xa6, 0xca, 0xf0));
    return img;
}

QImage CaptionBar::inactiveBitmap()
{
    static const QImage img = gradientBitmap(QColor(0x80, 0x80, 0x80), QColor(0xc0, 0xc0, 0xc0));
    return img;
}

CaptionBar::CaptionBar(const QString &title, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Header"));
    setFixedHeight(twipsToPixels(kCaptionHeightTwips));
    setAttribute(Qt::WA_OpaquePaintEvent);

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("Image3"));
    const int iconSide = twipsToPixels(kCaptionIconSizeTwips);
    m_icon->setGeometry(twipsToPixels(kCaptionIconLeftTwips), twipsToPixels(kCaptionIconTopTwips), iconSide, iconSide);
    m_icon->setScaledContents(true);
    // The title and the icon hand the pointer to the strip, so pressing on
    // them drags the window as well.
    m_icon->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_title = new QLabel(title, this);
    m_title->setObjectName(QStringLiteral("Label1"));
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSizeF(8.25);
    f.setBold(true);
    m_title->setFont(f);
    m_title->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_title->move(twipsToPixels(kCaptionTitleLeftTwips), 0);

    m_close =
        makeButton(this, QStyle::SP_TitleBarCloseButton, QStringLiteral("CloseButton"), QStringLiteral("Закрыть"));
    m_maximize =
        makeButton(this, QStyle::SP_TitleBarMaxButton, QStringLiteral("MaximizeButton"), QStringLiteral("Развернуть"));
    m_restore = makeButton(this, QStyle::SP_TitleBarNormalButton, QStringLiteral("RestoreButton"),
                           QStringLiteral("Восстановить"));
    m_maximize->hide();
    m_restore->hide();
    connect(m_close, &QToolButton::clicked, this, &CaptionBar::closeClicked);
    connect(m_maximize, &QToolButton::clicked, this, &CaptionBar::maximizeClicked);
    connect(m_restore, &QToolButton::clicked, this, &CaptionBar::restoreClicked);

    setActive(false);
    layoutButtons();
}

void CaptionBar::setTitle(const QString &title)
{
    m_title->setText(title);
    layoutButtons();
}

QString CaptionBar::title() const
{
    return m_title->text();
}

void CaptionBar::setIcon(const QPixmap &icon)
{
    m_icon->setPixmap(icon);
}

void CaptionBar::setButtonOffsets(int closeFromRightTwips, int maxRestoreFromRightTwips)
{
    m_closeFromRight = closeFromRightTwips;
    m_maxFromRight = maxRestoreFromRightTwips;
    layoutButtons();
}

void CaptionBar::setMaximizeButtonsEnabled(bool enabled)
{
    m_maxButtons = enabled;
    setMaximizedLook(m_maximizedLook);
}

void CaptionBar::setMaximizedLook(bool maximized)
{
    m_maximizedLook = maximized;
    m_maximize->setVisible(m_maxButtons && !maximized);
    m_restore->setVisible(m_maxButtons && maximized);
}

void CaptionBar::setActive(bool active)
{
    m_active = active;
    QPalette pal = m_title->palette();
    pal.setColor(QPalette::WindowText, active ? QColor(Qt::white) : QColor(0xe0, 0xe0, 0xe0));
    m_title->setPalette(pal);
    update();
}

QSize CaptionBar::sizeHint() const
{
    return QSize(twipsToPixels(3000), twipsToPixels(kCaptionHeightTwips));
}

QSize CaptionBar::minimumSizeHint() const
{
    return QSize(0, twipsToPixels(kCaptionHeightTwips));
}

void CaptionBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(rect(), m_active ? activeBitmap() : inactiveBitmap());
}

void CaptionBar::resizeEvent(QResizeEvent *)
{
    layoutButtons();
}

void CaptionBar::layoutButtons()
{
    const qint64 w = pixelsToTwips(width());
    const int top = twipsToPixels(kCaptionButtonTopTwips);
    m_close->move(twipsToPixels(double(w - m_closeFromRight)), top);
    const QPoint maxPos(twipsToPixels(double(w - m_maxFromRight)), top);
    m_maximize->move(maxPos);
    m_restore->move(maxPos);
    m_title->adjustSize();
    m_title->setFixedHeight(height());
}

QWidget *CaptionBar::dragTarget() const
{
    for (QWidget *w = parentWidget(); w; w = w->parentWidget()) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(w))
            return sub;
        if (w->isWindow())
            return w;
    }
    return const_cast<CaptionBar *>(this)->window();
}

void CaptionBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    QWidget *target = dragTarget();
    m_grabGlobal = event->globalPosition().toPoint();
    m_startPos = target ? target->pos() : QPoint();
    m_dragging = true;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(target)) {
        // Pressing on the strip activates its window, as a title bar does.
        if (sub->mdiArea())
            sub->mdiArea()->setActiveSubWindow(sub);
    }
    event->accept();
}

void CaptionBar::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    QWidget *target = dragTarget();
    if (!target || target->isMaximized() || target->isFullScreen())
        return;
    target->move(captionDragTarget(m_startPos, event->globalPosition().toPoint(), m_grabGlobal));
    event->accept();
}

void CaptionBar::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}

} // namespace tessilor
