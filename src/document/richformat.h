#pragma once
#include <QColor>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>

// Character and paragraph format records of the rich text control and their
// translation to and from the formats of a QTextDocument. Distances are in
// twips (15 twips make one pixel), colours 24-bit r + 256 g + 65536 b.
namespace tessilor {

// Character format mask and effect bits.
inline constexpr quint32 CFM_BOLD = 0x1;
inline constexpr quint32 CFM_ITALIC = 0x2;
inline constexpr quint32 CFM_UNDERLINE = 0x4;
inline constexpr quint32 CFM_STRIKEOUT = 0x8;
inline constexpr quint32 CFM_PROTECTED = 0x10;
inline constexpr quint32 CFM_LINK = 0x20;
inline constexpr quint32 CFM_SUPERSCRIPT = 0x30000; // superscript and subscript together
inline constexpr quint32 CFM_BACKCOLOR = 0x04000000;
inline constexpr quint32 CFM_COLOR = 0x40000000;
inline constexpr quint32 CFM_FACE = 0x20000000;
inline constexpr quint32 CFM_SIZE = 0x80000000;
inline constexpr quint32 CFE_BOLD = 0x1;
inline constexpr quint32 CFE_ITALIC = 0x2;
inline constexpr quint32 CFE_UNDERLINE = 0x4;
inline constexpr quint32 CFE_STRIKEOUT = 0x8;
inline constexpr quint32 CFE_PROTECTED = 0x10;
inline constexpr quint32 CFE_LINK = 0x20;
inline constexpr quint32 CFE_SUBSCRIPT = 0x10000;
inline constexpr quint32 CFE_SUPERSCRIPT = 0x20000;

// Paragraph format mask bits.
inline constexpr quint32 PFM_STARTINDENT = 0x1;
inline constexpr quint32 PFM_RIGHTINDENT = 0x2;
inline constexpr quint32 PFM_OFFSET = 0x4;
inline constexpr quint32 PFM_ALIGNMENT = 0x8;
inline constexpr quint32 PFM_NUMBERING = 0x20;
inline constexpr quint32 PFM_SPACEBEFORE = 0x40;
inline constexpr quint32 PFM_SPACEAFTER = 0x80;
inline constexpr quint32 PFM_LINESPACING = 0x100;
// Alignment values.
inline constexpr int PFA_LEFT = 1;
inline constexpr int PFA_RIGHT = 2;
inline constexpr int PFA_CENTER = 3;
inline constexpr int PFA_JUSTIFY = 4;

// Properties the document formats carry besides Qt's own.
enum RichProperty : int {
    PropProtected = QTextFormat::UserProperty + 0x7E1, // char: bool
    PropStartIndent,                                   // block: twips
    PropOffset,                                        // block: twips
    PropRightIndent,                                   // block: twips
    PropSpaceBefore,                                   // block: twips
    PropSpaceAfter,                                    // block: twips
    PropLineRule,                                      // block: 0..255
    PropLineSpacing,                                   // block: twips
    PropNumbering,                                     // block: 16-bit numbering code
    PropAlignment,                                     // block: 16-bit alignment code
};

struct CharFormat2 {
    quint32 dwMask = 0;
    quint32 dwEffects = 0;
    qint32 yHeight = 0; // twips
    quint32 crTextColor = 0;
    QString szFaceName; // at most 31 characters
    quint32 crBackColor = 0;
};

struct ParaFormat2 {
    quint32 dwMask = 0;
    qint16 wNumbering = 0;
    qint32 dxStartIndent = 0;
    qint32 dxRightIndent = 0;
    qint32 dxOffset = 0;
    qint16 wAlignment = 0;
    qint32 dySpaceBefore = 0;
    qint32 dySpaceAfter = 0;
    qint32 dyLineSpacing = 0;
    quint8 bLineSpacingRule = 0;
};

// size x 20 twips, rounded to the nearest twip with halves to even.
qint32 twipsFromPoints(double points);
// Whole points of a height in twips, truncated.
int pointsFromTwips(qint32 twips);
// A face name as the record holds it: at most 31 characters.
QString faceNameField(const QString &face);
// Sign extension of a 16-bit field to 32 bits.
inline qint32 signExtend16(quint32 v)
{
    return qint32(qint16(quint16(v & 0xFFFFu)));
}

QColor colorFrom24(quint32 c);
quint32 colorTo24(const QColor &c);

// The face of a character format ("" when none is set).
QString formatFace(const QTextCharFormat &f);

// Reads the masked fields of a character format. Fields the format leaves
// unset are taken from fallback (the control's default format), and a
// colour neither sets counts as black.
CharFormat2 charFormatOf(const QTextCharFormat &f, const QTextCharFormat &fallback, quint32 mask);
// The format change a record describes: only the masked fields are set, so
// merging it leaves everything else of the text alone.
QTextCharFormat charFormatDelta(const CharFormat2 &record);

// Reads the masked fields of a paragraph format.
ParaFormat2 paraFormatOf(const QTextBlockFormat &f, quint32 mask);
// Merges the masked fields of a record into a block format, keeping the twips
// values exactly and the displayed margins in pixels.
void applyParaFormat(const ParaFormat2 &record, QTextBlockFormat &f);

// Alignment code (PFA_) to Qt and back.
Qt::Alignment alignmentFromCode(int code);
int alignmentCode(Qt::Alignment a);

} // namespace tessilor
