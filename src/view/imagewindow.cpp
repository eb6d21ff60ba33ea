#include "view/imagewindow.h"

#include "layout/viewlayout.h"
#include "picture/resample.h"
#include "widgets/captionbar.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMdiArea>
#include <QMenu>
#include <QMessageBox>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSizeGrip>
#include <QStatusBar>

namespace tessilor {

// Picture2: shows the display copy; panning moves this widget inside the
// viewport and never rescales the picture.
class ImageSurface : public QWidget
{
public:
    ImageSurface(const QImage *image, QWidget *parent) : QWidget(parent), m_image(image)
    {
        setObjectName(QStringLiteral("Picture2"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter p(this);
        const QRect r = event->rect();
        if (m_image->isNull()) {
            p.fillRect(r, palette().color(QPalette::Window));
            return;
        }
        p.drawImage(r.topLeft(), *m_image, r);
    }

private:
    const QImage *m_image;
};

// Picture1: the viewport the display copy is panned in.
class ImageViewport : public QWidget
{
public:
    explicit ImageViewport(QWidget *parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("Picture1"));
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, pal.color(QPalette::Mid));
        setPalette(pal);
    }
};

namespace {

// Window icon of the caption strip: a small framed landscape.
QPixmap pictureIcon(int side)
{
    QPixmap pm(side, side);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame(0.5, 1.5, side - 1.0, side - 3.0);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    p.setBrush(QColor(0xbf, 0xdf, 0xff));
    p.drawRect(frame);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xd0, 0x20));
    p.drawEllipse(QPointF(side * 0.68, side * 0.35), side * 0.12, side * 0.12);
    p.setBrush(QColor(0x30, 0x90, 0x30));
    QPolygonF hill;
    hill << QPointF(1, side - 2.0) << QPointF(side * 0.38, side * 0.42) << QPointF(side * 0.7, side - 2.0);
    p.drawPolygon(hill);
    return pm;
}

// Icon of the zoom button: a magnifying glass.
QPixmap zoomIcon(int side)
{
    QPixmap pm(side, side);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.5));
    p.setBrush(QColor(0xe8, 0xf4, 0xff));
    p.drawEllipse(QPointF(side * 0.42, side * 0.42), side * 0.3, side * 0.3);
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(side * 0.64, side * 0.64), QPointF(side - 1.5, side - 1.5));
    return pm;
}

void place(QWidget *w, const PlacedRect &r)
{
    // A part whose rule gave a negative size keeps its earlier geometry.
    if (r.valid)
        w->setGeometry(toPixelRect(r.rect));
}

} // namespace

