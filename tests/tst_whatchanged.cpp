// What an update leaves to look at: the comparison of its kept versions (in a worker
// thread), the "What changed" window reached from the update log and the desktop's
// notification, the notification's text and actions, and the tooltip's counts.
#include "changecomparer.h"
#include "fixtures.h"
#include "loopbackserver.h"
#include "whatchanged.h"
#include "whatchangedwindow.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>

namespace {

using Script = LoopbackServer::Script;
using Action = DesktopNotifier::Action;

// A kept page in `dir`: `bytes` under `name`, as the check stores it (with CR LF).
KeptPage keptPage(const QString& dir, const QString& name, const QByteArray& bytes,
                  const QByteArray& type = "text/html")
{
    KeptPage page;
    page.state = KeptPage::State::Kept;
    page.path = dir + QLatin1Char('/') + name;
    page.contentType = type;
    page.size = bytes.size() + 2;
    writeFile(page.path, bytes + "\r\n");
    return page;
}

// Everything the window shows as text.
QString windowText(const QWidget& window)
{
    QStringList parts{window.windowTitle()};
    for (const auto* edit : window.findChildren<QPlainTextEdit*>())
        parts << edit->toPlainText();
    for (const auto* edit : window.findChildren<QTextEdit*>())
        parts << edit->toPlainText();
    for (const auto* label : window.findChildren<QLabel*>())
        parts << label->text();
    return parts.join(QLatin1Char('\n'));
}

// A main window watching a loopback page that changes at every check: one paragraph
// more each time (a page in `pages` per request).
struct Watching
{
    explicit Watching(const QList<QByteArray>& pages, const QByteArray& type = "text/html")
    {
        QList<Script> scripts;
        for (const QByteArray& page : pages)
            scripts << Script::sent(
                {"HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\n\r\n" + page});
        server.setScripts(scripts);
        f = std::make_unique<LoadedMainWindow>(server.url());
    }
    // One check at the given minute; it must find a change.
    void update(int minute)
    {
        f->t.clock.current = QDateTime(QDate(2026, 12, 8), QTime(13, minute, 59));
        QCOMPARE(f->check().result, CheckOutcome::Result::Changed);
    }
    WhatChanged& changes() { return f->form->whatChanged(); }
    // The window once its comparison is shown.
    QString shownText()
    {
        WhatChangedWindow* w = changes().window();
        if (!w ||
            !QTest::qWaitFor([w] { return !windowText(*w).contains(QStringLiteral("Working")); }))
            return QStringLiteral("<no window>");
        return windowText(*w);
    }

    LoopbackServer server;
    std::unique_ptr<LoadedMainWindow> f;
};

} // namespace

class TestWhatChanged : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("ORVELL")); }
    void comparesKeptPages_data();
    void comparesKeptPages();
    void laterRequestsSupersedeEarlierOnes();
    void largePageDoesNotHoldUpTheCaller();

    void updateLogAndButtonOpenTheChanges();
    void notificationSaysWhatWasAdded_data();
    void notificationSaysWhatWasAdded();
    void notificationActions_data();
    void notificationActions();
    void seenOrExitClosesTheNotification();
    void tooltipGainsTheCounts();
};

void TestWhatChanged::comparesKeptPages_data()
{
    QTest::addColumn<QString>("before"); // "kept", "not kept", "too large", "removed", "changed"
    QTest::addColumn<QByteArray>("afterType");
    QTest::addColumn<QString>("message"); // empty: a difference
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("removed");
    QTest::newRow("a paragraph changed") << "kept" << QByteArray("text/html") << "" << 1 << 1;
    QTest::newRow("not text") << "kept" << QByteArray("image/png")
                              << "The page is not text: its size went from 22 to 24 bytes." << 0
                              << 0;
    QTest::newRow("no earlier version")
        << "not kept" << QByteArray("text/html") << "No earlier version was kept." << 0 << 0;
    QTest::newRow("too large") << "too large" << QByteArray("text/html")
                               << "The page was larger than 32 MiB: it was not kept." << 0 << 0;
    QTest::newRow("removed by hand")
        << "removed" << QByteArray("text/html")
        << "This version is missing: its file was removed or changed." << 0 << 0;
    QTest::newRow("truncated by hand")
        << "changed" << QByteArray("text/html")
        << "This version is missing: its file was removed or changed." << 0 << 0;
}

