#include "base/leftovers.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tessilor {

namespace {

struct Leftovers {
    std::mutex mutex;
    std::vector<std::pair<QByteArray, bool>> paths; // path, folder
};

// Never destroyed: a signal may come while the program's statics go.
Leftovers &leftovers()
{
    static Leftovers *list = new Leftovers;
    return *list;
}

void removePath(const QByteArray &path, bool folder)
{
    if (folder)
        QDir(QFile::decodeName(path)).removeRecursively();
    else
        ::unlink(path.constData());
}

} // namespace

QByteArray makeLeftover(const std::function<QByteArray()> &make, bool folder)
{
    Leftovers &list = leftovers();
    const std::lock_guard<std::mutex> lock(list.mutex);
    QByteArray path = make();
    if (!path.isEmpty())
        list.paths.emplace_back(path, folder);
    return path;
}

void forgetLeftover(const QByteArray &path)
{
    Leftovers &list = leftovers();
    const std::lock_guard<std::mutex> lock(list.mutex);
    for (auto it = list.paths.begin(); it != list.paths.end(); ++it) {
        if (it->first == path) {
            list.paths.erase(it);
            return;
        }
    }
}

void removeLeftoversOnSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal the program was started to ignore (nohup, a background
        // job) stays ignored.
        struct sigaction old = {};
        if (::sigaction(s, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
            sigaddset(&signals, s);
    }
    if (::pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0)
        return;
    std::thread([signals] {
        int signal = 0;
        while (::sigwait(&signals, &signal) != 0) {
        }
        // Held from now on: nothing more is made or forgotten.
        Leftovers &list = leftovers();
        list.mutex.lock();
        for (const auto &[path, folder] : list.paths)
            removePath(path, folder);
        std::signal(signal, SIG_DFL);
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, signal);
        ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
        ::raise(signal);
        ::_exit(128 + signal);
    }).detach();
}

} // namespace tessilor
