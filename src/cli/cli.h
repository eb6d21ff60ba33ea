#pragma once
#include <QStringList>

class QIODevice;

namespace tessilor::cli {

// Runs the command line front end. args excludes the program name. Standard
// output goes to out (when no output file is named), messages to err.
// terminalColumns: the width of the terminal out is, 0 when it is none.
// Returns the exit status: 0 success, 1 a picture that could not be read or
// converted or an output that could not be written, 2 bad option or value.
int run(const QStringList &args, QIODevice &out, QIODevice &err, int terminalColumns = 0);

QString usage();

// True when the arguments ask for a rich output (RTF or HTML), the tone
// method or the fill, which need fonts and so a GUI application object;
// other text and colour output do not.
bool needsFonts(const QStringList &args);

// True when what the run needs of the fonts is the tone method's ramp alone
// (text, terminal or colour output without the fill) and the ramp kept in
// the cache folder (setToneRampCacheFolder) was valid and is now in memory:
// then the run needs no GUI application object.
bool rampsFromCache(const QStringList &args);

} // namespace tessilor::cli
