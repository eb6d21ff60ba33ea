#include "engine/ansiart.h"

#include "engine/options.h"

#include <QIODevice>
#include <algorithm>
#include <array>
#include <cstring>

namespace tessilor {

namespace {

// Decimal digits of 0..255, made once.
struct Digits {
    std::array<std::array<char, 4>, 256> text{};
    std::array<quint8, 256> length{};
    Digits()
    {
        for (int v = 0; v < 256; ++v) {
            const QByteArray d = QByteArray::number(v);
            std::memcpy(text[size_t(v)].data(), d.constData(), size_t(d.size()));
            length[size_t(v)] = quint8(d.size());
        }
    }
};

const Digits &digits()
{
    static const Digits d;
    return d;
}

void appendForeground(QByteArray &out, quint32 color)
{
    const Digits &d = digits();
    char buffer[24] = "\x1b[38;2;";
    char *p = buffer + 7;
    const int parts[3] = {redOf(color) & 255, greenOf(color) & 255, blueOf(color) & 255};
    for (int i = 0; i < 3; ++i) {
        std::memcpy(p, d.text[size_t(parts[i])].data(), 4);
        p += d.length[size_t(parts[i])];
        *p++ = i < 2 ? ';' : 'm';
    }
    out.append(buffer, p - buffer);
}

void endLine(QByteArray &out)
{
    out.append(kAnsiReset, sizeof(kAnsiReset) - 1);
    out.append('\n');
}

// Calls fn(line) for every line of text without its line end.
template<typename Fn>
void forEachLine(const QByteArray &text, Fn fn)
{
    const char *p = text.constData();
    const char *end = p + text.size();
    while (p < end) {
        const char *eol = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        const char *next = eol ? eol + 1 : end;
        const char *stop = eol ? eol : end;
        if (stop > p && stop[-1] == '\r')
            --stop;
        fn(p, stop);
        p = next;
    }
}

bool flushIfFull(QByteArray &buffer, QIODevice &out)
{
    if (buffer.size() < 256 * 1024)
        return true;
    const bool ok = out.write(buffer) == buffer.size();
    buffer.clear();
    return ok;
}

} // namespace

QByteArray ansiForeground(quint32 color)
{
    QByteArray out;
    appendForeground(out, color);
    return out;
}

bool writeAnsiText(const QByteArray &text, quint32 color, QIODevice &out)
{
    const QByteArray prefix = ansiForeground(color);
    QByteArray buffer;
    buffer.reserve(256 * 1024 + 4096);
    bool ok = true;
    forEachLine(text, [&](const char *from, const char *to) {
        if (!ok)
            return;
        buffer.append(prefix);
        buffer.append(from, to - from);
        endLine(buffer);
        ok = flushIfFull(buffer, out);
    });
    return ok && (buffer.isEmpty() || out.write(buffer) == buffer.size());
}

bool writeAnsiPictureText(const QByteArray &text, const QImage &grid, int charactersPerCell, QIODevice &out)
{
    if (grid.isNull() || charactersPerCell < 1)
        return writeAnsiText(text, 0, out);
    const QImage img = grid.format() == QImage::Format_RGB32 ? grid : grid.convertToFormat(QImage::Format_RGB32);
    const int lastRow = img.height() - 1;
    const int lastColumn = img.width() - 1;
    QByteArray buffer;
    buffer.reserve(256 * 1024 + 4096);
    bool ok = true;
    int row = 0;
    forEachLine(text, [&](const char *from, const char *to) {
        if (!ok)
            return;
        const QRgb *line = reinterpret_cast<const QRgb *>(img.constScanLine(std::min(row, lastRow)));
        ++row;
        qint64 current = -1;
        int column = 0;
        for (const char *p = from; p < to;) {
            // One character: a lead byte and its continuation bytes.
            const char *q = p + 1;
            while (q < to && (static_cast<unsigned char>(*q) & 0xC0) == 0x80)
                ++q;
            const quint32 color = figureCellColor(line[std::min(column / charactersPerCell, lastColumn)], false);
            if (qint64(color) != current) {
                appendForeground(buffer, color);
                current = color;
            }
            buffer.append(p, q - p);
            ++column;
            p = q;
        }
        endLine(buffer);
        ok = flushIfFull(buffer, out);
    });
    return ok && (buffer.isEmpty() || out.write(buffer) == buffer.size());
}

AnsiFigureSink::AnsiFigureSink(QIODevice &out) : m_out(out)
{
}

void AnsiFigureSink::cell(quint32 color)
{
    if (qint64(color) != m_color) {
        appendForeground(m_line, color);
        m_color = color;
    }
    m_line.append("\xe2\x96\x88"); // U+2588 FULL BLOCK
}

void AnsiFigureSink::endRow(int, int)
{
    endLine(m_line);
    m_color = -1;
    if (m_line.size() >= 256 * 1024) {
        m_failed = m_failed || m_out.write(m_line) != m_line.size();
        m_line.clear();
    }
}

bool AnsiFigureSink::finish()
{
    if (!m_line.isEmpty()) {
        m_failed = m_failed || m_out.write(m_line) != m_line.size();
        m_line.clear();
    }
    return !m_failed;
}

} // namespace tessilor
