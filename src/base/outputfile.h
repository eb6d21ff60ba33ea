#pragma once
#include <QFile>
#include <QIODevice>
#include <QString>

namespace tessilor {

// A file written as a whole.
//
// A regular file at the path, or nothing, is replaced atomically: the bytes
// go to a new file beside it (hidden, ".NAME.XXXXXX", the name cut short
// where the folder would not take it whole, and listed as a leftover while
// it exists, see leftovers.h), which commit() renames over the path, so a
// reader sees the old file or the new one, never a part. A symbolic link at
// the path to a regular file or to nothing is replaced by the file, never
// written through. A FIFO or a device at the path, also through a link (as
// /dev/stdout is one), is written through as a stream and stays what it is.
// A folder at the path cannot be opened. Nothing is left behind after a failure, cancelWriting()
// or destruction without commit(). A failed write, flush or close gives the
// system's reason in errorString() ("No space left on device").
class OutputFile : public QIODevice
{
    Q_OBJECT
public:
    enum class Access {
        Document, // the replaced file's permissions, or a new file's (0666 less the umask)
        Private,  // 0600: the program's own files
    };

    explicit OutputFile(const QString &path, Access access = Access::Document);
    ~OutputFile() override;

    // Opens for writing (the mode must be WriteOnly); errorString() says why
    // it failed.
    bool open(OpenMode mode = WriteOnly) override;
    // Writes everything through to the disk and puts the file in place.
    bool commit();
    // Drops what was written; the file at the path stays as it was.
    void cancelWriting();
    // Closing without commit() drops what was written.
    void close() override { cancelWriting(); }

    QString fileName() const { return m_path; }
    // True when the path is a FIFO or a device written through as a stream.
    bool isStream() const { return m_stream; }
    // While open, the file the bytes go to until commit(): the new file
    // beside the path, or the path itself for a stream. For a writer that
    // takes a file name (as QPrinter does) instead of this device.
    QString writeName() const { return m_stream ? m_path : m_tempPath; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    void fail(const QString &why);
    // Hands the buffered bytes to the system; false (and the reason set)
    // when it does not take them all.
    bool flushBuffer();
    void closeDescriptor();
    // Removes the new file beside the path, if any.
    void removeTemporary();

    QString m_path;
    Access m_access;
    int m_fd = -1;
    QByteArray m_buffer;
    QString m_tempPath;
    bool m_stream = false;
    bool m_failed = false;
};

// True when output names the very file input is (under another spelling
// too), so that writing there would destroy it. A link at output is not
// followed: it would be replaced, and its target kept.
bool isSameFile(const QString &input, const QString &output);

// Writes all size bytes to the file descriptor, again after an interrupted
// or partial write; 0 when all went, else the system's error (ENOSPC when
// the system took no byte without naming one).
int writeAllTo(int fd, const char *data, qint64 size);

} // namespace tessilor
