// Time to load or refuse each hostile picture, through the full loader (the
// desktop program) and the grid loader (tessilor-cli), next to large real
// pictures. Every file under 1 MB should take well under two seconds.
#include "hostile/hostilecorpus.h"
#include "picture/picturesource.h"
#include "picture/imageloader.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace tessilor;

namespace {

QString writeReal(const QTemporaryDir &dir, const QString &name, int w, int h, bool progressive, bool flat)
{
    QImage img(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < h; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = flat ? qRgb(90, 120, 200) : qRgb((x + y) & 255, (y * 3) & 255, int(rng.bounded(64)));
    }
    const QString path = dir.filePath(name);
    QImageWriter writer(path, "jpeg");
    writer.setProgressiveScanWrite(progressive);
    writer.write(img);
    return path;
}

void loadFull(benchmark::State &state, const QString &path)
{
    for (auto _ : state) {
        const LoadedImage r = loadImage(path);
        benchmark::DoNotOptimize(r.error);
    }
    state.counters["KB"] = double(QFile(path).size()) / 1024;
}

void loadForGrid(benchmark::State &state, const QString &path)
{
    for (auto _ : state) {
        // As tessilor-cli: the file's bytes, then its grid.
        QByteArray bytes;
        LoadError error = readPictureFile(path, &bytes);
        if (error == LoadError::None) {
            SamplingRequest request;
            request.sizeFor = [](QSize) { return QSize(160, 49); };
            request.colors = true;
            error = EncodedPicture(std::move(bytes)).sample(request).error;
        }
        benchmark::DoNotOptimize(error);
    }
    state.counters["KB"] = double(QFile(path).size()) / 1024;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QList<hostile::HostileFile> corpus = hostile::makeCorpus(dir);
    QList<QPair<QString, QString>> files;
    for (const hostile::HostileFile &h : corpus) {
        if (h.regularFile)
            files.append({h.name, h.path});
    }
    // The most work a JPEG may ask for: the largest colour picture whose
    // coefficients fit the memory cap, as a scan bomb.
    {
        const QString bomb = dir.filePath(QStringLiteral("worst.jpg"));
        QFile f(bomb);
        f.open(QIODevice::WriteOnly);
        f.write(hostile::progressiveFlatJpeg(6528, 6528, 3, 882 * 3));
        f.close();
        files.append({QStringLiteral("scan-bomb-6528x6528-colour.jpg"), bomb});
    }
    files.append({QStringLiteral("real-8192x8192-flat.jpg"),
                  writeReal(dir, QStringLiteral("flat.jpg"), 8192, 8192, false, true)});
    files.append({QStringLiteral("real-4096x3072-progressive.jpg"),
                  writeReal(dir, QStringLiteral("prog.jpg"), 4096, 3072, true, false)});
    for (const auto &f : files) {
        const QString path = f.second;
        benchmark::RegisterBenchmark(("Full/" + f.first).toStdString().c_str(), [path](benchmark::State &s) {
            loadFull(s, path);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Grid/" + f.first).toStdString().c_str(), [path](benchmark::State &s) {
            loadForGrid(s, path);
        })->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
