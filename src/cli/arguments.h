#pragma once
#include <QMarginsF>
#include <QPageSize>
#include <QString>
#include <QStringList>

#include "document/conversion.h"
#include "layout/printlayout.h"

// The command line of tessilor-cli: its options, read with Qt's parser and
// checked, and its help.
namespace tessilor::cli {

// The formats of the results.
enum class Format { Text, Rtf, Html, Png, Pdf, Ansi, Colors };

// The page of rtf and pdf results: the paper, and the margins in
// millimetres (resultPageLayout makes the page of them).
struct PageChoice {
    QPageSize::PageSizeId paper = QPageSize::A4;
    QMarginsF margins = designMarginsMm();
};

struct Arguments {
    ConversionOptions conversion;
    Format format = Format::Text;
    // Entry of the font list (1..4) and of the figure fonts (1, 2).
    int fontEntry = 1;
    int figureFont = 1;
    // A text colour was asked for (else terminals keep their own).
    bool colorGiven = false;
    // The pictures; none: the built-in sample picture.
    QStringList images;
    // Where results go: one file (-o), a folder for several pictures
    // (--output-dir), or standard output when neither is given.
    QString output;
    QString outputDir;
    PageChoice page;
    // Pictures converted at once.
    int jobs = 1;
    // Say on stderr what a successful run did besides its result.
    bool verbose = false;
    bool help = false;
    bool version = false;
};

// A command line that cannot be run; message names the option.
struct UsageError {
    QString message;
};

// Reads args (without the program name). terminalColumns: the width of the
// terminal standard output goes to, 0 when it is no terminal; text output
// to a terminal fits its width unless --columns is given. Throws UsageError.
Arguments parseArguments(const QStringList &args, int terminalColumns = 0);

// The help text, as --help prints it.
QString usage();

// The format's usual extension: txt, rtf, html, png, pdf, ans or colors.
QString formatExtension(Format format);
// Formats drawn with fonts, which need a GUI application object.
bool richFormat(Format format);
// Results that need fonts measured: rich formats, the tone method, the fill.
bool needsFonts(const Arguments &arguments);

} // namespace tessilor::cli
