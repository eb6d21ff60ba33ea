#include "cli/cli.h"

#include "engine/ansiart.h"
#include "engine/figureconvert.h"
#include "engine/fontfaces.h"
#include "engine/fontmodule.h"
#include "engine/grid.h"
#include "engine/gridload.h"
#include "engine/imageloader.h"
#include "engine/memoryprobe.h"
#include "engine/options.h"
#include "engine/outputfile.h"
#include "engine/paths.h"
#include "engine/pdfexport.h"
#include "engine/textcolors.h"
#include "engine/textconvert.h"
#include "engine/toneconvert.h"
#include "engine/toneramp.h"
#include "document/artimage.h"
#include "document/documentfill.h"
#include "document/htmlpage.h"
#include "document/mosaiclayout.h"
#include "document/resultexport.h"
#include "document/plaintext.h"
#include "document/richformat.h"
#include "document/rtf.h"

#include <QBuffer>
#include <algorithm>
#include <new>
#include <QFile>
#include <QFileInfo>
#include <QTextCursor>
#include <QTextDocument>

static void initSampleResource()
{
    Q_INIT_RESOURCE(sample);
}

namespace tessilor::cli {

namespace {

struct Options {
    Mode mode = Mode::Text;
    TextMethod method = TextMethod::Classic;
    bool fill = false;
    QString columns;
    QString rows;
    bool rowsGiven = false;
    int font = 1;
    int contrast = 0;
    bool gray = false;
    int figureCode = kDefaultFigureCode;
    QString output;
    QString format = QStringLiteral("txt");
    bool formatGiven = false;
    int size = 8;
    quint32 color = 0;
    bool colorGiven = false;
    bool pictureColors = false; // --color picture: each character in its cell's colour
    int figureFont = 1;
    ArtBackground background = ArtBackground::Light;
    QString image;
    bool imageGiven = false; // an empty name is still a name, of no file
};

// The sampling grid of the run: colours (classic method, figures) or linear
// luminance at twice the columns (tone method).
struct TextGrid {
    QImage rgb;
    LumaGrid luma;
    // The tone method in the picture's colours: a colour grid of the
    // characters' columns.
    QImage toneColors;
};

struct UsageError {
    QString message;
};

// The result cannot be made in the chosen form (a picture too large, say).
struct ResultError {
    QString message;
};

// False when the device did not take all of it.
bool say(QIODevice &dev, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return dev.write(bytes) == bytes.size();
}

int cannotWriteStandardOutput(QIODevice &err)
{
    say(err, QStringLiteral("tessilor-cli: cannot write to standard output\n"));
    return 1;
}

int parseInt(const QString &option, const QString &value, int low, int high)
{
    bool ok = false;
    const int v = value.trimmed().toInt(&ok);
    if (!ok || v < low || v > high)
        throw UsageError{QStringLiteral("%1 needs a whole number from %2 to %3, not '%4'")
                             .arg(option)
                             .arg(low)
                             .arg(high)
                             .arg(value)};
    return v;
}

const QStringList &knownFormats()
{
    static const QStringList formats{QStringLiteral("txt"),   QStringLiteral("rtf"), QStringLiteral("html"),
                                     QStringLiteral("png"),   QStringLiteral("pdf"), QStringLiteral("ansi"),
                                     QStringLiteral("colors")};
    return formats;
}

Options parseArgs(const QStringList &args)
{
    Options o;
    bool columnsGiven = false;
    bool noMoreOptions = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString a = args[i];
        if (noMoreOptions || !a.startsWith(u'-') || a == QLatin1String("-")) {
            if (o.imageGiven)
                throw UsageError{QStringLiteral("only one image may be given")};
            o.image = a;
            o.imageGiven = true;
            continue;
        }
        if (a == QLatin1String("--")) {
            noMoreOptions = true;
            continue;
        }
        QString name = a;
        QString value;
        bool inlineValue = false;
        if (a.startsWith(QLatin1String("--"))) {
            const qsizetype eq = a.indexOf(u'=');
            if (eq > 0) {
                name = a.left(eq);
                value = a.mid(eq + 1);
                inlineValue = true;
            }
        }
        auto needValue = [&]() -> QString {
            if (inlineValue)
                return value;
            if (i + 1 >= args.size())
                throw UsageError{QStringLiteral("option %1 needs a value").arg(name)};
            return args[++i];
        };
        if (name == QLatin1String("-m") || name == QLatin1String("--mode")) {
            const QString v = needValue();
            if (v == QLatin1String("text"))
                o.mode = Mode::Text;
            else if (v == QLatin1String("figures"))
                o.mode = Mode::Figures;
            else
                throw UsageError{QStringLiteral("--mode is text or figures, not '%1'").arg(v)};
        } else if (name == QLatin1String("--method")) {
            const QString v = needValue();
            if (v == QLatin1String("classic"))
                o.method = TextMethod::Classic;
            else if (v == QLatin1String("tone"))
                o.method = TextMethod::Tone;
            else
                throw UsageError{QStringLiteral("--method is classic or tone, not '%1'").arg(v)};
        } else if (name == QLatin1String("--fill")) {
            if (inlineValue)
                throw UsageError{QStringLiteral("--fill takes no value")};
            o.fill = true;
        } else if (name == QLatin1String("-c") || name == QLatin1String("--columns")) {
            o.columns = needValue();
            columnsGiven = true;
        } else if (name == QLatin1String("-r") || name == QLatin1String("--rows")) {
            o.rows = needValue();
            o.rowsGiven = true;
        } else if (name == QLatin1String("-f") || name == QLatin1String("--font")) {
            o.font = parseInt(name, needValue(), 1, 4);
        } else if (name == QLatin1String("--contrast")) {
            o.contrast = parseInt(name, needValue(), -127, 127);
        } else if (name == QLatin1String("--gray")) {
            if (inlineValue)
                throw UsageError{QStringLiteral("--gray takes no value")};
            o.gray = true;
        } else if (name == QLatin1String("--figure-code")) {
            o.figureCode = parseInt(name, needValue(), kFirstFigureCode, kLastFigureCode);
        } else if (name == QLatin1String("-o") || name == QLatin1String("--output")) {
            o.output = needValue();
            if (o.output.isEmpty())
                throw UsageError{QStringLiteral("--output needs a file name")};
        } else if (name == QLatin1String("-F") || name == QLatin1String("--format")) {
            o.format = needValue();
            o.formatGiven = true;
            if (!knownFormats().contains(o.format))
                throw UsageError{
                    QStringLiteral("--format is txt, rtf, html, png, pdf, ansi or colors, not '%1'").arg(o.format)};
        } else if (name == QLatin1String("-s") || name == QLatin1String("--size")) {
            const QString v = needValue();
            o.size = parseInt(name, v, 1, 1638);
            if (std::find(sizeList().begin(), sizeList().end(), o.size) == sizeList().end()) {
                QStringList sizes;
                for (int n : sizeList())
                    sizes.append(QString::number(n));
                throw UsageError{
                    QStringLiteral("--size is one of %1, not '%2'").arg(sizes.join(QStringLiteral(", ")), v)};
            }
        } else if (name == QLatin1String("--color")) {
            const QString v = needValue();
            if (v.trimmed() == QLatin1String("picture")) {
                o.pictureColors = true;
                continue;
            }
            o.pictureColors = false;
            QString hex = v.trimmed();
            if (hex.startsWith(u'#'))
                hex.remove(0, 1);
            bool ok = hex.size() == 6;
            const uint rgb = ok ? hex.toUInt(&ok, 16) : 0;
            if (!ok)
                throw UsageError{
                    QStringLiteral("--color needs six hexadecimal digits RRGGBB or 'picture', not '%1'").arg(v)};
            o.color = rgbValue(int(rgb >> 16) & 0xFF, int(rgb >> 8) & 0xFF, int(rgb) & 0xFF);
            o.colorGiven = true;
        } else if (name == QLatin1String("--background")) {
            const QString v = needValue();
            if (v == QLatin1String("light"))
                o.background = ArtBackground::Light;
            else if (v == QLatin1String("dark"))
                o.background = ArtBackground::Dark;
            else
                throw UsageError{QStringLiteral("--background is light or dark, not '%1'").arg(v)};
        } else if (name == QLatin1String("--figure-font")) {
            o.figureFont = parseInt(name, needValue(), 1, 2);
        } else if (name == QLatin1String("-h") || name == QLatin1String("--help")) {
            throw UsageError{QString()};
        } else {
            throw UsageError{QStringLiteral("unknown option %1").arg(a)};
        }
    }
    if (!columnsGiven)
        o.columns = o.mode == Mode::Text ? QStringLiteral("160") : QStringLiteral("80");
    if (!o.formatGiven && !o.output.isEmpty()) {
        // The output file's extension chooses the format.
        ExportFormat format = ExportFormat::Text;
        if (exportFormatForSuffix(QFileInfo(o.output).suffix(), &format))
            o.format = exportFormatName(format);
    }
    // Fonts with a fixed size force their size, as the font list does.
    if (o.mode == Mode::Text) {
        if (const int entry = fixedSizeEntry(o.font))
            o.size = sizeList()[size_t(entry - 1)];
    }
    if (o.format == QLatin1String("colors") && o.mode != Mode::Figures)
        throw UsageError{QStringLiteral("--format colors needs --mode figures")};
    if (o.fill && o.mode != Mode::Figures)
        throw UsageError{QStringLiteral("--fill needs --mode figures")};
    if (o.method != TextMethod::Classic && o.mode != Mode::Text)
        throw UsageError{QStringLiteral("--method needs --mode text")};
    if (o.background == ArtBackground::Dark) {
        if (o.mode != Mode::Text)
            throw UsageError{QStringLiteral("--background dark needs --mode text")};
        if (o.format != QLatin1String("txt") && o.format != QLatin1String("ansi") && o.format != QLatin1String("html"))
            throw UsageError{
                QStringLiteral("--background dark is for txt, ansi and html output, not %1").arg(o.format)};
        // Light text on the black page, unless a colour was asked for.
        if (!o.colorGiven && !o.pictureColors)
            o.color = rgbValue(255, 255, 255);
    }
    return o;
}

// Figure mode as plain text: the glyph once per cell, a line per row.
class GlyphTextSink : public FigureSink
{
public:
    GlyphTextSink(QChar glyph, QIODevice &out) : m_glyph(QString(glyph).toUtf8()), m_out(out) {}
    void cell(quint32) override { m_line.append(m_glyph); }
    void filledCell(quint32, quint32) override { m_line.append(m_glyph); }
    void endRow(int, int) override
    {
        m_line.append("\r\n");
        if (m_out.write(m_line) != m_line.size())
            m_failed = true;
        m_line.clear();
    }
    bool failed() const { return m_failed; }

private:
    QByteArray m_glyph;
    QIODevice &m_out;
    QByteArray m_line;
    bool m_failed = false;
};

bool toneMethod(const Options &o)
{
    return o.mode == Mode::Text && o.method == TextMethod::Tone;
}

// Text in the picture's colours.
bool pictureText(const Options &o)
{
    return o.mode == Mode::Text && o.pictureColors;
}

// The colours of the characters' cells and the characters per cell.
const QImage &textColorGrid(const Options &o, const TextGrid &grid)
{
    return toneMethod(o) ? grid.toneColors : grid.rgb;
}

int charactersPerCell(const Options &o)
{
    return charactersPerColorCell(int(o.method));
}

// Formats drawn with fonts, which need a GUI application object.
bool richFormat(const QString &format)
{
    return format == QLatin1String("rtf") || format == QLatin1String("html") || format == QLatin1String("png") ||
           format == QLatin1String("pdf");
}

QFont textFont(const Options &o)
{
    QFont font(rampFonts()[size_t(o.font - 1)].face);
    font.setPointSize(o.size);
    return font;
}

// The tone method's ramp, measured in the face the desktop program draws the
// font entry with.
const ToneRamp &toneRampOf(const Options &o)
{
    installFontSubstitutions();
    return toneRamp(textFont(o), rampFonts()[size_t(o.font - 1)].ramp, o.background);
}

// Ink of the figure glyph in its font and size (none without the fill or
// when the figure font cannot be read).
FillInk fillCoverage(const Options &o)
{
    if (!o.fill)
        return {};
    const QString file = figureFontFile(o.figureFont);
    const QString family = InstallFont(file);
    QFont font(family.isEmpty() ? figureFamily(o.figureFont) : family);
    font.setPointSize(o.size);
    return glyphFillInk(font, codePageChar(o.figureCode));
}

// Writes the text conversion of the chosen method into dev.
TextResult convertText(const Options &o, const TextGrid &grid, QIODevice &dev)
{
    if (toneMethod(o))
        return convertToToneText(grid.luma, toneRampOf(o), qint16(o.contrast), dev, {}, o.background);
    return convertToText(grid.rgb, rampForBackground(rampFonts()[size_t(o.font - 1)].ramp, o.background),
                         qint16(o.contrast), dev);
}

// Qt's rich text document does not check every allocation it makes: its
// fragment table (an entry of 32 bytes per run of one format) grows with
// realloc and is used without a look at the result, so a document filled
// with little memory left ends in SIGSEGV rather than std::bad_alloc. The
// fill is therefore watched: before each row, and before a text goes in at
// once, there must be room for the table's next growth (up to three times
// its size while it is copied) and some more, else the fill ends with
// std::bad_alloc, which run() reports.
void ensureHeadroom(qint64 runs)
{
    if (!memoryAvailable(qint64(16) * 1024 * 1024 + 96 * runs))
        throw std::bad_alloc();
}

class HeadroomSink : public FigureSink
{
public:
    explicit HeadroomSink(FigureSink &inner) : m_inner(inner) {}
    void cell(quint32 color) override
    {
        if (m_rowStart || color != m_color)
            ++m_runs;
        m_rowStart = false;
        m_color = color;
        m_inner.cell(color);
    }
    void filledCell(quint32 color, quint32 background) override
    {
        // A filled cell is a run of its own.
        ++m_runs;
        m_rowStart = false;
        m_color = ~color;
        m_inner.filledCell(color, background);
    }
    void endRow(int rowIndex, int cellsInRow) override
    {
        ensureHeadroom(++m_runs); // the line break is a run of its own
        m_rowStart = true;
        m_inner.endRow(rowIndex, cellsInRow);
    }

private:
    FigureSink &m_inner;
    qint64 m_runs = 0;
    quint32 m_color = 0;
    bool m_rowStart = true;
};

// The result as the desktop program holds it: its rich text, filled the
// way the conversions fill the result window, with the window's paragraph
// indent of 50 twips.
void fillResultDocument(const Options &o, const TextGrid &grid, QTextDocument &doc)
{
    prepareResultDocument(doc);
    QTextBlockFormat block;
    ParaFormat2 indent;
    indent.dwMask = PFM_STARTINDENT;
    indent.dxStartIndent = 50;
    applyParaFormat(indent, block);
    QTextCursor(&doc).setBlockFormat(block);
    if (o.mode == Mode::Text) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        convertText(o, grid, buffer);
        const QString text = QString::fromUtf8(bytes);
        if (pictureText(o)) {
            const std::vector<quint32> colors = pictureTextColors(text, textColorGrid(o, grid), charactersPerCell(o));
            ensureHeadroom(qint64(colors.size()) + 2 * bytes.count('\n'));
            fillPictureTextDocument(doc, text, textFont(o), colors);
            return;
        }
        ensureHeadroom(2 * bytes.count('\n')); // a run and a paragraph mark per line
        fillTextDocument(doc, text, textFont(o), o.color);
        return;
    }
    QFont font(figureFamily(o.figureFont));
    font.setPointSize(o.size);
    // Shown through the mosaic layout, as the result window shows a mosaic.
    const MosaicLayout::Fill display(&doc, codePageChar(o.figureCode));
    FigureDocumentSink sink(&doc, codePageChar(o.figureCode), font, 0);
    HeadroomSink watched(sink);
    convertToFigures(grid.rgb, o.gray, fillCoverage(o), nullptr, &watched);
    sink.finish();
}

