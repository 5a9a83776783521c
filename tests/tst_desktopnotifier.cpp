// The desktop's notifications on Linux: what reaches org.freedesktop.Notifications, one
// notification that later ones replace, its closing, the user's actions coming back, and
// a desktop without a notification server, where nothing happens and nothing waits.
#include "desktopnotifier.h"
#include "fakenotificationserver.h"
#include "fakes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using Action = DesktopNotifier::Action;

namespace {

DesktopNotice notice(const QString& body = QStringLiteral("Tickets on sale now"))
{
    return {QStringLiteral("example.com has changed"), body, true, QStringLiteral("orvell")};
}

} // namespace

class TestDesktopNotifier : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void notify_data();
    void notify();
    void sequence_data();
    void sequence();
    void actions_data();
    void actions();
    void activationToken_data();
    void activationToken();
    void noServer();
    void serverThatNeverAnswers();
    void programIcon_data();
    void programIcon();

    // The NotificationClosed signals this process receives, as the notifier does.
    void closedSeen(uint id, uint reason);

private:
    // Posts and waits for the server to have it and for its answer to be in.
    void postAndWait(const DesktopNotice& posted = notice());
    // Until the notifier has seen the server's NotificationClosed for id.
    void closeByUserAndWait(uint id);

    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<FakeNotificationServer> m_server;
    RecordingNotifyArea m_area;
    std::unique_ptr<SystemDesktopNotifier> m_notifier;
    QList<Action> m_reported;
    QStringList m_tokensSeen; // XDG_ACTIVATION_TOKEN as each action found it
    QList<uint> m_closedSeen;
};

void TestDesktopNotifier::initTestCase()
{
    m_bus = std::make_unique<PrivateBus>();
    if (m_bus->address().isEmpty())
        QSKIP("dbus-daemon could not be started");
    // The process's session bus is the test's, from its first use on.
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus->address().toUtf8());
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    QVERIFY(QDBusConnection::sessionBus().connect(
        {}, QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("NotificationClosed"), this,
        SLOT(closedSeen(uint, uint))));
}

void TestDesktopNotifier::init()
{
    m_server = std::make_unique<FakeNotificationServer>(m_bus->address());
    QVERIFY(m_server->isRegistered());
    m_notifier = std::make_unique<SystemDesktopNotifier>(m_area);
    m_reported.clear();
    m_closedSeen.clear();
    m_tokensSeen.clear();
    m_notifier->setActionHandler([this](Action action) {
        m_reported.append(action);
        m_tokensSeen.append(qEnvironmentVariable("XDG_ACTIVATION_TOKEN"));
    });
}

void TestDesktopNotifier::cleanup()
{
    m_notifier.reset();
    m_server.reset();
}

void TestDesktopNotifier::closedSeen(uint id, uint reason)
{
    Q_UNUSED(reason);
    m_closedSeen.append(id);
}

void TestDesktopNotifier::postAndWait(const DesktopNotice& posted)
{
    const qsizetype before = m_server->notified.size();
    m_notifier->post(posted);
    QTRY_COMPARE(m_server->notified.size(), before + 1);
    QTRY_VERIFY(m_notifier->idle()); // its answer is in
}

void TestDesktopNotifier::closeByUserAndWait(uint id)
{
    m_server->closeByUser(id);
    QTRY_COMPARE(m_closedSeen, QList<uint>{id});
}

void TestDesktopNotifier::notify_data()
{
    QTest::addColumn<QStringList>("capabilities");
    QTest::addColumn<bool>("pageActions");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("actions");
    const QString markup = QStringLiteral("body-markup");
    const QString actions = QStringLiteral("actions");
    const QStringList click{"default", "Open"};
    const QStringList all =
        click + QStringList{"what-changed", "What changed", "open-page", "Open page"};
    QTest::newRow("markup and actions: escaped, every action")
        << QStringList{actions, markup} << true << "a &lt;b&gt; &amp; \"c\"" << all;
    QTest::newRow("no markup: the text as it is")
        << QStringList{actions} << true << "a <b> & \"c\"" << all;
    QTest::newRow("no actions: none offered")
        << QStringList{markup} << true << "a &lt;b&gt; &amp; \"c\"" << QStringList{};
    QTest::newRow("no page actions: only the click")
        << QStringList{actions} << false << "a <b> & \"c\"" << click;
}

