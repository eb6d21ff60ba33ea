#pragma once
#include <QMargins>
#include <QRect>
#include <functional>

#include "app/mainbars.h"
#include "base/settings.h"

class QComboBox;
class QWidget;

// The main window's settings that survive a restart, between the store and
// the window: its place, and the option lists with the choices in them.
namespace tessilor {

// The stored place of a window with the given design size (twips), within
// the limits of the screen it starts on and brought whole onto a screen's
// available area (another monitor set-up, a smaller screen, a value beyond
// the window system's coordinates). state receives the stored window state.
QRect storedWindowPlace(const SettingsStore &store, const QWidget *window, QSizeF designTwips, int *state);

// While a restored window comes on screen: as soon as the window manager
// has framed it, the window with its frame is brought onto the available
// area of its screen (mainlayout::windowOnScreens), shrunk if it must be,
// and framed, when given, is told the frame's margins (what lies around the
// client area is known only then, not when the window is shown). Watches
// the window until then, a few seconds at most (no window manager, no
// frame); a maximised window is left where the window manager puts it.
void keepFrameOnScreen(QWidget *window, std::function<void(QMargins)> framed = {});

// The entries of the option lists.
void fillModeList(QComboBox *list);      // "Текстовые символы", "Фигуры"
void fillFontList(QComboBox *list);      // the ramp fonts, each with its ramp as data
void fillColorModeList(QComboBox *list); // colour, grey
void fillSizeLists(QComboBox *textSizes, QComboBox *figureSizes);

// The stored choices of the bars' lists, boxes and the contrast slider,
// shown in the controls; and read back from them. The figure, the text
// colour, the result output and the recent files are kept by their own
// owners.
void showStoredChoices(const StoredOptions &options, MainBar &bar, TextBar &text, FigureBar &figures);
void takeStoredChoices(StoredOptions &options, const MainBar &bar, const TextBar &text, const FigureBar &figures);

} // namespace tessilor
