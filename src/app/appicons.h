#pragma once
#include <QIcon>
#include <QString>

namespace tessilor {

// Icons of the main window's buttons and lists by image key: "app", "open",
// "mas", "go", "canc", "result", "save", "word", "cl", "print", "help",
// "text", "fig", "color", "gray", "font1" .. "font4". An unknown key gives a
// null icon.
QIcon appIcon(const QString &key);

} // namespace tessilor
