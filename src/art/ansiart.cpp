#include "art/ansiart.h"

#include "base/options.h"

#include <QIODevice>
#include <algorithm>
#include <array>
#include <cstring>

namespace tessilor {

namespace {

constexpr qsizetype kFlushBytes = 256 * 1024;

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

} // namespace

QByteArray ansiForeground(quint32 color)
{
    QByteArray out;
    appendForeground(out, color);
    return out;
}

AnsiTextWriter::AnsiTextWriter(QIODevice &out, quint32 color) : m_out(out), m_prefix(ansiForeground(color))
{
    m_buffer.reserve(kFlushBytes + 4096);
    open(QIODevice::WriteOnly);
}

AnsiTextWriter::AnsiTextWriter(QIODevice &out) : m_out(out), m_prefix(kAnsiDefaultForeground)
{
    m_buffer.reserve(kFlushBytes + 4096);
    open(QIODevice::WriteOnly);
}

AnsiTextWriter::AnsiTextWriter(QIODevice &out, const CharacterColors &colors) : m_out(out), m_colors(&colors)
{
    if (colors.empty())
        m_prefix = kAnsiDefaultForeground;
    m_buffer.reserve(kFlushBytes + 4096);
    open(QIODevice::WriteOnly);
}

qint64 AnsiTextWriter::readData(char *, qint64)
{
    return -1;
}

qint64 AnsiTextWriter::writeData(const char *data, qint64 size)
{
    if (m_failed)
        return -1;
    const char *p = data;
    const char *end = data + size;
    while (p < end) {
        const char *eol = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        if (!eol) {
            m_partial.append(p, end - p);
            break;
        }
        if (m_partial.isEmpty()) {
            line(p, eol);
        } else {
            m_partial.append(p, eol - p);
            line(m_partial.constData(), m_partial.constData() + m_partial.size());
            m_partial.clear();
        }
        p = eol + 1;
    }
    if (m_buffer.size() >= kFlushBytes && !flush())
        return -1;
    return size;
}

void AnsiTextWriter::line(const char *from, const char *to)
{
    if (to > from && to[-1] == '\r')
        --to;
    if (!m_prefix.isEmpty()) {
        m_buffer.append(m_prefix);
        m_buffer.append(from, to - from);
    } else {
        const CharacterColors &colors = *m_colors;
        qint64 current = -1;
        for (const char *p = from; p < to;) {
            // One character: a lead byte and its continuation bytes.
            const char *q = p + 1;
            while (q < to && (static_cast<unsigned char>(*q) & 0xC0) == 0x80)
                ++q;
            const quint32 color = colors[std::min(m_next, colors.size() - 1)];
            if (qint64(color) != current) {
                appendForeground(m_buffer, color);
                current = color;
            }
            m_buffer.append(p, q - p);
            ++m_next;
            p = q;
        }
    }
    endLine(m_buffer);
}

bool AnsiTextWriter::flush()
{
    if (!m_buffer.isEmpty()) {
        m_failed = m_failed || m_out.write(m_buffer) != m_buffer.size();
        m_buffer.clear();
    }
    return !m_failed;
}

bool AnsiTextWriter::finish()
{
    if (!m_partial.isEmpty()) {
        line(m_partial.constData(), m_partial.constData() + m_partial.size());
        m_partial.clear();
    }
    return flush();
}

bool writeAnsiText(const QByteArray &text, quint32 color, QIODevice &out)
{
    AnsiTextWriter writer(out, color);
    return writer.write(text) == text.size() && writer.finish();
}

bool writeAnsiText(const QByteArray &text, QIODevice &out)
{
    AnsiTextWriter writer(out);
    return writer.write(text) == text.size() && writer.finish();
}

bool writeAnsiPictureText(const QByteArray &text, const CharacterColors &colors, QIODevice &out)
{
    AnsiTextWriter writer(out, colors);
    return writer.write(text) == text.size() && writer.finish();
}

AnsiFigureSink::AnsiFigureSink(QIODevice &out) : m_out(out) {}

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
    if (m_line.size() >= kFlushBytes) {
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
