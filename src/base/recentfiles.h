#pragma once
#include <QString>
#include <QStringList>

namespace tessilor {

class SettingsStore;

// The recent files of the open button's drop-down, newest first. The first
// is the last file ("LastFile"); the others are stored as RecentFile2 ..
// RecentFile8 in the same settings section.
inline constexpr int kMaxRecentFiles = 8;

// Settings key of entry n (1-based): "LastFile" for 1, "RecentFile<n>" after.
QString recentFileKey(int n);

// The list with path in front: an earlier entry of the same file leaves its
// place, and entries past kMaxRecentFiles drop off. An empty path changes
// nothing.
QStringList withRecentFile(const QStringList &list, const QString &path);

// The entries that still name a file, in order, each once.
QStringList existingRecentFiles(const QStringList &list);

// Reads entries 1 .. kMaxRecentFiles, skipping empty ones, and writes them
// back (unused keys emptied).
QStringList readRecentFiles(const SettingsStore &store);
void writeRecentFiles(SettingsStore &store, const QStringList &list);

} // namespace tessilor
