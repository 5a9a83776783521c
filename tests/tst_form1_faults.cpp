// The main window's check against servers and disks that misbehave on purpose. Each
// case looks at what the user sees (the caption, the update log, the sound and the
// flashing icon) and at what is on disk: data.orvl stays whole and unchanged unless
// a complete reply arrived, and no data.tmp is left behind.
//
// The disk cases mount small file systems of their own: the executable enters a
// private mount namespace first thing in main(), while it still has one thread; where
// that is not permitted they skip and say why.
#include "fakes.h"
#include "fixtures.h"
#include "form1.h"
#include "loopbackserver.h"
#include "pagecheck.h"
#include "testsystem.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

using Script = LoopbackServer::Script;
using End = Script::End;
using Failure = CheckOutcome::Failure;
Q_DECLARE_METATYPE(CheckOutcome::Failure)
Q_DECLARE_METATYPE(LoopbackServer::Script)

namespace {

// Why the disk cases cannot run here; empty when they can.
QString g_noPrivateMounts;

bool writeProcFile(const char* path, const QByteArray& text)
{
    QFile f(QString::fromLatin1(path));
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

// A user who may not create a mount namespace may still get one inside a user
// namespace of their own, where they count as root (the kernel permitting).
bool enterUserNamespace()
{
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return false;
    return writeProcFile("/proc/self/setgroups", "deny") &&
           writeProcFile("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1") &&
           writeProcFile("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1");
}

void enterPrivateMountNamespace()
{
    if (::unshare(CLONE_NEWNS) != 0) {
        const int error = errno;
        if (!enterUserNamespace()) {
            g_noPrivateMounts = QStringLiteral("no private mount namespace (unshare: %1)")
                                    .arg(QString::fromLocal8Bit(std::strerror(error)));
            return;
        }
    }
    // Nothing mounted here may reach the rest of the system.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        g_noPrivateMounts = QStringLiteral("mounts cannot be made private (%1)")
                                .arg(QString::fromLocal8Bit(std::strerror(errno)));
}

// A program directory on a small tmpfs of its own, inside this process's own mount
// namespace; unmounted when it goes. `why` says what kept it from being made.
struct SmallDisk
{
    explicit SmallDisk(const QByteArray& options)
    {
        dir = base.filePath(QStringLiteral("program"));
        if (!g_noPrivateMounts.isEmpty()) {
            why = g_noPrivateMounts;
        } else if (!QDir().mkpath(dir)) {
            why = QStringLiteral("cannot make %1").arg(dir);
        } else if (::mount("orvell-test", QFile::encodeName(dir).constData(), "tmpfs",
                           MS_NOSUID | MS_NODEV, options.constData()) != 0) {
            why = QStringLiteral("cannot mount a tmpfs: %1")
                      .arg(QString::fromLocal8Bit(std::strerror(errno)));
        } else {
            mounted = true;
        }
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH);
    }
    QTemporaryDir base;
    QString dir;
    QString why;
    bool mounted = false;
};

const QByteArray kOldSnapshot = "<html>the page as it was</html>\r\n";

// The main window, started on a config.ini that watches the loopback server.
struct Rig : LoadedMainWindow
{
    explicit Rig(LoopbackServer& server, const QString& programDir = QString(),
                 const QString& page = QStringLiteral("page"))
        : LoadedMainWindow(server.url(page), 0, programDir)
    {
    }
    QString path(const QString& name) const { return t.path(name); }
    // A check that could not write data.tmp: it says so, and nothing else changed.
    void verifyFailedOnDisk() const
    {
        QVERIFY2(caption().startsWith(QLatin1String("Check failed")), qPrintable(caption()));
        QVERIFY2(caption().contains(QLatin1String("data.tmp")), qPrintable(caption()));
        QCOMPARE(snapshot(), kOldSnapshot);
        QVERIFY(!tmpExists()); // gone, and with it the space it took
        QCOMPARE(logLines(), 0);
        QCOMPARE(t.sound.played.size(), 0);
    }
};

} // namespace

