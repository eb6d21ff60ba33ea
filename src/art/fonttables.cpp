#include "art/fonttables.h"

#include "fonts/fontmodule.h"

namespace tessilor {

const std::array<RampFont, 4> &rampFonts()
{
    static const std::array<RampFont, 4> fonts = [] {
        const std::array<QString, 4> &faces = textFontFaces();
        return std::array<RampFont, 4>{{
            {faces[0], QStringLiteral("   ......'''':::,,,!!!;;(((***==+++%%$$2225500088AAAQQQmmmEEE###"
                                      "\u0401\u0401\u0401\u0409\u0409\u0409\u0409HHHNNNNMMM")},
            {faces[1], QStringLiteral("     ''''``,,,::+;;<</*!JFS52E36h$&A88B%M##ggg@@@")},
            {faces[2], QStringLiteral("     ``````'''...---!!!__::***++77(((1144III9988DDD%%%BBB###QQQ@@@@@MMMMM")},
            {faces[3], QStringLiteral("       ^^^^^^^--___''''!!!!((;;;??77III$$22244%%%&&&@@@AAABBBBB##")},
        }};
    }();
    return fonts;
}

int fixedSizeEntry(int fontEntry)
{
    if (fontEntry == 2)
        return 4;
    if (fontEntry == 4)
        return 3;
    return 0;
}

} // namespace tessilor
