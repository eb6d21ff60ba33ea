#include "richtext/textzoom.h"

#include "layout/viewzoom.h"

#include "document/documentfill.h"
#include "document/mosaiclayout.h"
#include "document/richformat.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QCoreApplication>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QtMath>
#include <QTextEdit>
#include <QWheelEvent>

#include <cmath>

namespace tessilor {

namespace vz = viewzoom;

namespace {

// One notch of a mouse wheel, in 1/8 degrees.
constexpr int kWheelNotch = 120;
// Cells this many pixels high or less are drawn as one pixel a cell, scaled.
constexpr double kTinyCellPixels = 4.0;

// The share of a cell its glyph inks, drawn in the cell's font.
double inkShare(const QFont &font, QChar glyph, QSizeF cell)
{
    const QSize size(qMax(1, qCeil(cell.width())), qMax(1, qCeil(cell.height())));
    QImage ink(size, QImage::Format_ARGB32_Premultiplied);
    ink.fill(Qt::transparent);
    QPainter p(&ink);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRectF(QPointF(0, 0), cell), Qt::AlignCenter, QString(glyph));
    p.end();
    qint64 alpha = 0;
    for (int y = 0; y < ink.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(ink.constScanLine(y));
        for (int x = 0; x < ink.width(); ++x)
            alpha += qAlpha(line[x]);
    }
    return double(alpha) / (255.0 * size.width() * size.height());
}

QRgb mix(QRgb background, QRgb ink, double share)
{
    auto channel = [share](int b, int i) { return qBound(0, qRound(b + (i - b) * share), 255); };
    return qRgb(channel(qRed(background), qRed(ink)), channel(qGreen(background), qGreen(ink)),
                channel(qBlue(background), qBlue(ink)));
}

// The mosaic as one pixel a cell: the cell's background (or the window's
// base colour) mixed with its glyph's colour by the glyph's ink. The colours
// come from the cells kept beside the document where it has them, else from
// its formats.
QImage mosaicCells(const QTextDocument *doc, const MosaicLayout *layout, const QPalette &palette)
{
    int columns = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        columns = qMax(columns, b.length() - 1);
    QImage cells(qMax(1, columns), qMax(1, doc->blockCount()), QImage::Format_RGB32);
    if (cells.isNull())
        return cells;
    const QRgb base = palette.color(QPalette::Base).rgb();
    const QRgb text = palette.color(QPalette::Text).rgb();
    cells.fill(base);
    const MosaicCells *kept = MosaicCells::of(doc);
    double share = -1;
    int row = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next(), ++row) {
        QRgb *line = reinterpret_cast<QRgb *>(cells.scanLine(row));
        const int length = b.length() - 1;
        const bool keptRow = kept && row < kept->rows() && kept->rowEnd(row) - kept->rowBegin(row) == size_t(length);
        for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (share < 0) {
                const QFont font = format.font().resolve(doc->defaultFont());
                share = inkShare(font, fragment.text().isEmpty() ? QChar() : fragment.text().at(0),
                                 QSizeF(layout->cellAdvance(), layout->rowPitch()));
            }
            if (keptRow)
                break; // only the glyph's ink was wanted
            const QRgb ink =
                format.hasProperty(QTextFormat::ForegroundBrush) ? format.foreground().color().rgb() : text;
            const QRgb background =
                format.hasProperty(QTextFormat::BackgroundBrush) && format.background().style() != Qt::NoBrush
                    ? format.background().color().rgb()
                    : base;
            const QRgb cell = mix(background, ink, share);
            const int from = fragment.position() - b.position();
            for (int x = from; x < from + fragment.length() && x < columns; ++x)
                line[x] = cell;
        }
        if (keptRow) {
            const size_t first = kept->rowBegin(row);
            for (int x = 0; x < length; ++x) {
                const qint64 background = kept->background(first + size_t(x));
                line[x] = mix(background >= 0 ? colorFrom24(quint32(background)).rgb() : base,
                              colorFrom24(kept->color(first + size_t(x))).rgb(), share);
            }
        }
    }
    return cells;
}

bool isOne(double zoom)
{
    return std::abs(zoom - 1.0) < 1e-9;
}

} // namespace

