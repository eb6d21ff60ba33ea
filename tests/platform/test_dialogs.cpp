// The file and colour dialogs driven like a user would: the dialog is found
// while it runs modally, a name or colour is typed and the dialog accepted.
#include "platform/comdlgandfuncs.h"
#include "platform/folders.h"
#include "platform/qttexts.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTreeView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

using namespace tessilor;

namespace {

// Runs step on the modal widget of type T as soon as it is shown. Several
// steps can be chained for nested dialogs.
template<typename T>
void whenModal(std::function<void(T *)> step, int attempts = 200)
{
    QTimer::singleShot(20, [step, attempts] {
        T *w = qobject_cast<T *>(QApplication::activeModalWidget());
        if (w && w->isVisible()) {
            QPointer<T> guard(w);
            step(w);
            // A failed check inside the step must not leave the dialog
            // waiting for input.
            if (QTest::currentTestFailed() && guard && guard->isVisible())
                guard->reject();
            return;
        }
        if (attempts > 0)
            whenModal<T>(step, attempts - 1);
        else
            qWarning("no modal dialog appeared");
    });
}

void touch(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write("x");
}

void typeName(QFileDialog *dlg, const QString &text)
{
    auto *edit = dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    // The dialog lists its folder in the background and updates the name
    // field and selection when the listing arrives; a user types once the
    // folder is shown.
    auto *model = dlg->findChild<QFileSystemModel *>();
    QVERIFY(model);
    const QModelIndex folder = model->index(dlg->directory().absolutePath());
    QTRY_VERIFY(model->rowCount(folder) > 0);
    QTest::qWait(50);
    edit->clear();
    QTest::keyClicks(edit, text);
    if (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
}

void clickAccept(QDialog *dlg)
{
    auto *box = dlg->findChild<QDialogButtonBox *>();
    QVERIFY(box);
    QPushButton *ok = box->button(QDialogButtonBox::Open);
    if (!ok)
        ok = box->button(QDialogButtonBox::Save);
    if (!ok)
        ok = box->button(QDialogButtonBox::Ok);
    QVERIFY(ok);
    QTRY_VERIFY(ok->isEnabled());
    QTest::mouseClick(ok, Qt::LeftButton);
}

FilterTable imageFilters()
{
    FilterTable t;
    t.entries = {
        {QStringLiteral("Изображение (Jpeg, Bmp, Gif)"), QStringLiteral("*.jpg;*.jpe;*.jpeg;*.bmp;*.dib;*.gif")},
        {},
        {}};
    return t;
}

FilterTable saveFilters()
{
    FilterTable t;
    t.entries = {{QStringLiteral("Документы RichText  (*.rtf)"), QStringLiteral("*.rtf")},
                 {QStringLiteral("Текстовые файлы (*.txt)"), QStringLiteral("*.txt")}};
    return t;
}

} // namespace

class DialogsTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        // The dialogs are used once their folder has been listed; a
        // subfolder is listed whatever the file type filter.
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("Архив"))));
    }

    void openDialogTakesATypedName()
    {
        // A folder with a Cyrillic name; the typed name itself is ASCII
        // because simulated key presses carry ASCII only.
        const QString folder = m_dir.filePath(QStringLiteral("Картинки"));
        QVERIFY(QDir().mkpath(folder));
        touch(folder + QStringLiteral("/cat.jpg"));
        touch(folder + QStringLiteral("/b.gif"));
        QString title, filter, accept, startDir;
        whenModal<QFileDialog>([&](QFileDialog *dlg) {
            title = dlg->windowTitle();
            filter = dlg->nameFilters().value(0);
            accept = dlg->labelText(QFileDialog::Accept);
            startDir = dlg->directory().absolutePath();
            typeName(dlg, QStringLiteral("cat.jpg"));
            clickAccept(dlg);
        });
        const FileDialogAnswer answer = ShowFileDialog(1, folder, imageFilters(), QString(), nullptr);
        QVERIFY(answer.confirmed());
        QCOMPARE(title, QStringLiteral("Открыть файл"));
        QCOMPARE(filter, QStringLiteral("Изображение (Jpeg, Bmp, Gif) (*.jpg *.jpe *.jpeg *.bmp *.dib *.gif)"));
        QCOMPARE(accept, QStringLiteral("Открыть"));
        QCOMPARE(startDir, folder);
        QCOMPARE(answer.files, QStringList({folder + QStringLiteral("/cat.jpg")}));
        QCOMPARE(answer.file(), folder + QStringLiteral("/cat.jpg"));
        QCOMPARE(answer.filter, filter);
    }

    void openDialogTakesSeveralFiles()
    {
        touch(m_dir.filePath("one.bmp"));
        touch(m_dir.filePath("two.bmp"));
        whenModal<QFileDialog>([&](QFileDialog *dlg) {
            typeName(dlg, QStringLiteral("\"one.bmp\" \"two.bmp\""));
            clickAccept(dlg);
        });
        QStringList files = ShowFileDialog(1, m_dir.path(), imageFilters(), QString(), nullptr).files;
        files.sort();
        QCOMPARE(files, QStringList({m_dir.filePath("one.bmp"), m_dir.filePath("two.bmp")}));
    }

    void cancelledDialogEmptiesTheFolderAndNames()
    {
        whenModal<QFileDialog>([](QFileDialog *dlg) { dlg->reject(); });
        const FileDialogAnswer answer = ShowFileDialog(1, m_dir.path(), FilterTable(), QString(), nullptr);
        QVERIFY(!answer.confirmed());
        QVERIFY(answer.files.isEmpty());
        QVERIFY(answer.file().isEmpty());
    }

    void emptyFilterTableOffersAllFiles()
    {
        QStringList filters;
        whenModal<QFileDialog>([&](QFileDialog *dlg) {
            filters = dlg->nameFilters();
            dlg->reject();
        });
        ShowFileDialog(1, m_dir.path(), FilterTable(), QString(), nullptr);
        QCOMPARE(filters, QStringList({QStringLiteral("Все файлы (*.*)")}));
    }

    void saveDialogAddsTheChosenTypesExtension()
    {
        QString title;
        QStringList filters;
        whenModal<QFileDialog>([&](QFileDialog *dlg) {
            title = dlg->windowTitle();
            filters = dlg->nameFilters();
            // Choose the second type, as a user does with the combo box.
            auto *types = dlg->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
            QVERIFY(types);
            QCOMPARE(types->currentIndex(), 0);
            QTest::keyClick(types, Qt::Key_Down);
            QCOMPARE(types->currentIndex(), 1);
            typeName(dlg, QStringLiteral("result"));
            clickAccept(dlg);
        });
        FileDialogAnswer answer = ShowFileDialog(2, m_dir.path(), saveFilters(), QStringLiteral("txt"), nullptr);
        QVERIFY(answer.confirmed());
        QCOMPARE(title, QStringLiteral("Сохранить файл"));
        QCOMPARE(filters, QStringList({QStringLiteral("Документы RichText (*.rtf)"),
                                       QStringLiteral("Текстовые файлы (*.txt)")}));
        QCOMPARE(answer.files, QStringList({m_dir.filePath("result.txt")}));
        QCOMPARE(answer.filter, QStringLiteral("Текстовые файлы (*.txt)"));

        // The first type is rich text.
        whenModal<QFileDialog>([&](QFileDialog *dlg) {
            typeName(dlg, QStringLiteral("picture"));
            clickAccept(dlg);
        });
        answer = ShowFileDialog(2, m_dir.path(), saveFilters(), QStringLiteral("txt"), nullptr);
        QCOMPARE(answer.files, QStringList({m_dir.filePath("picture.rtf")}));
        QCOMPARE(answer.filter, QStringLiteral("Документы RichText (*.rtf)"));
    }

    void saveDialogAsksBeforeReplacingAFile()
    {
        touch(m_dir.filePath("exists.txt"));
        QString question;
        bool stillOpen = false;
        // Answer "Нет": the file dialog stays open; then cancel it.
        whenModal<QFileDialog>([&](QFileDialog *dlg) {
            whenModal<QMessageBox>([&, dlg](QMessageBox *box) {
                question = box->text();
                QAbstractButton *no = nullptr;
                for (QAbstractButton *b : box->buttons())
                    if (b->text() == QStringLiteral("Нет"))
                        no = b;
                QVERIFY(no);
                QTest::mouseClick(no, Qt::LeftButton);
                QTimer::singleShot(50, dlg, [&, dlg] {
                    stillOpen = dlg->isVisible();
                    dlg->reject();
                });
            });
            typeName(dlg, QStringLiteral("exists.txt"));
            clickAccept(dlg);
        });
        QVERIFY(!ShowFileDialog(2, m_dir.path(), saveFilters(), QStringLiteral("txt"), nullptr).confirmed());
        QVERIFY(stillOpen);
        QVERIFY(question.contains(QStringLiteral("exists.txt")));

        // Answer "Да": the name is taken.
        whenModal<QFileDialog>([&](QFileDialog *dlg) {
            whenModal<QMessageBox>([](QMessageBox *box) {
                for (QAbstractButton *b : box->buttons())
                    if (b->text() == QStringLiteral("Да"))
                        QTest::mouseClick(b, Qt::LeftButton);
            });
            typeName(dlg, QStringLiteral("exists.txt"));
            clickAccept(dlg);
        });
        QCOMPARE(ShowFileDialog(2, m_dir.path(), saveFilters(), QStringLiteral("txt"), nullptr).files,
                 QStringList({m_dir.filePath("exists.txt")}));
    }

    // Runs first among the colour tests: the custom colours start at 0.
    void colorDialogAcceptedWithATypedColour()
    {
        QCOMPARE(CustomColors[0], 0u);
        QColor shownColor, firstCustom;
        whenModal<QColorDialog>([&](QColorDialog *dlg) {
            shownColor = dlg->currentColor();
            firstCustom = QColorDialog::customColor(0);
            QLineEdit *html = nullptr;
            for (QLineEdit *e : dlg->findChildren<QLineEdit *>())
                if (e->text().startsWith(u'#'))
                    html = e;
            QVERIFY(html);
            html->selectAll();
            QTest::keyClicks(html, QStringLiteral("#00ff80"));
            QTest::keyClick(html, Qt::Key_Tab);
            clickAccept(dlg);
        });
        quint32 color = 255;
        QVERIFY(ShowColorDialog(color, nullptr));
        QCOMPARE(shownColor, QColor(255, 0, 0));
        QCOMPARE(firstCustom, QColor(255, 0, 0));
        QCOMPARE(color, quint32(0 + 256 * 255 + 65536 * 128));
        QCOMPARE(CustomColors[0], 255u);
    }

    void colorDialogCancelledKeepsTheColour()
    {
        CustomColors[0] = 255;
        whenModal<QColorDialog>([](QColorDialog *dlg) {
            dlg->setCurrentColor(Qt::blue);
            dlg->reject();
        });
        quint32 color = 0x123456;
        QVERIFY(!ShowColorDialog(color, nullptr));
        QCOMPARE(color, 0x123456u);
        QCOMPARE(CustomColors[0], 255u); // the first colour stays
    }

    // Whatever the system's locale (here C): Qt's texts in the dialog are
    // Russian, the list's types, sizes and dates are as a Russian locale
    // writes them, and the dialog opens wide enough for its columns to show
    // them whole, within its screen.
    void fileListSpeaksRussianAndShowsItWhole()
    {
        const QString folder = m_dir.filePath(QStringLiteral("Список"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/Подпапка")));
        const QString photo = folder + QStringLiteral("/a photograph with a rather long name, taken in winter.jpg");
        {
            QFile f(photo);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("\xff\xd8\xff\xe0") + QByteArray(723000 - 4, '\0'));
            QVERIFY(f.setFileTime(QDateTime(QDate(2026, 12, 9), QTime(11, 56)), QFileDevice::FileModificationTime));
        }
        QStringList rows, latin, cut;
        QSize size, screen;
        whenModal<QFileDialog>([&](QFileDialog *dlg) {
            auto *tree = dlg->findChild<QTreeView *>(QStringLiteral("treeView"));
            QVERIFY(tree);
            QAbstractItemModel *list = tree->model();
            QTRY_COMPARE(list->rowCount(tree->rootIndex()), 2);
            QHeaderView *header = tree->header();
            QStyleOptionViewItem option;
            option.initFrom(tree->viewport());
            const int icon = tree->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, tree);
            option.decorationSize = QSize(icon, icon);
            // Every text of a row whole in its column.
            auto whole = [&](const QModelIndex &i) {
                return tree->itemDelegateForIndex(i)->sizeHint(option, i).width() <= header->sectionSize(i.column());
            };
            auto allWhole = [&] {
                for (int r = 0; r < 2; ++r)
                    for (int c = 0; c < 4; ++c)
                        if (!whole(list->index(r, c, tree->rootIndex())))
                            return false;
                return true;
            };
            QTRY_VERIFY_WITH_TIMEOUT(allWhole() || (QTest::qWait(0), false), 3000);
            for (int r = 0; r < 2; ++r) {
                QStringList cells;
                for (int c = 0; c < 4; ++c) {
                    const QModelIndex i = list->index(r, c, tree->rootIndex());
                    cells.append(i.data().toString());
                    if (!whole(i))
                        cut.append(cells.last());
                }
                rows.append(cells.join(u'|'));
            }
            QStringList headers;
            for (int c = 0; c < 4; ++c)
                headers.append(list->headerData(c, Qt::Horizontal).toString());
            rows.prepend(headers.join(u'|'));
            // No English left on the dialog's labels, buttons and tooltips.
            static const QRegularExpression letters(QStringLiteral("[A-Za-z]"));
            for (QWidget *w : dlg->findChildren<QWidget *>()) {
                QString text;
                if (auto *label = qobject_cast<QLabel *>(w))
                    text = label->text();
                else if (auto *button = qobject_cast<QAbstractButton *>(w))
                    text = button->text();
                for (const QString &t : {text, w->toolTip()})
                    if (w->isVisible() && t.contains(letters))
                        latin.append(w->objectName() + QStringLiteral(": ") + t);
            }
            size = dlg->frameGeometry().size();
            screen = dlg->screen()->availableGeometry().size();
            dlg->reject();
        });
        QVERIFY(!ShowFileDialog(1, folder, FilterTable(), QString(), nullptr).confirmed());
        QCOMPARE(rows, QStringList({QStringLiteral("Имя|Размер|Тип|Дата изменения"),
                                    QStringLiteral("Подпапка||Папка|") +
                                        dialogFileTime(QFileInfo(folder + QStringLiteral("/Подпапка")).lastModified()),
                                    QStringLiteral("a photograph with a rather long name, taken in winter.jpg|706,05 "
                                                   "КиБ|Изображение JPEG|9 дек. 2026 11:56")}));
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
        QVERIFY2(latin.isEmpty(), qPrintable(latin.join(u'\n')));
        QVERIFY(screen.expandedTo(size) == screen);
    }

    void desktopFolder()
    {
        const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        QDir().mkpath(desktop);
        QCOMPARE(GetSpecialFolder(CSIDL_DESKTOPDIRECTORY), QDir::cleanPath(desktop));
        QCOMPARE(GetSpecialFolder(CSIDL_DESKTOP), QDir::cleanPath(desktop));
        QVERIFY(GetSpecialFolder(12345).isEmpty());
    }
};

int main(int argc, char **argv)
{
    // A private home keeps the desktop folder and Qt's dialog settings away
    // from the user's own.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    qunsetenv("XDG_DESKTOP_DIR");
    QApplication app(argc, argv);
    // As the desktop program does.
    useRussianQtTexts();
    DialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_dialogs.moc"
