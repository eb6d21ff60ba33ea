#pragma once
// Grabs of the real screen for the tests that run on an X server: what the
// user sees, kept as PNG files to be looked at.
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace apptest {

// The whole screen as the X server has it.
inline QImage grabScreen()
{
    QCoreApplication::processEvents();
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}

// Keeps a grab as name.png in the folder TESSILOR_X11_SHOTS names.
inline void keepShot(const QImage &shot, const QString &name)
{
    const QString dir = QString::fromLocal8Bit(qgetenv("TESSILOR_X11_SHOTS"));
    if (!dir.isEmpty() && QDir().mkpath(dir))
        shot.save(dir + u'/' + name + QStringLiteral(".png"));
}

// Where a widget is on the screen.
inline QRect globalRect(const QWidget *w)
{
    return QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
}

} // namespace apptest
