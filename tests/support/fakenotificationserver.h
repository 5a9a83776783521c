#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

// A session bus of the test's own (dbus-daemon with privatebus.conf: nothing is started
// by activation), gone with the object.
class PrivateBus
{
public:
    PrivateBus();
    ~PrivateBus();
    // Empty when dbus-daemon could not be started.
    QString address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

// org.freedesktop.Notifications as a test scripts it: it owns the name on the bus at
// `address` (a connection of its own, like a real server), records what it is asked and
// sends the signals a real server sends.
class FakeNotificationServer : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Notification
    {
        QString appName;
        uint replacesId;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int timeout;
        uint id; // the number it answered with
    };

    explicit FakeNotificationServer(const QString& address);
    ~FakeNotificationServer() override;
    // Whether it owns the name.
    bool isRegistered() const { return m_registered; }

    // GetCapabilities' answer.
    QStringList capabilities{QStringLiteral("actions"), QStringLiteral("body-markup")};
    // False: calls get no answer at all (a server that hangs).
    bool answers = true;

    QList<Notification> notified;
    QList<uint> closed; // CloseNotification's numbers

    // The signals a real server sends for a click or an action (a token for the
    // compositor first, where it has one), and when one goes.
    void sendActivationToken(uint id, const QString& token);
    void invokeAction(uint id, const QString& key);
    void closeByUser(uint id);

public Q_SLOTS:
    QStringList GetCapabilities();
    uint Notify(const QString& appName, uint replacesId, const QString& icon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int timeout);
    void CloseNotification(uint id);

Q_SIGNALS:
    void ActivationToken(uint id, const QString& activationToken);
    void ActionInvoked(uint id, const QString& key);
    void NotificationClosed(uint id, uint reason);

private:
    void holdAnswer();

    QDBusConnection m_bus;
    bool m_registered = false;
    uint m_lastId = 0;
};
