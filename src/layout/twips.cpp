#include "layout/twips.h"

#include "base/numparse.h"

namespace tessilor {

int twipsToPixels(double twips)
{
    return roundHalfEvenTo32(twips / kTwipsPerPixel);
}

} // namespace tessilor
