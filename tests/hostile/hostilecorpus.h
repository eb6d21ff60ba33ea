#pragma once
// Hostile picture files, made on the fly in a folder: broken, lying, bombing
// or simply not pictures. Each entry says which load errors are acceptable.
#include "engine/imageloader.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

namespace hostile {

struct HostileFile {
    QString name;  // file name inside the folder (its extension is part of the lie)
    QString path;  // full path
    QString what;  // what is wrong with it, for failure messages
    QList<tessilor::LoadError> allowed;
    bool regularFile = true; // false for the folder, the pipe and the missing file
    // Valid for the few lies that a decoder may answer with a bounded picture
    // (a frame larger than the GIF screen is cut to the screen): the largest
    // picture acceptable instead of an error.
    QSize mayLoadUpTo;
};

// Writes the corpus into dir and lists it.
QList<HostileFile> makeCorpus(const QTemporaryDir &dir);

// A picture file this small that every decoder agrees is fine, for the
// "nothing lost" checks.
QByteArray goodBmp();

// A 2 x 2 24-bit BMP stored top row first (negative height): red, green /
// blue, white.
QByteArray topDownBmp();

} // namespace hostile
