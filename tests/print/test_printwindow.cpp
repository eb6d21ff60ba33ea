// The print window driven through its real controls, printing to a real PDF
// printer; the PDF pages are checked with the poppler tools.
#include "view/printwindow.h"

#include "document/pdfexport.h"
#include "platform/pagesetup.h"
#include "widgets/captionbar.h"
#include "widgets/panel3d.h"
#include "widgets/progress.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QDir>
#include <QFontDatabase>
#include <QLocale>
#include <QStandardPaths>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <functional>

using namespace tessilor;

namespace {

// Answers the modal windows that come up while a test acts: message boxes
// are recorded with their titles and closed (a question the file dialog asks
// before replacing a file is answered yes), other dialogs go to the handler.
class ModalCatcher : public QObject
{
public:
    std::function<void(QDialog *)> onDialog;
    QStringList texts;
    QStringList titles;
    QList<QMessageBox::Icon> icons;

    ModalCatcher()
    {
        // Windows already open (the print window under test) are left alone.
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible())
                m_ignore << w;
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
        m_timer.start();
    }

private:
    void poll()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->objectName() == QLatin1String("OverwritePrompt")) {
            for (QAbstractButton *b : box->buttons())
                if (box->buttonRole(b) == QMessageBox::YesRole)
                    b->click();
        } else if (auto *box = qobject_cast<QMessageBox *>(w)) {
            texts << box->text();
            titles << box->windowTitle();
            icons << box->icon();
            box->done(QMessageBox::Ok);
        } else if (auto *dlg = qobject_cast<QDialog *>(w);
                   dlg && !m_ignore.contains(dlg) && dlg->property("caught").isNull()) {
            // Hand each dialog over once (the handler may open more).
            dlg->setProperty("caught", true);
            if (onDialog)
                onDialog(dlg);
            else
                dlg->reject();
        }
    }
    QTimer m_timer;
    QList<QWidget *> m_ignore;
};

QString runTool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString &pdf)
{
    const QString info = runTool(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString pdfText(const QString &pdf)
{
    return runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
}

QImage pdfImage(const QString &pdf, const QString &prefix)
{
    runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"),
                                         QStringLiteral("-singlefile"), pdf, prefix});
    return QImage(prefix + QStringLiteral(".png"));
}

QByteArray readAllOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

template<typename T>
T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QLatin1String(name));
    if (!c)
        qWarning("missing control %s", name);
    return c;
}

// The box round every word of a PDF's page, in points, as pdftotext -bbox
// finds the words; and their number.
QRectF pdfInk(const QString &pdf, int *words = nullptr)
{
    const QString bbox = runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\""));
    QRectF box;
    int n = 0;
    for (auto it = word.globalMatch(bbox); it.hasNext(); ++n) {
        const QRegularExpressionMatch m = it.next();
        box |= QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                      QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
    }
    if (words)
        *words = n;
    return box;
}

int countNonWhite(const QImage &img)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += (img.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
    return n;
}

} // namespace

class TestPrintWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // A PDF printer on a full A4 page without margins: 11906 x 16838 twips,
    // the art from the paper's corner.
    void usePdfA4(const QString &file)
    {
        usePdfPrinter(file);
        currentPrinter().setPageSize(QPageSize(QPageSize::A4));
        currentPrinter().setPageOrientation(QPageLayout::Portrait);
        currentPrinter().setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
        setPageMarginsMm(QMarginsF(0, 0, 0, 0));
    }

    PrintSource textSource(int columns, int rows, const QByteArray &bytes, const QString &name)
    {
        PrintSource s;
        s.resultKind = 3;
        s.gridColumns = columns;
        s.gridRows = rows;
        s.textPath = path(name);
        s.fontName = QStringLiteral("Liberation Mono");
        s.fontSize = 10;
        s.foreColor = 255;
        writeFile(s.textPath, bytes);
        return s;
    }

    void clickPrint(PrintWindow &form)
    {
        auto *button = child<QToolButton>(&form, "Toolbar2_Button1");
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty(),
                 "poppler-utils are needed to read the printed pages");
    }

    void init()
    {
        ForgetPageSetup();
        usePdfA4(path(QStringLiteral("unused.pdf")));
    }

    void controlsCaptionsAndDesignPositions()
    {
        PrintWindow form(PrintSource{});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.size(), QSize(687, 400));
        QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(form.isModal());

        auto *header = child<CaptionBar>(&form, "Header");
        QVERIFY(header);
        QCOMPARE(header->title(), QStringLiteral("Печать"));
        QCOMPARE(header->geometry().topLeft(), QPoint(0, 0));

        struct Expect {
            const char *name;
            QRect rect;
        };
        const Expect frames[] = {
            {"Frame2", QRect(3, 24, 360, 371)},
            {"Frame4", QRect(367, 24, 316, 117)},
            {"Frame6", QRect(367, 146, 316, 140)},
        };
        for (const Expect &e : frames) {
            auto *w = child<QGroupBox>(&form, e.name);
            QVERIFY(w);
            QCOMPARE(w->geometry(), e.rect);
        }
        QCOMPARE(child<QGroupBox>(&form, "Frame2")->title(), QStringLiteral("Предварительный просмотр"));
        QCOMPARE(child<QGroupBox>(&form, "Frame4")->title(), QStringLiteral("Принтер"));
        QCOMPARE(child<QGroupBox>(&form, "Frame6")->title(), QStringLiteral("Установки"));
        QCOMPARE(child<QComboBox>(&form, "ImageCombo1")->geometry(), QRect(61, 21, 244, 22));
        QCOMPARE(child<QLabel>(&form, "Label112")->geometry(), QRect(65, 52, 238, 18));
        QCOMPARE(child<QLabel>(&form, "Label6")->geometry(), QRect(66, 70, 237, 18));
        QCOMPARE(child<QLabel>(&form, "Label5")->geometry(), QRect(66, 89, 230, 18));
        QCOMPARE(child<Panel3d>(&form, "Panel3d2")->geometry(), QRect(10, 48, 293, 2));
        QCOMPARE(child<Panel3d>(&form, "Panel3d1")->geometry(), QRect(11, 87, 293, 2));
        QCOMPARE(child<QToolBar>(&form, "Toolbar1")->geometry().topLeft(), QPoint(9, 19));

        QStringList captions;
        for (QLabel *l : form.findChildren<QLabel *>())
            captions << l->text();
        for (const char *c : {"Имя:", "Тип:", "Драйвер:", "Место:", "Число копий:"})
            QVERIFY2(captions.contains(QString::fromUtf8(c)), c);

        auto *check = child<QCheckBox>(&form, "Check1");
        QCOMPARE(check->text(), QStringLiteral("Повышенное качество печати"));
        QVERIFY(!check->isChecked());
        auto *copies = child<QLineEdit>(&form, "Text2");
        QCOMPARE(copies->text(), QStringLiteral("1"));
        QCOMPARE(copies->maxLength(), 2);
        auto *spin = child<QScrollBar>(&form, "VScroll1");
        QCOMPARE(spin->minimum(), 1);
        QCOMPARE(spin->maximum(), 99);
        QCOMPARE(spin->value(), 1);

        QCOMPARE(child<QToolButton>(&form, "Toolbar1_Button1")->defaultAction()->text(),
                 QStringLiteral("Настройка страницы "));
        auto *print = child<QToolButton>(&form, "Toolbar2_Button1");
        QCOMPARE(print->defaultAction()->text(), QStringLiteral(" Печать   "));
        QCOMPARE(child<QToolButton>(&form, "Toolbar2_Button3")->defaultAction()->text(), QStringLiteral(" Отмена   "));
        // The print bar's left edge is placed from its first button's width.
        auto *bar2 = child<QToolBar>(&form, "Toolbar2");
        QCOMPARE(print->width(), child<QToolButton>(&form, "Toolbar2_Button3")->width());
        QCOMPARE(bar2->x(), 687 - (2 * print->width() + 17));
        QCOMPARE(bar2->y(), 364);
        QVERIFY2(bar2->geometry().right() < 687, qPrintable(QString::number(bar2->geometry().right())));

        // The printer list holds the system's printers and the PDF file.
        QCOMPARE(child<QComboBox>(&form, "ImageCombo1")->count(), int(QPrinterInfo::availablePrinters().size()) + 1);
        QCOMPARE(child<QComboBox>(&form, "ImageCombo1")->itemText(int(QPrinterInfo::availablePrinters().size())),
                 QStringLiteral("Файл PDF"));
        // The labels show the current (PDF) printer.
        QCOMPARE(child<QLabel>(&form, "Label112")->text(), path(QStringLiteral("unused.pdf")));
    }

    void previewBoxOfPortraitLandscapeAndSquarePages()
    {
        PrintWindow form(PrintSource{});
        auto *picture = child<QLabel>(&form, "Picture2");
        QVERIFY(picture);
        // Full portrait A4 (about 11906 x 16838 twips): box 5295 high, ~3744 wide.
        QVERIFY(qAbs(PrintWindow::pageSizeTwips(currentPrinter()).width() - 11906) < 1);
        QCOMPARE(form.previewBoxTwips().height, 5295.0);
        QVERIFY(qAbs(form.previewBoxTwips().width - 3744) < 1);
        QCOMPARE(picture->geometry(), QRect(55, 14, 250, 353));
        QCOMPARE(form.previewImage().size(), QSize(250, 353));

        currentPrinter().setPageOrientation(QPageLayout::Landscape);
        form.drawPreview();
        QCOMPARE(form.previewBoxTwips().width, 5295.0);
        QCOMPARE(picture->geometry(), QRect(4, 66, 353, 250)); // top 985.5 twips

        currentPrinter().setPageSize(QPageSize(QSizeF(200, 200), QPageSize::Millimeter));
        currentPrinter().setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
        form.drawPreview();
        QCOMPARE(picture->geometry(), QRect(4, 14, 353, 353));
    }

    void emptyWhitePreviewWithoutResult()
    {
        PrintSource none;
        none.gridColumns = 10;
        none.gridRows = 10;
        none.textPath = path(QStringLiteral("leftover.tmp"));
        writeFile(none.textPath, "QQQQQQQQ\r\n");
        PrintWindow form(none);
        QCOMPARE(form.lastPreviewLayout().status, LayoutStatus::Nothing);
        QVERIFY(!form.previewImage().isNull());
        QCOMPARE(countNonWhite(form.previewImage()), 0);
    }

    void previewShowsTextInTheResultColour()
    {
        QByteArray lines;
        for (int i = 0; i < 30; ++i)
            lines += QByteArray(60, '#') + "\r\n";
        PrintWindow form(textSource(30, 30, lines, QStringLiteral("prev.tmp")));
        QCOMPARE(form.lastPreviewLayout().status, LayoutStatus::Done);
        QCOMPARE(form.lastPreviewLayout().itemsDrawn, 30);
        const QImage img = form.previewImage();
        int red = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) {
                const QRgb c = img.pixel(x, y);
                red += qRed(c) > qGreen(c) + 40 && qGreen(c) == qBlue(c);
            }
        QVERIFY(red > 50);
        // The lower part of the page stays white.
        QCOMPARE(countNonWhite(img.copy(0, img.height() / 2, img.width(), img.height() / 2)), 0);
    }

    void copiesFieldAndSpinButtons()
    {
        PrintWindow form(PrintSource{});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto *copies = child<QLineEdit>(&form, "Text2");
        auto *spin = child<QScrollBar>(&form, "VScroll1");

        copies->setFocus();
        copies->selectAll();
        QTest::keyClicks(copies, QStringLiteral("250"));
        QCOMPARE(copies->text(), QStringLiteral("25")); // two characters at most
        QCOMPARE(spin->value(), 25);

        // The upper arrow raises the count, the lower one lowers it.
        QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, 2));
        QCOMPARE(spin->value(), 26);
        QCOMPARE(copies->text(), QStringLiteral("26"));
        QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, spin->height() - 3));
        QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, spin->height() - 3));
        QCOMPARE(spin->value(), 24);
        QCOMPARE(copies->text(), QStringLiteral("24"));

        // Out of range counts are clamped on the spin buttons.
        copies->selectAll();
        QTest::keyClicks(copies, QStringLiteral("-"));
        QCOMPARE(spin->value(), 1);
        QCOMPARE(copies->text(), QStringLiteral("1"));
        // "0" while the value is 1 stays typed.
        copies->selectAll();
        QTest::keyClicks(copies, QStringLiteral("0"));
        QCOMPARE(copies->text(), QStringLiteral("0"));
        QCOMPARE(spin->value(), 1);
        // 99 is the top: the upper arrow stops there.
        copies->selectAll();
        QTest::keyClicks(copies, QStringLiteral("99"));
        QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, 2));
        QCOMPARE(spin->value(), 99);
        QCOMPARE(copies->text(), QStringLiteral("99"));
    }

    void captionDragAndKeys()
    {
        const QString out = path(QStringLiteral("keys.pdf"));
        usePdfA4(out);
        PrintWindow form(textSource(2, 1, "QQQQ\r\n", QStringLiteral("k.tmp")));
        form.move(100, 100);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto *header = child<CaptionBar>(&form, "Header");
        const QPoint start = form.pos();
        QTest::mousePress(header, Qt::LeftButton, {}, QPoint(200, 10));
        QTest::mouseMove(header, QPoint(230, 25));
        QTest::mouseRelease(header, Qt::LeftButton, {}, QPoint(230, 25));
        QCOMPARE(form.pos(), start + QPoint(30, 15));

        // The arrow keys on the spin buttons follow their arrows.
        auto *spin = child<QScrollBar>(&form, "VScroll1");
        spin->setFocus();
        QTest::keyClick(spin, Qt::Key_Up);
        QCOMPARE(spin->value(), 2);
        QCOMPARE(child<QLineEdit>(&form, "Text2")->text(), QStringLiteral("2"));
        QTest::keyClick(spin, Qt::Key_Down);
        QCOMPARE(spin->value(), 1);

        // Enter in the copies field does not print; Escape closes the window.
        auto *copies = child<QLineEdit>(&form, "Text2");
        copies->setFocus();
        QTest::keyClick(copies, Qt::Key_Return);
        QVERIFY(form.isVisible());
        QVERIFY(!QFile::exists(out));
        QTest::keyClick(&form, Qt::Key_Escape);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Rejected));
        QVERIFY(!QFile::exists(out));
    }

    void threeCopiesAreThreeDocumentsWithTheTextLines()
    {
        const QString out = path(QStringLiteral("copies.pdf"));
        usePdfA4(out);
        PrintWindow form(textSource(4, 3, "@@##ЖЖ..\r\n..ЖЖ##@@\r\n########\r\n", QStringLiteral("t3.tmp")));
        form.show();
        auto *copies = child<QLineEdit>(&form, "Text2");
        copies->selectAll();
        QTest::keyClicks(copies, QStringLiteral("3"));
        ModalCatcher catcher;
        clickPrint(form);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QVERIFY(!form.isVisible());
        QVERIFY(catcher.texts.isEmpty());
        QVERIFY(!QFile::exists(out));
        for (int c = 1; c <= 3; ++c) {
            const QString pdf = path(QStringLiteral("copies-%1.pdf").arg(c));
            QVERIFY2(QFile::exists(pdf), qPrintable(pdf));
            QCOMPARE(pdfPages(pdf), 1);
            const QString text = pdfText(pdf);
            QVERIFY2(text.contains(QStringLiteral("@@##ЖЖ..")), qPrintable(text));
            QVERIFY(text.contains(QStringLiteral("..ЖЖ##@@")));
            QVERIFY(text.contains(QStringLiteral("########")));
            // Laid out from the top: the first line comes first.
            QVERIFY(text.indexOf(QStringLiteral("@@##")) < text.indexOf(QStringLiteral("..ЖЖ")));
        }
        QVERIFY(!QFile::exists(path(QStringLiteral("copies-4.pdf"))));
        QCOMPARE(form.lastPrintLayout().fittedSize, 10.0);
        // The printer keeps its file name for the next print.
        QCOMPARE(currentPrinter().outputFileName(), out);
    }

    void zeroOrEmptyCopiesPrintNothing()
    {
        const QString out = path(QStringLiteral("none.pdf"));
        usePdfA4(out);
        PrintWindow form(textSource(2, 1, "QQQQ\r\n", QStringLiteral("t0.tmp")));
        form.show();
        auto *copies = child<QLineEdit>(&form, "Text2");
        copies->selectAll();
        QTest::keyClicks(copies, QStringLiteral("0"));
        clickPrint(form);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QVERIFY(!QFile::exists(out));
        QVERIFY(!QFile::exists(path(QStringLiteral("none-1.pdf"))));
    }

    void fixedFontsArePrintedInCourierNewCyr()
    {
        // As the program registers them: the two fixed fonts and their page
        // replacement map to different installed families.
        QFont::insertSubstitution(QStringLiteral("Courier New Cyr"), QStringLiteral("Liberation Mono"));
        QFont::insertSubstitution(QStringLiteral("Fixedsys"), QStringLiteral("DejaVu Sans"));
        QFont::insertSubstitution(QStringLiteral("Terminal"), QStringLiteral("DejaVu Sans"));
        for (const QString &face : {QStringLiteral("Fixedsys"), QStringLiteral("Terminal")}) {
            const QString out = path(face + QStringLiteral(".pdf"));
            usePdfA4(out);
            PrintSource s = textSource(3, 1, "QQQQQQ\r\n", QStringLiteral("fixed.tmp"));
            s.fontName = face;
            s.fontSize = 12;
            PrintWindow form(s);
            form.show();
            clickPrint(form);
            QCOMPARE(form.lastPrintLayout().fittedSize, 12.0); // same starting size
            const QString fonts = runTool(QStringLiteral("pdffonts"), {out});
            QVERIFY2(fonts.contains(QStringLiteral("LiberationMono")), qPrintable(fonts));
            QVERIFY2(!fonts.contains(QStringLiteral("DejaVu")), qPrintable(fonts));
        }
    }

    void wideTextIsShrunkToFitThePage()
    {
        const QString out = path(QStringLiteral("wide.pdf"));
        usePdfA4(out);
        QByteArray lines;
        for (int i = 0; i < 120; ++i)
            lines += QByteArray(80, 'Q') + "\r\n";
        PrintWindow form(textSource(40, 120, lines, QStringLiteral("wide.tmp")));
        form.show();
        clickPrint(form);
        QVERIFY(QFile::exists(out));
        QCOMPARE(pdfPages(out), 1);
        const PageLayoutInfo info = form.lastPrintLayout();
        QVERIFY(info.fittedSize < 10);
        QCOMPARE(info.itemsDrawn, 120);
        const QSizeF page = PrintWindow::pageSizeTwips(currentPrinter());
        QVERIFY(info.cellHeight * 120 <= page.height() / 1.05 * 1.01);
        QVERIFY(info.cellWidth * 80 <= page.width() / 1.05 * 1.01);

        // Every word of the page lies on the paper, and all 120 lines are there.
        int words = 0;
        const QRectF ink = pdfInk(out, &words);
        const double maxX = ink.right(), maxY = ink.bottom();
        QCOMPARE(words, 120);
        QVERIFY2(maxX <= 595.3 && maxY <= 841.9, qPrintable(QStringLiteral("%1 %2").arg(maxX).arg(maxY)));
        // The height decides: the grid fills most of the page height.
        QVERIFY(maxY > 841.9 / 1.05 * 0.9);
    }

    void figureGlyphsPrintedInCellColoursAtCellPositions()
    {
        const QString out = path(QStringLiteral("figures.pdf"));
        usePdfA4(out);
        PrintSource s;
        s.resultKind = 2;
        s.gridColumns = 3;
        s.gridRows = 2;
        s.colorPath = path(QStringLiteral("color.tmp"));
        s.fontName = QStringLiteral("DejaVu Sans Mono");
        s.fontSize = 48;
        s.glyph = QChar(0x2588);
        const quint32 colours[6] = {255, 65280, 16711680, 65793 * 128, 255 + 65536 * 255, 65535};
        QByteArray lines;
        for (quint32 c : colours)
            lines += ' ' + QByteArray::number(c) + " \r\n";
        QVERIFY(writeFile(s.colorPath, lines));

        PrintWindow form(s);
        form.show();
        clickPrint(form);
        QCOMPARE(pdfPages(out), 1);
        const PageLayoutInfo info = form.lastPrintLayout();
        QCOMPARE(info.itemsDrawn, 6);
        QCOMPARE(info.fittedSize, 48.0);
        const QImage page = pdfImage(out, path(QStringLiteral("figures")));
        QVERIFY(!page.isNull());
        QCOMPARE(page.size(), QSize(595, 842));
        const double cw = info.cellWidth / 20, ch = info.cellHeight / 20; // points
        for (int y = 1; y <= 2; ++y)
            for (int x = 1; x <= 3; ++x) {
                const quint32 c = colours[(y - 1) * 3 + x - 1];
                const QPointF at(double(x - 1) * cw + cw / 2, double(y - 1) * ch + ch / 2);
                const QRgb px = page.pixel(at.toPoint());
                QVERIFY2(qAbs(qRed(px) - int(c & 255)) <= 2 && qAbs(qGreen(px) - int((c >> 8) & 255)) <= 2 &&
                             qAbs(qBlue(px) - int((c >> 16) & 255)) <= 2,
                         qPrintable(QStringLiteral("cell %1,%2: %3").arg(x).arg(y).arg(px, 8, 16)));
            }
        // Nothing lies right of or below the grid.
        QCOMPARE(countNonWhite(page.copy(int(3 * cw) + 3, 0, 595 - int(3 * cw) - 3, 842)), 0);
        QCOMPARE(countNonWhite(page.copy(0, int(2 * ch) + 3, 595, 842 - int(2 * ch) - 3)), 0);
    }

    void figureFontOfTheProgramIsUsedWhenPresent()
    {
        const QString file = QCoreApplication::applicationDirPath() + QStringLiteral("/GLYFA__1.TTF");
        if (!QFile::exists(file))
            QSKIP("figure fonts are not built");
        const int id = QFontDatabase::addApplicationFont(file);
        QVERIFY(id >= 0);
        const QString family = QFontDatabase::applicationFontFamilies(id).value(0);
        const QString out = path(QStringLiteral("figfont.pdf"));
        usePdfA4(out);
        PrintSource s;
        s.resultKind = 2;
        s.gridColumns = 20;
        s.gridRows = 10;
        s.colorPath = path(QStringLiteral("figcolor.tmp"));
        s.fontName = family;
        s.fontSize = 22;
        s.glyph = QChar(86);
        QByteArray lines;
        for (int i = 0; i < 200; ++i)
            lines += i < 100 ? " 255 \r\n" : " 16711680 \r\n";
        QVERIFY(writeFile(s.colorPath, lines));
        PrintWindow form(s);
        QVERIFY(countNonWhite(form.previewImage()) > 0);
        form.show();
        clickPrint(form);
        const QImage page = pdfImage(out, path(QStringLiteral("figfont")));
        QVERIFY(!page.isNull());
        const PageLayoutInfo info = form.lastPrintLayout();
        QCOMPARE(info.itemsDrawn, 200);
        // Rows 1-5 carry red ink only, rows 6-10 blue ink only.
        const int half = int(5 * info.cellHeight / 20);
        const int width = int(20 * info.cellWidth / 20);
        int red = 0, blue = 0, wrong = 0;
        for (int y = 0; y < int(10 * info.cellHeight / 20); ++y)
            for (int x = 0; x < width; ++x) {
                const QRgb c = page.pixel(x, y);
                if ((c & 0xFFFFFF) == 0xFFFFFF || qAbs(y - half) <= 1)
                    continue;
                // Edges are smoothed against white: judge by the dominant channel.
                if (y < half) {
                    red += qRed(c) > qBlue(c) + 30;
                    wrong += qBlue(c) > qRed(c) + 10 || qGreen(c) > qRed(c) + 10;
                } else {
                    blue += qBlue(c) > qRed(c) + 30;
                    wrong += qRed(c) > qBlue(c) + 10 || qGreen(c) > qBlue(c) + 10;
                }
            }
        QVERIFY(red > 100);
        QVERIFY(blue > 100);
        QCOMPARE(wrong, 0);
    }

    void qualityChoosesTheResolution()
    {
        usePdfA4(path(QStringLiteral("q.pdf")));
        {
            PrintWindow form(textSource(2, 1, "QQQQ\r\n", QStringLiteral("q.tmp")));
            form.show();
            QTest::mouseClick(child<QCheckBox>(&form, "Check1"), Qt::LeftButton);
            clickPrint(form);
            QCOMPARE(currentPrinter().resolution(), 1200);
        }
        {
            PrintWindow form(textSource(2, 1, "QQQQ\r\n", QStringLiteral("q.tmp")));
            form.show();
            clickPrint(form);
            QCOMPARE(currentPrinter().resolution(), 300);
        }
        QCOMPARE(pdfPages(path(QStringLiteral("q.pdf"))), 1);
        QVERIFY(pdfText(path(QStringLiteral("q.pdf"))).contains(QStringLiteral("QQQQ")));
    }

    void nothingPrintedBeforeAnyConversion()
    {
        const QString out = path(QStringLiteral("noresult.pdf"));
        usePdfA4(out);
        PrintWindow form(PrintSource{});
        form.show();
        ModalCatcher catcher;
        clickPrint(form);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QVERIFY(!QFile::exists(out));
        QVERIFY(catcher.texts.isEmpty());
    }

    void missingTempFileGivesEmptyPreviewAndAMessage()
    {
        const QString out = path(QStringLiteral("missing.pdf"));
        usePdfA4(out);
        PrintSource s;
        s.resultKind = 3;
        s.gridColumns = 10;
        s.gridRows = 10;
        s.textPath = path(QStringLiteral("no-such-text.tmp"));
        s.fontName = QStringLiteral("Liberation Mono");
        PrintWindow form(s);
        QCOMPARE(form.lastPreviewLayout().status, LayoutStatus::FileError);
        QCOMPARE(countNonWhite(form.previewImage()), 0);
        form.show();
        ModalCatcher catcher;
        clickPrint(form);
        QCOMPARE(catcher.texts.size(), 1);
        QVERIFY(catcher.texts[0].contains(QStringLiteral("no-such-text.tmp")));
        QCOMPARE(catcher.icons[0], QMessageBox::Critical);
        QVERIFY(!QFile::exists(out));
        QVERIFY(!form.isVisible());
    }

    void outputFailureNamesThePrinter()
    {
        const QString out = path(QStringLiteral("no-such-folder/out.pdf"));
        usePdfA4(out);
        PrintWindow form(textSource(2, 1, "QQQQ\r\n", QStringLiteral("f.tmp")));
        form.show();
        auto *copies = child<QLineEdit>(&form, "Text2");
        copies->selectAll();
        QTest::keyClicks(copies, QStringLiteral("2"));
        ModalCatcher catcher;
        clickPrint(form);
        // The first failing copy ends printing: one message, not two.
        QCOMPARE(catcher.texts.size(), 1);
        QCOMPARE(catcher.texts[0], QStringLiteral("Ошибка вывода на принтер ") +
                                       path(QStringLiteral("no-such-folder/out-1.pdf")) +
                                       QStringLiteral("!\nВозможно отмена на виртуальном принтере."));
        QCOMPARE(catcher.icons[0], QMessageBox::Critical);
        QCOMPARE(catcher.titles[0], QStringLiteral("Quar Image Tessilor"));
        QCOMPARE(form.result(), int(QDialog::Accepted));
    }

    void cancelAndCloseLeaveWithoutPrinting()
    {
        const QString out = path(QStringLiteral("cancel.pdf"));
        usePdfA4(out);
        {
            PrintWindow form(textSource(2, 1, "QQQQ\r\n", QStringLiteral("c.tmp")));
            form.show();
            QTest::mouseClick(child<QToolButton>(&form, "Toolbar2_Button3"), Qt::LeftButton);
            QCOMPARE(form.result(), int(QDialog::Rejected));
            QVERIFY(!form.isVisible());
        }
        {
            PrintWindow form(textSource(2, 1, "QQQQ\r\n", QStringLiteral("c.tmp")));
            form.show();
            auto *header = child<CaptionBar>(&form, "Header");
            QTest::mouseClick(header->closeButton(), Qt::LeftButton);
            QCOMPARE(form.result(), int(QDialog::Rejected));
            QVERIFY(!form.isVisible());
        }
        QVERIFY(!QFile::exists(out));
    }

    void pageSetupRedrawsThePreviewWhenConfirmed()
    {
        PrintWindow form(PrintSource{});
        form.show();
        auto *picture = child<QLabel>(&form, "Picture2");
        QCOMPARE(picture->size(), QSize(250, 353));
        auto *setup = child<QToolButton>(&form, "Toolbar1_Button1");

        // Cancelled: nothing changes, nothing is kept.
        {
            ModalCatcher catcher;
            bool seen = false;
            catcher.onDialog = [&](QDialog *dlg) {
                seen = true;
                dlg->reject();
            };
            QTest::mouseClick(setup, Qt::LeftButton);
            QVERIFY(seen);
        }
        QCOMPARE(picture->size(), QSize(250, 353));
        QVERIFY(!HasSavedPageSetup());

        // Confirmed with landscape paper: the preview turns.
        {
            ModalCatcher catcher;
            bool clicked = false;
            catcher.onDialog = [&](QDialog *dlg) {
                for (QRadioButton *r : dlg->findChildren<QRadioButton *>())
                    if (r->objectName() == QLatin1String("landscape")) {
                        r->click();
                        clicked = true;
                    }
                dlg->accept();
            };
            QTest::mouseClick(setup, Qt::LeftButton);
            QVERIFY(clicked);
            QVERIFY(catcher.texts.isEmpty());
        }
        QCOMPARE(currentPrinter().pageLayout().orientation(), QPageLayout::Landscape);
        QCOMPARE(picture->size(), QSize(353, 250));
        QVERIFY(HasSavedPageSetup());
        // The dialog's margins do not change the page the layout uses.
        QCOMPARE(currentPrinter().pageLayout().margins(QPageLayout::Point), QMarginsF(0, 0, 0, 0));
    }

    // The art lies inside the page setup's margins, in the preview, in the
    // print and in a PDF export, and is fitted to the area inside them: at
    // first the design margins (30, 20, 15 and 20 mm), then the ones the
    // user confirms, which the next page setup starts from.
    void artLiesInsideThePageMargins()
    {
        const QString out = path(QStringLiteral("margins.pdf"));
        usePdfA4(out);
        ForgetPageSetup();
        QCOMPARE(pageMarginsMm(), QMarginsF(30, 20, 15, 20));
        // 200 characters of 10 points are wider than the area: the width
        // decides the fit.
        QByteArray lines;
        for (int i = 0; i < 40; ++i)
            lines += QByteArray(200, '@') + "\r\n";
        const PrintSource s = textSource(100, 40, lines, QStringLiteral("margins.tmp"));
        const double mm = 72 / 25.4; // points
        struct Margins {
            double left, top, right, bottom;
        };
        auto expectInside = [&](const QString &pdf, const Margins &m, const char *what) {
            int words = 0;
            const QRectF ink = pdfInk(pdf, &words);
            const QString seen = QStringLiteral("%1: words %2, ink %3 %4 %5 %6")
                                     .arg(QLatin1String(what))
                                     .arg(words)
                                     .arg(ink.left())
                                     .arg(ink.top())
                                     .arg(ink.right())
                                     .arg(ink.bottom());
            QVERIFY2(words == 40, qPrintable(seen));
            QVERIFY2(qAbs(ink.left() - m.left * mm) < 1, qPrintable(seen));
            // The first line's box starts at the top of the line.
            QVERIFY2(ink.top() >= m.top * mm - 0.5 && ink.top() < m.top * mm + 2, qPrintable(seen));
            // Fitted to the area inside the margins less the print margin
            // (the font's sizes come in steps).
            const double area = (210 - m.left - m.right) * mm;
            QVERIFY2(ink.width() <= area / 1.05 + 1 && ink.width() > area / 1.05 * 0.95, qPrintable(seen));
            QVERIFY2(ink.bottom() <= (297 - m.bottom) * mm, qPrintable(seen));
        };

        PrintWindow form(s);
        form.show();
        // The preview: nothing left of or above the margins, the art right
        // after them.
        const QImage preview = form.previewImage();
        const int left = int(30.0 / 210 * preview.width());
        const int top = int(20.0 / 297 * preview.height());
        QCOMPARE(countNonWhite(preview.copy(0, 0, left - 1, preview.height())), 0);
        QCOMPARE(countNonWhite(preview.copy(0, 0, preview.width(), top - 1)), 0);
        QVERIFY(countNonWhite(preview.copy(left + 1, top + 1, 10, 10)) > 20);
        clickPrint(form);
        expectInside(out, {30, 20, 15, 20}, "print, design margins");

        // Other margins confirmed in the page setup.
        PrintWindow again(s);
        again.show();
        {
            const QLocale saved;
            QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
            ModalCatcher catcher;
            QMap<QString, double> shown;
            catcher.onDialog = [&](QDialog *dlg) {
                for (QDoubleSpinBox *box : dlg->findChildren<QDoubleSpinBox *>()) {
                    shown[box->objectName()] = box->value();
                    if (box->objectName() == QLatin1String("leftMargin"))
                        box->setValue(12);
                    else if (box->objectName() == QLatin1String("topMargin"))
                        box->setValue(50);
                }
                dlg->accept();
            };
            QTest::mouseClick(child<QToolButton>(&again, "Toolbar1_Button1"), Qt::LeftButton);
            QLocale::setDefault(saved);
            // The dialog started from the design margins.
            QCOMPARE(shown.value(QStringLiteral("leftMargin")), 30.0);
            QCOMPARE(shown.value(QStringLiteral("topMargin")), 20.0);
            QCOMPARE(shown.value(QStringLiteral("rightMargin")), 15.0);
            QCOMPARE(shown.value(QStringLiteral("bottomMargin")), 20.0);
        }
        QVERIFY(qAbs(pageMarginsMm().left() - 12) < 0.01 && qAbs(pageMarginsMm().top() - 50) < 0.01);
        const QImage moved = again.previewImage();
        QVERIFY(countNonWhite(moved.copy(int(13.0 / 210 * moved.width()), int(51.0 / 297 * moved.height()), 10, 10)) >
                20);
        QCOMPARE(countNonWhite(moved.copy(0, 0, moved.width(), int(50.0 / 297 * moved.height()) - 1)), 0);
        clickPrint(again);
        expectInside(out, {12, 50, 15, 20}, "print, confirmed margins");
        // The printer keeps its own margins.
        QCOMPARE(currentPrinter().pageLayout().margins(QPageLayout::Point), QMarginsF(0, 0, 0, 0));

        // A PDF written without a printer, with margins of its own.
        const QString exported = path(QStringLiteral("margins-export.pdf"));
        {
            QFile file(exported);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(
                writeResultPdf(s, resultPageLayout(QPageSize(QPageSize::A4), QMarginsF(25, 25, 25, 25)), file).status,
                LayoutStatus::Done);
        }
        expectInside(exported, {25, 25, 25, 25}, "export");
        {
            QFile file(exported);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(writeResultPdf(s, defaultPdfPageLayout(), file).status, LayoutStatus::Done);
        }
        expectInside(exported, {30, 20, 15, 20}, "export, default page");
    }

    void pageSetupReturnsTheDialogMargins()
    {
        ModalCatcher catcher;
        catcher.onDialog = [](QDialog *dlg) { dlg->accept(); };
        int left = 3000, right = 1500, top = 2000, bottom = 2000;
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        const bool ok = ShowPageSetupDialog(&currentPrinter(), left, right, top, bottom, nullptr);
        QLocale::setDefault(saved);
        QVERIFY(ok);
        // Metric locale: hundredths of a millimetre, as passed in.
        QVERIFY(qAbs(left - 3000) <= 5);
        QVERIFY(qAbs(right - 1500) <= 5);
        QVERIFY(qAbs(top - 2000) <= 5);
        QVERIFY(qAbs(bottom - 2000) <= 5);
        QVERIFY(pageLayoutSupported(currentPrinter(), currentPrinter().pageLayout()));
        QVERIFY(!pageLayoutSupported(currentPrinter(), QPageLayout()));
    }

    // Without a printer the print window offers a PDF file: the file is
    // asked for at printing (cancelling goes back to the window), written
    // whole, named after the program and the result, and an earlier file or
    // a link at that name is replaced, not written through.
    void printOutputWithoutPrinterGoesToAPdfFile()
    {
        resetCurrentPrinter();
        if (!QPrinterInfo::availablePrinters().isEmpty())
            QSKIP("this machine has printers installed");
        QCOMPARE(installedPrinterCount(), 0);
        const QString out = path(QStringLiteral("pdf-file/Символизация.pdf"));
        QVERIFY(QDir().mkpath(QFileInfo(out).path()));
        const QString linked = path(QStringLiteral("pdf-file/victim.txt"));
        QVERIFY(writeFile(linked, "keep"));
        QVERIFY(QFile::link(linked, out));
        QByteArray lines;
        for (int i = 0; i < 30; ++i)
            lines += QByteArray(60, '#') + "\r\n";
        const PrintSource source = textSource(30, 30, lines, QStringLiteral("nopr.tmp"));

        ModalCatcher catcher;
        int fileDialogs = 0;
        bool checked = false;
        bool stayedOpen = false;
        QPointer<QToolButton> print;
        // Print twice: the file dialog is cancelled, then confirmed. Clicks
        // are queued, so the catcher sees the dialogs they open.
        auto clickPrint = [&] { QTimer::singleShot(0, print, [&] { QTest::mouseClick(print, Qt::LeftButton); }); };
        catcher.onDialog = [&](QDialog *dlg) {
            if (auto *form = qobject_cast<PrintWindow *>(dlg)) {
                auto *list = form->findChild<QComboBox *>(QStringLiteral("ImageCombo1"));
                checked = list && list->currentText() == QStringLiteral("Файл PDF") &&
                          form->findChild<QLabel *>(QStringLiteral("Label112"))->text() == QStringLiteral("Файл PDF") &&
                          countNonWhite(form->previewImage()) > 100;
                print = form->findChild<QToolButton *>(QStringLiteral("Toolbar2_Button1"));
                clickPrint();
            } else if (auto *files = qobject_cast<QFileDialog *>(dlg)) {
                if (++fileDialogs == 1) {
                    files->reject();
                    QTimer::singleShot(0, print, [&] {
                        stayedOpen = print && print->window()->isVisible();
                        clickPrint();
                    });
                    return;
                }
                // The name typed into the dialog; replacing the existing file
                // is confirmed (the catcher says yes).
                files->setDirectory(QFileInfo(out).path());
                if (auto *edit = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                    edit->setText(QFileInfo(out).fileName());
                QTimer::singleShot(0, files, [files] { QMetaObject::invokeMethod(files, "accept"); });
            } else {
                dlg->reject();
            }
        };
        QVERIFY(ShowPrintWindow(source, nullptr));
        QVERIFY(checked);
        QVERIFY(stayedOpen);
        QCOMPARE(fileDialogs, 2);
        QVERIFY2(catcher.texts.isEmpty(), qPrintable(catcher.texts.join(u'\n')));
        QVERIFY(currentPrinterIsPdf());
        QVERIFY(!QFileInfo(out).isSymLink());
        QCOMPARE(pdfPages(out), 1);
        QVERIFY(pdfText(out).contains(QStringLiteral("############")));
        const QString info = runTool(QStringLiteral("pdfinfo"), {out});
        QVERIFY2(info.contains(QStringLiteral("Quar Image Tessilor — символы 60 x 30")), qPrintable(info));
        QCOMPARE(QFileInfo(out).permissions() & QFileDevice::ReadOwner, QFileDevice::ReadOwner);
        QCOMPARE(QDir(QFileInfo(out).path()).entryList(QDir::Files).size(), 2);
        QCOMPARE(readAllOf(linked), QByteArray("keep"));
    }

    void printOutputWithThePdfWriterShowsTheWindow()
    {
        usePdfA4(path(QStringLiteral("shown.pdf")));
        QVERIFY(installedPrinterCount() >= 1);
        ModalCatcher catcher;
        bool shown = false;
        catcher.onDialog = [&](QDialog *dlg) {
            if (auto *form = qobject_cast<PrintWindow *>(dlg)) {
                shown = true;
                QTest::mouseClick(form->findChild<QToolButton *>(QStringLiteral("Toolbar2_Button3")), Qt::LeftButton);
            } else {
                dlg->reject();
            }
        };
        QVERIFY(ShowPrintWindow(PrintSource{}, nullptr));
        QVERIFY(shown);
        QVERIFY(catcher.texts.isEmpty());
        QVERIFY(!QFile::exists(path(QStringLiteral("shown.pdf"))));
    }

    void hugePaperIsPreviewedAtALowerResolution()
    {
        currentPrinter().setPageSize(QPageSize(QSizeF(3000, 3000), QPageSize::Millimeter));
        currentPrinter().setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
        QByteArray lines;
        for (int i = 0; i < 40; ++i)
            lines += QByteArray(80, '#') + "\r\n";
        PrintSource s = textSource(40, 40, lines, QStringLiteral("huge.tmp"));
        s.fontSize = 400; // large enough to show on the reduced preview
        PrintWindow form(s);
        QCOMPARE(form.lastPreviewLayout().status, LayoutStatus::Done);
        QCOMPARE(form.previewImage().size(), QSize(353, 353));
        QVERIFY(countNonWhite(form.previewImage()) > 100);
        // The text is fitted against the page, not the reduced surface.
        QVERIFY(form.lastPreviewLayout().cellWidth * 80 <= 3000 / 25.4 * 1440 / 1.06 * 1.02);
    }

    // Every result the program makes shows on the preview, up to the
    // largest grids, text and figures.
    void largeResultsShowOnThePreview_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::newRow("text 200 x 200") << 3 << 200 << 200;
        QTest::newRow("text 512 x 1024") << 3 << 512 << 1024;
        QTest::newRow("figures 600 x 600") << 2 << 600 << 600;
        QTest::newRow("figures 1024 x 1024") << 2 << 1024 << 1024;
    }
    void largeResultsShowOnThePreview()
    {
        QFETCH(int, kind);
        QFETCH(int, columns);
        QFETCH(int, rows);
        PrintSource s;
        s.resultKind = qint16(kind);
        s.gridColumns = columns;
        s.gridRows = rows;
        s.fontSize = 8;
        s.foreColor = 0;
        QByteArray bytes;
        if (kind == 3) {
            s.fontName = QStringLiteral("Liberation Mono");
            s.textPath = path(QStringLiteral("large.tmp"));
            const QByteArray line = QByteArray(2 * columns, '@') + "\r\n";
            for (int y = 0; y < rows; ++y)
                bytes += line;
            QVERIFY(writeFile(s.textPath, bytes));
        } else {
            s.fontName = QStringLiteral("DejaVu Sans");
            s.glyph = QChar(0x25A0);
            s.colorPath = path(QStringLiteral("large-colors.tmp"));
            bytes.reserve(qsizetype(columns) * rows * 4);
            for (qsizetype i = 0; i < qsizetype(columns) * rows; ++i)
                bytes += " 0 \r\n";
            QVERIFY(writeFile(s.colorPath, bytes));
        }
        PrintWindow form(s);
        QCOMPARE(form.lastPreviewLayout().status, LayoutStatus::Done);
        const QImage img = form.previewImage();
        // Dense ink over the whole page width: the page is dark grey to black
        // where the result lies, not white.
        const QRect inked(0, 0, img.width(), img.height() / 4);
        int dark = 0;
        for (int y = inked.top(); y <= inked.bottom(); ++y)
            for (int x = inked.left() + 2; x < inked.right() - 8; ++x)
                dark += qGray(img.pixel(x, y)) < 200;
        const double share = double(dark) / ((inked.width() - 10) * inked.height());
        QVERIFY2(share > 0.5, qPrintable(QStringLiteral("%1 of the upper page inked").arg(share)));
    }

    // A large mosaic takes a while to print: the window shows the progress,
    // keeps handling events, and its stop button ends the print with no file
    // written. Stopped again through the close button of the caption.
    void printingShowsProgressAndCanBeStopped()
    {
        const QString out = path(QStringLiteral("stopped.pdf"));
        usePdfA4(out);
        PrintSource s;
        s.resultKind = 2;
        s.gridColumns = 1024;
        s.gridRows = 1024;
        s.fontName = QStringLiteral("DejaVu Sans");
        s.fontSize = 8;
        s.glyph = QChar(0x25A0);
        s.colorPath = path(QStringLiteral("stop-colors.tmp"));
        QByteArray bytes;
        for (int i = 0; i < 1024 * 1024; ++i)
            bytes += " 255 \r\n";
        QVERIFY(writeFile(s.colorPath, bytes));
        PrintWindow form(s);
        form.show();
        auto *stopper = child<QToolButton>(&form, "Toolbar2_Button1");
        auto *progress = child<Progress>(&form, "PrintProgress");
        QVERIFY(!progress->isVisible());
        for (int way = 0; way < 2; ++way) {
            int percentSeen = -1;
            QString caption;
            QTimer poll;
            poll.setInterval(5);
            connect(&poll, &QTimer::timeout, &form, [&] {
                if (!form.isPrinting() || progress->percent() < 2)
                    return;
                poll.stop();
                percentSeen = progress->isVisible() ? progress->percent() : -1;
                caption = stopper->text();
                if (way == 0)
                    QTest::mouseClick(stopper, Qt::LeftButton);
                else
                    QTest::mouseClick(child<CaptionBar>(&form, "Header")->closeButton(), Qt::LeftButton);
            });
            poll.start();
            ModalCatcher catcher;
            QVERIFY(!form.SendToPrinter());
            QVERIFY(percentSeen >= 2 && percentSeen < 100);
            QCOMPARE(caption.trimmed(), QStringLiteral("Стоп"));
            QCOMPARE(form.lastPrintLayout().status, LayoutStatus::Stopped);
            QVERIFY(catcher.texts.isEmpty());
            QVERIFY(!QFile::exists(out));
            QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("stopped.pdf*")}, QDir::Files).size(), 0);
            QVERIFY(!progress->isVisible());
            QCOMPARE(stopper->text().trimmed(), QStringLiteral("Печать"));
            QVERIFY(form.isVisible());
        }
    }

    void pdfCopyFileNames()
    {
        QCOMPARE(pdfCopyFileName(QStringLiteral("/tmp/a/out.pdf"), 1, 1), QStringLiteral("/tmp/a/out.pdf"));
        QCOMPARE(pdfCopyFileName(QStringLiteral("/tmp/a/out.pdf"), 2, 3), QStringLiteral("/tmp/a/out-2.pdf"));
        QCOMPARE(pdfCopyFileName(QStringLiteral("/tmp/a/out.PDF"), 1, 2), QStringLiteral("/tmp/a/out-1.pdf"));
        QCOMPARE(pdfCopyFileName(QStringLiteral("/tmp/a/out"), 3, 3), QStringLiteral("/tmp/a/out-3.pdf"));
        QCOMPARE(pdfCopyFileName(QStringLiteral("/tmp/a.b/out.x.pdf"), 2, 2), QStringLiteral("/tmp/a.b/out.x-2.pdf"));
    }
};

QTEST_MAIN(TestPrintWindow)
#include "test_printwindow.moc"