void TestWhatChanged::comparesKeptPages()
{
    QFETCH(QString, before);
    QFETCH(QByteArray, afterType);
    QFETCH(QString, message);
    QFETCH(int, added);
    QFETCH(int, removed);
    QTemporaryDir dir;
    KeptUpdate u;
    u.time = QDateTime(QDate(2026, 12, 8), QTime(13, 9, 59));
    u.before = keptPage(dir.path(), "b.page", "<p>one</p><p>two</p>");
    u.after = keptPage(dir.path(), "a.page", "<p>one</p><p>three</p>", afterType);
    if (before == QLatin1String("not kept"))
        u.before = KeptPage{};
    else if (before == QLatin1String("too large"))
        u.before.state = KeptPage::State::TooLarge;
    else if (before == QLatin1String("removed"))
        QVERIFY(QFile::remove(u.before.path));
    else if (before == QLatin1String("changed"))
        QVERIFY(QFile(u.before.path).resize(4));

    const Comparison c = ChangeComparer::compareNow(u);
    QCOMPARE(c.time, u.time);
    QCOMPARE(c.message, message);
    QCOMPARE(c.diff.added, added);
    QCOMPARE(c.diff.removed, removed);
    if (message.isEmpty()) {
        QCOMPARE(c.firstAddedLine(), QStringLiteral("three"));
        QCOMPARE(c.firstRemovedLine(), QStringLiteral("two"));
    }
}

void TestWhatChanged::laterRequestsSupersedeEarlierOnes()
{
    QTemporaryDir dir;
    ChangeComparer comparer;
    QSignalSpy done(&comparer, &ChangeComparer::compared);
    KeptUpdate u;
    u.before = keptPage(dir.path(), "b.page", "<p>a</p>");
    u.after = keptPage(dir.path(), "a.page", "<p>b</p>");
    for (int minute = 0; minute < 4; ++minute) {
        u.time = QDateTime(QDate(2026, 12, 8), QTime(13, minute, 0));
        comparer.compare(u);
    }
    QTRY_COMPARE(done.size(), 1);
    QCOMPARE(done.at(0).at(0).value<Comparison>().time.time(), QTime(13, 3, 0));
    // Answers to the superseded requests would come before the next one's: none does.
    u.time = QDateTime(QDate(2026, 12, 8), QTime(14, 0, 0));
    comparer.compare(u);
    QTRY_COMPARE(done.size(), 2);
    QCOMPARE(done.at(1).at(0).value<Comparison>().time.time(), QTime(14, 0, 0));
}

void TestWhatChanged::largePageDoesNotHoldUpTheCaller()
{
    // 200,000 lines against 200,000, one in ten changed: well over 50 ms of work.
    QByteArray before, after;
    for (int i = 0; i < 200000; ++i) {
        const QByteArray line = "line " + QByteArray::number(i) + "\n";
        before += line;
        after += i % 10 == 0 ? "changed " + line : line;
    }
    QTemporaryDir dir;
    KeptUpdate u;
    u.before = keptPage(dir.path(), "b.page", before, "text/plain");
    u.after = keptPage(dir.path(), "a.page", after, "text/plain");
    ChangeComparer comparer;
    QSignalSpy done(&comparer, &ChangeComparer::compared);
    QElapsedTimer call;
    call.start();
    comparer.compare(u);
    QVERIFY2(call.elapsed() < 50, qPrintable(QString::number(call.elapsed())));
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 60000);
    QCOMPARE(done.at(0).at(0).value<Comparison>().diff.added, 20000);
}

void TestWhatChanged::updateLogAndButtonOpenTheChanges()
{
    Watching w({"<p>first</p>", "<p>first</p><p>second</p>", "<p>first</p><p>2nd</p><p>third</p>"});
    w.f->setSnapshot("<p>the snapshot</p>\r\n");
    w.update(9);
    w.update(19);
    w.update(29);
    const QString host = QUrl(w.server.url()).authority();

    // A line of the update log: that update, its title as the line has its time.
    Q_EMIT w.f->form->whatChangedRequested(1);
    QString shown = w.shownText();
    QVERIFY2(shown.startsWith(host + ": what changed at 12/8/2026 1:19:59 PM"), qPrintable(shown));
    QVERIFY2(shown.contains(QStringLiteral("+ second")), qPrintable(shown));
    // Older and Newer walk the kept updates.
    Q_EMIT w.changes().window()->olderRequested();
    shown = w.shownText();
    QVERIFY2(shown.contains(QStringLiteral("1:09:59 PM")) &&
                 shown.contains(QStringLiteral("+ first")),
             qPrintable(shown));
    Q_EMIT w.changes().window()->newerRequested();
    Q_EMIT w.changes().window()->newerRequested();
    QTRY_VERIFY(w.shownText().contains(QStringLiteral("1:29:59 PM")));

    // The button (-1): the latest, also with the log emptied, and after a restart.
    w.f->form->Command1_Click();
    Q_EMIT w.f->form->whatChangedRequested(-1);
    QVERIFY(w.shownText().contains(QStringLiteral("1:29:59 PM")));
    LoadedMainWindow restarted(w.server.url(), 0, w.f->t.programDir());
    Q_EMIT restarted.form->whatChangedRequested(-1);
    WhatChangedWindow* again = restarted.form->whatChanged().window();
    QVERIFY(again);
    QTRY_VERIFY(windowText(*again).contains(QStringLiteral("+ third")));

    // "Open page" opens the watched URL.
    Q_EMIT again->openPageRequested();
    QCOMPARE(restarted.t.urlOpener.opened, QStringList{w.server.url()});
}

