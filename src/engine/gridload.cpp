#include "engine/gridload.h"

#include "engine/boxfilter.h"
#include "engine/jpegdecode.h"
#include "engine/resample.h"
#include "engine/toneconvert.h"

#include <memory>
#include <new>
#include <vector>

namespace tessilor {

namespace {

// Largest reduction 1/1, 1/2, 1/4 or 1/8 that the decoder can apply while
// the decoded picture keeps at least kScaledPixelsPerSample pixels per grid
// sample in both directions.
constexpr int kScaledPixelsPerSample = 8;
unsigned scaleDenominator(QSize image, QSize grid)
{
    for (unsigned d = 8; d > 1; d /= 2) {
        const QSize decoded = decodedSize(image, d);
        if (decoded.width() >= qint64(grid.width()) * kScaledPixelsPerSample &&
            decoded.height() >= qint64(grid.height()) * kScaledPixelsPerSample)
            return d;
    }
    return 1;
}

// A JPEG decoded straight into a box reducer (colour or linear luminance).
// Declines (and the whole picture is loaded instead) when the picture is
// stored turned or the grid is not a reduction. With scaling, a picture far
// larger than the grid is first reduced by the decoder itself.
template<class Reducer>
class GridRows : public JpegRows
{
public:
    GridRows(const std::function<QSize(QSize)> &sizeFor, bool allowScaling)
        : m_sizeFor(sizeFor), m_allowScaling(allowScaling)
    {}

    bool start(QSize size, int orientation) override
    {
        m_imageSize = size;
        if (orientation != 1)
            return false;
        const QSize grid = m_sizeFor(size);
        if (grid.isEmpty() || grid.width() > size.width() || grid.height() > size.height())
            return false;
        m_scale = m_allowScaling ? scaleDenominator(size, grid) : 1;
        const QSize decoded = decodedSize(size, m_scale);
        m_reducer = std::make_unique<Reducer>(decoded.width(), decoded.height(), grid.width(), grid.height());
        if (!m_reducer->valid()) {
            m_reducer.reset();
            return false;
        }
        m_row.resize(size_t(decoded.width()));
        return true;
    }
    unsigned scale() const override { return m_scale; }
    QRgb *row(int) override { return m_row.data(); }
    void rowDone(int) override { m_reducer->addRow(m_row.data()); }

    bool streamed() const { return m_reducer != nullptr; }
    auto grid() { return m_reducer->take(); }
    QSize imageSize() const { return m_imageSize; }

private:
    const std::function<QSize(QSize)> &m_sizeFor;
    bool m_allowScaling;
    unsigned m_scale = 1;
    std::unique_ptr<Reducer> m_reducer;
    std::vector<QRgb> m_row;
    QSize m_imageSize;
};

// Loads bytes into a grid of the reducer's kind: a JPEG streamed when it
// can be, anything else (or a JPEG that declines) whole and reduced after.
template<class Reducer, class Load, class Reduce>
Load loadFrom(const QByteArray &bytes, const std::function<QSize(QSize)> &sizeFor, bool allowScaling, Reduce reduce)
{
    Load out;
    if (isJpegData(bytes)) {
        GridRows<Reducer> rows(sizeFor, allowScaling);
        out.error = decodeJpeg(bytes, rows, &out.detail);
        if (!out.ok() || rows.streamed()) {
            if (out.ok()) {
                out.grid = rows.grid();
                out.imageSize = rows.imageSize();
                out.streamed = true;
            }
            return out;
        }
    }
    const LoadedImage loaded = loadImageData(bytes);
    if (!loaded.ok()) {
        out.error = loaded.error;
        out.detail = loaded.detail;
        return out;
    }
    out.imageSize = loaded.image.size();
    const QSize gridSize = sizeFor(out.imageSize);
    out.grid = reduce(loaded.image, gridSize.width(), gridSize.height());
    if (out.grid.isNull())
        out.error = LoadError::OutOfMemory;
    return out;
}

template<class Load, class Loader>
Load guarded(Loader loader)
{
    try {
        return loader();
    } catch (const std::bad_alloc &) {
        Load out;
        out.error = LoadError::OutOfMemory;
        return out;
    }
}

template<class Load, class Loader>
Load fromFile(const QString &path, Loader loader)
{
    Load out;
    QByteArray bytes;
    out.error = readPictureFile(path, &bytes, &out.detail);
    if (!out.ok())
        return out;
    return loader(bytes);
}

} // namespace

GridLoad loadGridData(const QByteArray &bytes, const std::function<QSize(QSize)> &sizeFor)
{
    return guarded<GridLoad>([&] { return loadFrom<BoxReducer, GridLoad>(bytes, sizeFor, false, resampleBox); });
}

GridLoad loadGrid(const QString &path, const std::function<QSize(QSize)> &sizeFor)
{
    return fromFile<GridLoad>(path, [&](const QByteArray &bytes) { return loadGridData(bytes, sizeFor); });
}

LumaGridLoad loadLumaGridData(const QByteArray &bytes, const std::function<QSize(QSize)> &sizeFor)
{
    return guarded<LumaGridLoad>(
        [&] { return loadFrom<LumaReducer, LumaGridLoad>(bytes, sizeFor, true, makeLumaGrid); });
}

LumaGridLoad loadLumaGrid(const QString &path, const std::function<QSize(QSize)> &sizeFor)
{
    return fromFile<LumaGridLoad>(path, [&](const QByteArray &bytes) { return loadLumaGridData(bytes, sizeFor); });
}

} // namespace tessilor
