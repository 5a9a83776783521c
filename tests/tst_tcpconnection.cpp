// The fetch's connection against a loopback server that ends its replies in every
// way a server can: it must tell an orderly close from a reset, at any point.
#include "faultserver.h"
#include "tcpconnection.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <cerrno>

using End = FaultServer::Script::End;

class TestTcpConnection : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void endOfReply_data();
    void endOfReply();
    void refusedConnection();
    void hostNameIsLookedUp();
    void abortIsSilent();
    void neverAnsweringServerIsLeftByAbort();
};

namespace {

// Connects, sends a request, and gathers what arrives until the connection ends.
struct Client
{
    explicit Client(quint16 port, const QString& host = QStringLiteral("127.0.0.1"))
    {
        QObject::connect(&connection, &TcpConnection::connected, [this] {
            connection.write("GET /page HTTP/1.1\r\nHost: test\r\n\r\n");
        });
        QObject::connect(&connection, &TcpConnection::readyRead,
                         [this] { received += connection.readAll(); });
        connection.connectToHost(host, port);
    }
    TcpConnection connection;
    QByteArray received;
    QSignalSpy closed{&connection, &TcpConnection::closed};
    QSignalSpy failed{&connection, &TcpConnection::failed};
};

} // namespace

void TestTcpConnection::endOfReply_data()
{
    QTest::addColumn<int>("headBytes");
    QTest::addColumn<qint64>("fillBytes");
    QTest::addColumn<int>("end");
    QTest::addColumn<bool>("orderly");

    QTest::newRow("close after a small reply") << 20 << qint64(0) << int(End::Close) << true;
    QTest::newRow("close mid-header") << 10 << qint64(0) << int(End::Close) << true;
    QTest::newRow("close after 4 MiB") << 20 << qint64(4 << 20) << int(End::Close) << true;
    QTest::newRow("close without a byte") << 0 << qint64(0) << int(End::Close) << true;
    QTest::newRow("reset mid-header") << 10 << qint64(0) << int(End::Reset) << false;
    QTest::newRow("reset after a small reply") << 20 << qint64(0) << int(End::Reset) << false;
    QTest::newRow("reset mid-body of 4 MiB") << 20 << qint64(4 << 20) << int(End::Reset) << false;
    QTest::newRow("reset without a byte") << 0 << qint64(0) << int(End::Reset) << false;
}

void TestTcpConnection::endOfReply()
{
    QFETCH(int, headBytes);
    QFETCH(qint64, fillBytes);
    QFETCH(int, end);
    QFETCH(bool, orderly);

    FaultServer server;
    FaultServer::Script script;
    script.head = QByteArray("HTTP/1.1 200 OK\r\nA: b\r\n\r\n").left(headBytes);
    script.fillBytes = fillBytes;
    script.end = End(end);
    server.setScript(script);

    Client client(server.port());
    QTRY_VERIFY_WITH_TIMEOUT(client.closed.count() + client.failed.count() == 1, 20000);
    if (orderly) {
        QCOMPARE(client.closed.count(), 1);
        QCOMPARE(client.received.size(), headBytes + fillBytes);
        QCOMPARE(client.received.left(headBytes), script.head);
    } else {
        QCOMPARE(client.failed.count(), 1);
        QCOMPARE(client.failed.at(0).at(0).toInt(), ECONNRESET);
        QVERIFY(!client.failed.at(0).at(1).toString().isEmpty());
        QVERIFY(client.received.size() <= headBytes + fillBytes);
    }
    QCOMPARE(client.connection.state(), TcpConnection::State::Closed);
    QCOMPARE(client.connection.descriptor(), -1);
    // Nothing more arrives once the end was reported.
    QTest::qWait(50);
    QCOMPARE(client.closed.count() + client.failed.count(), 1);
}

void TestTcpConnection::refusedConnection()
{
    quint16 port = 0;
    {
        QTcpServer probe; // a port that was free a moment ago and is closed now
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    Client client(port);
    QTRY_COMPARE(client.failed.count(), 1);
    QCOMPARE(client.failed.at(0).at(0).toInt(), ECONNREFUSED);
    QCOMPARE(client.closed.count(), 0);
}

void TestTcpConnection::hostNameIsLookedUp()
{
    FaultServer server;
    server.setScript(FaultServer::Script::reply("hello"));
    Client client(server.port(), QStringLiteral("localhost"));
    QCOMPARE(client.connection.state(), TcpConnection::State::Resolving);
    QTRY_COMPARE(client.closed.count(), 1);
    QVERIFY(client.received.endsWith("\r\n\r\nhello"));
}

void TestTcpConnection::abortIsSilent()
{
    FaultServer server;
    server.setScript(FaultServer::Script::generated(-1)); // a body without end
    Client client(server.port());
    QSignalSpy ready(&client.connection, &TcpConnection::readyRead);
    QVERIFY(ready.wait());
    client.connection.abort();
    QCOMPARE(client.connection.state(), TcpConnection::State::Unconnected);
    QCOMPARE(client.connection.bytesAvailable(), 0);
    const int readyBefore = ready.count();
    QTest::qWait(100);
    QCOMPARE(ready.count(), readyBefore);
    QCOMPARE(client.closed.count() + client.failed.count(), 0);
    QTRY_COMPARE(server.closedByClient(), 1);
    QTRY_COMPARE(server.openConnections(), 0);
}

void TestTcpConnection::neverAnsweringServerIsLeftByAbort()
{
    FaultServer server;
    FaultServer::Script silent;
    silent.answer = false;
    silent.end = End::Hold;
    server.setScript(silent);

    Client client(server.port());
    QTRY_COMPARE(server.requests(), 1);
    // A new connection over the silent one: the silent one is dropped, the new one
    // gets its reply.
    server.setScript(FaultServer::Script::reply("second"));
    client.connection.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    QTRY_COMPARE(client.closed.count(), 1);
    QVERIFY(client.received.endsWith("second"));
    QTRY_COMPARE(server.openConnections(), 0);
    QCOMPARE(client.failed.count(), 0);
}

QTEST_GUILESS_MAIN(TestTcpConnection)
#include "tst_tcpconnection.moc"
