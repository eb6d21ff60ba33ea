#pragma once
#include "art/toneramp.h"
#include "picture/linearlight.h"

namespace tessilor::testsupport {

// The ink level a sample of linear luminance y asks for on light paper: its
// lightness at the same fraction of the art's range of lightness, from the
// darkest character's cell to the paper.
inline double wantedLevel(const ToneRamp &ramp, double y)
{
    const double darkest = ramp.coverage.back();
    const double low = linearToSrgb(1.0 - darkest);
    return (1.0 - srgbDecode(low + linearToSrgb(y) * (1.0 - low))) / darkest;
}

} // namespace tessilor::testsupport
