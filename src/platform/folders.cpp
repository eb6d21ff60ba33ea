#include "platform/folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tessilor {

QString GetSpecialFolder(int csidl)
{
    QStandardPaths::StandardLocation location;
    switch (csidl) {
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY:
        location = QStandardPaths::DesktopLocation;
        break;
    case CSIDL_PERSONAL:
        location = QStandardPaths::DocumentsLocation;
        break;
    case CSIDL_MYPICTURES:
        location = QStandardPaths::PicturesLocation;
        break;
    default:
        return QString();
    }
    const QString path = QStandardPaths::writableLocation(location);
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return QString();
    return QDir::cleanPath(path);
}

} // namespace tessilor
