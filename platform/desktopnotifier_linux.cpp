#include "desktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <optional>
#include <utility>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// The installed launcher's name without ".desktop" (resources/orvell.desktop.in): desktops
// group the notifications under the program and offer their per-program switch there.
const QString kDesktopEntry = QStringLiteral("orvell");

// The body as a server that reads markup would show the plain text: only the three
// characters markup gives a meaning to are escaped.
QString escapeMarkup(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('&'))
            escaped += QLatin1String("&amp;");
        else if (c == QLatin1Char('<'))
            escaped += QLatin1String("&lt;");
        else if (c == QLatin1Char('>'))
            escaped += QLatin1String("&gt;");
        else
            escaped += c;
    }
    return escaped;
}

} // namespace

// Talks to whichever server owns org.freedesktop.Notifications, one call at a time:
// first its capabilities, then the notice. A notice posted while a call is out waits
// for the answer, so that it replaces the notification that answer names instead of
// adding a second one. A failed call (no server, an error, no answer in time) drops the
// notice waiting; the next post asks again, since a server may have come since.
class SystemDesktopNotifier::Impl : public QObject
{
    Q_OBJECT
public:
    explicit Impl(SystemDesktopNotifier& owner);

    void post(const DesktopNotice& notice);
    void close();
    bool idle() const { return m_callsOut == 0; }

private Q_SLOTS:
    void activationToken(uint id, const QString& token);
    void actionInvoked(uint id, const QString& key);
    void notificationClosed(uint id, uint reason);

private:
    // Sends what waits, if nothing is out.
    void advance();
    void askCapabilities();
    void notify(const DesktopNotice& notice);
    void closeCurrent();
    // An asynchronous call with a bound; `done` sees its answer.
    void call(const QString& method, const QVariantList& arguments,
              std::function<void(const QDBusPendingCall&)> done = {});

    SystemDesktopNotifier& m_owner;
    QDBusConnection m_bus;
    QDBusServiceWatcher m_serverWatch;
    std::optional<QStringList> m_capabilities; // the current server's, once it said
    std::optional<DesktopNotice> m_waiting;
    bool m_asking = false;        // GetCapabilities is out
    bool m_notifying = false;     // Notify is out
    bool m_closeOnAnswer = false; // close() came while Notify was out
    uint m_id = 0;                // the server's number of our notification; 0: none
    QString m_activationToken;    // sent for the action about to come; empty: none
    int m_callsOut = 0;
};

SystemDesktopNotifier::Impl::Impl(SystemDesktopNotifier& owner)
    : m_owner(owner), m_bus(QDBusConnection::sessionBus()),
      m_serverWatch(kService, m_bus, QDBusServiceWatcher::WatchForOwnerChange)
{
    if (!m_bus.isConnected())
        return;
    // A server that starts, stops or is replaced has its own capabilities and numbers.
    connect(&m_serverWatch, &QDBusServiceWatcher::serviceOwnerChanged, this, [this] {
        m_capabilities.reset();
        m_id = 0;
    });
    m_bus.connect(kService, kPath, kService, QStringLiteral("ActivationToken"), this,
                  SLOT(activationToken(uint, QString)));
    m_bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                  SLOT(actionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
                  SLOT(notificationClosed(uint, uint)));
}

void SystemDesktopNotifier::Impl::post(const DesktopNotice& notice)
{
    if (!m_bus.isConnected())
        return;
    m_waiting = notice;
    m_closeOnAnswer = false;
    advance();
}

void SystemDesktopNotifier::Impl::close()
{
    m_waiting.reset();
    if (m_notifying)
        m_closeOnAnswer = true;
    else
        closeCurrent();
}

void SystemDesktopNotifier::Impl::advance()
{
    if (!m_waiting || m_asking || m_notifying)
        return;
    if (!m_capabilities) {
        askCapabilities();
        return;
    }
    const DesktopNotice notice = *m_waiting;
    m_waiting.reset();
    notify(notice);
}

void SystemDesktopNotifier::Impl::askCapabilities()
{
    m_asking = true;
    call(QStringLiteral("GetCapabilities"), {}, [this](const QDBusPendingCall& answer) {
        m_asking = false;
        const QDBusPendingReply<QStringList> reply = answer;
        if (reply.isError()) {
            m_waiting.reset();
            return;
        }
        m_capabilities = reply.value();
        advance();
    });
}

