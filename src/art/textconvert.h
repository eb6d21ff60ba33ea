#pragma once
#include <QByteArray>
#include <QImage>
#include <QString>
#include <array>
#include <vector>

#include "base/runhooks.h"
#include "picture/pixels.h"

class QIODevice;

namespace tessilor {

// Cell arithmetic of the text conversion.
int grayFromSum(int sum); // sum / 3 rounded to the nearest integer
int applyContrast(int gray, qint16 contrast);
float rampStep(int rampLength);      // 256 / (n - 1) held in single precision
int rampIndex(int gray, float step); // Int((256 - gray) / step) + 1, 1-based

// For every channel sum 0..765 the bytes one cell writes: its ramp character
// twice, UTF-8 encoded. Built once per run.
class CellTable
{
public:
    // ramp must have at least two characters.
    CellTable(const QString &ramp, qint16 contrast);
    const char *bytes(int sum) const { return m_bytes[size_t(sum)].data(); }
    int length(int sum) const { return m_length[size_t(sum)]; }
    // The characters those bytes are (two, none when the ramp has no
    // character for the sum).
    int characters(int sum) const { return m_characters[size_t(sum)]; }
    int maxLength() const { return m_max; }

private:
    std::array<std::array<char, 8>, 766> m_bytes{};
    std::array<quint8, 766> m_length{};
    std::array<quint8, 766> m_characters{};
    int m_max = 0;
};

enum class ConvertError { None, RampTooShort, EmptyGrid, WriteFailed };

// What the text art is drawn on: dark ink on light paper (as the program
// shows and prints it), or light ink on black (a dark terminal), where the
// densest character stands for white.
enum class ArtBackground { Light, Dark };

// The classic ramp for a background: on black it is read from its dark end,
// the characters unchanged.
QString rampForBackground(const QString &ramp, ArtBackground background);

struct TextResult {
    RunCounts counts;
    ConvertError error = ConvertError::None;
};

// The end of one row of a text conversion: the line [line, end) gets its
// CR LF (room for two more bytes is needed) and goes to out; the first row
// sets the column count (walked cells); the row is counted and the progress
// reported. False, with the error and end row set, when out refused it.
bool finishTextRow(char *line, char *end, int row, int lastRow, int walked, QIODevice &out, YieldClock &clock,
                   TextResult &result);

// Text in the picture's colours: the colour of every character a text
// conversion writes, r + 256 g + 65536 b of the grid pixel the character
// stands for (figureCellColor), in writing order with the line ends left
// out. The list gets exactly one colour for every character written, a
// stopped run's last row too.
using CharacterColors = std::vector<quint32>;

// Writes one line per grid row to out, every cell's ramp character twice,
// each line (the last too) ended by CR LF, UTF-8. Stops before any cell when
// the stop flag is set; the row in progress is still written as far as it got.
// With colors, both characters of a cell take the cell's colour.
TextResult convertToText(const PixelView &grid, const QString &ramp, qint16 contrast, QIODevice &out,
                         const RunHooks &hooks = {}, CharacterColors *colors = nullptr);
// The same for a grid of any format.
TextResult convertToText(const QImage &grid, const QString &ramp, qint16 contrast, QIODevice &out,
                         const RunHooks &hooks = {}, CharacterColors *colors = nullptr);

} // namespace tessilor
