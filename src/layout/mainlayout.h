#pragma once
#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QString>
#include <optional>
#include "layout/twips.h"

// Arithmetic of the main window: the coupling of the grid-size fields, the
// placement of the bars and of the drop-down pickers, the result window's
// place. Lengths are in twips unless a name says pixels.
namespace tessilor::mainlayout {

using tessilor::kTwipsPerPixel;
using tessilor::pixelsToTwips;
using tessilor::twipsToPixels;

// The four grid-size fields of the main window.
enum class GridField { TextColumns, TextRows, FigureColumns, FigureRows };

// The partner field's new text when `changed` is edited to `text` with the
// given single precision aspect (width / height of the display copy):
//   TextColumns -> TextRows = Int(Val(TextColumns) / aspect / 2)
//   TextRows -> TextColumns = Int(Val(TextRows) * aspect * 2)
//   FigureColumns -> FigureRows = Int(Val(FigureColumns) / aspect)
//   FigureRows -> FigureColumns = Int(Val(FigureRows) * aspect)
// Val reads the leading number (0 when there is none), Int floors. Nothing
// (the partner stays unchanged) when the result is not a finite number that
// fits a 32-bit signed integer, e.g. for a huge input or a zero aspect.
std::optional<QString> coupledPartnerText(GridField changed, const QString &text, float aspect);

// The partner of a field: TextColumns <-> TextRows, FigureColumns <-> FigureRows.
GridField partnerOf(GridField field);

// What the image window publishes for a display copy of pw x ph pixels: the
// aspect pw / ph in single precision and the four field counts 2*pw, ph,
// Int(pw / 1.4), Int(ph / 1.4).
struct PublishedSize {
    float aspect = 0.0f;
    qint64 textColumns = 0, textRows = 0, figureColumns = 0, figureRows = 0;
};
PublishedSize publishedSize(int pw, int ph);

// Placement of the controls on the main tool bar at load.
struct ToolbarPlacement {
    double modeFrameLeft = 0;
    double modeFrameWidth = 0;
    double modeFrameHeight = 0;
    double progressLeft = 0;
};
// button6Left, button13Left, button17Left: left edges of the 1-based tool bar
// positions 6, 13 and 17; button2Height: height of position 2.
ToolbarPlacement placeToolbar(double button6Left, double button13Left, double button17Left, double button2Height);

// Left of the text-mode bar's second frame: it follows the colour tool bar,
// 90 twips after that bar's third button.
double secondFrameLeft(double colorBarLeft, double colorBarButton3Left);

// Placement that follows every resize of the main window: the help bar keeps
// 330 twips plus its button width from the right edge, the progress bar ends
// 15 twips before the help bar. A negative progress width is reported as is;
// the caller skips a size it cannot apply.
struct ResizePlacement {
    double helpBarLeft = 0;
    double progressWidth = 0;
};
ResizePlacement placeOnResize(double windowWidth, double helpButtonWidth, double progressLeft);

// Vertical anchor of the drop-down pickers: window top + non-client height +
// the height of each visible bar (main tool bar, text-mode bar, figure-mode
// bar; a hidden bar counts 0).
double pickerAnchorY(double windowTop, double nonClientHeight, double mainBarHeight, double textBarHeight,
                     double figureBarHeight);
// Top-left of the figure picker and of the colour picker for that anchor.
struct PickerPlace {
    double left = 0;
    double top = 0;
};
PickerPlace figurePickerPlace(double windowLeft, double anchorY);
PickerPlace colorPickerPlace(double windowLeft, double colorBarLeft, double anchorY);

// Where the zoom menu pops up when the main bar's zoom button is pressed, in
// the main window's coordinates.
PickerPlace zoomMenuPlace(double mainBarHeight);

// The result window's place in the main window's inner area.
struct ChildPlace {
    double left = 0, top = 0, width = 0, height = 0;
};
ChildPlace resultWindowPlace(double innerWidth, double innerHeight);

// The image window's place right after a picture was loaded.
ChildPlace imageWindowPlace();

// A child window (pixels) that follows its area's size when the area goes
// from oldArea to newArea: it keeps its top left corner and its distances to
// the area's right and bottom edges, but is never smaller than minimum.
QRect followingArea(const QRect &window, QSize oldArea, QSize newArea, QSize minimum);

// Where a restored window goes so that all of it, its frame included, lies
// on one screen (pixels; screens are the available areas, task bars left
// out). window is the window without its frame, frame the margins the
// window manager's frame adds around it (none before it has framed the
// window). The screen is the one that holds the largest part of the framed
// window, or the nearest when it lies on none. The window shrinks until the
// framed window fits that screen, but never below minimum, then moves as
// little as it must to lie inside; when even its smallest size is too large,
// the frame's top left corner is shown. No screens: no change.
QRect windowOnScreens(const QRect &window, const QList<QRect> &screens, const QMargins &frame = QMargins(),
                      QSize minimum = QSize(0, 0));

} // namespace tessilor::mainlayout
