#include "document/mosaiclayout.h"

#include "document/documentfill.h"
#include "document/richformat.h"

#include <QMetaObject>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <vector>

namespace tessilor {

namespace {

// A coordinate in the standard layout's 1/64 pixel units.
qint64 fixed64(qreal v)
{
    return qRound64(v * 64);
}

int clampInt(qreal v, int lo, int hi)
{
    if (!(v > qreal(lo)))
        return lo;
    if (v > qreal(hi))
        return hi;
    return int(v);
}

// The format a cell of the document is written in, without its colour: the
// first cell's, or the first paragraph's when the document has no cells.
QTextCharFormat cellFormat(const QTextDocument *doc)
{
    const QTextBlock first = doc->begin();
    QTextCharFormat f = first.charFormat();
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        const QTextBlock::iterator it = b.begin();
        if (!it.atEnd()) {
            f = it.fragment().charFormat();
            break;
        }
        if (b.blockNumber() > 2)
            break;
    }
    f.clearForeground();
    f.clearBackground();
    return f;
}

} // namespace

// ---------------------------------------------------------------------------
// Fill

MosaicLayout::Fill::Fill(QTextDocument *doc, QChar glyph) : m_doc(nullptr)
{
    if (!doc || doc->defaultTextOption().wrapMode() != QTextOption::NoWrap)
        return;
    auto *layout = new MosaicLayout(doc, glyph);
    layout->m_trusted = true;
    doc->setDocumentLayout(layout);
    m_doc = doc;
}

MosaicLayout::Fill::~Fill()
{
    if (!m_doc)
        return;
    if (auto *layout = qobject_cast<MosaicLayout *>(m_doc->documentLayout()))
        layout->m_trusted = false;
}

// ---------------------------------------------------------------------------

MosaicLayout::MosaicLayout(QTextDocument *doc, QChar glyph) : QAbstractTextDocumentLayout(doc), m_glyph(glyph)
{
    // A text window lays out an unwrapped document against no page width
    // when it holds no aligned paragraphs; say so, as the standard layout does.
    setProperty("contentHasAlignment", false);
    connect(doc, &QTextDocument::contentsChange, this, [this](int, int, int) {
        if (!m_trusted)
            scheduleRestore();
    });
}

bool MosaicLayout::isInstalled(const QTextDocument *doc)
{
    return doc && qobject_cast<MosaicLayout *>(doc->documentLayout()) != nullptr;
}

void MosaicLayout::settleColours(QTextDocument *doc)
{
    const MosaicCells *cells = MosaicCells::of(doc);
    if (!cells)
        return;
    // The content changes: as during the fill, the mosaic layout shown takes
    // them as the mosaic being written; it stays the document's layout, so
    // that whoever holds it (a window, a zoomed view) keeps drawing with it.
    auto *layout = qobject_cast<MosaicLayout *>(doc->documentLayout());
    const bool trusted = layout && layout->m_trusted;
    if (layout)
        layout->m_trusted = true;
    MosaicCells::materialize(doc);
    if (layout)
        layout->m_trusted = trusted;
}

void MosaicLayout::restoreStandard(QTextDocument *doc)
{
    if (!isInstalled(doc))
        return;
    settleColours(doc);
    // With no layout set, the document makes its standard one on demand;
    // the windows showing it pick it up from documentLayoutChanged.
    doc->setDocumentLayout(nullptr);
    doc->documentLayout();
}

