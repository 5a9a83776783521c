#include "notifyareawatch.h"
#include "statusnotifier.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QSystemTrayIcon>
#include <cerrno>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

// The program's own arguments as it was started (Qt takes some of its own out of argv).
QList<QByteArray> startArguments()
{
    QFile cmdline(QStringLiteral("/proc/self/cmdline"));
    if (cmdline.open(QIODevice::ReadOnly)) {
        QByteArray all = cmdline.readAll();
        if (all.endsWith('\0'))
            all.chop(1);
        if (!all.isEmpty())
            return all.split('\0');
    }
    QList<QByteArray> args;
    for (const QString& arg : QCoreApplication::arguments())
        args.append(QFile::encodeName(arg));
    return args;
}

} // namespace

void QtNotifyAreaWatch::watchForLateHost()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    auto* services = new QDBusServiceWatcher(kWatcherService, bus,
                                             QDBusServiceWatcher::WatchForRegistration, this);
    connect(services, &QDBusServiceWatcher::serviceRegistered, this,
            &QtNotifyAreaWatch::checkStatusNotifierHost);
    bus.connect(kWatcherService, kWatcherPath, kWatcherService,
                QStringLiteral("StatusNotifierHostRegistered"), this,
                SLOT(checkStatusNotifierHost()));
    checkStatusNotifierHost();
}

void QtNotifyAreaWatch::checkStatusNotifierHost()
{
    if (m_available || m_restarted || !StatusNotifier::hostRegistered())
        return;
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        poll();
        return;
    }
    m_restarted = true; // one fresh start is asked for, no more
    m_handler(Change::NeedsRestart);
    // Here still: the fresh start failed, and this one goes on with what it can reach.
}

SystemError QtNotifyAreaWatch::restart(const QStringList& handover)
{
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
    QList<QByteArray> args = startArguments();
    std::vector<char*> argv;
    for (QByteArray& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    qputenv(kHandoverVariable, handover.join(QLatin1Char('\n')).toUtf8());
    std::fflush(stdout);
    std::fflush(stderr);
    // Descriptors Qt opened (the display, the bus, the folder's claim) close on exec.
    ::execv(program.constData(), argv.data());
    const int error = errno;
    qunsetenv(kHandoverVariable);
    return SystemError::of(error);
}
