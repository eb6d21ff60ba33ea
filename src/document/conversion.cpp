#include "document/conversion.h"

#include "art/ansiart.h"
#include "art/figureconvert.h"
#include "art/figurefill.h"
#include "art/textcolors.h"
#include "art/textconvert.h"
#include "art/toneconvert.h"
#include "art/toneramp.h"
#include "base/memoryprobe.h"
#include "document/artimage.h"
#include "document/documentfill.h"
#include "document/mosaiclayout.h"
#include "picture/picturesource.h"

#include <QBuffer>
#include <QImage>
#include <QTextDocument>
#include <cmath>
#include <memory>
#include <new>
#include <optional>

namespace tessilor {

namespace {

// Memory a mosaic takes per cell while its document is built: a
// million-cell mosaic needed 50 to 70 MB more (about 60 bytes a cell); the
// check asks for well over twice that, since Qt's document code cannot
// survive running out of memory half way.
constexpr qint64 kMosaicBytesPerCell = 160;

// Qt's rich text document does not check every allocation it makes: its
// fragment table (an entry of 32 bytes per run of one format) grows with
// realloc and is used without a look at the result, so a document filled
// with little memory left ends in SIGSEGV rather than std::bad_alloc. The
// fill is therefore watched: before each row, and before a text goes in at
// once, there must be room for the table's next growth (up to three times
// its size while it is copied) and some more, else the fill ends with
// std::bad_alloc.
void ensureHeadroom(qint64 runs)
{
    if (!memoryAvailable(qint64(16) * 1024 * 1024 + 96 * runs))
        throw std::bad_alloc();
}

// Counts the runs a mosaic's document takes and watches the memory for them.
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

// A mosaic as plain text: the glyph once per cell, a line per row.
class GlyphTextSink : public FigureSink
{
public:
    GlyphTextSink(QChar glyph, QIODevice &out) : m_glyph(QString(glyph).toUtf8()), m_out(out) {}
    void cell(quint32) override { m_line.append(m_glyph); }
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

// Hands every cell to each of several sinks.
class FigureSinks : public FigureSink
{
public:
    void add(FigureSink *sink) { m_sinks.push_back(sink); }
    bool empty() const { return m_sinks.empty(); }
    void cell(quint32 color) override
    {
        for (FigureSink *s : m_sinks)
            s->cell(color);
    }
    void filledCell(quint32 color, quint32 background) override
    {
        for (FigureSink *s : m_sinks)
            s->filledCell(color, background);
    }
    void endRow(int rowIndex, int cellsInRow) override
    {
        for (FigureSink *s : m_sinks)
            s->endRow(rowIndex, cellsInRow);
    }

private:
    std::vector<FigureSink *> m_sinks;
};

bool writeAll(QIODevice &out, const QByteArray &bytes)
{
    return out.write(bytes) == bytes.size();
}

void yieldTo(const RunHooks &hooks)
{
    if (hooks.yield)
        hooks.yield();
}

ConversionResult failed(ConversionResult result, ConversionError error, QIODevice *output = nullptr)
{
    result.error = error;
    result.failedOutput = output;
    return result;
}

// The conversion's error for a text that could not be converted, or nothing.
std::optional<ConversionError> textError(ConvertError error)
{
    switch (error) {
    case ConvertError::None:
        return std::nullopt;
    case ConvertError::RampTooShort:
        return ConversionError::NoRamp;
    case ConvertError::EmptyGrid:
        return ConversionError::EmptyGrid;
    case ConvertError::WriteFailed:
        // Only memory can refuse bytes to a buffer.
        return ConversionError::OutOfMemory;
    }
    return std::nullopt;
}

// Writes the text to the text and terminal outputs; the output that did not
// take it, or null.
QIODevice *unwrittenTextOutput(const ConversionOptions &o, const QByteArray &bytes, const CharacterColors &colors,
                               const ConversionOutputs &outputs)
{
    if (outputs.text && !writeAll(*outputs.text, bytes))
        return outputs.text;
    if (outputs.terminal) {
        const bool written = o.pictureColors              ? writeAnsiPictureText(bytes, colors, *outputs.terminal)
                             : outputs.terminalForeground ? writeAnsiText(bytes, *outputs.terminal)
                                                          : writeAnsiText(bytes, o.textColor, *outputs.terminal);
        if (!written)
            return outputs.terminal;
    }
    return nullptr;
}

// The text into bytes: the tone method's of the luminance, the classic
// method's of the colour grid; with characterColors each character's colour
// too, from the colour grid. The counts go into result; the failure, or
// nothing.
std::optional<ConversionResult> convertText(const ConversionOptions &o, const LumaSamples &samples,
                                            const PixelView &colorGrid, const ToneRamp *ramp, const RunHooks &hooks,
                                            CharacterColors *characterColors, QByteArray &bytes,
                                            ConversionResult &result)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const ToneStructure structure{samples.lumaDetail.isNull() ? nullptr : &samples.lumaDetail, o.structure};
    const TextResult converted = ramp ? convertToToneText(samples.luma, *ramp, o.contrast, buffer, hooks, o.background,
                                                          structure, ToneColors{colorGrid, characterColors})
                                      : convertToText(colorGrid, rampForBackground(o.ramp, o.background), o.contrast,
                                                      buffer, hooks, characterColors);
    result.counts = converted.counts;
    if (const std::optional<ConversionError> error = textError(converted.error))
        return failed(result, *error);
    yieldTo(hooks);
    return std::nullopt;
}

// The text without the picture's colours into the text and terminal
// outputs.
ConversionResult convertToPlainTextResult(const ConversionOptions &o, const TextSamples &samples, const ToneRamp *ramp,
                                          const ConversionOutputs &outputs, const RunHooks &hooks,
                                          ConversionResult result)
{
    QByteArray bytes;
    if (std::optional<ConversionResult> failure =
            convertText(o, samples, samples.colors, ramp, hooks, nullptr, bytes, result))
        return *failure;
    if (QIODevice *unwritten = unwrittenTextOutput(o, bytes, CharacterColors(), outputs))
        return failed(result, ConversionError::WriteFailed, unwritten);
    return result;
}

ConversionResult convertToTextResult(const ConversionOptions &o, const PictureSamples &samples, const ToneRamp *ramp,
                                     const ConversionOutputs &outputs, const RunHooks &hooks, ConversionResult result)
{
    // In the picture's colours every character gets its colour as it is
    // written.
    CharacterColors colors;
    const QImage colorGrid = samples.colors.convertToFormat(QImage::Format_RGB32);
    QByteArray bytes;
    if (std::optional<ConversionResult> failure = convertText(o, samples, pixelsOf(colorGrid), ramp, hooks,
                                                              o.pictureColors ? &colors : nullptr, bytes, result))
        return *failure;
    if (QIODevice *unwritten = unwrittenTextOutput(o, bytes, colors, outputs))
        return failed(result, ConversionError::WriteFailed, unwritten);
    if (o.pictureColors && outputs.colors && !writeTextColorFile(colors, *outputs.colors))
        return failed(result, ConversionError::WriteFailed, outputs.colors);
    if (!outputs.document)
        return result;

    const QString text = QString::fromUtf8(bytes);
    bytes.clear();
    if (outputs.beforeFill)
        outputs.beforeFill();
    const qint64 lines = text.count(u'\n');
    // A run and a paragraph mark per line, and a run per character in the
    // picture's colours.
    ensureHeadroom(qint64(colors.size()) + 2 * lines);
    if (o.pictureColors)
        fillPictureTextDocument(*outputs.document, text, o.textFont(), colors);
    else
        fillTextDocument(*outputs.document, text, o.textFont(), o.textColor);
    yieldTo(hooks);
    return result;
}

} // namespace

// The figure's ink as a result's drawing draws it: a small mosaic of black
// figures on white, filled and laid out as a result is and drawn as the
// window and the PNG draw it, measured over its inner cells (so that the
// glyph's place in its cell, its soft edges, the ink reaching into the
// neighbours and the cells' fractional advance all count). The glyph's own
// outline measure where the drawing cannot be made.
FillInk figureInkAsDrawn(const QFont &font, QChar glyph)
{
    constexpr int kColumns = 24, kRows = 6;
    QTextDocument doc;
    prepareResultDocument(doc);
    {
        MosaicLayout::Fill display(&doc, glyph);
        FigureDocumentSink sink(&doc, glyph, font, 0);
        for (int row = 0; row < kRows; ++row) {
            for (int column = 0; column < kColumns; ++column)
                sink.filledCell(0x000000, 0xFFFFFF);
            sink.endRow(row, kColumns);
        }
        sink.finish();
    }
    const auto *layout = qobject_cast<const MosaicLayout *>(doc.documentLayout());
    const QImage image = layout ? renderArtImage(doc) : QImage();
    if (image.isNull())
        return glyphFillInk(font, glyph);
    const QPointF from = layout->cellOrigin(1, 1), to = layout->cellOrigin(kRows - 1, kColumns - 1);
    std::array<double, 256> share{};
    qint64 pixels = 0;
    for (int y = int(std::ceil(from.y() - 0.5)); y + 0.5 < to.y() && y < image.height(); ++y) {
        for (int x = int(std::ceil(from.x() - 0.5)); x + 0.5 < to.x() && x < image.width(); ++x) {
            share[size_t(255 - qRed(image.pixel(x, y)))] += 1;
            ++pixels;
        }
    }
    if (pixels == 0)
        return glyphFillInk(font, glyph);
    for (double &v : share)
        v /= double(pixels);
    const FillInk ink = drawnFillInk(share);
    return ink.valid() ? ink : glyphFillInk(font, glyph);
}

namespace {

ConversionResult convertToFigureResult(const ConversionOptions &o, const PictureSamples &samples,
                                       const ConversionOutputs &outputs, const RunHooks &hooks, ConversionResult result)
{
    const QFont font = o.figureFont();
    const QChar glyph = o.glyph();
    const FillInk ink = o.fill ? figureInkAsDrawn(font, glyph) : FillInk();
    FigureSinks sinks;

    // The document: a shortage ends the run before it is half filled.
    std::optional<MosaicLayout::Fill> display;
    std::optional<FigureDocumentSink> documentSink;
    std::optional<HeadroomSink> watched;
    if (outputs.document) {
        if (!memoryAvailable(qint64(samples.colors.width()) * samples.colors.height() * kMosaicBytesPerCell))
            return failed(result, ConversionError::OutOfMemory);
        if (outputs.beforeFill)
            outputs.beforeFill();
        // Shown through the mosaic layout: the standard one would shape
        // every cell's colour run separately.
        display.emplace(outputs.document, glyph);
        documentSink.emplace(outputs.document, glyph, font, 0,
                             outputs.keepMosaicColours ? FigureDocumentSink::Colours::KeepColours
                                                       : FigureDocumentSink::Colours::InFormats);
        watched.emplace(*documentSink);
        sinks.add(&*watched);
    }
    std::optional<GlyphTextSink> glyphText;
    if (outputs.text) {
        glyphText.emplace(glyph, *outputs.text);
        sinks.add(&*glyphText);
    }
    // A terminal shows each cell's sampled colour as a full block, which is
    // also what a filled cell shows from a distance.
    std::optional<AnsiFigureSink> terminal;
    if (outputs.terminal) {
        terminal.emplace(*outputs.terminal);
        if (!ink.valid())
            sinks.add(&*terminal);
    }

    const FigureResult converted =
        convertToFigures(samples.colors, o.gray, ink, outputs.colors, sinks.empty() ? nullptr : &sinks, hooks);
    if (documentSink)
        documentSink->finish();
    result.counts = converted.counts;
    if (converted.error == ConvertError::EmptyGrid)
        return failed(result, ConversionError::EmptyGrid);
    if (converted.error == ConvertError::WriteFailed)
        return failed(result, ConversionError::WriteFailed, outputs.colors);
    if (glyphText && glyphText->failed())
        return failed(result, ConversionError::WriteFailed, outputs.text);
    if (terminal) {
        if (ink.valid())
            convertToFigures(samples.colors, o.gray, nullptr, &*terminal);
        if (!terminal->finish())
            return failed(result, ConversionError::WriteFailed, outputs.terminal);
    }
    return result;
}

} // namespace

void ConversionOptions::setFontEntry(int entry)
{
    const RampFont &font = rampFonts()[size_t(qBound(1, entry, 4) - 1)];
    fontFace = font.face;
    ramp = font.ramp;
}

QFont ConversionOptions::textFont() const
{
    QFont font(fontFace);
    if (textSize > 0)
        font.setPointSizeF(textSize);
    return font;
}

QFont ConversionOptions::figureFont() const
{
    QFont font(figureFamily);
    if (figureSize > 0)
        font.setPointSizeF(figureSize);
    return font;
}

QChar ConversionOptions::glyph() const
{
    return codePageChar(figureCode);
}

GridSize conversionGrid(const ConversionOptions &options, QSize imageSize)
{
    if (options.rowsFromColumns && imageSize.height() > 0) {
        const float aspect = float(imageSize.width()) / float(imageSize.height());
        // The rows follow the columns the clamp really leaves.
        const double rows = double(proportionalRows(options.mode, options.columns, aspect));
        return clampGrid(options.mode, options.columns, rows, GridClamp::KeepProportions);
    }
    return clampGrid(options.mode, options.columns, options.rows, options.gridClamp);
}

namespace {

// The request of the options' grid: the colours for the classic method and
// for text in the picture's colours, the luminance for the tone method (its
// characters each sample their own half of a cell) with the detail its
// shapes are matched with. The grid after the clamp goes into result once
// the picture's size is known.
SamplingRequest samplingRequest(const ConversionOptions &options, const ToneRamp *ramp, ConversionResult &result)
{
    SamplingRequest request;
    request.sizeFor = [&options, ramp, &result](QSize image) {
        result.grid = conversionGrid(options, image);
        return QSize(ramp ? 2 * result.grid.width : result.grid.width, result.grid.height);
    };
    request.colors = !ramp || options.pictureColors;
    request.luma = ramp != nullptr;
    if (ramp && options.structure > 0 && ramp->hasShapes())
        request.lumaDetail = QSize(kShapeColumns, kShapeRows);
    return request;
}

// The failure of samples that could not be taken, or nothing.
std::optional<ConversionResult> samplingFailure(const LumaSamples &samples, const ConversionResult &result)
{
    if (samples.error == LoadError::OutOfMemory)
        return failed(result, ConversionError::GridMemory);
    if (!samples.ok()) {
        ConversionResult r = result;
        r.loadError = samples.error;
        r.loadDetail = samples.detail;
        return failed(r, ConversionError::LoadFailed);
    }
    return std::nullopt;
}

// Samples the picture as the options ask and converts the samples; the
// sampling's failure, or the conversion's result, its progress reported.
template<class Samples, class Sample, class Convert>
ConversionResult sampledConversion(const ConversionOptions &options, const ToneRamp *ramp, const Sample &sample,
                                   const Convert &convert, const RunHooks &hooks)
{
    ConversionResult result;
    try {
        const SamplingRequest request = samplingRequest(options, ramp, result);
        const Samples samples = sample(request);
        result.imageSize = samples.imageSize;
        if (const std::optional<ConversionResult> failure = samplingFailure(samples, result))
            return *failure;
        result = convert(samples, result);
        if (!result.ok())
            return result;
    } catch (const std::bad_alloc &) {
        return failed(result, ConversionError::OutOfMemory);
    }
    if (hooks.percent)
        hooks.percent(options.mode == Mode::Text ? rowPercent(result.counts.endRow, result.grid.height - 1) : 100.0);
    return result;
}

} // namespace

ConversionResult convertPlainText(const ConversionOptions &options, const ToneRamp *ramp, const TextSampler &sample,
                                  const ConversionOutputs &outputs, const RunHooks &hooks)
{
    if (options.mode != Mode::Text || options.ramp.size() < 2 || (ramp && !ramp->valid()))
        return failed(ConversionResult(), ConversionError::NoRamp);
    return sampledConversion<TextSamples>(
        options, ramp, sample,
        [&](const TextSamples &samples, const ConversionResult &result) {
            return convertToPlainTextResult(options, samples, ramp, outputs, hooks, result);
        },
        hooks);
}

ConversionResult convertPicture(const ConversionOptions &options, const PictureSource &picture,
                                const ConversionOutputs &outputs, const RunHooks &hooks)
{
    const bool text = options.mode == Mode::Text;
    if (text && options.ramp.size() < 2)
        return failed(ConversionResult(), ConversionError::NoRamp);
    if (!text && (options.figureCode < 0 || options.figureCode > 255))
        return failed(ConversionResult(), ConversionError::NoFigure);
    // Characters from the font that shows the art.
    const ToneRamp *ramp = nullptr;
    try {
        if (options.toneMethod()) {
            ramp = &toneRamp(options.toneFont(), options.ramp, options.background);
            if (!ramp->valid())
                return failed(ConversionResult(), ConversionError::NoRamp);
        }
    } catch (const std::bad_alloc &) {
        return failed(ConversionResult(), ConversionError::OutOfMemory);
    }
    // Text alone, without the picture's colours.
    if (text && !options.pictureColors && !outputs.document) {
        const TextSampler sample = [&picture](const SamplingRequest &request) {
            PictureSamples samples = picture.sample(request);
            auto colors = std::make_shared<const QImage>(samples.colors.isNull() ||
                                                                 samples.colors.format() == QImage::Format_RGB32
                                                             ? samples.colors
                                                             : samples.colors.convertToFormat(QImage::Format_RGB32));
            TextSamples out;
            static_cast<LumaSamples &>(out) = std::move(samples);
            out.colors = pixelsOf(*colors);
            out.keep = colors;
            return out;
        };
        return convertPlainText(options, ramp, sample, outputs, hooks);
    }
    return sampledConversion<PictureSamples>(
        options, ramp, [&picture](const SamplingRequest &request) { return picture.sample(request); },
        [&](const PictureSamples &samples, const ConversionResult &result) {
            return text ? convertToTextResult(options, samples, ramp, outputs, hooks, result)
                        : convertToFigureResult(options, samples, outputs, hooks, result);
        },
        hooks);
}

} // namespace tessilor
