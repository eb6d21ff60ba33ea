// Number fields: the leading-number reader, the grid clamps that use it, the
// proportional row count and the settings store's number texts. The input is
// split at its first newline into a column text and a row text.
#include "base/numparse.h"
#include "fuzzapp.h"
#include "picture/grid.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

namespace {

void checkGrid(tessilor::Mode mode, const QString &columns, const QString &rows)
{
    using namespace tessilor;
    const GridSize g = clampGrid(mode, leadingNumber(columns), leadingNumber(rows));
    const int lowW = mode == Mode::Text ? 8 : 16;
    const int highW = mode == Mode::Text ? 512 : 1024;
    FUZZ_CHECK(g.width >= lowW && g.width <= highW);
    FUZZ_CHECK(g.height >= 16 && g.height <= 1024);
    // The counts written back into the fields give the same grid again.
    const GridSize again =
        clampGrid(mode, leadingNumber(QString::number(g.columns)), leadingNumber(QString::number(g.height)));
    FUZZ_CHECK(again.width == g.width && again.height == g.height && again.columns == g.columns);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tessilor;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QString &text : {QString::fromUtf8(bytes), QString::fromLatin1(bytes)}) {
        const double v = leadingNumber(text);
        FUZZ_CHECK(!std::isnan(v));
        // Leading blanks do not change the number.
        FUZZ_CHECK(leadingNumber(QStringLiteral(" \t") + text) == v);
        const qint64 f = floorToInt64(v);
        if (std::isfinite(v) && std::fabs(v) < 1e15)
            FUZZ_CHECK(double(f) <= v && v < double(f) + 1.0);

        bool over = false;
        const qint16 r16 = roundHalfEvenTo16(v, &over);
        if (!over)
            FUZZ_CHECK(std::fabs(double(r16) - v) <= 0.5);
        const qint32 r32 = roundHalfEvenTo32(v, &over);
        if (!over)
            FUZZ_CHECK(std::fabs(double(r32) - v) <= 0.5);

        bool ok = false;
        const double s = strictNumber(text, &ok);
        FUZZ_CHECK(ok || s == 0.0);
        FUZZ_CHECK(std::isfinite(s));

        const qsizetype nl = text.indexOf(u'\n');
        const QString columns = nl < 0 ? text : text.left(nl);
        const QString rows = nl < 0 ? QString() : text.mid(nl + 1);
        checkGrid(Mode::Text, columns, rows);
        checkGrid(Mode::Figures, columns, rows);

        // Any aspect ratio gives rows that clamp with the columns into the
        // grid's limits.
        float aspect = 1.0f;
        if (size >= 4)
            std::memcpy(&aspect, data, 4);
        for (Mode mode : {Mode::Text, Mode::Figures}) {
            const double cols = leadingNumber(columns);
            const GridSize g =
                clampGrid(mode, cols, double(proportionalRows(mode, cols, aspect)), GridClamp::KeepProportions);
            FUZZ_CHECK(g.width >= (mode == Mode::Text ? 8 : 16) && g.width <= (mode == Mode::Text ? 512 : 1024));
            FUZZ_CHECK(g.height >= 16 && g.height <= 1024);
        }
    }

    // The settings store's float text reads back to the same float.
    if (size >= 4) {
        float x;
        std::memcpy(&x, data, 4);
        if (std::isfinite(x)) {
            bool ok = false;
            const double back = strictNumber(shortestText(x), &ok);
            FUZZ_CHECK(ok);
            FUZZ_CHECK(float(back) == x);
        }
    }
    return 0;
}
