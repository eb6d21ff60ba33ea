// Faults around the desktop program, run as a real process on the offscreen
// platform with private settings and runtime folders: a corrupt settings
// file, a stale single-instance lock after a crash, and termination by
// SIGTERM, which must save the settings.
#include "support/privatefontconfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <sys/types.h>

namespace {

// Start-up and shut-down of a window program under a sanitizer can take a
// while; these only guard against hangs.
constexpr int kStartLimitMs = 60000;
constexpr int kExitLimitMs = 60000;

class DesktopProgram : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_config.isValid() && m_runtime.isValid() && m_data.isValid());
        QFile::setPermissions(m_runtime.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    QString settingsPath() const { return m_config.filePath(QStringLiteral("Quar_Programming.ini")); }
    QString lockPath() const { return m_runtime.filePath(QStringLiteral("tessilor.lock")); }

    void start(QProcess &p, QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_data.path());
        // The program shares its fonts at start: fontconfig's caches stay in a test folder.
        env.insert(QStringLiteral("XDG_CACHE_HOME"), m_data.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("FONTCONFIG_FILE"), testsupport::writePrivateFontconfig(m_data.path()));
        p.setProcessEnvironment(env);
        p.setProgram(QStringLiteral(TESSILOR_APP_PATH));
        p.setProcessChannelMode(channels);
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start();
        ASSERT_TRUE(p.waitForStarted(kStartLimitMs));
    }

    // Ready means: this process holds the single-instance lock and has its
    // SIGTERM handler in place (the caught-signals mask in /proc says so).
    static bool catchesSigterm(qint64 pid)
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        if (!status.open(QIODevice::ReadOnly))
            return false;
        const QString text = QString::fromLatin1(status.readAll());
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("SigCgt:\\s*([0-9a-f]+)")).match(text);
        if (!m.hasMatch())
            return false;
        bool ok = false;
        const quint64 mask = m.captured(1).toULongLong(&ok, 16);
        return ok && (mask & (quint64(1) << (SIGTERM - 1)));
    }

    qint64 lockOwner() const
    {
        QFile f(lockPath());
        if (!f.open(QIODevice::ReadOnly))
            return -1;
        bool ok = false;
        const qint64 pid = f.readLine().trimmed().toLongLong(&ok);
        return ok ? pid : -1;
    }

    bool waitUntilReady(QProcess &p)
    {
        for (int waited = 0; waited < kStartLimitMs; waited += 50) {
            if (p.state() != QProcess::Running)
                return false;
            if (lockOwner() == p.processId() && catchesSigterm(p.processId())) {
                // Let the event loop start: the handler only queues the
                // request for it.
                p.waitForFinished(300);
                return p.state() == QProcess::Running;
            }
            QThread::msleep(50);
        }
        return false;
    }

    void terminate(QProcess &p)
    {
        ::kill(pid_t(p.processId()), SIGTERM);
        ASSERT_TRUE(p.waitForFinished(kExitLimitMs)) << "did not end after SIGTERM";
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0);
    }

    QTemporaryDir m_config;
    QTemporaryDir m_runtime;
    QTemporaryDir m_data;
};

QString storedValue(const QString &iniPath, const QString &key)
{
    QSettings s(iniPath, QSettings::IniFormat);
    return s.value(QStringLiteral("ImageTessilor/") + key).toString();
}

int storedInt(const QString &iniPath, const QString &key, bool *ok)
{
    return storedValue(iniPath, key).toInt(ok);
}

} // namespace

TEST_F(DesktopProgram, SigtermSavesTheSettings)
{
    ASSERT_FALSE(QFile::exists(settingsPath()));
    QProcess p;
    start(p);
    ASSERT_TRUE(waitUntilReady(p)) << "the program did not come up";
    terminate(p);
    ASSERT_TRUE(QFile::exists(settingsPath())) << "no settings written on SIGTERM";
    // First start: the defaults are what gets stored.
    EXPECT_EQ(storedValue(settingsPath(), QStringLiteral("Type")), QStringLiteral("1"));
    EXPECT_EQ(storedValue(settingsPath(), QStringLiteral("Font")), QStringLiteral("1"));
    EXPECT_EQ(storedValue(settingsPath(), QStringLiteral("TextSize")), QStringLiteral("3"));
    EXPECT_EQ(storedValue(settingsPath(), QStringLiteral("FigureCode")), QStringLiteral("86"));
    EXPECT_FALSE(QFile::exists(lockPath())) << "the lock outlived a clean exit";
}

