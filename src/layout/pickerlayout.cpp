#include "layout/pickerlayout.h"

#include <algorithm>
#include <cmath>

namespace tessilor {

TwipPos nextFigureLabelPos(TwipPos prev, int prevWidth, int innerWidth)
{
    using namespace figurepicker;
    TwipPos p{prev.left + prevWidth + kLabelGap, prev.top};
    if (p.left + kLabelSize > innerWidth) {
        p.left = kFirstLeft;
        p.top = prev.top + kRowPitch;
    }
    return p;
}

int figureLabelsPerRow(int innerWidth)
{
    using namespace figurepicker;
    // Label k of a row (0-based) starts at kFirstLeft + k * (size + gap) and
    // must end within the inner width; the first one always stays.
    const int pitch = kLabelSize + kLabelGap;
    const int room = innerWidth - kFirstLeft - kLabelSize;
    if (room < 0)
        return 1;
    return room / pitch + 1;
}

TwipPos figureLabelPos(int n, int innerWidth)
{
    using namespace figurepicker;
    if (n < 1)
        return {kFirstLeft, kFirstTop};
    const int perRow = figureLabelsPerRow(innerWidth);
    const int row = (n - 1) / perRow;
    const int col = (n - 1) % perRow;
    return {kFirstLeft + col * (kLabelSize + kLabelGap), kFirstTop + row * kRowPitch};
}

int figureLabelRows(int count, int innerWidth)
{
    if (count <= 0)
        return 0;
    const int perRow = figureLabelsPerRow(innerWidth);
    return (count + perRow - 1) / perRow;
}

int figurePickerInnerHeight(int count, int innerWidth)
{
    using namespace figurepicker;
    const int rows = std::max(1, figureLabelRows(count, innerWidth));
    return kFirstTop + (rows - 1) * kRowPitch + kLabelSize + kFirstTop;
}

int centredBarLeft(int innerWidth, int barWidth)
{
    return int(std::lround(innerWidth / 2.0 - barWidth / 2.0));
}

BarGrid wrappedBarGrid(int buttons, int innerWidth, int buttonWidth)
{
    BarGrid g;
    g.columns = buttonWidth > 0 ? std::max(1, innerWidth / buttonWidth) : 1;
    g.rows = buttons > 0 ? (buttons + g.columns - 1) / g.columns : 0;
    return g;
}

int colorMenuInnerHeight(int paletteRows, int otherBarHeight)
{
    using namespace colormenu;
    return std::max(kInnerHeight, paletteRows * kButtonHeight + otherBarHeight);
}

ColorMenuRows colorMenuPictureRow(int paletteRows, int barHeight, int pictureHeight)
{
    using namespace colormenu;
    const int paletteHeight = paletteRows * kButtonHeight;
    // colorMenuInnerHeight is never below paletteHeight + barHeight, so the
    // gap above the bar is never negative, and the picture row (at least a
    // button high) always ends below that height.
    const int gap = (colorMenuInnerHeight(paletteRows, barHeight) - paletteHeight - barHeight) / 2;
    ColorMenuRows r;
    r.barTop = paletteHeight + gap;
    r.pictureTop = r.barTop + barHeight;
    r.pictureHeight = std::max(pictureHeight, int(kButtonHeight));
    r.innerHeight = r.pictureTop + r.pictureHeight + gap;
    return r;
}

} // namespace tessilor
