#include "document/resultexport.h"

#include "engine/paths.h"

namespace tessilor {

namespace {

// Each type's usual extension first.
const struct {
    const char *suffix;
    ExportFormat format;
} kSuffixes[] = {{"txt", ExportFormat::Text}, {"rtf", ExportFormat::Rtf},   {"png", ExportFormat::Png},
                 {"pdf", ExportFormat::Pdf},  {"html", ExportFormat::Html}, {"htm", ExportFormat::Html}};

} // namespace

bool exportFormatForSuffix(const QString &suffix, ExportFormat *format)
{
    for (const auto &entry : kSuffixes) {
        if (suffix.compare(QLatin1String(entry.suffix), Qt::CaseInsensitive) == 0) {
            *format = entry.format;
            return true;
        }
    }
    return false;
}

QString exportFormatName(ExportFormat format)
{
    for (const auto &entry : kSuffixes) {
        if (entry.format == format)
            return QLatin1String(entry.suffix);
    }
    return QString();
}

HtmlPageOptions resultPageOptions(const QString &title, bool figures)
{
    HtmlPageOptions page;
    page.title = title;
    if (figures)
        page.fonts = figureFontsForPage(figureFontFolder());
    return page;
}

} // namespace tessilor
