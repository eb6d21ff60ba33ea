#pragma once
#include <QStringList>

namespace tessilor {

// Whether the desktop has an application that opens files of any of these
// MIME types, as the desktop's opener (xdg-open) looks it up: the default
// application xdg-mime names for the type. True when that cannot be told
// (no xdg-mime, or it does not answer): the opener is tried then.
bool desktopOpensAnyOf(const QStringList &mimeTypes);

// The two names RTF documents go by.
QStringList rtfMimeTypes();

// The word processors that open RTF files, by the names of their programs,
// in the order they are looked for: LibreOffice ("soffice", "libreoffice",
// "lowriter"), AbiWord, Calligra Words, Ted.
QStringList wordProcessorNames();

// The first of them installed (found on PATH) that shows a window:
// LibreOffice built without its window system parts, whose program folder
// holds no window plug-in (libvclplug_*), opens no window and is passed
// over. Empty when there is none.
QString installedWordProcessor();

// Opens the file with that word processor, as a program of its own that
// outlives this one; false when there is none or it cannot be started.
bool openWithWordProcessor(const QString &path);

} // namespace tessilor
