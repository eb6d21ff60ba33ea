#include "base/dialogstrings.h"

#include <QLocale>
#include <QRegularExpression>

#include <iterator>

namespace tessilor {

namespace {
const QChar kNul(u'\0');
}

QString AddBackslash(const QString &path)
{
    if (path.isEmpty() || path.endsWith(u'/'))
        return path;
    return path + u'/';
}

QString TrimAtDoubleNull(const QString &s)
{
    const qsizetype i = s.indexOf(QString(2, kNul));
    return i < 0 ? s : s.left(i);
}

QString NullBuffer(int n)
{
    return n > 0 ? QString(n, kNul) : QString();
}

QString NextNullToken(QString &s)
{
    const qsizetype i = s.indexOf(kNul);
    if (i < 0) {
        const QString token = s;
        s.clear();
        return token;
    }
    const QString token = s.left(i);
    s = s.mid(i + 1);
    return token;
}

QString BuildFilterString(const FilterTable &filters)
{
    if (filters.rows != 2)
        return QString();
    if (filters.entries.isEmpty())
        return QStringLiteral("Все файлы") + kNul + QStringLiteral("*.*") + kNul + kNul;
    QString f;
    for (const FilterEntry &e : filters.entries) {
        if (e.patterns.size() < 2)
            continue;
        f += e.description.size() >= 2 ? e.description : QStringLiteral("Разные файлы");
        f += kNul;
        f += e.patterns;
        f += kNul;
    }
    f += kNul;
    f += kNul;
    return f;
}

QList<FilterEntry> ParseFilterString(const QString &filter)
{
    QList<FilterEntry> out;
    QString rest = TrimAtDoubleNull(filter);
    while (!rest.isEmpty()) {
        FilterEntry e;
        e.description = NextNullToken(rest);
        e.patterns = NextNullToken(rest);
        if (!e.description.isEmpty() || !e.patterns.isEmpty())
            out.append(e);
    }
    return out;
}

QStringList QtNameFilters(const QString &filter)
{
    QStringList out;
    static const QRegularExpression split(QStringLiteral("[;,\\s]+"));
    static const QRegularExpression trailingGroup(QStringLiteral("^(.*?)\\s*\\(([^()]*)\\)\\s*$"));
    for (const FilterEntry &e : ParseFilterString(filter)) {
        const QStringList patterns = e.patterns.split(split, Qt::SkipEmptyParts);
        if (patterns.isEmpty())
            continue;
        QString description = e.description.trimmed();
        // A description that already ends in its own pattern list, such as
        // "Текстовые файлы (*.txt)", keeps its text without a second list.
        const QRegularExpressionMatch m = trailingGroup.match(description);
        if (m.hasMatch() && m.captured(2).split(split, Qt::SkipEmptyParts) == patterns)
            description = m.captured(1);
        out.append(description + QStringLiteral(" (") + patterns.join(u' ') + u')');
    }
    return out;
}

QString FilterExtension(const QString &qtFilter)
{
    static const QRegularExpression single(QStringLiteral("\\(\\*\\.([^*?.\\s;()]+)\\)$"));
    const QRegularExpressionMatch m = single.match(qtFilter);
    return m.hasMatch() ? m.captured(1) : QString();
}

QString NameForType(const QString &name, const QString &toExt, const QStringList &typeExtensions)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (toExt.isEmpty() || dot <= 0 || !typeExtensions.contains(name.mid(dot + 1), Qt::CaseInsensitive))
        return name;
    return name.left(dot + 1) + toExt;
}

QString dialogFileSize(qint64 bytes)
{
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    static const char16_t *const units[] = {u"КиБ", u"МиБ", u"ГиБ", u"ТиБ", u"ПиБ", u"ЭиБ"};
    if (bytes < 1024)
        return russian.toString(bytes) + QStringLiteral(" байт");
    double value = double(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit + 1 < int(std::size(units))) {
        value /= 1024.0;
        ++unit;
    }
    return russian.toString(value, 'f', 2) + u' ' + QString::fromUtf16(units[unit]);
}

QString dialogFileTime(const QDateTime &time)
{
    return QLocale(QLocale::Russian, QLocale::Russia).toString(time, QStringLiteral("d MMM yyyy HH:mm"));
}

} // namespace tessilor
