#pragma once
#include <QStringList>
#include <optional>

class QIODevice;

// tessilor-cli's quick start: the runs people make most often, a picture's
// text, done without loading the GUI libraries (Qt GUI and the font and
// graphics libraries under it take longer to load than such a run takes).
namespace tessilor::cli {

// Runs the command line when it is one picture's text (txt or ansi, the
// classic or the tone method, not in the picture's colours) to standard
// output, the picture a JPEG the grids reduce and stored upright, and for
// the tone method the font's ramp kept in the user's cache folder by an
// earlier run; the exit status then. Nothing when the
// run is anything else or anything goes wrong before the result is
// written: nothing has been written then, and the whole command line is
// left to run() (which also says what went wrong). The result is the one
// run() gives, byte for byte: the same parsing, ramp, sampling and
// conversion. terminalColumns: as for run().
std::optional<int> runQuickStart(const QStringList &args, QIODevice &out, QIODevice &err, int terminalColumns);

} // namespace tessilor::cli
