#include "art/rampcache.h"

#include "base/outputfile.h"
#include "fonts/fontmodule.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QtEndian>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessilor {

namespace {

constexpr char kMagic[8] = {'T', 'S', 'L', 'R', 'A', 'M', 'P', '\n'};
constexpr qsizetype kHeaderBytes = 16; // magic, version, payload length
constexpr qsizetype kChecksumBytes = 32;
// Far more than a ramp with a shape for every character takes.
constexpr qsizetype kMaxRecordBytes = 8 * 1024 * 1024;
constexpr quint32 kMaxFiles = 65536;

// The environment that changes which faces are found, how they are drawn
// and how large a point is.
constexpr const char *kEnvironment[] = {
    "QT_QPA_PLATFORM",
    "QT_FONT_DPI",
    "QT_SCALE_FACTOR",
    "QT_SCREEN_SCALE_FACTORS",
    "QT_USE_PHYSICAL_DPI",
    "QT_ENABLE_HIGHDPI_SCALING",
    "QT_SCALE_FACTOR_ROUNDING_POLICY",
    "QT_QPA_FONTDIR",
    "FONTCONFIG_FILE",
    "FONTCONFIG_PATH",
    "FONTCONFIG_SYSROOT",
    "HOME",
    "XDG_CONFIG_HOME",
    "XDG_DATA_HOME",
    "FC_LANG",
    "LC_ALL",
    "LC_CTYPE",
    "LANG",
};

// Writes the fields of a record.
class RecordWriter
{
public:
    QByteArray bytes;

    void u32(quint32 v)
    {
        char b[4];
        qToLittleEndian(v, b);
        bytes.append(b, 4);
    }
    void i64(qint64 v)
    {
        char b[8];
        qToLittleEndian(v, b);
        bytes.append(b, 8);
    }
    void text(const QString &s)
    {
        const QByteArray utf8 = s.toUtf8();
        u32(quint32(utf8.size()));
        bytes.append(utf8);
    }
    void numbers(const std::vector<float> &v, float, float)
    {
        u32(quint32(v.size()));
        for (const float x : v)
            u32(std::bit_cast<quint32>(x));
    }
    void perCharacter(const std::vector<float> &v, const QString &, float low, float high) { numbers(v, low, high); }
    void perCharacter(const std::vector<std::vector<float>> &rows, const QString &, float low, float high)
    {
        u32(quint32(rows.size()));
        for (const std::vector<float> &row : rows)
            numbers(row, low, high);
    }
};

// Reads the fields of a record; any length past the end, any text that is
// not UTF-8 and any number out of its range makes it not ok.
class RecordReader
{
public:
    RecordReader(const char *data, qsizetype size) : m_at(data), m_end(data + size) {}
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_at == m_end; }

    quint32 u32()
    {
        if (!take(4))
            return 0;
        return qFromLittleEndian<quint32>(m_at - 4);
    }
    qint64 i64()
    {
        if (!take(8))
            return 0;
        return qFromLittleEndian<qint64>(m_at - 8);
    }
    void text(QString &s)
    {
        const quint32 n = u32();
        if (!take(n))
            return;
        const QByteArray utf8 = QByteArray::fromRawData(m_at - n, qsizetype(n));
        s = QString::fromUtf8(utf8);
        if (s.toUtf8() != utf8)
            m_ok = false;
    }
    void numbers(std::vector<float> &v, float low, float high)
    {
        const quint32 n = u32();
        if (!m_ok || n > quint32((m_end - m_at) / 4)) {
            m_ok = false;
            return;
        }
        v.resize(n);
        for (float &x : v) {
            x = std::bit_cast<float>(u32());
            if (!(x >= low && x <= high)) // NaN too
                m_ok = false;
        }
    }
    void perCharacter(std::vector<float> &v, const QString &chars, float low, float high)
    {
        numbers(v, low, high);
        if (v.size() != size_t(chars.size()))
            m_ok = false;
    }
    void perCharacter(std::vector<std::vector<float>> &rows, const QString &chars, float low, float high)
    {
        const quint32 n = u32();
        if (!m_ok || n != quint32(chars.size())) {
            m_ok = false;
            return;
        }
        rows.resize(n);
        for (std::vector<float> &row : rows)
            numbers(row, low, high);
    }

private:
    bool take(quint32 n)
    {
        if (!m_ok || n > quint64(m_end - m_at)) {
            m_ok = false;
            return false;
        }
        m_at += n;
        return true;
    }

