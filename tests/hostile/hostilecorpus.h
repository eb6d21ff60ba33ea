#pragma once
// Hostile picture files, made on the fly in a folder: broken, lying, bombing
// or simply not pictures. Each entry says which load errors are acceptable.
#include "picture/imageloader.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

namespace hostile {

struct HostileFile {
    QString name; // file name inside the folder (its extension is part of the lie)
    QString path; // full path
    QString what; // what is wrong with it, for failure messages
    QList<tessilor::LoadError> allowed;
    bool regularFile = true; // false for the folder, the pipe and the missing file
    // Valid for the few lies that a decoder may answer with a bounded picture
    // (a frame larger than the GIF screen is cut to the screen): the largest
    // picture acceptable instead of an error.
    QSize mayLoadUpTo;
    // When not empty, words the reason for a Corrupt refusal contains: what
    // the file states, refused as stated.
    QString detailNames;
};

// Writes the corpus into dir and lists it.
QList<HostileFile> makeCorpus(const QTemporaryDir &dir);

// A picture file this small that every decoder agrees is fine, for the
// "nothing lost" checks.
QByteArray goodBmp();

// A 2 x 2 24-bit BMP stored top row first (negative height): red, green /
// blue, white.
QByteArray topDownBmp();

// Building blocks of the corpus, for checks that whole files still load.
// A BMP with a 40-byte info header, its palette and its pixel data.
QByteArray bmpBytes(qint32 width, qint32 height, quint16 bits, quint32 compression, quint32 colours,
                    const QByteArray &palette, const QByteArray &data);
// n palette entries of evenly spaced greys, black to white.
QByteArray greyPalette(int n);
// A GIF of one w x h frame from its raw LZW data (minimum code size 2),
// palette black, white, red, blue.
QByteArray gifBytes(quint16 w, quint16 h, const QByteArray &lzw);
// An uncompressed 8-bit RGB TIFF of w x h pixels (rgb: rows of R, G, B) in
// one strip, its directory first, repeated for every page.
QByteArray rgbTiff(quint32 w, quint32 h, const QByteArray &rgb, int pages = 1);

// A progressive JPEG of a flat mid-grey picture (1 component) or flat
// colour (3), all at full resolution, valid to the letter: one DC scan (a
// bit per block), then acScans AC scans (at most 882 per component) in a
// legal progression, each spending all its blocks in a few end-of-band
// runs. Every AC scan costs a decoder a pass over all blocks of a component
// for a few dozen bytes of file: the scan bomb.
QByteArray progressiveFlatJpeg(quint16 w, quint16 h, int components, int acScans);

} // namespace hostile