// The page of an HTML result: the figure fonts go inside, so that a
// browser shows the figures without installing anything.
HtmlPageOptions pageOptions(const Options &o)
{
    HtmlPageOptions page = resultPageOptions(
        o.image.isEmpty() ? QStringLiteral("tessilor") : QFileInfo(o.image).fileName(), o.mode == Mode::Figures);
    page.darkPage = o.background == ArtBackground::Dark;
    return page;
}

// The result as printing reads it, with the files' contents in memory.
PrintSource printSource(const Options &o, const TextGrid &grid)
{
    PrintSource source;
    QBuffer buffer;
    if (o.mode == Mode::Text) {
        source.resultKind = 3;
        buffer.open(QIODevice::WriteOnly);
        const TextResult r = convertText(o, grid, buffer);
        source.textData = buffer.data();
        source.gridRows = r.counts.gridRows;
        source.gridColumns = r.counts.gridColumns;
        source.fontName = textFont(o).family();
        source.foreColor = o.color;
        if (pictureText(o)) {
            QBuffer colors;
            colors.open(QIODevice::WriteOnly);
            writeTextColorFile(
                pictureTextColors(QString::fromUtf8(source.textData), textColorGrid(o, grid), charactersPerCell(o)),
                colors);
            source.textColors = true;
            source.colorData = colors.data();
        }
    } else {
        source.resultKind = 2;
        buffer.open(QIODevice::WriteOnly);
        const FigureResult r = convertToFigures(grid.rgb, o.gray, fillCoverage(o), &buffer, nullptr);
        source.colorData = buffer.data();
        source.gridRows = r.counts.gridRows;
        source.gridColumns = r.counts.gridColumns;
        source.fontName = figureFamily(o.figureFont);
        source.glyph = codePageChar(o.figureCode);
    }
    source.fontSize = o.size;
    return source;
}

