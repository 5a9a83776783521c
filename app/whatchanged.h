#pragma once

#include "changecomparer.h"
#include "desktopnotifier.h"
#include "pagecheck.h"
#include "versionhistory.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class WhatChangedWindow;
struct Services;

// What an update leaves to look at afterwards: the page before and after kept in `history`,
// their comparison in a worker thread, the "What changed" window on any kept update, the
// line counts for the tooltip, and the desktop's notification of the update. The main
// window owns it and hands it each stored check and each request of the user.
class WhatChanged : public QObject
{
    Q_OBJECT
public:
    // How long an update's notification waits for the comparison before it says the
    // change of size instead.
    static constexpr int kNoticeWaitMs = 2000;

    // `watchedUrl` gives the URL as config.ini has it (for the title and "Open page").
    WhatChanged(Services& services, std::function<QString()> watchedUrl, QObject* parent = nullptr);
    ~WhatChanged() override;

    // A check that stored the page: data.type follows data.orvl; a change (`logTime`: the
    // time its log line says) keeps its two versions, is compared, and is
    // announced on the desktop. A history that cannot be written changes nothing else.
    void checkStored(const CheckOutcome& outcome, const QDateTime& logTime);
    // The window on the update found at `time` (a line of the update log, a notification).
    void showUpdateAt(const QDateTime& time);
    // The window on the latest kept update (also after a restart, with an empty log).
    void showLatest();
    // The user has seen the update (the flashing stopped) or the program ends: the
    // desktop's notification goes.
    void closeNotice();

    VersionHistory& history() { return m_history; }
    // Null until the window was first asked for.
    WhatChangedWindow* window() const { return m_window.get(); }

Q_SIGNALS:
    // The latest update's comparison is ready: how many lines it added and removed.
    void latestCounted(int added, int removed);

private:
    void compared(const Comparison& result);
    // The window on the kept update at `index` of history().updates(), newest first.
    void showUpdate(const QList<KeptUpdate>& updates, qsizetype index);
    void walk(int step);
    QString title(const QDateTime& time) const;
    void postNotice(const std::optional<Comparison>& comparison);
    void noticeAction(DesktopNotifier::Action action);
    WhatChangedWindow& ensureWindow();

    Services& m_services;
    std::function<QString()> m_url;
    VersionHistory m_history;
    ChangeComparer m_comparer;
    std::unique_ptr<WhatChangedWindow> m_window;

    // The window's update, and whether it waits for its comparison.
    QDateTime m_viewTime;
    bool m_viewWaiting = false;
    bool m_viewHasOlder = false;
    bool m_viewHasNewer = false;

    // The latest update: its notification waits for its comparison, at most kNoticeWaitMs.
    QDateTime m_latestTime;
    qint64 m_latestOldSize = 0;
    qint64 m_latestNewSize = 0;
    bool m_noticeWaiting = false;
    QTimer m_noticeTimer;
    QDateTime m_noticeTime; // the update the posted notification is about
};
