// ORVELL: watches one web page from the notification area and tells its user when
// the page has changed.
#include "folderclaim.h"
#include "form1.h"
#include "notifyarea.h"
#include "notifyareawatch.h"
#include "qtservices.h"
#include "startup.h"

#include <QApplication>
#include <QDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// `orvell --exit`, the program's only option: the watcher of the program's folder, where
// one runs, ends as its "Exit" does (an installer asks for that before it replaces the
// program). No watcher is started, and no window system is needed.
bool asksToExit(int argc, char* argv[])
{
    return std::any_of(argv + 1, argv + argc,
                       [](const char* arg) { return std::strcmp(arg, "--exit") == 0; });
}

int exitWatcher(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ORVELL"));
    const QString programDir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    QtFolderClaim claim(programDir);
    return Startup::exitWatcher(claim, programDir);
}

int run()
{
    QtServices qt;
    // One watcher per program directory: a second start shows the first one's window, and
    // `--exit` ends it.
    QtFolderClaim claim(qt.services().programDir);
    if (const auto status =
            Startup::claimProgramDir(claim, qt.services().programDir, *qt.services().messageBox))
        return *status;

    Form1 form(qt.services());
    if (const int status = Startup::loadMainWindow(form); status != 0)
        return status;
    claim.setRequestHandler([&form](FolderClaim::Request request) {
        if (request == FolderClaim::Request::Exit)
            form.mnuexit_Click();
        else
            form.mnuabout_Click();
    });

    if (!qt.notifyArea().isAvailable())
        std::fprintf(stderr, "ORVELL: no notification area (system tray) is available on "
                             "this desktop\n");
    // A tray that comes up later (the desktop's panel after the program, at login).
    QtNotifyAreaWatch watch;
    Startup::followNotificationArea(form, watch);

    const int status = QApplication::exec();
    // The last notification's close leaves before the program does.
    qt.settleDesktopNotifier();
    return status;
}

} // namespace

int main(int argc, char* argv[])
{
    if (asksToExit(argc, argv))
        return exitWatcher(argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ORVELL"));
    // The program lives in the tray: hiding or closing its windows does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    const int status = run();
    // Everything of the program's own has gone. Qt 6.4's Wayland client may then wait
    // for ever while it closes its connection (its event thread waits for a read that
    // never comes), so on Wayland the process ends here, without Qt's own teardown.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(status);
    }
    return status;
}
