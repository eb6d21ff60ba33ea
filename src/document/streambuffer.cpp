#include "document/streambuffer.h"

#include <QIODevice>
#include <algorithm>
#include <cstring>

namespace tessilor::richEditHooks {

namespace {
QString g_buffer;
int g_pos = 1;
} // namespace

void SetStreamBuffer(const QString &text)
{
    g_buffer = text;
    g_pos = 1;
}

QString GetStreamBuffer()
{
    return g_buffer;
}

int StreamPos()
{
    return g_pos;
}

int StreamInFromBuffer(quintptr, QChar *pbBuff, int cb, int *pcb)
{
    const qsizetype n = g_buffer.size();
    const qsizetype p = g_pos;
    if (n <= cb) {
        if (p == 1) {
            std::copy_n(g_buffer.constData(), n, pbBuff);
            *pcb = int(n);
            g_pos = 0;
        } else {
            *pcb = 0;
        }
        return 0;
    }
    if (p > n || p < 1) {
        *pcb = 0;
        return 0;
    }
    const qsizetype k = p + cb > n ? n - p + 1 : cb;
    std::copy_n(g_buffer.constData() + (p - 1), k, pbBuff);
    *pcb = int(k);
    g_pos = int(p + k);
    return 0;
}

int StreamOutToBuffer(quintptr, const QChar *pbBuff, int cb, int *pcb)
{
    g_buffer.append(pbBuff, cb);
    *pcb = cb;
    return 0;
}

int StreamInFromFile(quintptr dwCookie, char *pbBuff, int cb, int *pcb)
{
    auto *dev = reinterpret_cast<QIODevice *>(dwCookie);
    const qint64 got = dev ? dev->read(pbBuff, cb) : -1;
    *pcb = got > 0 ? int(got) : 0;
    return 0;
}

int StreamOutToFile(quintptr dwCookie, const char *pbBuff, int cb, int *pcb)
{
    auto *dev = reinterpret_cast<QIODevice *>(dwCookie);
    const qint64 put = dev ? dev->write(pbBuff, cb) : -1;
    *pcb = put > 0 ? int(put) : 0;
    return 0;
}

QString pullText(TextInCallback callback, quintptr cookie, int cb, QList<int> *chunkSizes)
{
    QString result;
    QList<QChar> chunk(cb);
    for (;;) {
        int got = 0;
        if (callback(cookie, chunk.data(), cb, &got) != 0)
            break;
        got = std::clamp(got, 0, cb);
        if (chunkSizes)
            chunkSizes->append(got);
        if (got == 0)
            break;
        result.append(chunk.constData(), got);
    }
    return result;
}

QByteArray pullBytes(BytesInCallback callback, quintptr cookie, int cb)
{
    QByteArray result;
    QByteArray chunk(cb, '\0');
    for (;;) {
        int got = 0;
        if (callback(cookie, chunk.data(), cb, &got) != 0)
            break;
        got = std::clamp(got, 0, cb);
        if (got == 0)
            break;
        result.append(chunk.constData(), got);
    }
    return result;
}

qint64 pushText(TextOutCallback callback, quintptr cookie, const QString &text, int cb)
{
    qint64 done = 0;
    while (done < text.size()) {
        const int k = int(std::min<qint64>(cb, text.size() - done));
        int taken = 0;
        if (callback(cookie, text.constData() + done, k, &taken) != 0 || taken <= 0)
            break;
        done += std::min(taken, k);
    }
    return done;
}

qint64 pushBytes(BytesOutCallback callback, quintptr cookie, const QByteArray &bytes, int cb)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const int k = int(std::min<qint64>(cb, bytes.size() - done));
        int taken = 0;
        if (callback(cookie, bytes.constData() + done, k, &taken) != 0 || taken <= 0)
            break;
        done += std::min(taken, k);
    }
    return done;
}

} // namespace tessilor::richEditHooks
