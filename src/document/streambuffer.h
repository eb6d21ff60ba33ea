#pragma once
#include <QList>
#include <QString>

class QIODevice;

// The stream buffer of the rich text control: whole documents move between
// strings or files and the control in chunks whose size the control chooses.
// The buffer is module-wide and empty whenever no stream is in progress.
namespace tessilor::richEditHooks {

// StreamBuffer = text, StreamPos = 1.
void SetStreamBuffer(const QString &text);
// A copy of StreamBuffer.
QString GetStreamBuffer();
// 1-based position of the next character to hand over; 0 after the whole
// buffer went out in one chunk.
int StreamPos();

// Callbacks in the control's stream contract: fill or take at most cb units
// at pbBuff, report the count in *pcb, return 0 to carry on. The control
// calls an input callback until it answers *pcb = 0.
int StreamInFromBuffer(quintptr dwCookie, QChar *pbBuff, int cb, int *pcb);
int StreamOutToBuffer(quintptr dwCookie, const QChar *pbBuff, int cb, int *pcb);
// dwCookie is a QIODevice*.
int StreamInFromFile(quintptr dwCookie, char *pbBuff, int cb, int *pcb);
int StreamOutToFile(quintptr dwCookie, const char *pbBuff, int cb, int *pcb);

using TextInCallback = int (*)(quintptr, QChar *, int, int *);
using TextOutCallback = int (*)(quintptr, const QChar *, int, int *);
using BytesInCallback = int (*)(quintptr, char *, int, int *);
using BytesOutCallback = int (*)(quintptr, const char *, int, int *);

// The control's side of a stream: asks for chunks of cb units until an empty
// answer and returns what arrived. chunkSizes, when given, receives the size
// of every answer (the final 0 included).
QString pullText(TextInCallback callback, quintptr cookie, int cb, QList<int> *chunkSizes = nullptr);
QByteArray pullBytes(BytesInCallback callback, quintptr cookie, int cb);
// Hands data out in chunks of at most cb units; returns the count taken.
qint64 pushText(TextOutCallback callback, quintptr cookie, const QString &text, int cb);
qint64 pushBytes(BytesOutCallback callback, quintptr cookie, const QByteArray &bytes, int cb);

} // namespace tessilor::richEditHooks
