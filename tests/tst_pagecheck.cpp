// One check of the page against a real loopback server: the URL split, the request
// bytes, the reply cut at its blank line and streamed into data.tmp, the comparison
// with the snapshot, and every way a check can fail without touching the snapshot.
#include "fakes.h"
#include "httpsocket.h"
#include "loopbackserver.h"
#include "pagecheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

// The main window as the check sees it.
class RecordingHost : public CheckHost
{
public:
    QString urlText() const override { return url; }
    void setCaption(const QString& c) override { caption = c; }
    void setWorkingText(const QByteArray& body) override { text1 = body; }
    void setSizes(const QString& n, const QString& o) override
    {
        label2 = n;
        label3 = o;
    }
    void logUpdate() override { calls << QStringLiteral("log:") + snapshotNow(); }
    void announceUpdate() override { calls << QStringLiteral("announce:") + snapshotNow(); }

    QString snapshotNow() const
    {
        QFile f(dir + QStringLiteral("/data.orvl"));
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }

    QString url;
    QString dir;
    QString caption = QStringLiteral("ORVELL 1");
    QByteArray text1 = "old text";
    QString label2 = QStringLiteral("Label2");
    QString label3 = QStringLiteral("Label3");
    QStringList calls;
};

// A socket that records what it is asked and delivers scripted pieces on demand.
class ScriptedSocket : public HttpSocket
{
public:
    void Close() override { calls << QStringLiteral("Close"); }
    void setLocalPort(std::uint16_t port) override
    {
        calls << QStringLiteral("LocalPort %1").arg(port);
    }
    void Connect(const QString& host, std::uint16_t port) override
    {
        calls << QStringLiteral("Connect %1 %2").arg(host).arg(port);
    }
    void SendData(const QByteArray& data) override { sent += data; }
    void GetData(QByteArray& data) override { data = pending; }

    void deliver(const QByteArray& piece)
    {
        pending = piece;
        listener()->wscHTTP_DataArrival(piece.size());
    }
    void connectNow() { listener()->wscHTTP_Connect(); }
    void closeNow() { listener()->wscHTTP_Close(); }

    QStringList calls;
    QByteArray sent;
    QByteArray pending;
};

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A check with the real socket, a recording host and a fresh program directory.
struct Rig
{
    Rig()
    {
        host.dir = t.programDir();
        check = std::make_unique<PageCheck>(t.services(), host, std::make_unique<QtHttpSocket>());
    }
    QString tmp() const { return t.programDir() + QStringLiteral("/data.tmp"); }
    QString orvl() const { return t.programDir() + QStringLiteral("/data.orvl"); }
    void setSnapshot(const QByteArray& bytes) { t.writeFile(QStringLiteral("data.orvl"), bytes); }
    // Fetches from the server and waits for the caption to settle on `caption`.
    bool fetch(LoopbackServer& server, const QString& path = QStringLiteral("/page"))
    {
        host.url = QStringLiteral("http://") + server.hostName() + path;
        const int before = server.connections;
        check->FetchURL();
        return QTest::qWaitFor([&] {
            return server.connections > before &&
                   (host.caption == QLatin1String("Connection Closed") ||
                    host.caption.startsWith(QLatin1String("Check failed")));
        });
    }

    TestServices t;
    RecordingHost host;
    std::unique_ptr<PageCheck> check;
};

LoopbackServer::Script reply(const QByteArray& body)
{
    return {{"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n" + body}};
}

} // namespace

