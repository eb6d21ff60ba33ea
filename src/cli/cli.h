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

// True when the arguments ask for a rich output (RTF or HTML), which needs
// fonts and so a GUI application object; text and colour output do not.
bool needsFonts(const QStringList &args);

} // namespace tessilor::cli
