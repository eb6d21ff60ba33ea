#pragma once
#include <QChar>
#include <QFont>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>

#include "art/figurefill.h"
#include "art/fonttables.h"
#include "art/textconvert.h"
#include "art/toneramp.h"
#include "base/options.h"
#include "base/runhooks.h"
#include "picture/grid.h"
#include "picture/loadresult.h"
#include "picture/picturesource.h"

class QIODevice;
class QTextDocument;

// One conversion of a picture, for both front ends: the desktop program's
// run into the result window and its temporary files, and tessilor-cli's
// run into a file, a document or a terminal. The same picture and options
// give the same text and colour files in both.
namespace tessilor {

struct ConversionOptions {
    Mode mode = Mode::Text;
    // The grid asked for, counted as the grid-size fields count it: columns
    // (characters per line in text mode, two to a cell; figures per line)
    // and rows, the numbers read once from the fields or the command line.
    // conversionGrid clamps them by the one rule (clampGrid) with gridClamp.
    // With rowsFromColumns the rows come from the columns and the picture's
    // aspect, as the proportional box couples the fields, and both are
    // clamped together (GridClamp::KeepProportions).
    double columns = 0;
    double rows = 0;
    GridClamp gridClamp = GridClamp::EachSide;
    bool rowsFromColumns = false;

    // Text characters: the method, the font list entry's face and classic
    // light-to-dark ramp, the size in points (0: the face's own), the
    // contrast and the colour: one for every character, or each character
    // in the colour of the part of the picture it stands for.
    TextMethod method = TextMethod::Classic;
    QString fontFace;
    QString ramp;
    double textSize = 0;
    qint16 contrast = 0;
    quint32 textColor = 0;
    bool pictureColors = false;
    // What the text is drawn on: dark ink on light paper, or light ink on
    // black (the densest character stands for white).
    ArtBackground background = ArtBackground::Light;
    // The tone method: how much the characters draw the picture's lines by
    // their shape, 0..100 (0: by their ink alone; see ToneStructure).
    int structure = kDefaultToneStructure;

    // Figures: the figure font's family, the figure's code in the
    // single-byte Cyrillic code page, the size in points (0: the face's
    // own), grey or colour, and the fill (each cell's background painted so
    // that figure and background together give the cell's colour).
    QString figureFamily;
    int figureCode = kDefaultFigureCode;
    double figureSize = 0;
    bool gray = false;
    bool fill = false;

    // Options of font list entry 1..4 (rampFonts()): its face and ramp.
    void setFontEntry(int entry);
    // The font the result is shown in, and the figure glyph.
    QFont textFont() const;
    QFont figureFont() const;
    QFont resultFont() const { return mode == Mode::Text ? textFont() : figureFont(); }
    // The text font as the tone method's ramp is measured and kept for it.
    ToneFont toneFont() const { return ToneFont(fontFace, textSize > 0 ? textSize : 0); }
    QChar glyph() const;
    bool toneMethod() const { return mode == Mode::Text && method == TextMethod::Tone; }
};

// The figure's ink for the fill as the result window and the PNG draw it:
// measured on a small mosaic of the glyph in that font, filled, laid out and
// drawn as a result is (the glyph's outline measure where it cannot be
// drawn).
FillInk figureInkAsDrawn(const QFont &font, QChar glyph);

// Where a conversion's result goes; every destination is optional.
struct ConversionOutputs {
    // Text characters: a line per grid row, UTF-8, ended by CR LF. Figures:
    // the glyph once per cell, lines alike.
    QIODevice *text = nullptr;
    // Figures: the colour file, a line per cell. Text in the picture's
    // colours: a line per character (see textcolors.h).
    QIODevice *colors = nullptr;
    // 24-bit colour codes for a terminal (ansiart.h); a figure cell is a full
    // block in its sampled colour, whatever the fill. Text of one colour goes
    // in the terminal's own foreground when no colour was asked for.
    QIODevice *terminal = nullptr;
    bool terminalForeground = false;
    // The result's rich text, filled as the result window shows it. A
    // mosaic keeps its colours beside the document (MosaicCells) or writes
    // them into the formats.
    QTextDocument *document = nullptr;
    bool keepMosaicColours = false;
    // Called right before the document is filled, once the conversion has
    // run: the result window empties its control and sets its fonts here.
    std::function<void()> beforeFill;
};

enum class ConversionError {
    None,
    NoRamp,      // the font has no characters to draw the tones with
    NoFigure,    // no figure chosen
    LoadFailed,  // the picture could not be read (see loadError)
    GridMemory,  // no memory for the sampling grid
    EmptyGrid,   // the grid has no cells
    OutOfMemory, // no memory for the result
    WriteFailed, // a destination did not take it all (see failedOutput)
};

struct ConversionResult {
    ConversionError error = ConversionError::None;
    LoadError loadError = LoadError::None;
    QString loadDetail;
    QIODevice *failedOutput = nullptr;
    // The grid in cells after the clamp.
    GridSize grid;
    QSize imageSize;
    RunCounts counts;
    bool ok() const { return error == ConversionError::None; }
};

// Samples the picture, converts it and writes every destination asked for.
// The hooks stop the conversion (the partial result is kept and written),
// let the caller's events run and report progress. Rich output (a document,
// the tone method's ramp, the fill's coverage) needs a QGuiApplication.
ConversionResult convertPicture(const ConversionOptions &options, const PictureSource &picture,
                                const ConversionOutputs &outputs, const RunHooks &hooks = {});

// The grids a text without the picture's colours is made of: the
// luminance, and the colours as pixels that keep holds.
struct TextSamples : LumaSamples {
    PixelView colors;
    std::shared_ptr<const void> keep;
};
// The grids of a request, as a picture source samples them.
using TextSampler = std::function<TextSamples(const SamplingRequest &)>;

// Text without the picture's colours into the text and terminal outputs (the
// others are not written): what convertPicture makes of such options, the
// tone method's with the ramp given (the classic method's without one), the
// grids from sample. It reaches neither documents nor picture classes, so
// that a program linked without the GUI libraries runs it (tessilor-cli's
// quick start).
ConversionResult convertPlainText(const ConversionOptions &options, const ToneRamp *ramp, const TextSampler &sample,
                                  const ConversionOutputs &outputs, const RunHooks &hooks = {});

// The grid of the options for a picture of the given size, in cells: the
// grid asked for, clamped once. The size counts only with rowsFromColumns.
GridSize conversionGrid(const ConversionOptions &options, QSize imageSize = QSize());

} // namespace tessilor
