#include "layout/twips.h"

#include "base/numparse.h"

namespace tessilor {

int twipsToPixels(double twips)
{
    return roundHalfEvenTo32(twips / kTwipsPerPixel);
}

int twipsToPixels(double twips, double dpi)
{
    return roundHalfEvenTo32(twips * dpi / kTwipsPerInch);
}

int wholePixelsWithin(double twips)
{
    return int(floorToInt64(twips / kTwipsPerPixel));
}

qint32 pixelsToWholeTwips(double pixels)
{
    return roundHalfEvenTo32(pixels * kTwipsPerPixel);
}

} // namespace tessilor
