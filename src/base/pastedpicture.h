#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QDateTime;
class QMimeData;

// Pictures that come from the clipboard: the bytes of a picture an
// application copied, or the name of a picture file a file manager copied.
// Bytes are kept as a file of the program's data folder, so that a pasted
// picture is opened, listed and reopened like any other file.
namespace tessilor {

// A clipboard type taken as a picture, with the extension of its files.
struct ClipboardPictureType {
    QString mime;
    QString extension;
};

// The types taken, in the order they are preferred: image/png, image/jpeg,
// image/bmp (and its older names image/x-bmp, image/x-ms-bmp), image/gif,
// image/webp, image/tiff.
const QList<ClipboardPictureType> &clipboardPictureTypes();

// The local files a file manager's copy names, in order:
// x-special/gnome-copied-files ("copy" or "cut", then a URL a line), else
// text/uri-list (a URL a line, '#' comments).
QStringList copiedFiles(const QMimeData &data);

// What the clipboard holds as a picture: the bytes of the first picture type
// offered (with the extension of that type), else the first copied file of
// a picture type (by extension) that exists.
struct ClipboardPicture {
    QByteArray bytes;
    QString extension;
    QString file;
    bool isNull() const { return bytes.isEmpty() && file.isEmpty(); }
};
ClipboardPicture pictureFromClipboard(const QMimeData &data);

// Whether the clipboard holds a picture as above; reads the bytes of no
// picture type.
bool offersPicture(const QMimeData &data);

// Keeps pasted bytes as a file of folder, written whole and readable by the
// user alone: "буфер обмена YYYY-MM-DD HH-MM-SS.ext" at the time given, with
// " (2)", " (3)" ... when that name is taken. A file of the folder with the
// same bytes is used again instead. Returns the file's path, or an empty one
// with the reason in *error.
QString keepPastedPicture(const QByteArray &bytes, const QString &extension, const QString &folder,
                          const QDateTime &when, QString *error = nullptr);

// Removes the files of folder (the pasted pictures) that keep does not name:
// what the recent files no longer list. Returns how many were removed.
int removeUnlistedPastedPictures(const QString &folder, const QStringList &keep);

} // namespace tessilor
