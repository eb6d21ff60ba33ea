#include "cli/cli.h"

#include "art/fontfaces.h"
#include "art/toneramp.h"
#include "base/filenames.h"
#include "base/outputfile.h"
#include "base/paths.h"
#include "cli/arguments.h"
#include "cli/messages.h"
#include "document/artimage.h"
#include "document/conversion.h"
#include "document/htmlpage.h"
#include "document/pdfexport.h"
#include "document/resultexport.h"
#include "document/richformat.h"
#include "document/rtf.h"
#include "fonts/fontmodule.h"
#include "layout/printlayout.h"
#include "picture/imageloader.h"
#include "picture/picturesource.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <thread>

static void initSampleResource()
{
    Q_INIT_RESOURCE(sample);
}

namespace tessilor::cli {

namespace {

// The result cannot be made in the chosen form; the message says why (the
// picture's name goes before it).
struct ResultError {
    QString message;
    bool outOfMemory = false; // for lack of memory alone
};

// What every conversion of a run shares: the arguments and what the
// fonts give once for all pictures.
struct RunSetup {
    const Arguments &arguments;
    HtmlPageOptions page; // the figure fonts a page carries
};

// One picture of the run and what became of it.
struct Job {
    QString image;
    bool sample = false; // the built-in sample picture instead
    QString output;      // the file written; empty: standard output
    QByteArray out;      // the result for standard output
    QString messages;
    bool failed = false;
    bool outOfMemory = false; // failed for lack of memory alone
    bool wroteRtf = false;
};

// Forgets what became of the job, to run it again.
void clearOutcome(Job &job)
{
    job.out.clear();
    job.messages.clear();
    job.failed = false;
    job.outOfMemory = false;
    job.wroteRtf = false;
}

// Why a picture could not be read, with the decoder's own words when it had
// any.
QString loadProblem(LoadError error, const QString &detail)
{
    return detail.isEmpty() ? loadErrorText(error) : QStringLiteral("%1: %2").arg(loadErrorText(error), detail);
}

QString pictureName(const Job &job)
{
    return job.sample ? QStringLiteral("sample picture") : job.image;
}

QByteArray samplePicture()
{
    initSampleResource();
    QFile file(QStringLiteral(":/tessilor/sample.jpg"));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// The result as the desktop program holds it: its rich text, with the
// result window's paragraph indent of 50 twips.
void prepareDocument(QTextDocument &doc)
{
    prepareResultDocument(doc);
    QTextBlockFormat block;
    ParaFormat2 indent;
    indent.dwMask = PFM_STARTINDENT;
    indent.dxStartIndent = 50;
    applyParaFormat(indent, block);
    QTextCursor(&doc).setBlockFormat(block);
}

QString artImageProblem(ArtImageError error)
{
    switch (error) {
    case ArtImageError::TooLarge:
        return QStringLiteral("the picture would have more than %1 million pixels; choose a smaller --size or grid")
            .arg(kMaxArtPixels / 1000000);
    default:
        return QStringLiteral("the result is empty");
    }
}

// The page of rtf and pdf results.
QPageLayout pageLayout(const PageChoice &page)
{
    return resultPageLayout(QPageSize(page.paper), page.margins);
}

// Runs the conversion; false when a destination did not take the result.
// Throws ResultError when it cannot be made.
bool convertInto(const PictureSource &picture, const ConversionOutputs &outputs, const ConversionOptions &options,
                 ConversionResult *converted = nullptr)
{
    const ConversionResult r = convertPicture(options, picture, outputs);
    if (converted)
        *converted = r;
    switch (r.error) {
    case ConversionError::None:
        return true;
    case ConversionError::WriteFailed:
        return false;
    case ConversionError::LoadFailed:
        throw ResultError{loadProblem(r.loadError, r.loadDetail), r.loadError == LoadError::OutOfMemory};
    case ConversionError::GridMemory:
        throw ResultError{loadErrorText(LoadError::OutOfMemory), true};
    case ConversionError::OutOfMemory:
        throw std::bad_alloc();
    case ConversionError::NoRamp:
        throw ResultError{QStringLiteral("the font has no characters to draw the art with")};
    case ConversionError::NoFigure:
    case ConversionError::EmptyGrid:
        break;
    }
    throw ResultError{QStringLiteral("the result is empty")};
}

// The result as printing reads it: its kind, size, font and glyph, and the
// contents of its files when given.
PrintSource printSourceOf(const ConversionOptions &o, const ConversionResult &r, const QByteArray &text = {},
                          const QByteArray &colors = {})
{
    PrintSource source;
    source.resultKind = o.mode == Mode::Text ? 3 : 2;
    source.gridRows = r.counts.gridRows;
    source.gridColumns = r.counts.gridColumns;
    source.textData = text;
    source.colorData = colors;
    source.textColors = o.mode == Mode::Text && o.pictureColors;
    source.fontName = o.mode == Mode::Text ? o.textFont().family() : o.figureFamily;
    source.fontSize = o.mode == Mode::Text ? o.textSize : o.figureSize;
    source.foreColor = o.textColor;
    source.glyph = o.glyph();
    return source;
}

// The result as printing reads it, with the files' contents in memory.
PrintSource printSource(const PictureSource &picture, const Arguments &a)
{
    const ConversionOptions &o = a.conversion;
    QBuffer text, colors;
    text.open(QIODevice::WriteOnly);
    colors.open(QIODevice::WriteOnly);
    ConversionOutputs outputs;
    outputs.text = o.mode == Mode::Text ? &text : nullptr;
    outputs.colors = o.mode == Mode::Figures || o.pictureColors ? &colors : nullptr;
    ConversionResult r;
    convertInto(picture, outputs, o, &r);
    return printSourceOf(o, r, text.data(), colors.data());
}

// Converts the picture into dev in the chosen format; false when writing
// failed. Throws ResultError when the result cannot be made.
bool writeResult(const Job &job, const PictureSource &picture, const RunSetup &setup, QIODevice &dev)
{
    const Arguments &a = setup.arguments;
    ConversionOutputs outputs;
    switch (a.format) {
    case Format::Text:
        outputs.text = &dev;
        return convertInto(picture, outputs, a.conversion);
    case Format::Ansi:
        outputs.terminal = &dev;
        outputs.terminalForeground = !a.colorGiven;
        return convertInto(picture, outputs, a.conversion);
    case Format::Colors:
        outputs.colors = &dev;
        return convertInto(picture, outputs, a.conversion);
    case Format::Pdf: {
        const LayoutStatus status = writeResultPdf(printSource(picture, a), pageLayout(a.page), dev).status;
        if (status == LayoutStatus::OutOfMemory)
            throw std::bad_alloc();
        return status == LayoutStatus::Done;
    }
    case Format::Rtf:
    case Format::Html:
    case Format::Png:
        break;
    }
    QTextDocument doc;
    prepareDocument(doc);
    outputs.document = &doc;
    ConversionResult converted;
    convertInto(picture, outputs, a.conversion, &converted);
    if (a.format == Format::Png) {
        const ArtImageError error = writeArtPng(doc, dev);
        if (error == ArtImageError::WriteFailed)
            return false;
        if (error == ArtImageError::OutOfMemory)
            throw std::bad_alloc();
        if (error != ArtImageError::None)
            throw ResultError{artImageProblem(error)};
        return true;
    }
    HtmlPageOptions page = setup.page;
    page.title = job.sample ? QStringLiteral("tessilor") : QFileInfo(job.image).fileName();
    page.darkPage = a.conversion.background == ArtBackground::Dark;
    // An RTF carries the page a word processor sets it on.
    RtfTooWide tooWide;
    const QByteArray bytes = a.format == Format::Rtf ? writeResultRtf(doc, printSourceOf(a.conversion, converted),
                                                                      pageLayout(a.page), {}, &tooWide)
                                                     : writeHtmlPage(doc, page);
    if (tooWide.cells > 0) {
        const QString cells =
            a.conversion.mode == Mode::Figures ? QStringLiteral("figures") : QStringLiteral("characters");
        throw ResultError{QStringLiteral("%1: lines of %2 %3 do not fit across %4 paper even at half a point, upright "
                                         "or turned: at most %5 do; give a larger --page or fewer --columns")
                              .arg(pictureName(job))
                              .arg(tooWide.cells)
                              .arg(cells, QPageSize(a.page.paper).key())
                              .arg(tooWide.widestCells)};
    }
    return dev.write(bytes) == bytes.size();
}

// Reads, converts and writes one picture; what went wrong goes into the
// job's messages, each naming the picture.
void runJob(Job &job, const RunSetup &setup)
{
    auto fail = [&job](const QString &message) {
        job.messages += QStringLiteral("tessilor-cli: %1: %2\n").arg(pictureName(job), message);
        job.failed = true;
    };
    auto failForMemory = [&](const QString &message) {
        fail(message);
        job.outOfMemory = true;
    };
    if (!job.sample && !job.output.isEmpty() && isSameFile(job.image, job.output))
        return fail(QStringLiteral("%1 is the picture itself; name another output file").arg(job.output));
    QByteArray bytes;
    if (job.sample) {
        bytes = samplePicture();
    } else {
        QString detail;
        if (const LoadError error = readPictureFile(job.image, &bytes, &detail); error == LoadError::OutOfMemory)
            return failForMemory(loadProblem(error, detail));
        else if (error != LoadError::None)
            return fail(loadProblem(error, detail));
    }
    const EncodedPicture picture(std::move(bytes));
    try {
        if (job.output.isEmpty()) {
            QBuffer buffer(&job.out);
            buffer.open(QIODevice::WriteOnly);
            if (!writeResult(job, picture, setup, buffer))
                throw std::bad_alloc();
            job.wroteRtf = setup.arguments.format == Format::Rtf;
        } else {
            // An output left unfinished is discarded when the file goes.
            OutputFile file(job.output);
            if (!file.open(QIODevice::WriteOnly) || !writeResult(job, picture, setup, file) || !file.commit())
                return fail(QStringLiteral("cannot write %1: %2").arg(job.output, file.errorString()));
            job.wroteRtf = setup.arguments.format == Format::Rtf;
        }
    } catch (const ResultError &e) {
        job.out.clear();
        if (e.outOfMemory)
            failForMemory(e.message);
        else
            fail(e.message);
    } catch (const std::bad_alloc &) {
        job.out.clear();
        failForMemory(QStringLiteral("not enough memory for the result"));
    }
}

// The jobs of the arguments: a picture each, or the sample picture.
std::vector<Job> jobsOf(const Arguments &a)
{
    std::vector<Job> jobs;
    const QStringList images = a.images.isEmpty() ? QStringList(QString()) : a.images;
    for (const QString &image : images) {
        Job job;
        job.image = image;
        job.sample = a.images.isEmpty();
        if (!a.output.isEmpty()) {
            job.output = a.output;
        } else if (!a.outputDir.isEmpty()) {
            const QString name = job.sample ? QStringLiteral("sample") : QFileInfo(image).completeBaseName();
            job.output = QDir(a.outputDir).filePath(name + u'.' + formatExtension(a.format));
        }
        jobs.push_back(std::move(job));
    }
    // Two pictures of one name would write one file.
    if (!a.outputDir.isEmpty()) {
        QHash<QString, size_t> first;
        first.reserve(qsizetype(jobs.size()));
        for (size_t i = 0; i < jobs.size(); ++i) {
            const auto at = first.constFind(jobs[i].output);
            if (at != first.constEnd())
                throw UsageError{QStringLiteral("--output-dir: %1 and %2 would both be written to %3")
                                     .arg(jobs[*at].image, jobs[i].image, jobs[i].output)};
            first.insert(jobs[i].output, i);
        }
    }
    struct stat folder;
    if (!a.outputDir.isEmpty() &&
        (::stat(encodeFileName(a.outputDir).constData(), &folder) != 0 || !S_ISDIR(folder.st_mode)))
        throw UsageError{QStringLiteral("--output-dir: %1 is no folder").arg(a.outputDir)};
    return jobs;
}

// Rich output measures and names its fonts as the desktop program does:
// the figure fonts and the text fonts' stand-ins are known to Qt. Without a
// GUI application object the run needs nothing of the fonts but the tone
// ramp, found in the cache (see rampsFromCache).
RunSetup prepare(const Arguments &a)
{
    RunSetup setup{a, {}};
    if (!needsFonts(a) || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return setup;
    installFontSubstitutions();
    for (int which : {1, 2})
        InstallFont(figureFontFile(which));
    if (a.format == Format::Html)
        setup.page = resultPageOptions(QString(), a.conversion.mode == Mode::Figures);
    return setup;
}

// An RTF result names fonts that the application opening it must find: the
// figure fonts, or the text fonts with their monospaced stand-ins. They are
// made visible to the user's applications, as the desktop program does at
// start; a failure leaves the result as written. It is reported where the
// user has a home to share them in; without one (as under cron) nothing is
// meant to be shared, and only --verbose says so, and what was shared.
void shareFonts(const Arguments &a, QIODevice &err)
{
    const bool figures = a.conversion.mode == Mode::Figures;
    const FontShare share = figures ? shareFontsWithUser({figureFontFile(1), figureFontFile(2)})
                                    : shareTextFontAliases(textFontAliasFile());
    const QString what = figures ? QStringLiteral("figures") : QStringLiteral("text font");
    switch (share.outcome) {
    case FontShare::Failed:
        if (a.verbose || !userHomeFolder().isEmpty())
            say(err, QStringLiteral("tessilor-cli: note: other applications may not show the %1 right: %2\n")
                         .arg(what, share.error));
        break;
    case FontShare::Shared:
        if (a.verbose)
            say(err, QStringLiteral("tessilor-cli: note: the %1 shared with other applications: %2\n")
                         .arg(what, share.written.isEmpty() ? QStringLiteral("nothing written")
                                                            : share.written.join(QStringLiteral(", "))));
        break;
    case FontShare::AlreadyVisible:
        if (a.verbose)
            say(err, QStringLiteral("tessilor-cli: note: other applications have the %1 already\n").arg(what));
        break;
    }
}

// Runs the jobs, jobs at once, and hands each to finish() in order as soon
// as it and those before it are done. The workers are threads of Qt's own,
// each with an event dispatcher: a text document lays itself out with
// timers, which a thread without one refuses with a warning. A picture that
// ran out of memory while others were converted is converted again alone,
// with no other job running, before it is handed on: the result is the one
// of -j 1.
void runJobs(std::vector<Job> &jobs, const RunSetup &setup, const std::function<void(Job &)> &finish)
{
    const size_t workers = std::min(jobs.size(), size_t(std::max(1, setup.arguments.jobs)));
    if (workers <= 1) {
        for (Job &job : jobs) {
            runJob(job, setup);
            finish(job);
        }
        return;
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<char> done(jobs.size(), 0);
    size_t next = 0;
    size_t running = 0;
    bool paused = false;
    const auto work = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return !paused || next >= jobs.size(); });
            if (next >= jobs.size())
                return;
            const size_t i = next++;
            ++running;
            lock.unlock();
            runJob(jobs[i], setup);
            lock.lock();
            --running;
            done[i] = 1;
            changed.notify_all();
        }
    };
    std::vector<std::unique_ptr<QThread>> threads;
    for (size_t w = 0; w < workers; ++w) {
        threads.emplace_back(QThread::create(work));
        threads.back()->start();
    }
    for (size_t i = 0; i < jobs.size(); ++i) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return bool(done[i]); });
            if (jobs[i].outOfMemory) {
                paused = true;
                changed.wait(lock, [&] { return running == 0; });
                lock.unlock();
                clearOutcome(jobs[i]);
                runJob(jobs[i], setup);
                lock.lock();
                paused = false;
                changed.notify_all();
            }
        }
        finish(jobs[i]);
    }
    for (const std::unique_ptr<QThread> &t : threads)
        t->wait();
}

} // namespace

