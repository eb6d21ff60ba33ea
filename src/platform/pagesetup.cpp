#include "platform/pagesetup.h"

#include "base/options.h"
#include "layout/printlayout.h"

#include <QGuiApplication>
#include <QLocale>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <cmath>
#include <optional>

namespace tessilor {

namespace {
// Paper size and orientation of the last confirmed page setup.
std::optional<QPageLayout> SavedPageLayout;
// Margins of the last confirmed page setup, millimetres.
std::optional<QMarginsF> ConfirmedMargins;

struct MarginUnits {
    QPageLayout::Unit unit;
    double perUnit; // dialog units per layout unit
};

MarginUnits localeMarginUnits()
{
    if (QLocale().measurementSystem() == QLocale::MetricSystem)
        return {QPageLayout::Millimeter, 100.0};
    return {QPageLayout::Inch, 1000.0};
}

int toDialogUnits(double v, double perUnit)
{
    return int(std::nearbyint(v * perUnit));
}
} // namespace

bool pageLayoutSupported(const QPrinter &printer, const QPageLayout &layout)
{
    if (!layout.isValid())
        return false;
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return true;
    const QPrinterInfo info(printer);
    if (info.isNull() || info.supportsCustomPageSizes())
        return true;
    const QList<QPageSize> sizes = info.supportedPageSizes();
    if (sizes.isEmpty())
        return true;
    for (const QPageSize &s : sizes)
        if (s.isEquivalentTo(layout.pageSize()))
            return true;
    return false;
}

void ForgetPageSetup()
{
    SavedPageLayout.reset();
    ConfirmedMargins.reset();
}

QMarginsF pageMarginsMm()
{
    return ConfirmedMargins.value_or(designMarginsMm());
}

void setPageMarginsMm(const QMarginsF &margins)
{
    ConfirmedMargins = margins;
}

QPageLayout withPageMargins(QPageLayout page)
{
    page.setMode(QPageLayout::FullPageMode);
    page.setUnits(QPageLayout::Millimeter);
    page.setMargins(pageMarginsMm());
    return page;
}

QPageLayout resultPageOf(const QPrinter &printer)
{
    return withPageMargins(printer.pageLayout());
}

QPageLayout currentPageSetup()
{
    return withPageMargins(SavedPageLayout ? *SavedPageLayout : resultPageLayout());
}

bool RunPageSetup(QPrinter *printer, QWidget *owner)
{
    const MarginUnits mu = localeMarginUnits();
    const double perMm = mu.unit == QPageLayout::Millimeter ? mu.perUnit : mu.perUnit / 25.4;
    const QMarginsF m = pageMarginsMm();
    int left = toDialogUnits(m.left(), perMm), right = toDialogUnits(m.right(), perMm);
    int top = toDialogUnits(m.top(), perMm), bottom = toDialogUnits(m.bottom(), perMm);
    const int before[4] = {left, right, top, bottom};
    const bool confirmed = ShowPageSetupDialog(printer, left, right, top, bottom, owner);
    // Margins the dialog did not change keep their exact value.
    if (confirmed && (left != before[0] || right != before[1] || top != before[2] || bottom != before[3]))
        setPageMarginsMm(QMarginsF(left / perMm, top / perMm, right / perMm, bottom / perMm));
    return confirmed;
}

bool HasSavedPageSetup()
{
    return SavedPageLayout.has_value();
}

void ShowMemoryError(QWidget *owner)
{
    QMessageBox::critical(owner, QStringLiteral("Системная ошибка"),
                          QStringLiteral("Ошибка распределения памяти, Немедленно закройте приложение!"));
}

bool ShowPageSetupDialog(QPrinter *printer, int &left, int &right, int &top, int &bottom, QWidget *owner)
{
    if (!printer)
        return false;
    const QPageLayout before = printer->pageLayout();
    const MarginUnits mu = localeMarginUnits();

    // Start from the paper of the last confirmed setup, and from the caller's
    // margins (clamped by the printer to what it can print).
    if (SavedPageLayout) {
        printer->setPageSize(SavedPageLayout->pageSize());
        printer->setPageOrientation(SavedPageLayout->orientation());
    }
    printer->setPageMargins(QMarginsF(left / mu.perUnit, top / mu.perUnit, right / mu.perUnit, bottom / mu.perUnit),
                            mu.unit);

    QPageSetupDialog dialog(printer, owner);
    const bool confirmed = dialog.exec() == QDialog::Accepted;
    const QPageLayout chosen = printer->pageLayout();
    // The program lays its pages out against the printer's own margins.
    printer->setPageMargins(before.margins(), before.units());

    if (!confirmed) {
        printer->setPageLayout(before);
        SavedPageLayout.reset();
        return false;
    }
    if (!pageLayoutSupported(*printer, chosen)) {
        printer->setPageLayout(before);
        QMessageBox::critical(owner, programCaption(),
                              QStringLiteral("Принтер не поддерживает данный формат страницы."));
        return true;
    }
    SavedPageLayout = chosen;
    const QMarginsF m = chosen.margins(mu.unit);
    left = toDialogUnits(m.left(), mu.perUnit);
    right = toDialogUnits(m.right(), mu.perUnit);
    top = toDialogUnits(m.top(), mu.perUnit);
    bottom = toDialogUnits(m.bottom(), mu.perUnit);
    return true;
}

} // namespace tessilor
