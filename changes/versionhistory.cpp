#include "versionhistory.h"

#include "hardlink.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <algorithm>

namespace {

const QString kUpdateSuffix = QStringLiteral(".update");
const QString kPageSuffix = QStringLiteral(".page");

QByteArray stateName(KeptPage::State state)
{
    switch (state) {
    case KeptPage::State::Kept:
        return "kept";
    case KeptPage::State::TooLarge:
        return "too-large";
    case KeptPage::State::NotKept:
    case KeptPage::State::Missing:
        break;
    }
    return "not-kept";
}

KeptPage::State stateFrom(const QByteArray& name)
{
    if (name == "kept")
        return KeptPage::State::Kept;
    if (name == "too-large")
        return KeptPage::State::TooLarge;
    return name == "not-kept" ? KeptPage::State::NotKept : KeptPage::State::Missing;
}

// Whether two files hold the same bytes: one file under two names, or equal contents.
bool sameBytes(const QString& a, const QString& b)
{
    if (FileLinks::sameFile(a, b))
        return true;
    QFile fa(a), fb(b);
    if (fa.size() != fb.size() || !fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    while (!fa.atEnd()) {
        const QByteArray chunk = fa.read(1 << 20);
        if (chunk.isEmpty() || chunk != fb.read(chunk.size()))
            return false;
    }
    return true;
}

// A header value on one line of the index.
QByteArray oneLine(QByteArray value)
{
    return value.replace('\r', ' ').replace('\n', ' ').trimmed();
}

} // namespace

QString KeptPage::whyUnavailable() const
{
    switch (state) {
    case State::Kept:
        return QString();
    case State::TooLarge:
        return QCoreApplication::translate("KeptPage",
                                           "This version was larger than 32 MiB and was not kept.");
    case State::NotKept:
        return QCoreApplication::translate("KeptPage", "This version could not be kept.");
    case State::Missing:
        break;
    }
    return QCoreApplication::translate("KeptPage",
                                       "This version is missing: its file was removed or changed.");
}

// One update's index as written: the pages by their file names in `history`.
struct VersionHistory::Index
{
    QString name; // "<time>", the index's file name without ".update"
    QDateTime time;
    struct Page
    {
        QString file;
        QByteArray type;
        qint64 size = 0;
        KeptPage::State state = KeptPage::State::Missing; // what a broken index says
    } before, after;
};

VersionHistory::VersionHistory(const QString& programDir)
    : m_dir(QDir(programDir).filePath(QStringLiteral("history")))
{
}

VersionHistory::RecordResult VersionHistory::record(const QDateTime& time,
                                                    const QString& replacedSnapshot,
                                                    const QByteArray& beforeType,
                                                    const QString& newBody,
                                                    const QByteArray& afterType)
{
    RecordResult result;
    // Whatever happens, the replaced snapshot is not left behind.
    struct RemoveAtEnd
    {
        QString path;
        ~RemoveAtEnd()
        {
            if (!path.isEmpty())
                QFile::remove(path);
        }
    } replaced{replacedSnapshot};

    const QFileInfo dirInfo(m_dir);
    if (dirInfo.exists() && !dirInfo.isDir()) {
        result.why = QStringLiteral("%1 is not a folder").arg(QDir::toNativeSeparators(m_dir));
        return result;
    }
    if (!QDir().mkpath(m_dir)) {
        result.why = QStringLiteral("cannot create %1").arg(QDir::toNativeSeparators(m_dir));
        return result;
    }
    QDir dir(m_dir);

    // A name of its own, even for two updates in one millisecond.
    const QString stamp = time.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmsszzz'Z'"));
    QString name = stamp;
    for (int n = 2; dir.exists(name + kUpdateSuffix) || dir.exists(name + "-before" + kPageSuffix);
         ++n)
        name = stamp + QLatin1Char('-') + QString::number(n);

    Index index;
    index.name = name;
    index.before.state = index.after.state = KeptPage::State::NotKept;
    index.time = time;
    QStringList made; // files this record made, removed again if its index cannot be written

    // Before: the previous update's after when the snapshot was not replaced since,
    // else the replaced snapshot itself, moved in.
    index.before.type = oneLine(beforeType);
    index.before.size = QFileInfo(replacedSnapshot).size();
    if (index.before.size > kMaxPageBytes) {
        index.before.state = KeptPage::State::TooLarge;
    } else {
        const std::optional<KeptUpdate> previous = latest();
        if (previous && previous->after.available() &&
            sameBytes(previous->after.path, replacedSnapshot)) {
            index.before.file = QFileInfo(previous->after.path).fileName();
            index.before.state = KeptPage::State::Kept;
        } else {
            const QString file = name + QStringLiteral("-before") + kPageSuffix;
            if (QFile::rename(replacedSnapshot, dir.filePath(file))) {
                index.before.file = file;
                index.before.state = KeptPage::State::Kept;
                made << file;
            } else if (result.why.isEmpty()) {
                result.why = QStringLiteral("cannot move the replaced snapshot into %1")
                                 .arg(QDir::toNativeSeparators(m_dir));
            }
        }
    }

    // After: a second name for the new body (a copy where there is none).
    index.after.type = oneLine(afterType);
    index.after.size = QFileInfo(newBody).size();
    if (index.after.size > kMaxPageBytes) {
        index.after.state = KeptPage::State::TooLarge;
    } else {
        const QString file = name + QStringLiteral("-after") + kPageSuffix;
        const QString path = dir.filePath(file);
        if (FileLinks::hardLink(newBody, path).isEmpty() || QFile::copy(newBody, path)) {
            index.after.file = file;
            index.after.state = KeptPage::State::Kept;
            made << file;
        } else if (result.why.isEmpty()) {
            result.why = QStringLiteral("cannot keep the new page in %1")
                             .arg(QDir::toNativeSeparators(m_dir));
        }
    }

    // The index last, whole or not at all: a reader never sees half an update.
    QSaveFile out(dir.filePath(name + kUpdateSuffix));
    QByteArray text = "time=" + time.toUTC().toString(Qt::ISODateWithMs).toLatin1() + '\n';
    for (const auto& [key, page] : {std::pair{"before", &index.before}, {"after", &index.after}}) {
        const QByteArray k(key);
        text += k + ".file=" + QFile::encodeName(page->file) + '\n';
        text += k + ".type=" + page->type + '\n';
        text += k + ".size=" + QByteArray::number(page->size) + '\n';
        text += k + ".state=" + stateName(page->state) + '\n';
    }
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit()) {
        result.why = QStringLiteral("cannot write %1: %2")
                         .arg(QDir::toNativeSeparators(out.fileName()), out.errorString());
        for (const QString& file : made)
            dir.remove(file);
        return result;
    }
    result.recorded = true;
    prune();
    return result;
}

