#pragma once
// A home of its own for one test, and running programs in it.
#include "support/privatefontconfig.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <optional>

namespace portabletest {

struct Run {
    bool finished = false;
    int status = -1;
    QByteArray out;
    QByteArray err;
};

inline bool haveProgram(const QString &name)
{
    return !QStandardPaths::findExecutable(name).isEmpty();
}

// While it lives, HOME, the XDG folders and fontconfig (FONTCONFIG_FILE,
// caches) of this process point into a fresh temporary folder, and programs
// started with run() get the same. fontconfigExtra goes into the fontconfig
// file after the system's configuration.
class TestHome
{
public:
    explicit TestHome(const QByteArray &fontconfigExtra = QByteArray())
    {
        m_env = testsupport::privateEnvironment(m_dir.path(), QProcessEnvironment());
        if (!fontconfigExtra.isEmpty())
            m_env.insert(QStringLiteral("FONTCONFIG_FILE"),
                         testsupport::writePrivateFontconfig(m_dir.path(), fontconfigExtra));
        for (const QString &key : m_env.keys()) {
            const QByteArray name = key.toLocal8Bit();
            m_saved.append({name, qEnvironmentVariableIsSet(name.constData())
                                      ? std::optional<QByteArray>(qgetenv(name.constData()))
                                      : std::nullopt});
            qputenv(name.constData(), QFile::encodeName(m_env.value(key)));
        }
    }
    ~TestHome()
    {
        for (const auto &[name, value] : m_saved) {
            if (value)
                qputenv(name.constData(), *value);
            else
                qunsetenv(name.constData());
        }
    }
    TestHome(const TestHome &) = delete;
    TestHome &operator=(const TestHome &) = delete;

    QString path(const QString &relative = QString()) const
    {
        return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(m_env);
        return env;
    }

    // Runs program in the home folder; a hang ends after timeoutMs. With
    // env, in that environment instead of environment().
    Run run(const QString &program, const QStringList &args, int timeoutMs = 120000,
            const std::optional<QProcessEnvironment> &env = std::nullopt) const
    {
        QProcess p;
        p.setProcessEnvironment(env ? *env : environment());
        p.setWorkingDirectory(m_dir.path());
        p.setStandardInputFile(QProcess::nullDevice());
        p.start(program, args);
        Run r;
        if (!p.waitForStarted(30000))
            return r;
        r.finished = p.waitForFinished(timeoutMs);
        if (!r.finished) {
            p.kill();
            p.waitForFinished(5000);
        }
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    QList<std::pair<QByteArray, std::optional<QByteArray>>> m_saved;
};

} // namespace portabletest