// Why a picture could not be made.
QString artImageProblem(ArtImageError error)
{
    switch (error) {
    case ArtImageError::TooLarge:
        return QStringLiteral("the picture would have more than %1 million pixels; choose a smaller --size or grid")
            .arg(kMaxArtPixels / 1000000);
    case ArtImageError::OutOfMemory:
        return QStringLiteral("not enough memory for the result");
    default:
        return QStringLiteral("the result is empty");
    }
}

// A text result for a terminal.
bool convertAnsi(const Options &o, const TextGrid &grid, QIODevice &dev)
{
    if (o.mode == Mode::Figures) {
        // A full block shows what a cell shows from a distance: its sampled
        // colour, which the figure fill also gives (figure and background
        // together); so --fill changes nothing here.
        AnsiFigureSink sink(dev);
        const FigureResult r = convertToFigures(grid.rgb, o.gray, nullptr, &sink);
        return sink.finish() && r.error == ConvertError::None;
    }
    // Line by line as the conversion writes them; without a colour asked
    // for, in the terminal's own foreground.
    AnsiTextWriter writer = pictureText(o) ? AnsiTextWriter(dev, textColorGrid(o, grid), charactersPerCell(o))
                            : o.colorGiven ? AnsiTextWriter(dev, o.color)
                                           : AnsiTextWriter(dev);
    const bool converted = convertText(o, grid, writer).error == ConvertError::None;
    return writer.finish() && converted;
}

