#include "art/textcolors.h"

#include "art/figureconvert.h"

#include <QIODevice>
#include <algorithm>

namespace tessilor {

int charactersPerColorCell(TextMethod method)
{
    return method == TextMethod::Tone ? 1 : 2;
}

std::vector<quint32> pictureTextColors(const QString &text, const QImage &grid, int charactersPerCell)
{
    std::vector<quint32> colors;
    if (grid.isNull() || charactersPerCell < 1)
        return colors;
    const QImage img = grid.format() == QImage::Format_RGB32 ? grid : grid.convertToFormat(QImage::Format_RGB32);
    colors.reserve(size_t(text.size()));
    int row = 0;
    int column = 0;
    const QRgb *line = pictureGridRow(img, 0);
    const QChar *p = text.constData();
    const QChar *end = p + text.size();
    for (; p < end; ++p) {
        if (*p == u'\r' || *p == u'\n') {
            if (*p == u'\r' && p + 1 < end && p[1] == u'\n')
                ++p;
            ++row;
            column = 0;
            line = pictureGridRow(img, row);
            continue;
        }
        colors.push_back(pictureCharColor(line, img.width(), column, charactersPerCell));
        ++column;
    }
    return colors;
}

bool writeTextColorFile(const std::vector<quint32> &colors, QIODevice &out)
{
    QByteArray buffer;
    buffer.reserve(64 * 1024 + 16);
    for (quint32 c : colors) {
        appendColorFileLine(buffer, c);
        if (buffer.size() >= 64 * 1024) {
            if (out.write(buffer) != buffer.size())
                return false;
            buffer.clear();
        }
    }
    return buffer.isEmpty() || out.write(buffer) == buffer.size();
}

} // namespace tessilor
