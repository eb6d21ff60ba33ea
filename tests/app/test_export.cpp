// Exports of the result window and the text colour "По изображению",
// through the real windows: PNG pictures against the window's own drawing
// and tessilor-cli's picture, PDF pages against a print to a PDF file,
// standalone HTML pages, and text in the picture's colours in the document,
// in RTF and HTML, on the clipboard and on a printed page.
#include "support/apptestsupport.h"

#include "app/colorpicker.h"
#include "app/mainwindow.h"
#include "app/resultwindow.h"
#include "platform/pagesetup.h"
#include "base/options.h"
#include "document/richformat.h"
#include "richtext/richtextcontrol.h"
#include "view/printwindow.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QClipboard>
#include <QComboBox>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>
#include <memory>

using namespace tessilor;

namespace {

// Four upright stripes, red, green, blue and grey, each a whole number of
// cells wide for every grid below, so that every cell has one of the four
// colours exactly.
const QRgb kStripes[4] = {qRgb(200, 30, 40), qRgb(20, 160, 60), qRgb(30, 60, 210), qRgb(90, 90, 90)};

QString writeStripes(const QString &path, int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, kStripes[4 * x / w]);
    return img.save(path, "BMP") ? path : QString();
}

quint32 colorValue(QRgb c)
{
    return rgbValue(qRed(c), qGreen(c), qBlue(c));
}

QByteArray runProgram(const QString &program, const QStringList &args, int *status = nullptr)
{
    QProcess p;
    p.setProgram(program);
    p.setArguments(args);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start();
    p.waitForFinished(120000);
    if (status)
        *status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput() + p.readAllStandardError();
}

// The page of a PDF as pixels.
QImage pdfPage(const QString &pdf, int dpi)
{
    const QString base = pdf + QStringLiteral(".page");
    runProgram(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
                                            QStringLiteral("-singlefile"), pdf, base});
    return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    std::unique_ptr<MainWindow> m_form;

    MainWindow *openWith(const QString &picture)
    {
        m_form = apptest::openMainWindow();
        if (picture.isEmpty() || !m_form->loadPicture(picture))
            return nullptr;
        m_form->updateOpenState();
        return m_form.get();
    }
    bool run(MainWindow *f) { return apptest::clickStartAndWait(f); }
    // Saves the result through the result button and the save dialog.
    bool saveAs(MainWindow *f, const QString &path)
    {
        QFile::remove(path);
        apptest::chooseInNextFileDialog(path);
        apptest::child<QAction>(f, "tofile")->trigger();
        return QFileInfo::exists(path);
    }
    void setFigureGrid(MainWindow *f, const QString &columns, const QString &rows)
    {
        apptest::chooseMode(f, 1);
        apptest::child<QLineEdit>(f, "Text4")->setText(columns);
        apptest::child<QLineEdit>(f, "Text5")->setText(rows);
    }
    // Chooses "По изображению" in the colour picker, as a user does.
    void choosePictureColors(MainWindow *f)
    {
        QTest::mouseClick(apptest::child<QToolButton>(f, "color"), Qt::LeftButton, {}, QPoint(5, 5));
        auto *menu = qobject_cast<ColorPicker *>(f->colorPicker());
        QVERIFY(menu);
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QTest::mouseClick(menu->pictureColorsButton(), Qt::LeftButton);
        QTRY_VERIFY(!f->colorPicker());
        QVERIFY(f->pictureColors());
    }
    QString cli(const QStringList &args)
    {
        int status = -1;
        const QByteArray said = runProgram(QStringLiteral(TESSILOR_CLI_PATH), args, &status);
        return status == 0 ? QString() : QString::fromUtf8(said) + QStringLiteral(" (status %1)").arg(status);
    }

