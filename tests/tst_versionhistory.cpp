// The kept versions of the page: each update's page before and after, shared between
// consecutive updates, the bounds in count and size, pages too large, a `history` that
// cannot be written, and files changed by hand.
#include "versionhistory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kHtml = "text/html; charset=iso-8859-1";
const QDateTime kStart(QDate(2026, 12, 10), QTime(13, 9, 59), Qt::UTC);

// A program folder where checks replace data.orvl as the program does: the new body is
// written beside it, the old snapshot leaves under a name the check would remove.
struct Rig
{
    QTemporaryDir t;
    QString path(const QString& name) const { return t.filePath(name); }
    QString history() const { return path(QStringLiteral("history")); }

    // A page of `size` bytes that starts with `text` (the rest is a hole: big pages cost
    // no disk).
    void writePage(const QString& name, const QByteArray& text, qint64 size = -1)
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(text) == text.size());
        QVERIFY(f.resize(size < 0 ? text.size() : size));
    }
    // A check that found an update at kStart + `minute`.
    VersionHistory::RecordResult update(int minute, const QByteArray& body, qint64 size = -1)
    {
        replaceSilently(body, size);
        return VersionHistory(t.path()).record(kStart.addSecs(60 * minute),
                                               path(QStringLiteral("data.tmp")), kHtml,
                                               path(QStringLiteral("data.orvl")), "text/plain");
    }
    // A check of equal size: the snapshot replaced, nothing recorded.
    void replaceSilently(const QByteArray& body, qint64 size = -1)
    {
        writePage(QStringLiteral("data.new"), body, size);
        QFile::remove(path(QStringLiteral("data.tmp")));
        QFile::rename(path(QStringLiteral("data.orvl")), path(QStringLiteral("data.tmp")));
        QVERIFY(QFile::rename(path(QStringLiteral("data.new")), path(QStringLiteral("data.orvl"))));
    }
    QList<KeptUpdate> updates() const { return VersionHistory(t.path()).updates(); }
    QStringList pageFiles() const
    {
        return QDir(history()).entryList({QStringLiteral("*.page")}, QDir::Files);
    }
};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(cannot read)");
}

} // namespace

class TestVersionHistory : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void keepsBeforeAndAfterSharingBetweenUpdates();
    void snapshotReplacedInBetweenIsKeptApart();
    void bound_data();
    void bound();
    void pageTooLarge();
    void unwritable_data();
    void unwritable();
    void changedByHand_data();
    void changedByHand();
    void snapshotType();
};

void TestVersionHistory::keepsBeforeAndAfterSharingBetweenUpdates()
{
    Rig r;
    r.writePage(QStringLiteral("data.orvl"), "first");
    QVERIFY(r.update(1, "second").recorded);
    QVERIFY(r.update(2, "third!").recorded);
    QVERIFY(!QFile::exists(r.path(QStringLiteral("data.tmp")))); // moved in, not copied
    QCOMPARE(readAll(r.path(QStringLiteral("data.orvl"))), QByteArray("third!"));

    // Read again as after a restart: newest first.
    const QList<KeptUpdate> u = r.updates();
    QCOMPARE(u.size(), 2);
    QCOMPARE(u[0].time, kStart.addSecs(120));
    QCOMPARE(readAll(u[0].before.path), QByteArray("second"));
    QCOMPARE(readAll(u[0].after.path), QByteArray("third!"));
    QCOMPARE(u[0].before.contentType, kHtml);
    QCOMPARE(u[0].after.contentType, QByteArray("text/plain"));
    QCOMPARE(readAll(u[1].before.path), QByteArray("first"));
    // One update's after is the next one's before: one file.
    QCOMPARE(u[0].before.path, u[1].after.path);
    QCOMPARE(r.pageFiles().size(), 3);
    QCOMPARE(VersionHistory(r.t.path()).latest()->time, u[0].time);
}

void TestVersionHistory::snapshotReplacedInBetweenIsKeptApart()
{
    Rig r;
    r.writePage(QStringLiteral("data.orvl"), "first");
    QVERIFY(r.update(1, "second").recorded);
    r.replaceSilently("SECOND"); // same size: no update
    QVERIFY(r.update(2, "third!").recorded);
    const QList<KeptUpdate> u = r.updates();
    QCOMPARE(readAll(u[1].after.path), QByteArray("second")); // its own after, not today's
    QCOMPARE(readAll(u[0].before.path), QByteArray("SECOND"));
    QCOMPARE(r.pageFiles().size(), 4);
}

void TestVersionHistory::bound_data()
{
    QTest::addColumn<int>("updates");
    QTest::addColumn<qint64>("pageSize");
    QTest::addColumn<int>("kept");

    QTest::newRow("count") << 12 << qint64(10) << VersionHistory::kMaxUpdates;
    // Each update holds its before and its after (the snapshot is replaced in between):
    // six of 40 MiB fit in 256 MiB.
    QTest::newRow("size") << 8 << qint64(20 << 20) << 6;
}

