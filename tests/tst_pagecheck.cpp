// One check of the page against a real loopback server: the URL split, the request
// bytes, the reply cut at its blank line and streamed into data.tmp, the comparison
// with the snapshot, and every way a check can fail without touching the snapshot.
#include "checkkit.h"
#include "fakes.h"
#include "httpsocket.h"
#include "loopbackserver.h"
#include "pagecheck.h"
#include "tlssocket.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

using Script = LoopbackServer::Script;
using End = Script::End;
using Result = CheckOutcome::Result;

// A check with the real sockets, a recording host and a fresh program directory.
struct Rig
{
    Rig()
    {
        host.programDir = t.programDir();
        check = std::make_unique<PageCheck>(
            t.services(), host, std::make_unique<QtHttpSocket>(),
            std::make_unique<QtTlsSocket>(*t.services().tlsConfiguration));
    }
    QString tmp() const { return t.path(QStringLiteral("data.tmp")); }
    QString orvl() const { return t.path(QStringLiteral("data.orvl")); }
    void setSnapshot(const QByteArray& bytes) { t.writeFile(QStringLiteral("data.orvl"), bytes); }
    // Checks `url` and waits for the check to end.
    bool fetchUrl(const QString& url)
    {
        host.url = url;
        host.outcomes.clear();
        check->FetchURL();
        return QTest::qWaitFor([&] { return host.ended(); });
    }
    bool fetch(LoopbackServer& server, const QString& path = QStringLiteral("page"))
    {
        return fetchUrl(server.url(path));
    }

    TestServices t;
    RecordingCheckHost host;
    std::unique_ptr<PageCheck> check;
};

// A check with scripted sockets, on the http one.
struct ScriptedRig
{
    explicit ScriptedRig(const QString& url = QStringLiteral("h/"))
    {
        host.url = url;
        auto owned = std::make_unique<ScriptedSocket>();
        socket = owned.get();
        check = std::make_unique<PageCheck>(t.services(), host, std::move(owned),
                                            std::make_unique<ScriptedSocket>());
    }
    TestServices t;
    RecordingCheckHost host;
    ScriptedSocket* socket = nullptr;
    std::unique_ptr<PageCheck> check;
};

} // namespace

Q_DECLARE_METATYPE(LoopbackServer::Script)

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
    void httpsReplies_data();
    void httpsReplies();
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
    QTest::newRow("https:// H / P") << "https://watch.example/a?q=1"
                                    << "watch.example"
                                    << "/a?q=1"
                                    << "watch.example 443";
    QTest::newRow("https:// H with port") << "https://watch.example:8443"
                                          << "watch.example:8443"
                                          << "/"
                                          << "watch.example 8443";
    QTest::newRow("capitalised https scheme") << "HTTPS://watch.example/p"
                                              << "HTTPS:"
                                              << "//watch.example/p"
                                              << "HTTPS: 80";
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
    ScriptedRig r(url);
    auto* secure = static_cast<ScriptedSocket*>(&r.check->wscHTTPS());
    const bool https = url.startsWith(QLatin1String("https://"));
    r.check->ResponseText = "stale";
    r.check->HeaderStripped = True;
    r.check->FetchURL();
    QCOMPARE(r.check->HostName, hostName);
    QCOMPARE(r.check->RequestPath, requestPath);
    // The other socket is only closed: a running check over it is abandoned.
    const QStringList used{"Close", "LocalPort 0", "Connect " + connect};
    QCOMPARE(https ? secure->calls : r.socket->calls, used);
    QCOMPARE(https ? r.socket->calls : secure->calls, QStringList{"Close"});
    QVERIFY(r.check->ResponseText.isEmpty());
    QCOMPARE(r.check->HeaderStripped, False);
    QVERIFY(r.host.text1.isEmpty());
}

void TestPageCheck::emptyUrlOnlyAsks()
{
    ScriptedRig r{QString()};
    r.check->HostName = QStringLiteral("previous");
    r.check->ResponseText = "previous body";
    r.check->FetchURL();
    const auto& shown = r.t.messageBox.shown;
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("Please, enter the URL to retrieve."));
    QCOMPARE(shown[0].icon, MessageBoxService::Icon::Information);
    QCOMPARE(shown[0].title, QStringLiteral("ORVELL"));
    QVERIFY(r.socket->calls.isEmpty());
    QCOMPARE(r.check->HostName, QStringLiteral("previous"));
    QCOMPARE(r.check->ResponseText, QByteArray("previous body"));
    QCOMPARE(r.host.text1, QByteArray("old text"));
    QVERIFY(!r.host.ended()); // no check started
}

void TestPageCheck::rejectedAtOnceShowsTheError_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("number");
    QTest::newRow("http:// alone") << "http://" << int(QtHttpSocket::InvalidHost);
    QTest::newRow("capitalised scheme") << "HTTP://127.0.0.1/" << int(QtHttpSocket::InvalidHost);
    QTest::newRow("https:// alone") << "https://" << int(QtHttpSocket::InvalidHost);
    // Port 0 is no port: it stays part of the host text, which is then not a host.
    QTest::newRow("port 0 left in the host") << "127.0.0.1:0/" << int(QtHttpSocket::InvalidHost);
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
    QCOMPARE(r.host.lastResult(), Result::Failed);
    QCOMPARE(readFile(r.orvl()), QByteArray("snapshot\r\n"));
}

