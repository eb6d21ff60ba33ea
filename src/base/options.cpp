#include "base/options.h"

#include <QStringDecoder>

namespace tessilor {

QString programCaption()
{
    return QStringLiteral("Quar Image Tessilor");
}

const std::array<int, 18> &sizeList()
{
    static const std::array<int, 18> sizes = {4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 32, 36, 40, 44, 48};
    return sizes;
}

QStringList modeNames()
{
    return {QStringLiteral("Текстовые символы"), QStringLiteral("Фигуры")};
}

QStringList textMethodNames()
{
    return {QStringLiteral("Классический"), QStringLiteral("Тональный")};
}

QStringList colorModeNames()
{
    return {QStringLiteral("Цветной"), QStringLiteral("Оттенки серого")};
}

QString figureImageKey(const QString &family, int code)
{
    return QStringLiteral("f") + family + QStringLiteral("*") + QString::number(code);
}

QString figureButtonKey(int code)
{
    return QStringLiteral("k") + QString::number(code);
}

int figureCodeFromKey(const QString &key)
{
    bool ok = false;
    const int code = key.mid(1).trimmed().toInt(&ok);
    return ok ? code : 0;
}

QString figureFamily(int which)
{
    return QStringLiteral("Quar Tessilor Figures ") + QString::number(which);
}

QChar codePageChar(int code)
{
    if (code < 0 || code > 255)
        return QChar();
    if (code < 128)
        return QChar(char16_t(code));
    static const QString table = [] {
        QByteArray bytes;
        for (int c = 128; c < 256; ++c)
            bytes.append(char(c));
        QStringDecoder dec("windows-1251");
        QString s = dec.isValid() ? dec.decode(bytes) : QString();
        if (s.size() != 128)
            s = QString::fromLatin1(bytes);
        return s;
    }();
    return table[code - 128];
}

const std::array<quint32, 40> &paletteColors()
{
    static const std::array<quint32, 40> colors = {
        rgbValue(0, 0, 0),       rgbValue(152, 50, 0),    rgbValue(50, 50, 0),     rgbValue(0, 50, 0),
        rgbValue(0, 50, 101),    rgbValue(0, 0, 127),     rgbValue(50, 50, 152),   rgbValue(50, 50, 50),
        rgbValue(127, 0, 0),     rgbValue(254, 101, 0),   rgbValue(127, 127, 0),   rgbValue(0, 127, 0),
        rgbValue(0, 127, 127),   rgbValue(0, 0, 254),     rgbValue(101, 101, 152), rgbValue(127, 127, 127),
        rgbValue(254, 0, 0),     rgbValue(254, 152, 0),   rgbValue(152, 203, 0),   rgbValue(50, 152, 101),
        rgbValue(50, 203, 203),  rgbValue(50, 101, 254),  rgbValue(127, 0, 127),   rgbValue(149, 149, 149),
        rgbValue(254, 0, 254),   rgbValue(254, 203, 0),   rgbValue(254, 254, 0),   rgbValue(0, 254, 0),
        rgbValue(0, 254, 254),   rgbValue(0, 203, 254),   rgbValue(152, 50, 101),  rgbValue(191, 191, 191),
        rgbValue(254, 152, 203), rgbValue(255, 204, 153), rgbValue(254, 254, 152), rgbValue(203, 254, 203),
        rgbValue(203, 254, 254), rgbValue(152, 203, 254), rgbValue(203, 152, 254), rgbValue(254, 254, 254),
    };
    return colors;
}

} // namespace tessilor