ImageWindow::ImageWindow(QWidget *parent) : FramelessSubWindow(parent)
{
    setObjectName(QStringLiteral("PicForm"));
    setWindowTitle(QStringLiteral("Изображение"));
    setWindowIcon(QIcon(pictureIcon(16)));

    m_client = new QWidget;
    m_client->setObjectName(QStringLiteral("PicFormClient"));
    setWidget(m_client);
    setContentsMargins(0, 0, 0, 0);
    if (layout())
        layout()->setContentsMargins(0, 0, 0, 0);

    m_header = new CaptionBar(QStringLiteral("Изображение"), m_client);
    m_header->setIcon(pictureIcon(twipsToPixels(kCaptionIconSizeTwips)));
    m_header->setButtonOffsets(kImageCloseFromRightTwips);
    connect(m_header, &CaptionBar::closeClicked, this, &QWidget::close);

    m_picture1 = new ImageViewport(m_client);
    m_picture2 = new ImageSurface(&m_display, m_picture1);
    m_picture2->resize(0, 0);

    m_vScroll = new QScrollBar(Qt::Vertical, m_client);
    m_vScroll->setObjectName(QStringLiteral("VScroll1"));
    m_hScroll = new QScrollBar(Qt::Horizontal, m_client);
    m_hScroll->setObjectName(QStringLiteral("HScroll1"));
    const int thickness = twipsToPixels(kScrollBarTwips);
    for (QScrollBar *bar : {m_vScroll, m_hScroll}) {
        bar->setRange(0, 0);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        bar->setEnabled(false);
        bar->setFocusPolicy(Qt::NoFocus);
        connect(bar, &QScrollBar::valueChanged, this, &ImageWindow::pan);
    }
    m_vScroll->setGeometry(0, twipsToPixels(kCaptionHeightTwips), thickness, thickness);
    m_hScroll->setGeometry(twipsToPixels(kHScrollLeftTwips), 0, thickness, thickness);

    m_statusBar = new QStatusBar(m_client);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setSizeGripEnabled(false);
    m_statusBar->setContentsMargins(0, 0, 0, 0);
    auto *panel = new QLabel(m_statusBar);
    panel->setObjectName(QStringLiteral("ZoomPanel"));
    panel->setPixmap(zoomIcon(twipsToPixels(kScrollBarTwips) - 3));
    panel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_statusBar->addWidget(panel, 1);
    m_statusBar->setToolTip(QStringLiteral("Масштаб"));
    m_statusBar->setCursor(Qt::PointingHandCursor);
    m_statusBar->installEventFilter(this);

    // The window has no frame of its own; the square between the two scroll
    // bars carries a grip to size it.
    m_sizeGrip = new QSizeGrip(m_client);
    m_sizeGrip->setObjectName(QStringLiteral("SizeGrip"));
    m_sizeGrip->resize(thickness, thickness);

    buildMenu();

    m_client->installEventFilter(this);
    m_picture1->installEventFilter(this);

    connect(this, &QMdiSubWindow::windowStateChanged, this,
            [this](Qt::WindowStates, Qt::WindowStates now) { m_header->setActive(now.testFlag(Qt::WindowActive)); });

    resize(twipsToPixels(kImageWindowStartTwips), twipsToPixels(kImageWindowStartTwips));
    layoutParts();
}

ImageWindow::~ImageWindow() = default;

void ImageWindow::buildMenu()
{
    m_zoomMenu = new QMenu(QStringLiteral("mas"), this);
    m_zoomMenu->setObjectName(QStringLiteral("mnuMas"));
    for (int i = 0; i < kZoomItemCount; ++i) {
        const QString caption = zoomCaption(i);
        QAction *a = nullptr;
        if (caption == QLatin1String("-")) {
            // A line; a text would be drawn on it as a section label.
            a = m_zoomMenu->addSeparator();
        } else {
            a = m_zoomMenu->addAction(caption);
            a->setCheckable(true);
            connect(a, &QAction::triggered, this, [this, i] { chooseZoomItem(i); });
        }
        a->setObjectName(QStringLiteral("mnuV_%1").arg(i));
        m_zoomItems.append(a);
    }
}

QAction *ImageWindow::zoomItem(int index) const
{
    return index >= 0 && index < m_zoomItems.size() ? m_zoomItems.at(index) : nullptr;
}

int ImageWindow::checkedZoomItem() const
{
    for (int i = 0; i < m_zoomItems.size(); ++i)
        if (m_zoomItems.at(i)->isChecked())
            return i;
    return -1;
}

QWidget *ImageWindow::viewport() const
{
    return m_picture1;
}

QWidget *ImageWindow::displaySurface() const
{
    return m_picture2;
}

QSize ImageWindow::clientTwips() const
{
    return QSize(int(pixelsToTwips(m_client->width())), int(pixelsToTwips(m_client->height())));
}

QSize ImageWindow::viewportTwips() const
{
    return QSize(int(pixelsToTwips(m_picture1->width())), int(pixelsToTwips(m_picture1->height())));
}

bool ImageWindow::loadFile(const QString &path, LoadError *error, QString *detail)
{
    const LoadedImage loaded = loadImage(path);
    if (error)
        *error = loaded.error;
    if (detail)
        *detail = loaded.detail;
    if (!loaded.ok())
        return false;
    setPicture(loaded.image, path);
    return true;
}