    const char *m_at;
    const char *m_end;
    bool m_ok = true;
};

// The measured fields of a ramp, in the order of the record: the one place
// that names them. A new field of ToneRamp gets a line here (and
// kRampRecordVersion is raised): text(), numbers(field, low, high), or
// perCharacter(field, ramp.chars, low, high) for a number or a row of
// numbers per character, whose count is checked against the characters.
template<class Fields, class Ramp>
void rampFields(Fields &f, Ramp &ramp)
{
    f.text(ramp.family);
    f.text(ramp.printFamily);
    f.text(ramp.chars);
    f.perCharacter(ramp.coverage, ramp.chars, 0.0f, 2.0f);
    f.perCharacter(ramp.level, ramp.chars, 0.0f, 1.0f);
    f.text(ramp.shapeChars);
    f.perCharacter(ramp.shapeLevel, ramp.shapeChars, 0.0f, 1.0f);
    f.numbers(ramp.shapes, 0.0f, 2.0f);
}

// A ramp the measurement can give: characters from the candidates, each
// once, the space first; ink and level growing, the levels from 0 to 1; the
// shape candidates, if any, from the candidates too, each once, with their
// levels growing and kShapeBoxes inks each.
bool plausibleRamp(const ToneRamp &ramp, const QString &candidates)
{
    if (!ramp.valid() || ramp.family.isEmpty() || ramp.printFamily.isEmpty() || ramp.chars.front() != u' ' ||
        ramp.level.front() != 0.0f || ramp.level.back() != 1.0f)
        return false;
    if (!ramp.shapeChars.isEmpty() && !ramp.hasShapes())
        return false;
    for (qsizetype i = 0; i < ramp.shapeChars.size(); ++i) {
        if (!candidates.contains(ramp.shapeChars[i]) || ramp.shapeChars.indexOf(ramp.shapeChars[i]) != i)
            return false;
        if (i > 0 && ramp.shapeLevel[size_t(i)] < ramp.shapeLevel[size_t(i) - 1])
            return false;
    }
    for (qsizetype i = 0; i < ramp.chars.size(); ++i) {
        if (!candidates.contains(ramp.chars[i]) || ramp.chars.indexOf(ramp.chars[i]) != i)
            return false;
        if (i > 0 && (ramp.coverage[size_t(i)] < ramp.coverage[size_t(i) - 1] ||
                      ramp.level[size_t(i)] < ramp.level[size_t(i) - 1]))
            return false;
    }
    return true;
}

void writeState(RecordWriter &w, const FileState &s)
{
    w.text(s.path);
    w.u32(s.type);
    w.i64(s.device);
    w.i64(s.inode);
    w.i64(s.size);
    w.i64(s.modified);
    w.i64(s.changed);
}

FileState readState(RecordReader &r)
{
    FileState s;
    r.text(s.path);
    s.type = r.u32();
    s.device = r.i64();
    s.inode = r.i64();
    s.size = r.i64();
    s.modified = r.i64();
    s.changed = r.i64();
    return s;
}

QByteArray checksum(const char *data, qsizetype size)
{
    return QCryptographicHash::hash(QByteArrayView(data, size), QCryptographicHash::Blake2b_256);
}

// The whole regular file of this user at path, read without following a
// link in its place nor waiting on a FIFO; nothing for anything else.
std::optional<QByteArray> readCacheFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st = {};
    std::optional<QByteArray> out;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_size <= kMaxRecordBytes) {
        QByteArray bytes(qsizetype(st.st_size) + 1, Qt::Uninitialized);
        qsizetype got = 0;
        for (;;) {
            const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
            if (got == bytes.size())
                break; // grew while read: more than it was
        }
        if (got == st.st_size) {
            bytes.resize(got);
            out = std::move(bytes);
        }
    }
    ::close(fd);
    return out;
}

