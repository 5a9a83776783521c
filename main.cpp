// ORVELL: watches one web page from the notification area and tells its user when
// the page has changed.
#include "folderclaim.h"
#include "form1.h"
#include "notifyarea.h"
#include "notifyareawatch.h"
#include "qtservices.h"
#include "startup.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

namespace {

int run()
{
    QtServices qt;
    // One watcher per program directory: a second start shows the first one's window.
    QtFolderClaim claim(qt.services().programDir);
    if (const auto status = Startup::claimProgramDir(claim, qt.services().programDir))
        return *status;

    Form1 form(qt.services());
    if (const int status = Startup::loadMainWindow(form); status != 0)
        return status;
    claim.setShowHandler([&form] { form.mnuabout_Click(); });

    if (!qt.notifyArea().isAvailable())
        std::fprintf(stderr, "ORVELL: no notification area (system tray) is available on "
                             "this desktop\n");
    // A tray that comes up later (the desktop's panel after the program, at login).
    QtNotifyAreaWatch watch;
    Startup::followNotificationArea(form, watch);

    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[])
{
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