TEST_F(DesktopProgram, CorruptSettingsFileFallsBackAndIsRewritten)
{
    {
        QFile f(settingsPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[ImageTessilor]\n"
                "Type=abc\n"
                "Font=99\n"
                "TextSize=-5\n"
                "FigureSize=1e99\n"
                "Prop1=yes\n"
                "Prop2=\n"
                "FigureCode=%00%01\n"
                "FigureFont=\"\\x1\"\n"
                "Top=NaN\n"
                "Left=garbage\n"
                "Height=-1e308\n"
                "Width=1e400\n"
                "Windowstate=7\n"
                "LastFile=/no/such/folder/x.jpg\n"
                "LastResult=bogus\n"
                "LastResultTip=\n"
                "\x01\x02 broken line without equals sign\n"
                "[ImageTessilor\n");
    }
    QProcess p;
    start(p);
    ASSERT_TRUE(waitUntilReady(p)) << "the program did not start with a corrupt settings file";
    terminate(p);

    const QString ini = settingsPath();
    EXPECT_EQ(storedValue(ini, QStringLiteral("Type")), QStringLiteral("1"));
    EXPECT_EQ(storedValue(ini, QStringLiteral("Font")), QStringLiteral("1"));
    bool ok = false;
    const int textSize = storedInt(ini, QStringLiteral("TextSize"), &ok);
    EXPECT_TRUE(ok && textSize >= 1) << storedValue(ini, QStringLiteral("TextSize")).toStdString();
    const int figureSize = storedInt(ini, QStringLiteral("FigureSize"), &ok);
    EXPECT_TRUE(ok && figureSize >= 1) << storedValue(ini, QStringLiteral("FigureSize")).toStdString();
    for (const char *box : {"Prop1", "Prop2"}) {
        const int v = storedInt(ini, QLatin1String(box), &ok);
        EXPECT_TRUE(ok && (v == 0 || v == 1)) << box;
    }
    const int code = storedInt(ini, QStringLiteral("FigureCode"), &ok);
    EXPECT_TRUE(ok && code >= 33 && code <= 126) << storedValue(ini, QStringLiteral("FigureCode")).toStdString();
    const QString result = storedValue(ini, QStringLiteral("LastResult"));
    EXPECT_TRUE(result == QLatin1String("save") || result == QLatin1String("word") || result == QLatin1String("cl") ||
                result == QLatin1String("print"))
        << result.toStdString();
    const int state = storedInt(ini, QStringLiteral("Windowstate"), &ok);
    EXPECT_TRUE(ok && state >= 0 && state <= 2);
}

// A termination request as soon as the program holds its lock, long before
// its window is up, still ends it the usual way.
TEST_F(DesktopProgram, SigtermRightAfterTheLockIsTakenEndsNormally)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        QProcess p;
        start(p);
        for (int waited = 0; waited < kStartLimitMs && lockOwner() != p.processId(); ++waited)
            QThread::usleep(200);
        ASSERT_EQ(lockOwner(), p.processId());
        terminate(p);
        EXPECT_FALSE(QFile::exists(lockPath()));
    }
}

TEST_F(DesktopProgram, StaleLockAfterACrashDoesNotBlockTheNextStart)
{
    QProcess first;
    start(first);
    ASSERT_TRUE(waitUntilReady(first));
    const qint64 crashedPid = first.processId();
    ::kill(pid_t(crashedPid), SIGKILL);
    ASSERT_TRUE(first.waitForFinished(kExitLimitMs));
    ASSERT_TRUE(QFile::exists(lockPath())) << "a killed process leaves its lock behind; nothing to test";
    ASSERT_EQ(lockOwner(), crashedPid);

    QProcess second;
    start(second);
    ASSERT_TRUE(waitUntilReady(second)) << "the program did not start after a crash left its lock";
    EXPECT_EQ(lockOwner(), second.processId());
    terminate(second);
}

