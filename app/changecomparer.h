#pragma once

#include "textdiff.h"
#include "versionhistory.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QThread>
#include <optional>

// What one kept update's comparison found: the difference between the page's text before
// and after, or why there is none to show.
struct Comparison
{
    QDateTime time; // the update's
    TextDiff diff;  // when `message` is empty
    // Instead of a difference: the page is not text, a version was not kept or is missing.
    QString message;
    qint64 oldSize = 0; // the pages' sizes as they were kept
    qint64 newSize = 0;

    // The first added and removed lines that say something, for the desktop's notification.
    std::optional<QString> firstAddedLine() const;
    std::optional<QString> firstRemovedLine() const;
};

// Reads and compares kept updates in a thread of its own, so that a large page never holds
// up the user-interface thread. One comparison runs at a time; a request made while one
// runs replaces any other still waiting (requests never pile up), and the answer of a
// request that a later one superseded is dropped.
class ChangeComparer : public QObject
{
    Q_OBJECT
public:
    explicit ChangeComparer(QObject* parent = nullptr);
    // Waits for a comparison that runs (it cannot be stopped halfway; it is bounded).
    ~ChangeComparer() override;

    void compare(const KeptUpdate& update);

    // The work itself, on the calling thread: the two pages read (opened so that the next
    // check can still replace data.orvl), their text, the difference.
    [[nodiscard]] static Comparison compareNow(const KeptUpdate& update);

Q_SIGNALS:
    // On the thread of the comparer, for the latest request only.
    void compared(const Comparison& result);

private:
    class Worker;
    void deliver(quint64 request, const Comparison& result);

    QThread m_thread;
    Worker* m_worker = nullptr;
    quint64 m_latest = 0; // the number of the latest request
};