void TestVersionHistory::bound()
{
    QFETCH(int, updates);
    QFETCH(qint64, pageSize);
    QFETCH(int, kept);
    Rig r;
    r.writePage(QStringLiteral("data.orvl"), "start", pageSize);
    for (int i = 1; i <= updates; ++i) {
        if (pageSize > 1000)
            r.replaceSilently("between " + QByteArray::number(i), pageSize);
        QVERIFY(r.update(i, "update " + QByteArray::number(i), pageSize).recorded);
    }
    const QList<KeptUpdate> u = r.updates();
    QCOMPARE(u.size(), kept);
    // The oldest went first.
    QCOMPARE(u.first().time, kStart.addSecs(60 * updates));
    QCOMPARE(u.last().time, kStart.addSecs(60 * (updates - kept + 1)));
    qint64 bytes = 0;
    for (const QString& file : r.pageFiles())
        bytes += QFileInfo(QDir(r.history()).filePath(file)).size();
    QVERIFY(bytes <= VersionHistory::kMaxTotalBytes);
    for (const KeptUpdate& k : u)
        QVERIFY(k.before.available() && k.after.available());
}

void TestVersionHistory::pageTooLarge()
{
    Rig r;
    r.writePage(QStringLiteral("data.orvl"), "small");
    QVERIFY(r.update(1, "large", VersionHistory::kMaxPageBytes + 1).recorded);
    const KeptUpdate u = r.updates().first();
    QVERIFY(u.before.available());
    QCOMPARE(u.after.state, KeptPage::State::TooLarge);
    QVERIFY(u.after.whyUnavailable().contains(QStringLiteral("32 MiB")));
    QCOMPARE(r.pageFiles().size(), 1);
    QCOMPARE(QFileInfo(r.path(QStringLiteral("data.orvl"))).size(),
             VersionHistory::kMaxPageBytes + 1);
}

void TestVersionHistory::unwritable_data()
{
    QTest::addColumn<QString>("history");
    QTest::newRow("history is a file") << QStringLiteral("history");
    // A folder nobody can make, root included: its parent is a file.
    QTest::newRow("cannot be made") << QStringLiteral("file/history");
}

void TestVersionHistory::unwritable()
{
    QFETCH(QString, history);
    Rig r;
    r.writePage(history.section(u'/', 0, 0), "not a folder");
    r.writePage(QStringLiteral("data.orvl"), "old");
    r.replaceSilently("new");
    VersionHistory h(QFileInfo(r.path(history)).path());
    const auto result = h.record(kStart, r.path(QStringLiteral("data.tmp")), kHtml,
                                 r.path(QStringLiteral("data.orvl")), kHtml);
    QVERIFY(!result.recorded);
    QVERIFY(!result.why.isEmpty());
    QVERIFY(!QFile::exists(r.path(QStringLiteral("data.tmp"))));
    QCOMPARE(readAll(r.path(QStringLiteral("data.orvl"))), QByteArray("new"));
    QVERIFY(h.updates().isEmpty());
    QVERIFY(!h.latest());
}

void TestVersionHistory::changedByHand_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("page deleted") << QStringLiteral("delete");
    QTest::newRow("page truncated") << QStringLiteral("truncate");
    QTest::newRow("index broken") << QStringLiteral("index");
    QTest::newRow("history emptied") << QStringLiteral("empty");
}

void TestVersionHistory::changedByHand()
{
    QFETCH(QString, change);
    Rig r;
    r.writePage(QStringLiteral("data.orvl"), "first");
    QVERIFY(r.update(1, "second").recorded);
    const KeptUpdate before = r.updates().first();
    const QDir dir(r.history());
    if (change == QLatin1String("delete")) {
        QVERIFY(QFile::remove(before.before.path));
    } else if (change == QLatin1String("truncate")) {
        QVERIFY(QFile(before.before.path).resize(2));
    } else if (change == QLatin1String("index")) {
        const QString index = dir.entryList({QStringLiteral("*.update")}).first();
        QFile f(dir.filePath(index));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("\0garbage=\n==", 11) == 11);
    } else {
        QVERIFY(QDir(r.history()).removeRecursively());
    }

    // Read: the page says it is missing; the rest still shows.
    const QList<KeptUpdate> hurt = r.updates();
    if (change == QLatin1String("empty")) {
        QVERIFY(hurt.isEmpty());
    } else {
        QCOMPARE(hurt.size(), 1);
        QCOMPARE(hurt[0].time, before.time);
        QCOMPARE(hurt[0].before.state, KeptPage::State::Missing);
        QVERIFY(hurt[0].before.whyUnavailable().contains(QStringLiteral("missing")));
        QVERIFY(hurt[0].before.path.isEmpty());
    }
    // A later update records as ever, and shares nothing broken.
    QVERIFY(r.update(2, "third!").recorded);
    const KeptUpdate next = r.updates().first();
    QCOMPARE(readAll(next.before.path), QByteArray("second"));
    QCOMPARE(readAll(next.after.path), QByteArray("third!"));
}

void TestVersionHistory::snapshotType()
{
    QTemporaryDir t;
    QCOMPARE(readSnapshotType(t.path()), QByteArray());
    QVERIFY(writeSnapshotType(t.path(), "text/html; charset=utf-8"));
    QCOMPARE(readSnapshotType(t.path()), QByteArray("text/html; charset=utf-8"));
    QVERIFY(QFile::exists(t.filePath(QStringLiteral("data.type"))));
}

QTEST_GUILESS_MAIN(TestVersionHistory)
#include "tst_versionhistory.moc"
