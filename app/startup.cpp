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

void Startup::reportRuntimeError(const RuntimeError& error, MessageBoxService& messageBox,
                                 const QString& fileName, std::FILE* err)
{
    const QString title = QCoreApplication::applicationName();
    std::fprintf(err, "%s: %s (%s)\n", qPrintable(title), qPrintable(error.message()),
                 qPrintable(fileName));
    std::fflush(err);
    messageBox.show(
        QStringLiteral("Run-time error '%1':\n\n%2").arg(error.number()).arg(error.description()),
        MessageBoxService::Icon::Critical, title);
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
    const QString title = QCoreApplication::applicationName();
    std::fprintf(err,
                 "%s: cannot write in the program's folder %s: it keeps the watched page "
                 "there (data.tmp, data.orvl)\n",
                 qPrintable(title), qPrintable(programDir));
    std::fflush(err);
    messageBox.show(QStringLiteral("%1 cannot write in its folder:\n\n%2\n\nIt keeps the "
                                   "watched page there (data.tmp, data.orvl). Copy the program "
                                   "with its config.ini and Sounds folder to a folder you can "
                                   "write in, or make this one writable for you.")
                        .arg(title, programDir),
                    MessageBoxService::Icon::Critical, title);
}

std::optional<int> Startup::claimProgramDir(FolderClaim& claim, const QString& programDir,
                                            MessageBoxService& messageBox, std::FILE* err)
{
    const QString title = QCoreApplication::applicationName();
    switch (claim.claim()) {
    case FolderClaim::Result::Claimed:
        return std::nullopt;
    case FolderClaim::Result::OtherShown:
        std::fprintf(err, "%s: already running from %s: its window is shown\n", qPrintable(title),
                     qPrintable(programDir));
        return 0;
    case FolderClaim::Result::OtherSilent:
        // Said in a message box too: a program started from a menu has no terminal.
        std::fprintf(err, "%s: already running from %s (it did not answer)\n", qPrintable(title),
                     qPrintable(programDir));
        std::fflush(err);
        messageBox.show(QStringLiteral("%1 already runs from its folder:\n\n%2\n\nIt did not "
                                       "answer the request to show its window.")
                            .arg(title, programDir),
                        MessageBoxService::Icon::Exclamation, title);
        return 0;
    case FolderClaim::Result::NotClaimed:
        std::fprintf(err, "%s: cannot make sure that no other watcher runs from %s: %s\n",
                     qPrintable(title), qPrintable(programDir), qPrintable(claim.errorText()));
        std::fflush(err);
        messageBox.show(QStringLiteral("%1 cannot make sure that no other watcher runs from its "
                                       "folder:\n\n%2\n\n%3\n\nIt starts all the same.")
                            .arg(title, programDir, claim.errorText()),
                        MessageBoxService::Icon::Exclamation, title);
        return std::nullopt;
    case FolderClaim::Result::OtherEnding:
    case FolderClaim::Result::NoneRunning:
        break; // answers to a request to end the watcher only
    }
    return std::nullopt;
}

int Startup::exitWatcher(FolderClaim& claim, const QString& programDir, std::FILE* err)
{
    const QString title = QCoreApplication::applicationName();
    switch (claim.askToExit()) {
    case FolderClaim::Result::NoneRunning:
        std::fprintf(err, "%s: no watcher runs from %s\n", qPrintable(title),
                     qPrintable(programDir));
        return 0;
    case FolderClaim::Result::OtherEnding:
        if (claim.waitForOtherToEnd(kExitWaitMs)) {
            std::fprintf(err, "%s: the watcher that ran from %s has ended\n", qPrintable(title),
                         qPrintable(programDir));
            return 0;
        }
        break;
    case FolderClaim::Result::Claimed:
    case FolderClaim::Result::OtherShown:
    case FolderClaim::Result::OtherSilent:
    case FolderClaim::Result::NotClaimed:
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
        const QString why = watch.restart(log);
        std::fprintf(err, "%s: cannot start again (%s): the window stays\n", qPrintable(title),
                     qPrintable(why));
    });
}
