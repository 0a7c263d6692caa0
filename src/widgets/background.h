#pragma once
// Long work (a backup, storing or opening a stored file of tens of megabytes) run on a
// thread of its own while the window keeps answering: its event loop runs (it repaints,
// timers tick) and a progress bar shows how far the work is. The work must not touch the
// window's database connection (connections belong to their thread): it opens its own
// (Database::openAnother) or runs a program.
#include <functional>

#include <QtGlobal>

class QProgressBar;

namespace tarvest {

// How far the work is, told from the work's thread: `done` of `total`.
using WorkProgress = std::function<void(qint64 done, qint64 total)>;

// Runs `work` off the window's thread and returns when it has ended, throwing here what
// it threw (a tarvest::Error, a DuplicateKey, ...). `bar` (may be null) is shown while the
// work runs, moving until the work first tells its progress, then following it; hidden
// again at the end. What the user may press meanwhile is the caller's to disable.
void runOffTheWindowThread(QProgressBar* bar, const std::function<void(const WorkProgress& progress)>& work);

} // namespace tarvest