// Whatever lies at the lock path, if no running copy holds the lock the
// program starts and takes it.
TEST_F(DesktopProgram, LockFileNotHeldByARunningCopyNeverBlocksTheStart)
{
    const struct {
        const char *what;
        std::function<void(const QString &)> plant;
    } cases[] = {
        {"empty file",
         [](const QString &p) {
             QFile f(p);
             f.open(QIODevice::WriteOnly);
         }},
        {"garbage",
         [](const QString &p) {
             QFile f(p);
             f.open(QIODevice::WriteOnly);
             f.write("\x01\xff garbage\n\n\n");
         }},
        {"another program's record naming a dead process on another machine",
         [](const QString &p) {
             QFile f(p);
             f.open(QIODevice::WriteOnly);
             f.write("999999\ntessilor\nfar-away-host\n0123456789abcdef0123456789abcdef\n");
         }},
        {"a live process that is not the program",
         [](const QString &p) {
             QFile f(p);
             f.open(QIODevice::WriteOnly);
             f.write("1\n");
         }},
        {"empty folder", [](const QString &p) { QDir().mkpath(p); }},
        {"dangling link", [](const QString &p) { QFile::link(p + QStringLiteral(".nowhere"), p); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        c.plant(lockPath());
        QProcess p;
        start(p);
        ASSERT_TRUE(waitUntilReady(p)) << "the program did not start";
        terminate(p);
        EXPECT_FALSE(QFileInfo::exists(lockPath()) || QFileInfo(lockPath()).isSymLink());
    }
}

// A second start while the first copy does not answer says so instead of
// ending in silence.
TEST_F(DesktopProgram, SecondStartWhileTheFirstIsFrozenSaysItIsBusy)
{
    QProcess first;
    start(first);
    ASSERT_TRUE(waitUntilReady(first));
    ::kill(pid_t(first.processId()), SIGSTOP);
    QProcess second;
    start(second, QProcess::SeparateChannels);
    second.setReadChannel(QProcess::StandardError);
    QByteArray said;
    for (int waited = 0; waited < kStartLimitMs && !said.contains("не отвечает"); waited += 100) {
        second.waitForReadyRead(100);
        said += second.readAllStandardError();
        if (second.state() != QProcess::Running)
            break;
    }
    EXPECT_TRUE(said.contains("не отвечает")) << said.constData();
    second.kill();
    second.waitForFinished(kExitLimitMs);
    ::kill(pid_t(first.processId()), SIGCONT);
    terminate(first);
}

// A pipe where the settings file belongs is never opened (an open would
// wait for a writer for ever): the program starts with the defaults, says so
// once, ends on SIGTERM and leaves the pipe alone.
TEST_F(DesktopProgram, SettingsFileThatIsAPipeIsNotOpened)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(settingsPath()).constData(), 0600), 0);
    QProcess p;
    start(p, QProcess::SeparateChannels);
    ASSERT_TRUE(waitUntilReady(p)) << "the program did not start";
    terminate(p);
    const QString said = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_EQ(said.count(QStringLiteral("is not a regular file")), 1) << said.toStdString();
    struct stat st = {};
    ASSERT_EQ(::lstat(QFile::encodeName(settingsPath()).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_FALSE(QFile::exists(lockPath()));
}

TEST_F(DesktopProgram, UnwritableSettingsFileDoesNotStopTheProgram)
{
    // A folder where the settings file belongs cannot be read or replaced,
    // not even by the administrator.
    ASSERT_TRUE(QDir().mkpath(settingsPath()));
    QProcess p;
    start(p);
    ASSERT_TRUE(waitUntilReady(p)) << "the program did not start with an unwritable settings file";
    terminate(p);
    EXPECT_TRUE(QFileInfo(settingsPath()).isDir());
    EXPECT_FALSE(QFile::exists(lockPath()));
}
