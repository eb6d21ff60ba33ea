// The desktop program on a small screen (1024 x 700) with a window manager
// (openbox), driven from outside as a user drives it: the real program and
// its saved settings, keys pressed through the X server (xdotool), window
// places read from the X server (xwininfo, xprop), the clipboard read by
// another client (xclip) and the screen grabbed by ImageMagick's import.
// The grabs are kept as PNGs in the folder TESSILOR_X11_SHOTS names.
#include "support/apptestsupport.h"
#include "support/screengrab.h"

#include "app/mainwindow.h"
#include "view/imagewindow.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <memory>

using namespace tessilor;

namespace {

// A tool of the X server's, run to its end; its standard output.
QByteArray runTool(const QString &program, const QStringList &arguments, int timeoutMs = 20000)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return QByteArray();
    }
    return p.readAllStandardOutput();
}

// The numbers in a tool's answer, in order.
QList<int> numbers(const QByteArray &text)
{
    static const QRegularExpression number(QStringLiteral("-?\\d+"));
    QList<int> found;
    for (const QRegularExpressionMatch &m : number.globalMatch(QString::fromLatin1(text)))
        found.append(m.captured().toInt());
    return found;
}

// The whole screen as the X server has it, grabbed by another client.
void shoot(const QString &name)
{
    const QString dir = QString::fromLocal8Bit(qgetenv("TESSILOR_X11_SHOTS"));
    if (!dir.isEmpty() && QDir().mkpath(dir))
        runTool(QStringLiteral("import"),
                {QStringLiteral("-window"), QStringLiteral("root"), dir + u'/' + name + QStringLiteral(".png")});
}

