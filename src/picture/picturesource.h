#pragma once
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>

#include "picture/loadresult.h"
#include "picture/lumagrid.h"
#include "picture/pixels.h"

// Where a conversion takes its picture from: a picture already decoded (the
// image window's) or a picture file's bytes (tessilor-cli). Both give the
// same grids for the same picture: box averages over the same boxes, a JPEG
// decoded by the same decoder at its full size.
namespace tessilor {

// The grids one conversion samples: colours, linear luminance or both, of
// the size sizeFor gives for the picture's size.
struct SamplingRequest {
    std::function<QSize(QSize)> sizeFor;
    bool colors = false;
    bool luma = false;
    // When not empty: the luminance also in this many boxes across and down
    // per sample of the grid (the tone method's detail for the shape of its
    // characters), over the resampler's boxes of that finer grid.
    QSize lumaDetail;
};

// The luminance grids of a picture and what became of its decoding.
struct LumaSamples {
    LumaGrid luma;         // when asked for
    DetailGrid lumaDetail; // when asked for
    QSize imageSize;
    LoadError error = LoadError::None;
    QString detail;        // the decoder's own words
    bool streamed = false; // decoded row by row into the grids, never whole
    bool ok() const { return error == LoadError::None; }
};

struct PictureSamples : LumaSamples {
    QImage colors; // Format_RGB32, when asked for
};

// The grids of a JPEG decoded row by row straight into them, the colours as
// pixels of their own.
struct StreamedSamples : LumaSamples {
    ColorGrid colors; // when asked for
};

// The grids of a request for a JPEG that can be decoded row by row straight
// into them: EncodedPicture's own way for such a picture, and the same
// grids. Not streamed, and without grids, when the bytes are no JPEG, the
// picture is stored turned or the grids would enlarge it (EncodedPicture
// decodes it whole then), or the decoder fails (error says why). Needs no
// picture class of the GUI libraries.
StreamedSamples streamedJpegGrids(const QByteArray &bytes, const SamplingRequest &request);

class PictureSource
{
public:
    virtual ~PictureSource() = default;
    // OutOfMemory when a grid cannot be allocated; a source of bytes also
    // gives the loader's errors.
    virtual PictureSamples sample(const SamplingRequest &request) const = 0;
};

// A decoded picture. display: a copy of it already box-resampled for the
// screen, taken as the colour grid when it has the grid's size (the same
// pixels, without the work).
class DecodedPicture : public PictureSource
{
public:
    explicit DecodedPicture(const QImage &image, const QImage &display = QImage());
    PictureSamples sample(const SamplingRequest &request) const override;

private:
    QImage m_image;
    QImage m_display;
};

// A picture file's bytes, decoded only as far as the grids need: a JPEG that
// is reduced goes row by row straight into the grids' boxes, once for both
// grids; everything else is decoded whole first.
class EncodedPicture : public PictureSource
{
public:
    explicit EncodedPicture(QByteArray bytes);
    PictureSamples sample(const SamplingRequest &request) const override;

private:
    QByteArray m_bytes;
};

} // namespace tessilor