class TestPageCheck : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("ORVELL")); }
    void splitsTheUrl_data();
    void splitsTheUrl();
    void emptyUrlOnlyAsks();
    void rejectedAtOnceShowsTheError_data();
    void rejectedAtOnceShowsTheError();
    void requestBytesForHostAndPath_data();
    void requestBytesForHostAndPath();
    void blankLineSplitAcrossPieces_data();
    void blankLineSplitAcrossPieces();
    void replyInManyPiecesFromTheServer();
    void comparesSizes_data();
    void comparesSizes();
    void bodyIsStoredByteForByte();
    void incompleteHeaderIsAFailedFetch_data();
    void incompleteHeaderIsAFailedFetch();
    void laterSocketErrorsChangeOnlyTheCaption_data();
    void laterSocketErrorsChangeOnlyTheCaption();
    void unwritableTmpLeavesTheSnapshot_data();
    void unwritableTmpLeavesTheSnapshot();
    void failedRenameLeavesTheSnapshot();
    void secondFetchAbandonsTheFirst();
    void sizesAre64Bit();
    void keepsOnlyABoundedBodyInMemory();
};

void TestPageCheck::splitsTheUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("hostName");
    QTest::addColumn<QString>("requestPath");
    QTest::addColumn<QString>("connect");
    QTest::newRow("http:// H / P") << "http://watch.example/a/b?q=1"
                                   << "watch.example"
                                   << "/a/b?q=1"
                                   << "watch.example 80";
    QTest::newRow("H / P") << "watch.example/a b"
                           << "watch.example"
                           << "/a b"
                           << "watch.example 80";
    QTest::newRow("http:// H") << "http://watch.example"
                               << "watch.example"
                               << "/"
                               << "watch.example 80";
    QTest::newRow("H") << "watch.example"
                       << "watch.example"
                       << "/"
                       << "watch.example 80";
    QTest::newRow("http:// H /") << "http://watch.example/"
                                 << "watch.example"
                                 << "/"
                                 << "watch.example 80";
    QTest::newRow("http:// alone") << "http://"
                                   << ""
                                   << "/"
                                   << " 80";
    QTest::newRow("capitalised scheme") << "HTTP://watch.example/p"
                                        << "HTTP:"
                                        << "//watch.example/p"
                                        << "HTTP: 80";
    QTest::newRow("other scheme") << "ftp://watch.example/p"
                                  << "ftp:"
                                  << "//watch.example/p"
                                  << "ftp: 80";
    QTest::newRow("port used") << "http://watch.example:8080/page"
                               << "watch.example:8080"
                               << "/page"
                               << "watch.example 8080";
    QTest::newRow("port without path") << "watch.example:8080"
                                       << "watch.example:8080"
                                       << "/"
                                       << "watch.example 8080";
    QTest::newRow("port out of range") << "watch.example:70000/"
                                       << "watch.example:70000"
                                       << "/"
                                       << "watch.example:70000 80";
    QTest::newRow("IPv6 with port") << "[::1]:8080/x"
                                    << "[::1]:8080"
                                    << "/x"
                                    << "[::1] 8080";
    QTest::newRow("blank kept") << " watch.example/"
                                << " watch.example"
                                << "/"
                                << " watch.example 80";
}

void TestPageCheck::splitsTheUrl()
{
    QFETCH(QString, url);
    QFETCH(QString, hostName);
    QFETCH(QString, requestPath);
    QFETCH(QString, connect);
    TestServices t;
    RecordingHost host;
    host.url = url;
    auto owned = std::make_unique<ScriptedSocket>();
    ScriptedSocket& socket = *owned;
    PageCheck check(t.services(), host, std::move(owned));
    check.ResponseText = "stale";
    check.HeaderStripped = True;
    socket.calls.clear();
    check.FetchURL();
    QCOMPARE(check.HostName, hostName);
    QCOMPARE(check.RequestPath, requestPath);
    QCOMPARE(socket.calls, (QStringList{"Close", "LocalPort 0", "Connect " + connect}));
    QVERIFY(check.ResponseText.isEmpty());
    QCOMPARE(check.HeaderStripped, False);
    QVERIFY(host.text1.isEmpty());
}

