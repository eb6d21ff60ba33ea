#pragma once
#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "art/textconvert.h"
#include "art/toneramp.h"
#include "fonts/fontstate.h"

// The tone ramps measured in earlier runs, kept in the user's cache folder
// ($XDG_CACHE_HOME/tessilor, by default ~/.cache/tessilor), so that a run
// neither loads the fonts nor draws every candidate in every drawing again.
//
// One file per font (ToneFont::key(): family and size), extra candidates
// and background holds one record:
//   - the request it answers: the program's version, the record's
//     version, Qt's version, the font, the candidates, the background, the
//     environment variables that change how fonts are found and how large a
//     point is (platform, DPI, fontconfig's files, the home and XDG folders,
//     the locale);
//   - the files the measurement depended on, with their state then: the
//     file of the code that measured (the program or its library) and the
//     glyph libraries it had loaded, so that a rebuilt or upgraded program
//     or library measures again; fontconfig's configuration and font
//     folders, the files of the faces measured (a changed font file, a font
//     added or removed, a changed configuration measures again). Their
//     states are read back from the record, so a program that only reads
//     records (tessilor-cli's quick start, which loads no glyph library)
//     checks the same files;
//   - the ramp (rampFields() in rampcache.cpp), then a BLAKE2b-256 checksum
//     of it all.
// A record is used only when its magic, version and lengths are right,
// the checksum holds, it answers this request, every file is as it was,
// every value lies in its range and the ramp is one the measurement can
// give (its characters are candidates, its levels run from 0 to 1);
// anything else (a damaged, cut or foreign file, another font's record, a
// link) is measured again and the file rewritten.
//
// Adding a measured field to ToneRamp (per-character shape vectors, say):
// add one line for it to rampFields() in rampcache.cpp, naming its kind
// (text, numbers, numbers per character, a row of numbers per character)
// and its range, and raise kRampRecordVersion. ToneRamp's operator== takes
// in every field, so the round trip test (tests/art/test_tone.cpp) fails
// while the field is not kept.
namespace tessilor {

inline constexpr quint32 kRampRecordVersion = 3;

// What a record answers and what it was measured from.
struct RampCacheKey {
    QString request;
    std::vector<FileState> files;
};

// The request of the font's ramp in this process. Loads no font and needs no
// application object.
QString rampRequest(const ToneFont &font, const QString &extraCandidates, ArtBackground background);

// The files a measured ramp depends on, as they are now. Needs fontconfig,
// as measuring loaded it.
std::vector<FileState> rampFiles(const ToneRamp &ramp);

// The record of the ramp, as a file holds it.
QByteArray rampRecord(const RampCacheKey &key, const ToneRamp &ramp);

// The ramp of a record that answers request and whose files are as they
// were; nothing for any other record.
std::optional<ToneRamp> readRampRecord(const QByteArray &record, const QString &request,
                                       const QString &extraCandidates);

// The file that keeps the font's ramp in folder.
QString rampCacheFile(const QString &folder, const ToneFont &font, const QString &extraCandidates,
                      ArtBackground background);

// The ramp kept in folder for the font, when its record is valid; reads
// nothing else and needs no application object.
std::optional<ToneRamp> cachedToneRamp(const ToneFont &font, const QString &extraCandidates, ArtBackground background,
                                       const QString &folder);

enum class RampOrigin { Measured, Cache };

// The ramp kept in folder for the font, or else measured (measureToneRamp)
// and kept there: written whole beside the file and renamed over it, in a
// folder reached from the home without following a link (a link in the
// file's place is replaced, not followed). A folder that cannot take it
// leaves the ramp measured all the same. An empty folder: measured.
ToneRamp cachedOrMeasuredToneRamp(const ToneFont &font, const QString &extraCandidates, ArtBackground background,
                                  const QString &folder, RampOrigin *origin = nullptr);

// The program's cache folder for ramps: tessilor in the user's cache
// folder. Empty without a real home (nothing is kept then), and unless the
// platform is the offscreen one: on a display the size of a point and the
// glyphs' hinting come from the display server (its DPI, its font
// settings), which no file here tells.
QString userRampCacheFolder();

// The folder toneRamp() keeps its ramps in across runs; empty (the
// default): it measures in every run.
void setToneRampCacheFolder(const QString &folder);
QString toneRampCacheFolder();

} // namespace tessilor