class TestForm1Faults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void droppedConnection_data();
    void droppedConnection();
    void hangingServerThenNewCheck_data();
    void hangingServerThenNewCheck();
    void passingFaultsAreNoUpdates_data();
    void passingFaultsAreNoUpdates();
    void urlBeyondAsciiGoesOutPercentEncoded();
    void urlOfOneMebibyte();
    void trickledReplyWhileTheScheduleTicks();
    void endlessHeader();
    void readOnlyProgramDirectory();
    void diskFillsWhileWriting();
    void killedAtRandomMoments();
};

void TestForm1Faults::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("ORVELL"));
}

void TestForm1Faults::droppedConnection_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<qint64>("bodyBytes"); // -1: a body without end
    QTest::addColumn<int>("end");
    QTest::addColumn<Failure>("failure"); // None: the reply is stored

    const QByteArray header = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
    const QByteArray halfHeader = header.left(20);

    // An orderly close ends a reply without a length wherever it comes in the body; before
    // the header's end, or before the length the header announced, the reply is cut short.
    QTest::newRow("closed mid-header")
        << halfHeader << qint64(0) << int(End::Close) << Failure::CutShort;
    QTest::newRow("closed before a byte")
        << QByteArray() << qint64(0) << int(End::Close) << Failure::CutShort;
    QTest::newRow("closed mid-body, short of its length")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5000000\r\n\r\n") << qint64(3 << 20)
        << int(End::Close) << Failure::CutShort;
    QTest::newRow("closed mid-body without a length")
        << header << qint64(3 << 20) << int(End::Close) << Failure::None;
    // A chunked body is whole only with its last chunk: a close or a reset before it cuts
    // the page short.
    const QByteArray inAChunk =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n400000\r\n"; // 4 MiB
    QTest::newRow("closed mid-chunk")
        << inAChunk << qint64(3 << 20) << int(End::Close) << Failure::CutShort;
    QTest::newRow("reset mid-chunk")
        << inAChunk << qint64(3 << 20) << int(End::Reset) << Failure::CutShort;
    // A reset is a failure wherever it comes, even after the last byte.
    QTest::newRow("reset mid-header")
        << halfHeader << qint64(0) << int(End::Reset) << Failure::ConnectionError;
    QTest::newRow("reset before a byte")
        << QByteArray() << qint64(0) << int(End::Reset) << Failure::ConnectionError;
    QTest::newRow("reset mid-body")
        << header << qint64(3 << 20) << int(End::Reset) << Failure::ConnectionError;
    QTest::newRow("reset after the whole reply")
        << header + "<html>new</html>" << qint64(0) << int(End::Reset) << Failure::ConnectionError;
    // A server that streams without end is cut off at the page bound (8 MiB here).
    QTest::newRow("endless body") << header << qint64(-1) << int(End::Close)
                                  << Failure::PageTooLarge;
}