const QImage &ImageWindow::reducedImage() const
{
    if (m_reduced.isNull() && !m_source.isNull()) {
        const QSize size = m_source.size();
        if (size.width() <= kReducedSide && size.height() <= kReducedSide)
            return m_source;
        const QSize reduced = size.scaled(kReducedSide, kReducedSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        m_reduced = resampleBox(m_source, reduced.width(), reduced.height());
        if (m_reduced.isNull())
            return m_source;
    }
    return m_reduced;
}

void ImageWindow::setPicture(const QImage &image, const QString &path)
{
    if (image.isNull())
        return;
    m_source = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    m_sourcePath = path;
    m_reduced = QImage();
    m_contentChanged = true;
    m_hScroll->setValue(0);
    m_vScroll->setValue(0);
    show();
    move(0, 0);
    resize(twipsToPixels(kImageWindowStartTwips), twipsToPixels(kImageWindowStartTwips));
    layoutParts();
    chooseZoomItem(kZoomFitIndex);
    if (mdiArea())
        mdiArea()->setActiveSubWindow(this);
}

void ImageWindow::checkOnly(int index)
{
    for (int i = 0; i < m_zoomItems.size(); ++i)
        m_zoomItems.at(i)->setChecked(i == index);
}

void ImageWindow::chooseZoomItem(int index)
{
    QAction *item = zoomItem(index);
    if (!item || item->isSeparator())
        return;
    bool fit = false;
    // By the item's own caption: the checked item's text may also say the
    // zoom really shown.
    const float factor = zoomFactorForCaption(zoomCaption(index), &fit);
    if (!fit && factor <= 0.0f)
        return;
    const int previous = checkedZoomItem();
    checkOnly(index);
    for (int i = 0; i < m_zoomItems.size(); ++i) {
        if (!m_zoomItems.at(i)->isSeparator())
            m_zoomItems.at(i)->setText(zoomCaption(i));
    }
    if (!hasPicture())
        return;

    if (fit) {
        applyFit();
        // The scroll bars follow the new size at once rather than at the
        // next resize, so they never pan a picture that now fits.
        updateScrollRanges();
        return;
    }

    if (!setDisplaySize(zoomDisplaySize(m_source.size(), factor))) {
        // The earlier zoom stays, with its check mark.
        checkOnly(previous);
        QMessageBox::warning(this, QStringLiteral("Изображение"),
                             QStringLiteral("Недостаточно памяти для показа изображения "
                                            "в масштабе %1.")
                                 .arg(zoomCaption(index)));
        return;
    }
    // A picture too large for the zoom asked for is shown as large as the
    // display copy may be: the item says so.
    const int shown = shownZoomPercent(m_source.size(), m_display.size());
    if (shown != qRound(factor * 100.0f))
        item->setText(zoomCaption(index) + QStringLiteral(" (показано %1 %)").arg(shown));
    const QSize displayTwips(int(pixelsToTwips(m_display.width())), int(pixelsToTwips(m_display.height())));
    const QSize windowTwips(int(pixelsToTwips(width())), int(pixelsToTwips(height())));
    const QSize shrunk = shrinkWindowSize(windowTwips, displayTwips, viewportTwips());
    if (shrunk != windowTwips) {
        resize(twipsToPixels(shrunk.width()), twipsToPixels(shrunk.height()));
        layoutParts();
    }
    updateScrollRanges();
}

void ImageWindow::applyFit()
{
    if (!hasPicture())
        return;
    setDisplaySize(fitDisplaySize(m_source.size(), viewportTwips()));
}

bool ImageWindow::setDisplaySize(const QSize &pixels)
{
    if (pixels != m_display.size() || m_contentChanged) {
        // Large copies take a noticeable moment.
        const bool large = qint64(pixels.width()) * pixels.height() > 4 * 1024 * 1024;
        if (large)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        QImage copy = resampleBox(m_source, pixels.width(), pixels.height());
        if (large)
            QGuiApplication::restoreOverrideCursor();
        // A copy the system cannot allocate leaves the earlier one in place.
        if (copy.isNull())
            return false;
        m_display = std::move(copy);
        m_picture2->resize(m_display.size());
        m_picture2->update();
    }
    publishIfChanged();
    return true;
}

void ImageWindow::publishIfChanged()
{
    if (m_display.isNull())
        return;
    if (m_display.size() == m_published && !m_contentChanged)
        return;
    m_published = m_display.size();
    m_contentChanged = false;
    Q_EMIT displaySizeChanged(m_display.width(), m_display.height());
}

void ImageWindow::layoutParts()
{
    if (m_inLayout)
        return;
    m_inLayout = true;
    const ImageWindowLayout l =
        imageWindowLayout(int(pixelsToTwips(m_client->width())), int(pixelsToTwips(m_client->height())));
    place(m_header, l.header);
    place(m_picture1, l.viewport);
    // The scroll bars keep the edges the design gives them and take the new
    // length (and the vertical one its left edge) from the rule.
    if (l.vScroll.valid)
        m_vScroll->setGeometry(toPixelRect(l.vScroll.rect));
    if (l.hScroll.valid)
        m_hScroll->setGeometry(toPixelRect(l.hScroll.rect));
    place(m_statusBar, l.zoomButton);
    m_sizeGrip->move(m_client->width() - m_sizeGrip->width(), m_client->height() - m_sizeGrip->height());
    m_sizeGrip->raise();
    m_inLayout = false;
}

void ImageWindow::viewportResized()
{
    updateScrollRanges();
}

void ImageWindow::updateScrollRanges()
{
    if (checkedZoomItem() == kZoomFitIndex)
        applyFit();
    const int dh = m_display.isNull() ? 0 : m_display.height();
    const int dw = m_display.isNull() ? 0 : m_display.width();
    const qint32 vMax = scrollMaximum(pixelsToTwips(dh), pixelsToTwips(m_picture1->height()));
    m_vScroll->setRange(0, vMax);
    m_vScroll->setEnabled(m_vScroll->maximum() != 0);
    const qint32 hMax = scrollMaximum(pixelsToTwips(dw), pixelsToTwips(m_picture1->width()));
    m_hScroll->setRange(0, hMax);
    m_hScroll->setEnabled(m_hScroll->maximum() != 0);
    pan();
}

void ImageWindow::pan()
{
    m_picture2->move(panOffsetPixels(m_hScroll->value()), panOffsetPixels(m_vScroll->value()));
}

bool ImageWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == m_client)
            layoutParts();
        else if (watched == m_picture1)
            viewportResized();
    } else if (watched == m_picture1 && event->type() == QEvent::Wheel) {
        // The wheel pans the picture: vertically, or horizontally with Shift
        // or a sideways wheel.
        auto *we = static_cast<QWheelEvent *>(event);
        const bool sideways = we->angleDelta().x() != 0 || we->modifiers().testFlag(Qt::ShiftModifier);
        QScrollBar *bar = sideways ? m_hScroll : m_vScroll;
        if (bar->isEnabled()) {
            QWheelEvent copy(we->position(), we->globalPosition(), we->pixelDelta(),
                             sideways && we->angleDelta().x() == 0 ? QPoint(we->angleDelta().y(), 0) : we->angleDelta(),
                             we->buttons(), we->modifiers() & ~Qt::ShiftModifier, we->phase(), we->inverted());
            QCoreApplication::sendEvent(bar, &copy);
        }
        return true;
    } else if (watched == m_statusBar && event->type() == QEvent::MouseButtonPress) {
        auto *me = static_cast<QMouseEvent *>(event);
        m_zoomMenu->popup(me->globalPosition().toPoint());
        return true;
    }
    return QMdiSubWindow::eventFilter(watched, event);
}

void ImageWindow::closeEvent(QCloseEvent *event)
{
    const QString path = m_sourcePath;
    m_source = QImage();
    m_reduced = QImage();
    const QFileInfo info(path);
    const bool exists = !path.trimmed().isEmpty() && info.exists() && info.isFile();
    m_sourcePath.clear();

    // Back to the design state: no picture, no check mark, no scrolling.
    m_display = QImage();
    m_picture2->resize(0, 0);
    m_published = QSize();
    m_contentChanged = false;
    checkOnly(-1);
    m_hScroll->setRange(0, 0);
    m_vScroll->setRange(0, 0);
    m_hScroll->setEnabled(false);
    m_vScroll->setEnabled(false);

    Q_EMIT unloaded(path, exists);
    FramelessSubWindow::closeEvent(event);
}

} // namespace tessilor
