#pragma once
#include <QByteArray>
#include <QString>

// File names as the system keeps them: bytes, which need not be UTF-8 (a
// name written by a program in another encoding, CP1251 say). A name read
// from the command line keeps its bytes through the program: each byte that
// is not part of valid UTF-8 stands in the text as a lone low surrogate,
// U+DC80 + the byte, and goes back to that byte on the way out.
namespace tessilor {

// Valid UTF-8 decoded, every other byte kept as above.
QString decodeFileName(const QByteArray &bytes);
// The bytes of a name decodeFileName gave (UTF-8 for everything else).
QByteArray encodeFileName(const QString &name);

} // namespace tessilor