// The area the window manager leaves to windows (_NET_WORKAREA).
QRect workArea()
{
    const QList<int> n =
        numbers(runTool(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_WORKAREA")}));
    return n.size() >= 4 ? QRect(n[0], n[1], n[2], n[3]) : QRect();
}

// A window with the frame the window manager put around it: the client's
// place on the screen and the frame's extents (left, right, top, bottom).
// Null while the window has no frame yet.
QRect framedWindow(const QString &window)
{
    const QByteArray info = runTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    static const QRegularExpression field(QStringLiteral("(Absolute upper-left X|Absolute upper-left Y|Width|"
                                                         "Height):\\s+(-?\\d+)"));
    QMap<QString, int> values;
    for (const QRegularExpressionMatch &m : field.globalMatch(QString::fromLatin1(info)))
        values[m.captured(1)] = m.captured(2).toInt();
    const QList<int> e = numbers(
        runTool(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_FRAME_EXTENTS")}));
    if (values.size() < 4 || e.size() < 4)
        return QRect();
    return QRect(values[QStringLiteral("Absolute upper-left X")] - e[0],
                 values[QStringLiteral("Absolute upper-left Y")] - e[2], values[QStringLiteral("Width")] + e[0] + e[1],
                 values[QStringLiteral("Height")] + e[2] + e[3]);
}

// A home of its own for one start of the real program.
struct ProgramHome {
    QTemporaryDir dir;

    QString ini() const { return dir.filePath(QStringLiteral("config/Quar_Programming.ini")); }
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("runtime")));
        QDir().mkpath(dir.filePath(QStringLiteral("runtime")));
        QFile::setPermissions(dir.filePath(QStringLiteral("runtime")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return env;
    }
};

} // namespace

class TestX11SmallScreen : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_pics;
    std::unique_ptr<MainWindow> m_form;

private Q_SLOTS:
    void cleanup() { apptest::closeMainWindow(m_form); }

    // A geometry saved on a 1600 x 1000 screen, hostile sizes and a place on
    // a screen that is gone: on this 1024 x 700 screen the whole main
    // window, its frame included, lies in the area the window manager
    // leaves to windows.
    void restoredWindowFitsTheSmallScreen()
    {
        const QRect area = workArea();
        QCOMPARE(area, QRect(0, 0, 1024, 700));
        struct Case {
            QString name;
            QStringList settings; // key, value, ...
        };
        const QList<Case> cases = {
            {QStringLiteral("from-a-big-screen"), {}},
            {QStringLiteral("hostile-sizes"),
             {QStringLiteral("Height"), QStringLiteral("-5000"), QStringLiteral("Width"), QStringLiteral("-99999999"),
              QStringLiteral("Top"), QStringLiteral("-1e9")}},
            {QStringLiteral("screen-gone"),
             {QStringLiteral("Left"), QStringLiteral("25500"), QStringLiteral("Top"), QStringLiteral("1500"),
              QStringLiteral("Width"), QStringLiteral("12900"), QStringLiteral("Height"), QStringLiteral("7800")}},
        };
        int shot = 0;
        for (const Case &c : cases) {
            ProgramHome home;
            QVERIFY(home.dir.isValid());
            if (c.settings.isEmpty()) {
                // A session on a 1600 x 1000 screen of its own: the window
                // made large there, then the program ended as a session
                // ends it.
                QProcess big;
                QProcessEnvironment env = home.environment();
                env.insert(QStringLiteral("TESSILOR_XVFB_SCREEN"), QStringLiteral("1600x1000"));
                env.insert(QStringLiteral("TESSILOR_XVFB_WM"), QStringLiteral("openbox"));
                big.setProcessEnvironment(env);
                const QString session = QStringLiteral(
                    "\"$0\" & pid=$!; "
                    "wid=$(xdotool search --sync --onlyvisible --pid $pid | head -n 1); "
                    "sleep 1; xdotool windowsize \"$wid\" 1500 900; xdotool windowmove \"$wid\" 40 30; sleep 1; "
                    "[ -n \"$1\" ] && import -window root \"$1\"; "
                    "kill -TERM $pid; wait $pid");
                const QString shotDir = QString::fromLocal8Bit(qgetenv("TESSILOR_X11_SHOTS"));
                big.start(QStringLiteral(TESSILOR_RUN_XVFB),
                          {QStringLiteral("sh"), QStringLiteral("-c"), session, QStringLiteral(TESSILOR_APP_PATH),
                           shotDir.isEmpty() ? QString() : shotDir + QStringLiteral("/70-on-a-big-screen.png")});
                QVERIFY(big.waitForFinished(60000));
                QCOMPARE(big.exitCode(), 0);
                const QSettings saved(home.ini(), QSettings::IniFormat);
                // Saved by the window on the big screen (twips).
                QVERIFY2(saved.value(QStringLiteral("ImageTessilor/Width")).toDouble() >= 1400 * 15,
                         qPrintable(saved.value(QStringLiteral("ImageTessilor/Width")).toString()));
                QVERIFY(saved.value(QStringLiteral("ImageTessilor/Height")).toDouble() >= 800 * 15);
            } else {
                QDir().mkpath(QFileInfo(home.ini()).path());
                QSettings stored(home.ini(), QSettings::IniFormat);
                for (int i = 0; i + 1 < c.settings.size(); i += 2)
                    stored.setValue(QStringLiteral("ImageTessilor/") + c.settings[i], c.settings[i + 1]);
            }

            QProcess program;
            program.setProcessEnvironment(home.environment());
            program.start(QStringLiteral(TESSILOR_APP_PATH), {});
            QVERIFY(program.waitForStarted(10000));
            const QString window = QString::fromLatin1(
                runTool(QStringLiteral("xdotool"),
                        {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                         QStringLiteral("--pid"), QString::number(program.processId())})
                    .split('\n')
                    .value(0));
            QVERIFY2(!window.isEmpty(), qPrintable(c.name));
            // Until the window manager has framed and placed it, and the
            // program has answered that.
            QRect framed, last;
            for (int settled = 0, i = 0; settled < 4 && i < 100; ++i) {
                QTest::qWait(100);
                framed = framedWindow(window);
                settled = framed.isValid() && framed == last ? settled + 1 : 0;
                last = framed;
            }
            shoot(QStringLiteral("7%1-restored-%2").arg(++shot).arg(c.name));
            program.terminate();
            QVERIFY(program.waitForFinished(20000));
            QCOMPARE(program.exitCode(), 0);
            QVERIFY2(framed.isValid(), qPrintable(c.name));
            QVERIFY2(area.contains(framed), qPrintable(QStringLiteral("%1: frame at %2,%3 %4 x %5")
                                                           .arg(c.name)
                                                           .arg(framed.x())
                                                           .arg(framed.y())
                                                           .arg(framed.width())
                                                           .arg(framed.height())));
            // The window the user left large is still as large as fits.
            if (c.settings.isEmpty())
                QVERIFY(framed.width() > 1000 && framed.height() > 650);
        }
    }

    // A wide picture at 200 % with "Пропорционально" ticked: the fields
    // show at once the grid a run converts, both sizes clamped together,
    // and the result copied to the clipboard has as many lines of as many
    // characters.
    void proportionalClampOnAWidePicture()
    {
        QSettings(apptest::iniPath(), QSettings::IniFormat).clear();
        m_form = std::make_unique<MainWindow>();
        MainWindow *f = m_form.get();
        f->showAsStored();
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        const QString picture = apptest::writePicture(m_pics.filePath(QStringLiteral("wide.png")), 2560, 800, "PNG");
        QVERIFY(f->loadPicture(picture));
        f->updateOpenState();
        QVERIFY(apptest::child<QCheckBox>(f, "Check1")->isChecked());
        auto keys = [](const QStringList &names) {
            runTool(QStringLiteral("xdotool"),
                    QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50")} + names);
        };
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        // The zoom menu from the keyboard: "200 %" is its second entry.
        keys({QStringLiteral("ctrl+m")});
        QMenu *menu = f->existingImageWindow()->zoomMenu();
        QTRY_VERIFY(menu->isVisible());
        keys({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")});
        QTRY_VERIFY(!menu->isVisible());
        QTRY_COMPARE(f->existingImageWindow()->displaySize(), QSize(5120, 1600));
        // 10240 x 1600 characters and Int(5120 / 1.4) x Int(1600 / 1.4)
        // figures, each pair brought into 1024 together.
        QCOMPARE(apptest::child<QLineEdit>(f, "Text1")->text(), QStringLiteral("1024"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text2")->text(), QStringLiteral("160"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text4")->text(), QStringLiteral("1024"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text5")->text(), QStringLiteral("319"));
        // The window repaints from this event loop before another client
        // grabs the screen.
        QTest::qWait(400);
        shoot(QStringLiteral("74-proportional-fields"));

        QSignalSpy finished(f, &MainWindow::runFinished);
        keys({QStringLiteral("F5")});
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);
        QCOMPARE(apptest::child<QLineEdit>(f, "Text1")->text(), QStringLiteral("1024"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text2")->text(), QStringLiteral("160"));
        QTest::qWait(400);
        shoot(QStringLiteral("75-proportional-result"));

        // Copied to the clipboard (Ctrl+Shift+C) and read back by another
        // client while the program's message says so.
        QByteArray copied;
        bool read = false;
        apptest::answerNextModal<QMessageBox>([&](QMessageBox *box) {
            QProcess xclip;
            xclip.start(QStringLiteral("xclip"),
                        {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                         QStringLiteral("-t"), QStringLiteral("UTF8_STRING")});
            // The program answers xclip from this event loop.
            QTRY_VERIFY_WITH_TIMEOUT(xclip.state() == QProcess::NotRunning, 20000);
            copied = xclip.readAllStandardOutput();
            read = true;
            box->done(QMessageBox::Ok);
        });
        keys({QStringLiteral("ctrl+shift+c")});
        QTRY_VERIFY_WITH_TIMEOUT(read, 30000);
        const QStringList lines = QString::fromUtf8(copied).remove(u'\r').split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 160);
        for (const QString &line : lines)
            QCOMPARE(line.size(), 1024);
    }
};

TESSILOR_X11_TEST_MAIN(TestX11SmallScreen)

#include "test_x11_small_screen.moc"
