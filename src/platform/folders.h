#pragma once
#include <QString>

namespace tessilor {

// Special folder numbers understood by GetSpecialFolder.
inline constexpr int CSIDL_DESKTOP = 0;
inline constexpr int CSIDL_PERSONAL = 5;
inline constexpr int CSIDL_MYPICTURES = 39;
inline constexpr int CSIDL_DESKTOPDIRECTORY = 16;

// Path of a special folder (16 and 0: the desktop; 5: documents; 39:
// pictures); empty when the number is unknown or the folder does not exist.
QString GetSpecialFolder(int csidl);

} // namespace tessilor
