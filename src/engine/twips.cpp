#include "engine/twips.h"

#include "engine/numparse.h"

namespace tessilor {

int twipsToPixels(double twips)
{
    return roundHalfEvenTo32(twips / kTwipsPerPixel);
}

} // namespace tessilor
