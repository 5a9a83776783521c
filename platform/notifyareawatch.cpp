#include "notifyareawatch.h"

#include "qtservices.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QFile>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

// Carries the handover into the fresh start: the log's lines, one a line.
constexpr char kHandoverVariable[] = "ORVELL_RESTART_HANDOVER";

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

// Platforms without a desktop never get a notification area.
bool hasDesktop()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

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

QtNotifyAreaWatch::QtNotifyAreaWatch(QObject* parent) : QObject(parent)
{
    if (qEnvironmentVariableIsSet(kHandoverVariable)) {
        const QString text = qEnvironmentVariable(kHandoverVariable);
        m_handover = text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
        m_restarted = true;
        qunsetenv(kHandoverVariable);
    }
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &QtNotifyAreaWatch::poll);
}

void QtNotifyAreaWatch::watch(ChangeHandler handler)
{
    m_handler = std::move(handler);
    if (!hasDesktop())
        return;
    m_available = QSystemTrayIcon::isSystemTrayAvailable();
    m_poll.start();
    if (m_available || m_restarted)
        return; // Qt reaches the notification area it has, and only that one
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

void QtNotifyAreaWatch::poll()
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_missedPolls = 0;
        if (!m_available) {
            m_available = true;
            m_handler(Change::IconShown);
        }
    } else if (m_available && ++m_missedPolls * kPollMs >= kGoneAfterMs) {
        m_available = false;
        m_handler(Change::Gone);
    }
}

void QtNotifyAreaWatch::checkStatusNotifierHost()
{
    if (m_available || m_restarted || !QtNotifyArea::statusNotifierHostRegistered())
        return;
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        poll();
        return;
    }
    m_restarted = true; // one fresh start is asked for, no more
    m_handler(Change::NeedsRestart);
    // Here still: the fresh start failed, and this one goes on with what it can reach.
}

QString QtNotifyAreaWatch::restart(const QStringList& handover)
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
    return QString::fromLocal8Bit(std::strerror(error));
}

std::optional<QStringList> QtNotifyAreaWatch::takeHandover()
{
    return std::exchange(m_handover, std::nullopt);
}
