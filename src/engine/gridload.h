#pragma once
#include <QImage>
#include <QSize>
#include <functional>

#include "engine/imageloader.h"

namespace tessilor {

struct GridLoad {
    QImage grid;       // the sampling grid, Format_RGB32
    QSize imageSize;   // size of the whole picture
    LoadError error = LoadError::None;
    QString detail;
    bool streamed = false; // decoded row by row without the whole picture
    bool ok() const { return error == LoadError::None; }
};

// Loads a picture only as far as a grid needs it. sizeFor receives the
// picture's size and returns the grid size. Plain JPEG files are decoded row
// by row straight into the box filter, without holding the whole picture;
// everything else (and any JPEG the decoder has a remark about) goes through
// loadImage and resampleBox. Both ways give the same grid.
GridLoad loadGrid(const QString &path, const std::function<QSize(QSize)> &sizeFor);

} // namespace tessilor
