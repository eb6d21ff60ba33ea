#pragma once
// Minimal GIF89a writer for tests (Qt reads GIF but cannot write it). The
// picture data is "uncompressed" LZW: every code is a literal and a clear
// code follows often enough that the code width stays at 9 bits.
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRgb>

namespace testsupport {

inline QByteArray gifBytes(const QImage &image, int transparentIndex = -1, int frames = 1)
{
    // Palette of the picture's colours (at most 256, the rest map to 0).
    QList<QRgb> palette;
    const QImage img = image.convertToFormat(QImage::Format_ARGB32);
    QList<int> indices;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            int idx;
            if (transparentIndex >= 0 && qAlpha(c) == 0) {
                idx = transparentIndex;
            } else {
                idx = int(palette.indexOf(c | 0xFF000000u));
                if (idx < 0 && palette.size() < 256) {
                    palette.append(c | 0xFF000000u);
                    idx = int(palette.size() - 1);
                }
                if (idx < 0)
                    idx = 0;
            }
            indices.append(idx);
        }
    while (palette.size() < 256)
        palette.append(qRgb(0, 0, 0));

    QByteArray out("GIF89a");
    auto put16 = [&](int v) {
        out.append(char(v & 0xFF));
        out.append(char((v >> 8) & 0xFF));
    };
    put16(img.width());
    put16(img.height());
    out.append(char(0xF7)); // global table, 8 bits, 256 entries
    out.append('\0');
    out.append('\0');
    for (QRgb c : palette) {
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }
    for (int f = 0; f < frames; ++f) {
        if (transparentIndex >= 0 || frames > 1) {
            out.append("\x21\xF9\x04", 3);
            out.append(char(transparentIndex >= 0 ? 1 : 0));
            put16(10);
            out.append(char(transparentIndex >= 0 ? transparentIndex : 0));
            out.append('\0');
        }
        out.append(',');
        put16(0);
        put16(0);
        put16(img.width());
        put16(img.height());
        out.append('\0');
        out.append(char(8)); // LZW minimum code size

        QByteArray data;
        quint32 bits = 0;
        int nbits = 0;
        auto emit = [&](int code) {
            bits |= quint32(code) << nbits;
            nbits += 9;
            while (nbits >= 8) {
                data.append(char(bits & 0xFF));
                bits >>= 8;
                nbits -= 8;
            }
        };
        int sinceClear = 0;
        emit(256);
        for (int idx : indices) {
            // With a different frame the colours are rotated, so frames differ.
            emit((idx + f) % 256);
            if (++sinceClear == 254) {
                emit(256);
                sinceClear = 0;
            }
        }
        emit(257);
        if (nbits > 0)
            data.append(char(bits & 0xFF));
        for (qsizetype i = 0; i < data.size(); i += 255) {
            const QByteArray block = data.mid(i, 255);
            out.append(char(block.size()));
            out.append(block);
        }
        out.append('\0');
    }
    out.append(';');
    return out;
}

} // namespace testsupport
