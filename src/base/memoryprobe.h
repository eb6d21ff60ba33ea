#pragma once
#include <QtGlobal>

namespace tessilor {

// True when the process can have this many more bytes of memory right now
// (within its address-space limit and what the system will commit). Nothing
// is kept and no page is touched. Qt reports a failed image allocation as a
// decoder error, and some of its internals do not check their allocations
// at all, so a caller about to need a lot asks first.
bool memoryAvailable(qint64 bytes);

} // namespace tessilor
