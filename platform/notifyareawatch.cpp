#include "notifyareawatch.h"

#include <QGuiApplication>
#include <QSystemTrayIcon>

namespace {

// Platforms without a desktop never get a notification area.
bool hasDesktop()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
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
    watchForLateHost();
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

std::optional<QStringList> QtNotifyAreaWatch::takeHandover()
{
    return std::exchange(m_handover, std::nullopt);
}
