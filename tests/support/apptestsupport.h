#pragma once
// Shared set-up of the desktop program's widget tests: a private home with
// its own settings, data and runtime folders, pictures written to disk, and
// helpers that answer the modal dialogs the program opens.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>

#include "app/globals.h"
#include "app/mainwindow.h"
#include "art/fontfaces.h"
#include "base/paths.h"
#include "fonts/fontmodule.h"
#include "platform/desktopapps.h"
#include "platform/qttexts.h"
#include "support/findchild.h"
#include "support/privatefontconfig.h"

namespace apptest {

// Points HOME and the XDG folders into dir; call before QApplication.
inline void isolateHome(const QString &dir)
{
    const QByteArray d = QFile::encodeName(dir);
    qputenv("HOME", d);
    qputenv("XDG_CONFIG_HOME", d + "/config");
    qputenv("XDG_DATA_HOME", d + "/data");
    qputenv("XDG_CACHE_HOME", d + "/cache");
    QDir().mkpath(dir + QStringLiteral("/runtime"));
    QFile::setPermissions(dir + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", d + "/runtime");
    // fontconfig keeps its caches below dir too: a test that runs short of
    // memory must not leave a broken cache in the system's folder.
    qputenv("FONTCONFIG_FILE", QFile::encodeName(testsupport::writePrivateFontconfig(dir)));
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

// While it lives, the desktop's opener finds an application for RTF files
// only when withRtfApplication: the system's folders of applications and
// their settings are replaced by empty ones (and the desktop session is
// hidden, so that xdg-mime looks there), and with an application its entry
// is written into the user's applications. Its command is `true`. The word
// processors the program looks for on PATH are hidden too, unless
// withWordProcessors: PATH is then a folder of links to every other program
// of the PATH before.
class DesktopApplications
{
public:
    explicit DesktopApplications(bool withRtfApplication, bool withWordProcessors = false)
    {
        m_saved.append({"PATH", qgetenv("PATH"), qEnvironmentVariableIsSet("PATH")});
        if (!withWordProcessors) {
            const QString bin = m_empty.filePath(QStringLiteral("bin"));
            QDir().mkpath(bin);
            const QStringList hidden = tessilor::wordProcessorNames();
            for (const QString &folder : QString::fromLocal8Bit(qgetenv("PATH")).split(u':', Qt::SkipEmptyParts)) {
                for (const QFileInfo &program : QDir(folder).entryInfoList(QDir::Files | QDir::Executable)) {
                    if (!hidden.contains(program.fileName()))
                        QFile::link(program.absoluteFilePath(), bin + u'/' + program.fileName());
                }
            }
            qputenv("PATH", QFile::encodeName(bin));
        }
        for (const char *name : {"XDG_DATA_DIRS", "XDG_CONFIG_DIRS", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION",
                                 "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID", "DBUS_SESSION_BUS_ADDRESS"}) {
            m_saved.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
            qunsetenv(name);
        }
        // The system's data folders less their applications: the programs
        // started keep their schemas, icons and themes.
        const QString data = m_empty.filePath(QStringLiteral("data"));
        QDir().mkpath(data);
        QString systemData;
        for (const Saved &saved : std::as_const(m_saved))
            if (qstrcmp(saved.name, "XDG_DATA_DIRS") == 0 && saved.set)
                systemData = QString::fromLocal8Bit(saved.value);
        if (systemData.isEmpty())
            systemData = QStringLiteral("/usr/local/share:/usr/share");
        for (const QString &folder : systemData.split(u':', Qt::SkipEmptyParts)) {
            for (const QFileInfo &entry : QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
                if (entry.fileName() != QLatin1String("applications"))
                    QFile::link(entry.absoluteFilePath(), data + u'/' + entry.fileName());
            }
        }
        qputenv("XDG_DATA_DIRS", QFile::encodeName(data));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(m_empty.filePath(QStringLiteral("config"))));
        m_entry = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) +
                  QStringLiteral("/applications/tessilor-test-writer.desktop");
        QFile::remove(m_entry);
        if (withRtfApplication) {
            QDir().mkpath(QFileInfo(m_entry).path());
            QFile f(m_entry);
            if (f.open(QIODevice::WriteOnly))
                f.write("[Desktop Entry]\nType=Application\nName=Test writer\nExec=true %f\n"
                        "MimeType=text/rtf;application/rtf;\n");
        }
    }
    ~DesktopApplications()
    {
        QFile::remove(m_entry);
        for (const Saved &s : m_saved) {
            if (s.set)
                qputenv(s.name, s.value);
            else
                qunsetenv(s.name);
        }
    }
    DesktopApplications(const DesktopApplications &) = delete;
    DesktopApplications &operator=(const DesktopApplications &) = delete;

private:
    struct Saved {
        const char *name;
        QByteArray value;
        bool set;
    };
    QTemporaryDir m_empty;
    QString m_entry;
    QList<Saved> m_saved;
};

inline QString iniPath()
{
    return QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/Quar_Programming.ini");
}

// A picture with a left-to-right grey ramp and a dark square, so every
// conversion has light and dark cells.
inline QImage testPicture(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int g = w > 1 ? 255 * x / (w - 1) : 128;
            line[x] = qRgb(g, (g + y) % 256, 255 - g);
        }
    }
    QPainter p(&img);
    p.fillRect(QRect(w / 4, h / 4, w / 4, h / 4), Qt::black);
    return img;
}

