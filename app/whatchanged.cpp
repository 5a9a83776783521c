#include "whatchanged.h"

#include "artwork.h"
#include "checksummary.h"
#include "services.h"
#include "updatenotice.h"
#include "whatchangedwindow.h"

#include <QDir>

WhatChanged::WhatChanged(Services& services, std::function<QString()> watchedUrl, QObject* parent)
    : QObject(parent), m_services(services), m_url(std::move(watchedUrl)),
      m_history(services.programDir)
{
    connect(&m_comparer, &ChangeComparer::compared, this, &WhatChanged::compared);
    m_noticeTimer.setSingleShot(true);
    m_noticeTimer.setInterval(kNoticeWaitMs);
    connect(&m_noticeTimer, &QTimer::timeout, this, [this] { postNotice(std::nullopt); });
    if (m_services.desktopNotifier)
        m_services.desktopNotifier->setActionHandler(
            [this](DesktopNotifier::Action action) { noticeAction(action); });
}

WhatChanged::~WhatChanged()
{
    if (m_services.desktopNotifier)
        m_services.desktopNotifier->setActionHandler({});
}

void WhatChanged::checkStored(const CheckOutcome& outcome, const QDateTime& logTime)
{
    if (outcome.result == CheckOutcome::Result::Failed)
        return;
    const QString dir = m_services.programDir;
    if (outcome.result == CheckOutcome::Result::Changed) {
        // The type data.type still holds is the replaced snapshot's.
        const QString snapshot = QDir(dir).filePath(QStringLiteral("data.orvl"));
        const QString replaced = outcome.replacedSnapshot.isEmpty()
                                     ? QDir(dir).filePath(QStringLiteral("data.old"))
                                     : outcome.replacedSnapshot;
        const VersionHistory::RecordResult kept = m_history.record(
            logTime, replaced, readSnapshotType(dir), snapshot, outcome.contentType);
        if (!kept.why.isEmpty())
            qWarning("ORVELL: the versions of the update are not all kept: %s",
                     qPrintable(kept.why));
        m_latestTime = logTime;
        m_latestOldSize = outcome.oldSize;
        m_latestNewSize = outcome.newSize;
        // The notification waits a little for the words of the change.
        m_noticeWaiting = true;
        const std::optional<KeptUpdate> latest = m_history.latest();
        if (kept.recorded && latest && latest->time == logTime) {
            m_noticeTimer.start();
            m_comparer.compare(*latest);
        } else {
            postNotice(std::nullopt);
        }
    }
    if (!writeSnapshotType(dir, outcome.contentType))
        qWarning("ORVELL: cannot write data.type in %s", qPrintable(dir));
}

void WhatChanged::showLatest()
{
    const QList<KeptUpdate> updates = m_history.updates();
    if (updates.isEmpty()) {
        ensureWindow().showView(
            ChangeView{QStringLiteral("%1: what changed").arg(CheckSummary::hostText(m_url())),
                       TextDiff{}, tr("No update was kept yet."), false, false});
        return;
    }
    showUpdate(updates, 0);
}

void WhatChanged::showUpdateAt(const QDateTime& time)
{
    const QList<KeptUpdate> updates = m_history.updates();
    for (qsizetype i = 0; i < updates.size(); ++i) {
        if (updates.at(i).time == time) {
            showUpdate(updates, i);
            return;
        }
    }
    // Removed since, or never kept (a history that could not be written).
    m_viewWaiting = false;
    m_viewTime = time;
    ensureWindow().showView(
        ChangeView{title(time), TextDiff{}, tr("No earlier version was kept."), false, false});
}

void WhatChanged::showUpdate(const QList<KeptUpdate>& updates, qsizetype index)
{
    const KeptUpdate& update = updates.at(index);
    m_viewTime = update.time;
    m_viewHasOlder = index + 1 < updates.size();
    m_viewHasNewer = index > 0;
    m_viewWaiting = true;
    ensureWindow().showWaiting(title(update.time));
    m_comparer.compare(update);
}

void WhatChanged::walk(int step)
{
    const QList<KeptUpdate> updates = m_history.updates();
    for (qsizetype i = 0; i < updates.size(); ++i) {
        if (updates.at(i).time == m_viewTime) {
            const qsizetype next = i + step;
            if (next >= 0 && next < updates.size())
                showUpdate(updates, next);
            return;
        }
    }
    showLatest();
}

void WhatChanged::compared(const Comparison& result)
{
    if (m_viewWaiting && result.time == m_viewTime && m_window) {
        m_viewWaiting = false;
        m_window->showView(ChangeView{title(result.time), result.diff, result.message,
                                      m_viewHasOlder, m_viewHasNewer});
    }
    if (result.time == m_latestTime) {
        if (m_noticeWaiting)
            postNotice(result);
        if (result.message.isEmpty())
            Q_EMIT latestCounted(result.diff.added, result.diff.removed);
    }
}

QString WhatChanged::title(const QDateTime& time) const
{
    // The date and time as the update log's line has them.
    const QLocale locale = m_services.clock->locale();
    const QDateTime local = time.toLocalTime();
    return tr("%1: what changed at %2 %3")
        .arg(CheckSummary::hostText(m_url()), Clock::shortDateText(local.date(), locale),
             Clock::longTimeText(local.time(), locale));
}

void WhatChanged::postNotice(const std::optional<Comparison>& comparison)
{
    m_noticeWaiting = false;
    m_noticeTimer.stop();
    if (!m_services.desktopNotifier)
        return;
    UpdateFacts facts;
    facts.host = CheckSummary::hostText(m_url());
    facts.oldSize = m_latestOldSize;
    facts.newSize = m_latestNewSize;
    if (comparison && comparison->message.isEmpty()) {
        facts.firstAddedLine = comparison->firstAddedLine();
        facts.firstRemovedLine = comparison->firstRemovedLine();
    }
    DesktopNotice notice = UpdateNotice::make(facts);
    notice.icon = SystemDesktopNotifier::programIcon(m_services.programDir);
    m_noticeTime = m_latestTime;
    m_services.desktopNotifier->post(notice);
}

void WhatChanged::noticeAction(DesktopNotifier::Action action)
{
    switch (action) {
    case DesktopNotifier::Action::Default:
    case DesktopNotifier::Action::WhatChanged:
        showUpdateAt(m_noticeTime);
        break;
    case DesktopNotifier::Action::OpenPage:
        m_services.urlOpener->open(CheckSummary::browserAddress(m_url()));
        break;
    }
}

void WhatChanged::closeNotice()
{
    m_noticeWaiting = false;
    m_noticeTimer.stop();
    if (m_services.desktopNotifier)
        m_services.desktopNotifier->close();
}

WhatChangedWindow& WhatChanged::ensureWindow()
{
    if (!m_window) {
        m_window = std::make_unique<WhatChangedWindow>();
        m_window->setWindowIcon(Artwork::windowIcon(QStringLiteral("orvell")));
        connect(m_window.get(), &WhatChangedWindow::olderRequested, this, [this] { walk(1); });
        connect(m_window.get(), &WhatChangedWindow::newerRequested, this, [this] { walk(-1); });
        connect(m_window.get(), &WhatChangedWindow::openPageRequested, this,
                [this] { m_services.urlOpener->open(CheckSummary::browserAddress(m_url())); });
    }
    return *m_window;
}
