#pragma once
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// String routines of the file dialog helpers: NUL-separated lists, the filter
// string built from a filter table, the file types' extensions and the
// dialog's sizes and times. They work without any dialog.
namespace tessilor {

// One row of a filter table: description and pattern list ("*.jpg;*.gif").
struct FilterEntry {
    QString description;
    QString patterns;
};

// Filter table: Filters(0 To rows - 1, 0 To n). A table has two rows
// (descriptions and patterns); any other row count means "no filter". An
// empty entry list is the table 0 To -1 (the "Все файлы" default). Entries
// whose pattern is shorter than 2 characters are left out.
struct FilterTable {
    int rows = 2;
    QList<FilterEntry> entries;
};

// Appends the path separator '/' unless the path is empty or already ends in
// one.
QString AddBackslash(const QString &path);
// The text before the first pair of NUL characters (all of it when none).
QString TrimAtDoubleNull(const QString &s);
// n NUL characters (none for n <= 0).
QString NullBuffer(int n);
// First NUL-separated token of s; s loses the token and its separator.
QString NextNullToken(QString &s);

// The NUL-separated filter string: description NUL patterns NUL ... NUL NUL.
QString BuildFilterString(const FilterTable &filters);

// Pairs (description, patterns) of a filter string, in order.
QList<FilterEntry> ParseFilterString(const QString &filter);

// Filter texts for a Qt file dialog ("description (*.a *.b)") from a filter
// string; empty when there is no filter.
QStringList QtNameFilters(const QString &filter);

// The extension of a Qt filter text of one pattern ("Рисунки PNG (*.png)"
// gives "png"); empty for several patterns or a wildcard.
QString FilterExtension(const QString &qtFilter);

// A file name after the file type was changed to the type of extension
// toExt: a name that ends in the extension of one of typeExtensions gets
// toExt instead ("кот.rtf" to "кот.png"); any other name stays as typed.
QString NameForType(const QString &name, const QString &toExt, const QStringList &typeExtensions);

// A file's size in the file dialogs, as a Russian locale writes it whatever
// the system's locale: "723 байт", "706,05 КиБ", "1,20 МиБ" (powers of
// 1024, two decimals).
QString dialogFileSize(qint64 bytes);
// A file's time of change in the file dialogs, likewise: "9 дек. 2026 11:56".
QString dialogFileTime(const QDateTime &time);

} // namespace tessilor
