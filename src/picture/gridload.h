#pragma once
#include <QImage>
#include <QSize>
#include <functional>

#include "picture/imageloader.h"
#include "picture/lumagrid.h"
#include "picture/picturesource.h"

namespace tessilor {

struct GridLoad {
    QImage grid;     // the sampling grid, Format_RGB32
    QSize imageSize; // size of the whole picture
    LoadError error = LoadError::None;
    QString detail;
    bool streamed = false; // decoded row by row without the whole picture
    bool ok() const { return error == LoadError::None; }
};

// Loads a picture only as far as a grid needs it. sizeFor receives the
// picture's size and returns the grid size. JPEG files are decoded row by
// row straight into the box filter, without holding the whole picture
// (unless stored turned, or the grid is larger than the picture);
// everything else goes through loadImageData and resampleBox. Both ways
// give the same grid and the same errors. path is always a file-system
// path (see readPictureFile).
GridLoad loadGrid(const QString &path, const std::function<QSize(QSize)> &sizeFor);
GridLoad loadGridData(const QByteArray &bytes, const std::function<QSize(QSize)> &sizeFor);

// The tone method's grid: linear-light luminance over the same boxes,
// loaded as loadGrid loads.
struct LumaGridLoad {
    LumaGrid grid;
    QSize imageSize;
    LoadError error = LoadError::None;
    QString detail;
    bool streamed = false;
    bool ok() const { return error == LoadError::None; }
};
LumaGridLoad loadLumaGrid(const QString &path, const std::function<QSize(QSize)> &sizeFor);
LumaGridLoad loadLumaGridData(const QByteArray &bytes, const std::function<QSize(QSize)> &sizeFor);

// The grids of a request from a picture file's bytes, as the functions above
// load them; a JPEG streamed is decoded once for both grids.
PictureSamples loadSamplesData(const QByteArray &bytes, const SamplingRequest &request);
// The same grids from a decoded picture.
PictureSamples sampleImage(const QImage &image, const SamplingRequest &request);

} // namespace tessilor
