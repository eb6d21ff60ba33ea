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

} // namespace tessilor
