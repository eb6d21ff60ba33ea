#pragma once
#include <QString>
#include <QStringList>

namespace tessilor {

// What Qt and the picture libraries say while a picture is decoded
// (libpng's and libtiff's warnings and errors, QBuffer's complaints, Qt's
// image reader) belongs to that load, not to the program's standard error.
// While a DecoderMessages lives, the messages of its thread are collected
// in it: a load that gives a picture drops them, a load that fails makes
// them the detail of its error. Messages outside such a scope, and those
// of other threads, go where they went before.
class DecoderMessages
{
public:
    DecoderMessages();
    ~DecoderMessages();
    DecoderMessages(const DecoderMessages &) = delete;
    DecoderMessages &operator=(const DecoderMessages &) = delete;

    void add(const QString &message);
    // The messages in order, in one line ("; " between them).
    QString text() const;
    bool isEmpty() const { return m_lines.isEmpty(); }

private:
    QStringList m_lines;
    DecoderMessages *m_outer;
};

// Puts Qt's message handler in place. Part of initPictureDecoding().
void routeDecoderMessages();

// Puts libtiff's warning and error handlers in place, once, when the
// library is there: before the first TIFF is decoded (loading libtiff and
// its own libraries takes half a millisecond, which a start that decodes
// no TIFF does without).
void routeTiffMessages();

} // namespace tessilor
