#pragma once

class QPageLayout;
class QPrinter;
class QWidget;

namespace tessilor {

// Page setup dialog for the printer, modal over owner. The margins are in
// the locale's units: hundredths of a millimetre where the locale measures
// in metric units, thousandths of an inch otherwise. The dialog starts from
// the given margins.
//
// Confirmed: the paper size and orientation chosen go onto the printer, the
// margins receive the dialog's margins, and the paper settings are kept as
// the starting point of the next call; the result is true. When the printer
// does not support the chosen paper, "Принтер не поддерживает данный формат
// страницы." is shown, the printer keeps its previous settings, the margins
// stay as passed, and the result is still true.
// Cancelled: the printer and the margins are unchanged, the kept paper
// settings are dropped, and the result is false.
// The printer's own margins are not changed by the dialog: the page layout
// of the program does not use the dialog's margins.
bool ShowPageSetupDialog(QPrinter *printer, int &left, int &right, int &top, int &bottom, QWidget *owner);

// True when the printer can print on the layout's paper: a valid layout
// whose page size the printer lists (or any valid one for a PDF writer or a
// printer that takes custom sizes).
bool pageLayoutSupported(const QPrinter &printer, const QPageLayout &layout);

// Forgets the paper settings kept from the last confirmed page setup.
void ForgetPageSetup();
// True while paper settings from a confirmed page setup are kept.
bool HasSavedPageSetup();

// "Ошибка распределения памяти, Немедленно закройте приложение!" with the
// title "Системная ошибка" and an error icon.
void ShowMemoryError(QWidget *owner);

} // namespace tessilor
