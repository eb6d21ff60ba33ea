#include "base/numparse.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace tessilor {

double leadingNumber(const QString &text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n' || text[i] == u'\r'))
        ++i;
    QByteArray digits;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        digits.append(char(text[i].unicode()));
        ++i;
    }
    bool any = false;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') {
        digits.append(char(text[i].unicode()));
        ++i;
        any = true;
    }
    if (i < n && text[i] == u'.') {
        digits.append('.');
        ++i;
        while (i < n && text[i] >= u'0' && text[i] <= u'9') {
            digits.append(char(text[i].unicode()));
            ++i;
            any = true;
        }
    }
    if (!any)
        return 0.0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        QByteArray exp("e");
        if (j < n && (text[j] == u'+' || text[j] == u'-')) {
            exp.append(char(text[j].unicode()));
            ++j;
        }
        bool expDigits = false;
        while (j < n && text[j] >= u'0' && text[j] <= u'9' && exp.size() < 8) {
            exp.append(char(text[j].unicode()));
            ++j;
            expDigits = true;
        }
        if (expDigits)
            digits.append(exp);
    }
    bool ok = false;
    const double v = digits.toDouble(&ok);
    if (ok)
        return v;
    // toDouble refuses values out of range; keep their sign.
    return digits.startsWith('-') ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
}

qint64 floorToInt64(double value)
{
    if (std::isnan(value))
        return 0;
    const double f = std::floor(value);
    if (f >= 9.0e18)
        return Q_INT64_C(9000000000000000000);
    if (f <= -9.0e18)
        return -Q_INT64_C(9000000000000000000);
    return static_cast<qint64>(f);
}

static double roundHalfEven(double v)
{
    return std::nearbyint(v); // default rounding mode: to nearest, ties to even
}

qint16 roundHalfEvenTo16(double value, bool *overflow)
{
    const double r = roundHalfEven(value);
    bool over = std::isnan(r) || r < -32768.0 || r > 32767.0;
    if (overflow)
        *overflow = over;
    if (std::isnan(r))
        return 0;
    if (r < -32768.0)
        return -32768;
    if (r > 32767.0)
        return 32767;
    return static_cast<qint16>(r);
}

qint32 roundHalfEvenTo32(double value, bool *overflow)
{
    const double r = roundHalfEven(value);
    bool over = std::isnan(r) || r < -2147483648.0 || r > 2147483647.0;
    if (overflow)
        *overflow = over;
    if (std::isnan(r))
        return 0;
    if (r < -2147483648.0)
        return std::numeric_limits<qint32>::min();
    if (r > 2147483647.0)
        return std::numeric_limits<qint32>::max();
    return static_cast<qint32>(r);
}

QString decimalText(qint64 value)
{
    return QString::number(value);
}

QString shortestText(float value)
{
    if (value == std::floor(value) && std::fabs(value) < 1e15f)
        return QString::number(static_cast<qint64>(value));
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    return QString::fromLatin1(buf, res.ptr - buf);
}

double strictNumber(const QString &text, bool *ok)
{
    const QString t = text.trimmed();
    bool good = false;
    const double v = t.toDouble(&good);
    if (ok)
        *ok = good && std::isfinite(v);
    return (good && std::isfinite(v)) ? v : 0.0;
}

} // namespace tessilor
