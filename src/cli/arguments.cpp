#include "cli/arguments.h"

#include "art/fonttables.h"
#include "base/numparse.h"
#include "base/options.h"
#include "base/paths.h"
#include "document/resultexport.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <initializer_list>
#include <utility>

namespace tessilor::cli {

namespace {

struct FormatName {
    Format format;
    const char *name;
    const char *extension;
};
constexpr FormatName kFormats[] = {
    {Format::Text, "txt", "txt"},         {Format::Rtf, "rtf", "rtf"}, {Format::Html, "html", "html"},
    {Format::Png, "png", "png"},          {Format::Pdf, "pdf", "pdf"}, {Format::Ansi, "ansi", "ans"},
    {Format::Colors, "colors", "colors"},
};

// The options, in the order the help lists them.
struct OptionSet {
    QCommandLineOption mode{{QStringLiteral("m"), QStringLiteral("mode")},
                            QStringLiteral("text (default) or figures"),
                            QStringLiteral("mode")};
    QCommandLineOption columns{{QStringLiteral("c"), QStringLiteral("columns")},
                               QStringLiteral("characters per line (text, rounded down to an even number: 17 "
                                              "gives 16) or figures per line (figures); default 160 (text), 80 "
                                              "(figures), or the terminal's width for text output to a terminal; "
                                              "clamped to 16..1024"),
                               QStringLiteral("n")};
    QCommandLineOption rows{{QStringLiteral("r"), QStringLiteral("rows")},
                            QStringLiteral("lines; default proportional to the picture; clamped to 16..1024"),
                            QStringLiteral("n")};
    QCommandLineOption font{{QStringLiteral("f"), QStringLiteral("font")},
                            QStringLiteral("font list entry 1..4 (text), default 1"),
                            QStringLiteral("n")};
    QCommandLineOption method{QStringLiteral("method"),
                              QStringLiteral("text method: classic (default) or tone (ramp measured from the "
                                             "font, linear light, error diffusion)"),
                              QStringLiteral("method")};
    QCommandLineOption structure{QStringLiteral("structure"),
                                 QStringLiteral("tone method: 0..100, how much the characters draw the "
                                                "picture's lines and outlines by their shape (| _ / \\ ( ...) "
                                                "where a cell has a clear edge; 0 chooses by ink alone; "
                                                "default 50"),
                                 QStringLiteral("n")};
    QCommandLineOption contrast{QStringLiteral("contrast"), QStringLiteral("-127..127, default 0"),
                                QStringLiteral("n")};
    QCommandLineOption gray{QStringLiteral("gray"), QStringLiteral("figures in shades of grey")};
    QCommandLineOption figureCode{QStringLiteral("figure-code"), QStringLiteral("33..126, default 86"),
                                  QStringLiteral("n")};
    QCommandLineOption fill{QStringLiteral("fill"),
                            QStringLiteral("figures: paint each cell's background so that figure and background "
                                           "together give the cell's colour")};
    QCommandLineOption size{{QStringLiteral("s"), QStringLiteral("size")},
                            QStringLiteral("font size in points from the size list, default 8; fonts 2 and 4 "
                                           "have the fixed sizes 10 and 8"),
                            QStringLiteral("pt")};
    QCommandLineOption color{QStringLiteral("color"),
                             QStringLiteral("text colour (text mode): RRGGBB, default 000000, or picture: each "
                                            "character in the colour of its cell (tone method: of its half cell)"),
                             QStringLiteral("colour")};
    QCommandLineOption background{QStringLiteral("background"),
                                  QStringLiteral("light (default): dark text on light paper; dark: the text is "
                                                 "meant light on black (a dark terminal), the densest character "
                                                 "standing for white (txt, ansi, html; html gets a black page "
                                                 "with white text unless --color says otherwise)"),
                                  QStringLiteral("b")};
    QCommandLineOption figureFont{
        QStringLiteral("figure-font"),
        QStringLiteral("figure font 1 (default) or 2: \"Quar Tessilor Figures 1\" or \"... 2\""), QStringLiteral("n")};
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("write FILE instead of standard output (one picture only); a "
                                             "regular FILE is replaced once the result is complete (a link "
                                             "there is replaced, not followed), a pipe or device is written as "
                                             "a stream; FILE may not be the picture"),
                              QStringLiteral("file")};
    QCommandLineOption outputDir{QStringLiteral("output-dir"),
                                 QStringLiteral("write the result of each picture into DIR as NAME.EXT: the "
                                                "picture's name with the format's extension (txt, rtf, html, "
                                                "png, pdf, ans, colors), replaced as -o replaces a file"),
                                 QStringLiteral("dir")};
    QCommandLineOption format{{QStringLiteral("F"), QStringLiteral("format")},
                              QStringLiteral("txt, rtf, html (a page with the figure fonts inside), png (the "
                                             "art as the desktop program draws it), pdf (a page fitted as "
                                             "printing fits it, A4), ansi (24-bit colour codes for terminals; "
                                             "figures as full blocks in each cell's colour, which --fill does "
                                             "not change), or colors (figures only); without it an output FILE "
                                             "ending in .rtf, .html, .htm, .png or .pdf chooses that format, "
                                             ".txt or another name txt"),
                              QStringLiteral("fmt")};
    QCommandLineOption page{QStringLiteral("page"),
                            QStringLiteral("the paper of rtf and pdf results: a4 (default), letter or a3"),
                            QStringLiteral("paper")};
    QCommandLineOption margins{QStringLiteral("margins"),
                               QStringLiteral("the margins of rtf and pdf results on every side, in millimetres "
                                              "(0..50); default 30 left, 20 top, 15 right, 20 bottom"),
                               QStringLiteral("mm")};
    QCommandLineOption jobs{{QStringLiteral("j"), QStringLiteral("jobs")},
                            QStringLiteral("pictures converted at once, default the number of processors; a "
                                           "picture that runs out of memory while others are converted is "
                                           "converted again alone"),
                            QStringLiteral("n")};
    QCommandLineOption verbose{QStringLiteral("verbose"),
                               QStringLiteral("say on stderr what a successful run did besides the result: "
                                              "whether the fonts an rtf result names were shared with the user's "
                                              "other applications, or why not (without a home they are not, "
                                              "and nothing is said without this option)")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("show this help")};
    QCommandLineOption version{QStringLiteral("version"), QStringLiteral("show the version")};

