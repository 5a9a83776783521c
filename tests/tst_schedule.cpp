// The main window's schedule and its check commands: the marks on the time text,
// "Check Now" and "GO", and a detected change reaching the update notification.
#include "fakes.h"
#include "fixtures.h"
#include "form1.h"
#include "form2.h"
#include "loopbackserver.h"
#include "pagecheck.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {

// With an empty URL every check that starts asks for one: the number of questions
// counts the checks.
int checksStarted(const TestServices& t)
{
    int n = 0;
    for (const auto& box : t.messageBox.shown)
        n += box.text == QLatin1String("Please, enter the URL to retrieve.") ? 1 : 0;
    return n;
}

} // namespace

class TestSchedule : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("ORVELL")); }
    void marksOnTheTimeText_data();
    void marksOnTheTimeText();
    void nothingBeforeTheFirstTick();
    void tickTakesTheClocksTime_data();
    void tickTakesTheClocksTime();
    void checkNowAndGoFetchAtAnyTime();
    void changeReachesTheNotification();
};

void TestSchedule::marksOnTheTimeText_data()
{
    QTest::addColumn<QString>("timeText");
    QTest::addColumn<QString>("label5");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("checks");
    QTest::newRow("1:09:59 PM, mark 1") << "1:09:59 PM"
                                        << "1:09:59 "
                                        << "09:59 " << true;
    QTest::newRow("1:19:59 PM, mark 2") << "1:19:59 PM"
                                        << "1:19:59 "
                                        << "19:59 " << true;
    QTest::newRow("3:29:59 AM, mark 3") << "3:29:59 AM"
                                        << "3:29:59 "
                                        << "29:59 " << true;
    QTest::newRow("4:39:59 PM, mark 4") << "4:39:59 PM"
                                        << "4:39:59 "
                                        << "39:59 " << true;
    QTest::newRow("5:49:59 AM, mark 5") << "5:49:59 AM"
                                        << "5:49:59 "
                                        << "49:59 " << true;
    QTest::newRow("1:59:59 PM, mark 6") << "1:59:59 PM"
                                        << "1:59:59 "
                                        << "59:59 " << true;
    QTest::newRow("2:00:59 PM, mark 7") << "2:00:59 PM"
                                        << "2:00:59 "
                                        << "00:59 " << true;
    QTest::newRow("9:00:59 AM, mark 7") << "9:00:59 AM"
                                        << "9:00:59 "
                                        << "00:59 " << true;
    QTest::newRow("10:09:59 PM") << "10:09:59 PM"
                                 << "10:09:59"
                                 << ":09:59" << false;
    QTest::newRow("12:49:59 AM") << "12:49:59 AM"
                                 << "12:49:59"
                                 << ":49:59" << false;
    QTest::newRow("one second early") << "1:09:58 PM"
                                      << "1:09:58 "
                                      << "09:58 " << false;
    QTest::newRow("minute 10") << "1:10:59 PM"
                               << "1:10:59 "
                               << "10:59 " << false;
    QTest::newRow("24-hour 9:09:59") << "9:09:59"
                                     << "9:09:59"
                                     << ":09:59" << false;
    QTest::newRow("24-hour 13:09:59") << "13:09:59"
                                      << "13:09:59"
                                      << ":09:59" << false;
    QTest::newRow("empty text") << ""
                                << ""
                                << "" << false;
}

void TestSchedule::marksOnTheTimeText()
{
    QFETCH(QString, timeText);
    QFETCH(QString, label5);
    QFETCH(QString, key);
    QFETCH(bool, checks);
    TestServices t;
    Form1 form(t.services());
    form.Timer1.stop();
    form.scheduleTick(timeText);
    QCOMPARE(form.Label6->text(), timeText);
    QCOMPARE(form.Label5->text(), label5);
    QCOMPARE(form.Label4->text(), key);
    QCOMPARE(checksStarted(t), checks ? 1 : 0);
    // No memory between ticks: the same second again starts another check.
    form.scheduleTick(timeText);
    QCOMPARE(checksStarted(t), checks ? 2 : 0);
}