// Keeps the record in folder; a folder or file that cannot take it is left
// as it is.
void writeCacheFile(const QString &folder, const QString &path, const QByteArray &record)
{
    if (!makeOwnFolder(folder))
        return;
    const QByteArray name = QFile::encodeName(path);
    struct stat st = {};
    if (::lstat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        // A link is replaced, never followed; a FIFO, device or folder in
        // the file's place is left alone.
        if (!S_ISLNK(st.st_mode) || ::unlink(name.constData()) != 0)
            return;
    }
    OutputFile file(path, OutputFile::Access::Private);
    if (!file.open(QIODevice::WriteOnly) || file.isStream())
        return;
    if (file.write(record) != record.size() || !file.commit())
        file.cancelWriting();
}

// The file of the code that measures ramps: the program, or the library it
// is part of (a program that reads the records may be another one).
QString measuringCodeFile()
{
    Dl_info info;
    if (::dladdr(reinterpret_cast<void *>(&measuringCodeFile), &info) != 0 && info.dli_fname &&
        info.dli_fname[0] == '/')
        return QFileInfo(QFile::decodeName(info.dli_fname)).canonicalFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QMutex &folderMutex()
{
    static QMutex mutex;
    return mutex;
}

QString &folderSetting()
{
    static QString folder;
    return folder;
}

} // namespace

QString rampRequest(const ToneFont &font, const QString &extraCandidates, ArtBackground background)
{
    QString r;
    auto line = [&r](const QString &name, const QString &value) {
        r += name + u'=' + QString::fromLatin1(value.toUtf8().toPercentEncoding(" ,/:.")) + u'\n';
    };
    line(QStringLiteral("program"), QStringLiteral(TESSILOR_VERSION));
    line(QStringLiteral("record"), QString::number(kRampRecordVersion));
    line(QStringLiteral("qt"), QString::fromLatin1(qVersion()));
    line(QStringLiteral("font"), font.key());
    line(QStringLiteral("candidates"), toneCandidates() + extraCandidates);
    line(QStringLiteral("background"),
         background == ArtBackground::Dark ? QStringLiteral("dark") : QStringLiteral("light"));
    for (const char *variable : kEnvironment) {
        if (qEnvironmentVariableIsSet(variable))
            line(QLatin1String(variable), QFile::decodeName(qgetenv(variable)));
        else
            r += QLatin1String(variable) + QStringLiteral(" unset\n");
    }
    return r;
}

std::vector<FileState> rampFiles(const ToneRamp &ramp)
{
    const QStringList paths = QStringList(measuringCodeFile()) + glyphLibraryFiles() + fontconfigFiles() +
                              fontFilesOfFamily(ramp.family) + fontFilesOfFamily(ramp.printFamily);
    std::vector<FileState> out;
    QSet<QString> seen;
    for (const QString &path : paths) {
        if (!seen.contains(path)) {
            seen.insert(path);
            out.push_back(fileState(path));
        }
    }
    return out;
}

QByteArray rampRecord(const RampCacheKey &key, const ToneRamp &ramp)
{
    RecordWriter payload;
    payload.text(key.request);
    payload.u32(quint32(key.files.size()));
    for (const FileState &s : key.files)
        writeState(payload, s);
    rampFields(payload, ramp);

    RecordWriter out;
    out.bytes.append(kMagic, sizeof kMagic);
    out.u32(kRampRecordVersion);
    out.u32(quint32(payload.bytes.size()));
    out.bytes.append(payload.bytes);
    out.bytes.append(checksum(out.bytes.constData(), out.bytes.size()));
    return out.bytes;
}

