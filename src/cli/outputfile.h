#pragma once
#include <QFile>
#include <QString>

namespace tessilor::cli {

// The file named by --output.
// - A regular file, a name not yet taken, or a symbolic link to a regular
//   file or to nothing: the result goes to a new file beside it, which
//   replaces the name at once when it is complete. A link is replaced, never
//   written through; an existing file's permissions are kept.
// - A pipe or a device, also through a link (as /dev/stdout is one): the
//   result is written through as a stream; the node stays what it is.
class OutputFile
{
public:
    explicit OutputFile(const QString &path);
    ~OutputFile(); // an uncommitted new file is removed
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    bool open();
    QIODevice &device() { return m_file; }
    // Ends the writing: the new file takes the name, or the stream is
    // closed. False (with errorString) when anything failed.
    bool commit();
    // Drops an unfinished new file; the name keeps what it had.
    void cancel();
    QString errorString() const { return m_error; }

private:
    bool fail(int error);

    QString m_path;
    QByteArray m_name;      // m_path, encoded
    QByteArray m_temporary; // the new file while it is written; empty for a stream
    QFile m_file;
    QString m_error;
};

// True when output names the very file input is (the same file under
// another spelling too), so writing there would destroy the picture.
bool isSameFile(const QString &input, const QString &output);

} // namespace tessilor::cli