void TestPageCheck::emptyUrlOnlyAsks()
{
    TestServices t;
    RecordingHost host;
    auto owned = std::make_unique<ScriptedSocket>();
    ScriptedSocket& socket = *owned;
    PageCheck check(t.services(), host, std::move(owned));
    check.HostName = QStringLiteral("previous");
    check.ResponseText = "previous body";
    socket.calls.clear();
    check.FetchURL();
    QCOMPARE(t.messageBox.shown.size(), 1);
    QCOMPARE(t.messageBox.shown[0].text, QStringLiteral("Please, enter the URL to retrieve."));
    QCOMPARE(t.messageBox.shown[0].icon, MessageBoxService::Icon::Information);
    QCOMPARE(t.messageBox.shown[0].title, QStringLiteral("ORVELL"));
    QVERIFY(socket.calls.isEmpty());
    QCOMPARE(check.HostName, QStringLiteral("previous"));
    QCOMPARE(check.ResponseText, QByteArray("previous body"));
    QCOMPARE(host.text1, QByteArray("old text"));
}

void TestPageCheck::rejectedAtOnceShowsTheError_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("number");
    QTest::newRow("http:// alone") << "http://" << int(QtHttpSocket::InvalidHost);
    QTest::newRow("capitalised scheme") << "HTTP://127.0.0.1/" << int(QtHttpSocket::InvalidHost);
    QTest::newRow("port 0") << "127.0.0.1:0/" << int(QtHttpSocket::InvalidHost);
}

void TestPageCheck::rejectedAtOnceShowsTheError()
{
    QFETCH(QString, url);
    QFETCH(int, number);
    Rig r;
    r.setSnapshot("snapshot\r\n");
    r.host.url = url;
    r.check->FetchURL();
    QCOMPARE(r.t.messageBox.shown.size(), 1);
    const auto& box = r.t.messageBox.shown[0];
    const QStringList lines = box.text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QStringLiteral("Error was occurred."));
    QCOMPARE(lines[1], QStringLiteral("Error #: %1").arg(number));
    QVERIFY(lines[2].startsWith(QLatin1String("Description: ")) && lines[2].size() > 13);
    QCOMPARE(box.icon, MessageBoxService::Icon::Exclamation);
    QCOMPARE(box.title, QStringLiteral("ORVELL"));
    QCOMPARE(r.host.caption, QStringLiteral("ORVELL 1"));
    QCOMPARE(readFile(r.orvl()), QByteArray("snapshot\r\n"));
}

void TestPageCheck::requestBytesForHostAndPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("path /") << "/";
    QTest::newRow("path with query") << "/dir/page.html?a=1&b=%20";
}

void TestPageCheck::requestBytesForHostAndPath()
{
    QFETCH(QString, path);
    LoopbackServer server;
    server.scripts = {{{}, 0, LoopbackServer::Script::End::Hold}};
    Rig r;
    r.host.url = server.hostName() + path;
    r.check->FetchURL();
    QTRY_COMPARE(r.host.caption, QStringLiteral("Connection Estabilished"));
    const QByteArray h = server.hostName().toLatin1();
    const QByteArray expected = "GET " + path.toLatin1() + " HTTP/1.1\r\nHost: " + h +
                                "\r\nAccept: */*\r\nConnection: close\r\n\r\n";
    QTRY_COMPARE(server.requests.value(0), expected);
    QCOMPARE(expected.size(), 57 + path.size() + h.size()); // 58 + host for "/"
    QCOMPARE(r.check->HostName, server.hostName());
}

void TestPageCheck::blankLineSplitAcrossPieces_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::newRow("CR LF | CR LF") << QList<QByteArray>{"HTTP/1.1 200 OK\r\n", "\r\nbo", "dy"};
    QTest::newRow("CR | LF CR LF") << QList<QByteArray>{"HTTP/1.1 200 OK\r", "\n\r\nbody"};
    QTest::newRow("CR LF CR | LF") << QList<QByteArray>{"HTTP/1.1 200 OK\r\n\r", "\nbody"};
    QTest::newRow("byte by byte") << [] {
        QList<QByteArray> l;
        for (char c : QByteArray("HTTP/1.1 200 OK\r\nA: b\r\n\r\nbody"))
            l << QByteArray(1, c);
        return l;
    }();
    QTest::newRow("second blank line is body") << QList<QByteArray>{"H\r\n\r\n", "bo", "dy"};
}

