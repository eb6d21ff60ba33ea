#pragma once
#include <QIODevice>
#include <QString>

#include "base/filenames.h"

// What tessilor-cli says on its standard output and error.
namespace tessilor::cli {

// False when the device did not take all of it. File names in the text go
// out as the bytes they were given as.
inline bool say(QIODevice &dev, const QString &text)
{
    const QByteArray bytes = encodeFileName(text);
    return dev.write(bytes) == bytes.size();
}

// Says that the result could not go to standard output; the exit status.
inline int cannotWriteStandardOutput(QIODevice &err)
{
    say(err, QStringLiteral("tessilor-cli: cannot write to standard output\n"));
    return 1;
}

} // namespace tessilor::cli