bool needsFonts(const QStringList &args)
{
    try {
        return cli::needsFonts(parseArguments(args));
    } catch (const UsageError &) {
        return false;
    }
}

bool rampsFromCache(const QStringList &args)
{
    Arguments a;
    try {
        a = parseArguments(args);
    } catch (const UsageError &) {
        return false;
    }
    const ConversionOptions &o = a.conversion;
    if (richFormat(a.format) || o.mode != Mode::Text || !o.toneMethod() || o.fill)
        return false;
    return preloadToneRamp(o.toneFont(), o.ramp, o.background);
}

int run(const QStringList &args, QIODevice &out, QIODevice &err, int terminalColumns)
{
    Arguments a;
    std::vector<Job> jobs;
    try {
        a = parseArguments(args, terminalColumns);
        if (a.help)
            return say(out, usage()) ? 0 : cannotWriteStandardOutput(err);
        if (a.version)
            return say(out, QStringLiteral("tessilor-cli %1\n").arg(QStringLiteral(TESSILOR_VERSION)))
                       ? 0
                       : cannotWriteStandardOutput(err);
        jobs = jobsOf(a);
    } catch (const UsageError &e) {
        say(err, QStringLiteral("tessilor-cli: %1\nTry 'tessilor-cli --help' for more information.\n").arg(e.message));
        return 2;
    }

    const RunSetup setup = prepare(a);
    int status = 0;
    bool outBroken = false;
    bool firstOut = true;
    bool wroteRtf = false;
    // Several results follow each other, a blank line between, ended as
    // their lines are: ANSI lines by LF, text lines by CR LF.
    const QByteArray gap = a.format == Format::Ansi ? QByteArrayLiteral("\n") : QByteArrayLiteral("\r\n");
    runJobs(jobs, setup, [&](Job &job) {
        if (!outBroken && !job.out.isEmpty()) {
            if ((!firstOut && out.write(gap) != gap.size()) || out.write(job.out) != job.out.size()) {
                status = cannotWriteStandardOutput(err);
                outBroken = true;
            }
            firstOut = false;
        }
        job.out.clear();
        say(err, job.messages);
        if (job.failed && status == 0)
            status = 1;
        wroteRtf = wroteRtf || job.wroteRtf;
    });
    if (wroteRtf)
        shareFonts(a, err);
    return status;
}

} // namespace tessilor::cli
