#include "art/textconvert.h"

#include "art/figureconvert.h"

#include <QIODevice>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace tessilor {

QString rampForBackground(const QString &ramp, ArtBackground background)
{
    if (background == ArtBackground::Light)
        return ramp;
    QString reversed = ramp;
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

int grayFromSum(int sum)
{
    // sum / 3 never ends in a half, so rounding to nearest is exact here.
    return (sum + 1) / 3;
}

int applyContrast(int gray, qint16 contrast)
{
    if (contrast == 0)
        return gray;
    const int c = contrast;
    int g = gray;
    // The upper-half test sees the value the lower-half step left.
    if (g <= 127) {
        g = qint16(g - c);
        if (c < 0 && g > 127)
            g = 127;
    }
    if (g >= 128) {
        g = qint16(g + c);
        if (c < 0 && g < 127)
            g = 127;
    }
    if (g < 0)
        g = 0;
    if (g > 255)
        g = 255;
    return g;
}

float rampStep(int rampLength)
{
    return static_cast<float>(256.0 / double(rampLength - 1));
}

int rampIndex(int gray, float step)
{
    const float k = static_cast<float>(256 - gray);
    const double q = double(k) / double(step);
    return static_cast<int>(std::floor(q)) + 1;
}

CellTable::CellTable(const QString &ramp, qint16 contrast)
{
    const float step = rampStep(int(ramp.size()));
    for (int sum = 0; sum <= 765; ++sum) {
        const int gray = applyContrast(grayFromSum(sum), contrast);
        const int index = rampIndex(gray, step);
        QByteArray utf8;
        if (index >= 1 && index <= ramp.size())
            utf8 = QString(ramp.at(index - 1)).toUtf8();
        const QByteArray twice = utf8 + utf8;
        std::memcpy(m_bytes[size_t(sum)].data(), twice.constData(), size_t(twice.size()));
        m_length[size_t(sum)] = quint8(twice.size());
        m_characters[size_t(sum)] = utf8.isEmpty() ? 0 : 2;
        m_max = std::max(m_max, int(twice.size()));
    }
}

bool finishTextRow(char *line, char *end, int row, int lastRow, int walked, QIODevice &out, YieldClock &clock,
                   TextResult &result)
{
    if (row == 0)
        result.counts.gridColumns = walked;
    *end++ = '\r';
    *end++ = '\n';
    const qint64 len = end - line;
    if (out.write(line, len) != len) {
        result.error = ConvertError::WriteFailed;
        result.counts.endRow = row;
        return false;
    }
    clock.tick();
    clock.percent(rowPercent(row, lastRow));
    ++result.counts.gridRows;
    return true;
}

TextResult convertToText(const QImage &grid, const QString &ramp, qint16 contrast, QIODevice &out,
                         const RunHooks &hooks, CharacterColors *colors)
{
    const QImage img = grid.format() == QImage::Format_RGB32 ? grid : grid.convertToFormat(QImage::Format_RGB32);
    return convertToText(pixelsOf(img), ramp, contrast, out, hooks, colors);
}

TextResult convertToText(const PixelView &grid, const QString &ramp, qint16 contrast, QIODevice &out,
                         const RunHooks &hooks, CharacterColors *colors)
{
    TextResult result;
    if (ramp.size() < 2) {
        result.error = ConvertError::RampTooShort;
        return result;
    }
    if (grid.isNull()) {
        result.error = ConvertError::EmptyGrid;
        return result;
    }
    const CellTable table(ramp, contrast);
    const int lastRow = grid.height - 1;
    const int cols = grid.width;

    YieldClock clock(hooks);
    // Room for a whole row plus CR LF; the table writes 8 bytes at a time.
    std::vector<char> line(size_t(cols) * 8 + 16);
    bool stopped = false;
    int i = 0;
    for (; i <= lastRow; ++i) {
        char *p = line.data();
        if (clock.stopRequested()) {
            stopped = true;
            break;
        }
        const QRgb *px = grid.row(i);
        int walked = 0;
        for (int j = 0; j < cols; ++j) {
            if (clock.stopRequested()) {
                stopped = true;
                break;
            }
            const QRgb c = px[j];
            const int sum = int((c >> 16) & 0xFF) + int((c >> 8) & 0xFF) + int(c & 0xFF);
            std::memcpy(p, table.bytes(sum), 8);
            p += table.length(sum);
            if (colors)
                colors->insert(colors->end(), size_t(table.characters(sum)), figureCellColor(c, false));
            ++walked;
            clock.afterCell();
        }
        if (!finishTextRow(line.data(), p, i, lastRow, walked, out, clock, result))
            return result;
    }
    result.counts.endRow = i;
    result.counts.stopped = stopped;
    clock.percent(rowPercent(i, lastRow));
    return result;
}

} // namespace tessilor
