// What a detected change does for the user: the log line, the sound, the flashing
// tray icon and the popup, with the popup switch and the sound file's edge cases.
#include "fakes.h"
#include "form2.h"
#include "qtservices.h"
#include "taskbaricon.h"
#include "updatenotification.h"

#include <QDir>
#include <QListWidget>
#include <QTest>

namespace {
// The main window's pieces the notification acts on, set up as start-up leaves them.
struct Stage
{
    explicit Stage(std::uint8_t showPopupValue, const QString& sound = QStringLiteral("chime.wav"))
        : showPopup(showPopupValue), soundFile(sound)
    {
        t.clock.current = QDateTime(QDate(2026, 12, 8), QTime(13, 9, 59));
        tray.letBaseIcon(makeTestIcon(qRgb(0, 0, 255)));
        tray.letFlashIcon(popup.iconPicture());
        tray.letFlashTime(500);
        tray.letEnabled(True);
        popup.hide();
    }
    UpdateNotification notification()
    {
        return UpdateNotification(t.services(), {&log, &tray, &popup, &showPopup, &soundFile});
    }
    void detectChange()
    {
        UpdateNotification n = notification();
        n.logUpdate();
        n.announceUpdate();
    }
    QString soundsDir() const
    {
        return t.programDir() + QDir::separator() + QStringLiteral("Sounds") + QDir::separator();
    }

    TestServices t;
    QListWidget log;
    TaskBarIcon tray{t.notifyArea};
    Form2 popup{t.services()};
    std::uint8_t showPopup;
    QString soundFile;
};

} // namespace

class TestUpdateNotification : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void popupOnlyWhenSwitchIsExactlyOne_data();
    void popupOnlyWhenSwitchIsExactlyOne();
    void changeWhileFlashingKeepsFlashing();
    void twoChangesGiveTwoLines();
    void soundPathAppendsTheNameUnchanged_data();
    void soundPathAppendsTheNameUnchanged();
    void unplayableSoundBreaksNothing_data();
    void unplayableSoundBreaksNothing();
};

void TestUpdateNotification::popupOnlyWhenSwitchIsExactlyOne_data()
{
    QTest::addColumn<int>("showPopup");
    QTest::addColumn<bool>("shown");
    QTest::newRow("0: no popup") << 0 << false;
    QTest::newRow("1: popup") << 1 << true;
    QTest::newRow("2: no popup") << 2 << false;
    QTest::newRow("255: no popup") << 255 << false;
}

void TestUpdateNotification::popupOnlyWhenSwitchIsExactlyOne()
{
    QFETCH(int, showPopup);
    QFETCH(bool, shown);
    Stage s{std::uint8_t(showPopup)};
    s.detectChange();

    // The line, the sound and the flash come whatever the switch says.
    QCOMPARE(s.log.count(), 1);
    QCOMPARE(s.log.item(0)->text(), QStringLiteral("Update found at 12/8/2026 1:09:59 PM"));
    QCOMPARE(s.t.sound.played, QStringList{s.soundsDir() + QStringLiteral("chime.wav")});
    QCOMPARE(s.tray.Flash(), True);
    QVERIFY(s.tray.flashTimerActive());
    QCOMPARE(s.popup.isVisible(), shown);
}

void TestUpdateNotification::changeWhileFlashingKeepsFlashing()
{
    Stage s(0);
    s.detectChange();
    QVERIFY(s.tray.flashTimerActive());
    const int callsBefore = int(s.t.notifyArea.calls.size());

    s.detectChange();
    QCOMPARE(s.tray.Flash(), True);
    QVERIFY(s.tray.flashTimerActive());
    QCOMPARE(int(s.t.notifyArea.calls.size()), callsBefore); // no restart, no extra change
    // It goes on alternating between the two icons.
    s.tray.Timer1_Timer();
    s.tray.Timer1_Timer();
    const auto& calls = s.t.notifyArea.calls;
    QCOMPARE(calls.size(), callsBefore + 2);
    QCOMPARE(calls[calls.size() - 2].data.hIcon, s.popup.iconPicture().handle());
    QCOMPARE(calls.last().data.hIcon, s.tray.BaseIcon()->handle());
}

void TestUpdateNotification::twoChangesGiveTwoLines()
{
    Stage s(1);
    s.detectChange();
    s.popup.hide();
    s.t.clock.current = QDateTime(QDate(2026, 12, 8), QTime(13, 19, 59));
    s.detectChange();

    QCOMPARE(s.log.count(), 2);
    QCOMPARE(s.log.item(0)->text(), QStringLiteral("Update found at 12/8/2026 1:09:59 PM"));
    QCOMPARE(s.log.item(1)->text(), QStringLiteral("Update found at 12/8/2026 1:19:59 PM"));
    QCOMPARE(s.t.sound.played.size(), 2);
    QVERIFY(s.popup.isVisible());
}

void TestUpdateNotification::soundPathAppendsTheNameUnchanged_data()
{
    QTest::addColumn<QString>("soundFile");
    QTest::newRow("plain name") << "chime.wav";
    QTest::newRow("sub-folder of Sounds") << "alerts/ding.wav";
    QTest::newRow("empty: the path ends in Sounds/") << "";
}

void TestUpdateNotification::soundPathAppendsTheNameUnchanged()
{
    QFETCH(QString, soundFile);
    Stage s(1, soundFile);
    QCOMPARE(s.notification().soundPath(), s.soundsDir() + soundFile);
}

void TestUpdateNotification::unplayableSoundBreaksNothing_data()
{
    QTest::addColumn<QString>("soundFile");
    QTest::addColumn<QByteArray>("content"); // empty: no file
    QTest::newRow("missing file") << "gone.wav" << QByteArray();
    QTest::newRow("empty SoundFile") << "" << QByteArray();
    QTest::newRow("not a wave file") << "notes.wav" << QByteArray("just some text\n");
}

void TestUpdateNotification::unplayableSoundBreaksNothing()
{
    QFETCH(QString, soundFile);
    QFETCH(QByteArray, content);
    Stage s(1, soundFile);
    QDir(s.t.programDir()).mkpath(QStringLiteral("Sounds"));
    if (!content.isEmpty())
        s.t.writeFile(QStringLiteral("Sounds/") + soundFile, content);
    // The real sound service this time.
    SystemSoundPlayer player;
    s.t.services().sound = &player;

    s.detectChange();

    QCOMPARE(s.log.count(), 1);
    QCOMPARE(s.tray.Flash(), True);
    QVERIFY(s.popup.isVisible());
    // Whatever was tried is given up without a trace.
    QTRY_VERIFY_WITH_TIMEOUT(player.findChildren<QObject*>().isEmpty(), 15000);
}

QTEST_MAIN(TestUpdateNotification)
#include "tst_updatenotification.moc"
