#include "picture/picturesource.h"

#include "picture/gridload.h"

namespace tessilor {

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
        return sampleImage(m_image, request);
    // The display copy is the colour grid already; the luminance still
    // comes from the picture.
    SamplingRequest rest = request;
    rest.colors = false;
    PictureSamples out = rest.luma ? sampleImage(m_image, rest) : PictureSamples{};
    out.imageSize = m_image.size();
    if (out.ok()) {
        out.colors = m_display.convertToFormat(QImage::Format_RGB32);
        if (out.colors.isNull())
            out.error = LoadError::OutOfMemory;
    }
    return out;
}

EncodedPicture::EncodedPicture(QByteArray bytes) : m_bytes(std::move(bytes)) {}

PictureSamples EncodedPicture::sample(const SamplingRequest &request) const
{
    return loadSamplesData(m_bytes, request);
}

} // namespace tessilor
