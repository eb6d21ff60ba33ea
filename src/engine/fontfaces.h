#pragma once

namespace tessilor {

// The four ramp fonts keep their names; the system shows them with
// monospaced families that have Cyrillic letters ("Courier New Cyr" is
// drawn in Liberation Mono, the others in DejaVu Sans Mono, each falling
// back to the other). The desktop program and tessilor-cli install the same
// table, so both measure and draw the same faces. Needs a QGuiApplication.
void installFontSubstitutions();

} // namespace tessilor