// Converts into dev; false when writing failed. Throws ResultError when the
// result cannot be made in the chosen form.
bool convert(const Options &o, const TextGrid &grid, QIODevice &dev)
{
    if (o.format == QLatin1String("rtf") || o.format == QLatin1String("html")) {
        QTextDocument doc;
        fillResultDocument(o, grid, doc);
        const QByteArray bytes = o.format == QLatin1String("rtf") ? writeRtf(doc) : writeHtmlPage(doc, pageOptions(o));
        return dev.write(bytes) == bytes.size();
    }
    if (o.format == QLatin1String("png")) {
        QTextDocument doc;
        fillResultDocument(o, grid, doc);
        const ArtImageError error = writeArtPng(doc, dev);
        if (error == ArtImageError::WriteFailed)
            return false;
        if (error != ArtImageError::None)
            throw ResultError{artImageProblem(error)};
        return true;
    }
    if (o.format == QLatin1String("pdf")) {
        const PageLayoutInfo page = writeResultPdf(printSource(o, grid), defaultPdfPageLayout(), dev);
        return page.status == LayoutStatus::Done;
    }
    if (o.format == QLatin1String("ansi"))
        return convertAnsi(o, grid, dev);
    if (o.mode == Mode::Text)
        return convertText(o, grid, dev).error == ConvertError::None;
    if (o.format == QLatin1String("colors")) {
        const FigureResult r = convertToFigures(grid.rgb, o.gray, fillCoverage(o), &dev, nullptr);
        return r.error == ConvertError::None;
    }
    GlyphTextSink sink(codePageChar(o.figureCode), dev);
    const FigureResult r = convertToFigures(grid.rgb, o.gray, nullptr, &sink);
    return r.error == ConvertError::None && !sink.failed();
}