void SystemDesktopNotifier::Impl::notify(const DesktopNotice& notice)
{
    QStringList actions;
    if (m_capabilities->contains(QLatin1String("actions"))) {
        actions << QStringLiteral("default") << QStringLiteral("Open");
        if (notice.offersPageActions)
            actions << QStringLiteral("what-changed") << QStringLiteral("What changed")
                    << QStringLiteral("open-page") << QStringLiteral("Open page");
    }
    const QString body = m_capabilities->contains(QLatin1String("body-markup"))
                             ? escapeMarkup(notice.body)
                             : notice.body;
    const QVariantMap hints{{QStringLiteral("desktop-entry"), kDesktopEntry}};
    m_notifying = true;
    // -1: the server's own time on screen; it keeps the notification in its list after.
    call(QStringLiteral("Notify"),
         {QStringLiteral("ORVELL"), m_id, notice.icon, notice.summary, body, actions, hints, -1},
         [this](const QDBusPendingCall& answer) {
             m_notifying = false;
             const QDBusPendingReply<uint> reply = answer;
             if (reply.isError()) {
                 // The server has gone or broken: ask the next one what it can do.
                 m_capabilities.reset();
                 m_waiting.reset();
                 return;
             }
             m_id = reply.value();
             if (m_closeOnAnswer) {
                 m_closeOnAnswer = false;
                 closeCurrent();
             }
             advance();
         });
}

void SystemDesktopNotifier::Impl::closeCurrent()
{
    if (m_id == 0)
        return;
    call(QStringLiteral("CloseNotification"), {m_id});
    m_id = 0;
}

void SystemDesktopNotifier::Impl::call(const QString& method, const QVariantList& arguments,
                                       std::function<void(const QDBusPendingCall&)> done)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kService, method);
    message.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, kCallTimeoutMs), this);
    ++m_callsOut;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, done = std::move(done)](QDBusPendingCallWatcher* finished) {
                --m_callsOut;
                if (done)
                    done(*finished);
                finished->deleteLater();
            });
}

void SystemDesktopNotifier::Impl::activationToken(uint id, const QString& token)
{
    // A server that knows the compositor's activation sends a token just before the
    // action: the window the action raises (or the browser it starts) shows it to the
    // compositor, which otherwise may refuse to raise a window of a program in the
    // background (Wayland's xdg-activation).
    if (id != 0 && id == m_id)
        m_activationToken = token;
}

void SystemDesktopNotifier::Impl::actionInvoked(uint id, const QString& key)
{
    // Other programs' notifications share the server and its signals.
    if (id == 0 || id != m_id)
        return;
    const QString token = std::exchange(m_activationToken, QString());
    std::optional<Action> action;
    if (key == QLatin1String("default"))
        action = Action::Default;
    else if (key == QLatin1String("what-changed"))
        action = Action::WhatChanged;
    else if (key == QLatin1String("open-page"))
        action = Action::OpenPage;
    if (!action)
        return;
    // Where the token goes by the common convention: Qt's Wayland windows take it from
    // there at their next activation, and a program started meanwhile inherits it. It
    // serves this one action only.
    if (!token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    m_owner.reportAction(*action);
    qunsetenv("XDG_ACTIVATION_TOKEN");
}

void SystemDesktopNotifier::Impl::notificationClosed(uint id, uint reason)
{
    Q_UNUSED(reason); // expired, dismissed or closed: in each case it is gone
    if (id != 0 && id == m_id)
        m_id = 0;
}

SystemDesktopNotifier::SystemDesktopNotifier(NotifyArea& notifyArea)
    : m_impl(std::make_unique<Impl>(*this))
{
    Q_UNUSED(notifyArea); // Linux posts through the session bus, not the tray
}

SystemDesktopNotifier::~SystemDesktopNotifier() = default;

void SystemDesktopNotifier::post(const DesktopNotice& notice)
{
    m_impl->post(notice);
}

void SystemDesktopNotifier::close()
{
    m_impl->close();
}

bool SystemDesktopNotifier::idle() const
{
    return m_impl->idle();
}

QString SystemDesktopNotifier::programIcon(const QString& programDir)
{
    // Installed: PREFIX/lib/orvell holds the program, PREFIX/share/icons/hicolor its icons,
    // which the icon theme then finds by name at every size the server wants.
    const QDir dir(programDir);
    if (QFileInfo::exists(
            dir.filePath(QStringLiteral("../../share/icons/hicolor/48x48/apps/orvell.png"))))
        return QStringLiteral("orvell");
    const QFileInfo beside(dir.filePath(QStringLiteral("orvell.png")));
    if (beside.isFile())
        return QUrl::fromLocalFile(beside.absoluteFilePath()).toString();
    return {};
}

#include "desktopnotifier_linux.moc"