TextZoom::TextZoom(QTextEdit *edit) : QObject(edit), m_target(edit)
{
    auto action = [this](const QString &name, const QString &text, const QList<QKeySequence> &keys) {
        auto *a = new QAction(text, this);
        a->setObjectName(name);
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        return a;
    };
    m_in = action(QStringLiteral("zoomIn"), QStringLiteral("Увеличить"),
                  {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    m_out = action(QStringLiteral("zoomOut"), QStringLiteral("Уменьшить"), {QKeySequence(QKeySequence::ZoomOut)});
    m_reset = action(QStringLiteral("zoomReset"), QStringLiteral("Обычный размер (100 %)"),
                     {QKeySequence(Qt::CTRL | Qt::Key_0)});
    m_fit = action(QStringLiteral("zoomFit"), QStringLiteral("Показать всю картину"), {});
    connect(m_in, &QAction::triggered, this, &TextZoom::zoomIn);
    connect(m_out, &QAction::triggered, this, &TextZoom::zoomOut);
    connect(m_reset, &QAction::triggered, this, &TextZoom::resetZoom);
    connect(m_fit, &QAction::triggered, this, &TextZoom::fitWhole);
    // The keys work while the window is on screen; the commands are also its
    // context menu.
    edit->addActions(actions());
    edit->setContextMenuPolicy(Qt::ActionsContextMenu);
    for (QAction *a : actions())
        a->setEnabled(edit->isVisible());

    edit->installEventFilter(this);
    edit->viewport()->installEventFilter(this);
    // A new or changed document needs a new picture of its cells.
    connect(edit->document(), &QTextDocument::contentsChange, this, [this] { m_cells = QImage(); });
    connect(edit->document(), &QTextDocument::documentLayoutChanged, this, [this] { m_cells = QImage(); });
    // The window asks to repaint the caret and the selection where its own
    // view has them; a zoomed view shows them elsewhere and is repainted.
    auto repaintZoomed = [this] {
        if (this->edit() && !isOne(m_zoom))
            this->edit()->viewport()->update();
    };
    connect(edit, &QTextEdit::cursorPositionChanged, this, repaintZoomed);
    connect(edit, &QTextEdit::selectionChanged, this, repaintZoomed);
    // The text window sets its scroll ranges for the document as laid out
    // whenever it lays out or resizes; a zoomed view puts its own back at
    // once, before the scroll position is bounded by the window's range.
    for (QScrollBar *bar : {edit->horizontalScrollBar(), edit->verticalScrollBar()}) {
        connect(bar, &QScrollBar::rangeChanged, this, [this] {
            if (!m_settingRanges && !isOne(m_zoom))
                applyRanges();
        });
    }
}

QTextEdit *TextZoom::edit() const
{
    return qobject_cast<QTextEdit *>(m_target.data());
}

QPoint TextZoom::scroll() const
{
    return QPoint(edit()->horizontalScrollBar()->value(), edit()->verticalScrollBar()->value());
}

void TextZoom::applyRanges()
{
    if (!edit())
        return;
    const QSizeF doc = edit()->document()->documentLayout()->documentSize();
    const QSize view = edit()->viewport()->size();
    m_settingRanges = true;
    QScrollBar *h = edit()->horizontalScrollBar();
    QScrollBar *v = edit()->verticalScrollBar();
    if (isOne(m_zoom)) {
        // As the text window itself has them.
        const QSize size = doc.toSize();
        h->setRange(0, qMax(0, size.width() - view.width()));
        v->setRange(0, qMax(0, size.height() - view.height()));
    } else {
        h->setRange(0, vz::scrollRange(doc.width(), m_zoom, view.width()));
        v->setRange(0, vz::scrollRange(doc.height(), m_zoom, view.height()));
    }
    h->setPageStep(view.width());
    v->setPageStep(view.height());
    m_settingRanges = false;
}

void TextZoom::setZoom(double zoom, QPointF anchor)
{
    if (!edit())
        return;
    zoom = vz::bounded(zoom);
    if (std::abs(zoom - m_zoom) < 1e-9)
        return;
    QWidget *view = edit()->viewport();
    if (anchor.x() < 0 || anchor.y() < 0)
        anchor = QPointF(view->width() / 2.0, view->height() / 2.0);
    const QPointF point = vz::documentPoint(anchor, scroll(), m_zoom);
    m_zoom = zoom;
    m_wheelRest = 0;
    applyRanges();
    const QPoint to = vz::scrollFor(point, anchor, m_zoom);
    edit()->horizontalScrollBar()->setValue(to.x());
    edit()->verticalScrollBar()->setValue(to.y());
    view->update();
    Q_EMIT zoomChanged(m_zoom);
}

void TextZoom::zoomIn()
{
    setZoom(vz::stepIn(m_zoom));
}

void TextZoom::zoomOut()
{
    setZoom(vz::stepOut(m_zoom));
}

void TextZoom::resetZoom()
{
    setZoom(1.0);
}

void TextZoom::fitWhole()
{
    if (!edit())
        return;
    setZoom(vz::fitting(edit()->document()->documentLayout()->documentSize(), edit()->viewport()->size()));
    edit()->horizontalScrollBar()->setValue(0);
    edit()->verticalScrollBar()->setValue(0);
}

void TextZoom::ensureCaretVisible()
{
    QTextEdit *const edit = this->edit();
    if (!edit)
        return;
    // The window places the caret for its own view, scrolled by the same
    // values as the zoomed one.
    const QRectF shown = vz::zoomedCaret(QRectF(edit->cursorRect()), scroll(), m_zoom);
    const QSize view = edit->viewport()->size();
    auto follow = [](QScrollBar *bar, double from, double to, int extent) {
        const int value = vz::scrollToShow(bar->value(), from, to, extent);
        if (value != bar->value())
            bar->setValue(value);
    };
    follow(edit->horizontalScrollBar(), shown.left(), shown.right(), view.width());
    follow(edit->verticalScrollBar(), shown.top(), shown.bottom(), view.height());
}

void TextZoom::paint(QPaintEvent *event)
{
    QWidget *view = edit()->viewport();
    QPainter painter(view);
    const QPoint offset = scroll();
    painter.translate(-offset);
    painter.scale(m_zoom, m_zoom);
    const QRectF area = QRectF(event->rect().translated(offset));
    const QRectF clip(area.topLeft() / m_zoom, area.size() / m_zoom);
    painter.setClipRect(clip);

    if (paintCells(painter))
        return;
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = clip;
    // The caret, where the window would draw one (steady: its blinking
    // repaints the window's own place of it).
    const bool caret =
        edit()->hasFocus() && (!edit()->isReadOnly() || edit()->textInteractionFlags() & Qt::TextSelectableByKeyboard);
    context.cursorPosition = caret ? edit()->textCursor().position() : -1;
    context.palette = edit()->palette();
    const QTextCursor cursor = edit()->textCursor();
    if (cursor.hasSelection()) {
        QAbstractTextDocumentLayout::Selection selection;
        selection.cursor = cursor;
        const QPalette::ColorGroup group = edit()->hasFocus() ? QPalette::Active : QPalette::Inactive;
        selection.format.setBackground(context.palette.brush(group, QPalette::Highlight));
        selection.format.setForeground(context.palette.brush(group, QPalette::HighlightedText));
        context.selections.append(selection);
    }
    edit()->document()->documentLayout()->draw(&painter, context);
}

bool TextZoom::paintCells(QPainter &painter)
{
    const QTextDocument *doc = edit()->document();
    const auto *layout = qobject_cast<const MosaicLayout *>(doc->documentLayout());
    // A selection is drawn glyph by glyph, as the window always draws it.
    if (!layout || layout->rowPitch() * m_zoom > kTinyCellPixels || edit()->textCursor().hasSelection())
        return false;
    if (m_cells.isNull())
        m_cells = mosaicCells(doc, layout, edit()->palette());
    if (m_cells.isNull())
        return false;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPointF origin = layout->cellOrigin(0, 0);
    painter.drawImage(
        QRectF(origin, QSizeF(m_cells.width() * layout->cellAdvance(), m_cells.height() * layout->rowPitch())),
        m_cells);
    return true;
}

bool TextZoom::forwardMapped(QEvent *event)
{
    auto *me = static_cast<QMouseEvent *>(event);
    const QPoint offset = scroll();
    const QPointF point = vz::documentPoint(me->position(), offset, m_zoom) - QPointF(offset);
    QMouseEvent mapped(me->type(), point, me->scenePosition(), me->globalPosition(), me->button(), me->buttons(),
                       me->modifiers(), me->pointingDevice());
    m_forwarding = true;
    QCoreApplication::sendEvent(edit()->viewport(), &mapped);
    m_forwarding = false;
    event->setAccepted(mapped.isAccepted());
    return true;
}

bool TextZoom::eventFilter(QObject *watched, QEvent *event)
{
    QTextEdit *const edit = this->edit();
    if (edit && watched == edit && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        for (QAction *a : actions())
            a->setEnabled(event->type() == QEvent::Show);
    }
    if (edit && watched == edit && event->type() == QEvent::KeyPress && !isOne(m_zoom) && !m_forwarding) {
        // The window keeps the caret in its own, unzoomed view as it moves;
        // the zoomed view follows it instead, from where it was.
        const int horizontal = edit->horizontalScrollBar()->value();
        const int vertical = edit->verticalScrollBar()->value();
        const QTextCursor before = edit->textCursor();
        const int revision = edit->document()->revision();
        m_forwarding = true;
        QCoreApplication::sendEvent(edit, event);
        m_forwarding = false;
        if (edit->textCursor() != before || edit->document()->revision() != revision) {
            edit->horizontalScrollBar()->setValue(horizontal);
            edit->verticalScrollBar()->setValue(vertical);
            ensureCaretVisible();
        }
        // An ignored key goes on to the window's parents.
        return event->isAccepted();
    }
    if (!edit || watched != edit->viewport() || m_forwarding)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Wheel: {
        auto *we = static_cast<QWheelEvent *>(event);
        if (!(we->modifiers() & Qt::ControlModifier))
            break;
        // Whole notches zoom a step each; a touchpad's small turns add up.
        m_wheelRest += we->angleDelta().y();
        const QPointF at = we->position();
        while (m_wheelRest >= kWheelNotch || m_wheelRest <= -kWheelNotch) {
            const int rest = m_wheelRest > 0 ? m_wheelRest - kWheelNotch : m_wheelRest + kWheelNotch;
            setZoom(m_wheelRest > 0 ? vz::stepIn(m_zoom) : vz::stepOut(m_zoom), at);
            m_wheelRest = rest;
        }
        we->accept();
        return true;
    }
    case QEvent::Paint:
        if (isOne(m_zoom))
            break;
        paint(static_cast<QPaintEvent *>(event));
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        if (isOne(m_zoom))
            break;
        return forwardMapped(event);
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tessilor
