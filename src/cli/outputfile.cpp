#include "cli/outputfile.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessilor::cli {

OutputFile::OutputFile(const QString &path) : m_path(path), m_name(QFile::encodeName(path)) {}

OutputFile::~OutputFile()
{
    cancel();
}

bool OutputFile::fail(int error)
{
    m_error = QString::fromLocal8Bit(std::strerror(error));
    return false;
}

bool OutputFile::open()
{
    struct stat name;
    const bool exists = ::lstat(m_name.constData(), &name) == 0;
    if (!exists && errno != ENOENT)
        return fail(errno);
    struct stat target; // what the name leads to, through a link
    const bool reachable = exists && ::stat(m_name.constData(), &target) == 0;
    if (reachable && S_ISDIR(target.st_mode)) {
        m_error = QStringLiteral("it is a folder");
        return false;
    }
    int fd;
    if (reachable && !S_ISREG(target.st_mode)) {
        // A pipe or a device: written through, never replaced.
        fd = ::open(m_name.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return fail(errno);
    } else {
        // A new file beside the name, which takes the name on commit. It is
        // made with O_EXCL under a fresh name, so nothing planted there is
        // written through.
        const QFileInfo info(m_path);
        const QString stem = info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".tessilor-");
        fd = -1;
        for (int attempt = 0; fd < 0 && attempt < 64; ++attempt) {
            const QByteArray candidate =
                QFile::encodeName(stem + QString::number(QRandomGenerator::global()->generate64(), 36));
            fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd >= 0)
                m_temporary = candidate;
            else if (errno != EEXIST)
                return fail(errno);
        }
        if (fd < 0)
            return fail(EEXIST);
        // The file replaced keeps its permissions; a new one gets the usual
        // ones (0666 less the umask, as the open made it).
        if (exists && S_ISREG(name.st_mode))
            ::fchmod(fd, name.st_mode & 07777);
    }
    if (!m_file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) {
        ::close(fd);
        if (!m_temporary.isEmpty())
            ::unlink(m_temporary.constData());
        m_temporary.clear();
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

bool OutputFile::commit()
{
    if (!m_file.isOpen())
        return false;
    const int fd = m_file.handle();
    m_file.close();
    // A new file is on the disk before it takes the name, so that a crash
    // cannot leave the name with an empty file.
    if (!m_temporary.isEmpty() && ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        cancel();
        return fail(error);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        cancel();
        return fail(error);
    }
    if (m_temporary.isEmpty())
        return true;
    if (::rename(m_temporary.constData(), m_name.constData()) != 0) {
        const int error = errno;
        cancel();
        return fail(error);
    }
    m_temporary.clear();
    return true;
}

void OutputFile::cancel()
{
    if (m_file.isOpen()) {
        const int fd = m_file.handle();
        m_file.close();
        ::close(fd);
    }
    if (!m_temporary.isEmpty()) {
        ::unlink(m_temporary.constData());
        m_temporary.clear();
    }
}

bool isSameFile(const QString &input, const QString &output)
{
    struct stat in, out;
    if (::stat(QFile::encodeName(input).constData(), &in) != 0)
        return false;
    // The output name itself: a link to the picture would be replaced, and
    // the picture kept.
    if (::lstat(QFile::encodeName(output).constData(), &out) != 0)
        return false;
    return in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

} // namespace tessilor::cli
