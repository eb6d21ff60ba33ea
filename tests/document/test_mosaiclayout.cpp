// The mosaic layout against the standard layout: the same document, filled
// the same way, must come out with the same geometry and the same pixels.
#include "document/documentfill.h"
#include "document/mosaiclayout.h"
#include "document/rtf.h"

#include "art/figureconvert.h"
#include "base/runhooks.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <gtest/gtest.h>
#include <ostream>
#include <memory>

using namespace tessilor;

namespace {

QString figureFamily()
{
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(QStringLiteral(TESSILOR_FIGURE_FONT));
        return id < 0 ? QString() : QFontDatabase::applicationFontFamilies(id).value(0);
    }();
    return family;
}

struct MosaicSetup {
    QString family;
    qreal points;
    QChar glyph;
    qreal margin;    // document margin
    qreal indent;    // paragraph left margin
    qreal pageWidth; // the page a window sets
};

void PrintTo(const MosaicSetup &s, std::ostream *os)
{
    *os << (s.family.isEmpty() ? "figures" : s.family.toStdString()) << " " << s.points << "pt '"
        << char(s.glyph.unicode()) << "' margin " << s.margin << " indent " << s.indent << " page " << s.pageWidth;
}

QImage noisyGrid(int w, int h, quint32 seed)
{
    QImage grid(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            grid.setPixel(x, y, qRgb(int(rng.bounded(256)), int(rng.bounded(256)), int(rng.bounded(256))));
    return grid;
}

// A document set up as the result window sets it up, filled with a mosaic of
// the grid; with `mosaic` it is shown through the mosaic layout. `stopAfter`
// cells end the fill early, leaving a partial last row.
std::unique_ptr<QTextDocument> filled(const MosaicSetup &s, const QImage &grid, bool mosaic, int stopAfter = -1,
                                      double fillCoverage = 0,
                                      FigureDocumentSink::Colours colours = FigureDocumentSink::Colours::InFormats)
{
    auto doc = std::make_unique<QTextDocument>();
    QTextOption option = doc->defaultTextOption();
    option.setWrapMode(QTextOption::NoWrap);
    doc->setDefaultTextOption(option);
    doc->setDocumentMargin(s.margin);
    doc->setPageSize(QSizeF(s.pageWidth, -1));
    QTextBlockFormat block;
    block.setLeftMargin(s.indent);
    QTextCursor(doc.get()).setBlockFormat(block);
    QFont font(s.family);
    font.setPointSizeF(s.points);
    std::unique_ptr<MosaicLayout::Fill> display;
    if (mosaic)
        display = std::make_unique<MosaicLayout::Fill>(doc.get(), s.glyph);
    FigureDocumentSink sink(doc.get(), s.glyph, font, 0, colours);
    int cells = 0;
    qint16 stop = 0;
    RunHooks hooks;
    hooks.stopFlag = &stop;
    hooks.yieldIntervalMs = 0;
    hooks.yield = [&] {
        if (stopAfter >= 0 && ++cells >= stopAfter)
            stop = 1;
    };
    convertToFigures(grid, false, fillCoverage, nullptr, &sink, hooks);
    sink.finish();
    return doc;
}

QRectF cursorRect(QTextDocument *doc, int position)
{
    const QTextBlock block = doc->findBlock(position);
    const QRectF rect = doc->documentLayout()->blockBoundingRect(block);
    const QTextLayout *tl = block.layout();
    const QTextLine line = tl->lineForTextPosition(position - block.position());
    if (!line.isValid())
        return QRectF();
    return QRectF(rect.left() + line.cursorToX(position - block.position()), rect.top() + line.y(), 1, line.height());
}

QImage render(QTextDocument *doc, const QRectF &clip, int selStart = -1, int selEnd = -1, int cursor = -1)
{
    QImage img(doc->documentLayout()->documentSize().toSize() + QSize(2, 2), QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.clip = clip;
    ctx.cursorPosition = cursor;
    p.setClipRect(clip);
    if (selStart >= 0) {
        QAbstractTextDocumentLayout::Selection sel;
        sel.cursor = QTextCursor(doc);
        sel.cursor.setPosition(selStart);
        sel.cursor.setPosition(selEnd, QTextCursor::KeepAnchor);
        sel.format.setBackground(QColor(0, 0, 128));
        sel.format.setForeground(QColor(255, 255, 255));
        ctx.selections.append(sel);
    }
    doc->documentLayout()->draw(&p, ctx);
    return img;
}

class MosaicGeometry : public ::testing::TestWithParam<MosaicSetup>
{};

} // namespace

TEST_P(MosaicGeometry, MatchesTheStandardLayout)
{
    MosaicSetup s = GetParam();
    if (s.family.isEmpty())
        s.family = figureFamily();
    ASSERT_FALSE(s.family.isEmpty()) << "figure font not loaded";
    const QImage grid = noisyGrid(37, 23, 5);
    for (const int stop : {-1, 23 * 37 - 10}) {
        SCOPED_TRACE(stop);
        auto standard = filled(s, grid, false, stop);
        auto mosaic = filled(s, grid, true, stop);
        ASSERT_TRUE(MosaicLayout::isInstalled(mosaic.get()));
        ASSERT_FALSE(MosaicLayout::isInstalled(standard.get()));
        ASSERT_EQ(standard->toPlainText(), mosaic->toPlainText());
        QAbstractTextDocumentLayout *a = standard->documentLayout();
        QAbstractTextDocumentLayout *b = mosaic->documentLayout();

        EXPECT_EQ(a->documentSize(), b->documentSize());
        EXPECT_EQ(a->frameBoundingRect(standard->rootFrame()), b->frameBoundingRect(mosaic->rootFrame()));
        for (QTextBlock x = standard->begin(), y = mosaic->begin(); x.isValid(); x = x.next(), y = y.next()) {
            ASSERT_TRUE(y.isValid());
            ASSERT_EQ(a->blockBoundingRect(x), b->blockBoundingRect(y)) << "row " << x.blockNumber();
        }

        // Cursor rectangles, as a text window computes them from the rows'
        // own layouts, for the first, middle, last and end cells.
        for (QTextBlock x = standard->begin(); x.isValid(); x = x.next()) {
            for (const int col : {0, 1, 18, x.length() - 1}) {
                const int pos = x.position() + qBound(0, col, x.length() - 1);
                ASSERT_EQ(cursorRect(standard.get(), pos), cursorRect(mosaic.get(), pos)) << pos;
            }
        }

        // Hit tests across and around the mosaic, including between cells
        // and outside it.
        const QSizeF size = a->documentSize();
        for (qreal y = -7; y < size.height() + 9; y += 3.3) {
            for (qreal x = -11; x < size.width() + 13; x += 2.7) {
                ASSERT_EQ(a->hitTest(QPointF(x, y), Qt::FuzzyHit), b->hitTest(QPointF(x, y), Qt::FuzzyHit))
                    << x << "," << y;
                ASSERT_EQ(a->hitTest(QPointF(x, y), Qt::ExactHit), b->hitTest(QPointF(x, y), Qt::ExactHit))
                    << x << "," << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Setups, MosaicGeometry,
    ::testing::Values(MosaicSetup{QString(), 8, QChar(u'V'), 4, 0, 0},     // the result window's defaults
                      MosaicSetup{QString(), 12, QChar(u'n'), 4, 3.33, 0}, // an indent
                      MosaicSetup{QString(), 5, QChar(u'!'), 0, 0, 0},     // no margin, small cells
                      MosaicSetup{QString(), 8, QChar(u'V'), 4, 0, 2000},  // a page wider than the mosaic
                      MosaicSetup{QString(), 8, QChar(u'V'), 4, 0, 150},   // a page narrower than it
                      MosaicSetup{QStringLiteral("DejaVu Sans"), 9.5, QChar(u'W'), 4, 0, 0})); // a text font

TEST(MosaicLayout, PaintsTheSamePixelsAsTheStandardLayout)
{
    const MosaicSetup s{figureFamily(), 8, QChar(u'V'), 4, 0, 0};
    ASSERT_FALSE(s.family.isEmpty());
    const QImage grid = noisyGrid(41, 19, 9);
    auto standard = filled(s, grid, false);
    auto mosaic = filled(s, grid, true);
    const QSizeF size = standard->documentLayout()->documentSize();
    const QRectF whole(QPointF(0, 0), size);
    const QRectF part(size.width() * 0.31, size.height() * 0.42, size.width() * 0.27, size.height() * 0.3);
    const QImage a = render(standard.get(), whole);
    EXPECT_EQ(a, render(mosaic.get(), whole));
    EXPECT_EQ(render(standard.get(), part), render(mosaic.get(), part));
    // The cells drawn are the cells' colours, not one colour for all.
    QSet<QRgb> colours;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            colours.insert(a.pixel(x, y));
    EXPECT_GT(colours.size(), 41 * 19 / 2);
    // Selections. Drawn on its own, the standard layout cuts a selection
    // at the right edge of the document's content, where a text window
    // shows its mark for a row's end just beyond: compared up to that edge.
    // (The window itself is compared with its own pictures elsewhere.)
    const QRectF content(0, 0, size.width() - 4, size.height());
    // From the middle of a row into the next.
    const int from = 42 * 3 + 17, to = 42 * 5 + 4;
    EXPECT_EQ(render(standard.get(), content, from, to), render(mosaic.get(), content, from, to));
    // From a row's start over whole rows, with the text cursor in a row and
    // at a row's end.
    for (const int cursor : {42 * 7 + 9, 42 * 8 + 41}) {
        SCOPED_TRACE(cursor);
        EXPECT_EQ(render(standard.get(), content, 42 * 2, 42 * 6 + 41, cursor),
                  render(mosaic.get(), content, 42 * 2, 42 * 6 + 41, cursor));
    }
}

TEST(MosaicLayout, PaintsTheSameCellBackgroundsAsTheStandardLayout)
{
    // The figure fill: every cell on its own background.
    for (const qreal points : {8.0, 11.5}) {
        const MosaicSetup s{figureFamily(), points, QChar(u'V'), 4, 0, 0};
        ASSERT_FALSE(s.family.isEmpty());
        const QImage grid = noisyGrid(23, 11, 4);
        auto standard = filled(s, grid, false, -1, 0.27);
        auto mosaic = filled(s, grid, true, -1, 0.27);
        ASSERT_TRUE(MosaicLayout::isInstalled(mosaic.get()));
        const QSizeF size = standard->documentLayout()->documentSize();
        const QRectF whole(QPointF(0, 0), size);
        const QImage a = render(standard.get(), whole);
        EXPECT_EQ(a, render(mosaic.get(), whole)) << points;
        const QRectF part(size.width() * 0.4, size.height() * 0.3, size.width() * 0.33, size.height() * 0.4);
        EXPECT_EQ(render(standard.get(), part), render(mosaic.get(), part)) << points;
        const QRectF content(0, 0, size.width() - 4, size.height());
        EXPECT_EQ(render(standard.get(), content, 24 * 2 + 5, 24 * 4 + 9),
                  render(mosaic.get(), content, 24 * 2 + 5, 24 * 4 + 9));
        // The backgrounds are there: the middle of the first cell's row
        // band left of the glyph is no longer white.
        const QPointF cell = qobject_cast<MosaicLayout *>(mosaic->documentLayout())->cellOrigin(0, 0);
        EXPECT_NE(a.pixel(int(cell.x()) + 1, int(cell.y() + size.height() / 11 / 2)), qRgb(255, 255, 255));
    }
}

TEST(MosaicLayout, ColoursKeptBesideTheDocumentShowAndSaveAsColoursInItsFormats)
{
    // The window's fill keeps the colours beside the document: the mosaic
    // looks the same, and once written into the formats (as saving and
    // copying do) the document saves as a fill cell by cell saves.
    for (const double fill : {0.0, 0.27}) {
        SCOPED_TRACE(fill);
        const MosaicSetup s{figureFamily(), 8, QChar(u'V'), 4, 0, 0};
        ASSERT_FALSE(s.family.isEmpty());
        QImage grid = noisyGrid(29, 13, 5);
        for (int x = 3; x < 11; ++x) // a run of one colour
            grid.setPixel(x, 2, qRgb(10, 200, 30));
        auto standard = filled(s, grid, false, -1, fill);
        auto kept = filled(s, grid, true, -1, fill, FigureDocumentSink::Colours::KeepColours);
        ASSERT_TRUE(MosaicCells::of(kept.get()));
        EXPECT_EQ(kept->blockCount(), 14);
        const QSizeF size = standard->documentLayout()->documentSize();
        const QRectF content(0, 0, size.width() - 4, size.height());
        EXPECT_EQ(render(standard.get(), content), render(kept.get(), content));
        EXPECT_EQ(render(standard.get(), content, 30 * 2 + 5, 30 * 4 + 9),
                  render(kept.get(), content, 30 * 2 + 5, 30 * 4 + 9));
        QTextCursor caret(kept.get());
        caret.setPosition(30 * 3 + 7);
        MosaicLayout::settleColours(kept.get());
        EXPECT_FALSE(MosaicCells::of(kept.get()));
        EXPECT_TRUE(MosaicLayout::isInstalled(kept.get()));
        EXPECT_EQ(caret.position(), 30 * 3 + 7);
        EXPECT_EQ(writeRtf(*kept, QTextCharFormat()), writeRtf(*standard, QTextCharFormat()));
        MosaicLayout::restoreStandard(kept.get());
        EXPECT_EQ(render(standard.get(), content), render(kept.get(), content));
    }
    // Other text drops the kept colours.
    const MosaicSetup s{figureFamily(), 8, QChar(u'V'), 4, 0, 0};
    auto kept = filled(s, noisyGrid(5, 4, 2), true, -1, 0, FigureDocumentSink::Colours::KeepColours);
    ASSERT_TRUE(MosaicCells::of(kept.get()));
    QTextCursor(kept.get()).insertText(QStringLiteral("x"));
    EXPECT_FALSE(MosaicCells::of(kept.get()));
}

TEST(MosaicLayout, AnyOtherChangeGivesTheStandardLayoutBack)
{
    const MosaicSetup s{figureFamily(), 8, QChar(u'V'), 4, 0, 0};
    const QImage grid = noisyGrid(12, 7, 3);

    // Typing into the mosaic.
    auto doc = filled(s, grid, true);
    ASSERT_TRUE(MosaicLayout::isInstalled(doc.get()));
    QTextCursor c(doc.get());
    c.setPosition(5);
    c.insertText(QStringLiteral("текст"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(MosaicLayout::isInstalled(doc.get()));
    // The standard layout now measures the changed row itself.
    auto plain = filled(s, grid, false);
    QTextCursor pc(plain.get());
    pc.setPosition(5);
    pc.insertText(QStringLiteral("текст"));
    EXPECT_EQ(doc->documentLayout()->blockBoundingRect(doc->begin()),
              plain->documentLayout()->blockBoundingRect(plain->begin()));

    // A colour change of some cells.
    doc = filled(s, grid, true);
    c = QTextCursor(doc.get());
    c.setPosition(2);
    c.setPosition(4, QTextCursor::KeepAnchor);
    QTextCharFormat red;
    red.setForeground(Qt::red);
    c.mergeCharFormat(red);
    QCoreApplication::processEvents();
    EXPECT_FALSE(MosaicLayout::isInstalled(doc.get()));

    // Wrapped lines.
    doc = filled(s, grid, true);
    QTextOption wrap = doc->defaultTextOption();
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc->setDefaultTextOption(wrap);
    QCoreApplication::processEvents();
    EXPECT_FALSE(MosaicLayout::isInstalled(doc.get()));
    // A document that wraps never gets the mosaic layout.
    {
        const MosaicLayout::Fill again(doc.get(), s.glyph);
        EXPECT_FALSE(MosaicLayout::isInstalled(doc.get()));
    }

    // Emptied, then filled again at once (a new run): the new mosaic keeps
    // its layout although the emptying asked for the standard one.
    doc = filled(s, grid, true);
    doc->setPlainText(QString());
    {
        const MosaicLayout::Fill again(doc.get(), s.glyph);
        QFont font(s.family);
        font.setPointSizeF(s.points);
        FigureDocumentSink sink(doc.get(), s.glyph, font, 0);
        convertToFigures(grid, false, nullptr, &sink);
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(MosaicLayout::isInstalled(doc.get()));

    // A page or font change is not a change of content: the layout stays
    // and measures again.
    const QSizeF before = doc->documentLayout()->documentSize();
    doc->setPageSize(QSizeF(5000, -1));
    QFont bigger = doc->defaultFont();
    bigger.setPointSizeF(bigger.pointSizeF() + 1);
    doc->setDefaultFont(bigger);
    QCoreApplication::processEvents();
    EXPECT_TRUE(MosaicLayout::isInstalled(doc.get()));
    EXPECT_EQ(doc->documentLayout()->documentSize().width(), 5000);
    EXPECT_EQ(doc->documentLayout()->documentSize().height(), before.height());
}
