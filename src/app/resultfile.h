#pragma once
#include <QPageLayout>
#include <QString>

#include "base/dialogstrings.h"
#include "document/resultexport.h"
#include "layout/printlayout.h"

class QTextDocument;

namespace tessilor {

class RichTextControl;

// The types the result window saves in, as the save dialog lists them:
// "Документы RichText  (*.rtf)", "Текстовые файлы (*.txt)" (an empty entry
// for a figure result), "Рисунки PNG (*.png)", "Документы PDF (*.pdf)",
// "Веб-страницы HTML (*.html)".
FilterTable resultFileFilters(bool figures);

// The save dialog's list of types in words, for the message about an
// extension of another type.
QString resultFileTypesText(bool figures);

// The type the save dialog offers first, by its extension: the type last
// saved (stored), when the dialog lists it for this result, else RTF.
QString resultTypeExtension(const QString &stored, bool figures);
// The name the save dialog proposes: the picture's name with the type's
// extension ("кот.jpg" and "png" give "кот.png"); "символизация" without a
// picture.
QString proposedResultName(const QString &picturePath, const QString &extension);
// Why the RTF of a result too wide for its paper is not written: the widest
// grid that fits, in the window's words.
QString rtfTooWideText(const RtfTooWide &tooWide, bool figures);

struct SaveOutcome {
    bool knownType = false; // the extension names a type the result is saved in
    bool saved = false;
    QString reason; // why not, when it is known; empty for a write failure
};

// Saves the result of the rich text into path, in the type the path's
// extension names: text from the rich text; RTF from the rich text on the
// page of the current page setup (writeResultRtf: a page on which a word
// processor keeps the art's lines); a PNG of the art as the window draws
// it; a PDF of the paper of page (the current printer's) laid out as the
// print window prints source, inside the margins of the page setup; a
// standalone HTML page (for a figure result with the figure fonts inside).
// The file is written whole before it replaces another.
SaveOutcome saveResultFile(const QString &path, RichTextControl &edit, const PrintSource &source,
                           const QPageLayout &page);

// The RTF a word processor is given: as saveResultFile writes it, into a
// file that only the user can read.
SaveOutcome saveWordProcessorFile(const QString &path, RichTextControl &edit, const PrintSource &source);

} // namespace tessilor