// Rich output measures and names its fonts as the desktop program does:
// the figure fonts and the text fonts' stand-ins are known to Qt.
void prepareFonts()
{
    installFontSubstitutions();
    for (int which : {1, 2})
        InstallFont(figureFontFile(which));
}

// An RTF result names fonts that the application opening it must find: the
// figure fonts, or the text fonts with their monospaced stand-ins. They are
// made visible to the user's applications, as the desktop program does at
// start; a failure leaves the result as written and is reported.
void shareFonts(const Options &o, QIODevice &err)
{
    if (o.format != QLatin1String("rtf"))
        return;
    const bool figures = o.mode == Mode::Figures;
    const FontShare share = figures ? shareFontsWithUser({figureFontFile(1), figureFontFile(2)})
                                    : shareTextFontAliases(textFontAliasFile());
    if (share.outcome == FontShare::Failed)
        say(err, QStringLiteral("tessilor-cli: note: other applications may not show the %1 right: %2\n")
                     .arg(figures ? QStringLiteral("figures") : QStringLiteral("text font"), share.error));
}

// Converts and writes the result where the options say; the exit status.
int write(const Options &o, const TextGrid &grid, QIODevice &out, QIODevice &err)
{
    if (o.output.isEmpty()) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!convert(o, grid, buffer) || out.write(bytes) != bytes.size())
            return cannotWriteStandardOutput(err);
        shareFonts(o, err);
        return 0;
    }
    // An output left unfinished is discarded when the file goes.
    OutputFile file(o.output);
    if (!file.open(QIODevice::WriteOnly) || !convert(o, grid, file) || !file.commit()) {
        say(err, QStringLiteral("tessilor-cli: %1: cannot write: %2\n").arg(o.output, file.errorString()));
        return 1;
    }
    shareFonts(o, err);
    return 0;
}

} // namespace

