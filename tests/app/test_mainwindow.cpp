// Main window: first start, exit and the stored keys, opening pictures by
// dialog, by drop and from the last-file entry, the grid-size coupling, the
// option rules and the help bar. Drives the real windows offscreen.
#include "support/apptestsupport.h"
#include "support/gifwriter.h"

#include "app/globals.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "base/options.h"
#include "base/paths.h"
#include "layout/mainlayout.h"
#include "layout/swatches.h"
#include "view/imagewindow.h"
#include "widgets/progress.h"

#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QScopeGuard>
#include <memory>

using namespace tessilor;

namespace {

QString stored(const QString &key)
{
    QSettings s(apptest::iniPath(), QSettings::IniFormat);
    return s.value(QStringLiteral("ImageTessilor/") + key).toString();
}

void store(const QString &key, const QString &value)
{
    QSettings s(apptest::iniPath(), QSettings::IniFormat);
    s.setValue(QStringLiteral("ImageTessilor/") + key, value);
    s.sync();
}

void clearSettings()
{
    QSettings s(apptest::iniPath(), QSettings::IniFormat);
    s.clear();
    s.sync();
}

// Clicks into a field and replaces its text by typing.
void typeInto(QLineEdit *field, const QString &text)
{
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_pics;
    std::unique_ptr<MainWindow> m_form;

    MainWindow *openForm()
    {
        if (!apptest::startMainWindow(m_form, true))
            qWarning("main window did not become active");
        return m_form.get();
    }
    void closeForm() { apptest::closeMainWindow(m_form); }
    // Opens a picture and shows it at 100 %, so the display is w x h.
    ImageWindow *showAtFullSize(MainWindow *f, int w, int h)
    {
        const QString path =
            apptest::writePicture(m_pics.filePath(QStringLiteral("p%1x%2.bmp").arg(w).arg(h)), w, h, "BMP");
        if (!f->loadPicture(path))
            return nullptr;
        f->updateOpenState();
        ImageWindow *pf = f->existingImageWindow();
        pf->chooseZoomItem(3);
        return pf;
    }

private Q_SLOTS:
    void cleanup() { closeForm(); }

    void firstStartGivesTheDefaults()
    {
        clearSettings();
        MainWindow *f = openForm();
        QCOMPARE(f->windowTitle(), QStringLiteral("Quar Image Tessilor 1.0.29"));
        QVERIFY(!f->isMaximized() && !f->isMinimized());
        // Design size, but never below 8000 x 6000 twips.
        QVERIFY(f->width() * 15 >= 8000);
        QVERIFY(f->height() * 15 >= 6000);

        QCOMPARE(apptest::child<QComboBox>(f, "ImageCombo1")->count(), 2);
        QCOMPARE(apptest::child<QComboBox>(f, "ImageCombo1")->itemText(0), QStringLiteral("Текстовые символы"));
        QCOMPARE(apptest::child<QComboBox>(f, "ImageCombo1")->itemText(1), QStringLiteral("Фигуры"));
        QCOMPARE(apptest::child<QComboBox>(f, "ImageCombo1")->currentIndex(), 0);
        QVERIFY(f->textBarVisible());
        QVERIFY(!f->figureBarVisible());

        QCOMPARE(apptest::child<QComboBox>(f, "ImageCombo2")->count(), 4);
        QCOMPARE(apptest::child<QComboBox>(f, "ImageCombo2")->currentText(), QStringLiteral("Courier New Cyr"));
        QCOMPARE(apptest::child<QComboBox>(f, "ImageCombo2")->currentData().toString().size(), 81);
        QCOMPARE(apptest::child<QComboBox>(f, "ImageCombo2")->itemText(3), QStringLiteral("Terminal"));
        QCOMPARE(apptest::child<QComboBox>(f, "Combo1")->count(), 18);
        QCOMPARE(apptest::child<QComboBox>(f, "Combo2")->count(), 18);
        QCOMPARE(apptest::child<QComboBox>(f, "Combo1")->currentText(), QStringLiteral("8"));
        QCOMPARE(apptest::child<QComboBox>(f, "Combo2")->currentText(), QStringLiteral("8"));
        QCOMPARE(apptest::child<QComboBox>(f, "Combo1")->itemText(17), QStringLiteral("48"));
        QVERIFY(apptest::child<QCheckBox>(f, "Check1")->isChecked());
        QVERIFY(apptest::child<QCheckBox>(f, "Check2")->isChecked());
        QCOMPARE(apptest::child<QCheckBox>(f, "Check1")->text(), QStringLiteral("Пропорционально"));
        QCOMPARE(apptest::child<QComboBox>(f, "ImageCombo3")->itemText(1), QStringLiteral("Оттенки серого"));
        QCOMPARE(apptest::child<QComboBox>(f, "ImageCombo3")->currentIndex(), 0);
        QCOMPARE(apptest::child<QLineEdit>(f, "Text1")->text(), QStringLiteral("80"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text2")->text(), QStringLiteral("120"));
        QCOMPARE(apptest::child<QSlider>(f, "Slider1")->minimum(), -127);
        QCOMPARE(apptest::child<QSlider>(f, "Slider1")->maximum(), 127);
        QCOMPARE(apptest::child<QSlider>(f, "Slider1")->value(), 0);
        QCOMPARE(apptest::child<QSlider>(f, "Slider1")->pageStep(), 5);

        QCOMPARE(f->figureKey(), QStringLiteral("k86"));
        QCOMPARE(f->figureFamily(), globals::FigureFontName);
        QVERIFY(!apptest::child<QToolButton>(f, "figure")->icon().isNull());
        QCOMPARE(MainWindow::imageKey(apptest::child<QToolButton>(f, "result")), QStringLiteral("save"));
        QCOMPARE(apptest::child<QToolButton>(f, "result")->toolTip(), QStringLiteral("Сохранить (Ctrl+S)"));
        QCOMPARE(apptest::child<QAction>(f, "lastFile")->text(), QStringLiteral("Пусто"));
        QVERIFY(!apptest::child<QAction>(f, "lastFile")->isEnabled());
        QCOMPARE(apptest::child<QToolButton>(f, "color")->text(), QStringLiteral(" Цвет"));
        QCOMPARE(f->textColor(), paletteColors()[0]);

        // Without a picture only opening, the mode list and help work.
        QVERIFY(apptest::child<QToolButton>(f, "open")->isEnabled());
        QVERIFY(!apptest::child<QToolButton>(f, "go")->isEnabled());
        QVERIFY(!apptest::child<QToolButton>(f, "result")->isEnabled());
        QVERIFY(!apptest::child<QLineEdit>(f, "Text1")->isEnabled());
        QVERIFY(apptest::child<QComboBox>(f, "ImageCombo1")->isEnabled());
        QVERIFY(apptest::child<QToolButton>(f, "help")->isEnabled());
        QCOMPARE(apptest::child<QToolButton>(f, "help")->text(), QStringLiteral("Справка"));
        QCOMPARE(apptest::child<QToolButton>(f, "help")->toolTip(), QStringLiteral("Справка (F1)"));
        QCOMPARE(apptest::child<QToolButton>(f, "go")->text(), QStringLiteral("Пуск"));
        QCOMPARE(apptest::child<QToolButton>(f, "go")->toolTip(), QStringLiteral("Символизировать изображение (F5)"));
        QCOMPARE(apptest::child<QToolButton>(f, "open")->toolTip(), QStringLiteral("Открыть изображение (Ctrl+O)"));

        const QStringList entries = {QStringLiteral("Сохранить в файл"), QStringLiteral("Скопировать в буфер обмена"),
                                     QStringLiteral("Передать в редактор"), QString(),
                                     QStringLiteral("Вывести на печать")};
        const auto actions = apptest::child<QMenu>(f, "resultMenu")->actions();
        QCOMPARE(actions.size(), entries.size());
        for (int i = 0; i < actions.size(); ++i) {
            if (entries[i].isEmpty())
                QVERIFY(actions[i]->isSeparator());
            else
                QCOMPARE(actions[i]->text(), entries[i]);
        }
    }

    void exitWritesTheKeys()
    {
        clearSettings();
        MainWindow *f = openForm();
        f->move(2, 90);
        // As narrow as the window may be (on the test's screen of 800 x 800),
        // its frame at the screen's left edge.
        const int width = f->minimumWidth();
        QVERIFY(width > 700);
        f->resize(width, 520);
        apptest::child<QComboBox>(f, "ImageCombo2")->setCurrentIndex(2);
        apptest::child<QComboBox>(f, "Combo2")->setCurrentIndex(5);
        apptest::child<QCheckBox>(f, "Check2")->setChecked(false);
        closeForm();
        QCOMPARE(stored(QStringLiteral("Windowstate")), QStringLiteral("0"));
        QCOMPARE(stored(QStringLiteral("Left")), QStringLiteral("30"));
        QCOMPARE(stored(QStringLiteral("Top")), QStringLiteral("1350"));
        QCOMPARE(stored(QStringLiteral("Width")), QString::number(width * 15));
        QCOMPARE(stored(QStringLiteral("Height")), QStringLiteral("7800"));
        QCOMPARE(stored(QStringLiteral("Type")), QStringLiteral("1"));
        QCOMPARE(stored(QStringLiteral("Font")), QStringLiteral("3"));
        QCOMPARE(stored(QStringLiteral("TextSize")), QStringLiteral("3"));
        QCOMPARE(stored(QStringLiteral("FigureSize")), QStringLiteral("6"));
        QCOMPARE(stored(QStringLiteral("Prop1")), QStringLiteral("1"));
        QCOMPARE(stored(QStringLiteral("Prop2")), QStringLiteral("0"));
        QCOMPARE(stored(QStringLiteral("FigureCode")), QStringLiteral("86"));
        QCOMPARE(stored(QStringLiteral("FigureFont")), globals::FigureFontName);
        QCOMPARE(stored(QStringLiteral("LastResult")), QStringLiteral("save"));
        QCOMPARE(stored(QStringLiteral("LastResultTip")), QStringLiteral("Сохранить"));
        QCOMPARE(stored(QStringLiteral("LastFile")), QString());

        // The next start restores what was written.
        f = openForm();
        QCOMPARE(f->pos(), QPoint(2, 90));
        QCOMPARE(f->size(), QSize(width, 520));
        QCOMPARE(apptest::child<QComboBox>(f, "ImageCombo2")->currentIndex(), 2);
        QCOMPARE(apptest::child<QComboBox>(f, "Combo2")->currentText(), QStringLiteral("14"));
        QVERIFY(!apptest::child<QCheckBox>(f, "Check2")->isChecked());
        // The first start's contrast, colours and figure colours were
        // written under keys of their own.
        QCOMPARE(stored(QStringLiteral("Contrast")), QStringLiteral("0"));
        QCOMPARE(stored(QStringLiteral("TextColor")), QString::number(paletteColors()[0]));
        QCOMPARE(stored(QStringLiteral("PictureColors")), QStringLiteral("0"));
        QCOMPARE(stored(QStringLiteral("ColorMode")), QStringLiteral("1"));

        // Contrast, a custom text colour and grey figures come back; so does
        // a palette colour with "По изображению" chosen after it.
        apptest::child<QSlider>(f, "Slider1")->setValue(-37);
        const quint32 custom = rgbValue(10, 130, 250);
        f->setColorSwatch(f->swatches().add(makeSwatch(custom)));
        apptest::child<QComboBox>(f, "ImageCombo3")->setCurrentIndex(1);
        closeForm();
        f = openForm();
        QCOMPARE(apptest::child<QSlider>(f, "Slider1")->value(), -37);
        QCOMPARE(apptest::child<QLabel>(f, "contrastValue")->text(), QStringLiteral("-37"));
        QCOMPARE(f->textColor(), custom);
        QVERIFY(!f->pictureColors());
        QCOMPARE(apptest::child<QComboBox>(f, "ImageCombo3")->currentIndex(), 1);
        QCOMPARE(f->runRequest().contrast, qint16(-37));
        QVERIFY(f->runRequest().gray);
        f->setColorSwatch(17);
        f->setPictureColors();
        closeForm();
        f = openForm();
        QVERIFY(f->pictureColors());
        QCOMPARE(f->textColor(), paletteColors()[16]);
        QVERIFY(f->runRequest().pictureColors);
    }

    void exitWhileMaximisedKeepsTheNormalGeometry()
    {
        clearSettings();
        store(QStringLiteral("Top"), QStringLiteral("1500"));
        store(QStringLiteral("Left"), QStringLiteral("1200"));
        store(QStringLiteral("Width"), QStringLiteral("9000"));
        store(QStringLiteral("Height"), QStringLiteral("6600"));
        MainWindow *f = openForm();
        f->showMaximized();
        QTRY_VERIFY(f->isMaximized());
        closeForm();
        QCOMPARE(stored(QStringLiteral("Windowstate")), QStringLiteral("2"));
        QCOMPARE(stored(QStringLiteral("Top")), QStringLiteral("1500"));
        QCOMPARE(stored(QStringLiteral("Left")), QStringLiteral("1200"));
        QCOMPARE(stored(QStringLiteral("Width")), QStringLiteral("9000"));
        QCOMPARE(stored(QStringLiteral("Height")), QStringLiteral("6600"));
        // The next start maximises the window.
        f = openForm();
        QVERIFY(f->isMaximized());
    }

    void exitWhileMinimisedWritesNormalStateOnly()
    {
        clearSettings();
        store(QStringLiteral("Top"), QStringLiteral("1500"));
        store(QStringLiteral("Windowstate"), QStringLiteral("1"));
        MainWindow *f = openForm();
        // A stored minimised state starts normal.
        QVERIFY(!f->isMinimized());
        f->move(300, 200);
        f->showMinimized();
        QTRY_VERIFY(f->isMinimized());
        closeForm();
        QCOMPARE(stored(QStringLiteral("Windowstate")), QStringLiteral("0"));
        QCOMPARE(stored(QStringLiteral("Top")), QStringLiteral("1500"));
        QVERIFY(stored(QStringLiteral("Width")).isEmpty());
    }

    void storedGeometryIsBoundedByTheScreen()
    {
        clearSettings();
        store(QStringLiteral("Top"), QStringLiteral("0"));
        store(QStringLiteral("Left"), QStringLiteral("-50"));
        store(QStringLiteral("Width"), QStringLiteral("999999"));
        store(QStringLiteral("Height"), QStringLiteral("100"));
        store(QStringLiteral("Font"), QStringLiteral("9"));
        MainWindow *f = openForm();
        const QSize screen = f->screen()->geometry().size();
        const int expectedWidth = mainlayout::twipsToPixels(qMax(screen.width() * 15.0 - 90, 8000.0));
        QCOMPARE(f->width(), expectedWidth);
        QCOMPARE(f->height(), 400); // 6000 twips
        // Centred with the restored size, before the limits; then the whole
        // window, its frame included, is brought onto the screen (here a
        // few pixels up).
        QVERIFY(qAbs(f->y() - mainlayout::twipsToPixels((screen.height() * 15.0 - 100) / 2)) <= 8);
        QVERIFY(f->screen()->availableGeometry().contains(f->frameGeometry()));
        // An index outside the list falls back to entry 1.
        QCOMPARE(apptest::child<QComboBox>(f, "ImageCombo2")->currentIndex(), 0);
    }

    // A stored place off every screen, as far as X11's 16-bit coordinates
    // would wrap, and hostile or stale sizes are brought back: the whole
    // window lies on the screen.
    void storedPlaceOffEveryScreenIsBroughtBack()
    {
        const QList<QStringList> cases = {
            {QStringLiteral("Top"), QStringLiteral("1500000"), QStringLiteral("Left"), QStringLiteral("1500000")},
            {QStringLiteral("Top"), QStringLiteral("99999999999"), QStringLiteral("Left"),
             QStringLiteral("99999999999")},
            {QStringLiteral("Height"), QStringLiteral("-5000"), QStringLiteral("Width"), QStringLiteral("-99999999"),
             QStringLiteral("Top"), QStringLiteral("-1e9")},
            // A place near the bottom right of a larger screen.
            {QStringLiteral("Top"), QStringLiteral("12000"), QStringLiteral("Left"), QStringLiteral("18000"),
             QStringLiteral("Width"), QStringLiteral("9000"), QStringLiteral("Height"), QStringLiteral("7000")},
        };
        for (const QStringList &values : cases) {
            clearSettings();
            for (int i = 0; i + 1 < values.size(); i += 2)
                store(values[i], values[i + 1]);
            MainWindow *f = openForm();
            const QRect screen = f->screen()->availableGeometry();
            QVERIFY2(screen.contains(f->frameGeometry()), qPrintable(values.join(u' ')));
            closeForm();
        }
    }

    void fixedSizeFontsLockTheSizeList()
    {
        clearSettings();
        store(QStringLiteral("Font"), QStringLiteral("2"));
        store(QStringLiteral("TextSize"), QStringLiteral("7"));
        MainWindow *f = openForm();
        QVERIFY(showAtFullSize(f, 60, 40));
        // Loading does not apply the rule.
        QVERIFY(apptest::child<QComboBox>(f, "Combo1")->isEnabled());
        QCOMPARE(apptest::child<QComboBox>(f, "Combo1")->currentText(), QStringLiteral("16"));
        // Choosing a font does.
        QComboBox *fonts = apptest::child<QComboBox>(f, "ImageCombo2");
        fonts->setCurrentIndex(3);
        Q_EMIT fonts->activated(3);
        QVERIFY(!apptest::child<QComboBox>(f, "Combo1")->isEnabled());
        QCOMPARE(apptest::child<QComboBox>(f, "Combo1")->currentText(), QStringLiteral("8"));
        fonts->setCurrentIndex(1);
        Q_EMIT fonts->activated(1);
        QVERIFY(!apptest::child<QComboBox>(f, "Combo1")->isEnabled());
        QCOMPARE(apptest::child<QComboBox>(f, "Combo1")->currentText(), QStringLiteral("10"));
        fonts->setCurrentIndex(2);
        Q_EMIT fonts->activated(2);
        QVERIFY(apptest::child<QComboBox>(f, "Combo1")->isEnabled());
        QCOMPARE(apptest::child<QComboBox>(f, "Combo1")->currentText(), QStringLiteral("10"));
    }

    void modeListSwitchesTheOptionBars()
    {
        clearSettings();
        MainWindow *f = openForm();
        QComboBox *modes = apptest::child<QComboBox>(f, "ImageCombo1");
        modes->setCurrentIndex(1);
        Q_EMIT modes->activated(1);
        QVERIFY(f->figureBarVisible());
        QVERIFY(!f->textBarVisible());
        modes->setCurrentIndex(0);
        Q_EMIT modes->activated(0);
        QVERIFY(f->textBarVisible());
        QVERIFY(!f->figureBarVisible());
    }

    void openingThroughTheDialog()
    {
        clearSettings();
        QTemporaryDir dir;
        const QString path = apptest::writePicture(dir.filePath(QStringLiteral("Photo.jpg")), 320, 200, "JPEG", 90);
        store(QStringLiteral("LastDir"), dir.path());
        MainWindow *f = openForm();
        apptest::chooseInNextFileDialog(path);
        QTest::mouseClick(apptest::child<QToolButton>(f, "open"), Qt::LeftButton, {}, QPoint(8, 8));
        ImageWindow *pf = f->existingImageWindow();
        QVERIFY(pf && pf->hasPicture());
        QVERIFY(pf->isVisible());
        QCOMPARE(pf->sourceImage().size(), QSize(320, 200));
        QCOMPARE(stored(QStringLiteral("LastDir")), QDir(dir.path()).absolutePath());
        // An image is open: options on, result off until a run.
        QVERIFY(apptest::child<QLineEdit>(f, "Text1")->isEnabled());
        QVERIFY(apptest::child<QToolButton>(f, "go")->isEnabled());
        QVERIFY(!apptest::child<QToolButton>(f, "result")->isEnabled());
        // The fields follow the display copy.
        const QSize d = pf->displaySize();
        QCOMPARE(apptest::child<QLineEdit>(f, "Text1")->text(), QString::number(2 * d.width()));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text2")->text(), QString::number(d.height()));

        // A remembered folder without files: the dialog starts one level up.
        // A cancelled dialog changes nothing.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("empty")));
        store(QStringLiteral("LastDir"), dir.filePath(QStringLiteral("empty")));
        QString startedIn;
        QStringList offered;
        QString selected;
        apptest::answerNextModal<QFileDialog>([&startedIn, &offered, &selected](QFileDialog *dlg) {
            startedIn = dlg->directory().absolutePath();
            offered = dlg->nameFilters();
            selected = dlg->selectedNameFilter();
            dlg->reject();
        });
        QTest::mouseClick(apptest::child<QToolButton>(f, "open"), Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(startedIn, QDir(dir.path()).absolutePath());
        // The original entry first and selected, with every type the program
        // reads, and its name lists them all; the newer types alone after it.
        QCOMPARE(offered, QStringList({QStringLiteral("Изображение (Jpeg, Bmp, Gif, Png, WebP, Tiff) (*.jpg *.jpe "
                                                      "*.jpeg *.bmp *.dib *.gif *.png *.webp *.tif *.tiff)"),
                                       QStringLiteral("Изображение (Png, WebP, Tiff) (*.png *.webp *.tif *.tiff)")}));
        QCOMPARE(selected, offered.first());
        QCOMPARE(stored(QStringLiteral("LastDir")), dir.filePath(QStringLiteral("empty")));
        QVERIFY(pf->hasPicture());
        QVERIFY(apptest::child<QLineEdit>(f, "Text1")->isEnabled());
        // Exit with the picture open: the image window closes first and its
        // file becomes the last file.
        closeForm();
        QCOMPARE(stored(QStringLiteral("LastFile")), path);
    }

    void zoomButtonOffersTheImageWindowMenu()
    {
        clearSettings();
        MainWindow *f = openForm();
        QVERIFY(showAtFullSize(f, 400, 300));
        QTest::mouseClick(apptest::child<QToolButton>(f, "mas"), Qt::LeftButton, {}, QPoint(8, 8));
        QMenu *menu = f->existingImageWindow()->zoomMenu();
        QTRY_VERIFY(menu->isVisible());
        // At 1275 twips from the left, below the main tool bar.
        const QPoint expected = f->mapToGlobal(QPoint(85, apptest::child<QToolBar>(f, "Toolbar1")->y() +
                                                              apptest::child<QToolBar>(f, "Toolbar1")->height()));
        QCOMPARE(menu->pos(), expected);
        QAction *half = nullptr;
        for (QAction *a : menu->actions()) {
            if (a->text() == QStringLiteral("50 %"))
                half = a;
        }
        QVERIFY(half);
        menu->hide();
        half->trigger();
        QCOMPARE(apptest::child<QLineEdit>(f, "Text1")->text(), QStringLiteral("400"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text2")->text(), QStringLiteral("150"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text4")->text(), QStringLiteral("142"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text5")->text(), QStringLiteral("107"));
    }

    void closingTheImageStoresTheLastFile()
    {
        clearSettings();
        MainWindow *f = openForm();
        QVERIFY(showAtFullSize(f, 50, 30));
        const QString path = f->existingImageWindow()->sourcePath();
        f->existingImageWindow()->close();
        QVERIFY(!f->existingImageWindow()->hasPicture());
        QCOMPARE(apptest::child<QAction>(f, "lastFile")->text(), getName(path));
        QVERIFY(apptest::child<QAction>(f, "lastFile")->isEnabled());
        QVERIFY(!apptest::child<QLineEdit>(f, "Text1")->isEnabled());
        // Choosing the entry opens the file again.
        apptest::child<QAction>(f, "lastFile")->trigger();
        QVERIFY(f->existingImageWindow()->hasPicture());
        QVERIFY(apptest::child<QLineEdit>(f, "Text1")->isEnabled());
        closeForm();
        QCOMPARE(stored(QStringLiteral("LastFile")), path);
        // A stored file that is gone leaves the entry empty.
        QFile::remove(path);
        f = openForm();
        QCOMPARE(apptest::child<QAction>(f, "lastFile")->text(), QStringLiteral("Пусто"));
        QVERIFY(!apptest::child<QAction>(f, "lastFile")->isEnabled());
    }

    void recentFilesNewestFirstAcrossRestarts()
    {
        clearSettings();
        QTemporaryDir dir;
        QStringList paths;
        for (int i = 0; i < 10; ++i)
            paths.append(apptest::writePicture(dir.filePath(QStringLiteral("pic%1.png").arg(i)), 20 + i, 10, "PNG"));
        MainWindow *f = openForm();
        for (const QString &p : paths)
            QVERIFY(f->loadPicture(p));
        auto shown = [](MainWindow *form) {
            QStringList names;
            QMenu *menu = apptest::child<QMenu>(form, "openMenu");
            Q_EMIT menu->aboutToShow();
            for (QAction *a : menu->actions()) {
                if (a->isVisible() && a->isEnabled() && !a->isSeparator() && a->objectName() != "pasteCommand")
                    names.append(a->text());
            }
            return names;
        };
        const QStringList newest = {"pic9.png", "pic8.png", "pic7.png", "pic6.png",
                                    "pic5.png", "pic4.png", "pic3.png", "pic2.png"};
        QCOMPARE(shown(f), newest);
        closeForm();
        QCOMPARE(stored(QStringLiteral("LastFile")), paths[9]);
        QCOMPARE(stored(QStringLiteral("RecentFile8")), paths[2]);

        // After a restart: the same list, without a file that is gone.
        QFile::remove(paths[5]);
        f = openForm();
        QCOMPARE(apptest::child<QAction>(f, "lastFile")->text(), QStringLiteral("pic9.png"));
        QStringList left = newest;
        left.removeAll(QStringLiteral("pic5.png"));
        QCOMPARE(shown(f), left);
        // Choosing an older entry opens it and brings it to the top.
        apptest::child<QAction>(f, "recentFile4")->trigger();
        QCOMPARE(f->existingImageWindow()->sourcePath(), paths[6]);
        QCOMPARE(f->existingImageWindow()->sourceImage().size(), QSize(26, 10));
        QCOMPARE(shown(f).first(), QStringLiteral("pic6.png"));
        closeForm();
        QCOMPARE(stored(QStringLiteral("LastFile")), paths[6]);
        QCOMPARE(stored(QStringLiteral("RecentFile2")), paths[9]);
        QCOMPARE(stored(QStringLiteral("RecentFile8")), QString());
    }

    // Ctrl+V and the open drop-down's last entry open a picture on the
    // clipboard as a file of the data folder, listed and reopened like any
    // other; a copied picture file opens itself; without a picture the
    // entry is disabled and Ctrl+V says so in the status bar.
    void pastingPicturesFromTheClipboard()
    {
        clearSettings();
        QDir(pastedPicturesFolder()).removeRecursively();
        MainWindow *f = openForm();
        QClipboard *clipboard = QGuiApplication::clipboard();
        QAction *entry = apptest::child<QAction>(f, "pasteCommand");
        QMenu *menu = apptest::child<QMenu>(f, "openMenu");
        QCOMPARE(menu->actions().last(), entry);
        QCOMPARE(entry->text(), QStringLiteral("Вставить из буфера обмена\tCtrl+V"));
        auto pressCtrlV = [f] { QTest::keyClick(f, Qt::Key_V, Qt::ControlModifier); };

        clipboard->setText(QStringLiteral("просто текст"));
        Q_EMIT menu->aboutToShow();
        QVERIFY(!entry->isEnabled());
        pressCtrlV();
        QCOMPARE(f->statusBar()->currentMessage(), QStringLiteral("В буфере обмена нет изображения."));
        QVERIFY(!f->existingImageWindow() || !f->existingImageWindow()->hasPicture());

        // The bytes of a copied picture.
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        QVERIFY(apptest::testPicture(64, 48).save(&png, "PNG"));
        auto *data = new QMimeData;
        data->setData(QStringLiteral("image/png"), png.data());
        data->setText(QStringLiteral("a browser's caption"));
        clipboard->setMimeData(data);
        QVERIFY(entry->isEnabled());
        pressCtrlV();
        QVERIFY(f->existingImageWindow()->hasPicture());
        const QString kept = f->existingImageWindow()->sourcePath();
        QCOMPARE(QFileInfo(kept).absolutePath(), pastedPicturesFolder());
        QVERIFY2(getName(kept).startsWith(QStringLiteral("буфер обмена ")), qPrintable(kept));
        QCOMPARE(apptest::readAll(kept), png.data());
        QCOMPARE(f->existingImageWindow()->sourceImage().size(), QSize(64, 48));
        QVERIFY(apptest::child<QLineEdit>(f, "Text1")->isEnabled());
        QCOMPARE(apptest::child<QAction>(f, "lastFile")->data().toString(), kept);
        // The same picture again is the same file.
        entry->trigger();
        QCOMPARE(f->existingImageWindow()->sourcePath(), kept);
        QCOMPARE(QDir(pastedPicturesFolder()).entryList(QDir::Files).size(), 1);

        // A file manager's copy of a picture file opens that file.
        const QString photo = apptest::writePicture(m_pics.filePath(QStringLiteral("фото.jpg")), 40, 30, "JPG");
        data = new QMimeData;
        data->setData(QStringLiteral("x-special/gnome-copied-files"),
                      "copy\n" + QUrl::fromLocalFile(photo).toEncoded());
        clipboard->setMimeData(data);
        pressCtrlV();
        QCOMPARE(f->existingImageWindow()->sourcePath(), photo);

        // Bytes the loader cannot read: the open error, nothing kept.
        data = new QMimeData;
        data->setData(QStringLiteral("image/bmp"), "BM not a picture");
        clipboard->setMimeData(data);
        QString said;
        apptest::closeNextMessage(&said);
        pressCtrlV();
        QVERIFY2(said.startsWith(QStringLiteral("Ошибка открытия файла буфер обмена ")), qPrintable(said));
        QCOMPARE(f->existingImageWindow()->sourcePath(), photo);
        QCOMPARE(QDir(pastedPicturesFolder()).entryList(QDir::Files), QStringList({QFileInfo(kept).fileName()}));

        // After a restart the pasted picture is in the recent files and opens
        // from there; once the list no longer names it, it is removed.
        closeForm();
        QVERIFY(QFileInfo::exists(kept));
        f = openForm();
        apptest::child<QAction>(f, "recentFile2")->trigger();
        QCOMPARE(f->existingImageWindow()->sourcePath(), kept);
        QCOMPARE(f->existingImageWindow()->sourceImage().size(), QSize(64, 48));
        for (int i = 0; i < 8; ++i)
            QVERIFY(f->loadPicture(
                apptest::writePicture(m_pics.filePath(QStringLiteral("more%1.png").arg(i)), 20, 20, "PNG")));
        closeForm();
        QVERIFY(!QFileInfo::exists(kept));
        clipboard->clear();
    }

    void droppingFiles()
    {
        clearSettings();
        MainWindow *f = openForm();
        QTemporaryDir dir;
        const QString txt = dir.filePath(QStringLiteral("notes.txt"));
        QFile(txt).open(QIODevice::WriteOnly);
        const QString gif = dir.filePath(QStringLiteral("PHOTO.GIF"));
        {
            QFile file(gif);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(testsupport::gifBytes(apptest::testPicture(40, 30)));
        }
        const QString second = apptest::writePicture(dir.filePath(QStringLiteral("second.bmp")), 70, 20, "BMP");

        auto drop = [f](const QStringList &files) {
            QMimeData data;
            QList<QUrl> urls;
            for (const QString &p : files)
                urls.append(QUrl::fromLocalFile(p));
            data.setUrls(urls);
            const QPoint at(f->width() / 2, f->height() / 2);
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(f, &enter);
            QDropEvent dropEvent(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(f, &dropEvent);
        };
        // Another type is refused with a word, not in silence.
        QString said;
        apptest::closeNextMessage(&said);
        drop({txt});
        QVERIFY2(said.contains(QStringLiteral("notes.txt")), qPrintable(said));
        QVERIFY(!f->existingImageWindow() || !f->existingImageWindow()->hasPicture());
        QVERIFY(!apptest::child<QLineEdit>(f, "Text1")->isEnabled());

        drop({gif, second});
        QVERIFY(f->existingImageWindow()->hasPicture());
        QCOMPARE(f->existingImageWindow()->sourceImage().size(), QSize(40, 30));
        QVERIFY(apptest::child<QLineEdit>(f, "Text1")->isEnabled());
        // The newer formats by their extensions too.
        for (const char *format : {"png", "webp", "tiff"}) {
            const QString path = dir.filePath(QStringLiteral("more.") + QLatin1String(format));
            QVERIFY(apptest::writePicture(path, 24, 18, format, 100) == path);
            drop({path});
            QCOMPARE(f->existingImageWindow()->sourceImage().size(), QSize(24, 18));
            QCOMPARE(f->existingImageWindow()->sourcePath(), path);
        }
    }

    void unreadableFileShowsTheMessageAndKeepsThePicture()
    {
        clearSettings();
        MainWindow *f = openForm();
        ImageWindow *pf = showAtFullSize(f, 64, 48);
        QVERIFY(pf);
        QTemporaryDir dir;
        const QString bad = dir.filePath(QStringLiteral("Broken.JPG"));
        {
            QFile file(bad);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("this is not a picture");
        }
        // A picture cut short: the first 300 bytes of a PNG.
        const QString cut = dir.filePath(QStringLiteral("cut.png"));
        {
            QFile file(cut);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QImage noisy(64, 64, QImage::Format_RGB32);
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 64; ++x)
                    noisy.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x * y) % 256));
            QByteArray png;
            QBuffer buffer(&png);
            QVERIFY(buffer.open(QIODevice::WriteOnly) && noisy.save(&buffer, "PNG"));
            file.write(png.left(300));
        }
        // The general text, then what the loader knows, on a line of its own.
        const QString general = QStringLiteral("Возможно Файл имеет формат отличный от BMP/JPEG/GIF/PNG/WebP/TIFF, "
                                               "имеет не поддерживаемую степень сжатия или превышает допустимые "
                                               "размеры.");
        const struct {
            QString path, name, cause;
        } cases[] = {
            {bad, QStringLiteral("broken.jpg"),
             QStringLiteral("Причина: это не изображение BMP, JPEG, GIF, PNG, WebP или TIFF.")},
            {cut, QStringLiteral("cut.png"),
             QStringLiteral("Причина: данные изображения повреждены или обрезаны (the file ends early).")},
        };
        for (const auto &c : cases) {
            QString text;
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            apptest::closeNextMessage(&text, &icon);
            QVERIFY(!f->loadPicture(c.path));
            QCOMPARE(text, QStringLiteral("Ошибка открытия файла %1.\r\n%2\r\n%3").arg(c.name, general, c.cause));
            QCOMPARE(icon, QMessageBox::Critical);
            // The earlier picture stays and is shown again.
            QVERIFY(pf->hasPicture());
            QCOMPARE(pf->sourceImage().size(), QSize(64, 48));
            QVERIFY(pf->isVisible());
        }
    }

    void couplingWithAWholeAspect()
    {
        clearSettings();
        MainWindow *f = openForm();
        QVERIFY(showAtFullSize(f, 400, 200));
        QCOMPARE(globals::ImageAspect, 2.0f);
        QCOMPARE(apptest::child<QLineEdit>(f, "Text1")->text(), QStringLiteral("800"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text2")->text(), QStringLiteral("200"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text4")->text(), QStringLiteral("285"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text5")->text(), QStringLiteral("142"));

        typeInto(apptest::child<QLineEdit>(f, "Text1"), QStringLiteral("160"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text2")->text(), QStringLiteral("40"));
        typeInto(apptest::child<QLineEdit>(f, "Text2"), QStringLiteral("50"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text1")->text(), QStringLiteral("200"));

        apptest::chooseMode(f, 1);
        typeInto(apptest::child<QLineEdit>(f, "Text4"), QStringLiteral("100"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text5")->text(), QStringLiteral("50"));
        typeInto(apptest::child<QLineEdit>(f, "Text5"), QStringLiteral("30"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text4")->text(), QStringLiteral("60"));

        // Without the proportional box the fields are independent.
        QTest::mouseClick(apptest::child<QCheckBox>(f, "Check2"), Qt::LeftButton, {},
                          QPoint(6, apptest::child<QCheckBox>(f, "Check2")->height() / 2));
        QVERIFY(!apptest::child<QCheckBox>(f, "Check2")->isChecked());
        typeInto(apptest::child<QLineEdit>(f, "Text4"), QStringLiteral("500"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text5")->text(), QStringLiteral("30"));
        // Text set by the program (not typed) does not couple either.
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("77"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text4")->text(), QStringLiteral("500"));
    }

    void couplingWithASinglePrecisionAspect()
    {
        clearSettings();
        MainWindow *f = openForm();
        QVERIFY(showAtFullSize(f, 400, 300));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text1")->text(), QStringLiteral("800"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text2")->text(), QStringLiteral("300"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text4")->text(), QStringLiteral("285"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text5")->text(), QStringLiteral("214"));
        typeInto(apptest::child<QLineEdit>(f, "Text1"), QStringLiteral("160"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text2")->text(), QStringLiteral("59"));
        typeInto(apptest::child<QLineEdit>(f, "Text2"), QStringLiteral("90"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text1")->text(), QStringLiteral("240"));
        apptest::chooseMode(f, 1);
        typeInto(apptest::child<QLineEdit>(f, "Text4"), QStringLiteral("100"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text5")->text(), QStringLiteral("74"));
        // Letters count as 0; an overflowing product leaves the partner.
        typeInto(apptest::child<QLineEdit>(f, "Text4"), QStringLiteral("abc"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text5")->text(), QStringLiteral("0"));
        // "9" gives 12; "9e9" and "9e99" overflow and keep it.
        typeInto(apptest::child<QLineEdit>(f, "Text5"), QStringLiteral("9e99"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text4")->text(), QStringLiteral("12"));
    }

    // Above the limits the proportional box keeps the picture's proportions:
    // the fields show at once what a run converts, both sizes clamped
    // together; unticked, each field has its own clamp. A run converts what
    // the fields show and writes back what it converted.
    void proportionsKeptAboveTheLimits()
    {
        clearSettings();
        MainWindow *f = openForm();
        ImageWindow *pf = showAtFullSize(f, 2000, 500);
        QVERIFY(pf);
        auto fields = [f] {
            QStringList texts;
            for (const char *name : {"Text1", "Text2", "Text4", "Text5"})
                texts.append(apptest::child<QLineEdit>(f, name)->text());
            return texts.join(u' ');
        };
        // 4000 x 500 characters, Int(2000 / 1.4) x Int(500 / 1.4) figures.
        QCOMPARE(fields(), QStringLiteral("1024 128 1024 256"));
        apptest::child<QCheckBox>(f, "Check1")->setChecked(false);
        apptest::child<QCheckBox>(f, "Check2")->setChecked(false);
        pf->chooseZoomItem(1); // 200 %
        QCOMPARE(pf->displaySize(), QSize(4000, 1000));
        QCOMPARE(fields(), QStringLiteral("1024 1000 1024 714"));

        apptest::child<QCheckBox>(f, "Check1")->setChecked(true);
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("3000"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("900"));
        QVERIFY(apptest::clickStartAndWait(f));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text1")->text(), QStringLiteral("1024"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text2")->text(), QStringLiteral("307"));
        QCOMPARE(globals::GridRows, 307);
    }

    void resizeKeepsTheHelpBarAtTheRight()
    {
        clearSettings();
        MainWindow *f = openForm();
        // At load: the mode frame starts 45 twips (3 pixels) before
        // position 6 and ends where position 13 starts; the progress bar
        // starts 120 twips (8 pixels) after position 17.
        auto *frame = apptest::child<QComboBox>(f, "ImageCombo1")->parentWidget();
        // Positions 1..17 of the main tool bar, in slots[0..16].
        QList<QWidget *> slots(17, nullptr);
        const auto children =
            apptest::child<QToolBar>(f, "Toolbar1")->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (QWidget *w : children) {
            const int position = w->property("position").toInt();
            if (position >= 1 && position <= 17)
                slots[position - 1] = w;
        }
        QVERIFY(!slots.contains(nullptr));
        QCOMPARE(frame->x(), slots[5]->x() - 3);
        QCOMPARE(frame->x() + frame->width(), slots[12]->x());
        QCOMPARE(apptest::child<Progress>(f, "Progress1")->x(), slots[16]->x() + 8);
        for (int w : {1000, 820}) {
            f->resize(w, 500);
            QTRY_COMPARE(f->width(), w);
            const QToolBar *help = apptest::child<QToolBar>(f, "Toolbar6");
            const int helpButtonLeft = help->x() + apptest::child<QToolButton>(f, "help")->x();
            // 330 twips plus the help button's width from the right edge.
            QCOMPARE(helpButtonLeft, w - apptest::child<QToolButton>(f, "help")->width() - 22);
            // The progress bar ends 15 twips (1 pixel) before the help bar.
            QCOMPARE(apptest::child<Progress>(f, "Progress1")->x() + apptest::child<Progress>(f, "Progress1")->width(),
                     helpButtonLeft - 1);
        }
    }

    void helpWithoutTheHelpFileWarns()
    {
        clearSettings();
        MainWindow *f = openForm();
        // A help file built beside the program is moved aside for the test.
        const QString help = MainWindow::helpFilePath();
        const QString aside = help + QStringLiteral(".aside");
        const bool hadHelp = QFileInfo::exists(help) && QFile::rename(help, aside);
        const auto restore = qScopeGuard([&] {
            if (hadHelp)
                QFile::rename(aside, help);
        });
        QVERIFY(!QFileInfo::exists(help));
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        apptest::closeNextMessage(&text, &icon);
        QTest::mouseClick(apptest::child<QToolButton>(f, "help"), Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(text, QStringLiteral("Файл справки отсутствует"));
        QCOMPARE(icon, QMessageBox::Warning);

        // The About window from the drop-down and by a right click.
        QString title;
        apptest::answerNextModal<QDialog>([&title](QDialog *d) {
            title = d->windowTitle();
            d->accept();
        });
        apptest::child<QMenu>(f, "helpMenu")->actions().at(1)->trigger();
        QCOMPARE(title, QStringLiteral("О программе"));
        title.clear();
        apptest::answerNextModal<QDialog>([&title](QDialog *d) {
            title = d->windowTitle() + d->findChild<QLabel *>(QStringLiteral("aboutVersion"))->text();
            d->accept();
        });
        QTest::mouseClick(apptest::child<QToolBar>(f, "Toolbar6"), Qt::RightButton, {}, QPoint(3, 3));
        QCOMPARE(title, QStringLiteral("О программеВерсия 1.0.29"));
    }

    void pickersOpenBelowTheBarsAndPickIntoTheButtons()
    {
        clearSettings();
        MainWindow *f = openForm();
        QVERIFY(showAtFullSize(f, 40, 40));
        QTest::mouseClick(apptest::child<QToolButton>(f, "color"), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(f->colorPicker());
        const int anchor = f->frameGeometry().top() + (f->frameGeometry().height() - f->height()) +
                           apptest::child<QToolBar>(f, "Toolbar1")->height() +
                           apptest::child<QToolBar>(f, "Toolbar2")->height();
        QCOMPARE(f->colorPicker()->y(), anchor - 7);
        auto *picker = static_cast<ColorPicker *>(f->colorPicker());
        QTest::mouseClick(picker->paletteButton(17), Qt::LeftButton, {}, QPoint(4, 4));
        QCOMPARE(f->colorSwatchIndex(), 17);
        QCOMPARE(f->textColor(), paletteColors()[16]);

        apptest::chooseMode(f, 1);
        QTest::mouseClick(apptest::child<QToolButton>(f, "figure"), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(f->figurePicker());
        QCOMPARE(f->figurePicker()->x(), f->frameGeometry().left() + 4);
        auto *figures = static_cast<FigurePicker *>(f->figurePicker());
        const int last = figures->labelCount() - 1;
        QTest::mouseClick(figures->label(last), Qt::LeftButton, {}, QPoint(4, 4));
        QCOMPARE(f->figureKey(), QStringLiteral("k%1").arg(figures->codeOf(last)));
        QCOMPARE(f->figureFamily(), figures->familyOf(last));
        QTRY_VERIFY(!f->figurePicker());

        // Activating the main window again dismisses an open picker.
        QTest::mouseClick(apptest::child<QToolButton>(f, "figure"), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(f->figurePicker());
        f->figurePicker()->activateWindow();
        QTRY_VERIFY(f->figurePicker()->isActiveWindow());
        f->activateWindow();
        QTRY_VERIFY(!f->figurePicker());
    }
};

TESSILOR_APP_TEST_MAIN(TestMainWindow)

#include "test_mainwindow.moc"
