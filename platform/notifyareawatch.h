#pragma once

#include "result.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <optional>

// Follows the notification area: one that appears on a desktop that had none when the
// program started (a program started at login often comes up before the desktop's
// panel), and one that goes away while the program runs (a panel that crashed, or was
// restarted or removed) and perhaps comes back.
class NotifyAreaWatch
{
public:
    enum class Change
    {
        IconShown,    // a notification area is there (again) and holds the icon
        NeedsRestart, // a notification area is there that only a fresh start can reach
        Gone,         // the notification area has gone: the icon is nowhere to be seen
    };
    virtual ~NotifyAreaWatch() = default;

    // Starts watching; the handler runs at every change from how things stood then.
    using ChangeHandler = std::function<void(Change)>;
    virtual void watch(ChangeHandler handler) = 0;

    // Starts the program afresh in this process, with the same arguments; `handover`
    // (the update log's lines) comes back from takeHandover() in the new start.
    // Returns only when that failed, with the reason: a fresh start that succeeds is
    // this process from then on.
    [[nodiscard]] virtual SystemError restart(const QStringList& handover) = 0;
    // In a start made by restart(): what the previous one handed over.
    virtual std::optional<QStringList> takeHandover() = 0;
};

// On Qt. Qt settles once per process which kind of notification area it uses: an
// XEmbed tray (X11) that appears, goes or comes back takes or loses the icon at once, as
// does the StatusNotifierItem host Qt found at start-up, which a poll of
// QSystemTrayIcon::isSystemTrayAvailable() sees; a StatusNotifierItem host (D-Bus: KDE,
// GNOME's AppIndicator extension, Wayland panels) that appears on a desktop that had no
// notification area at start-up is reached only by a fresh start. A start made by
// restart() does not ask for another one. A notification area counts as gone once it
// has been away for kGoneAfterMs, so that a panel that restarts at once shows no window.
class QtNotifyAreaWatch : public QObject, public NotifyAreaWatch
{
    Q_OBJECT
public:
    explicit QtNotifyAreaWatch(QObject* parent = nullptr);

    void watch(ChangeHandler handler) override;
    SystemError restart(const QStringList& handover) override;
    std::optional<QStringList> takeHandover() override;

    static constexpr int kPollMs = 1000;
    static constexpr int kGoneAfterMs = 3000;

private Q_SLOTS:
    void checkStatusNotifierHost();

private:
    void poll();
    // Starts following StatusNotifierItem hosts that come up later (where the system has
    // them).
    void watchForLateHost();

    // Carries the handover into the fresh start: the log's lines, one a line.
    static constexpr char kHandoverVariable[] = "ORVELL_RESTART_HANDOVER";

    ChangeHandler m_handler;
    bool m_available = false; // as last reported
    int m_missedPolls = 0;    // polls in a row that found no notification area
    QTimer m_poll;
    std::optional<QStringList> m_handover;
    bool m_restarted = false; // this start was made by restart(), or asked for one
};