void TestWhatChanged::notificationSaysWhatWasAdded_data()
{
    QTest::addColumn<bool>("historyWritable");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QString>("body");
    QTest::newRow("the first added line") << true << QByteArray("text/html") << "a new line";
    QTest::newRow("not text: the size")
        << true << QByteArray("image/png") << "The page's size went from 10 to 31 bytes";
    QTest::newRow("nothing kept: the size")
        << false << QByteArray("text/html") << "The page's size went from 10 to 31 bytes";
}

void TestWhatChanged::notificationSaysWhatWasAdded()
{
    QFETCH(bool, historyWritable);
    QFETCH(QByteArray, type);
    QFETCH(QString, body);
    Watching w({"<p>old</p><p>a new line</p>\r\n"}, type);
    w.f->setSnapshot("<p>old</p>");
    w.f->t.writeFile(QStringLiteral("data.type"), type);
    if (!historyWritable)
        w.f->t.writeFile(QStringLiteral("history"), "not a folder");
    w.update(9);
    const QList<DesktopNotice>& posted = w.f->t.desktopNotifier.posted;
    QTRY_COMPARE(posted.size(), 1);
    QCOMPARE(posted[0].summary, QUrl(w.server.url()).authority() + " has changed");
    QCOMPARE(posted[0].body, body);
}

void TestWhatChanged::notificationActions_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<bool>("opensWindow");
    QTest::newRow("a click on it") << Action::Default << true;
    QTest::newRow("What changed") << Action::WhatChanged << true;
    QTest::newRow("Open page") << Action::OpenPage << false;
}

void TestWhatChanged::notificationActions()
{
    QFETCH(Action, action);
    QFETCH(bool, opensWindow);
    Watching w({"<p>one</p><p>two</p>", "<p>one</p><p>two</p><p>three</p>"});
    w.f->setSnapshot("<p>one</p>");
    w.update(9);
    QTRY_COMPARE(w.f->t.desktopNotifier.posted.size(), 1);
    w.update(19);
    QTRY_COMPARE(w.f->t.desktopNotifier.posted.size(), 2);
    w.f->t.desktopNotifier.choose(action);
    if (opensWindow) {
        // The window on the update the notification is about: the latest one.
        QVERIFY2(w.shownText().contains(QStringLiteral("1:19:59 PM")), qPrintable(w.shownText()));
        QVERIFY(w.f->t.urlOpener.opened.isEmpty());
    } else {
        QVERIFY(!w.changes().window());
        QCOMPARE(w.f->t.urlOpener.opened, QStringList{w.server.url()});
    }
}

void TestWhatChanged::seenOrExitClosesTheNotification()
{
    Watching w({"<p>one</p><p>two</p>"});
    w.f->setSnapshot("<p>one</p>");
    w.update(9);
    QTRY_COMPARE(w.f->t.desktopNotifier.posted.size(), 1);
    // The left click that stops the flashing.
    std::int16_t button = 1, shift = 0;
    float x = 0, y = 0;
    w.f->form->TaskBarIcon1_LeftClick(button, shift, x, y);
    QVERIFY(!w.f->flashing());
    QCOMPARE(w.f->t.desktopNotifier.closes, 1);
    w.f->form->mnuexit_Click();
    QCOMPARE(w.f->t.desktopNotifier.closes, 2);
}

void TestWhatChanged::tooltipGainsTheCounts()
{
    Watching w({"<p>one</p><p>two</p><p>three</p>"});
    w.f->setSnapshot("<p>one</p>");
    w.f->t.clock.regional = QLocale(QStringLiteral("en_US"));
    w.update(9);
    QTRY_COMPARE(w.f->form->TaskBarIcon1->Tip(),
                 QUrl(w.server.url()).authority() + ": changed at 1:09:59 PM, 2 lines added");
}

QTEST_MAIN(TestWhatChanged)
#include "tst_whatchanged.moc"
