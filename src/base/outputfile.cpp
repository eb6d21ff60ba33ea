#include "base/outputfile.h"

#include "base/filenames.h"
#include "base/leftovers.h"

#include <QByteArray>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessilor {

namespace {

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Bytes gathered before they go to the system.
constexpr qsizetype kBufferBytes = 64 * 1024;

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// The longest name the folder takes.
qsizetype longestName(const QByteArray &folder)
{
    const long max = ::pathconf(folder.constData(), _PC_NAME_MAX);
    return max > 0 ? qsizetype(max) : 255;
}

// The file a result is written to before it takes name in folder: hidden,
// ".NAME.XXXXXX", with the name cut as far as needed for the folder to take
// it.
QByteArray temporaryPattern(const QByteArray &folder, const QByteArray &name)
{
    const qsizetype room = longestName(folder) - qsizetype(sizeof(".") + sizeof(".XXXXXX") - 2);
    return folder + "/." + name.left(std::max<qsizetype>(room, 1)) + ".XXXXXX";
}

} // namespace

OutputFile::OutputFile(const QString &path, Access access) : m_path(path), m_access(access) {}

OutputFile::~OutputFile()
{
    if (isOpen())
        cancelWriting();
}

void OutputFile::fail(const QString &why)
{
    m_failed = true;
    setErrorString(why);
}

bool OutputFile::open(OpenMode mode)
{
    if (isOpen() || (mode & ~QIODevice::Unbuffered) != QIODevice::WriteOnly) {
        setErrorString(QStringLiteral("only a closed file can be opened, for writing only"));
        return false;
    }
    if (m_path.isEmpty()) {
        setErrorString(QStringLiteral("no file name"));
        return false;
    }
    m_failed = false;
    m_stream = false;
    const QByteArray path = encodeFileName(m_path);
    // What the name leads to, through a link.
    struct stat target {};
    if (::stat(path.constData(), &target) == 0) {
        if (S_ISDIR(target.st_mode)) {
            setErrorString(QStringLiteral("is a folder"));
            return false;
        }
        m_stream = !S_ISREG(target.st_mode);
    }
    int fd = -1;
    int error = 0;
    if (m_stream) {
        fd = ::open(path.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        error = errno;
    } else {
        const QFileInfo info(m_path);
        const QByteArray folder = encodeFileName(info.absolutePath());
        const QByteArray name = encodeFileName(info.fileName());
        if (name.size() > longestName(folder)) {
            setErrorString(errnoText(ENAMETOOLONG));
            return false;
        }
        // Listed while it exists, for a run that a signal ends.
        const QByteArray made = makeLeftover([&] {
            QByteArray pattern = temporaryPattern(folder, name);
            fd = ::mkostemp(pattern.data(), O_CLOEXEC);
            error = errno;
            return fd >= 0 ? pattern : QByteArray();
        });
        m_tempPath = decodeFileName(made);
    }
    if (fd < 0) {
        setErrorString(errnoText(error));
        return false;
    }
    m_fd = fd;
    m_buffer.clear();
    m_buffer.reserve(kBufferBytes);
    return QIODevice::open(mode);
}

qint64 OutputFile::readData(char *, qint64)
{
    return -1;
}

qint64 OutputFile::writeData(const char *data, qint64 size)
{
    if (m_failed)
        return -1;
    if (m_buffer.size() + size > kBufferBytes && !flushBuffer())
        return -1;
    if (size >= kBufferBytes) {
        // Large blocks go straight through.
        if (const int error = writeAllTo(m_fd, data, size)) {
            fail(errnoText(error));
            return -1;
        }
        return size;
    }
    m_buffer.append(data, qsizetype(size));
    return size;
}

bool OutputFile::flushBuffer()
{
    if (const int error = writeAllTo(m_fd, m_buffer.constData(), m_buffer.size())) {
        fail(errnoText(error));
        return false;
    }
    m_buffer.resize(0);
    return true;
}

void OutputFile::closeDescriptor()
{
    if (m_fd >= 0 && ::close(m_fd) != 0 && !m_failed)
        fail(errnoText(errno));
    m_fd = -1;
}

bool OutputFile::commit()
{
    if (!isOpen()) {
        setErrorString(QStringLiteral("the file is not open"));
        return false;
    }
    if (!m_failed)
        flushBuffer();
    if (!m_failed && !m_stream) {
        mode_t mode = m_access == Access::Private ? 0600 : (0666 & ~currentUmask());
        struct stat old {};
        if (m_access == Access::Document && ::lstat(encodeFileName(m_path).constData(), &old) == 0 &&
            S_ISREG(old.st_mode))
            mode = old.st_mode & 07777;
        if (::fchmod(m_fd, mode) != 0 || ::fsync(m_fd) != 0)
            fail(errnoText(errno));
    }
    // A file system may report a failed write only when the file closes.
    closeDescriptor();
    m_buffer = QByteArray();
    QIODevice::close();
    if (m_failed) {
        removeTemporary();
        return false;
    }
    if (m_stream)
        return true;
    const QByteArray temp = encodeFileName(m_tempPath);
    if (::rename(temp.constData(), encodeFileName(m_path).constData()) != 0) {
        const int error = errno;
        removeTemporary();
        setErrorString(errnoText(error));
        return false;
    }
    m_tempPath.clear();
    forgetLeftover(temp);
    return true;
}

void OutputFile::cancelWriting()
{
    if (!isOpen())
        return;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_buffer = QByteArray();
    QIODevice::close();
    removeTemporary();
}

void OutputFile::removeTemporary()
{
    if (m_tempPath.isEmpty())
        return;
    const QByteArray temp = encodeFileName(m_tempPath);
    ::unlink(temp.constData());
    forgetLeftover(temp);
    m_tempPath.clear();
}

int writeAllTo(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC; // read before anything else can change it
        data += n;
        size -= n;
    }
    return 0;
}

bool isSameFile(const QString &input, const QString &output)
{
    struct stat in {
    }, out{};
    if (::stat(encodeFileName(input).constData(), &in) != 0 || ::lstat(encodeFileName(output).constData(), &out) != 0)
        return false;
    return in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

} // namespace tessilor
