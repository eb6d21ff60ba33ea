// The NUL-separated string routines of the file dialogs: arbitrary buffers
// and offsets must not break them, and the filter strings they build read
// back to what they were built from.
#include "base/dialogstrings.h"
#include "fuzzapp.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

namespace {

const QChar kNul(u'\0');

void checkAnyBuffer(const QString &s)
{
    using namespace tessilor;
    const QString trimmed = TrimAtDoubleNull(s);
    FUZZ_CHECK(s.startsWith(trimmed));
    FUZZ_CHECK(!trimmed.contains(QString(2, kNul)));

    // Tokens joined by NULs give the text back, and every step shrinks it.
    QString rest = s;
    QStringList tokens;
    while (!rest.isEmpty()) {
        const qsizetype before = rest.size();
        tokens << NextNullToken(rest);
        FUZZ_CHECK(rest.size() < before);
    }
    const QString joined = tokens.join(kNul);
    FUZZ_CHECK(joined == s || joined + kNul == s);

    for (const FilterEntry &e : ParseFilterString(s)) {
        FUZZ_CHECK(!e.description.contains(kNul) && !e.patterns.contains(kNul));
    }
    for (const QString &f : QtNameFilters(s))
        FUZZ_CHECK(f.endsWith(u')'));
}

void checkFilters(const QStringList &lines)
{
    using namespace tessilor;
    FilterTable table;
    for (qsizetype i = 0; i + 1 < lines.size() && i < 16; i += 2) {
        FilterEntry e{lines[i], lines[i + 1]};
        e.description.remove(kNul);
        e.patterns.remove(kNul);
        table.entries << e;
    }
    QList<FilterEntry> expected;
    for (const FilterEntry &e : table.entries) {
        if (e.patterns.size() < 2)
            continue;
        expected << FilterEntry{e.description.size() >= 2 ? e.description : QStringLiteral("Разные файлы"), e.patterns};
    }
    if (table.entries.isEmpty())
        expected << FilterEntry{QStringLiteral("Все файлы"), QStringLiteral("*.*")};
    const QList<FilterEntry> parsed = ParseFilterString(BuildFilterString(table));
    FUZZ_CHECK(parsed.size() == expected.size());
    for (qsizetype i = 0; i < parsed.size(); ++i) {
        FUZZ_CHECK(parsed[i].description == expected[i].description);
        FUZZ_CHECK(parsed[i].patterns == expected[i].patterns);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2 || size > 16 * 1024)
        return 0;
    const int offset = int(qint8(data[0])) * 7;
    const QString s = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    checkAnyBuffer(s);
    const QStringList lines = s.split(u'\n');
    checkFilters(lines);
    FUZZ_CHECK(tessilor::NullBuffer(offset).size() == qMax(0, offset));
    return 0;
}
