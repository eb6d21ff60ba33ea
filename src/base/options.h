#pragma once
#include <QString>
#include <QStringList>
#include <array>

namespace tessilor {

// The program's caption, "Quar Image Tessilor": the title of its main window
// and of its message boxes.
QString programCaption();

// Point sizes of the two size lists (18 entries; entry 3 is 8, entry 4 is 10).
const std::array<int, 18> &sizeList();

// Mode list entries: 1 "Текстовые символы", 2 "Фигуры".
QStringList modeNames();
// Colour-mode list entries: 1 "Цветной", 2 "Оттенки серого".
QStringList colorModeNames();

// What a run makes: text characters or figures (the mode list's entries 1
// and 2, the stored 1/2 code; the numbers stay with the list and the store).
enum class Mode { Text, Figures };

// How text characters are chosen: the classic ramp of the font list, or the
// tone method (ramp measured from the font, linear light, error diffusion).
// The values are those of the method list and of the stored setting.
enum class TextMethod { Classic = 0, Tone = 1 };
// Method list entries in value order: "Классический", "Тональный".
QStringList textMethodNames();

// How much the tone method draws the picture's lines with characters of
// their shape, 0..100 (0: each character by its ink alone), unless told.
inline constexpr int kMinToneStructure = 0;
inline constexpr int kMaxToneStructure = 100;
inline constexpr int kDefaultToneStructure = 50;

// Keys of the chosen figure.
QString figureImageKey(const QString &family, int code); // "f" + family + "*" + code
QString figureButtonKey(int code);                       // "k" + code
int figureCodeFromKey(const QString &key);               // number after the first character

// Family names of the two figure fonts ("Quar Tessilor Figures 1" and "... 2").
QString figureFamily(int which);
inline constexpr int kFirstFigureCode = 33;
inline constexpr int kLastFigureCode = 126;
inline constexpr int kDefaultFigureCode = 86;

// Character of the single-byte Cyrillic code page (Windows-1251) with the
// given code, as the figure glyph and the figure preview use it.
QChar codePageChar(int code);

// 24-bit colours are red + 256*green + 65536*blue.
inline constexpr quint32 rgbValue(int r, int g, int b)
{
    return quint32(r) + 256u * quint32(g) + 65536u * quint32(b);
}
inline constexpr int redOf(quint32 c)
{
    return int(c % 256u);
}
inline constexpr int greenOf(quint32 c)
{
    return int((c % 65536u) / 256u);
}
inline constexpr int blueOf(quint32 c)
{
    return int(c / 65536u);
}

// The 40 swatches of the text colour picker, entry 1 first.
const std::array<quint32, 40> &paletteColors();

} // namespace tessilor
