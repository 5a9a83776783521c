// Registering the tray icon: adding, changing and deleting it, and the record sent.
#include "fakes.h"
#include "fixtures.h"
#include "taskbaricon.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>

namespace {
QByteArray tipBytes(const NotifyIconData& d)
{
    return QByteArray(d.szTip.data(), int(d.szTip.size()));
}
} // namespace

class TestTaskBarIconRegistration : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void addRecordCarriesTheShellValues();
    void enabledTwiceAddsOnceDeletesOnce();
    void enabledWithoutIconDoesNothing();
    void newBaseIconWhileRegisteredModifiesOnce();
    void newBaseIconInDesignerIsOnlyStored();
    void bitmapBaseIconDeletesAndDisables();
    void disablingWhileFlashingRestoresThenDeletes();
    void tip_data();
    void tip();
    void tipWhileUnregisteredGoesWithNextAdd();
    void terminateDeletesOnlyARegisteredIcon();
    void enabledOtherThanTrueCountsAsRegistered();

private:
    std::unique_ptr<TrayIconFixture<>> m_tray;
    RecordingNotifyArea* area = nullptr;
    TaskBarIcon* icon = nullptr;
    Picture base, flash;
};

void TestTaskBarIconRegistration::init()
{
    m_tray = std::make_unique<TrayIconFixture<>>();
    area = &m_tray->area;
    icon = &m_tray->icon;
    base = m_tray->base;
    flash = m_tray->flash;
}

void TestTaskBarIconRegistration::cleanup()
{
    m_tray.reset();
}

void TestTaskBarIconRegistration::addRecordCarriesTheShellValues()
{
    QSignalSpy changed(icon, &TaskBarIcon::propertyChanged);
    icon->letBaseIcon(base);
    icon->letEnabled(True);

    QCOMPARE(area->messages(), QList<NotifyMessage>{NotifyMessage::Add});
    const NotifyIconData& d = area->calls.first().data;
    QCOMPARE(d.cbSize, 88u);
    QCOMPARE(d.hWnd, icon->windowHandle());
    QCOMPARE(d.uID, 1u);
    QCOMPARE(d.uFlags, 7u);
    QCOMPARE(d.uCallbackMessage, 0x200u);
    QCOMPARE(d.hIcon, base.handle());
    QCOMPARE(icon->Enabled(), True);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(0).at(0).toString(), QStringLiteral("BaseIcon"));
    QCOMPARE(changed.at(1).at(0).toString(), QStringLiteral("Enabled"));
}

void TestTaskBarIconRegistration::enabledTwiceAddsOnceDeletesOnce()
{
    icon->letBaseIcon(base);
    icon->letEnabled(True);
    icon->letEnabled(True);
    icon->letEnabled(False);
    icon->letEnabled(False);
    QCOMPARE(area->messages(), (QList<NotifyMessage>{NotifyMessage::Add, NotifyMessage::Delete}));
    QCOMPARE(icon->Enabled(), False);
}

void TestTaskBarIconRegistration::enabledWithoutIconDoesNothing()
{
    QSignalSpy changed(icon, &TaskBarIcon::propertyChanged);
    icon->letEnabled(True); // empty picture
    icon->letBaseIcon(makeTestBitmap());
    changed.clear();
    icon->letEnabled(True); // a bitmap
    QVERIFY(area->calls.isEmpty());
    QCOMPARE(icon->Enabled(), False);
    QCOMPARE(changed.count(), 0);
}

void TestTaskBarIconRegistration::newBaseIconWhileRegisteredModifiesOnce()
{
    icon->letBaseIcon(base);
    icon->letEnabled(True);
    area->calls.clear();
    const Picture other = makeTestIcon(qRgb(0, 200, 0));
    icon->letBaseIcon(other);
    QCOMPARE(area->messages(), QList<NotifyMessage>{NotifyMessage::Modify});
    QCOMPARE(area->calls.first().data.hIcon, other.handle());
    QCOMPARE(area->calls.first().data.uFlags, 7u);
}

void TestTaskBarIconRegistration::newBaseIconInDesignerIsOnlyStored()
{
    icon->setUserMode(false);
    icon->letBaseIcon(base);
    icon->letEnabled(True); // a designer's control adds its icon too
    area->calls.clear();
    const Picture other = makeTestIcon(qRgb(0, 200, 0));
    icon->setBaseIcon(other);
    QVERIFY(area->calls.isEmpty());
    QCOMPARE(icon->BaseIcon(), PictureRef(other));
}