void TestSchedule::nothingBeforeTheFirstTick()
{
    TestServices t;
    Form1 form(t.services());
    QCOMPARE(form.Label4->text(), QStringLiteral("00:00"));
    QCOMPARE(form.Label6->text(), QStringLiteral("Label6"));
    QCOMPARE(form.Label5->text(), QStringLiteral("Label5"));
    QCOMPARE(checksStarted(t), 0);
    QVERIFY(form.Timer1.isActive());
    QCOMPARE(form.Timer1.timerType(), Qt::PreciseTimer);
}

void TestSchedule::tickTakesTheClocksTime_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("U.S. English") << "en_US";
    QTest::newRow("German, a 24-hour locale") << "de_DE";
}

void TestSchedule::tickTakesTheClocksTime()
{
    QFETCH(QString, locale);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    TestServices t;
    Form1 form(t.services());
    form.Timer1.stop();
    t.clock.current = QDateTime(QDate(2026, 12, 8), QTime(13, 9, 59));
    form.Timer1_Timer();
    QCOMPARE(form.Label6->text(), QStringLiteral("1:09:59 PM"));
    QCOMPARE(checksStarted(t), 1);
    t.clock.current = QDateTime(QDate(2026, 12, 8), QTime(22, 9, 59));
    form.Timer1_Timer();
    QCOMPARE(form.Label6->text(), QStringLiteral("10:09:59 PM"));
    QCOMPARE(checksStarted(t), 1);
    // The running timer ticks the same handler.
    t.clock.current = QDateTime(QDate(2026, 12, 8), QTime(9, 0, 59));
    form.Timer1.setInterval(1);
    form.Timer1.start();
    QTRY_VERIFY(checksStarted(t) >= 2);
    QCOMPARE(form.Label4->text(), QStringLiteral("00:59 "));
    form.Timer1.stop();
    QLocale::setDefault(before);
}

void TestSchedule::checkNowAndGoFetchAtAnyTime()
{
    TestServices t;
    Form1 form(t.services());
    form.Timer1.stop();
    form.hide();
    t.clock.current = QDateTime(QDate(2026, 12, 8), QTime(22, 9, 58));
    form.mnucheck->trigger();
    QCOMPARE(checksStarted(t), 1);
    form.cmdReadURL->click();
    QCOMPARE(checksStarted(t), 2);
    QCOMPARE(t.messageBox.shown.last().icon, MessageBoxService::Icon::Information);
}

void TestSchedule::changeReachesTheNotification()
{
    LoopbackServer server;
    server.setScript(LoopbackServer::Script::sent({"HTTP/1.1 200 OK\r\n\r\n<html>new</html>"}));
    LoadedMainWindow f(server.url(QStringLiteral("watched")), 1);
    TestServices& t = f.t;
    Form1& form = *f.form;
    f.setSnapshot("<html>old, longer</html>\r\n");
    t.clock.current = QDateTime(QDate(2026, 12, 8), QTime(13, 9, 59));

    form.mnucheck->trigger();
    QCOMPARE(f.waitForCheck().result, CheckOutcome::Result::Changed);
    QCOMPARE(form.windowTitle(), QStringLiteral("Connection Closed"));
    QCOMPARE(server.requests().value(0).left(19), QByteArray("GET /watched HTTP/1"));
    QCOMPARE(form.check().HostName, server.hostName());
    QCOMPARE(form.Text1.text(), QByteArray("<html>new</html>"));
    QCOMPARE(form.Label2->text(), QStringLiteral("18"));
    QCOMPARE(form.Label3->text(), QStringLiteral("26"));
    QCOMPARE(f.snapshot(), QByteArray("<html>new</html>\r\n"));

    QCOMPARE(form.List1->count(), 1);
    QCOMPARE(form.List1->item(0)->text(), QStringLiteral("Update found at 12/8/2026 1:09:59 PM"));
    QCOMPARE(t.sound.played.size(), 1);
    QVERIFY(
        t.sound.played[0].endsWith(QDir::toNativeSeparators(QStringLiteral("/Sounds/chime.wav"))));
    QCOMPARE(form.TaskBarIcon1->Flash(), True);
    QVERIFY(form.form2()->isVisible());

    // The same page again: same size, nothing more.
    QCOMPARE(f.check().result, CheckOutcome::Result::Unchanged);
    QCOMPARE(server.connections(), 2);
    QCOMPARE(form.List1->count(), 1);
    QCOMPARE(t.sound.played.size(), 1);
}

QTEST_MAIN(TestSchedule)
#include "tst_schedule.moc"
