#include "picture/picturesource.h"

#include "picture/boxfilter.h"
#include "picture/imageloader.h"
#include "picture/jpegdecode.h"
#include "picture/lumagrid.h"
#include "picture/resample.h"

#include <memory>
#include <new>
#include <vector>

namespace tessilor {

namespace {

// The luminance grids of one conversion at once, over the same boxes.
class LumaReducers
{
public:
    LumaReducers(int sourceWidth, int sourceHeight, QSize dest, const SamplingRequest &request)
        : m_sourceWidth(sourceWidth)
    {
        if (request.luma)
            m_luma = std::make_unique<LumaReducer>(sourceWidth, sourceHeight, dest.width(), dest.height());
        if (request.luma && !request.lumaDetail.isEmpty())
            m_detail =
                std::make_unique<LumaReducer>(sourceWidth, sourceHeight, dest.width() * request.lumaDetail.width(),
                                              dest.height() * request.lumaDetail.height());
    }
    bool valid() const { return (!m_luma || m_luma->valid()) && (!m_detail || m_detail->valid()); }
    void addRow(const QRgb *line)
    {
        if (m_luma && m_detail) {
            // Both luminance grids sum the same pixels' luminance.
            m_rowLuma.resize(size_t(m_sourceWidth));
            rowLuminance(line, m_sourceWidth, m_rowLuma.data());
            m_luma->addLumaRow(m_rowLuma.data());
            m_detail->addLumaRow(m_rowLuma.data());
        } else if (m_luma) {
            m_luma->addRow(line);
        }
    }
    void takeInto(LumaSamples &out)
    {
        if (m_luma)
            out.luma = m_luma->take();
        if (m_detail)
            out.lumaDetail = DetailGrid(m_detail->take());
    }

private:
    std::unique_ptr<LumaReducer> m_luma;
    std::unique_ptr<LumaReducer> m_detail;
    int m_sourceWidth;
    std::vector<float> m_rowLuma;
};

// All grids of one conversion at once, over the same boxes: a JPEG is
// decoded once for the colours and the luminance of a tone result in the
// picture's colours.
class SamplesReducer
{
public:
    SamplesReducer(int sourceWidth, int sourceHeight, QSize dest, const SamplingRequest &request)
        : m_luma(sourceWidth, sourceHeight, dest, request)
    {
        if (request.colors)
            m_colors = std::make_unique<BoxReducer>(sourceWidth, sourceHeight, dest.width(), dest.height());
    }
    bool valid() const { return (!m_colors || m_colors->valid()) && m_luma.valid(); }
    void addRow(const QRgb *line)
    {
        if (m_colors)
            m_colors->addRow(line);
        m_luma.addRow(line);
    }
    void takeInto(StreamedSamples &out)
    {
        if (m_colors)
            out.colors = m_colors->take();
        m_luma.takeInto(out);
    }
    void takeInto(PictureSamples &out)
    {
        if (m_colors) {
            out.colors = imageOf(m_colors->take());
            if (out.colors.isNull())
                out.error = LoadError::OutOfMemory;
        }
        m_luma.takeInto(out);
    }

private:
    std::unique_ptr<BoxReducer> m_colors;
    LumaReducers m_luma;
};

// The size of the detail grid of a request for a grid of the given size.
QSize detailSize(const SamplingRequest &request, QSize grid)
{
    if (!request.luma || request.lumaDetail.isEmpty())
        return QSize();
    return QSize(grid.width() * request.lumaDetail.width(), grid.height() * request.lumaDetail.height());
}

// A JPEG decoded straight into the grids' boxes. Declines (and the whole
// picture is loaded instead) when the picture is stored turned or the grid
// is not a reduction.
class GridRows : public JpegRows
{
public:
    explicit GridRows(const SamplingRequest &request) : m_request(request) {}

    bool start(QSize size, int orientation) override
    {
        m_imageSize = size;
        if (orientation != 1)
            return false;
        const QSize grid = m_request.sizeFor(size);
        if (grid.isEmpty() || grid.width() > size.width() || grid.height() > size.height())
            return false;
        // A finer detail grid than the picture is enlarged from the whole
        // picture.
        const QSize detail = detailSize(m_request, grid);
        if (!detail.isEmpty() && (detail.width() > size.width() || detail.height() > size.height()))
            return false;
        m_reducer = std::make_unique<SamplesReducer>(size.width(), size.height(), grid, m_request);
        if (!m_reducer->valid()) {
            m_reducer.reset();
            return false;
        }
        m_row.resize(size_t(size.width()));
        return true;
    }
    QRgb *row(int) override { return m_row.data(); }
    void rowDone(int) override { m_reducer->addRow(m_row.data()); }

