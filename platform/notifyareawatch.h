#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <optional>

// Waits for a notification area to appear on a desktop that had none when the program
// started (a program started at login often comes up before the desktop's panel).
class NotifyAreaWatch
{
public:
    enum class Arrival
    {
        IconShown,   // the icon has gone into the new notification area
        NeedsRestart // a notification area is there that only a fresh start can reach
    };
    virtual ~NotifyAreaWatch() = default;

    // Starts watching; the handler runs once, when a notification area has appeared.
    using ArrivalHandler = std::function<void(Arrival)>;
    virtual void watch(ArrivalHandler handler) = 0;

    // Starts the program afresh in this process, with the same arguments; `handover`
    // (the update log's lines) comes back from takeHandover() in the new start.
    // Returns only when that failed, with the reason.
    virtual QString restart(const QStringList& handover) = 0;
    // In a start made by restart(): what the previous one handed over.
    virtual std::optional<QStringList> takeHandover() = 0;
};

// On Qt. Qt settles once per process which kind of notification area it uses: an
// XEmbed tray (X11) that appears later takes the icon at once, which a poll of
// QSystemTrayIcon::isSystemTrayAvailable() sees; a StatusNotifierItem host (D-Bus:
// KDE, GNOME's AppIndicator extension, Wayland panels) that appears later is reached
// only by a fresh start. A start made by restart() does not ask for another one.
class QtNotifyAreaWatch : public QObject, public NotifyAreaWatch
{
    Q_OBJECT
public:
    explicit QtNotifyAreaWatch(QObject* parent = nullptr);

    void watch(ArrivalHandler handler) override;
    QString restart(const QStringList& handover) override;
    std::optional<QStringList> takeHandover() override;

    static constexpr int kPollMs = 1000;

private Q_SLOTS:
    void checkStatusNotifierHost();

private:
    void arrive(Arrival arrival);

    ArrivalHandler m_handler;
    QTimer m_poll;
    std::optional<QStringList> m_handover;
    bool m_restarted = false; // this start was made by restart()
};
