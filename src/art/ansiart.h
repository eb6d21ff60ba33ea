#pragma once
#include <QByteArray>
#include <QIODevice>

#include "art/figureconvert.h"
#include "art/textconvert.h"

// Text art for terminals: 24-bit colour escape codes (ESC [38;2;R;G;B m)
// before the characters, a reset (ESC [0 m) at the end of every line, lines
// ended by LF. A colour is set only where it changes within a line.
namespace tessilor {

// The escape code that sets the foreground colour r + 256 g + 65536 b.
QByteArray ansiForeground(quint32 color);
inline constexpr char kAnsiReset[] = "\x1b[0m";
// The terminal's own foreground, for text without a colour of its own:
// forcing black or white would hide it on a terminal of that colour.
inline constexpr char kAnsiDefaultForeground[] = "\x1b[39m";

// A device for the text conversions to write into: every line it is given
// (UTF-8, ended by CR LF or LF) goes on to out in colour, as it comes.
class AnsiTextWriter : public QIODevice
{
    Q_OBJECT
public:
    // Every line in one colour.
    AnsiTextWriter(QIODevice &out, quint32 color);
    // Every line in the terminal's own foreground.
    explicit AnsiTextWriter(QIODevice &out);
    // In the picture's colours: every character, in writing order, in the
    // colour the conversion gave it (CharacterColors); an empty list leaves
    // the terminal's foreground, characters past the list keep the last
    // colour. The list is read as the lines come, so a conversion writing
    // into the writer may fill it as it goes.
    AnsiTextWriter(QIODevice &out, const CharacterColors &colors);
    // Writes what is left, a last line without its end too; false when out
    // did not take everything.
    bool finish();

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    void line(const char *from, const char *to);
    bool flush();

    QIODevice &m_out;
    QByteArray m_prefix;                       // one colour for every line
    const CharacterColors *m_colors = nullptr; // or the picture's colours
    size_t m_next = 0;                         // the next character's colour
    QByteArray m_partial;                      // a line not ended yet
    QByteArray m_buffer;
    bool m_failed = false;
};

// A whole text result through an AnsiTextWriter. False when out did not
// take it all.
bool writeAnsiText(const QByteArray &text, quint32 color, QIODevice &out);
bool writeAnsiText(const QByteArray &text, QIODevice &out);
bool writeAnsiPictureText(const QByteArray &text, const CharacterColors &colors, QIODevice &out);

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