bool needsFonts(const QStringList &args)
{
    try {
        const Options o = parseArgs(args);
        return richFormat(o.format) || toneMethod(o) || o.fill;
    } catch (const UsageError &) {
        return false;
    }
}

QString usage()
{
    return QStringLiteral("Usage: tessilor-cli [OPTIONS] [IMAGE]\n"
                          "Turns a picture into text art.\n\n"
                          "  IMAGE               BMP/DIB, JPEG, GIF, PNG, WebP or TIFF; without it, the\n"
                          "                      built-in sample picture\n"
                          "  -m, --mode MODE     text (default) or figures\n"
                          "  -c, --columns TEXT  characters per line (text) or figures per line (figures);\n"
                          "                      default 160 (text), 80 (figures)\n"
                          "  -r, --rows TEXT     lines; default proportional to the image\n"
                          "  -f, --font N        font list entry 1..4 (text), default 1\n"
                          "      --method M      text method: classic (default) or tone (ramp measured\n"
                          "                      from the font, linear light, error diffusion)\n"
                          "      --contrast N    -127..127, default 0\n"
                          "      --gray          figures in shades of grey\n"
                          "      --figure-code N 33..126, default 86\n"
                          "      --fill          figures: paint each cell's background so that figure\n"
                          "                      and background together give the cell's colour\n"
                          "  -s, --size PT       font size in points from the size list, default 8;\n"
                          "                      fonts 2 and 4 have the fixed sizes 10 and 8\n"
                          "      --color COLOUR  text colour (text mode): RRGGBB, default 000000, or\n"
                          "                      picture: each character in the colour of its cell (tone\n"
                          "                      method: of its half cell)\n"
                          "      --figure-font N figure font 1 or 2 (\"Quar Tessilor Figures N\"), default 1\n"
                          "      --background B  light (default): dark text on light paper; dark: the\n"
                          "                      text is meant light on black (a dark terminal), the\n"
                          "                      densest character standing for white (txt, ansi, html)\n"
                          "  -o, --output FILE   write FILE instead of standard output; a regular FILE\n"
                          "                      is replaced once the result is complete (a link there\n"
                          "                      is replaced, not followed), a pipe or device is\n"
                          "                      written as a stream; FILE may not be the picture\n"
                          "  -F, --format FMT    txt, rtf, html (a page with the figure fonts inside),\n"
                          "                      png (the art as the desktop program draws it), pdf (a\n"
                          "                      page fitted as printing fits it, A4), ansi (24-bit\n"
                          "                      colour codes for terminals; figures as full blocks in\n"
                          "                      each cell's colour, which --fill does not change), or\n"
                          "                      colors (figures only); without it an output FILE ending\n"
                          "                      in .rtf, .html, .htm, .png or .pdf chooses that format,\n"
                          "                      anything else txt\n"
                          "  -h, --help          show this help\n");
}