QList<VersionHistory::Index> VersionHistory::readIndexes() const
{
    QList<Index> indexes;
    QDir dir(m_dir);
    const QStringList names =
        dir.entryList({QLatin1Char('*') + kUpdateSuffix}, QDir::Files, QDir::Name);
    for (const QString& fileName : names) {
        QFile f(dir.filePath(fileName));
        // An index is a few hundred bytes; anything far larger is not one of ours.
        if (f.size() > 16384 || !f.open(QIODevice::ReadOnly))
            continue;
        Index index;
        index.name = fileName.chopped(kUpdateSuffix.size());
        for (const QByteArray& line : f.readAll().split('\n')) {
            const qsizetype eq = line.indexOf('=');
            if (eq < 0)
                continue;
            const QByteArray key = line.left(eq);
            const QByteArray value = line.mid(eq + 1).trimmed();
            if (key == "time") {
                index.time = QDateTime::fromString(QString::fromLatin1(value), Qt::ISODateWithMs);
                continue;
            }
            Index::Page* page = key.startsWith("before.")  ? &index.before
                                : key.startsWith("after.") ? &index.after
                                                           : nullptr;
            if (!page)
                continue;
            const QByteArray field = key.mid(key.indexOf('.') + 1);
            if (field == "file")
                page->file = QFileInfo(QFile::decodeName(value)).fileName(); // never elsewhere
            else if (field == "type")
                page->type = value;
            else if (field == "size")
                page->size = value.toLongLong();
            else if (field == "state")
                page->state = stateFrom(value);
        }
        // A broken index still has its time in its name.
        if (!index.time.isValid()) {
            index.time =
                QDateTime::fromString(index.name.left(18), QStringLiteral("yyyyMMdd'T'HHmmsszzz"));
            index.time.setTimeSpec(Qt::UTC);
        }
        if (index.time.isValid())
            indexes.append(index);
    }
    std::stable_sort(indexes.begin(), indexes.end(),
                     [](const Index& a, const Index& b) { return a.time < b.time; });
    return indexes;
}