void TestForm1Faults::droppedConnection()
{
    QFETCH(QByteArray, head);
    QFETCH(qint64, bodyBytes);
    QFETCH(int, end);
    QFETCH(Failure, failure);

    LoopbackServer server;
    Script script;
    script.pieces = {head};
    script.fillBytes = bodyBytes;
    script.fillUnit = "b";
    script.end = End(end);
    server.setScript(script);

    Rig rig(server);
    rig.form->check().setLimits({.maxPageBytes = 8 << 20});
    rig.setSnapshot(kOldSnapshot);
    const CheckOutcome outcome = rig.check();
    QCOMPARE(outcome.failure, failure);

    QVERIFY(!QFile::exists(rig.path(QStringLiteral("data.tmp"))));
    if (failure == Failure::None) {
        const qsizetype blank = head.indexOf("\r\n\r\n");
        const QByteArray body = head.mid(blank + 4) + QByteArray(bodyBytes, 'b');
        QCOMPARE(rig.caption(), QStringLiteral("Connection Closed"));
        QCOMPARE(QFileInfo(rig.path(QStringLiteral("data.orvl"))).size(), body.size() + 2);
        QVERIFY(readFile(rig.path(QStringLiteral("data.orvl"))) == body + "\r\n");
        QCOMPARE(rig.logLines(), 1);
        QCOMPARE(rig.t.sound.played.size(), 1);
        QVERIFY(rig.flashing());
    } else {
        QVERIFY2(rig.caption() != QLatin1String("Connection Closed"), qPrintable(rig.caption()));
        QCOMPARE(readFile(rig.path(QStringLiteral("data.orvl"))), kOldSnapshot);
        QCOMPARE(rig.logLines(), 0);
        QCOMPARE(rig.t.sound.played.size(), 0);
        QVERIFY(!rig.flashing());
    }
    if (end == int(End::Reset) && failure == Failure::ConnectionError)
        QVERIFY2(rig.caption().contains(QLatin1String("reset"), Qt::CaseInsensitive),
                 qPrintable(rig.caption()));
    if (bodyBytes < 0)
        QCOMPARE(rig.caption(), QStringLiteral("Check failed: the page is larger than 8 MiB"));
    // No connection is left open: the endless one was closed by the program at once.
    QTRY_COMPARE(server.openConnections(), 0);
}

void TestForm1Faults::hangingServerThenNewCheck_data()
{
    QTest::addColumn<bool>("answers");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QString>("caption");     // while the server hangs
    QTest::addColumn<QByteArray>("received"); // in data.tmp meanwhile

    const QByteArray header = "HTTP/1.1 200 OK\r\n\r\n";
    QTest::newRow("accepts and never answers")
        << false << QByteArray() << "Connection Estabilished" << QByteArray();
    QTest::newRow("half a header, then silence")
        << true << header.left(8) << "Fetching data" << QByteArray();
    QTest::newRow("half a body, then silence") << true << header + "<html>half"
                                               << "Fetching data" << QByteArray("<html>half");
}

void TestForm1Faults::hangingServerThenNewCheck()
{
    QFETCH(bool, answers);
    QFETCH(QByteArray, head);
    QFETCH(QString, caption);
    QFETCH(QByteArray, received);

    Script hanging = Script::sent({head}, 0, End::Hold);
    hanging.answer = answers;
    LoopbackServer server;
    server.setScripts({hanging, Script::reply("<html>second</html>")});

    Rig rig(server);
    rig.setSnapshot(kOldSnapshot);
    rig.form->FetchURL();
    QTRY_COMPARE(server.requests().size(), 1);
    QTRY_COMPARE(rig.caption(), caption);
    // data.tmp, made when the connection came up, holds the body so far and nothing else.
    QTRY_COMPARE(readFile(rig.path(QStringLiteral("data.tmp"))), received);
    // Without the server's close nothing is compared or replaced.
    QCOMPARE(readFile(rig.path(QStringLiteral("data.orvl"))), kOldSnapshot);
    QCOMPARE(rig.logLines(), 0);

    // The program stays responsive: the next check starts over the hanging one.
    rig.check();
    QCOMPARE(rig.caption(), QStringLiteral("Connection Closed"));
    QCOMPARE(readFile(rig.path(QStringLiteral("data.orvl"))),
             QByteArray("<html>second</html>\r\n"));
    QVERIFY(!QFile::exists(rig.path(QStringLiteral("data.tmp"))));
    QCOMPARE(rig.logLines(), 1);
    // The hanging connection was closed by the program, not left open.
    QTRY_COMPARE(server.closedByClient(), 1);
    QTRY_COMPARE(server.openConnections(), 0);
}

