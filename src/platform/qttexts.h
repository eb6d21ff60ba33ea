#pragma once

// Qt's own texts (the buttons and labels of its dialogs, the types, sizes
// and dates of its file lists) in Russian like the rest of the program,
// whatever the system's locale.
namespace tessilor {

// Installs Qt's Russian translation, the few texts it lacks (the file
// list's "Folder", "Drive") and a Russian default locale, so that numbers,
// dates and the descriptions of file types come out as a Russian locale
// writes them. Call once after the application object exists; false when
// Qt's Russian translation could not be loaded (the texts it lacks and the
// locale are set all the same).
bool useRussianQtTexts();

} // namespace tessilor
