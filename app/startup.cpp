#include "startup.h"

#include "folderclaim.h"
#include "form1.h"
#include "notifyarea.h"
#include "notifyareawatch.h"
#include "runtimeerror.h"
#include "services.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QListWidget>

void Startup::reportError(const QString& line, const QString& boxText, MessageBoxService::Icon icon,
                          MessageBoxService& messageBox, std::FILE* err)
{
    const QString title = QCoreApplication::applicationName();
    std::fprintf(err, "%s: %s\n", qPrintable(title), qPrintable(line));
    // Out before the box, which waits for its answer.
    std::fflush(err);
    messageBox.show(boxText, icon, title);
}

void Startup::reportRuntimeError(const RuntimeError& error, MessageBoxService& messageBox,
                                 const QString& fileName, std::FILE* err)
{
    reportError(
        QStringLiteral("%1 (%2)").arg(error.message(), fileName),
        QStringLiteral("Run-time error '%1':\n\n%2").arg(error.number()).arg(error.description()),
        MessageBoxService::Icon::Critical, messageBox, err);
}

int Startup::loadMainWindow(Form1& form)
{
    try {
        form.Form_Load();
    } catch (const RuntimeError& error) {
        reportRuntimeError(error, *form.services().messageBox, form.configPath());
        return kFailedStatus;
    }
    // The snapshot and the body of every check are written beside the program.
    const QString dir = form.services().programDir;
    if (!QFileInfo(dir).isWritable()) {
        reportUnwritableDir(dir, *form.services().messageBox);
        return kFailedStatus;
    }
    // Without a notification area the window is the program's only face.
    if (!form.services().notifyArea->isAvailable())
        form.showWithoutNotificationArea();
    return 0;
}

void Startup::reportUnwritableDir(const QString& programDir, MessageBoxService& messageBox,
                                  std::FILE* err)
{
    reportError(QStringLiteral("cannot write in the program's folder %1: it keeps the watched "
                               "page there (data.tmp, data.orvl)")
                    .arg(programDir),
                QStringLiteral("%1 cannot write in its folder:\n\n%2\n\nIt keeps the "
                               "watched page there (data.tmp, data.orvl). Copy the program "
                               "with its config.ini and Sounds folder to a folder you can "
                               "write in, or make this one writable for you.")
                    .arg(QCoreApplication::applicationName(), programDir),
                MessageBoxService::Icon::Critical, messageBox, err);
}

std::optional<int> Startup::claimProgramDir(FolderClaim& claim, const QString& programDir,
                                            MessageBoxService& messageBox, std::FILE* err)
{
    const QString title = QCoreApplication::applicationName();
    const Result<FolderClaim::Outcome> claimed = claim.claim();
    if (!claimed) {
        reportError(QStringLiteral("cannot make sure that no other watcher runs from %1: %2")
                        .arg(programDir, claimed.error().text),
                    QStringLiteral("%1 cannot make sure that no other watcher runs from its "
                                   "folder:\n\n%2\n\n%3\n\nIt starts all the same.")
                        .arg(title, programDir, claimed.error().text),
                    MessageBoxService::Icon::Exclamation, messageBox, err);
        return std::nullopt;
    }
    switch (claimed.value()) {
    case FolderClaim::Outcome::Claimed:
        return std::nullopt;
    case FolderClaim::Outcome::OtherShown:
        std::fprintf(err, "%s: already running from %s: its window is shown\n", qPrintable(title),
                     qPrintable(programDir));
        return 0;
    case FolderClaim::Outcome::OtherSilent:
        // Said in a message box too: a program started from a menu has no terminal.
        reportError(QStringLiteral("already running from %1 (it did not answer)").arg(programDir),
                    QStringLiteral("%1 already runs from its folder:\n\n%2\n\nIt did not "
                                   "answer the request to show its window.")
                        .arg(title, programDir),
                    MessageBoxService::Icon::Exclamation, messageBox, err);
        return 0;
    case FolderClaim::Outcome::OtherEnding:
    case FolderClaim::Outcome::NoneRunning:
        break; // answers to a request to end the watcher only
    }
    return std::nullopt;
}

int Startup::exitWatcher(FolderClaim& claim, const QString& programDir, std::FILE* err)
{
    const QString title = QCoreApplication::applicationName();
    switch (claim.askToExit()) {
    case FolderClaim::Outcome::NoneRunning:
        std::fprintf(err, "%s: no watcher runs from %s\n", qPrintable(title),
                     qPrintable(programDir));
        return 0;
    case FolderClaim::Outcome::OtherEnding:
        if (claim.waitForOtherToEnd(kExitWaitMs)) {
            std::fprintf(err, "%s: the watcher that ran from %s has ended\n", qPrintable(title),
                         qPrintable(programDir));
            return 0;
        }
        break;
    case FolderClaim::Outcome::Claimed:
    case FolderClaim::Outcome::OtherShown:
    case FolderClaim::Outcome::OtherSilent:
        break;
    }
    std::fprintf(err, "%s: the watcher that runs from %s did not end\n", qPrintable(title),
                 qPrintable(programDir));
    return kFailedStatus;
}

void Startup::followNotificationArea(Form1& form, NotifyAreaWatch& watch, std::FILE* err)
{
    if (const std::optional<QStringList> log = watch.takeHandover())
        form.List1->addItems(*log);
    watch.watch([&form, &watch, err](NotifyAreaWatch::Change change) {
        const QString title = QCoreApplication::applicationName();
        switch (change) {
        case NotifyAreaWatch::Change::IconShown:
            if (!form.isWithoutNotificationArea())
                return;
            std::fprintf(err, "%s: a notification area has appeared: the icon is there now\n",
                         qPrintable(title));
            form.leaveWithoutNotificationArea();
            return;
        case NotifyAreaWatch::Change::Gone:
            if (form.isWithoutNotificationArea())
                return;
            std::fprintf(err, "%s: the notification area has gone: the window stands in for it\n",
                         qPrintable(title));
            form.showWithoutNotificationArea();
            return;
        case NotifyAreaWatch::Change::NeedsRestart:
            break;
        }
        std::fprintf(err, "%s: a notification area has appeared: starting again to reach it\n",
                     qPrintable(title));
        std::fflush(err);
        QStringList log;
        for (int i = 0; i < form.List1->count(); ++i)
            log.append(form.List1->item(i)->text());
        const SystemError why = watch.restart(log);
        std::fprintf(err, "%s: cannot start again (%s): the window stays\n", qPrintable(title),
                     qPrintable(why.text));
    });
}