    void addTo(QCommandLineParser &parser) const
    {
        parser.setApplicationDescription(QStringLiteral("Turns pictures into text art."));
        for (const QCommandLineOption *o :
             {&mode,       &columns, &rows,    &font,  &method,     &structure,  &contrast, &gray,
              &figureCode, &fill,    &size,    &color, &background, &figureFont, &output,   &outputDir,
              &format,     &page,    &margins, &jobs,  &verbose,    &help,       &version})
            parser.addOption(*o);
        parser.addPositionalArgument(QStringLiteral("image"),
                                     QStringLiteral("BMP/DIB, JPEG, GIF, PNG, WebP or TIFF pictures; without "
                                                    "one, the built-in sample picture"),
                                     QStringLiteral("[image...]"));
    }
};

// One of a few named values; the message lists them all.
template<typename T>
T namedValue(const char *option, const QString &value, std::initializer_list<std::pair<const char *, T>> names,
             Qt::CaseSensitivity cs = Qt::CaseSensitive)
{
    QStringList known;
    for (const auto &[name, v] : names) {
        if (value.compare(QLatin1String(name), cs) == 0)
            return v;
        known.append(QLatin1String(name));
    }
    const QString last = known.takeLast();
    throw UsageError{QStringLiteral("--%1 is %2 or %3, not '%4'")
                         .arg(QLatin1String(option), known.join(QStringLiteral(", ")), last, value)};
}

int wholeNumber(const QString &option, const QString &value, int low, int high)
{
    bool ok = false;
    const int v = value.trimmed().toInt(&ok);
    if (!ok || v < low || v > high)
        throw UsageError{QStringLiteral("--%1 needs a whole number from %2 to %3, not '%4'")
                             .arg(option)
                             .arg(low)
                             .arg(high)
                             .arg(value)};
    return v;
}

// A decimal number, the blanks around it taken off.
QString numberText(const QString &option, const QString &value)
{
    static const QRegularExpression number(QStringLiteral("^\\s*[+-]?[0-9]+(\\.[0-9]+)?\\s*$"));
    if (!number.match(value).hasMatch())
        throw UsageError{QStringLiteral("--%1 needs a number, not '%2'").arg(option, value)};
    return value.trimmed();
}

// A grid size: a number, clamped with the picture's grid as the grid-size
// fields are clamped.
double gridNumber(const QString &option, const QString &value)
{
    return leadingNumber(numberText(option, value));
}

quint32 colorValue(const QString &value)
{
    QString hex = value.trimmed();
    if (hex.startsWith(u'#'))
        hex.remove(0, 1);
    bool ok = hex.size() == 6;
    const uint rgb = ok ? hex.toUInt(&ok, 16) : 0;
    if (!ok)
        throw UsageError{
            QStringLiteral("--color needs six hexadecimal digits RRGGBB or 'picture', not '%1'").arg(value)};
    return rgbValue(int(rgb >> 16) & 0xFF, int(rgb >> 8) & 0xFF, int(rgb) & 0xFF);
}

Format formatNamed(const QString &name)
{
    for (const FormatName &f : kFormats) {
        if (name == QLatin1String(f.name))
            return f.format;
    }
    throw UsageError{QStringLiteral("--format is txt, rtf, html, png, pdf, ansi or colors, not '%1'").arg(name)};
}

// The format an output file's name asks for.
Format formatOfFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    ExportFormat format = ExportFormat::Text;
    if (exportFormatForSuffix(suffix, &format))
        return formatNamed(exportFormatName(format));
    // A picture this program reads but does not write: a mistake, not a text file.
    if (isImageExtension(suffix.toLower()))
        throw UsageError{QStringLiteral("--output: cannot write a .%1 picture; name a .txt, .rtf, .html, .png or "
                                        ".pdf file, or choose the format with --format")
                             .arg(suffix)};
    return Format::Text;
}

