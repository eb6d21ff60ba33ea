#pragma once
#include <QRect>

#include "app/mainbars.h"
#include "base/settings.h"

class QComboBox;
class QWidget;

// The main window's settings that survive a restart, between the store and
// the window: its place, and the option lists with the choices in them.
namespace tessilor {

// The stored place of a window with the given design size (twips), within
// the limits of the screen it starts on and brought back onto a screen when
// it lies off every one (another monitor set-up, a value beyond the window
// system's coordinates). state receives the stored window state.
QRect storedWindowPlace(const SettingsStore &store, const QWidget *window, QSizeF designTwips, int *state);

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
