#pragma once

#include <QMarginsF>
#include <QPageLayout>

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
// The printer's own margins are not changed by the dialog: the program
// keeps the margins the user confirmed (pageMarginsMm) and lays its pages
// out inside them itself.
bool ShowPageSetupDialog(QPrinter *printer, int &left, int &right, int &top, int &bottom, QWidget *owner);

// The page setup of the print window: the dialog started from the margins
// of pageMarginsMm(), which take the margins the user confirmed. The result
// is ShowPageSetupDialog's.
bool RunPageSetup(QPrinter *printer, QWidget *owner);

// The margins results are laid out inside, in millimetres: those last
// confirmed in the page setup, the design margins (designMarginsMm) before.
QMarginsF pageMarginsMm();
void setPageMarginsMm(const QMarginsF &margins);
// A page of the layout's paper and orientation with pageMarginsMm(), in
// full-page mode (so that a printer's own margins do not clamp them).
QPageLayout withPageMargins(QPageLayout paper);
// The page a printer lays a result out on: withPageMargins of its layout.
QPageLayout resultPageOf(const QPrinter &printer);
// The page of the current page setup: the paper of the last confirmed page
// setup, or A4 upright when there is none, with pageMarginsMm().
QPageLayout currentPageSetup();

// True when the printer can print on the layout's paper: a valid layout
// whose page size the printer lists (or any valid one for a PDF writer or a
// printer that takes custom sizes).
bool pageLayoutSupported(const QPrinter &printer, const QPageLayout &layout);

// Forgets the paper settings and the margins kept from the last confirmed
// page setup.
void ForgetPageSetup();
// True while paper settings from a confirmed page setup are kept.
bool HasSavedPageSetup();

// "Ошибка распределения памяти, Немедленно закройте приложение!" with the
// title "Системная ошибка" and an error icon.
void ShowMemoryError(QWidget *owner);

} // namespace tessilor
