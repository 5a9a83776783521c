#pragma once

#include <QFile>
#include <QString>

// The two files of a check in the program's folder: data.tmp takes the new body as it
// arrives; once whole, it replaces the snapshot data.orvl in one step, so that the
// snapshot is never missing or half written. A fetch that ends otherwise removes its
// data.tmp. The calls that can fail give an empty text, or the reason in words
// ("cannot write data.tmp: No space left on device").
class SnapshotFiles
{
public:
    SnapshotFiles() = default;
    ~SnapshotFiles() { discardTmp(); }
    SnapshotFiles(const SnapshotFiles&) = delete;
    SnapshotFiles& operator=(const SnapshotFiles&) = delete;

    // The folder of the files, from the next data.tmp on.
    void setFolder(const QString& folder) { m_folder = folder; }
    QString tmpPath() const;
    QString snapshotPath() const;
    // Where replaceSnapshotKeeping() leaves the snapshot it replaced: data.old.
    QString replacedPath() const;

    // Makes data.tmp empty and ready, unless this fetch's is open already.
    [[nodiscard]] QString openTmp();
    // Adds to data.tmp. A short write is tried again for the rest: a disk that fills up
    // takes part of a piece without a word, and only the next write says why it stops.
    [[nodiscard]] QString appendTmp(const char* data, qint64 size);
    // Closes data.tmp, which must then hold `size` bytes.
    [[nodiscard]] QString closeTmp(qint64 size);
    // The size of data.orvl; -1 when there is none.
    qint64 snapshotSize() const;
    // Puts the closed data.tmp in data.orvl's place.
    [[nodiscard]] QString replaceSnapshot();
    // The same, but the snapshot it replaced stays as data.old (where the system can keep
    // it in the same step), for a caller that keeps the versions of an update.
    [[nodiscard]] QString replaceSnapshotKeeping();
    // Removes this fetch's data.tmp, open or left by a failed write or rename.
    void discardTmp();

private:
    QString m_folder;
    QFile m_tmp; // this fetch's data.tmp, open from the connection to the close
};
