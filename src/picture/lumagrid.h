#pragma once
#include <QImage>
#include <QtGlobal>
#include <vector>

// The picture as the tone method samples it: linear-light luminance over the
// boxes of the program's resampler.
namespace tessilor {

// Linear-light luminance 0..1 of every sample, row by row.
struct LumaGrid {
    int width = 0;
    int height = 0;
    std::vector<float> luma;
    bool isNull() const { return width <= 0 || height <= 0; }
    float at(int x, int y) const { return luma[size_t(y) * size_t(width) + size_t(x)]; }
};

// Streaming box reduction of a picture to a luminance grid (destination no
// larger than the source in either direction): sample (x, y) averages the
// linear luminance of source columns x0 .. x1-1 and rows y0 .. y1-1, with
// x0 = x*sW div dW and x1 = max(x0 + 1, (x+1)*sW div dW), rows alike, the
// boxes of the program's resampler.
class LumaReducer
{
public:
    LumaReducer(int sourceWidth, int sourceHeight, int destWidth, int destHeight);
    bool valid() const { return !m_grid.isNull(); }
    // Adds the next source row (sourceWidth pixels, 0xAARRGGBB).
    void addRow(const QRgb *line);
    // The same for the row's luminance already taken (rowLuminance), so
    // that reducers of one picture to several grids take it once.
    void addLumaRow(const float *luma);
    bool complete() const { return m_destRow >= m_grid.height; }
    LumaGrid take() { return std::move(m_grid); }

private:
    void finishRow();

    qint64 m_sH;
    std::vector<int> m_x0, m_x1;
    std::vector<double> m_sums;
    LumaGrid m_grid;
    int m_destRow = 0;
    int m_sourceRow = 0;
    qint64 m_rowStart = 0;
    qint64 m_rowEnd = 0;
};

// The linear luminance of every pixel of a row (0xAARRGGBB), as the
// reducers sum it.
void rowLuminance(const QRgb *line, int width, float *luma);

// The luminance grid of a whole picture, reducing or enlarging (enlarging
// repeats source pixels, as the resampler does). Null when a size is not
// positive, the picture is empty or memory runs out.
LumaGrid makeLumaGrid(const QImage &source, int width, int height);

// The tone method's detail: a luminance grid of width x height samples.
// Where it enlarges the picture its samples repeat (a sample's box is one
// source pixel wide, or high), so only the distinct ones are kept: stored
// holds them, and column and row give the stored column and row of every
// sample (empty where the grid does not enlarge that way: the same).
struct DetailGrid {
    int width = 0;
    int height = 0;
    LumaGrid stored;
    std::vector<int> column;
    std::vector<int> row;
    DetailGrid() = default;
    // Every sample stored.
    explicit DetailGrid(LumaGrid grid) : width(grid.width), height(grid.height), stored(std::move(grid)) {}
    bool isNull() const { return width <= 0 || height <= 0; }
    // Whether the sizes agree, so that every sample is there.
    bool valid() const;
    // Stored row of sample row y, and a sample.
    const float *line(int y) const
    {
        return stored.luma.data() + size_t(row.empty() ? y : row[size_t(y)]) * size_t(stored.width);
    }
    float at(int x, int y) const { return line(y)[column.empty() ? x : column[size_t(x)]]; }
};

// The detail grid of a whole picture: the samples of makeLumaGrid for that
// size, to the bit. Null when a size is not positive, the picture is empty
// or memory runs out.
DetailGrid makeDetailGrid(const QImage &source, int width, int height);

// The luminance grid and the detail grid of a picture, as makeLumaGrid and
// makeDetailGrid make them, each pixel's luminance taken once where both
// are reductions; false (either left null) when one cannot be made.
bool makeLumaGrids(const QImage &source, QSize gridSize, LumaGrid &grid, QSize detailSize, DetailGrid &detail);

} // namespace tessilor
