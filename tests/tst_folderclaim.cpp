// One watcher per program directory: a later start from the same directory (however it
// is named) finds the first one and has it show its window, or end (`--exit`); other
// directories are free.
#include "folderclaim.h"
#include "testsystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>

namespace {

// What claimElsewhere gives when the later start could not claim at all, or got no answer.
constexpr int kNotClaimed = -1;

// A later start's claim (or its request to end the watcher, "exit") runs in a thread of
// its own: it waits for the holder's answer, which the holder gives from this thread's
// event loop. The outcome as a number, or kNotClaimed.
int claimElsewhere(const QString& dir, FolderClaim::Request request = FolderClaim::Request::Show)
{
    std::atomic<bool> done = false;
    int outcome = kNotClaimed;
    std::unique_ptr<QThread> later(QThread::create([&] {
        QtFolderClaim claim(dir);
        if (request == FolderClaim::Request::Exit) {
            outcome = int(claim.askToExit());
        } else if (const Result<FolderClaim::Outcome> claimed = claim.claim()) {
            outcome = int(claimed.value());
        }
        done = true;
    }));
    later->start();
    const bool answered =
        QTest::qWaitFor([&] { return done.load(); }, 3 * QtFolderClaim::kAnswerMs);
    later->wait();
    return answered ? outcome : kNotClaimed;
}

// This start's claim: the outcome as a number, or kNotClaimed.
int claimed(FolderClaim& claim)
{
    const Result<FolderClaim::Outcome> result = claim.claim();
    return result ? int(result.value()) : kNotClaimed;
}

} // namespace

class TestFolderClaim : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void laterStart_data();
    void laterStart();
    void askedBeforeTheHolderIsReady();
    void theNameGoesWithItsHolder();
};

void TestFolderClaim::laterStart_data()
{
    QTest::addColumn<QString>("laterDir"); // relative to the temporary root
    QTest::addColumn<int>("request");      // what the later start asks for
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("served"); // what the watcher was asked, a word each time
    using R = FolderClaim::Outcome;
    const int show = int(FolderClaim::Request::Show);
    const int exit = int(FolderClaim::Request::Exit);
    QTest::newRow("same folder") << "watched folder" << show << int(R::OtherShown) << "show";
    QTest::newRow("same folder, trailing separator")
        << "watched folder/" << show << int(R::OtherShown) << "show";
    QTest::newRow("same folder through a link") << "link" << show << int(R::OtherShown) << "show";
    QTest::newRow("same folder through ..")
        << "other/../watched folder" << show << int(R::OtherShown) << "show";
    QTest::newRow("same folder by its short name")
        << "<short>" << show << int(R::OtherShown) << "show";
    // File names differ only in case on Windows, not on Linux.
    const bool windows = QSysInfo::productType() == QLatin1String("windows");
    QTest::newRow("the name in other case")
        << "WATCHED Folder" << show << int(windows ? R::OtherShown : R::Claimed)
        << QString(windows ? "show" : "");
    QTest::newRow("another folder") << "other" << show << int(R::Claimed) << "";
    // `--exit`: the watcher is asked to end as "Exit" does; where none runs, nothing is.
    QTest::newRow("same folder, asked to end")
        << "watched folder" << exit << int(R::OtherEnding) << "exit";
    QTest::newRow("same folder through a link, asked to end")
        << "link" << exit << int(R::OtherEnding) << "exit";
    QTest::newRow("another folder, asked to end") << "other" << exit << int(R::NoneRunning) << "";
}

void TestFolderClaim::laterStart()
{
    QFETCH(QString, laterDir);
    QFETCH(int, request);
    QFETCH(int, expected);
    QFETCH(QString, served);
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath("watched folder") && QDir(root.path()).mkpath("other"));
    if (laterDir == QLatin1String("link") &&
        !QFile::link(root.filePath("watched folder"), root.filePath("link")))
        QSKIP("no symbolic links here");
    if (laterDir == QLatin1String("link") && !QFileInfo(root.filePath("link")).isDir())
        QSKIP("links here are shortcut files, which the system does not follow");
    if (laterDir == QLatin1String("<short>"))
        laterDir = TestSystem::shortPath(root.filePath("watched folder"));
    else
        laterDir = root.path() + QLatin1Char('/') + laterDir;

    QtFolderClaim first(root.filePath("watched folder"));
    QCOMPARE(claimed(first), int(FolderClaim::Outcome::Claimed));
    QStringList asked;
    first.setRequestHandler([&asked](FolderClaim::Request r) {
        asked << (r == FolderClaim::Request::Exit ? "exit" : "show");
    });

    QCOMPARE(claimElsewhere(laterDir, FolderClaim::Request(request)), expected);
    QCOMPARE(asked.join(' '), served);
}

void TestFolderClaim::askedBeforeTheHolderIsReady()
{
    // The first start is still loading when the second asks: the request waits until
    // the window can be shown, then it is answered.
    QTemporaryDir dir;
    QtFolderClaim first(dir.path());
    QCOMPARE(claimed(first), int(FolderClaim::Outcome::Claimed));
    int shown = 0;
    QTimer::singleShot(500, [&] { first.setRequestHandler([&shown](auto) { ++shown; }); });
    QCOMPARE(claimElsewhere(dir.path()), int(FolderClaim::Outcome::OtherShown));
    QCOMPARE(shown, 1);
}

void TestFolderClaim::theNameGoesWithItsHolder()
{
    QTemporaryDir dir;
    {
        QtFolderClaim first(dir.path());
        QCOMPARE(claimed(first), int(FolderClaim::Outcome::Claimed));
    }
    QtFolderClaim next(dir.path());
    QCOMPARE(claimed(next), int(FolderClaim::Outcome::Claimed));
    QVERIFY(QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                .isEmpty()); // nothing left in the folder
}

QTEST_GUILESS_MAIN(TestFolderClaim)
#include "tst_folderclaim.moc"