void TestForm1Faults::passingFaultsAreNoUpdates_data()
{
    QTest::addColumn<QString>("certificate"); // empty: http
    QTest::addColumn<Script>("fault");
    QTest::addColumn<Failure>("failure");
    const Script cut = Script::replyWithLength(kOldSnapshot.left(10), kOldSnapshot.size() - 2);
    QTest::newRow("server error") << ""
                                  << Script::answered("503 Service Unavailable", "<p>busy</p>")
                                  << Failure::ServerError;
    QTest::newRow("cut short") << "" << cut << Failure::CutShort;
    QTest::newRow("cut short, with TLS's close alert") << "good" << cut << Failure::CutShort;
    const Script chunksCut =
        Script::chunked(kOldSnapshot.chopped(2), {.sizes = {7}, .last = false});
    QTest::newRow("chunks cut before the last") << "" << chunksCut << Failure::CutShort;
    QTest::newRow("chunks cut before the last, with TLS's close alert")
        << "good" << chunksCut << Failure::CutShort;
}

void TestForm1Faults::passingFaultsAreNoUpdates()
{
    // The server fails once, then serves the page as it was: nothing is reported, at the
    // fault or at the page's return.
    QFETCH(QString, certificate);
    QFETCH(Script, fault);
    QFETCH(Failure, failure);
    ORVELL_SKIP_TLS_SERVER_UNDER_WINE(certificate);
    LoopbackServer server(certificate);
    server.setScripts({fault, Script::reply(kOldSnapshot.chopped(2))});
    Rig rig(server);
    rig.setSnapshot(kOldSnapshot);

    QCOMPARE(rig.check().failure, failure);
    QCOMPARE(rig.snapshot(), kOldSnapshot);
    QVERIFY(!rig.tmpExists());
    QCOMPARE(rig.check().result, CheckOutcome::Result::Unchanged);
    QCOMPARE(rig.snapshot(), kOldSnapshot);
    QCOMPARE(rig.logLines(), 0);
    QCOMPARE(rig.t.sound.played.size(), 0);
    QVERIFY(!rig.flashing());
}

void TestForm1Faults::urlBeyondAsciiGoesOutPercentEncoded()
{
    // A path as config.ini holds it, in UTF-8: accented letters, CJK, a space, a query. It
    // goes out as its UTF-8 bytes, percent-encoded; "%" and printable ASCII as they are.
    const QByteArray path = "caf\xc3\xa9/\xe6\x97\xa5\xe6\x9c\xac a%20?q=\xc3\xbc";
    LoopbackServer server;
    server.setScript(Script::reply("<html>page</html>"));
    Rig rig(server, QString(), QString::fromUtf8(path));

    rig.check();
    QCOMPARE(rig.caption(), QStringLiteral("Connection Closed"));
    const QByteArray request = server.lastRequest();
    QCOMPARE(request.left(request.indexOf("\r\n")),
             "GET /caf%C3%A9/%E6%97%A5%E6%9C%AC%20a%20?q=%C3%BC HTTP/1.1");
}

void TestForm1Faults::urlOfOneMebibyte()
{
    // A request far larger than the socket takes at once goes out whole.
    const QByteArray path = "long?" + QByteArray(1 << 20, 'q');
    LoopbackServer server;
    server.setScript(Script::reply("<html>page</html>"));
    Rig rig(server, QString(), QString::fromUtf8(path));

    rig.check();
    QCOMPARE(rig.caption(), QStringLiteral("Connection Closed"));
    const QByteArray request = server.lastRequest();
    QCOMPARE(request.size(), 57 + 1 + path.size() + rig.form->check().HostName.size());
    QVERIFY(request.startsWith("GET /" + path + " HTTP/1.1\r\n"));
}

