#include "base/filenames.h"

namespace tessilor {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// Length of the valid UTF-8 sequence at bytes[i], 0 when there is none
// (a stray continuation byte, an overlong form, a surrogate, a code point
// past U+10FFFF, or a sequence cut short).
int validSequence(const QByteArray &bytes, qsizetype i, char32_t *codePoint)
{
    const auto at = [&](qsizetype k) { return uchar(bytes[k]); };
    const uchar lead = at(i);
    int length = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (lead < 0x80)
        return *codePoint = lead, 1;
    if ((lead & 0xE0) == 0xC0)
        length = 2, c = lead & 0x1F, least = 0x80;
    else if ((lead & 0xF0) == 0xE0)
        length = 3, c = lead & 0x0F, least = 0x800;
    else if ((lead & 0xF8) == 0xF0)
        length = 4, c = lead & 0x07, least = 0x10000;
    else
        return 0;
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (at(i + k) & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    *codePoint = c;
    return length;
}

} // namespace

QString decodeFileName(const QByteArray &bytes)
{
    QString name;
    name.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t c = 0;
        const int length = validSequence(bytes, i, &c);
        if (length == 0) {
            name.append(QChar(char16_t(kEscapeBase + uchar(bytes[i]))));
            ++i;
            continue;
        }
        name.append(QString::fromUcs4(&c, 1));
        i += length;
    }
    return name;
}

QByteArray encodeFileName(const QString &name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype from = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        // A lone low surrogate: the byte it keeps.
        const bool paired = i > 0 && name[i - 1].isHighSurrogate();
        if (u >= 0xDC80 && u <= 0xDCFF && !paired) {
            bytes.append(name.mid(from, i - from).toUtf8());
            bytes.append(char(u - kEscapeBase));
            from = i + 1;
        }
    }
    bytes.append(name.mid(from).toUtf8());
    return bytes;
}

} // namespace tessilor
