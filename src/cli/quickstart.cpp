#include "cli/quickstart.h"

#include "art/rampcache.h"
#include "cli/arguments.h"
#include "cli/messages.h"
#include "document/conversion.h"
#include "picture/imageloader.h"
#include "picture/jpegdecode.h"
#include "picture/picturesource.h"

#include <QBuffer>
#include <memory>

namespace tessilor::cli {

std::optional<int> runQuickStart(const QStringList &args, QIODevice &out, QIODevice &err, int terminalColumns)
{
    Arguments a;
    try {
        a = parseArguments(args, terminalColumns);
    } catch (const UsageError &) {
        return std::nullopt;
    }
    const ConversionOptions &o = a.conversion;
    if (a.help || a.version || (a.format != Format::Text && a.format != Format::Ansi) || o.mode != Mode::Text ||
        o.pictureColors || a.images.size() != 1 || !a.output.isEmpty() || !a.outputDir.isEmpty())
        return std::nullopt;
    std::optional<ToneRamp> ramp;
    if (o.toneMethod()) {
        // The ramp run() would take from the cache, on the platform it runs
        // on: the offscreen one unless another one is named.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        ramp = cachedToneRamp(o.toneFont(), o.ramp, o.background, userRampCacheFolder());
        if (!ramp)
            return std::nullopt;
    }
    QByteArray bytes;
    if (readPictureFile(a.images.front(), &bytes) != LoadError::None || !isJpegData(bytes))
        return std::nullopt;

    QByteArray result;
    QBuffer buffer(&result);
    buffer.open(QIODevice::WriteOnly);
    ConversionOutputs outputs;
    if (a.format == Format::Text) {
        outputs.text = &buffer;
    } else {
        outputs.terminal = &buffer;
        outputs.terminalForeground = !a.colorGiven;
    }
    bool streamed = true;
    const TextSampler sample = [&](const SamplingRequest &request) {
        auto grids = std::make_shared<StreamedSamples>(streamedJpegGrids(bytes, request));
        streamed = grids->ok() && grids->streamed;
        TextSamples samples;
        static_cast<LumaSamples &>(samples) = std::move(*grids);
        samples.colors = grids->colors.view();
        samples.keep = grids;
        return samples;
    };
    if (!convertPlainText(o, ramp ? &*ramp : nullptr, sample, outputs).ok() || !streamed)
        return std::nullopt;
    return out.write(result) == result.size() ? 0 : cannotWriteStandardOutput(err);
}

} // namespace tessilor::cli
