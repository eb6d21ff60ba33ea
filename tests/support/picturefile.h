#pragma once
// A picture file's grids as tessilor-cli samples them: the file's bytes
// read whole, then sampled through EncodedPicture (a JPEG that is reduced
// goes row by row into the grids).
#include "picture/imageloader.h"
#include "picture/picturesource.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <functional>
#include <utility>

namespace tessilor::testsupport {

enum class Grids { Colors, Luma };

inline PictureSamples sampleFile(const QString &path, const std::function<QSize(QSize)> &sizeFor,
                                 Grids grids = Grids::Colors)
{
    PictureSamples out;
    QByteArray bytes;
    out.error = readPictureFile(path, &bytes, &out.detail);
    if (!out.ok())
        return out;
    SamplingRequest request;
    request.sizeFor = sizeFor;
    request.colors = grids == Grids::Colors;
    request.luma = grids == Grids::Luma;
    return EncodedPicture(std::move(bytes)).sample(request);
}

} // namespace tessilor::testsupport
