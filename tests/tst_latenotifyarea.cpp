// A notification area that appears after start-up, or goes away and comes back: the
// stand-in window gives way to the tray icon and shows again when the icon has nowhere
// to be, or the program starts afresh with its update log handed over.
#include "fakes.h"
#include "form1.h"
#include "notifyareawatch.h"
#include "startup.h"

#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QTest>
#include <cstdio>

namespace {

// Reports a change when the test says so; a restart is recorded and fails.
class ScriptedWatch : public NotifyAreaWatch
{
public:
    void watch(ChangeHandler handler) override
    {
        ++watches;
        m_handler = std::move(handler);
    }
    SystemError restart(const QStringList& log) override
    {
        restarts.append(log);
        return {0, QStringLiteral("not in a test")};
    }
    std::optional<QStringList> takeHandover() override { return std::exchange(handover, {}); }
    void report(Change change) { m_handler(change); }

    int watches = 0;
    QList<QStringList> restarts;
    std::optional<QStringList> handover;

private:
    ChangeHandler m_handler;
};

struct Started
{
    explicit Started(bool tray)
    {
        t.notifyArea.available = tray;
        t.writeFile("config.ini", "u,0,s");
        form = std::make_unique<Form1>(t.services());
        panelSize = form->size();
        label7 = form->Label7->geometry();
        err = std::tmpfile();
    }
    ~Started() { std::fclose(err); }
    // Loads the window and follows the notification area, as main() does.
    int start()
    {
        const int status = Startup::loadMainWindow(*form);
        Startup::followNotificationArea(*form, watch, err);
        return status;
    }
    TestServices t;
    ScriptedWatch watch;
    std::unique_ptr<Form1> form;
    QSize panelSize;
    QRect label7;
    std::FILE* err;
};

} // namespace

class TestLateNotifyArea : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("ORVELL")); }
    void theIconArrives_data();
    void theIconArrives();
    void onlyAFreshStartReachesIt();
    void theHandedOverLogComesBack_data();
    void theHandedOverLogComesBack();
};

void TestLateNotifyArea::theIconArrives_data()
{
    QTest::addColumn<bool>("trayAtStart");
    QTest::newRow("a tray that comes up after the program") << false;
    QTest::newRow("a tray that goes away and comes back") << true;
}

void TestLateNotifyArea::theIconArrives()
{
    QFETCH(bool, trayAtStart);
    Started s(trayAtStart);
    QCOMPARE(s.start(), 0);
    QCOMPARE(s.watch.watches, 1);
    QCOMPARE(s.form->isVisible(), !trayAtStart);
    if (trayAtStart) {
        s.watch.report(NotifyAreaWatch::Change::Gone);
        // The stand-in window, as on a desktop that never had a tray.
        QVERIFY(s.form->isVisible() && s.form->isWithoutNotificationArea());
        QCOMPARE(s.form->windowType(), Qt::Window);
        QVERIFY(s.form->findChild<QMenuBar*>());
        s.watch.report(NotifyAreaWatch::Change::Gone); // said once is enough
        QCOMPARE(s.form->findChildren<QMenuBar*>().size(), 1);
    }

    s.watch.report(NotifyAreaWatch::Change::IconShown);
    // The tray icon's hidden panel again, as if the tray had been there from the start.
    QVERIFY(!s.form->isVisible());
    QVERIFY(!s.form->isWithoutNotificationArea());
    QCOMPARE(s.form->findChild<QMenuBar*>(), nullptr);
    QCOMPARE(s.form->windowType(), Qt::Tool);
    QCOMPARE(s.form->size(), s.panelSize);
    QCOMPARE(s.form->Label7->geometry(), s.label7);
    QVERIFY(s.form->TaskBarIcon1 && s.form->Timer1.isActive());
    // Closing it, or a click on its background, only hides it now.
    s.form->mnuabout_Click();
    s.form->Form_Click();
    QVERIFY(!s.form->isVisible());
    s.form->mnuabout_Click();
    s.form->close();
    QVERIFY(!s.form->isVisible());
    QVERIFY(s.form->TaskBarIcon1);
    QVERIFY(s.watch.restarts.isEmpty());
}

void TestLateNotifyArea::onlyAFreshStartReachesIt()
{
    Started s(false);
    QCOMPARE(s.start(), 0);
    s.form->List1->addItems({"Update found at 12/8/2026 1:09:59 PM", "Update found at 2"});

    s.watch.report(NotifyAreaWatch::Change::NeedsRestart);
    const QStringList log{"Update found at 12/8/2026 1:09:59 PM", "Update found at 2"};
    QCOMPARE(s.watch.restarts, QList<QStringList>{log});
    // The fresh start failed: the window stays, and standard error says why.
    QVERIFY(s.form->isVisible() && s.form->isWithoutNotificationArea());
    std::rewind(s.err);
    char text[512] = {};
    QVERIFY(std::fread(text, 1, sizeof text - 1, s.err) > 0);
    QVERIFY2(QByteArray(text).contains("cannot start again (not in a test)"), text);
}

void TestLateNotifyArea::theHandedOverLogComesBack_data()
{
    QTest::addColumn<bool>("tray");
    QTest::newRow("with a tray") << true;
    QTest::newRow("without one") << false;
}

void TestLateNotifyArea::theHandedOverLogComesBack()
{
    QFETCH(bool, tray);
    Started s(tray);
    s.watch.handover = QStringList{"Update found at 1", "Update found at 2"};
    QCOMPARE(s.start(), 0);
    QCOMPARE(s.form->List1->count(), 2);
    QCOMPARE(s.form->List1->item(1)->text(), QStringLiteral("Update found at 2"));
    QCOMPARE(s.watch.watches, 1); // with a tray too: it may go away
}

QTEST_MAIN(TestLateNotifyArea)
#include "tst_latenotifyarea.moc"