    bool streamed() const { return m_reducer != nullptr; }
    template<class Samples>
    void takeInto(Samples &out)
    {
        m_reducer->takeInto(out);
    }
    QSize imageSize() const { return m_imageSize; }

private:
    const SamplingRequest &m_request;
    std::unique_ptr<SamplesReducer> m_reducer;
    std::vector<QRgb> m_row;
    QSize m_imageSize;
};

// The grids of a whole decoded picture.
PictureSamples samplesOf(const QImage &image, const SamplingRequest &request)
{
    PictureSamples out;
    out.imageSize = image.size();
    const QSize grid = request.sizeFor(out.imageSize);
    if (request.colors) {
        out.colors = resampleBox(image, grid.width(), grid.height());
        if (out.colors.isNull())
            out.error = LoadError::OutOfMemory;
    }
    const QSize detail = detailSize(request, grid);
    if (request.luma && out.ok() && !detail.isEmpty()) {
        if (!makeLumaGrids(image, grid, out.luma, detail, out.lumaDetail))
            out.error = LoadError::OutOfMemory;
    } else if (request.luma && out.ok()) {
        out.luma = makeLumaGrid(image, grid.width(), grid.height());
        if (out.luma.isNull())
            out.error = LoadError::OutOfMemory;
    }
    return out;
}

// The grids of a JPEG streamed into them; error set, or not streamed.
template<class Samples>
Samples streamedJpeg(const QByteArray &bytes, const SamplingRequest &request)
{
    Samples out;
    GridRows rows(request);
    out.error = decodeJpeg(bytes, rows, &out.detail);
    if (out.ok() && rows.streamed()) {
        rows.takeInto(out);
        out.imageSize = rows.imageSize();
        out.streamed = true;
    }
    return out;
}

PictureSamples samplesFromData(const QByteArray &bytes, const SamplingRequest &request)
{
    if (isJpegData(bytes)) {
        PictureSamples out = streamedJpeg<PictureSamples>(bytes, request);
        if (!out.ok() || out.streamed)
            return out;
    }
    PictureSamples out;
    const LoadedImage loaded = loadImageData(bytes);
    if (!loaded.ok()) {
        out.error = loaded.error;
        out.detail = loaded.detail;
        return out;
    }
    return samplesOf(loaded.image, request);
}

PictureSamples guarded(const std::function<PictureSamples()> &sampler)
{
    try {
        return sampler();
    } catch (const std::bad_alloc &) {
        PictureSamples out;
        out.error = LoadError::OutOfMemory;
        return out;
    }
}

} // namespace

DecodedPicture::DecodedPicture(const QImage &image, const QImage &display) : m_image(image), m_display(display) {}

PictureSamples DecodedPicture::sample(const SamplingRequest &request) const
{
    if (m_image.isNull()) {
        PictureSamples none;
        none.error = LoadError::Unsupported;
        return none;
    }
    const QSize grid = request.sizeFor(m_image.size());
    if (!request.colors || m_display.size() != grid)
        return guarded([&] { return samplesOf(m_image, request); });
    // The display copy is the colour grid already; the luminance still
    // comes from the picture.
    SamplingRequest rest = request;
    rest.colors = false;
    PictureSamples out = rest.luma ? guarded([&] { return samplesOf(m_image, rest); }) : PictureSamples{};
    out.imageSize = m_image.size();
    if (out.ok()) {
        out.colors = m_display.convertToFormat(QImage::Format_RGB32);
        if (out.colors.isNull())
            out.error = LoadError::OutOfMemory;
    }
    return out;
}

EncodedPicture::EncodedPicture(QByteArray bytes) : m_bytes(std::move(bytes)) {}

StreamedSamples streamedJpegGrids(const QByteArray &bytes, const SamplingRequest &request)
{
    try {
        return isJpegData(bytes) ? streamedJpeg<StreamedSamples>(bytes, request) : StreamedSamples();
    } catch (const std::bad_alloc &) {
        StreamedSamples out;
        out.error = LoadError::OutOfMemory;
        return out;
    }
}

PictureSamples EncodedPicture::sample(const SamplingRequest &request) const
{
    return guarded([&] { return samplesFromData(m_bytes, request); });
}

} // namespace tessilor
