// Feeds arbitrary bytes to the reader of kept tone ramps, the way a damaged
// or foreign file in the cache folder reaches it: as the file itself, and
// sealed as a record (header and checksum made right around the bytes), so
// that the reader gets past the checksum into the fields. Whatever the
// bytes, it gives nothing or a ramp the measurement could give, and that
// ramp, kept again, reads back the same.
#include "art/rampcache.h"
#include "fuzzapp.h"

#include <QCryptographicHash>
#include <QtEndian>
#include <cstddef>
#include <cstdint>

namespace {

const QString kRequest = QStringLiteral("fuzz");

// A record around payload, made as rampRecord() makes one.
QByteArray sealed(const QByteArray &payload)
{
    static const QByteArray head = tessilor::rampRecord({kRequest, {}}, tessilor::ToneRamp()).left(12);
    char length[4];
    qToLittleEndian(quint32(payload.size()), length);
    QByteArray record = head + QByteArray(length, 4) + payload;
    return record + QCryptographicHash::hash(record, QCryptographicHash::Blake2b_256);
}

void check(const QByteArray &record)
{
    using namespace tessilor;
    const std::optional<ToneRamp> ramp = readRampRecord(record, kRequest, QString());
    if (!ramp)
        return;
    FUZZ_CHECK(ramp->valid());
    FUZZ_CHECK(ramp->chars.front() == u' ');
    FUZZ_CHECK(ramp->coverage.size() == size_t(ramp->chars.size()));
    FUZZ_CHECK(ramp->level.size() == size_t(ramp->chars.size()));
    FUZZ_CHECK(ramp->level.front() == 0.0f && ramp->level.back() == 1.0f);
    for (const QChar c : ramp->chars)
        FUZZ_CHECK(toneCandidates().contains(c));
    FUZZ_CHECK(readRampRecord(rampRecord({kRequest, {}}, *ramp), kRequest, QString()) == ramp);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Sealing here is the writer's own: a record it seals reads back.
    using namespace tessilor;
    ToneRamp ramp;
    ramp.family = ramp.printFamily = QStringLiteral("f");
    ramp.chars = QStringLiteral(" .#");
    ramp.coverage = {0.0f, 0.1f, 0.3f};
    ramp.level = {0.0f, 1.0f / 3.0f, 1.0f};
    const QByteArray record = rampRecord({kRequest, {}}, ramp);
    FUZZ_CHECK(sealed(record.mid(16, record.size() - 16 - 32)) == record);
    FUZZ_CHECK(readRampRecord(record, kRequest, QString()) == ramp);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    check(bytes);
    check(sealed(bytes));
    return 0;
}