void TestPageCheck::requestBytesForHostAndPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("certificate"); // empty: http
    QTest::newRow("http, path /") << "/"
                                  << "";
    QTest::newRow("http, path with query") << "/dir/page.html?a=1&b=%20"
                                           << "";
    QTest::newRow("https, the same bytes") << "/dir/page.html?a=1&b=%20"
                                           << "good";
}

void TestPageCheck::requestBytesForHostAndPath()
{
    QFETCH(QString, path);
    QFETCH(QString, certificate);
    LoopbackServer server(certificate);
    server.setScript(Script::sent({}, 0, End::Hold));
    Rig r;
    r.host.url =
        (certificate.isEmpty() ? QString() : QStringLiteral("https://")) + server.hostName() + path;
    r.check->FetchURL();
    QTRY_COMPARE(r.host.caption, QStringLiteral("Connection Estabilished"));
    const QByteArray h = server.hostName().toLatin1();
    const QByteArray expected = "GET " + path.toLatin1() + " HTTP/1.1\r\nHost: " + h +
                                "\r\nAccept: */*\r\nConnection: close\r\n\r\n";
    QTRY_COMPARE(server.requests().value(0), expected);
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
    ScriptedRig r;
    r.check->FetchURL();
    r.socket->connectNow();
    for (const QByteArray& piece : pieces) {
        r.socket->deliver(piece);
        QCOMPARE(r.host.caption, QStringLiteral("Fetching data"));
    }
    r.socket->closeNow();
    QCOMPARE(r.host.caption, QStringLiteral("Connection Closed"));
    QCOMPARE(r.check->ResponseText, QByteArray("body"));
    QCOMPARE(r.host.text1, QByteArray("body"));
    QCOMPARE(r.check->HeaderStripped, True);
    QCOMPARE(r.t.readFile("data.orvl"), QByteArray("body\r\n"));
}

void TestPageCheck::replyInManyPiecesFromTheServer()
{
    LoopbackServer server;
    server.setScript(
        Script::sent({"HTTP/1.1 200 OK\r\n", "X: 1\r\n\r", "\nfirst ", "second ", "third"}, 15));
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
    server.setScript(Script::reply(body));
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
    QCOMPARE(r.host.lastResult(), reported ? Result::Changed : Result::Unchanged);
}

void TestPageCheck::bodyIsStoredByteForByte()
{
    static const char raw[] = "a\0b\rc\nd\xff\xfe\x80\xc3(\x00\r\n\r\nend";
    const QByteArray body(raw, sizeof raw - 1);
    LoopbackServer server;
    server.setScript(Script::reply(body));
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
    server.setScript(Script::sent(pieces, 10));
    Rig r;
    r.setSnapshot("snapshot\r\n");
    QVERIFY(r.fetch(server));
    QVERIFY2(r.host.caption.startsWith(QLatin1String("Check failed: ")),
             qPrintable(r.host.caption));
    QCOMPARE(readFile(r.orvl()), QByteArray("snapshot\r\n"));
    QVERIFY(!QFileInfo::exists(r.tmp()));
    QVERIFY(r.host.calls.isEmpty());
    QCOMPARE(r.host.label2, QStringLiteral("Label2"));
    QCOMPARE(r.host.lastResult(), Result::Failed);
    QCOMPARE(r.host.outcomes.last().reason, r.host.caption);
}

void TestPageCheck::laterSocketErrorsChangeOnlyTheCaption_data()
{
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("caption");
    QTest::newRow("connection refused") << true << "Check failed: Connection refused";
    QTest::newRow("reset in the body") << false << "Check failed: Connection reset by peer";
}

void TestPageCheck::laterSocketErrorsChangeOnlyTheCaption()
{
    QFETCH(bool, refused);
    QFETCH(QString, caption);
    LoopbackServer server;
    server.setScript(Script::sent({"HTTP/1.1 200 OK\r\n\r\npartial body"}, 30, End::Reset));
    Rig r;
    r.setSnapshot("snapshot\r\n");
    QVERIFY(r.fetchUrl(refused ? QStringLiteral("127.0.0.1:%1/").arg(LoopbackServer::closedPort())
                               : server.hostName() + QStringLiteral("/")));
    QCOMPARE(r.host.caption, caption);
    QCOMPARE(r.host.lastResult(), Result::Failed);
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
    server.setScript(Script::reply("new body"));
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
    server.setScript(Script::reply("new body"));
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
    server.setScripts({Script::sent({"HTTP/1.1 200 OK\r\n\r\nfirst, partial"}, 0, End::Hold),
                       Script::reply("second")});
    Rig r;
    r.setSnapshot("snapshot\r\n");
    r.host.url = server.url(QString());
    r.check->FetchURL();
    QTRY_VERIFY(QFileInfo(r.tmp()).size() > 0); // the first body is streaming in
    QVERIFY(r.fetch(server));
    QCOMPARE(r.host.caption, QStringLiteral("Connection Closed"));
    QCOMPARE(r.host.outcomes.size(), 1); // the abandoned check does not end
    QCOMPARE(server.connections(), 2);
    QTRY_COMPARE(server.closedByClient(), 1); // the first connection was closed
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
    server.setScript(Script::reply("ten bytes!"));
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
    server.setScript(Script::reply(body));
    Rig r;
    QVERIFY(r.fetch(server));
    QCOMPARE(r.check->ResponseText.size(), PageCheck::kKeptBodyBytes);
    QCOMPARE(r.host.text1, body.left(PageCheck::kKeptBodyBytes));
    QCOMPARE(readFile(r.orvl()), body + "\r\n");
}