void TestDesktopNotifier::notify()
{
    QFETCH(QStringList, capabilities);
    QFETCH(bool, pageActions);
    QFETCH(QString, body);
    QFETCH(QStringList, actions);
    m_server->capabilities = capabilities;
    DesktopNotice posted = notice(QStringLiteral("a <b> & \"c\""));
    posted.offersPageActions = pageActions;
    postAndWait(posted);
    if (QTest::currentTestFailed())
        return;
    const FakeNotificationServer::Notification& n = m_server->notified.first();
    QCOMPARE(n.appName, QStringLiteral("ORVELL"));
    QCOMPARE(n.replacesId, 0u);
    QCOMPARE(n.icon, QStringLiteral("orvell"));
    QCOMPARE(n.summary, QStringLiteral("example.com has changed")); // never markup
    QCOMPARE(n.body, body);
    QCOMPARE(n.actions, actions);
    QCOMPARE(n.hints, (QVariantMap{{"desktop-entry", QStringLiteral("orvell")}}));
    QCOMPARE(n.timeout, -1);
}

void TestDesktopNotifier::sequence_data()
{
    // Steps: "post X" (a notice with the body X), "wait" (until its answers are in),
    // "close", "user closes" (the server's NotificationClosed for the last one).
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("bodies");  // the Notify calls the server saw
    QTest::addColumn<QList<int>>("replaces"); // which of them each replaced; -1: none
    QTest::addColumn<QList<int>>("closed");   // which of them were closed
    using S = QStringList;
    using I = QList<int>;
    QTest::newRow("a later notice replaces the one answered")
        << S{"post A", "wait", "post B"} << S{"A", "B"} << I{-1, 0} << I{};
    QTest::newRow("notices while one is out replace it once it is known")
        << S{"post A", "wait", "post B", "post C"} << S{"A", "B", "C"} << I{-1, 0, 0} << I{};
    QTest::newRow("before the server said what it can do: only the latest")
        << S{"post A", "post B"} << S{"B"} << I{-1} << I{};
    QTest::newRow("one the user closed is not replaced")
        << S{"post A", "wait", "user closes", "post B"} << S{"A", "B"} << I{-1, -1} << I{};
    QTest::newRow("close after its answer")
        << S{"post A", "wait", "close", "post B"} << S{"A", "B"} << I{-1, -1} << I{0};
    QTest::newRow("close while it is out: closed once it is known")
        << S{"post A", "wait", "post B", "close", "wait", "post C"} << S{"A", "B", "C"}
        << I{-1, 0, -1} << I{1};
    QTest::newRow("close before the server said what it can do: nothing posted")
        << S{"post A", "close", "wait", "post B"} << S{"B"} << I{-1} << I{};
    QTest::newRow("close with nothing posted: nothing to close")
        << S{"close", "post A"} << S{"A"} << I{-1} << I{};
    QTest::newRow("close after the user closed it: not again")
        << S{"post A", "wait", "user closes", "close", "post B"} << S{"A", "B"} << I{-1, -1} << I{};
}

void TestDesktopNotifier::sequence()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, bodies);
    QFETCH(QList<int>, replaces);
    QFETCH(QList<int>, closed);
    for (const QString& step : steps) {
        if (step.startsWith(QLatin1String("post ")))
            m_notifier->post(notice(step.mid(5)));
        else if (step == QLatin1String("wait"))
            QTRY_VERIFY(m_notifier->idle());
        else if (step == QLatin1String("close"))
            m_notifier->close();
        else if (step == QLatin1String("user closes"))
            closeByUserAndWait(m_server->notified.value(m_server->notified.size() - 1).id);
        if (QTest::currentTestFailed())
            return;
    }
    // A close is sent before any later Notify, so the last notice's arrival shows all.
    QTRY_COMPARE(m_server->notified.size(), bodies.size());
    QTRY_VERIFY(m_notifier->idle());
    // Notices are named by their place in the server's list: a number by the first that
    // got it (what a later one replaced), or by the last that had it (what was closed).
    const auto& notified = m_server->notified;
    const auto placeOf = [&](uint id, bool last) {
        int place = -1;
        for (int i = 0; i < notified.size(); ++i)
            if (notified[i].id == id && (place < 0 || last))
                place = i;
        return place;
    };
    QStringList seenBodies;
    QList<int> seenReplaces, seenClosed;
    for (const auto& n : notified) {
        seenBodies << n.body;
        seenReplaces << (n.replacesId ? placeOf(n.replacesId, false) : -1);
    }
    for (uint id : std::as_const(m_server->closed))
        seenClosed << placeOf(id, true);
    QCOMPARE(seenBodies, bodies);
    QCOMPARE(seenReplaces, replaces);
    QCOMPARE(seenClosed, closed);
}

