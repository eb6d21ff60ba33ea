#include "base/settings.h"

#include "base/numparse.h"
#include "base/options.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSettings>
#include <QStandardPaths>

#include <atomic>
#include <sys/stat.h>

namespace tessilor {

namespace {

// A file at path that is there but not a regular file (a pipe, a device, a
// folder, or a link to one): opening it could wait for ever, or read
// anything. A missing file is fine: the first save makes it.
bool regularOrMissing(const QString &path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return true;
    return S_ISREG(st.st_mode);
}

// What a run whose settings file cannot be used keeps until it ends.
QHash<QString, QString> &runValues()
{
    static QHash<QString, QString> values;
    return values;
}

} // namespace

QString userSettingsPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/.config");
    return folder + u'/' + kSettingsApp + QStringLiteral(".ini");
}

SettingsStore::SettingsStore() : SettingsStore(userSettingsPath()) {}

SettingsStore::SettingsStore(const QString &iniPath) : m_path(iniPath)
{
    // The lock file beside it is opened when the settings are saved.
    if (regularOrMissing(iniPath) && regularOrMissing(iniPath + QStringLiteral(".lock"))) {
        m_settings = std::make_unique<QSettings>(iniPath, QSettings::IniFormat);
        return;
    }
    static std::atomic<bool> said{false};
    if (!said.exchange(true))
        qWarning("tessilor: the settings file %s is not a regular file: the program starts with the default "
                 "settings and keeps changes to them only until it ends",
                 qPrintable(iniPath));
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::read(const QString &key, const QString &defaultValue) const
{
    if (!m_settings)
        return runValues().value(key, defaultValue);
    const QVariant v = m_settings->value(kSettingsSection + u'/' + key);
    if (!v.isValid())
        return defaultValue;
    // A list value (a comma in a hand-edited file) reads back joined.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(u',');
    return v.toString();
}

bool SettingsStore::contains(const QString &key) const
{
    if (!m_settings)
        return runValues().contains(key);
    return m_settings->contains(kSettingsSection + u'/' + key);
}

void SettingsStore::write(const QString &key, const QString &value)
{
    if (!m_settings) {
        runValues().insert(key, value);
        return;
    }
    m_settings->setValue(kSettingsSection + u'/' + key, value);
}

bool SettingsStore::sync()
{
    if (!m_settings)
        return false;
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

QString SettingsStore::fileName() const
{
    return m_path;
}

namespace {

// Reads a whole-number setting; a missing, non-numeric or out-of-range value
// leaves the default.
int readIndex(const SettingsStore &store, const QString &key, int def, int low, int high)
{
    bool ok = false;
    const double v = strictNumber(store.read(key, QString::number(def)), &ok);
    if (!ok)
        return def;
    const qint32 i = roundHalfEvenTo32(v);
    if (i < low || i > high)
        return def;
    return i;
}

double readNumber(const SettingsStore &store, const QString &key, double def)
{
    bool ok = false;
    const double v = strictNumber(store.read(key, QString::number(def)), &ok);
    return ok ? v : def;
}

} // namespace

void StoredOptions::read(const SettingsStore &store, const QString &figureFontDefault)
{
    type = readIndex(store, keys::Type, 1, 1, 2);
    font = readIndex(store, keys::Font, 1, 1, 4);
    textSize = readIndex(store, keys::TextSize, 3, 1, int(sizeList().size()));
    figureSize = readIndex(store, keys::FigureSize, 3, 1, int(sizeList().size()));
    prop1 = readIndex(store, keys::Prop1, 1, 0, 1);
    prop2 = readIndex(store, keys::Prop2, 1, 0, 1);
    figureFont = store.read(keys::FigureFont, figureFontDefault);
    figureCode = readIndex(store, keys::FigureCode, kDefaultFigureCode, kFirstFigureCode, kLastFigureCode);
    textMethod = readIndex(store, keys::TextMethod, 0, 0, 1);
    toneStructure = readIndex(store, keys::ToneStructure, kDefaultToneStructure, kMinToneStructure, kMaxToneStructure);
    figureFill = readIndex(store, keys::FigureFill, 0, 0, 1) == 1;
    autoPreview = readIndex(store, keys::AutoPreview, 0, 0, 1) == 1;
    contrast = readIndex(store, keys::Contrast, 0, -127, 127);
    textColor = quint32(readIndex(store, keys::TextColor, int(paletteColors()[0]), 0, 0xFFFFFF));
    pictureColors = readIndex(store, keys::PictureColors, 0, 0, 1) == 1;
    colorMode = readIndex(store, keys::ColorMode, 1, 1, 2);
    lastFile = store.read(keys::LastFile, QString());
    lastResult = store.read(keys::LastResult, QStringLiteral("save"));
    if (!isOutputKey(lastResult))
        lastResult = QStringLiteral("save");
    lastResultTip = store.read(keys::LastResultTip, QStringLiteral("Сохранить"));
}

void StoredOptions::write(SettingsStore &store) const
{
    store.write(keys::Type, QString::number(type));
    store.write(keys::Font, QString::number(font));
    store.write(keys::FigureFont, figureFont);
    store.write(keys::FigureCode, QString::number(figureCode));
    store.write(keys::TextSize, QString::number(textSize));
    store.write(keys::FigureSize, QString::number(figureSize));
    store.write(keys::Prop1, QString::number(prop1));
    store.write(keys::Prop2, QString::number(prop2));
    store.write(keys::TextMethod, QString::number(textMethod));
    store.write(keys::ToneStructure, QString::number(toneStructure));
    store.write(keys::FigureFill, QString::number(figureFill ? 1 : 0));
    store.write(keys::AutoPreview, QString::number(autoPreview ? 1 : 0));
    store.write(keys::Contrast, QString::number(contrast));
    store.write(keys::TextColor, QString::number(textColor));
    store.write(keys::PictureColors, QString::number(pictureColors ? 1 : 0));
    store.write(keys::ColorMode, QString::number(colorMode));
    store.write(keys::LastFile, lastFile);
    store.write(keys::LastResult, lastResult);
    store.write(keys::LastResultTip, lastResultTip);
}

bool isOutputKey(const QString &key)
{
    return key == QLatin1String("save") || key == QLatin1String("word") || key == QLatin1String("cl") ||
           key == QLatin1String("print");
}

WindowGeometry restoreGeometry(const SettingsStore &store, QSizeF screen, QSizeF design)
{
    WindowGeometry g;
    const double sw = screen.width();
    const double sh = screen.height();
    // Step 5: the defaults are computed from the window's size at that moment.
    g.top = readNumber(store, keys::Top, (sh - design.height()) / 2.0);
    g.left = readNumber(store, keys::Left, (sw - design.width()) / 2.0);
    g.height = readNumber(store, keys::Height, design.height());
    g.width = readNumber(store, keys::Width, design.width());
    // Step 6, in this order; centring uses the restored size.
    if (g.top < 1)
        g.top = (sh - g.height) / 2.0;
    if (g.left < 1)
        g.left = (sw - g.width) / 2.0;
    if (g.width > sw)
        g.width = sw - 90;
    if (g.height > sh)
        g.height = sh - 90;
    if (g.width < 8000)
        g.width = 8000;
    if (g.height < 6000)
        g.height = 6000;
    g.state = readIndex(store, keys::WindowState, 0, 0, 2);
    if (g.state == 1)
        g.state = 0;
    return g;
}

void storeGeometry(SettingsStore &store, const WindowGeometry &geometry)
{
    if (geometry.state == 0) {
        store.write(keys::Top, shortestText(float(geometry.top)));
        store.write(keys::Left, shortestText(float(geometry.left)));
        store.write(keys::Height, shortestText(float(geometry.height)));
        store.write(keys::Width, shortestText(float(geometry.width)));
    }
    store.write(keys::WindowState, QString::number(geometry.state == 1 ? 0 : geometry.state));
}

} // namespace tessilor
