#pragma once
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <memory>

#include "base/options.h"

class QSettings;

namespace tessilor {

inline const QString kSettingsApp = QStringLiteral("Quar_Programming");
inline const QString kSettingsSection = QStringLiteral("ImageTessilor");

// Every key the program reads or writes.
namespace keys {
inline const QString Top = QStringLiteral("Top");
inline const QString Left = QStringLiteral("Left");
inline const QString Height = QStringLiteral("Height");
inline const QString Width = QStringLiteral("Width");
inline const QString WindowState = QStringLiteral("Windowstate");
inline const QString Type = QStringLiteral("Type");
inline const QString LastFile = QStringLiteral("LastFile");
inline const QString Font = QStringLiteral("Font");
inline const QString TextSize = QStringLiteral("TextSize");
inline const QString FigureSize = QStringLiteral("FigureSize");
inline const QString Prop1 = QStringLiteral("Prop1");
inline const QString Prop2 = QStringLiteral("Prop2");
inline const QString FigureFont = QStringLiteral("FigureFont");
inline const QString FigureCode = QStringLiteral("FigureCode");
inline const QString LastResult = QStringLiteral("LastResult");
inline const QString LastResultTip = QStringLiteral("LastResultTip");
inline const QString LastDir = QStringLiteral("LastDir");
inline const QString LastOutDir = QStringLiteral("LastOutDir");
inline const QString TextMethod = QStringLiteral("TextMethod");
inline const QString FigureFill = QStringLiteral("FigureFill");
inline const QString AutoPreview = QStringLiteral("AutoPreview");
inline const QString Contrast = QStringLiteral("Contrast");
inline const QString TextColor = QStringLiteral("TextColor");
inline const QString PictureColors = QStringLiteral("PictureColors");
inline const QString ColorMode = QStringLiteral("ColorMode");
inline const QString LastOutType = QStringLiteral("LastOutType");
inline const QString ToneStructure = QStringLiteral("ToneStructure");
} // namespace keys

// $XDG_CONFIG_HOME/Quar_Programming.ini (~/.config/Quar_Programming.ini).
QString userSettingsPath();

// The per-user settings store: userSettingsPath(), section [ImageTessilor]
// (no system-wide file is read). Values are strings; numbers are their
// decimal text. A file there that is not a regular file (a pipe, a device,
// a folder), or such a thing at its lock file, is never opened: the store
// reads the defaults and keeps what is written to it only until the program
// ends, sync() is false, and the program says so once.
class SettingsStore
{
public:
    SettingsStore();                                // the user's store
    explicit SettingsStore(const QString &iniPath); // a given file (tests, tools)
    ~SettingsStore();

    QString read(const QString &key, const QString &defaultValue) const;
    bool contains(const QString &key) const;
    void write(const QString &key, const QString &value);
    // Writes pending changes; false when the file could not be written.
    bool sync();
    QString fileName() const;

private:
    QString m_path;
    std::unique_ptr<QSettings> m_settings; // null when the file cannot be used
};

// The options that survive a restart, with their defaults.
struct StoredOptions {
    int type = 1;     // mode list entry
    int font = 1;     // font list entry
    int textSize = 3; // size list entries
    int figureSize = 3;
    int prop1 = 1; // proportional boxes
    int prop2 = 1;
    QString figureFont; // default: the first figure font's family
    int figureCode = 86;
    int textMethod = 0;                        // TextMethod value; anything else stored reads as 0
    int toneStructure = kDefaultToneStructure; // the tone method's shape strength, 0..100
    bool figureFill = false;                   // figure cells get their background
    bool autoPreview = false;                  // "Автопросмотр"
    int contrast = 0;                          // the contrast slider, -127 .. 127
    quint32 textColor = 0;                     // the text colour (red + 256 green + 65536 blue): palette entry 1
    bool pictureColors = false;                // the colour choice "По изображению"
    int colorMode = 1;                         // the figures' colour list entry: 1 colour, 2 grey
    QString lastFile;
    QString lastResult = QStringLiteral("save");
    QString lastResultTip = QStringLiteral("Сохранить");

    // Missing keys give their defaults; a value that is not a number, or an
    // index outside its list, falls back to the default entry.
    void read(const SettingsStore &store, const QString &figureFontDefault);
    void write(SettingsStore &store) const;
};

// Output keys of the result button and the texts that go with them.
bool isOutputKey(const QString &key);

// Main window geometry in twips.
struct WindowGeometry {
    double top = 0, left = 0, height = 0, width = 0;
    int state = 0; // 0 normal, 1 minimised, 2 maximised
};

// Restores the main window geometry from the store: design size as the
// default, centring when Top or Left is below 1, then the screen and minimum
// size limits, in that order. screen and design are in twips.
WindowGeometry restoreGeometry(const SettingsStore &store, QSizeF screen, QSizeF design);

// Writes geometry at exit: the four sizes only in normal state; a minimised
// window is stored as normal.
void storeGeometry(SettingsStore &store, const WindowGeometry &geometry);

} // namespace tessilor