void TestDesktopNotifier::actions_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("ours");
    QTest::addColumn<QList<Action>>("reported");
    QTest::newRow("click") << "default" << true << QList<Action>{Action::Default};
    QTest::newRow("What changed") << "what-changed" << true << QList<Action>{Action::WhatChanged};
    QTest::newRow("Open page") << "open-page" << true << QList<Action>{Action::OpenPage};
    QTest::newRow("unknown action: nothing") << "snooze" << true << QList<Action>{};
    QTest::newRow("another program's notification: nothing")
        << "what-changed" << false << QList<Action>{};
}

void TestDesktopNotifier::actions()
{
    QFETCH(QString, key);
    QFETCH(bool, ours);
    QFETCH(QList<Action>, reported);
    postAndWait();
    if (QTest::currentTestFailed())
        return;
    const uint id = m_server->notified.last().id;
    m_server->invokeAction(ours ? id : id + 1, key);
    // The server's signals arrive in order: one more of ours marks the end.
    m_server->invokeAction(id, QStringLiteral("open-page"));
    QTRY_COMPARE(m_reported, reported + QList<Action>{Action::OpenPage});
}

void TestDesktopNotifier::activationToken_data()
{
    QTest::addColumn<bool>("ours");
    QTest::addColumn<QString>("seen");
    QTest::newRow("ours: the action finds it") << true << "sway/1";
    QTest::newRow("another program's: not taken") << false << "";
}

void TestDesktopNotifier::activationToken()
{
    QFETCH(bool, ours);
    QFETCH(QString, seen);
    postAndWait();
    if (QTest::currentTestFailed())
        return;
    const uint id = m_server->notified.last().id;
    m_server->sendActivationToken(ours ? id : id + 1, QStringLiteral("sway/1"));
    m_server->invokeAction(id, QStringLiteral("default"));
    // A token serves one action: the next one, sent without, finds none.
    m_server->invokeAction(id, QStringLiteral("what-changed"));
    QTRY_COMPARE(m_reported.size(), 2);
    QCOMPARE(m_tokensSeen, QStringList({seen, QString()}));
    QVERIFY(!qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"));
}

void TestDesktopNotifier::noServer()
{
    m_server.reset();
    QElapsedTimer posting;
    posting.start();
    m_notifier->post(notice());
    m_notifier->close();
    QVERIFY2(posting.elapsed() < 200, "posting waited for the bus");
    QTRY_VERIFY(m_notifier->idle());
    // A server that comes later gets the next notice, as a new one.
    m_server = std::make_unique<FakeNotificationServer>(m_bus->address());
    QVERIFY(m_server->isRegistered());
    postAndWait();
    QCOMPARE(m_server->notified.size(), 1);
    QCOMPARE(m_server->notified.first().replacesId, 0u);
    QVERIFY(m_server->closed.isEmpty());
}

void TestDesktopNotifier::serverThatNeverAnswers()
{
    m_server->answers = false;
    QElapsedTimer posting;
    posting.start();
    m_notifier->post(notice());
    QVERIFY2(posting.elapsed() < 200, "posting waited for the server");
    QVERIFY(!m_notifier->idle());
    QTRY_VERIFY_WITH_TIMEOUT(m_notifier->idle(), SystemDesktopNotifier::kCallTimeoutMs + 5000);
    QVERIFY(m_server->notified.isEmpty()); // it never said what it can do
    // Once it answers again, the next notice goes through.
    m_server->answers = true;
    postAndWait();
}

void TestDesktopNotifier::programIcon_data()
{
    QTest::addColumn<QString>("iconFile"); // relative to a prefix; the program is in lib/orvell
    QTest::addColumn<QString>("icon");     // "FILE": the file's address
    QTest::newRow("installed: the theme's name") << "share/icons/hicolor/48x48/apps/orvell.png"
                                                 << "orvell";
    QTest::newRow("in the build tree: the picture beside it") << "lib/orvell/orvell.png"
                                                              << "FILE";
    QTest::newRow("neither: none") << "lib/orvell/other.png"
                                   << "";
}

void TestDesktopNotifier::programIcon()
{
    QFETCH(QString, iconFile);
    QFETCH(QString, icon);
    const QTemporaryDir prefix;
    const QDir dir(prefix.path());
    QVERIFY(dir.mkpath(QStringLiteral("lib/orvell")));
    QVERIFY(dir.mkpath(QFileInfo(dir.filePath(iconFile)).path()));
    writeFile(dir.filePath(iconFile), "PNG");
    if (icon == QLatin1String("FILE"))
        icon = QLatin1String("file://") + dir.filePath(iconFile);
    QCOMPARE(SystemDesktopNotifier::programIcon(dir.filePath(QStringLiteral("lib/orvell"))), icon);
}

QTEST_GUILESS_MAIN(TestDesktopNotifier)
#include "tst_desktopnotifier.moc"
