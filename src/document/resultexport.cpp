#include "document/resultexport.h"

#include "engine/paths.h"

namespace tessilor {

bool exportFormatForSuffix(const QString &suffix, ExportFormat *format)
{
    static const struct {
        const char *suffix;
        ExportFormat format;
    } table[] = {{"txt", ExportFormat::Text}, {"rtf", ExportFormat::Rtf},   {"png", ExportFormat::Png},
                 {"pdf", ExportFormat::Pdf},  {"html", ExportFormat::Html}, {"htm", ExportFormat::Html}};
    for (const auto &entry : table) {
        if (suffix.compare(QLatin1String(entry.suffix), Qt::CaseInsensitive) == 0) {
            *format = entry.format;
            return true;
        }
    }
    return false;
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