void TestPageCheck::blankLineSplitAcrossPieces()
{
    QFETCH(QList<QByteArray>, pieces);
    TestServices t;
    RecordingHost host;
    host.url = QStringLiteral("h/");
    auto owned = std::make_unique<ScriptedSocket>();
    ScriptedSocket& socket = *owned;
    PageCheck check(t.services(), host, std::move(owned));
    check.FetchURL();
    socket.connectNow();
    for (const QByteArray& piece : pieces) {
        socket.deliver(piece);
        QCOMPARE(host.caption, QStringLiteral("Fetching data"));
    }
    socket.closeNow();
    QCOMPARE(host.caption, QStringLiteral("Connection Closed"));
    QCOMPARE(check.ResponseText, QByteArray("body"));
    QCOMPARE(host.text1, QByteArray("body"));
    QCOMPARE(check.HeaderStripped, True);
    QCOMPARE(readFile(t.programDir() + "/data.orvl"), QByteArray("body\r\n"));
}

void TestPageCheck::replyInManyPiecesFromTheServer()
{
    LoopbackServer server;
    server.scripts = {{{"HTTP/1.1 200 OK\r\n", "X: 1\r\n\r", "\nfirst ", "second ", "third"}, 15}};
    Rig r;
    QVERIFY(r.fetch(server));
    QCOMPARE(r.host.caption, QStringLiteral("Connection Closed"));
    QCOMPARE(readFile(r.orvl()), QByteArray("first second third\r\n"));
}

void TestPageCheck::comparesSizes_data()
{
    QTest::addColumn<QByteArray>("snapshot"); // "<none>": no data.orvl yet
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<QString>("label2");
    QTest::addColumn<QString>("label3");
    QTest::newRow("equal length, other bytes")
        << QByteArray("abcd\r\n") << QByteArray("wxyz") << false << "6"
        << "6";
    QTest::newRow("same body") << QByteArray("abcd\r\n") << QByteArray("abcd") << false << "6"
                               << "6";
    QTest::newRow("one byte more") << QByteArray("abcd\r\n") << QByteArray("abcde") << true << "7"
                                   << "6";
    QTest::newRow("one byte less") << QByteArray("abcd\r\n") << QByteArray("abc") << true << "5"
                                   << "6";
    QTest::newRow("empty body") << QByteArray("abcd\r\n") << QByteArray() << true << "2"
                                << "6";
    QTest::newRow("first check") << QByteArray("<none>") << QByteArray("abcd") << false << "6"
                                 << "";
}

void TestPageCheck::comparesSizes()
{
    QFETCH(QByteArray, snapshot);
    QFETCH(QByteArray, body);
    QFETCH(bool, reported);
    QFETCH(QString, label2);
    QFETCH(QString, label3);
    LoopbackServer server;
    server.scripts = {reply(body)};
    Rig r;
    if (snapshot != "<none>")
        r.setSnapshot(snapshot);
    QVERIFY(r.fetch(server));
    QCOMPARE(r.host.caption, QStringLiteral("Connection Closed"));
    QCOMPARE(r.host.label2, label2);
    QCOMPARE(r.host.label3, label3);
    // The new body is the snapshot in every case; data.tmp is gone.
    QCOMPARE(readFile(r.orvl()), body + "\r\n");
    QVERIFY(!QFileInfo::exists(r.tmp()));
    // A change: the log line and the announcement, each seeing the new snapshot.
    const QString now = QString::fromLatin1(body + "\r\n");
    const QStringList expected =
        reported ? QStringList{"log:" + now, "announce:" + now} : QStringList();
    QCOMPARE(r.host.calls, expected);
}