void TestPageCheck::httpsReplies_data()
{
    QTest::addColumn<QString>("certificate");
    QTest::addColumn<Script>("script");
    QTest::addColumn<QString>("caption"); // the start of it
    QTest::addColumn<bool>("requested");  // the request reached the server

    const QByteArray body = "<html>the new page</html>";
    auto ending = [](Script s, End end) {
        s.end = end;
        return s;
    };
    auto refused = [](Script::Handshake handshake) {
        Script s;
        s.handshake = handshake;
        return s;
    };
    const QString stored = QStringLiteral("Connection Closed");
    const QString cut = QStringLiteral("Check failed: the connection to 127.0.0.1 ended without "
                                       "the secure close alert, before the whole page arrived");
    const QString cert = QStringLiteral("Check failed: the certificate of 127.0.0.1 ");

    QTest::newRow("close alert, no length") << "good" << Script::reply(body) << stored << true;
    QTest::newRow("close alert, shorter than announced")
        << "good" << Script::replyWithLength(body, 1000) << stored << true;
    QTest::newRow("no close alert, announced length came")
        << "good" << ending(Script::replyWithLength(body), End::CloseWithoutAlert) << stored
        << true;
    QTest::newRow("no close alert, no length")
        << "good" << ending(Script::reply(body), End::CloseWithoutAlert) << cut << true;
    QTest::newRow("no close alert, shorter than announced")
        << "good" << ending(Script::replyWithLength(body, 1000), End::CloseWithoutAlert) << cut
        << true;
    QTest::newRow("no close alert, chunked body")
        << "good"
        << Script::sent({"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nTransfer-Encoding: "
                         "chunked\r\n\r\n5\r\nhello"},
                        0, End::CloseWithoutAlert)
        << cut << true;
    QTest::newRow("reset after the announced length")
        << "good" << ending(Script::replyWithLength(body), End::Reset) << stored << true;
    QTest::newRow("reset mid-body")
        << "good" << ending(Script::replyWithLength(body, 1000), End::Reset) << cut << true;
    QTest::newRow("handshake refused")
        << "good" << refused(Script::Handshake::Refuse)
        << "Check failed: 127.0.0.1 refused the secure connection" << false;
    QTest::newRow("closed mid-handshake")
        << "good" << refused(Script::Handshake::Drop)
        << "Check failed: the connection to 127.0.0.1 ended during the secure handshake" << false;
    QTest::newRow("wrong host name")
        << "otherhost" << Script::reply(body) << cert + "is for another host name" << false;
    QTest::newRow("untrusted CA") << "untrusted" << Script::reply(body) << cert + "is not trusted"
                                  << false;
    QTest::newRow("self-signed") << "selfsigned" << Script::reply(body)
                                 << cert + "is not trusted (it is self-signed)" << false;
    QTest::newRow("expired") << "expired" << Script::reply(body) << cert + "has expired" << false;
    QTest::newRow("not yet valid")
        << "future" << Script::reply(body) << cert + "is not valid yet" << false;
}

void TestPageCheck::httpsReplies()
{
    QFETCH(QString, certificate);
    QFETCH(Script, script);
    QFETCH(QString, caption);
    QFETCH(bool, requested);
    LoopbackServer server(certificate);
    server.setScript(script);
    Rig r;
    r.setSnapshot("snapshot\r\n");
    QVERIFY(r.fetch(server));
    QVERIFY2(r.host.caption.startsWith(caption), qPrintable(r.host.caption));
    const bool stored = caption == QLatin1String("Connection Closed");
    QCOMPARE(r.host.lastResult(), stored ? Result::Changed : Result::Failed);
    QCOMPARE(server.requests().size(), requested ? 1 : 0);
    const QByteArray reply = script.pieces.value(0);
    const QByteArray body = reply.mid(reply.indexOf("\r\n\r\n") + 4);
    QCOMPARE(readFile(r.orvl()), stored ? body + "\r\n" : QByteArray("snapshot\r\n"));
    QVERIFY(!QFileInfo::exists(r.tmp()));
    QVERIFY(r.t.messageBox.shown.isEmpty());
}

QTEST_GUILESS_MAIN(TestPageCheck)
#include "tst_pagecheck.moc"
