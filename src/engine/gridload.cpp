#include "engine/gridload.h"

#include "engine/boxfilter.h"
#include "engine/jpegdecode.h"
#include "engine/resample.h"

#include <memory>
#include <new>
#include <vector>

namespace tessilor {

namespace {

// A JPEG decoded straight into the box filter. Declines (and the whole
// picture is loaded instead) when the picture is stored turned or the grid
// is not a reduction.
class GridRows : public JpegRows
{
public:
    explicit GridRows(const std::function<QSize(QSize)> &sizeFor) : m_sizeFor(sizeFor) {}

    bool start(QSize size, int orientation) override
    {
        m_imageSize = size;
        if (orientation != 1)
            return false;
        const QSize grid = m_sizeFor(size);
        if (grid.isEmpty() || grid.width() > size.width() || grid.height() > size.height())
            return false;
        m_reducer = std::make_unique<BoxReducer>(size.width(), size.height(), grid.width(), grid.height());
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
    QImage grid() const { return m_reducer->result(); }
    QSize imageSize() const { return m_imageSize; }

private:
    const std::function<QSize(QSize)> &m_sizeFor;
    std::unique_ptr<BoxReducer> m_reducer;
    std::vector<QRgb> m_row;
    QSize m_imageSize;
};

bool isJpeg(const QByteArray &bytes)
{
    return bytes.size() >= 3 && uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xD8 && uchar(bytes[2]) == 0xFF;
}

GridLoad loadGridFrom(const QByteArray &bytes, const std::function<QSize(QSize)> &sizeFor)
{
    GridLoad out;
    if (isJpeg(bytes)) {
        GridRows rows(sizeFor);
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
    out.grid = resampleBox(loaded.image, gridSize.width(), gridSize.height());
    if (out.grid.isNull())
        out.error = LoadError::OutOfMemory;
    return out;
}

} // namespace

GridLoad loadGridData(const QByteArray &bytes, const std::function<QSize(QSize)> &sizeFor)
{
    try {
        return loadGridFrom(bytes, sizeFor);
    } catch (const std::bad_alloc &) {
        GridLoad out;
        out.error = LoadError::OutOfMemory;
        return out;
    }
}

GridLoad loadGrid(const QString &path, const std::function<QSize(QSize)> &sizeFor)
{
    GridLoad out;
    QByteArray bytes;
    out.error = readPictureFile(path, &bytes, &out.detail);
    if (!out.ok())
        return out;
    return loadGridData(bytes, sizeFor);
}

} // namespace tessilor
