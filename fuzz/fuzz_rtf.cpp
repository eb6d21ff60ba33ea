// The RTF reader on arbitrary bytes (a result file the user opens may come
// from any word processor). Whatever it reads must survive the program's own
// writer and reader unchanged as text.
#include "fuzzapp.h"
#include "document/rtf.h"

#include <QTextDocument>
#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    tessilor::fuzz::ensureApplication();
    return 0;
}

namespace {

// Control characters other than tab and line breaks have no place in a
// result text, and the writer leaves them out.
QString printable(QString text)
{
    text.removeIf([](QChar c) { return (c.unicode() < 0x20 && c != u'\t' && c != u'\n') || c.unicode() == 0x7F; });
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tessilor;
    if (size > 64 * 1024)
        return 0; // larger inputs only slow the search down
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("before"));
    const bool read = readRtf(bytes, doc);
    FUZZ_CHECK(read == looksLikeRtf(bytes));
    if (!read) {
        FUZZ_CHECK(doc.toPlainText() == QStringLiteral("before"));
        return 0;
    }
    const QString text = printable(doc.toPlainText());
    const QByteArray written = writeRtf(doc);
    FUZZ_CHECK(looksLikeRtf(written));
    QTextDocument again;
    FUZZ_CHECK(readRtf(written, again));
    if (printable(again.toPlainText()) != text) {
        std::fprintf(stderr, "read:    %s\nwritten: %s\nreread:  %s\n", qPrintable(text), written.constData(),
                     qPrintable(again.toPlainText()));
        tessilor::fuzz::fail("text changed by writing and reading it again");
    }
    return 0;
}
