#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// One page of a kept update: the snapshot it replaced, or the body that replaced it.
struct KeptPage
{
    enum class State
    {
        Kept,     // `path` holds it
        TooLarge, // over VersionHistory::kMaxPageBytes: not kept
        NotKept,  // it could not be stored
        Missing,  // stored, but its file was since removed or changed
    };
    State state = State::NotKept;
    QString path;           // the file, when Kept
    QByteArray contentType; // its reply's Content-Type value (media type and charset)
    qint64 size = 0;        // its size in bytes, as it was recorded

    bool available() const { return state == State::Kept; }
    // Why it cannot be shown, for the view; empty when it can.
    QString whyUnavailable() const;
};

// An update a check found: when, and the page before and after.
struct KeptUpdate
{
    QDateTime time; // the check's time
    KeptPage before;
    KeptPage after;
};

// The pages of the last updates, in a folder `history` in the program's folder: per
// update an index "<time>.update" of key=value lines, and its pages as "<time>-before.page"
// and "<time>-after.page". Where one update's after is the next one's before (the
// snapshot was not replaced in between), they share one file. Files removed or changed
// there by hand, and broken indexes, show as missing pages; they never fail a record.
// Not thread-safe: one caller records, readers read what was completely written (each
// index is written whole, after its pages).
class VersionHistory
{
public:
    static constexpr int kMaxUpdates = 10;
    static constexpr qint64 kMaxTotalBytes = qint64(256) << 20;
    static constexpr qint64 kMaxPageBytes = qint64(32) << 20;

    explicit VersionHistory(const QString& programDir);

    QString dir() const { return m_dir; }

    struct RecordResult
    {
        bool recorded = false; // the update is listed (its pages may still be unavailable)
        QString why;           // what could not be kept, and why; empty when all was
    };
    // Keeps one update. `replacedSnapshot` is the snapshot the check replaced, under a
    // name in the program's folder that the caller would otherwise remove: it is moved
    // in (no copy), and gone after the call whatever happens. `newBody` is the body that
    // replaced it (data.orvl): it gets a second name here (a hard link; a copy where the
    // system has none) and stays where it is. Being one file with data.orvl until the
    // next replacement, a kept "after" must be read on Windows with FILE_SHARE_DELETE
    // (or briefly): an open without it makes the next check's replacement of data.orvl
    // fail. The oldest updates go first beyond
    // kMaxUpdates or kMaxTotalBytes. A `history` that cannot be written changes nothing
    // else: the result says why.
    [[nodiscard]] RecordResult record(const QDateTime& time, const QString& replacedSnapshot,
                                      const QByteArray& beforeType, const QString& newBody,
                                      const QByteArray& afterType);

    // The kept updates, newest first.
    QList<KeptUpdate> updates() const;
    // The newest kept update (also after a restart), if any.
    std::optional<KeptUpdate> latest() const;

private:
    struct Index;
    QList<Index> readIndexes() const;
    void prune() const;

    QString m_dir;
};

// The snapshot's content type, kept beside data.orvl in the file "data.type" of the
// program's folder: what reading the snapshot needs of the reply it came from.
[[nodiscard]] bool writeSnapshotType(const QString& programDir, const QByteArray& contentType);
// Empty when it was never written or cannot be read.
QByteArray readSnapshotType(const QString& programDir);