std::optional<ToneRamp> readRampRecord(const QByteArray &record, const QString &request, const QString &extraCandidates)
{
    const qsizetype size = record.size();
    if (size < kHeaderBytes + kChecksumBytes || size > kMaxRecordBytes ||
        std::memcmp(record.constData(), kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    RecordReader header(record.constData() + sizeof kMagic, kHeaderBytes - qsizetype(sizeof kMagic));
    const quint32 version = header.u32();
    const quint32 length = header.u32();
    if (version != kRampRecordVersion || length != quint64(size - kHeaderBytes - kChecksumBytes) ||
        checksum(record.constData(), size - kChecksumBytes) != record.right(kChecksumBytes))
        return std::nullopt;

    RecordReader r(record.constData() + kHeaderBytes, qsizetype(length));
    QString answers;
    r.text(answers);
    if (!r.ok() || answers != request)
        return std::nullopt;
    const quint32 files = r.u32();
    if (!r.ok() || files > kMaxFiles)
        return std::nullopt;
    for (quint32 i = 0; i < files; ++i) {
        const FileState then = readState(r);
        if (!r.ok() || fileState(then.path) != then)
            return std::nullopt;
    }
    ToneRamp ramp;
    rampFields(r, ramp);
    if (!r.ok() || !r.atEnd() || !plausibleRamp(ramp, toneCandidates() + extraCandidates))
        return std::nullopt;
    return ramp;
}

QString rampCacheFile(const QString &folder, const ToneFont &font, const QString &extraCandidates,
                      ArtBackground background)
{
    // One file per font and setting: a record of another version or
    // environment is replaced, not kept beside it.
    const QByteArray name =
        (font.key() + u'\x1f' + extraCandidates + u'\x1f' + (background == ArtBackground::Dark ? u'D' : u'L')).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(name, QCryptographicHash::Blake2b_256).toHex().left(24);
    return folder + QStringLiteral("/tone-ramp-") + QString::fromLatin1(hash);
}

std::optional<ToneRamp> cachedToneRamp(const ToneFont &font, const QString &extraCandidates, ArtBackground background,
                                       const QString &folder)
{
    if (folder.isEmpty())
        return std::nullopt;
    const std::optional<QByteArray> record = readCacheFile(rampCacheFile(folder, font, extraCandidates, background));
    if (!record)
        return std::nullopt;
    return readRampRecord(*record, rampRequest(font, extraCandidates, background), extraCandidates);
}

ToneRamp cachedOrMeasuredToneRamp(const ToneFont &font, const QString &extraCandidates, ArtBackground background,
                                  const QString &folder, RampOrigin *origin)
{
    if (std::optional<ToneRamp> cached = cachedToneRamp(font, extraCandidates, background, folder)) {
        if (origin)
            *origin = RampOrigin::Cache;
        return std::move(*cached);
    }
    if (origin)
        *origin = RampOrigin::Measured;
    ToneRamp ramp = measureToneRamp(font.font(), extraCandidates, background);
    if (!folder.isEmpty() && plausibleRamp(ramp, toneCandidates() + extraCandidates)) {
        const RampCacheKey key{rampRequest(font, extraCandidates, background), rampFiles(ramp)};
        writeCacheFile(folder, rampCacheFile(folder, font, extraCandidates, background), rampRecord(key, ramp));
    }
    return ramp;
}

QString userRampCacheFolder()
{
    // The platform about to start, or the one running.
    const QCoreApplication *app = QCoreApplication::instance();
    const bool gui = app && app->inherits("QGuiApplication");
    const bool offscreen = qgetenv("QT_QPA_PLATFORM") == "offscreen" &&
                           (!gui || app->property("platformName").toString() == QLatin1String("offscreen"));
    const QString cache = userCacheFolder();
    return offscreen && !cache.isEmpty() ? cache + QStringLiteral("/tessilor") : QString();
}

void setToneRampCacheFolder(const QString &folder)
{
    QMutexLocker lock(&folderMutex());
    folderSetting() = folder;
}

QString toneRampCacheFolder()
{
    QMutexLocker lock(&folderMutex());
    return folderSetting();
}

} // namespace tessilor