void MosaicLayout::scheduleRestore()
{
    if (m_restoring)
        return;
    m_restoring = true;
    // Not from inside the document's own change notification: the layout
    // would be deleted under it.
    QPointer<MosaicLayout> self(this);
    QMetaObject::invokeMethod(
        this,
        [self] {
            if (self)
                restoreStandard(self->document());
        },
        Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------
// Metrics

void MosaicLayout::calibrate()
{
    QTextDocument *doc = document();
    const QTextBlock first = doc->begin();
    const QTextBlockFormat blockFormat = first.blockFormat();
    const QTextCharFormat rowFormat = first.charFormat();
    const QTextCharFormat cell = cellFormat(doc);

    // Rows of one cell, three cells and none, laid out by the standard layout
    // with the document's own settings. The page is set last: that lays the
    // whole sample out again, which a format change of an empty paragraph
    // alone does not.
    auto prepare = [&](QTextDocument &sample) {
        sample.setUndoRedoEnabled(false);
        sample.setDefaultFont(doc->defaultFont());
        sample.setDefaultTextOption(doc->defaultTextOption());
        sample.setIndentWidth(doc->indentWidth());
        sample.setUseDesignMetrics(doc->useDesignMetrics());
        sample.setDocumentMargin(doc->documentMargin());
        QAbstractTextDocumentLayout *standard = sample.documentLayout();
        if (paintDevice())
            standard->setPaintDevice(paintDevice());
        QTextCursor c(&sample);
        c.setBlockFormat(blockFormat);
        c.setBlockCharFormat(rowFormat);
        return c;
    };
    QTextDocument sample;
    QTextCursor c = prepare(sample);
    c.insertText(QString(m_glyph), cell);
    c.insertBlock(blockFormat, rowFormat);
    c.insertText(QString(3, m_glyph), cell);
    c.insertBlock(blockFormat, rowFormat);
    sample.setPageSize(QSizeF(0, doc->pageSize().height()));
    QAbstractTextDocumentLayout *standard = sample.documentLayout();

    const QTextBlock b0 = sample.begin();
    const QTextBlock b1 = b0.next();
    const QRectF r0 = standard->blockBoundingRect(b0);
    const QRectF r1 = standard->blockBoundingRect(b1);
    const QTextLayout *l0 = b0.layout();
    const QTextLayout *l1 = b1.layout();
    Metrics m;
    if (l0->lineCount() < 1 || l1->lineCount() < 1) {
        m_m = m;
        return;
    }
    const QTextLine line0 = l0->lineAt(0);
    const QTextLine line1 = l1->lineAt(0);
    m.top = r0.top();
    m.pitch = r1.top() - r0.top();
    m.rowHeight = r0.height();
    m.left = r0.left();
    m.advance = (line1.cursorToX(3) - line1.cursorToX(0)) / 3;
    m.cellX0 = l1->position().x() + line1.cursorToX(0);
    m.layoutOffset = l0->position() - r0.topLeft();
    m.linePosition = line0.position();
    m.lineTop = l0->position().y() + line0.y() - r0.top();
    m.lineHeight = line0.ascent() + line0.descent();
    const QSizeF size = standard->documentSize();
    m.sizeWidthBase = size.width() - 3 * m.advance;
    m.sizeHeightBase = size.height() - 3 * m.pitch;
    // On a page wider than the mosaic, rows and the document take the
    // page's width: measured with a single empty row.
    {
        QTextDocument page;
        prepare(page);
        page.setPageSize(doc->pageSize());
        QAbstractTextDocumentLayout *pageLayout = page.documentLayout();
        m.sizeWidthPageFloor = pageLayout->documentSize().width();
        m.lineWidth = pageLayout->blockBoundingRect(page.begin()).width();
    }

    // The glyph itself, shaped once in the cell's font; it sits on the
    // row's baseline at the pen position of its cell.
    QTextLayout single(QString(m_glyph), cell.font().resolve(doc->defaultFont()));
    single.beginLayout();
    QTextLine singleLine = single.createLine();
    single.endLayout();
    const QList<QGlyphRun> runs = singleLine.isValid() ? single.glyphRuns() : QList<QGlyphRun>();
    if (!runs.isEmpty() && !runs.first().glyphIndexes().isEmpty()) {
        const QGlyphRun &run = runs.first();
        m.baseline = m.lineTop + line0.ascent();
        m.glyphDx = run.positions().first().x() - singleLine.cursorToX(0);
        m.glyph = run;
        m.glyph.setGlyphIndexes({run.glyphIndexes().first()});
        m.glyph.setPositions({QPointF(0, 0)});
        // The run is drawn at many places; its bounds are worked out per draw.
        m.glyph.setBoundingRect(QRectF());
    }
    m.valid = m.pitch > 0 && m.advance > 0;
    m_m = m;
}

void MosaicLayout::measureContent()
{
    const QTextDocument *doc = document();
    m_rows = doc->blockCount();
    int widest = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        widest = std::max(widest, b.length() - 1);
    m_maxColumns = widest;
}

int MosaicLayout::columnsOf(const QTextBlock &block) const
{
    return std::max(0, block.length() - 1);
}

QPointF MosaicLayout::cellOrigin(int row, int column) const
{
    return QPointF(m_m.cellX0 + column * m_m.advance, m_m.top + row * m_m.pitch);
}

int MosaicLayout::rowOf(qreal y) const
{
    if (!m_m.valid)
        return 0;
    return clampInt(std::floor((y - m_m.top) / m_m.pitch), 0, std::max(0, m_rows - 1));
}

void MosaicLayout::ensureBlockLayout(const QTextBlock &block) const
{
    QTextLayout *tl = block.layout();
    if (!tl || tl->lineCount() > 0 || !m_m.valid)
        return;
    QTextOption option = document()->defaultTextOption();
    option.setTextDirection(block.blockFormat().layoutDirection());
    tl->setTextOption(option);
    tl->beginLayout();
    QTextLine line = tl->createLine();
    if (line.isValid()) {
        line.setLineWidth(m_m.lineWidth);
        line.setPosition(m_m.linePosition);
    }
    tl->endLayout();
    tl->setPosition(QPointF(m_m.left, m_m.top + block.blockNumber() * m_m.pitch) + m_m.layoutOffset);
}

// ---------------------------------------------------------------------------
// The layout interface

void MosaicLayout::documentChanged(int from, int charsRemoved, int charsAdded)
{
    Q_UNUSED(charsRemoved)
    QTextDocument *doc = document();
    if (doc->defaultTextOption().wrapMode() != QTextOption::NoWrap)
        scheduleRestore();
    calibrate();
    measureContent();
    // Rows keep their layouts only when nothing about them moved.
    const bool whole = from == 0 && charsAdded >= doc->characterCount() - 1;
    QTextBlock b = whole ? doc->begin() : doc->findBlock(from);
    const QTextBlock end = whole ? QTextBlock() : doc->findBlock(from + charsAdded).next();
    for (; b.isValid() && b != end; b = b.next())
        b.clearLayout();
    Q_EMIT documentSizeChanged(documentSize());
    Q_EMIT update();
}

QSizeF MosaicLayout::documentSize() const
{
    if (!m_m.valid)
        return QSizeF();
    const qreal width = std::max(m_m.sizeWidthPageFloor, m_m.sizeWidthBase + m_maxColumns * m_m.advance);
    return QSizeF(width, m_m.sizeHeightBase + m_rows * m_m.pitch);
}

int MosaicLayout::pageCount() const
{
    return 1;
}

QRectF MosaicLayout::frameBoundingRect(QTextFrame *frame) const
{
    if (frame && frame == document()->rootFrame())
        return QRectF(QPointF(0, 0), documentSize());
    return QRectF();
}

QRectF MosaicLayout::blockBoundingRect(const QTextBlock &block) const
{
    if (!block.isValid() || !m_m.valid || block.document() != document())
        return QRectF();
    ensureBlockLayout(block);
    return QRectF(m_m.left, m_m.top + block.blockNumber() * m_m.pitch,
                  std::max(m_m.lineWidth, columnsOf(block) * m_m.advance), m_m.rowHeight);
}

int MosaicLayout::hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const
{
    // As the standard layout answers, in its 1/64 pixel units with the point
    // truncated to them: above the first row is the start of the document;
    // a point on or below the bottom of a row's line (or below the last row)
    // is after that row's last cell; beside a row is its start or its end.
    // Inside, the nearest cell boundary (past a cell's half goes right), or
    // for an exact hit the cell under the point.
    if (!m_m.valid || m_rows <= 0)
        return -1;
    const bool exact = accuracy == Qt::ExactHit;
    const qint64 y = qint64(point.y() * 64);
    const qint64 x = qint64(point.x() * 64);
    const qint64 top = fixed64(m_m.top);
    const qint64 pitch = fixed64(m_m.pitch);
    const qint64 advance = fixed64(m_m.advance);
    if (y < top || pitch <= 0 || advance <= 0)
        return exact ? -1 : 0;
    const qint64 dy = y - top;
    qint64 row = dy == 0 ? 0 : (dy + pitch - 1) / pitch - 1;
    bool after = false;
    if (row >= m_rows) {
        row = m_rows - 1;
        after = true;
    } else {
        after = dy - row * pitch - fixed64(m_m.lineTop) >= fixed64(m_m.lineHeight);
    }
    const QTextBlock block = document()->findBlockByNumber(int(row));
    if (!block.isValid())
        return -1;
    const int columns = columnsOf(block);
    if (after)
        return exact ? -1 : block.position() + columns;
    const qint64 dx = x - fixed64(m_m.cellX0);
    if (dx < 0)
        return exact ? -1 : block.position();
    if (dx > columns * advance)
        return exact ? -1 : block.position() + columns;
    qint64 column = dx / advance;
    if (!exact && dx - column * advance > advance / 2)
        ++column;
    return block.position() + int(std::min<qint64>(column, columns));
}

void MosaicLayout::draw(QPainter *painter, const PaintContext &context)
{
    if (!m_m.valid || m_m.glyph.glyphIndexes().isEmpty() || m_rows <= 0)
        return;
    const QTextDocument *doc = document();
    const QRectF clip = context.clip.isValid() ? context.clip : QRectF(QPointF(0, 0), documentSize());
    const int firstRow = rowOf(clip.top());
    const int lastRow = rowOf(clip.bottom());
    // One cell either side: glyphs may reach past their cell.
    const int firstColumn = std::max(0, int(std::floor((clip.left() - m_m.cellX0) / m_m.advance)) - 1);
    const int endColumn = std::max(0, int(std::ceil((clip.right() - m_m.cellX0) / m_m.advance)) + 1);
    const quint32 glyphIndex = m_m.glyph.glyphIndexes().first();
    const QColor textColor = context.palette.color(QPalette::Text);
    bool cursorOk = false;
    const int cursorWidth = property("cursorWidth").toInt(&cursorOk);

    // The run points into these arrays (setRawData): handing it lists
    // would share them, and the next cells would copy them again.
    std::vector<quint32> indexes;
    std::vector<QPointF> positions;
    QGlyphRun run = m_m.glyph;
    auto drawCells = [&](int from, int to, qreal rowTop, const QColor &color) {
        from = std::max(from, firstColumn);
        to = std::min(to, endColumn);
        if (from >= to)
            return;
        indexes.assign(size_t(to - from), glyphIndex);
        positions.resize(size_t(to - from));
        for (int i = from; i < to; ++i)
            positions[size_t(i - from)] = QPointF(m_m.cellX0 + i * m_m.advance + m_m.glyphDx, rowTop + m_m.baseline);
        run.setRawData(indexes.data(), positions.data(), to - from);
        painter->setPen(color);
        painter->drawGlyphRun(QPointF(0, 0), run);
    };

    // Cells whose colours are kept beside the document: runs of equal
    // colours are drawn as the fragments of a fill cell by cell would be.
    const MosaicCells *cells = MosaicCells::of(doc);
    auto drawRun = [&](int from, int to, qreal rowTop, const QBrush *background, const QColor &color) {
        if (background) {
            const int a = std::max(from, firstColumn), b = std::min(to, endColumn);
            painter->fillRect(
                QRectF(m_m.cellX0 + a * m_m.advance, rowTop + m_m.lineTop, (b - a) * m_m.advance, m_m.lineHeight)
                    .toAlignedRect(),
                *background);
        }
        drawCells(from, to, rowTop, color);
    };

    QTextBlock block = doc->findBlockByNumber(firstRow);
    for (int row = firstRow; row <= lastRow && block.isValid(); ++row, block = block.next()) {
        const qreal rowTop = m_m.top + row * m_m.pitch;
        const int start = block.position();
        const int columns = columnsOf(block);

        if (cells && row < cells->rows() && cells->rowEnd(row) - cells->rowBegin(row) == size_t(columns)) {
            const size_t base = cells->rowBegin(row);
            int from = std::max(0, firstColumn);
            // Back to the start of the run the first cell in view belongs to.
            while (from > 0 && cells->sameCell(base + size_t(from) - 1, base + size_t(from)))
                --from;
            while (from < columns && from < endColumn) {
                int to = from + 1;
                while (to < columns && cells->sameCell(base + size_t(to), base + size_t(from)))
                    ++to;
                const qint64 background = cells->background(base + size_t(from));
                const QBrush brush = background >= 0 ? QBrush(colorFrom24(quint32(background))) : QBrush();
                drawRun(from, to, rowTop, background >= 0 ? &brush : nullptr,
                        colorFrom24(cells->color(base + size_t(from))));
                from = to;
            }
        } else {
            // Run by run, as the standard layout draws a line: a run's
            // background (the figure fill), widened to whole pixels (the next
            // run covers the pixel the two share), then its glyphs.
            for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                const int from = fragment.position() - start;
                const int to = from + fragment.length();
                if (to <= firstColumn)
                    continue;
                if (from >= endColumn)
                    break;
                const QTextCharFormat format = fragment.charFormat();
                const bool filled =
                    format.hasProperty(QTextFormat::BackgroundBrush) && format.background().style() != Qt::NoBrush;
                const QBrush background = filled ? format.background() : QBrush();
                drawRun(from, to, rowTop, filled ? &background : nullptr,
                        format.hasProperty(QTextFormat::ForegroundBrush) ? format.foreground().color() : textColor);
            }
        }

        // Selections over the cells, as a text window draws them: the band
        // in whole pixels widened outwards where the selection starts or
        // ends in the row, the line's own rectangle where the row is
        // selected from end to end, and a quarter of the line's height past
        // its end where the selection runs on into the next row; the cells
        // inside in the selection's colour, cut at the band's edges.
        for (const Selection &s : context.selections) {
            const int selStart = s.cursor.selectionStart() - start;
            const int selEnd = s.cursor.selectionEnd() - start;
            if (selStart > columns || selEnd < 0 || selEnd <= selStart)
                continue;
            const bool background = s.format.hasProperty(QTextFormat::BackgroundBrush);
            const bool foreground = s.format.hasProperty(QTextFormat::ForegroundBrush);
            if (!background && !foreground)
                continue;
            const int a = std::max(selStart, 0);
            const int b = std::min(selEnd, columns);
            const qreal lineTop = rowTop + m_m.lineTop;
            const qreal lineHeight = std::ceil(lineTop + m_m.lineHeight) - lineTop;
            QPainterPath region;
            region.setFillRule(Qt::WindingFill);
            if (a < b) {
                const QRectF band(m_m.cellX0 + a * m_m.advance, lineTop, (b - a) * m_m.advance, lineHeight);
                if (selStart >= 0 || selEnd <= columns)
                    region.addRect(QRectF(band.toAlignedRect()));
                else
                    region.addRect(band);
            }
            if (selEnd > columns)
                region.addRect(QRectF(m_m.cellX0 + columns * m_m.advance, lineTop, lineHeight / 4, lineHeight));
            if (region.isEmpty())
                continue;
            painter->save();
            painter->setClipPath(region, Qt::IntersectClip);
            if (background)
                painter->fillPath(region, s.format.background());
            if (foreground && a < b)
                drawCells(a - 1, std::min(b + 1, columns), rowTop, s.format.foreground().color());
            painter->restore();
        }

        if (context.cursorPosition >= start && context.cursorPosition <= start + columns) {
            // The text cursor inverts what is under it where the device can.
            const qreal x = m_m.cellX0 + (context.cursorPosition - start) * m_m.advance;
            painter->save();
            if (painter->paintEngine() && painter->paintEngine()->hasFeature(QPaintEngine::RasterOpModes))
                painter->setCompositionMode(QPainter::RasterOp_NotDestination);
            painter->fillRect(QRectF(x, rowTop + m_m.lineTop, cursorOk ? cursorWidth : 1, m_m.lineHeight), textColor);
            painter->restore();
        }
    }
}

} // namespace tessilor
