#pragma once

#include "services.h"

#include <QString>
#include <cstdio>
#include <optional>

class FolderClaim;
class Form1;
class NotifyAreaWatch;
class RuntimeError;

namespace Startup {

// Exit status of a program that could not start.
inline constexpr int kFailedStatus = 1;

// Says what keeps the program from starting, or troubles its start, in both places a
// user may look: `line` on standard error after the program's name, for a terminal or a
// log, and `boxText` in a message box with the program's name as its title, for a
// program started from a menu, which has no terminal. Every such error of the start goes
// through here.
void reportError(const QString& line, const QString& boxText, MessageBoxService::Icon icon,
                 MessageBoxService& messageBox, std::FILE* err = stderr);

// Reports a run-time error the way the runtime does when nothing handles it: a
// message box with the application's title, the number and the description. The same
// line goes to standard error with the file concerned, for users without a desktop.
void reportRuntimeError(const RuntimeError& error, MessageBoxService& messageBox,
                        const QString& fileName, std::FILE* err = stderr);

// Loads the main window; on a desktop without a notification area it then shows the
// window as the program's face. A program directory it cannot write in (where every
// check would fail to store the page) is reported with the folder's name. Returns 0
// when the program is up and running, or the exit status to end with after the error
// has been reported.
int loadMainWindow(Form1& form);

// Says that the program cannot write in its directory: a message box naming the folder,
// and the same on standard error.
void reportUnwritableDir(const QString& programDir, MessageBoxService& messageBox,
                         std::FILE* err = stderr);

// After a successful load: the update log handed over by the program's previous start
// in this process goes back into the log. Then the program follows the notification
// area: when one appears and holds the icon, the stand-in window gives way to it; when
// only a fresh start can reach it, the program starts afresh, handing the log over;
// when it goes away, the stand-in window shows again, so the program stays in reach.
void followNotificationArea(Form1& form, NotifyAreaWatch& watch, std::FILE* err = stderr);

// Claims the program directory for this start, before anything shows. When another
// watcher runs from the same directory it has been asked to show its window; this
// start says so on standard error and the result is the exit status to end with (0).
// Otherwise the start goes on (nothing is returned); a claim that could not be made is
// only warned about.
std::optional<int> claimProgramDir(FolderClaim& claim, const QString& programDir,
                                   MessageBoxService& messageBox, std::FILE* err = stderr);

// How long `--exit` waits for the watcher's process to end.
inline constexpr int kExitWaitMs = 20000;

// `--exit`: asks the watcher that runs from the program directory, where one runs, to end
// as its "Exit" does, and waits until its process has ended; starts none. Says on
// standard error what happened. Returns the exit status: 0 when no watcher runs there
// (any more), 1 when one runs on.
int exitWatcher(FolderClaim& claim, const QString& programDir, std::FILE* err = stderr);

} // namespace Startup