void TestForm1Faults::trickledReplyWhileTheScheduleTicks()
{
    // 3 bytes every 10 ms: the reply takes about 2.5 s to arrive.
    const QByteArray body = QByteArray("<html>").append(QByteArray(700, 't')).append("</html>");
    Script trickle = Script::reply(body);
    trickle.pieceBytes = 3;
    trickle.pieceIntervalMs = 10;
    LoopbackServer server;
    server.setScript(trickle);

    Rig rig(server);
    rig.setSnapshot(kOldSnapshot);
    rig.form->Timer1.start(); // the schedule runs (its clock reaches no mark)
    QSignalSpy ticks(&rig.form->Timer1, &QTimer::timeout);

    // How long the event loop goes without running a 20 ms timer, while the reply
    // trickles in.
    QElapsedTimer sinceLast;
    qint64 longestGap = 0;
    QTimer probe;
    probe.setInterval(20);
    QObject::connect(&probe, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceLast.restart()); });
    sinceLast.start();
    probe.start();

    rig.form->FetchURL();
    QTRY_COMPARE(rig.caption(), QStringLiteral("Fetching data"));
    QCOMPARE(rig.waitForCheck(30000).result, CheckOutcome::Result::Changed);
    probe.stop();

    QCOMPARE(rig.caption(), QStringLiteral("Connection Closed"));
    QCOMPARE(readFile(rig.path(QStringLiteral("data.orvl"))), body + "\r\n");
    QCOMPARE(rig.logLines(), 1);
    // The schedule ticked on while the reply came in, and nothing held the loop.
    QVERIFY2(ticks.count() >= 2, qPrintable(QString::number(ticks.count())));
    QVERIFY2(longestGap < 500, qPrintable(QStringLiteral("%1 ms").arg(longestGap)));
}

void TestForm1Faults::endlessHeader()
{
    Script endless = Script::sent({"HTTP/1.1 200 OK\r\n"}, 0, End::Hold);
    endless.fillUnit = "X-Filler: " + QByteArray(60, 'f') + "\r\n";
    endless.fillBytes = -1;
    LoopbackServer server;
    server.setScript(endless);

    Rig rig(server);
    rig.setSnapshot(kOldSnapshot);
    rig.check(60000);

    QVERIFY2(rig.caption().startsWith(QLatin1String("Check failed")), qPrintable(rig.caption()));
    QVERIFY2(rig.caption().contains(QLatin1String("header")), qPrintable(rig.caption()));
    QCOMPARE(readFile(rig.path(QStringLiteral("data.orvl"))), kOldSnapshot);
    QVERIFY(!QFile::exists(rig.path(QStringLiteral("data.tmp"))));
    QCOMPARE(rig.logLines(), 0);
    // The program gave up after the limit: it closed the connection, held no more
    // than the limit and one read, and the server could not push more than that and
    // the sockets' buffers.
    QTRY_COMPARE(server.closedByClient(), 1);
    QVERIFY(rig.form->check().ResponseText.size() <=
            PageCheck::kMaxHeaderBytes + QtHttpSocket::kChunkBytes);
    QVERIFY2(server.bytesSent() < PageCheck::kMaxHeaderBytes + (16 << 20),
             qPrintable(QString::number(server.bytesSent())));
}

