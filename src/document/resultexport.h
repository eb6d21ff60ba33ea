#pragma once
#include <QString>

#include "document/htmlpage.h"

// The file types a result is saved as, shared by the result window's save
// and tessilor-cli.
namespace tessilor {

enum class ExportFormat {
    Text, // plain text
    Rtf,  // rich text
    Png,  // the picture of the art as the window draws it (artimage.h)
    Pdf,  // a page as the print window prints it (pdfexport.h)
    Html, // a standalone page with the figure fonts inside (htmlpage.h)
};

// The type a file name's extension (any case, without the dot) names: txt,
// rtf, png, pdf, html or htm. False for another extension.
bool exportFormatForSuffix(const QString &suffix, ExportFormat *format);
// The usual extension of a type, which is also its name for tessilor-cli -F:
// txt, rtf, png, pdf or html.
QString exportFormatName(ExportFormat format);

// The page of an HTML export: the title, and for a figure result the figure
// fonts of the program inside, so that a browser shows the figures without
// installing anything. Needs a QGuiApplication.
HtmlPageOptions resultPageOptions(const QString &title, bool figures);

} // namespace tessilor