void TestPageCheck::bodyIsStoredByteForByte()
{
    static const char raw[] = "a\0b\rc\nd\xff\xfe\x80\xc3(\x00\r\n\r\nend";
    const QByteArray body(raw, sizeof raw - 1);
    LoopbackServer server;
    server.scripts = {reply(body)};
    Rig r;
    r.setSnapshot("x\r\n");
    QVERIFY(r.fetch(server));
    QCOMPARE(readFile(r.orvl()), body + "\r\n");
    QCOMPARE(r.host.text1, body);
    QCOMPARE(r.host.label2, QString::number(body.size() + 2));
}

void TestPageCheck::incompleteHeaderIsAFailedFetch_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::newRow("empty reply") << QList<QByteArray>{};
    QTest::newRow("no blank line") << QList<QByteArray>{"HTTP/1.1 200 OK\r\nA: b\r\n"};
    QTest::newRow("only a blank line's start") << QList<QByteArray>{"HTTP/1.1 200 OK\r\n\r"};
    QTest::newRow("header over 1 MiB") << QList<QByteArray>{
        "HTTP/1.1 200 OK\r\nX: " + QByteArray(PageCheck::kMaxHeaderBytes, 'x'), "\r\n\r\nbody"};
}

void TestPageCheck::incompleteHeaderIsAFailedFetch()
{
    QFETCH(QList<QByteArray>, pieces);
    LoopbackServer server;
    server.scripts = {{pieces, 10}};
    Rig r;
    r.setSnapshot("snapshot\r\n");
    QVERIFY(r.fetch(server));
    QVERIFY2(r.host.caption.startsWith(QLatin1String("Check failed: ")),
             qPrintable(r.host.caption));
    QCOMPARE(readFile(r.orvl()), QByteArray("snapshot\r\n"));
    QVERIFY(!QFileInfo::exists(r.tmp()));
    QVERIFY(r.host.calls.isEmpty());
    QCOMPARE(r.host.label2, QStringLiteral("Label2"));
}

void TestPageCheck::laterSocketErrorsChangeOnlyTheCaption_data()
{
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("caption");
    QTest::newRow("connection refused") << true << "Connection refused";
    QTest::newRow("reset in the body") << false << "Connection reset by peer";
}

void TestPageCheck::laterSocketErrorsChangeOnlyTheCaption()
{
    QFETCH(bool, refused);
    QFETCH(QString, caption);
    LoopbackServer server;
    server.scripts = {
        {{"HTTP/1.1 200 OK\r\n\r\npartial body"}, 30, LoopbackServer::Script::End::Reset}};
    Rig r;
    r.setSnapshot("snapshot\r\n");
    r.host.url = refused ? QStringLiteral("127.0.0.1:%1/").arg(LoopbackServer::closedPort())
                         : server.hostName() + QStringLiteral("/");
    r.check->FetchURL();
    QTRY_COMPARE(r.host.caption, caption);
    QTest::qWait(30);
    QCOMPARE(r.host.caption, caption);
    QCOMPARE(readFile(r.orvl()), QByteArray("snapshot\r\n"));
    QVERIFY(!QFileInfo::exists(r.tmp()));
    QVERIFY(r.host.calls.isEmpty());
    QCOMPARE(r.host.label2, QStringLiteral("Label2"));
    QVERIFY(r.t.messageBox.shown.isEmpty());
}

void TestPageCheck::unwritableTmpLeavesTheSnapshot_data()
{
    QTest::addColumn<bool>("diskFull");
    QTest::addColumn<QString>("caption");
    QTest::newRow("cannot create") << false << "Check failed: cannot create data.tmp";
    QTest::newRow("disk full") << true << "Check failed: cannot write data.tmp";
}