void TestForm1Faults::readOnlyProgramDirectory()
{
    SmallDisk disk("size=1m,mode=0755");
    if (!disk.mounted)
        QSKIP(qPrintable(disk.why));
    const QString dir = disk.dir;

    LoopbackServer server;
    server.setScript(Script::reply("<html>new and longer</html>"));
    Rig rig(server, dir);
    rig.setSnapshot(kOldSnapshot);
    // Read-only for everybody, root included.
    QVERIFY(::mount(nullptr, QFile::encodeName(dir).constData(), nullptr,
                    MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0);

    rig.check();
    rig.verifyFailedOnDisk();
}

void TestForm1Faults::diskFillsWhileWriting()
{
    SmallDisk disk("size=256k,mode=0755");
    if (!disk.mounted)
        QSKIP(qPrintable(disk.why));

    // A page of 1 MiB does not fit; one of 1 KiB does.
    LoopbackServer server;
    server.setScripts({Script::generated(1 << 20, 'F'), Script::generated(1024, 's')});
    Rig rig(server, disk.dir);
    rig.setSnapshot(kOldSnapshot);

    rig.check();
    rig.verifyFailedOnDisk();
    // With the system's words for the cause: the disk filled in the middle of a write.
    const QString noSpace = QString::fromLocal8Bit(std::strerror(ENOSPC));
    QVERIFY2(rig.caption().endsWith(QLatin1String("data.tmp: ") + noSpace),
             qPrintable(rig.caption()));
    QTRY_COMPARE(server.openConnections(), 0);

    rig.check();
    QCOMPARE(rig.caption(), QStringLiteral("Connection Closed"));
    QCOMPARE(readFile(rig.path(QStringLiteral("data.orvl"))), QByteArray(1024, 's') + "\r\n");
    QCOMPARE(rig.logLines(), 1);
}

void TestForm1Faults::killedAtRandomMoments()
{
    // Three pages of different sizes in turn; the largest takes long enough to write
    // that many kills land in the middle of data.tmp.
    const QList<QPair<qint64, char>> pages{{1000, 'a'}, {4 << 20, 'b'}, {150000, 'c'}};
    QList<Script> scripts;
    for (const auto& [size, fill] : pages)
        scripts.append(Script::generated(size, fill));
    LoopbackServer server;
    server.setScripts(scripts);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString snapshot = dir.filePath(QStringLiteral("data.orvl"));
    // A killed process cannot remove its own temporary folders: they go in one of the
    // test's, which goes with the test.
    QTemporaryDir temporaries;
    QVERIFY(temporaries.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), temporaries.path());
    auto isCompleteBody = [&](const QByteArray& bytes) {
        for (const auto& [size, fill] : pages) {
            if (bytes.size() == size + 2 && bytes.endsWith("\r\n") && bytes.count(fill) == size)
                return true;
        }
        return false;
    };

    // ORVELL_KILL_SEED replays a run: its seed is printed first.
    const quint32 seed = qEnvironmentVariableIsSet("ORVELL_KILL_SEED")
                             ? quint32(qEnvironmentVariableIntValue("ORVELL_KILL_SEED"))
                             : QRandomGenerator::global()->generate();
    qInfo("kill moments from seed %u (ORVELL_KILL_SEED=%u replays them)", seed, seed);
    QRandomGenerator random(seed);
    constexpr int kRounds = 25;
    int checksSeen = 0;
    for (int round = 0; round < kRounds; ++round) {
        QProcess loop;
        loop.setProcessEnvironment(environment);
        loop.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        loop.start(QStringLiteral(ORVELL_CHECKLOOP), {dir.path(), server.url()});
        QVERIFY2(loop.waitForStarted(), qPrintable(loop.errorString()));
        // Let it complete a few checks, then kill it at a random moment of the next.
        const int completions = 1 + int(random.bounded(3));
        QByteArray out;
        QVERIFY(QTest::qWaitFor(
            [&] {
                out += loop.readAllStandardOutput();
                return out.count('\n') >= completions || loop.state() == QProcess::NotRunning;
            },
            60000));
        QCOMPARE(loop.state(), QProcess::Running);
        checksSeen += int(out.count('\n'));
        QSignalSpy finished(&loop, &QProcess::finished);
        QTimer::singleShot(int(random.bounded(40)), &loop, [&loop] { loop.kill(); });
        QVERIFY(finished.wait(20000));
        QCOMPARE(loop.exitStatus(), QProcess::CrashExit);

        QVERIFY2(QFile::exists(snapshot), qPrintable(QStringLiteral("round %1").arg(round)));
        const QByteArray bytes = readFile(snapshot);
        QVERIFY2(isCompleteBody(bytes),
                 qPrintable(QStringLiteral("round %1: data.orvl of %2 bytes is no complete body")
                                .arg(round)
                                .arg(bytes.size())));
    }
    qInfo("%d rounds, %d checks completed between kills", kRounds, checksSeen);
}

int main(int argc, char** argv)
{
    // Before QApplication starts any thread.
    enterPrivateMountNamespace();
    QApplication app(argc, argv);
    TestForm1Faults test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_form1_faults.moc"
