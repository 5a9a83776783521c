#pragma once

#include <QString>
#include <cstdio>

class Form1;
class MessageBoxService;
class RuntimeError;

namespace Startup {

// Exit status of a program that could not start.
inline constexpr int kFailedStatus = 1;

// Reports a run-time error the way the runtime does when nothing handles it: a
// message box with the application's title, the number and the description. The same
// line goes to standard error with the file concerned, for users without a desktop.
void reportRuntimeError(const RuntimeError& error, MessageBoxService& messageBox,
                        const QString& fileName, std::FILE* err = stderr);

// Loads the main window; on a desktop without a notification area it then shows the
// window as the program's face. Returns 0 when the program is up and running, or the exit
// status to end with after the error has been reported.
int loadMainWindow(Form1& form);

} // namespace Startup
