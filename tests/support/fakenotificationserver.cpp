#include "fakenotificationserver.h"

#include <QDBusMessage>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
} // namespace

PrivateBus::PrivateBus()
{
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=" ORVELL_TEST_BUS_CONFIG),
                    QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    // The daemon prints its address once it listens.
    if (m_daemon.waitForStarted() && m_daemon.waitForReadyRead(10000))
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus()
{
    m_daemon.terminate();
    m_daemon.waitForFinished(5000);
}

FakeNotificationServer::FakeNotificationServer(const QString& address)
    : m_bus(QDBusConnection::connectToBus(address, QStringLiteral("fake-notification-server")))
{
    m_registered =
        m_bus.registerObject(kPath, this,
                             QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
        m_bus.registerService(kService);
}

FakeNotificationServer::~FakeNotificationServer()
{
    m_bus.unregisterService(kService);
    m_bus.unregisterObject(kPath);
    QDBusConnection::disconnectFromBus(m_bus.name());
}

void FakeNotificationServer::sendActivationToken(uint id, const QString& token)
{
    Q_EMIT ActivationToken(id, token);
}

void FakeNotificationServer::invokeAction(uint id, const QString& key)
{
    Q_EMIT ActionInvoked(id, key);
}

void FakeNotificationServer::closeByUser(uint id)
{
    Q_EMIT NotificationClosed(id, 2); // 2: dismissed by the user
}

void FakeNotificationServer::holdAnswer()
{
    // A reply promised and never sent: the caller waits until its own bound.
    if (!answers)
        message().setDelayedReply(true);
}

QStringList FakeNotificationServer::GetCapabilities()
{
    holdAnswer();
    return capabilities;
}

uint FakeNotificationServer::Notify(const QString& appName, uint replacesId, const QString& icon,
                                    const QString& summary, const QString& body,
                                    const QStringList& actions, const QVariantMap& hints,
                                    int timeout)
{
    holdAnswer();
    const uint id = replacesId != 0 ? replacesId : ++m_lastId;
    notified.append({appName, replacesId, icon, summary, body, actions, hints, timeout, id});
    return id;
}

void FakeNotificationServer::CloseNotification(uint id)
{
    closed.append(id);
}
