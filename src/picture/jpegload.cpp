#include "picture/jpegdecode.h"

#include "picture/upright.h"

// The whole picture of a JPEG. Apart from the decoder, so that the decoder's
// callers that stream rows elsewhere do not link the picture classes.
namespace tessilor {

namespace {

// The whole picture, turned upright as its rows arrive.
class WholePicture : public JpegRows
{
public:
    bool start(QSize size, int orientation) override
    {
        m_started = m_image.start(size, orientation);
        return m_started;
    }
    QRgb *row(int y) override { return m_image.row(y); }
    void rowDone(int y) override { m_image.rowDone(y); }

    UprightImage m_image;
    bool m_started = false;
};

} // namespace

LoadedImage loadJpeg(const QByteArray &bytes)
{
    LoadedImage result;
    WholePicture picture;
    result.error = decodeJpeg(bytes, picture, &result.detail);
    if (!result.ok())
        return result;
    if (!picture.m_started) {
        // The picture's memory could not be had.
        result.error = LoadError::OutOfMemory;
        return result;
    }
    result.image = picture.m_image.take();
    return result;
}

} // namespace tessilor
