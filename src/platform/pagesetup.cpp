#include "platform/pagesetup.h"

#include "engine/options.h"

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
