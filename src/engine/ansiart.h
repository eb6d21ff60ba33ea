#pragma once
#include <QByteArray>
#include <QImage>

#include "engine/figureconvert.h"

class QIODevice;

// Text art for terminals: 24-bit colour escape codes (ESC [38;2;R;G;B m)
// before the characters, a reset (ESC [0 m) at the end of every line, lines
// ended by LF. A colour is set only where it changes within a line.
namespace tessilor {

// The escape code that sets the foreground colour r + 256 g + 65536 b.
QByteArray ansiForeground(quint32 color);
inline constexpr char kAnsiReset[] = "\x1b[0m";

// A text result (UTF-8 lines ended by CR LF or LF, as the conversions write
// them) with every line in one colour. False when out did not take it all.
bool writeAnsiText(const QByteArray &text, quint32 color, QIODevice &out);

// A text result in the picture's colours: character j of line i in the
// colour of pixel (j / charactersPerCell, i) of the grid (see textcolors.h).
bool writeAnsiPictureText(const QByteArray &text, const QImage &grid, int charactersPerCell, QIODevice &out);

// Figure results: a terminal has no figure font, so every cell is a full
// block (U+2588) in the cell's colour, a line per row.
class AnsiFigureSink : public FigureSink
{
public:
    explicit AnsiFigureSink(QIODevice &out);
    void cell(quint32 color) override;
    void endRow(int rowIndex, int cellsInRow) override;
    // Writes what is left; false when out did not take everything.
    bool finish();

private:
    QIODevice &m_out;
    QByteArray m_line;
    qint64 m_color = -1;
    bool m_failed = false;
};

} // namespace tessilor
