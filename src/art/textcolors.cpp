#include "art/textcolors.h"

#include "art/figureconvert.h"

#include <QByteArray>
#include <QIODevice>

namespace tessilor {

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
