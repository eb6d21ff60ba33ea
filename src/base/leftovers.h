#pragma once
#include <QByteArray>
#include <functional>

// What a run makes for a while and removes again: the hidden file a result
// is written to before it takes its name, a private folder of the run. They
// are listed here while they exist, so that a run ended by a signal can
// remove them first.
namespace tessilor {

// Runs make() with the list held, so that no signal comes between the
// making of a path and its listing; make returns the path it made (empty:
// none), which stays listed until forgetLeftover(). folder: a folder,
// removed with what it holds.
QByteArray makeLeftover(const std::function<QByteArray()> &make, bool folder = false);
// The path took its final name or was removed: no longer listed.
void forgetLeftover(const QByteArray &path);

// From now on SIGINT, SIGTERM and SIGHUP (those not ignored when the
// program started) remove every listed path and then end the process by
// the same signal, which a shell reports as 128 + n. Call at the start of
// main(), before any thread exists: the signals are blocked in every thread
// and taken by a thread of their own, which does the removing.
void removeLeftoversOnSignals();

} // namespace tessilor