void TestTaskBarIconRegistration::bitmapBaseIconDeletesAndDisables()
{
    icon->letBaseIcon(base);
    icon->letFlashIcon(flash);
    icon->letEnabled(True);
    icon->letFlash(True);
    area->calls.clear();

    const Picture bitmap = makeTestBitmap();
    icon->letBaseIcon(bitmap);
    // The flash stops (restoring the old base icon), then the icon goes.
    QCOMPARE(area->messages(),
             (QList<NotifyMessage>{NotifyMessage::Modify, NotifyMessage::Delete}));
    QCOMPARE(area->calls.first().data.hIcon, base.handle());
    QCOMPARE(icon->Enabled(), False);
    QCOMPARE(icon->Flash(), False);
    QCOMPARE(icon->BaseIcon(), PictureRef(bitmap)); // stored all the same
    QVERIFY(!icon->flashTimerActive());
}

void TestTaskBarIconRegistration::disablingWhileFlashingRestoresThenDeletes()
{
    icon->letBaseIcon(base);
    icon->letFlashIcon(flash);
    icon->letEnabled(True);
    icon->letFlash(True);
    icon->Timer1_Timer(); // showing the flash icon
    area->calls.clear();
    icon->letEnabled(False);
    QCOMPARE(area->messages(),
             (QList<NotifyMessage>{NotifyMessage::Modify, NotifyMessage::Delete}));
    QCOMPARE(area->calls.at(0).data.hIcon, base.handle());
    QCOMPARE(area->calls.at(1).data.hIcon, base.handle()); // the record unchanged
}

void TestTaskBarIconRegistration::tip_data()
{
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QByteArray>("field");
    const auto field = [](const QByteArray& text) {
        QByteArray f = text + '\0';
        return f + QByteArray(64 - f.size(), ' ');
    };
    const QByteArray s63(63, 'a');
    QTest::newRow("empty: NUL and 63 spaces") << QString() << field("");
    QTest::newRow("short") << QStringLiteral("Watching") << field("Watching");
    QTest::newRow("63 characters whole") << QString::fromLatin1(s63) << field(s63);
    QTest::newRow("64 characters cut to 63") << QString(64, 'b') << field(QByteArray(63, 'b'));
    QTest::newRow("100 characters cut to 63") << QString(100, 'c') << field(QByteArray(63, 'c'));
    // A two-byte character straddling the cut is dropped whole.
    QTest::newRow("no half character at the cut")
        << QString(62, 'd') + QChar(0xE9) << field(QByteArray(62, 'd'));
}

void TestTaskBarIconRegistration::tip()
{
    QFETCH(QString, tip);
    QFETCH(QByteArray, field);
    icon->letBaseIcon(base);
    icon->letEnabled(True);
    area->calls.clear();
    QSignalSpy changed(icon, &TaskBarIcon::propertyChanged);
    icon->letTip(tip);
    QCOMPARE(area->messages(), QList<NotifyMessage>{NotifyMessage::Modify});
    QCOMPARE(tipBytes(area->calls.first().data), field);
    QCOMPARE(icon->Tip(), tip); // the property keeps the whole text
    QCOMPARE(changed.count(), 1);
}

void TestTaskBarIconRegistration::tipWhileUnregisteredGoesWithNextAdd()
{
    icon->letTip(QStringLiteral("later"));
    QVERIFY(area->calls.isEmpty());
    icon->letBaseIcon(base);
    icon->letEnabled(True);
    QCOMPARE(area->messages(), QList<NotifyMessage>{NotifyMessage::Add});
    QCOMPARE(area->calls.first().data.tipText(), QStringLiteral("later"));
}

void TestTaskBarIconRegistration::terminateDeletesOnlyARegisteredIcon()
{
    {
        TaskBarIcon unregistered(*area);
        unregistered.InitProperties();
    }
    QVERIFY(area->calls.isEmpty());
    {
        TaskBarIcon registered(*area);
        registered.InitProperties();
        registered.letBaseIcon(base);
        registered.letEnabled(True);
        area->calls.clear();
    }
    QCOMPARE(area->messages(), QList<NotifyMessage>{NotifyMessage::Delete});
}

void TestTaskBarIconRegistration::enabledOtherThanTrueCountsAsRegistered()
{
    // Enabled keeps the value it was set with; any non-zero value added the icon, so
    // tip and icon changes reach it, flashing can start, and it goes with the control.
    {
        TaskBarIcon control(*area);
        control.InitProperties();
        control.letBaseIcon(base);
        control.letFlashIcon(flash);
        control.letEnabled(Boolean(std::int16_t(1)));
        QCOMPARE(control.Enabled(), Boolean(std::int16_t(1)));
        control.letTip(QStringLiteral("tip"));
        control.letBaseIcon(flash);
        control.letBaseIcon(base);
        control.letFlash(True);
        QCOMPARE(control.Flash(), True);
    }
    QCOMPARE(area->messages(),
             (QList<NotifyMessage>{NotifyMessage::Add, NotifyMessage::Modify, NotifyMessage::Modify,
                                   NotifyMessage::Modify, NotifyMessage::Delete}));
}

QTEST_MAIN(TestTaskBarIconRegistration)
#include "tst_taskbaricon_registration.moc"