inline QString writePicture(const QString &path, int w, int h, const char *format, int quality = -1)
{
    const bool ok = testPicture(w, h).save(path, format, quality);
    return ok ? path : QString();
}

// Runs answer on the next modal dialog of type T that appears within
// timeoutMs. The answer must close the dialog. A watch still waiting when
// the test ends goes with the application.
template<typename T>
void answerNextModal(std::function<void(T *)> answer, int timeoutMs = 10000)
{
    auto *timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, elapsed = 0, answer, timeoutMs]() mutable {
        elapsed += 20;
        if (auto *dlg = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(dlg);
            return;
        }
        if (elapsed > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// Records the text of the next message box and closes it.
inline void closeNextMessage(QString *text, QMessageBox::Icon *icon = nullptr)
{
    answerNextModal<QMessageBox>([text, icon](QMessageBox *box) {
        if (text)
            *text = box->text();
        if (icon)
            *icon = box->icon();
        box->done(QMessageBox::Ok);
    });
}

// Types fullPath into the next file dialog and confirms it.
inline void chooseInNextFileDialog(const QString &fullPath)
{
    answerNextModal<QFileDialog>([fullPath](QFileDialog *dlg) {
        dlg->setDirectory(QFileInfo(fullPath).absolutePath());
        auto *edit = dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (edit) {
            // selectFile() clears the list's selection: a name the dialog
            // proposed is selected there, and typing without the focus in
            // the field (as here) would leave it selected, so it would win
            // over the name typed.
            dlg->selectFile(QFileInfo(fullPath).fileName());
            edit->setText(QFileInfo(fullPath).fileName());
            QTest::keyClick(edit, Qt::Key_Return);
        } else {
            dlg->selectFile(fullPath);
            QMetaObject::invokeMethod(dlg, "accept");
        }
    });
}

inline void cancelNextFileDialog()
{
    answerNextModal<QFileDialog>([](QFileDialog *dlg) { dlg->reject(); });
}

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

// Shows a new main window in form as a start shows it (at its stored place),
// the settings cleared first unless keepSettings; null when it does not come
// on screen or, with active, does not get the focus.
inline tessilor::MainWindow *startMainWindow(std::unique_ptr<tessilor::MainWindow> &form, bool keepSettings = false,
                                             bool active = true)
{
    if (!keepSettings)
        QSettings(iniPath(), QSettings::IniFormat).clear();
    form = std::make_unique<tessilor::MainWindow>();
    form->showAsStored();
    form->activateWindow();
    if (!QTest::qWaitForWindowExposed(form.get()) || (active && !QTest::qWaitForWindowActive(form.get())))
        return nullptr;
    return form.get();
}

// A main window as a test starts with it: the settings cleared, shown and
// active.
inline std::unique_ptr<tessilor::MainWindow> openMainWindow()
{
    std::unique_ptr<tessilor::MainWindow> form;
    if (!startMainWindow(form))
        qWarning("main window did not become active");
    return form;
}

// Keeps the caret from blinking while the returned guard lives, so that two
// pictures of a window can be compared.
[[nodiscard]] inline auto steadyCaret()
{
    const int flash = QApplication::cursorFlashTime();
    QApplication::setCursorFlashTime(0);
    return qScopeGuard([flash] { QApplication::setCursorFlashTime(flash); });
}

// Picks a mode in the mode list as the user does (0 text, 1 figures).
inline void chooseMode(tessilor::MainWindow *f, int index)
{
    child<QComboBox>(f, "ImageCombo1")->setCurrentIndex(index);
    f->modeChosen();
}

// Closes a test's main window, as the user would, and lets it go.
inline void closeMainWindow(std::unique_ptr<tessilor::MainWindow> &form)
{
    if (form)
        form->close();
    form.reset();
}

// Clicks the start button and waits until the run has ended.
inline bool clickStartAndWait(tessilor::MainWindow *f, int timeoutMs = 60000)
{
    QSignalSpy finished(f, &tessilor::MainWindow::runFinished);
    QTest::mouseClick(child<QToolButton>(f, "go"), Qt::LeftButton, {}, QPoint(8, 8));
    return finished.count() > 0 || finished.wait(timeoutMs);
}

// The main of a desktop widget test program: a private home, the program's
// name, font substitutions and paths, then the test functions of T. With
// platform "xcb" the tests run on the real X server (see tests/x11) and fail
// at once on any other.
template<typename T>
int runAppTests(int argc, char **argv, const char *platform = "offscreen")
{
    QTemporaryDir home;
    isolateHome(home.path());
    qputenv("QT_QPA_PLATFORM", platform);
    QApplication::setApplicationName(QStringLiteral("tessilor"));
    QApplication app(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String(platform)) {
        qCritical("these tests need the %s platform", platform);
        return 1;
    }
    tessilor::installFontSubstitutions();
    tessilor::useRussianQtTexts();
    tessilor::globals::initPaths(tessilor::dataFolder(), tessilor::programFilesFolder());
    T tests;
    return QTest::qExec(&tests, argc, argv);
}

} // namespace apptest

#define TESSILOR_APP_TEST_MAIN(TestClass)                                                                              \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        return apptest::runAppTests<TestClass>(argc, argv);                                                            \
    }
// The X11 tests: run them under tests/x11/run-xvfb.sh.
#define TESSILOR_X11_TEST_MAIN(TestClass)                                                                              \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        return apptest::runAppTests<TestClass>(argc, argv, "xcb");                                                     \
    }