void TestPageCheck::unwritableTmpLeavesTheSnapshot()
{
    QFETCH(bool, diskFull);
    QFETCH(QString, caption);
    LoopbackServer server;
    server.scripts = {reply("new body")};
    Rig r;
    r.setSnapshot("snapshot\r\n");
    if (diskFull) {
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full");
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), r.tmp())); // every write: no space
    } else {
        QVERIFY(QDir(r.t.programDir()).mkdir(QStringLiteral("data.tmp"))); // not a file
    }
    QVERIFY(r.fetch(server));
    QVERIFY2(r.host.caption.startsWith(caption), qPrintable(r.host.caption));
    QCOMPARE(readFile(r.orvl()), QByteArray("snapshot\r\n"));
    QVERIFY(r.host.calls.isEmpty());
    QCOMPARE(r.host.label2, QStringLiteral("Label2"));
    if (diskFull)
        QVERIFY(!QFileInfo(r.tmp()).isSymLink()); // the partial data.tmp is removed
}

void TestPageCheck::failedRenameLeavesTheSnapshot()
{
    LoopbackServer server;
    server.scripts = {reply("new body")};
    Rig r;
    // A snapshot that cannot be replaced by a file: a directory with something in it.
    QVERIFY(QDir(r.t.programDir()).mkpath(QStringLiteral("data.orvl/inside")));
    QVERIFY(r.fetch(server));
    QVERIFY2(r.host.caption.startsWith(
                 QLatin1String("Check failed: cannot rename data.tmp to data.orvl")),
             qPrintable(r.host.caption));
    QVERIFY(QFileInfo(r.orvl() + "/inside").isDir());
    QVERIFY(!QFileInfo::exists(r.tmp()));
    QVERIFY(r.host.calls.isEmpty());
}

void TestPageCheck::secondFetchAbandonsTheFirst()
{
    LoopbackServer server;
    server.scripts = {
        {{"HTTP/1.1 200 OK\r\n\r\nfirst, partial"}, 0, LoopbackServer::Script::End::Hold},
        reply("second")};
    Rig r;
    r.setSnapshot("snapshot\r\n");
    r.host.url = QStringLiteral("http://") + server.hostName() + QStringLiteral("/");
    r.check->FetchURL();
    QTRY_VERIFY(QFileInfo(r.tmp()).size() > 0); // the first body is streaming in
    QVERIFY(r.fetch(server));
    QCOMPARE(r.host.caption, QStringLiteral("Connection Closed"));
    QCOMPARE(server.connections, 2);
    QTRY_COMPARE(server.disconnectedByClient, 1); // the first connection was closed
    QCOMPARE(readFile(r.orvl()), QByteArray("second\r\n"));
    QCOMPARE(r.check->ResponseText, QByteArray("second"));
    QVERIFY(!QFileInfo::exists(r.tmp()));
    QCOMPARE(r.host.calls.size(), 2); // 10 bytes against 8: one change
}

void TestPageCheck::sizesAre64Bit()
{
    // A sparse snapshot of 4 GiB + 12 bytes: cut to 32 bits it would equal the new
    // file's 12 bytes.
    LoopbackServer server;
    server.scripts = {reply("ten bytes!")};
    Rig r;
    {
        QFile f(r.orvl());
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (!f.resize((qint64(1) << 32) + 12))
            QSKIP("the file system cannot hold a sparse 4 GiB file");
    }
    QVERIFY(r.fetch(server));
    QCOMPARE(r.host.label2, QStringLiteral("12"));
    QCOMPARE(r.host.label3, QStringLiteral("4294967308"));
    QCOMPARE(r.host.calls.size(), 2);
    QCOMPARE(QFileInfo(r.orvl()).size(), 12);
}

void TestPageCheck::keepsOnlyABoundedBodyInMemory()
{
    QByteArray body(PageCheck::kKeptBodyBytes + 4096, 'b');
    body[0] = 'a';
    LoopbackServer server;
    server.scripts = {reply(body)};
    Rig r;
    QVERIFY(r.fetch(server));
    QCOMPARE(r.check->ResponseText.size(), PageCheck::kKeptBodyBytes);
    QCOMPARE(r.host.text1, body.left(PageCheck::kKeptBodyBytes));
    QCOMPARE(readFile(r.orvl()), body + "\r\n");
}

QTEST_GUILESS_MAIN(TestPageCheck)
#include "tst_pagecheck.moc"