private Q_SLOTS:
    void cleanup() { apptest::closeMainWindow(m_form); }

    // The PNG is the window's own drawing of the art, and tessilor-cli
    // makes the same picture from the same picture and options.
    void pngIsTheWindowsPictureAndTheCliPicture_data()
    {
        QTest::addColumn<bool>("figures");
        QTest::addColumn<bool>("fill");
        QTest::addColumn<int>("method");
        QTest::addColumn<bool>("pictureColors");
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QStringList>("cliArgs");
        QTest::newRow("figures, filled") << true << true << 0 << false << "40"
                                         << "24" << QStringList{"-m", "figures", "--fill"};
        QTest::newRow("text") << false << false << 0 << false << "64"
                              << "20" << QStringList();
        QTest::newRow("text, tone, picture colours") << false << false << 1 << true << "64"
                                                     << "20" << QStringList{"--method", "tone", "--color", "picture"};
    }
    void pngIsTheWindowsPictureAndTheCliPicture()
    {
        QFETCH(bool, figures);
        QFETCH(bool, fill);
        QFETCH(int, method);
        QFETCH(bool, pictureColors);
        QFETCH(QString, columns);
        QFETCH(QString, rows);
        QFETCH(QStringList, cliArgs);
        const QString picture = apptest::writePicture(m_dir.filePath(QStringLiteral("png.bmp")), 160, 120, "BMP");
        MainWindow *f = openWith(picture);
        QVERIFY(f);
        if (figures) {
            setFigureGrid(f, columns, rows);
            apptest::child<QCheckBox>(f, "fillBox")->setChecked(fill);
        } else {
            apptest::child<QLineEdit>(f, "Text1")->setText(columns);
            apptest::child<QLineEdit>(f, "Text2")->setText(rows);
            apptest::child<QComboBox>(f, "methodList")->setCurrentIndex(method);
            if (pictureColors)
                choosePictureColors(f);
        }
        QVERIFY(run(f));
        const QString png = m_dir.filePath(QStringLiteral("art.png"));
        QVERIFY(saveAs(f, png));
        const QImage saved = QImage(png).convertToFormat(QImage::Format_RGB32);
        QVERIFY(!saved.isNull());

        // The window's drawing, scrolled to the top left, without a caret.
        QTextEdit *edit = f->existingResultWindow()->richText().hwnd();
        edit->setCursorWidth(0);
        f->existingResultWindow()->showMaximized();
        QApplication::processEvents();
        const QImage shown = edit->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int w = std::min(shown.width(), saved.width());
        const int h = std::min(shown.height(), saved.height());
        QVERIFY(w > 100 && h > 100);
        // The art is larger than it shows in the window only when the window
        // is the smaller one.
        QVERIFY(saved.width() >= w && saved.height() >= h);
        int differing = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                differing += saved.pixel(x, y) != shown.pixel(x, y);
        QCOMPARE(differing, 0);
        // The art, not an empty page: a good part of it is drawn.
        int inked = 0;
        for (int y = 0; y < saved.height(); ++y)
            for (int x = 0; x < saved.width(); ++x)
                inked += saved.pixel(x, y) != qRgb(255, 255, 255);
        QVERIFY2(inked > saved.width() * saved.height() / 5, qPrintable(QString::number(inked)));

        const QString fromCli = m_dir.filePath(QStringLiteral("cli.png"));
        const QString failure = cli(cliArgs + QStringList{"-c", columns, "-r", rows, "-o", fromCli, picture});
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        const QImage cliImage = QImage(fromCli).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(cliImage.size(), saved.size());
        QCOMPARE(cliImage, saved);
    }

    // The window's run and tessilor-cli give the same text and colour files
    // for the same picture and options, a large JPEG too (which tessilor-cli
    // decodes row by row into the grids).
    void textAndColourFilesAreTheCliFiles_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("method");
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QStringList>("cliArgs");
        for (const char *columns : {"40", "160"}) {
            const QString c = QString::fromLatin1(columns);
            QTest::addRow("classic, %s", columns) << 1 << 0 << c << "40" << QStringList{"-F", "txt"};
            QTest::addRow("tone, %s", columns) << 1 << 1 << c << "40" << QStringList{"--method", "tone"};
            QTest::addRow("figures, %s", columns)
                << 2 << 0 << c << "60" << QStringList{"-m", "figures", "-F", "colors"};
        }
    }
    void textAndColourFilesAreTheCliFiles()
    {
        QFETCH(int, mode);
        QFETCH(int, method);
        QFETCH(QString, columns);
        QFETCH(QString, rows);
        QFETCH(QStringList, cliArgs);
        const QString picture = m_dir.filePath(QStringLiteral("large.jpg"));
        if (!QFileInfo::exists(picture))
            QVERIFY(!apptest::writePicture(picture, 4096, 4096, "JPEG", 85).isEmpty());
        MainWindow *f = openWith(picture);
        QVERIFY(f);
        if (mode == 2) {
            setFigureGrid(f, columns, rows);
        } else {
            apptest::child<QLineEdit>(f, "Text1")->setText(columns);
            apptest::child<QLineEdit>(f, "Text2")->setText(rows);
            apptest::child<QComboBox>(f, "methodList")->setCurrentIndex(method);
        }
        QVERIFY(run(f));
        const QByteArray fromWindow = apptest::readAll(mode == 2 ? globals::TempColorPath : globals::TempTextPath);
        QVERIFY(fromWindow.count('\n') >= 40);

        const QString out = m_dir.filePath(QStringLiteral("cli.out"));
        const QString failure = cli(cliArgs + QStringList{"-c", columns, "-r", rows, "-o", out, picture});
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(apptest::readAll(out), fromWindow);
    }

    // The save dialog keeps rich and plain text first, in their words, and
    // offers the picture, the page and the web page after them; a type it
    // does not know is refused with the list.
    void saveDialogOffersTheExportTypes()
    {
        const QString picture = apptest::writePicture(m_dir.filePath(QStringLiteral("types.bmp")), 80, 60, "BMP");
        MainWindow *f = openWith(picture);
        QVERIFY(f);
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("32"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("16"));
        QVERIFY(run(f));
        QStringList offered;
        apptest::answerNextModal<QFileDialog>([&offered](QFileDialog *dlg) {
            offered = dlg->nameFilters();
            dlg->reject();
        });
        apptest::child<QAction>(f, "tofile")->trigger();
        QCOMPARE(offered,
                 (QStringList{QStringLiteral("Документы RichText (*.rtf)"), QStringLiteral("Текстовые файлы (*.txt)"),
                              QStringLiteral("Рисунки PNG (*.png)"), QStringLiteral("Документы PDF (*.pdf)"),
                              QStringLiteral("Веб-страницы HTML (*.html)")}));
        QString said;
        const QString svg = m_dir.filePath(QStringLiteral("art.svg"));
        apptest::chooseInNextFileDialog(svg);
        QTimer::singleShot(0, [&said] { apptest::closeNextMessage(&said); });
        apptest::child<QAction>(f, "tofile")->trigger();
        QTRY_VERIFY(!said.isEmpty());
        QVERIFY(said.contains(QStringLiteral("не сохранён")));
        QVERIFY(said.contains(QStringLiteral("рисунок PNG (*.png), документ PDF (*.pdf)")));
        QVERIFY(!QFileInfo::exists(svg));
    }

    // The PDF is the page a print to a PDF file makes (same paper, same
    // fit), with the art as text in embedded fonts.
    void pdfIsThePrintedPageWithEmbeddedFonts_data()
    {
        QTest::addColumn<bool>("figures");
        QTest::addColumn<QString>("font");
        QTest::newRow("text in picture colours") << false << QString();
        QTest::newRow("figures, filled") << true << QStringLiteral("QuarTessilorFigures1");
    }
    void pdfIsThePrintedPageWithEmbeddedFonts()
    {
        QFETCH(bool, figures);
        QFETCH(QString, font);
        const QString picture = apptest::writePicture(m_dir.filePath(QStringLiteral("pdf.bmp")), 160, 120, "BMP");
        MainWindow *f = openWith(picture);
        QVERIFY(f);
        if (figures) {
            setFigureGrid(f, QStringLiteral("40"), QStringLiteral("30"));
            apptest::child<QCheckBox>(f, "fillBox")->setChecked(true);
        } else {
            apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("60"));
            apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("24"));
            choosePictureColors(f);
        }
        QVERIFY(run(f));
        const QString printed = m_dir.filePath(QStringLiteral("printed.pdf"));
        QFile::remove(printed);
        usePdfPrinter(printed);
        auto back = qScopeGuard([] { resetCurrentPrinter(); });
        const QString exported = m_dir.filePath(QStringLiteral("exported.pdf"));
        QVERIFY(saveAs(f, exported));

        const QString fonts = QString::fromUtf8(runProgram(QStringLiteral("pdffonts"), {exported}));
        const QStringList rows = fonts.split(u'\n', Qt::SkipEmptyParts).mid(2);
        QCOMPARE(rows.size(), 1);
        QVERIFY2(rows.first().contains(QRegularExpression(QStringLiteral("TrueType.*yes"))), qPrintable(fonts));
        if (!font.isEmpty())
            QVERIFY2(rows.first().contains(font), qPrintable(fonts));
        const QStringList lines =
            QString::fromUtf8(runProgram(QStringLiteral("pdftotext"), {exported, QStringLiteral("-")}))
                .split(u'\n', Qt::SkipEmptyParts);
        if (figures) {
            QCOMPARE(lines.first().trimmed(), QString(40, QChar(86)));
        } else {
            const QStringList art = QString::fromUtf8(apptest::readAll(globals::TempTextPath))
                                        .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
            QCOMPARE(lines.mid(0, 3), art.mid(0, 3));
        }

        // The same page from the print window at its high quality.
        apptest::answerNextModal<PrintWindow>([](PrintWindow *form) {
            form->findChild<QCheckBox *>(QStringLiteral("Check1"))->setChecked(true);
            QVERIFY(form->SendToPrinter());
            form->accept();
        });
        apptest::child<QAction>(f, "print")->trigger();
        QVERIFY(QFileInfo::exists(printed));
        QCOMPARE(pdfPage(exported, 50), pdfPage(printed, 50));
    }

    // A standalone page: the art's lines, colours and fill, and the figure
    // font inside.
    void htmlPageStandsAlone()
    {
        const QString picture = apptest::writePicture(m_dir.filePath(QStringLiteral("html.bmp")), 160, 120, "BMP");
        MainWindow *f = openWith(picture);
        QVERIFY(f);
        setFigureGrid(f, QStringLiteral("20"), QStringLiteral("16"));
        apptest::child<QCheckBox>(f, "fillBox")->setChecked(true);
        QVERIFY(run(f));
        const QString html = m_dir.filePath(QStringLiteral("art.html"));
        QVERIFY(saveAs(f, html));
        const QString page = QString::fromUtf8(apptest::readAll(html));
        QVERIFY(page.startsWith(QStringLiteral("<!DOCTYPE html>")));
        QVERIFY(page.contains(QStringLiteral("<title>Quar Image Tessilor — фигуры 20 x 16</title>")));
        QVERIFY(page.contains(
            QStringLiteral("@font-face{font-family:'Quar Tessilor Figures 1';src:url(data:font/ttf;base64,")));
        QCOMPARE(page.count(QStringLiteral("<div style=\"white-space:pre;")), 16 + 1);
        // Every cell's colours from the colour file: figure and background.
        const QList<QByteArray> cells = apptest::readAll(globals::TempColorPath).split('\n');
        const QList<QByteArray> first = cells.first().simplified().split(' ');
        QCOMPARE(first.size(), 2);
        auto css = [](const QByteArray &value) {
            const quint32 c = value.toUInt();
            return QColor(redOf(c), greenOf(c), blueOf(c)).name();
        };
        QVERIFY(page.contains(QStringLiteral("color:") + css(first[0])));
        QVERIFY(page.contains(QStringLiteral("background-color:") + css(first[1])));
        QVERIFY(!page.contains(QStringLiteral("src=")));
    }

    // A mosaic whose lines no word processor can keep whole on the page of
    // the page setup, not even at half a point and turned: no RTF, and the
    // message names the widest grid that fits. 1024 figures of one em are
    // 512 points; A4 turned holds 502 inside margins of 60 mm (998 figures).
    void rtfTooWideForThePaperSaysWhatFits()
    {
        const QString picture = apptest::writePicture(m_dir.filePath(QStringLiteral("wide.bmp")), 160, 120, "BMP");
        MainWindow *f = openWith(picture);
        QVERIFY(f);
        setFigureGrid(f, QStringLiteral("1024"), QStringLiteral("16"));
        QVERIFY(run(f));
        const QMarginsF before = pageMarginsMm();
        const auto restore = qScopeGuard([&] { setPageMarginsMm(before); });
        setPageMarginsMm(QMarginsF(60, 20, 60, 20));
        const QString rtf = m_dir.filePath(QStringLiteral("wide.rtf"));
        QString said;
        apptest::closeNextMessage(&said);
        QVERIFY(!saveAs(f, rtf));
        QVERIFY2(said.contains(QStringLiteral("строки в 1024 рисунков не помещаются")), qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("не больше 998 рисунков")), qPrintable(said));
        setPageMarginsMm(before);
        QVERIFY(saveAs(f, rtf));
        QVERIFY(apptest::readAll(rtf).contains("\\landscape"));
    }

    // "По изображению": every character in its cell's colour in the
    // document, the colour file, RTF, HTML, the clipboard and a printed
    // page; a swatch picked afterwards gives one colour again.
    void pictureColoursReachEveryOutput()
    {
        const QString picture = writeStripes(m_dir.filePath(QStringLiteral("stripes.bmp")), 256, 64);
        MainWindow *f = openWith(picture);
        QVERIFY(f);
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("64"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("16"));
        choosePictureColors(f);
        QCOMPARE(f->runRequest().pictureColors, true);
        QVERIFY(run(f));

        // 64 characters a line, 16 of each stripe.
        const QTextDocument *doc = f->existingResultWindow()->richText().hwnd()->document();
        for (QTextBlock b = doc->begin(); b.isValid() && b.length() > 1; b = b.next()) {
            QCOMPARE(b.length() - 1, 64);
            for (int j = 0; j < 64; ++j) {
                QTextCursor c(b);
                c.setPosition(b.position() + j + 1);
                QCOMPARE(colorTo24(c.charFormat().foreground().color()), colorValue(kStripes[j / 16]));
            }
        }
        const QList<QByteArray> colors = apptest::readAll(globals::TempColorPath).split('\n');
        QCOMPARE(colors.size(), 64 * 16 + 1);
        QCOMPARE(colors[64 + 17].trimmed().toUInt(), colorValue(kStripes[1]));

        const QString rtf = m_dir.filePath(QStringLiteral("stripes.rtf"));
        const QString html = m_dir.filePath(QStringLiteral("stripes.html"));
        QVERIFY(saveAs(f, rtf));
        QVERIFY(saveAs(f, html));
        const QByteArray rich = apptest::readAll(rtf);
        // The page: 64 characters of 8 points fit A4 upright, in the
        // design margins.
        QVERIFY2(rich.contains("\\paperw11906\\paperh16838\\margl1701\\margr850\\margt1134\\margb1134\r\n"),
                 rich.mid(rich.indexOf("\\paperw"), 80).constData());
        const QString page = QString::fromUtf8(apptest::readAll(html));
        QString said;
        apptest::closeNextMessage(&said);
        apptest::child<QAction>(f, "tocl")->trigger();
        const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
        QVERIFY(mime && mime->hasHtml());
        for (QRgb stripe : kStripes) {
            const QByteArray table = QStringLiteral("\\red%1\\green%2\\blue%3;")
                                         .arg(qRed(stripe))
                                         .arg(qGreen(stripe))
                                         .arg(qBlue(stripe))
                                         .toLatin1();
            QVERIFY2(rich.contains(table), table.constData());
            QVERIFY(page.contains(QStringLiteral("color:") + QColor(stripe).name()));
            QVERIFY(mime->html().contains(QStringLiteral("color:") + QColor(stripe).name()));
            QVERIFY(mime->data(QStringLiteral("text/rtf")).contains(table));
        }

        // Printed: each quarter of the art in its stripe's colour.
        const QString printed = m_dir.filePath(QStringLiteral("stripes.pdf"));
        usePdfPrinter(printed);
        auto back = qScopeGuard([] { resetCurrentPrinter(); });
        apptest::answerNextModal<PrintWindow>([](PrintWindow *form) {
            QVERIFY(form->SendToPrinter());
            form->accept();
        });
        apptest::child<QAction>(f, "print")->trigger();
        const QImage sheet = pdfPage(printed, 100);
        QVERIFY(!sheet.isNull());
        // The ink's extent across the page, then the mean ink colour of each
        // quarter of it.
        int left = sheet.width(), right = -1;
        for (int y = 0; y < sheet.height(); ++y)
            for (int x = 0; x < sheet.width(); ++x)
                if (qGray(sheet.pixel(x, y)) < 200) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        QVERIFY(right > left);
        for (int q = 0; q < 4; ++q) {
            double r = 0, g = 0, b = 0, n = 0;
            const int from = left + (right - left + 1) * q / 4 + 2;
            const int to = left + (right - left + 1) * (q + 1) / 4 - 2;
            for (int y = 0; y < sheet.height(); ++y)
                for (int x = from; x < to; ++x) {
                    const QRgb c = sheet.pixel(x, y);
                    if (qGray(c) < 200) {
                        r += qRed(c), g += qGreen(c), b += qBlue(c), n += 1;
                    }
                }
            QVERIFY(n > 0);
            const QColor mean(int(r / n), int(g / n), int(b / n));
            const QColor stripe(kStripes[q]);
            QVERIFY2(qAbs(mean.hue() - stripe.hue()) <= 20 || (stripe.saturation() < 10 && mean.saturation() < 40),
                     qPrintable(QStringLiteral("quarter %1: %2, stripe %3").arg(q).arg(mean.name(), stripe.name())));
        }

        // A swatch from the palette: one colour again.
        QTest::mouseClick(apptest::child<QToolButton>(f, "color"), Qt::LeftButton, {}, QPoint(5, 5));
        auto *menu = qobject_cast<ColorPicker *>(f->colorPicker());
        QVERIFY(menu);
        QTest::mouseClick(menu->paletteButton(17), Qt::LeftButton);
        QVERIFY(!f->pictureColors());
        QVERIFY(run(f));
        QTextCursor last(doc->begin());
        last.movePosition(QTextCursor::EndOfBlock);
        QCOMPARE(colorTo24(last.charFormat().foreground().color()), rgbValue(254, 0, 0));
        QVERIFY(!f->existingResultWindow()->printSource().textColors);
    }
};

TESSILOR_APP_TEST_MAIN(TestExport)

#include "test_export.moc"