int run(const QStringList &args, QIODevice &out, QIODevice &err)
{
    Options o;
    try {
        o = parseArgs(args);
    } catch (const UsageError &e) {
        if (e.message.isEmpty())
            return say(out, usage()) ? 0 : cannotWriteStandardOutput(err);
        say(err, QStringLiteral("tessilor-cli: %1\nTry 'tessilor-cli --help' for more information.\n").arg(e.message));
        return 2;
    }

    if (o.imageGiven && !o.output.isEmpty() && isSameFile(o.image, o.output)) {
        say(err,
            QStringLiteral("tessilor-cli: %1: this is the picture itself; name another output file\n").arg(o.output));
        return 1;
    }

    GridSize size;
    const auto sizeFor = [&](QSize image) {
        if (!o.rowsGiven) {
            const float aspect = float(image.width()) / float(image.height());
            o.rows = proportionalRows(o.mode, o.columns, aspect);
        }
        size = clampGrid(o.mode, o.columns, o.rows);
        // The tone method samples every character: twice the cells' columns.
        return QSize(toneMethod(o) ? 2 * size.width : size.width, size.height);
    };
    // The picture is read once, whatever grids are made of it.
    QByteArray picture;
    LoadError error = LoadError::None;
    if (o.imageGiven) {
        error = readPictureFile(o.image, &picture);
    } else {
        initSampleResource();
        QFile file(QStringLiteral(":/tessilor/sample.jpg"));
        file.open(QIODevice::ReadOnly);
        picture = file.readAll();
    }
    TextGrid grid;
    if (error == LoadError::None && toneMethod(o)) {
        LumaGridLoad loaded = loadLumaGridData(picture, sizeFor);
        error = loaded.error;
        grid.luma = std::move(loaded.grid);
        if (error == LoadError::None && pictureText(o)) {
            // The colours of the half cells the characters stand for.
            const GridLoad colors = loadGridData(picture, sizeFor);
            error = colors.error;
            grid.toneColors = colors.grid;
        }
    } else if (error == LoadError::None) {
        GridLoad loaded = loadGridData(picture, sizeFor);
        error = loaded.error;
        grid.rgb = loaded.grid;
    }
    if (error != LoadError::None) {
        say(err, QStringLiteral("tessilor-cli: %1: %2\n")
                     .arg(o.imageGiven ? o.image : QStringLiteral("sample picture"), loadErrorText(error)));
        return 1;
    }
    try {
        if (richFormat(o.format))
            prepareFonts();
        return write(o, grid, out, err);
    } catch (const ResultError &e) {
        say(err, QStringLiteral("tessilor-cli: %1\n").arg(e.message));
        return 1;
    } catch (const std::bad_alloc &) {
        // An output file begun is removed as the exception leaves write().
        say(err, QStringLiteral("tessilor-cli: not enough memory for the result\n"));
        return 1;
    }
}

} // namespace tessilor::cli
