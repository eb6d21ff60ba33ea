#pragma once
// Reaches a window's widgets by their object names, as a user's tools would
// see them.
#include <QObject>
#include <QString>
#include <QtGlobal>

namespace apptest {

// The child of parent with the given object name and type. A missing child
// ends the program with its name, so a renamed widget cannot pass unnoticed.
template<typename T>
T *child(const QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("%s has no child \"%s\"", qPrintable(parent->objectName()), name);
    return found;
}

} // namespace apptest
