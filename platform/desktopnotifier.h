#pragma once

#include <QString>
#include <functional>
#include <memory>

class NotifyArea;

// One notification for the desktop's own list of notifications.
struct DesktopNotice
{
    QString summary;
    // Plain text: a poster escapes it where the desktop reads markup.
    QString body;
    // Whether it offers the actions "What changed" and "Open page" besides a click on it.
    bool offersPageActions = true;
    // An icon theme's name or a file:// address; empty: none (see programIcon).
    QString icon;
};

// The desktop's own notifications (the list that waits for the user: GNOME's message
// tray, Plasma's and Xfce's history, the Windows Action Center). Posting and closing
// return at once and never wait for the desktop; where it has no notification service,
// nothing is posted and nothing is reported.
class DesktopNotifier
{
public:
    enum class Action
    {
        Default,     // a click on the notification itself
        WhatChanged, // its action "What changed"
        OpenPage,    // its action "Open page"
    };
    virtual ~DesktopNotifier() = default;

    // Posts the notice, in place of the one posted before (a page that changes again
    // leaves one notification, not a pile).
    virtual void post(const DesktopNotice& notice) = 0;
    // Takes the current notification away: the user has seen the update some other way,
    // or the program ends and nobody is left to answer its actions.
    virtual void close() = 0;

    // What the user chose on the current notification; the caller opens the window or
    // the page.
    using ActionHandler = std::function<void(Action)>;
    void setActionHandler(ActionHandler handler) { m_actionHandler = std::move(handler); }

protected:
    void reportAction(Action action)
    {
        if (m_actionHandler)
            m_actionHandler(action);
    }

private:
    ActionHandler m_actionHandler;
};

// The notifications of this system: org.freedesktop.Notifications on the session bus
// (Linux), the tray icon's balloon, which Windows 10 and 11 show as a toast and keep in
// the Action Center (Windows).
class SystemDesktopNotifier final : public DesktopNotifier
{
public:
    // The notification area carries the balloon where the system has no other way.
    explicit SystemDesktopNotifier(NotifyArea& notifyArea);
    ~SystemDesktopNotifier() override;
    SystemDesktopNotifier(const SystemDesktopNotifier&) = delete;
    SystemDesktopNotifier& operator=(const SystemDesktopNotifier&) = delete;

    void post(const DesktopNotice& notice) override;
    void close() override;

    // Whether no call to the notification service is waiting for its answer. A program
    // that ends right after close() can wait for this, briefly, so the call leaves.
    [[nodiscard]] bool idle() const;

    // The icon a notice of the program in programDir names: the icon theme's "orvell"
    // where the program is installed beside its icons, else the picture the build puts
    // beside the program (as a file:// address), else none. Empty on Windows, where
    // the notification shows the program's own icon.
    [[nodiscard]] static QString programIcon(const QString& programDir);

    // How long a call to the notification service may take before it counts as failed.
    static constexpr int kCallTimeoutMs = 5000;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};