QList<KeptUpdate> VersionHistory::updates() const
{
    QDir dir(m_dir);
    QList<KeptUpdate> out;
    const QList<Index> indexes = readIndexes();
    for (auto it = indexes.crbegin(); it != indexes.crend(); ++it) {
        KeptUpdate u;
        u.time = it->time;
        for (const auto& [from, to] : {std::pair{&it->before, &u.before}, {&it->after, &u.after}}) {
            to->contentType = from->type;
            to->size = from->size;
            to->state = from->state;
            if (from->state != KeptPage::State::Kept)
                continue;
            // Removed, truncated or grown by hand: missing, not shown wrong.
            const QFileInfo file(dir.filePath(from->file));
            if (from->file.isEmpty() || !file.isFile() || file.size() != from->size)
                to->state = KeptPage::State::Missing;
            else
                to->path = file.filePath();
        }
        out.append(u);
    }
    return out;
}

std::optional<KeptUpdate> VersionHistory::latest() const
{
    const QList<KeptUpdate> all = updates();
    if (all.isEmpty())
        return std::nullopt;
    return all.first();
}

void VersionHistory::prune() const
{
    QDir dir(m_dir);
    QList<Index> indexes = readIndexes();
    auto filesOf = [](const QList<Index>& list) {
        QSet<QString> files;
        for (const Index& index : list) {
            for (const Index::Page* page : {&index.before, &index.after}) {
                if (!page->file.isEmpty())
                    files.insert(page->file);
            }
        }
        return files;
    };
    auto bytesOf = [&](const QSet<QString>& files) {
        qint64 total = 0;
        for (const QString& file : files)
            total += QFileInfo(dir.filePath(file)).size();
        return total;
    };
    // The oldest first, until both bounds hold (the newest update always stays).
    QSet<QString> kept = filesOf(indexes);
    while (indexes.size() > 1 && (indexes.size() > kMaxUpdates || bytesOf(kept) > kMaxTotalBytes)) {
        dir.remove(indexes.first().name + kUpdateSuffix);
        indexes.removeFirst();
        kept = filesOf(indexes);
    }
    // Pages no index names: those of removed updates, or of a record that stopped
    // before its index was written.
    for (const QString& file : dir.entryList({QLatin1Char('*') + kPageSuffix}, QDir::Files)) {
        if (!kept.contains(file))
            dir.remove(file);
    }
}

bool writeSnapshotType(const QString& programDir, const QByteArray& contentType)
{
    QSaveFile f(QDir(programDir).filePath(QStringLiteral("data.type")));
    const QByteArray line = oneLine(contentType) + '\n';
    return f.open(QIODevice::WriteOnly) && f.write(line) == line.size() && f.commit();
}

QByteArray readSnapshotType(const QString& programDir)
{
    QFile f(QDir(programDir).filePath(QStringLiteral("data.type")));
    if (f.size() > 4096 || !f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readLine().trimmed();
}
