// The rich text control on live widgets: every member group, streaming,
// clipboard, hooks, events and the popup menu.
#include "document/documentfill.h"
#include "document/richformat.h"
#include "document/rtf.h"
#include "document/streambuffer.h"
#include "richtext/richedithooks.h"
#include "richtext/richtextcontrol.h"

#include "art/figureconvert.h"
#include "base/options.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QAbstractTextDocumentLayout>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <memory>
#include <csignal>
#include <sys/resource.h>
#include <stdexcept>

using namespace tessilor;

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class RichEditTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QWidget> m_parent;
    std::unique_ptr<RichTextControl> m_rich;

    RichTextControl &rich() { return *m_rich; }
    // Selects len positions from a: SelStart keeps the old end, so the end
    // is moved out of the way first.
    void select(int a, int len)
    {
        rich().SelectAll();
        rich().setSelStart(a);
        rich().setSelLength(len);
    }
    // A control as the result window creates it.
    void createResultControl(RichTextControl &r, QWidget *parent)
    {
        QVERIFY(r.Create(parent, kResultEditStyle, 0, 21, 300, 200) != nullptr);
        QVERIFY(r.SetUndoLim(1024));
        r.setParagraphOffsets(1, 50);
        r.setWordWrap(false);
    }

private Q_SLOTS:
    void init()
    {
        m_parent = std::make_unique<QWidget>();
        m_parent->resize(400, 300);
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPointSizeF(8.25);
        m_parent->setFont(f);
        m_rich = std::make_unique<RichTextControl>();
        createResultControl(*m_rich, m_parent.get());
        m_parent->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_parent.get()));
    }

    void cleanup()
    {
        m_rich.reset();
        m_parent.reset();
    }

    void lifeCycle()
    {
        RichTextControl r;
        QCOMPARE(r.hwnd(), nullptr);
        QCOMPARE(r.Text(false), QString()); // members without a window answer empty
        QVERIFY(!r.SaveFile(QDir::temp().filePath(QStringLiteral("never.txt")), false));
        QTextEdit *edit = r.Create(m_parent.get(), 0, 5, 6, 70, 80);
        QVERIFY(edit);
        QCOMPARE(r.hwnd(), edit);
        QCOMPARE(edit->parentWidget(), m_parent.get());
        QCOMPARE(edit->geometry(), QRect(5, 6, 70, 80));
        QVERIFY(r.hMenuPopup());
        // The control takes its parent's font.
        QCOMPARE(r.Font(0).family(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(r.Font(0).pointSize(), 8);
        r.Destroy();
        QCOMPARE(r.hwnd(), nullptr);
        QCOMPARE(r.hMenuPopup(), nullptr);
        // Create may be called anew.
        QVERIFY(r.Create(m_parent.get(), 0, 0, 0, 10, 10));
        r.Destroy();
    }

    void resultWindowSetup()
    {
        QVERIFY(rich().Locked() == false);
        rich().setLocked(true);
        QVERIFY(rich().Locked());
        QCOMPARE(rich().ParagraphOffsets(1), 50);
        QCOMPARE(rich().hwnd()->lineWrapMode(), QTextEdit::NoWrap);
        rich().setWordWrap(true);
        QCOMPARE(rich().hwnd()->lineWrapMode(), QTextEdit::WidgetWidth);
        QVERIFY(!rich().Border());
        RichTextControl sunken;
        sunken.Create(m_parent.get(), ES_SUNKEN | ES_READONLY, 0, 0, 20, 20);
        QVERIFY(sunken.Border());
        QVERIFY(sunken.Locked());
        // The indent survives emptying the text.
        rich().SetText(QStringLiteral("abc"), 0);
        rich().SetText(QString(), 0);
        QCOMPARE(rich().ParagraphOffsets(1), 50);
        QCOMPARE(rich().hwnd()->document()->begin().blockFormat().leftMargin(), 50.0 / 15.0);
    }

    void textAssignAndRead()
    {
        rich().setText(false, QStringLiteral("Первая\r\nвторая\r\n"));
        QVERIFY(!rich().Modified());
        QCOMPARE(rich().hwnd()->document()->blockCount(), 3);
        QCOMPARE(rich().Text(false), QStringLiteral("Первая\r\nвторая\r\n"));
        QCOMPARE(rich().GetText(false), QStringLiteral("Первая\rвторая\r"));
        QCOMPARE(rich().GetText(true), QStringLiteral("Первая\r\nвторая\r\n"));
        QCOMPARE(rich().GetTextLength(GTL_NUMCHARS, 0), 14);
        QCOMPARE(rich().GetTextLength(GTL_NUMCHARS | GTL_USECRLF, 0), 16);
        rich().setModified(true);
        QVERIFY(rich().Modified());
        rich().setText(false, QString());
        QVERIFY(!rich().Modified());
        QCOMPARE(rich().Text(false), QString());

        // RTF in, RTF out, and RTF given to SetText.
        rich().setText(true, QStringLiteral("{\\rtf1{\\colortbl;\\red0\\green0\\blue255;}\\cf1 синий\\par}"));
        QCOMPARE(rich().Text(false), QStringLiteral("синий"));
        rich().SelectAll();
        QCOMPARE(rich().FontColor(1), rgbValue(0, 0, 255));
        const QString rtf = rich().Text(true);
        QVERIFY(rtf.startsWith(QStringLiteral("{\\rtf1\\ansi\\ansicpg1251")));
        rich().SetText(QStringLiteral("x"), 0);
        rich().SetText(rtf, 0);
        QCOMPARE(rich().Text(false), QStringLiteral("синий"));
    }

    void textAssignInChunks_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("4096") << 4096;
        QTest::newRow("4097") << 4097;
        QTest::newRow("8193") << 8193;
    }

    void textAssignInChunks()
    {
        QFETCH(int, length);
        QString text;
        for (int i = 0; i < length; ++i)
            text.append(QChar(u'a' + i % 26));
        text[length - 1] = u'Я';
        QCOMPARE(rich().streamChunkSize(), 4096);
        rich().setText(false, text);
        QCOMPARE(rich().Text(false), text);
        QCOMPARE(rich().GetTextLength(GTL_NUMCHARS, 0), length);
        QVERIFY(richEditHooks::GetStreamBuffer().isEmpty());
        QCOMPARE(richEditHooks::StreamPos(), 1);
    }

    void selection()
    {
        rich().SetText(QStringLiteral("0123456789\r\nabc"), 0);
        // From the caret at 0, a start of 5 past the old end: the range is
        // normalised to (0, 5) and the length counts from the smaller end.
        rich().setSelStart(5);
        QCOMPARE(rich().SelStart(), 0);
        QCOMPARE(rich().SelLength(), 5);
        rich().setSelLength(2);
        QCOMPARE(rich().SelectedText(), QStringLiteral("01"));
        select(5, 4);
        QCOMPARE(rich().SelStart(), 5);
        QCOMPARE(rich().SelLength(), 4);
        QVERIFY(rich().CanCopy());
        QCOMPARE(rich().SelectedText(), QStringLiteral("5678"));
        rich().setSelLength(0);
        QVERIFY(!rich().CanCopy());
        rich().SelectAll();
        QCOMPARE(rich().SelStart(), 0);
        QCOMPARE(rich().SelLength(), 14); // a paragraph break is one position
        QCOMPARE(rich().SelectedText(), QStringLiteral("0123456789\rabc"));
        // SelStart keeps the end; a start past it gives a normalised range.
        rich().setSelStart(2);
        QCOMPARE(rich().SelStart(), 2);
        QCOMPARE(rich().SelLength(), 12);
        rich().setSelLength(0);
        rich().setSelStart(12);
        QCOMPARE(rich().SelStart(), 2);
        QCOMPARE(rich().SelLength(), 10);
        // Positions past the end are clamped.
        select(500, 0);
        QCOMPARE(rich().SelStart(), 14);
        QCOMPARE(rich().TextInRange(3, 3), QString());
        QCOMPARE(rich().TextInRange(8, 13), QStringLiteral("89\rab"));
    }

    void characterFormat()
    {
        rich().SetText(QStringLiteral("plain text here"), 0);
        select(0, 5);
        QFont bi(QStringLiteral("Liberation Mono"));
        bi.setPointSizeF(8.25);
        bi.setBold(true);
        bi.setItalic(true);
        rich().setFont(1, bi);
        QVERIFY(rich().FontBold(1));
        QVERIFY(rich().FontItalic(1));
        QCOMPARE(rich().Font(1).family(), QStringLiteral("Liberation Mono"));
        QCOMPARE(rich().Font(1).pointSize(), 8); // 8.25 reads back as 8
        // A plain font changes neither bold nor italic.
        rich().setFont(1, QFont(QStringLiteral("DejaVu Sans Mono"), 11));
        QVERIFY(rich().FontBold(1));
        QVERIFY(rich().FontItalic(1));
        QCOMPARE(rich().Font(1).family(), QStringLiteral("DejaVu Sans Mono"));
        QCOMPARE(rich().Font(1).pointSize(), 11);
        rich().setFontBold(1, false);
        QVERIFY(!rich().FontBold(1));
        rich().setFontUnderline(1, true);
        rich().setFontStrikeOut(1, true);
        QVERIFY(rich().FontUnderline(1));
        QVERIFY(rich().FontStrikeOut(1));
        rich().setFontColor(1, rgbValue(1, 2, 3));
        QCOMPARE(rich().FontColor(1), rgbValue(1, 2, 3));
        rich().setFontBackColor(1, rgbValue(250, 250, 0));
        QCOMPARE(rich().FontBackColor(1), rgbValue(250, 250, 0));
        rich().setFontSuperScript(1, true);
        QVERIFY(rich().FontSuperScript(1));
        QTextCursor c = rich().hwnd()->textCursor();
        QTextCharFormat sub;
        sub.setVerticalAlignment(QTextCharFormat::AlignSubScript);
        c.mergeCharFormat(sub);
        QVERIFY(!rich().FontSuperScript(1)); // subscript is not superscript
        rich().setFontLink(1, true);
        QVERIFY(rich().FontLink(1));
        // The rest of the text kept its format.
        select(6, 4);
        QVERIFY(!rich().FontItalic(1));
        QCOMPARE(rich().Font(1).family(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(rich().FontColor(1), 0u);

        // The default format applies to text that arrives afterwards.
        rich().setFont(0, QFont(QStringLiteral("Liberation Serif"), 14));
        rich().setFontColor(0, rgbValue(0, 128, 0));
        QCOMPARE(rich().Font(0).family(), QStringLiteral("Liberation Serif"));
        QCOMPARE(rich().FontColor(0), rgbValue(0, 128, 0));
        rich().setText(false, QStringLiteral("new"));
        rich().SelectAll();
        QCOMPARE(rich().Font(1).family(), QStringLiteral("Liberation Serif"));
        QCOMPARE(rich().Font(1).pointSize(), 14);
        QCOMPARE(rich().FontColor(1), rgbValue(0, 128, 0));

        // System colours translate; unknown kinds fail as all bits set.
        QCOMPARE(RichTextControl::TranslateColor(0x123456), 0x123456u);
        QCOMPARE(RichTextControl::TranslateColor(0x80000005),
                 colorTo24(QGuiApplication::palette().color(QPalette::Base)));
        QCOMPARE(RichTextControl::TranslateColor(0x80000063), 0xFFFFFFFFu);
        QCOMPARE(RichTextControl::TranslateColor(0x05000000), 0xFFFFFFFFu);
    }

    void insertionFormatLikeTheFigureConversion()
    {
        // Colour of the insertion point, one glyph at the caret, per cell;
        // then the row gets the font and a line break follows.
        const int cols = 5;
        const int rows = 3;
        QFont figure(QStringLiteral("DejaVu Sans"), 12);
        rich().SetText(QString(), 0);
        rich().setFont(0, figure);
        rich().setFontColor(0, 0);
        for (int row = 0; row < rows; ++row) {
            for (int col = 0; col < cols; ++col) {
                rich().setFontColor(1, rgbValue(col * 50, row * 100, 7));
                rich().SetText(QStringLiteral("V"), 2);
            }
            rich().setSelStart((cols + 1) * row);
            rich().setSelLength(cols);
            QCOMPARE(rich().SelectedText(), QStringLiteral("VVVVV"));
            rich().setFont(1, figure);
            rich().setSelStart(rich().Text(false).size());
            rich().setSelLength(0);
            rich().SetText(QStringLiteral("\r\n"), 2);
        }
        QCOMPARE(rich().Text(false), QStringLiteral("VVVVV\r\nVVVVV\r\nVVVVV\r\n"));
        for (int row = 0; row < rows; ++row)
            for (int col = 0; col < cols; ++col) {
                select((cols + 1) * row + col, 1);
                QCOMPARE(rich().FontColor(1), rgbValue(col * 50, row * 100, 7));
                QCOMPARE(rich().Font(1).pointSize(), 12);
            }
        QVERIFY(!rich().CanUndo()); // SetText without ST_KEEPUNDO keeps no undo
    }

    void documentFillersOnTheLiveControl()
    {
        // Figure mosaic straight into the control's document, read through
        // the control while the sink is still alive and after it is done.
        QImage grid(16, 16, QImage::Format_RGB32);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                grid.setPixel(x, y, qRgb(x * 16, 255 - y * 16, 77));
        QFont figure(QStringLiteral("DejaVu Sans"), 10);
        rich().SetText(QString(), 0);
        {
            FigureDocumentSink sink(rich().hwnd()->document(), QChar(u'V'), figure, 0);
            convertToFigures(grid, false, nullptr, &sink);
            rich().setSelStart(0);
            rich().setSelLength(0);
        }
        QCOMPARE(rich().hwnd()->document()->blockCount(), 17);
        QVERIFY(!rich().CanUndo());
        for (int y = 0; y < 16; ++y) {
            select(17 * y + 3, 1);
            QCOMPARE(rich().FontColor(1), figureCellColor(grid.pixel(3, y), false));
            QCOMPARE(rich().Font(1).family(), QStringLiteral("DejaVu Sans"));
            QCOMPARE(rich().ParagraphOffsets(1), 50); // the window's indent stays
        }
        QTRY_VERIFY(rich().hwnd()->document()->documentLayout()->documentSize().height() > 16 * 10);
        QVERIFY(rich().hwnd()->verticalScrollBar()->maximum() > 0);

        // Text result loaded the way the text conversion does.
        rich().SetText(QString(), 0);
        rich().setFont(0, QFont(QStringLiteral("Liberation Mono"), 8));
        rich().setFontColor(0, rgbValue(0, 0, 255));
        fillTextDocument(*rich().hwnd()->document(), QStringLiteral("ab\r\ncd\r\n"),
                         QFont(QStringLiteral("Liberation Mono"), 8), rgbValue(0, 0, 255));
        QCOMPARE(rich().Text(false), QStringLiteral("ab\r\ncd\r\n"));
        QVERIFY(!rich().CanUndo());
        select(4, 1);
        QCOMPARE(rich().FontColor(1), rgbValue(0, 0, 255));
        QCOMPARE(rich().ParagraphOffsets(1), 50);
    }

    void paragraphFormat()
    {
        rich().SetText(QStringLiteral("one\r\ntwo\r\nthree"), 0);
        select(0, 5); // touches paragraphs one and two
        rich().setParagraphOffsets(2, 200);
        rich().setParagraphOffsets(3, 100);
        rich().setParagraphOffsets(7, 999); // no such offset: nothing changes
        QCOMPARE(rich().ParagraphOffsets(1), 50);
        QCOMPARE(rich().ParagraphOffsets(2), 200);
        QCOMPARE(rich().ParagraphOffsets(3), 100);
        QCOMPARE(rich().ParagraphOffsets(7), 0);
        rich().setParagraphAlignment(PFA_CENTER);
        QCOMPARE(rich().ParagraphAlignment(), PFA_CENTER);
        QCOMPARE(rich().hwnd()->document()->findBlockByNumber(1).blockFormat().alignment(), Qt::AlignHCenter);
        QCOMPARE(rich().hwnd()->document()->findBlockByNumber(2).blockFormat().alignment(), Qt::AlignLeft);
        rich().setParagraphSpacing(true, 120);
        rich().setParagraphSpacing(false, 240);
        QCOMPARE(rich().ParagraphSpacing(true), 120);
        QCOMPARE(rich().ParagraphSpacing(false), 240);
        rich().SetParagraphLineSpacing(4, 300);
        int style = -1, spacing = -1;
        rich().GetParagraphLineSpacing(style, spacing);
        QCOMPARE(style, 4);
        QCOMPARE(spacing, 300);
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, rich().SetParagraphLineSpacing(256, 0));
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, rich().setParagraphAlignment(40000));
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, rich().setParagraphNum(-40000));
        // Sixteen-bit fields read back sign-extended.
        rich().setParagraphAlignment(-2);
        QCOMPARE(rich().ParagraphAlignment(), -2);
        rich().setParagraphNum(2);
        QCOMPARE(rich().ParagraphNum(), 2);
        QVERIFY(rich().hwnd()->document()->findBlockByNumber(0).textList());
        rich().setParagraphNum(0);
        QVERIFY(!rich().hwnd()->document()->findBlockByNumber(0).textList());
    }

    void optionsStyleAndProperties()
    {
        QVERIFY(rich().Options(ES_AUTOVSCROLL));
        QVERIFY(!rich().Options(ES_READONLY));
        rich().setOptions(ES_READONLY, true);
        QVERIFY(rich().Locked());
        QVERIFY(rich().Options(ES_READONLY | ES_NOHIDESEL));
        rich().setOptions(ES_READONLY, false);
        QVERIFY(!rich().Locked());
        rich().setStyle(0x8);
        QCOMPARE(rich().Style(), 0x8u);
        QCOMPARE(rich().MaxLength(), 32767);
        rich().setMaxLength(5);
        QCOMPARE(rich().MaxLength(), 5);
        rich().SetText(QString(), 0);
        rich().SetFocus();
        QTest::keyClicks(rich().hwnd(), QStringLiteral("123456789"));
        QCOMPARE(rich().Text(false), QStringLiteral("12345")); // typing stops at the limit
        rich().SetText(QStringLiteral("longer than five"), 0); // the program's own text is not limited
        QCOMPARE(rich().Text(false), QStringLiteral("longer than five"));
        rich().setMaxLength(0);
        QCOMPARE(rich().MaxLength(), 65536);
        rich().setBackColor(rgbValue(0, 0, 64));
        QCOMPARE(rich().hwnd()->palette().color(QPalette::Base), QColor(0, 0, 64));
        QVERIFY(!rich().AutoURL());
        rich().SetText(QStringLiteral("see https://example.org now"), 0);
        rich().setAutoURL(true);
        QVERIFY(rich().AutoURL());
        select(6, 3);
        QVERIFY(rich().FontLink(1));
        select(0, 2);
        QVERIFY(!rich().FontLink(1));
        rich().setSelVisible(false);
        QCOMPARE(rich().hwnd()->palette().color(QPalette::Highlight).alpha(), 0);
        rich().setSelVisible(true);
        QVERIFY(rich().hwnd()->palette().color(QPalette::Highlight).alpha() > 0);
    }

    void linesAndPositions()
    {
        rich().SetText(QStringLiteral("first line\r\n\r\nthird"), 0);
        QCOMPARE(rich().LinesCount(), 3);
        QCOMPARE(rich().LineText(0), QStringLiteral("first line"));
        QCOMPARE(rich().LineText(1), QString()); // an empty line
        QCOMPARE(rich().LineText(2), QStringLiteral("third"));
        QCOMPARE(rich().LineText(9), QString());
        QCOMPARE(rich().LineLength(0), 10);
        QCOMPARE(rich().LineLength(2), 5);
        QCOMPARE(rich().LineFromCharIndex(12), 2);
        select(13, 0);
        QCOMPARE(rich().CurrentLine(), 2);
        QCOMPARE(rich().CurrentLineTextLength(), 5);
        select(2, 3);
        QCOMPARE(rich().CurrentLineTextLength(), 7); // unselected characters of the line
        int x = -1, y = -1;
        rich().GetPosFromChar(12, x, y);
        QVERIFY(y > 0);
        QCOMPARE(rich().CharFromPos(x + 1, y + 2), 12);
        select(12, 0);
        int cx = -1, cy = -1;
        rich().GetCaretPos(cx, cy, false);
        QCOMPARE(QPoint(cx, cy), QPoint(x, y));
        int sx = 0, sy = 0;
        rich().GetCaretPos(sx, sy, true);
        QCOMPARE(QPoint(sx, sy), rich().hwnd()->viewport()->mapToGlobal(QPoint(x, y)));
    }

    void findText()
    {
        rich().SetText(QStringLiteral("Abc abc xabcx ABC"), 0);
        QCOMPARE(rich().FindText(QStringLiteral("abc"), FR_DOWN, 0, -1), 0);
        QCOMPARE(rich().FindText(QStringLiteral("abc"), FR_DOWN | FR_MATCHCASE, 0, -1), 4);
        QCOMPARE(rich().FindText(QStringLiteral("abc"), FR_DOWN | FR_MATCHCASE, 5, -1), 9);
        QCOMPARE(rich().FindText(QStringLiteral("abc"), FR_DOWN | FR_MATCHCASE | FR_WHOLEWORD, 5, -1), -1);
        QCOMPARE(rich().FindText(QStringLiteral("abc"), FR_DOWN | FR_MATCHCASE, 5, 11), -1); // ends past the range
        QCOMPARE(rich().FindText(QStringLiteral("ABC"), FR_MATCHCASE, 17, 0), 14);           // backwards
        QCOMPARE(rich().FindText(QStringLiteral("zzz"), FR_DOWN, 0, -1), -1);
    }

    void moveRedrawFocus()
    {
        rich().Move(10, 21, 200, 100);
        QCOMPARE(rich().hwnd()->geometry(), QRect(10, 21, 200, 100));
        rich().Move(0, 21, 0, 0);
        QCOMPARE(rich().hwnd()->geometry(), QRect(0, 21, 200, 100));
        rich().Redraw(false);
        QVERIFY(!rich().hwnd()->updatesEnabled());
        rich().Redraw(true);
        QVERIFY(rich().hwnd()->updatesEnabled());
        m_parent->activateWindow();
        rich().SetFocus();
        QTRY_VERIFY(rich().hwnd()->hasFocus());
    }

    void undoRedoCutPaste()
    {
        rich().SetText(QString(), 0);
        rich().SetFocus();
        QTest::keyClicks(rich().hwnd(), QStringLiteral("hello"));
        QCOMPARE(rich().Text(false), QStringLiteral("hello"));
        QVERIFY(rich().Modified());
        QVERIFY(rich().CanUndo());
        QCOMPARE(rich().UndoType(), UID_TYPING);
        rich().Undo();
        QCOMPARE(rich().Text(false), QString());
        QVERIFY(rich().CanRedo());
        QCOMPARE(rich().RedoType(), UID_TYPING);
        rich().Redo();
        QCOMPARE(rich().Text(false), QStringLiteral("hello"));
        rich().SetUndoPoint();
        QTest::keyClicks(rich().hwnd(), QStringLiteral("!"));
        rich().Undo();
        QCOMPARE(rich().Text(false), QStringLiteral("hello")); // only the typing after the undo point
        select(0, 2);
        rich().Cut();
        QCOMPARE(rich().Text(false), QStringLiteral("llo"));
        QCOMPARE(rich().UndoType(), UID_CUT);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("he"));
        QVERIFY(rich().CanPaste());
        select(3, 0);
        rich().Paste();
        QCOMPARE(rich().Text(false), QStringLiteral("llohe"));
        QCOMPARE(rich().UndoType(), UID_PASTE);
        select(5, 0);
        rich().PasteSpecial();
        QCOMPARE(rich().Text(false), QStringLiteral("llohehe"));
        rich().Undo();
        select(0, 1);
        rich().Clear();
        QCOMPARE(rich().Text(false), QStringLiteral("lohe"));
        rich().ClearUndo();
        QVERIFY(!rich().CanUndo());
        // A locked control refuses cut, paste and clear.
        rich().setLocked(true);
        rich().SelectAll();
        rich().Cut();
        rich().Paste();
        rich().Clear();
        QCOMPARE(rich().Text(false), QStringLiteral("lohe"));
        QVERIFY(rich().SetUndoLim(0));
        QVERIFY(!rich().hwnd()->document()->isUndoRedoEnabled());
        QVERIFY(!rich().SetUndoLim(-1));
    }

    void copyPutsPlainRtfAndHtml()
    {
        rich().setFont(0, QFont(QStringLiteral("Liberation Mono"), 9));
        rich().setFontColor(0, rgbValue(200, 0, 0));
        rich().setText(false, QStringLiteral("Цвет\r\nline"));
        rich().setLocked(true); // copying works on a locked control too
        QGuiApplication::clipboard()->clear();
        rich().SelectAll();
        rich().Copy();
        rich().setSelLength(0);
        const QMimeData *m = QGuiApplication::clipboard()->mimeData();
        QVERIFY(m);
        QCOMPARE(m->text(), QStringLiteral("Цвет\nline"));
        QVERIFY(m->hasHtml());
        QVERIFY(m->html().contains(QStringLiteral("Цвет")));
        QVERIFY(m->html().contains(QStringLiteral("#c80000")));
        const QByteArray rtf = m->data(QStringLiteral("text/rtf"));
        QVERIFY(rtf.startsWith("{\\rtf1"));
        QTextDocument back;
        QVERIFY(readRtf(rtf, back));
        QCOMPARE(back.toPlainText(), QStringLiteral("Цвет\nline"));
        QTextCursor c(&back);
        c.setPosition(1);
        QCOMPARE(colorTo24(c.charFormat().foreground().color()), rgbValue(200, 0, 0));
        QCOMPARE(formatFace(c.charFormat()), QStringLiteral("Liberation Mono"));
        // The keyboard copy gives the same formats.
        QGuiApplication::clipboard()->clear();
        select(0, 4);
        QTest::keyClick(rich().hwnd(), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(QGuiApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("text/rtf")));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Цвет"));
    }

    void saveAndLoadFiles()
    {
        QTemporaryDir dir;
        rich().setFont(0, QFont(QStringLiteral("Liberation Mono"), 10));
        rich().setFontColor(0, rgbValue(0, 0, 200));
        rich().setText(false, QStringLiteral("Строка\r\nline 2"));
        const QString rtfPath = dir.filePath(QStringLiteral("out.txt")); // the flag decides, not the name
        QVERIFY(rich().SaveFile(rtfPath, true));
        QVERIFY(readFile(rtfPath).startsWith("{\\rtf1\\ansi\\ansicpg1251"));
        const QString txtPath = dir.filePath(QStringLiteral("out.rtf"));
        QVERIFY(rich().SaveFile(txtPath, false));
        QCOMPARE(readFile(txtPath), QStringLiteral("Строка\r\nline 2").toUtf8());

        RichTextControl other;
        other.Create(m_parent.get(), kResultEditStyle, 0, 0, 100, 100);
        QCOMPARE(other.LoadFile(rtfPath, true), QString());
        QCOMPARE(other.Text(false), QStringLiteral("Строка\r\nline 2"));
        QVERIFY(!other.Modified());
        other.SelectAll();
        QCOMPARE(other.FontColor(1), rgbValue(0, 0, 200));
        QCOMPARE(other.Font(1).family(), QStringLiteral("Liberation Mono"));
        QCOMPARE(other.Font(1).pointSize(), 10);
        QCOMPARE(other.LoadFile(txtPath, false), QString());
        QCOMPARE(other.Text(false), QStringLiteral("Строка\r\nline 2"));
        // A file in the old single-byte code page still loads.
        writeFile(dir.filePath(QStringLiteral("cp.txt")), QByteArray("\xc6\xe8\xe2"));
        other.LoadFile(dir.filePath(QStringLiteral("cp.txt")), false);
        QCOMPARE(other.Text(false), QStringLiteral("Жив"));

        // A missing file keeps the document.
        QCOMPARE(other.LoadFile(dir.filePath(QStringLiteral("missing.rtf")), true), QString());
        QCOMPARE(other.Text(false), QStringLiteral("Жив"));

        // A folder that does not exist: false, nothing created.
        const QString nowhere = dir.filePath(QStringLiteral("no/such/out.rtf"));
        QVERIFY(!rich().SaveFile(nowhere, true));
        QVERIFY(!QFile::exists(nowhere));
        QVERIFY(!QDir(dir.filePath(QStringLiteral("no"))).exists());

        // A failed save keeps the earlier file: the write runs into the
        // file size limit half way.
        const QString keep = dir.filePath(QStringLiteral("keep.rtf"));
        writeFile(keep, "earlier");
        {
            QString big;
            for (int i = 0; i < 2000; ++i)
                big += QStringLiteral("строка %1\r\n").arg(i);
            rich().setText(false, big);
            struct rlimit old {};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
            struct rlimit small = old;
            small.rlim_cur = 4096;
            const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
            const bool saved = rich().SaveFile(keep, true);
            const bool savedPlain = rich().SaveFile(keep, false);
            setrlimit(RLIMIT_FSIZE, &old);
            signal(SIGXFSZ, oldHandler);
            QVERIFY(!saved);
            QVERIFY(!savedPlain);
            QCOMPARE(readFile(keep), QByteArray("earlier"));
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files).filter(QStringLiteral("keep")),
                     QStringList{QStringLiteral("keep.rtf")}); // no temporary file left behind
        }

        // An empty document as plain text: an empty file and false.
        rich().SetText(QString(), 0);
        const QString empty = dir.filePath(QStringLiteral("empty.txt"));
        QVERIFY(!rich().SaveFile(empty, false));
        QVERIFY(QFile::exists(empty));
        QCOMPARE(QFileInfo(empty).size(), 0);
    }

    void hookRegistry()
    {
        // The fixture's control is attached with its parent.
        const int base = richEditHooks::HookCount(false);
        const int baseParents = richEditHooks::HookCount(true);
        QVERIFY(richEditHooks::FindHook(rich().hwnd(), false) >= 0);
        QVERIFY(richEditHooks::FindHook(m_parent.get(), true) >= 0);

        // A second control on the same parent: the parent is hooked once.
        RichTextControl second;
        second.Create(m_parent.get(), 0, 0, 0, 50, 50);
        QCOMPARE(richEditHooks::HookCount(false), base + 1);
        QCOMPARE(richEditHooks::HookCount(true), baseParents);
        richEditHooks::AttachRichEdit(&second); // already attached: nothing
        QCOMPARE(richEditHooks::HookCount(false), base + 1);

        // A control on another parent adds that parent.
        QWidget otherParent;
        RichTextControl third;
        third.Create(&otherParent, 0, 0, 0, 50, 50);
        QCOMPARE(richEditHooks::HookCount(false), base + 2);
        QCOMPARE(richEditHooks::HookCount(true), baseParents + 1);
        const int t = richEditHooks::FindHook(third.hwnd(), false);
        QCOMPARE(richEditHooks::EditHooks(t).hWndParent.data(), &otherParent);
        QCOMPARE(richEditHooks::EditHooks(t).Owner, &third);
        QCOMPARE(richEditHooks::ParentHooks(richEditHooks::FindHook(&otherParent, true)).hWnd.data(), &otherParent);

        // Removing the middle record keeps the order of the others.
        const int first = richEditHooks::FindHook(rich().hwnd(), false);
        const int mid = richEditHooks::FindHook(second.hwnd(), false);
        QCOMPARE(mid, first + 1);
        QCOMPARE(t, first + 2);
        second.Destroy();
        QCOMPARE(richEditHooks::FindHook(rich().hwnd(), false), first);
        QCOMPARE(richEditHooks::FindHook(third.hwnd(), false), first + 1);
        // The parent stays hooked for the fixture's control...
        QVERIFY(richEditHooks::FindHook(m_parent.get(), true) >= 0);
        // ...and its notifications still arrive.
        QSignalSpy sel(m_rich.get(), &RichTextControl::SelectionChange);
        rich().SetText(QStringLiteral("0123456789"), 0);
        select(3, 4);
        QVERIFY(!sel.isEmpty());
        QCOMPARE(sel.last(), (QList<QVariant>{3, 7, SEL_TEXT}));

        // Detaching the last control on a parent removes the parent's hook.
        third.Destroy();
        QCOMPARE(richEditHooks::FindHook(&otherParent, true), -1);
        m_rich->Destroy();
        QCOMPARE(richEditHooks::FindHook(m_parent.get(), true), -1);
        QCOMPARE(richEditHooks::HookCount(false), base - 1);
        richEditHooks::DetachRichEdit(m_rich.get()); // not attached: nothing
        QCOMPARE(richEditHooks::HookCount(false), base - 1);
    }

    void ownerAndWindowLifetimes()
    {
        const int before = richEditHooks::HookCount(false);
        // The owner goes first: the window stays with its parent and keeps
        // working as a plain edit window.
        auto owner = std::make_unique<RichTextControl>();
        QPointer<QTextEdit> edit = owner->Create(m_parent.get(), 0, 0, 0, 80, 40);
        QCOMPARE(richEditHooks::HookCount(false), before + 1);
        owner.reset();
        QCOMPARE(richEditHooks::HookCount(false), before);
        QVERIFY(edit);
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("ok"));
        QCOMPARE(edit->toPlainText(), QStringLiteral("ok"));
        QApplication::clipboard()->clear();
        edit->selectAll();
        edit->copy();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("ok"));

        // The window goes with its parent first: the owner's records go too.
        auto parent = std::make_unique<QWidget>();
        RichTextControl orphan;
        orphan.Create(parent.get(), 0, 0, 0, 10, 10);
        QVERIFY(richEditHooks::FindHook(parent.get(), true) >= 0);
        parent.reset();
        QCOMPARE(orphan.hwnd(), nullptr);
        QCOMPARE(orphan.Text(false), QString());
        orphan.Destroy();
        QCOMPARE(richEditHooks::HookCount(false), before);
        for (int i = 0; i <= richEditHooks::HookCount(true); ++i)
            QVERIFY(richEditHooks::ParentHooks(i).hWnd);
    }

    void parentHookCarriesTheEvents()
    {
        // Without the parent's hook the control's notifications go nowhere.
        QSignalSpy sel(m_rich.get(), &RichTextControl::SelectionChange);
        rich().SetText(QStringLiteral("abcdef"), 0);
        select(1, 2);
        QVERIFY(!sel.isEmpty());
        sel.clear();
        richEditHooks::RemoveHook(richEditHooks::FindHook(m_parent.get(), true), true);
        rich().setSelStart(4);
        QVERIFY(sel.isEmpty());
        richEditHooks::DetachRichEdit(m_rich.get());
        richEditHooks::AttachRichEdit(m_rich.get()); // back again, parent included
        rich().setSelStart(0);
        QCOMPARE(sel.size(), 1);
    }

    void keyEvents()
    {
        rich().SetText(QString(), 0);
        rich().SetFocus();
        int zeroed = 0;
        connect(m_rich.get(), &RichTextControl::KeyDown, this, [&](int &KeyCode, int &Shift) {
            if (KeyCode == 'X') {
                KeyCode = 0; // swallow
                ++zeroed;
            } else if (KeyCode == 'Y') {
                KeyCode = 'Z'; // any other change has no effect
            }
            Q_UNUSED(Shift);
        });
        QList<int> shifts;
        connect(m_rich.get(), &RichTextControl::KeyUp, this, [&](int &KeyCode, int &Shift) {
            if (KeyCode == 'A' || KeyCode == 36)
                shifts.append(Shift);
        });
        connect(m_rich.get(), &RichTextControl::KeyPress, this, [&](int &KeyAscii) {
            if (KeyAscii == '#')
                KeyAscii = 0;
        });
        QTest::keyClicks(rich().hwnd(), QStringLiteral("aXbY#c"));
        QCOMPARE(rich().Text(false), QStringLiteral("abYc"));
        QCOMPARE(zeroed, 1);
        QTest::keyClick(rich().hwnd(), Qt::Key_A, Qt::ShiftModifier | Qt::ControlModifier);
        QCOMPARE(shifts.last(), 3);
        QTest::keyClick(rich().hwnd(), Qt::Key_Home, Qt::AltModifier);
        QCOMPARE(shifts.last(), 4);
    }

    void mouseEvents()
    {
        rich().SetText(QStringLiteral("some text to click on"), 0);
        QList<QList<int>> downs, ups, dbl, moves;
        connect(m_rich.get(), &RichTextControl::MouseDown, this, [&](int &b, int &x, int &y, int &s) {
            downs.append({b, x, y, s});
        });
        connect(m_rich.get(), &RichTextControl::MouseUp, this, [&](int &b, int &x, int &y, int &s) {
            ups.append({b, x, y, s});
        });
        connect(m_rich.get(), &RichTextControl::DblClick, this, [&](int &b, int &x, int &y, int &s) {
            dbl.append({b, x, y, s});
        });
        connect(m_rich.get(), &RichTextControl::MouseMove, this, [&](int &x, int &y, int &s) {
            moves.append({x, y, s});
        });
        QWidget *vp = rich().hwnd()->viewport();
        QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, QPoint(20, 8));
        QTest::mouseClick(vp, Qt::RightButton, Qt::ShiftModifier, QPoint(30, 9));
        QTest::mouseDClick(vp, Qt::MiddleButton, Qt::NoModifier, QPoint(40, 10));
        QTest::mouseMove(vp, QPoint(44, 11));
        QCOMPARE(downs.value(0), (QList<int>{1, 20, 8, 0}));
        QCOMPARE(ups.value(0), (QList<int>{1, 20, 8, 0}));
        QCOMPARE(downs.value(1), (QList<int>{2, 30, 9, 1}));
        QCOMPARE(ups.value(1), (QList<int>{2, 30, 9, 1}));
        QCOMPARE(dbl.value(0), (QList<int>{4, 40, 10, 0}));
        QTRY_VERIFY(!moves.isEmpty());
        QCOMPARE(moves.last().mid(0, 2), (QList<int>{44, 11}));
    }

    void scrollEvents()
    {
        QString text;
        for (int i = 0; i < 200; ++i)
            text += QStringLiteral("line %1\r\n").arg(i);
        rich().setText(false, text);
        QSignalSpy v(m_rich.get(), &RichTextControl::VScroll);
        QSignalSpy h(m_rich.get(), &RichTextControl::HScroll);
        rich().hwnd()->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(v.size(), 1);
        QCOMPARE(h.size(), 0);
        rich().SetText(QString(500, u'w'), 0);
        rich().hwnd()->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(h.size(), 1);
        // Moving the caret scrolls too, but that is no scroll-bar use.
        select(499, 0);
        QCOMPARE(h.size(), 1);
        m_rich->Destroy();
        // A destroyed control raises nothing.
        QCOMPARE(v.size(), 1);
    }

    void linkEvents()
    {
        rich().SetText(QStringLiteral("go to https://example.org/x then"), 0);
        rich().setAutoURL(true);
        QList<QList<int>> over;
        connect(m_rich.get(), &RichTextControl::LinkOver, this, [&](int uMsg, int lMin, int lMax) {
            over.append({uMsg, lMin, lMax});
        });
        int x = 0, y = 0;
        rich().GetPosFromChar(10, x, y);
        QTest::mouseClick(rich().hwnd()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x + 1, y + 3));
        QCOMPARE(over.size(), 2);
        QCOMPARE(over[0], (QList<int>{WM_LBUTTONDOWN, 6, 27}));
        QCOMPARE(over[1], (QList<int>{WM_LBUTTONUP, 6, 27}));
        over.clear();
        rich().GetPosFromChar(1, x, y);
        QTest::mouseClick(rich().hwnd()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x + 1, y + 3));
        QVERIFY(over.isEmpty()); // plain text is no link
    }

    void protectedText()
    {
        rich().SetText(QStringLiteral("keep out"), 0);
        rich().SelectAll();
        rich().setFontLocked(1, true);
        QVERIFY(rich().FontLocked(1));
        select(2, 0);
        rich().SetFocus();
        // Nobody answers: protected text stays as it is.
        QTest::keyClicks(rich().hwnd(), QStringLiteral("zz"));
        QTest::keyClick(rich().hwnd(), Qt::Key_Delete);
        QCOMPARE(rich().Text(false), QStringLiteral("keep out"));
        // A handler that refuses gets the range; one that allows lets it through.
        QList<QList<int>> asked;
        bool allow = false;
        connect(m_rich.get(), &RichTextControl::ModifyProtected, this, [&](int &bCancel, int lMin, int lMax) {
            asked.append({bCancel, lMin, lMax});
            bCancel = allow ? 0 : 1;
        });
        QTest::keyClick(rich().hwnd(), Qt::Key_Backspace);
        QCOMPARE(rich().Text(false), QStringLiteral("keep out"));
        QCOMPARE(asked.last(), (QList<int>{0, 1, 2}));
        allow = true;
        QTest::keyClick(rich().hwnd(), Qt::Key_Backspace);
        QCOMPARE(rich().Text(false), QStringLiteral("kep out"));
        rich().setLocked(false);
    }

    void popupMenu()
    {
        rich().setRichEditMenu({QStringLiteral("Копировать"), std::nullopt, QStringLiteral("Выделить всё")});
        QList<QAction *> items = rich().hMenuPopup()->actions();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[0]->text(), QStringLiteral("Копировать"));
        QCOMPARE(items[0]->data().toInt(), 4097);
        QVERIFY(items[1]->isSeparator());
        QCOMPARE(items[1]->data().toInt(), 4098);
        QCOMPARE(items[2]->data().toInt(), 4099);
        QSignalSpy click(m_rich.get(), &RichTextControl::MenuClick);
        items[2]->trigger();
        QCOMPARE(click.value(0).value(0).toInt(), 4099);

        rich().setRichEditMenu({});
        QVERIFY(rich().hMenuPopup()->actions().isEmpty());

        rich().RichEditMenu2({QStringLiteral("a"), QString(), QStringLiteral("b"), QStringLiteral("c")},
                             {0, 0, MF_CHECKED, MF_GRAYED});
        items = rich().hMenuPopup()->actions();
        QCOMPARE(items.size(), 4);
        QVERIFY(items[1]->isSeparator());
        QVERIFY(items[2]->isChecked());
        QVERIFY(!items[3]->isEnabled());
        QCOMPARE(items[3]->data().toInt(), 4100);
    }
};

QTEST_MAIN(RichEditTest)
#include "test_richtextcontrol.moc"