void readTextOptions(const QCommandLineParser &p, const OptionSet &s, Arguments &a)
{
    ConversionOptions &c = a.conversion;
    if (p.isSet(s.method))
        c.method = namedValue<TextMethod>("method", p.value(s.method),
                                          {{"classic", TextMethod::Classic}, {"tone", TextMethod::Tone}});
    if (p.isSet(s.structure)) {
        if (c.method != TextMethod::Tone)
            throw UsageError{QStringLiteral("--structure needs --method tone")};
        c.structure =
            wholeNumber(QStringLiteral("structure"), p.value(s.structure), kMinToneStructure, kMaxToneStructure);
    }
    if (p.isSet(s.font))
        a.fontEntry = wholeNumber(QStringLiteral("font"), p.value(s.font), 1, 4);
    c.setFontEntry(a.fontEntry);
    if (p.isSet(s.contrast))
        c.contrast = qint16(wholeNumber(QStringLiteral("contrast"), p.value(s.contrast), -127, 127));
    if (p.isSet(s.background))
        c.background = namedValue<ArtBackground>("background", p.value(s.background),
                                                 {{"light", ArtBackground::Light}, {"dark", ArtBackground::Dark}});
    a.colorGiven = p.isSet(s.color);
    if (a.colorGiven) {
        const QString v = p.value(s.color);
        c.pictureColors = v.trimmed() == QLatin1String("picture");
        if (!c.pictureColors)
            c.textColor = colorValue(v);
    }
}

void readFigureOptions(const QCommandLineParser &p, const OptionSet &s, Arguments &a)
{
    ConversionOptions &c = a.conversion;
    c.gray = p.isSet(s.gray);
    c.fill = p.isSet(s.fill);
    if (p.isSet(s.figureCode))
        c.figureCode =
            wholeNumber(QStringLiteral("figure-code"), p.value(s.figureCode), kFirstFigureCode, kLastFigureCode);
    if (p.isSet(s.figureFont))
        a.figureFont = wholeNumber(QStringLiteral("figure-font"), p.value(s.figureFont), 1, 2);
    c.figureFamily = figureFamily(a.figureFont);
}

// The page of rtf and pdf results.
PageChoice pageOf(const QCommandLineParser &p, const OptionSet &s, Format format)
{
    if ((p.isSet(s.page) || p.isSet(s.margins)) && format != Format::Rtf && format != Format::Pdf)
        throw UsageError{QStringLiteral("--%1 is for rtf and pdf output").arg(p.isSet(s.page) ? "page" : "margins")};
    PageChoice page;
    if (p.isSet(s.page))
        page.paper = namedValue<QPageSize::PageSizeId>(
            "page", p.value(s.page), {{"a4", QPageSize::A4}, {"letter", QPageSize::Letter}, {"a3", QPageSize::A3}},
            Qt::CaseInsensitive);
    if (p.isSet(s.margins)) {
        const QString v = p.value(s.margins);
        bool ok = false;
        const double mm = numberText(QStringLiteral("margins"), v).toDouble(&ok);
        if (!ok || mm < 0 || mm > 50)
            throw UsageError{QStringLiteral("--margins needs millimetres from 0 to 50, not '%1'").arg(v)};
        page.margins = QMarginsF(mm, mm, mm, mm);
    }
    return page;
}

double pointSize(const QCommandLineParser &p, const OptionSet &s)
{
    if (!p.isSet(s.size))
        return 8;
    const QString v = p.value(s.size);
    const int size = wholeNumber(QStringLiteral("size"), v, 1, 1638);
    if (std::find(sizeList().begin(), sizeList().end(), size) == sizeList().end()) {
        QStringList sizes;
        for (int n : sizeList())
            sizes.append(QString::number(n));
        throw UsageError{QStringLiteral("--size is one of %1, not '%2'").arg(sizes.join(QStringLiteral(", ")), v)};
    }
    return size;
}

} // namespace

Arguments parseArguments(const QStringList &args, int terminalColumns)
{
    QCommandLineParser p;
    const OptionSet s;
    s.addTo(p);
    if (!p.parse(QStringList(QStringLiteral("tessilor-cli")) + args))
        throw UsageError{p.errorText()};
    Arguments a;
    a.help = p.isSet(s.help);
    a.verbose = p.isSet(s.verbose);
    a.version = p.isSet(s.version);
    if (a.help || a.version)
        return a;

    ConversionOptions &c = a.conversion;
    if (p.isSet(s.mode))
        c.mode = namedValue<Mode>("mode", p.value(s.mode), {{"text", Mode::Text}, {"figures", Mode::Figures}});
    readTextOptions(p, s, a);
    readFigureOptions(p, s, a);
    const double size = pointSize(p, s);
    c.textSize = size;
    c.figureSize = size;
    // Fonts with a fixed size force their size, as the font list does.
    if (const int entry = fixedSizeEntry(a.fontEntry); entry && c.mode == Mode::Text)
        c.textSize = sizeList()[size_t(entry - 1)];

    a.images = p.positionalArguments();
    a.output = p.value(s.output);
    if (p.isSet(s.output) && a.output.isEmpty())
        throw UsageError{QStringLiteral("--output needs a file name")};
    a.outputDir = p.value(s.outputDir);
    if (p.isSet(s.outputDir) && a.outputDir.isEmpty())
        throw UsageError{QStringLiteral("--output-dir needs a folder name")};
    if (!a.output.isEmpty() && !a.outputDir.isEmpty())
        throw UsageError{QStringLiteral("--output and --output-dir exclude each other")};
    if (!a.output.isEmpty() && a.images.size() > 1)
        throw UsageError{QStringLiteral("--output takes the result of one picture; use --output-dir for several")};
    if (p.isSet(s.format))
        a.format = formatNamed(p.value(s.format));
    else if (!a.output.isEmpty())
        a.format = formatOfFile(a.output);
    if (a.images.size() > 1 && a.outputDir.isEmpty() && a.format != Format::Text && a.format != Format::Ansi)
        throw UsageError{QStringLiteral("several pictures to standard output need --format txt or ansi; use "
                                        "--output-dir for the others")};
    a.page = pageOf(p, s, a.format);
    a.jobs = p.isSet(s.jobs) ? wholeNumber(QStringLiteral("jobs"), p.value(s.jobs), 1, 1024)
                             : std::max(1, QThread::idealThreadCount());

    if (p.isSet(s.columns)) {
        c.columns = gridNumber(QStringLiteral("columns"), p.value(s.columns));
    } else {
        const bool toTerminal = terminalColumns > 0 && a.output.isEmpty() && a.outputDir.isEmpty() &&
                                (a.format == Format::Text || a.format == Format::Ansi);
        c.columns = toTerminal ? terminalColumns : (c.mode == Mode::Text ? 160 : 80);
    }
    // Without --rows the rows follow the columns and each picture's aspect.
    c.rowsFromColumns = !p.isSet(s.rows);
    if (p.isSet(s.rows))
        c.rows = gridNumber(QStringLiteral("rows"), p.value(s.rows));

    if (a.format == Format::Colors && c.mode != Mode::Figures)
        throw UsageError{QStringLiteral("--format colors needs --mode figures")};
    if (c.fill && c.mode != Mode::Figures)
        throw UsageError{QStringLiteral("--fill needs --mode figures")};
    if (c.method != TextMethod::Classic && c.mode != Mode::Text)
        throw UsageError{QStringLiteral("--method needs --mode text")};
    if (c.background == ArtBackground::Dark) {
        if (c.mode != Mode::Text)
            throw UsageError{QStringLiteral("--background dark needs --mode text")};
        if (a.format != Format::Text && a.format != Format::Ansi && a.format != Format::Html)
            throw UsageError{QStringLiteral("--background dark is for txt, ansi and html output, not %1")
                                 .arg(formatExtension(a.format))};
        // Light text on the black page, unless a colour was asked for.
        if (!a.colorGiven)
            c.textColor = rgbValue(255, 255, 255);
    }
    return a;
}

QString usage()
{
    QCommandLineParser p;
    OptionSet().addTo(p);
    QString text = p.helpText();
    // The parser names the program as it was started; the help names it as
    // people type it.
    const qsizetype end = text.indexOf(u'\n');
    text.replace(0, end, QStringLiteral("Usage: tessilor-cli [options] [image...]"));
    return text;
}

QString formatExtension(Format format)
{
    for (const FormatName &f : kFormats) {
        if (f.format == format)
            return QLatin1String(f.extension);
    }
    return QStringLiteral("txt");
}

bool richFormat(Format format)
{
    return format == Format::Rtf || format == Format::Html || format == Format::Png || format == Format::Pdf;
}

bool needsFonts(const Arguments &a)
{
    return richFormat(a.format) || a.conversion.toneMethod() || a.conversion.fill;
}

} // namespace tessilor::cli
