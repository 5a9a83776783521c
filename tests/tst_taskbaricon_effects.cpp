// Flashing, animation and the icon store of the tray control: start and stop
// conditions, the icon shown at each step, the errors raised to the caller.
#include "fakes.h"
#include "fixtures.h"
#include "propertybag.h"
#include "runtimeerror.h"
#include "taskbaricon.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>
#include <limits>

namespace {

// Records, besides each call, when it came.
class TimedNotifyArea : public RecordingNotifyArea
{
public:
    void notify(NotifyMessage message, const NotifyIconData& data) override
    {
        RecordingNotifyArea::notify(message, data);
        at.append(clock.elapsed());
    }
    QElapsedTimer clock;
    QList<qint64> at;
};

enum class Setup
{
    Ready,
    NotEnabled,
    EmptyFlashIcon,
    NoFlashIcon,
    BitmapFlashIcon,
    Animating,
    EmptyStore,
    Flashing
};
} // namespace

Q_DECLARE_METATYPE(Setup)

class TestTaskBarIconEffects : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void flashStart_data();
    void flashStart();
    void flashSequenceThenStopOnBaseIcon();
    void flashTrueTwiceDoesNotRestart();
    void valueOneNeitherStartsNorStops();
    void flashTimingAtShortInterval();
    void stepTimeChangeWaitsForNextStart_data();
    void stepTimeChangeWaitsForNextStart();
    void intervalOfZeroRunsNoTimer_data();
    void intervalOfZeroRunsNoTimer();

    void animateStart_data();
    void animateStart();
    void framesCycleAndRestartContinues();
    void resetIconsWhileAnimating();
    void resetIconsReturnsFalse_data();
    void resetIconsReturnsFalse();

    void stopPaths_data();
    void stopPaths();

    void nonIconToAddIcon_data();
    void nonIconToAddIcon();
    void errors_data();
    void errors();
    void the32768thIconOverflows();
    void restoredCountsBeyondTheStore_data();
    void restoredCountsBeyondTheStore();
    void animationStepBeyondTheIndexOverflows();
    void missingFrameStopsTheRunningTimer();

private:
    // Base and flash icon assigned, registered, calls cleared.
    void registerIcon();
    void addFrames();
    QList<std::int32_t> shown() const; // hIcon of every call (all must be modify)
    int changes(const QSignalSpy& spy, const char* name) const;

    std::unique_ptr<TrayIconFixture<>> m_tray;
    RecordingNotifyArea* area = nullptr;
    TaskBarIcon* icon = nullptr;
    Picture base, flash, f1, f2, f3;
};

void TestTaskBarIconEffects::init()
{
    m_tray = std::make_unique<TrayIconFixture<>>();
    area = &m_tray->area;
    icon = &m_tray->icon;
    base = m_tray->base;
    flash = m_tray->flash;
    f1 = makeTestIcon(qRgb(1, 0, 0));
    f2 = makeTestIcon(qRgb(2, 0, 0));
    f3 = makeTestIcon(qRgb(3, 0, 0));
}

void TestTaskBarIconEffects::cleanup()
{
    m_tray.reset();
}

void TestTaskBarIconEffects::registerIcon()
{
    m_tray->registerIcon();
}

void TestTaskBarIconEffects::addFrames()
{
    icon->letAddIcon(f1);
    icon->letAddIcon(f2);
    icon->letAddIcon(f3);
}

QList<std::int32_t> TestTaskBarIconEffects::shown() const
{
    QList<std::int32_t> out;
    for (const auto& c : area->calls) {
        if (c.message != NotifyMessage::Modify || c.data.uFlags != 7u || c.data.uID != 1u)
            return {-1};
        out.append(c.data.hIcon);
    }
    return out;
}

int TestTaskBarIconEffects::changes(const QSignalSpy& spy, const char* name) const
{
    int n = 0;
    for (const auto& args : spy)
        n += args.at(0).toString() == QLatin1String(name);
    return n;
}

// --- flashing --------------------------------------------------------------------------

void TestTaskBarIconEffects::flashStart_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<qint16>("value");
    QTest::addColumn<bool>("starts");
    QTest::newRow("True while registered starts") << Setup::Ready << qint16(-1) << true;
    QTest::newRow("not enabled") << Setup::NotEnabled << qint16(-1) << false;
    QTest::newRow("empty flash icon") << Setup::EmptyFlashIcon << qint16(-1) << false;
    QTest::newRow("no flash icon at all") << Setup::NoFlashIcon << qint16(-1) << false;
    QTest::newRow("bitmap flash icon") << Setup::BitmapFlashIcon << qint16(-1) << false;
    QTest::newRow("while animating") << Setup::Animating << qint16(-1) << false;
    QTest::newRow("1 is not exactly True") << Setup::Ready << qint16(1) << false;
}

void TestTaskBarIconEffects::flashStart()
{
    QFETCH(Setup, setup);
    QFETCH(qint16, value);
    QFETCH(bool, starts);
    icon->letBaseIcon(base);
    switch (setup) {
    case Setup::EmptyFlashIcon:
        icon->letFlashIcon(Picture());
        break;
    case Setup::NoFlashIcon:
        icon->letFlashIcon(std::nullopt);
        break;
    case Setup::BitmapFlashIcon:
        icon->letFlashIcon(makeTestBitmap());
        break;
    default:
        icon->letFlashIcon(flash);
    }
    if (setup != Setup::NotEnabled)
        icon->letEnabled(True);
    if (setup == Setup::Animating) {
        icon->letAddIcon(f1);
        icon->letAnimate(True);
        QVERIFY(icon->Animate().isExactlyTrue());
    }
    area->calls.clear();
    QSignalSpy changed(icon, &TaskBarIcon::propertyChanged);

    icon->letFlash(Boolean(value));
    QCOMPARE(icon->Flash(), starts ? True : False);
    QCOMPARE(icon->flashTimerActive(), starts);
    QCOMPARE(changes(changed, "Flash"), starts ? 1 : 0);
    QVERIFY(area->calls.isEmpty()); // the first step comes one interval later
}

void TestTaskBarIconEffects::flashSequenceThenStopOnBaseIcon()
{
    registerIcon();
    icon->letFlash(True);
    icon->Timer1_Timer();
    icon->Timer1_Timer();
    icon->Timer1_Timer();
    QCOMPARE(shown(), (QList<std::int32_t>{flash.handle(), base.handle(), flash.handle()}));

    // Stop: timer off, Flash False and its notification, then the base icon.
    area->calls.clear();
    int callsAtNotification = -1;
    connect(icon, &TaskBarIcon::propertyChanged, this,
            [&](const QString&) { callsAtNotification = int(area->calls.size()); });
    icon->letFlash(False);
    QCOMPARE(shown(), QList<std::int32_t>{base.handle()});
    QCOMPARE(callsAtNotification, 0);
    QCOMPARE(icon->Flash(), False);
    QVERIFY(!icon->flashTimerActive());
}

void TestTaskBarIconEffects::flashTrueTwiceDoesNotRestart()
{
    registerIcon();
    icon->letFlash(True);
    icon->Timer1_Timer(); // flash icon; the next step shows the base icon
    QSignalSpy changed(icon, &TaskBarIcon::propertyChanged);
    icon->letFlash(True);
    QCOMPARE(changed.count(), 0);
    icon->Timer1_Timer();
    QCOMPARE(shown(), (QList<std::int32_t>{flash.handle(), base.handle()}));
}

void TestTaskBarIconEffects::valueOneNeitherStartsNorStops()
{
    registerIcon();
    icon->letFlash(True);
    QSignalSpy changed(icon, &TaskBarIcon::propertyChanged);
    icon->letFlash(Boolean(std::int16_t(1)));
    QCOMPARE(icon->Flash(), True);
    QVERIFY(icon->flashTimerActive());
    QCOMPARE(changed.count(), 0);
    QVERIFY(area->calls.isEmpty());
}

void TestTaskBarIconEffects::flashTimingAtShortInterval()
{
    // The sequence of a 500 ms flash, at 150 ms: flash icon at 1, base icon at 2,
    // flash icon at 3 intervals after the start; a stop shows the base icon at once.
    constexpr int interval = 150;
    TrayIconFixture<TimedNotifyArea> f;
    TimedNotifyArea& timed = f.area;
    TaskBarIcon& control = f.icon;
    control.letFlashTime(interval);
    f.registerIcon();
    timed.at.clear();
    timed.clock.start();
    control.letFlash(True);
    QTRY_COMPARE_WITH_TIMEOUT(timed.calls.size(), 3, 10 * interval + 5000);
    // No timer can fire between the two lines: the fourth call is the stop's own.
    control.letFlash(False);
    QCOMPARE(timed.calls.size(), 4);
    const QList<std::int32_t> expected{f.flash.handle(), f.base.handle(), f.flash.handle(),
                                       f.base.handle()};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(timed.calls.at(i).message, NotifyMessage::Modify);
        QCOMPARE(timed.calls.at(i).data.hIcon, expected.at(i));
    }
    // A precise timer never fires early (allow a few ms of rounding); a busy machine
    // may make it late, so the upper bound is loose.
    for (int i = 0; i < 3; ++i) {
        QVERIFY2(timed.at.at(i) >= (i + 1) * interval - 5,
                 qPrintable(QString::number(timed.at.at(i))));
        QVERIFY2(timed.at.at(i) < (i + 1) * interval + 2000,
                 qPrintable(QString::number(timed.at.at(i))));
    }
}

void TestTaskBarIconEffects::stepTimeChangeWaitsForNextStart_data()
{
    QTest::addColumn<bool>("animation");
    QTest::newRow("FlashTime") << false;
    QTest::newRow("AnimationTime") << true;
}

void TestTaskBarIconEffects::stepTimeChangeWaitsForNextStart()
{
    QFETCH(bool, animation);
    registerIcon();
    icon->letAddIcon(f1);
    const auto start = [&](Boolean on) { animation ? icon->letAnimate(on) : icon->letFlash(on); };
    const auto interval = [&] {
        return animation ? icon->animationTimerInterval() : icon->flashTimerInterval();
    };
    start(True);
    QCOMPARE(interval(), 500);
    QSignalSpy changed(icon, &TaskBarIcon::propertyChanged);
    animation ? icon->letAnimationTime(80) : icon->letFlashTime(80);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toString(),
             animation ? QStringLiteral("AnimationTime") : QStringLiteral("FlashTime"));
    QCOMPARE(interval(), 500);
    start(False);
    start(True);
    QCOMPARE(interval(), 80);
}

void TestTaskBarIconEffects::intervalOfZeroRunsNoTimer_data()
{
    QTest::addColumn<int>("interval");
    QTest::newRow("zero") << 0;
    QTest::newRow("negative") << -100;
}

void TestTaskBarIconEffects::intervalOfZeroRunsNoTimer()
{
    // The value is passed on unchanged, but a timer of 0 ms or less never fires
    // (at 0 it would otherwise step on every turn of the event loop).
    QFETCH(int, interval);
    registerIcon();
    icon->letFlashTime(interval);
    icon->letFlash(True);
    QCOMPARE(icon->Flash(), True);
    QCOMPARE(icon->flashTimerInterval(), interval);
    QVERIFY(!icon->flashTimerActive());
}

// --- animation -------------------------------------------------------------------------------

void TestTaskBarIconEffects::animateStart_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<qint16>("value");
    QTest::addColumn<bool>("starts");
    QTest::newRow("True with icons starts") << Setup::Ready << qint16(-1) << true;
    QTest::newRow("any non-zero value starts") << Setup::Ready << qint16(1) << true;
    QTest::newRow("empty store") << Setup::EmptyStore << qint16(-1) << false;
    QTest::newRow("not enabled") << Setup::NotEnabled << qint16(-1) << false;
    QTest::newRow("while flashing") << Setup::Flashing << qint16(-1) << false;
}

void TestTaskBarIconEffects::animateStart()
{
    QFETCH(Setup, setup);
    QFETCH(qint16, value);
    QFETCH(bool, starts);
    icon->letBaseIcon(base);
    icon->letFlashIcon(flash);
    if (setup != Setup::NotEnabled)
        icon->letEnabled(True);
    if (setup != Setup::EmptyStore)
        addFrames();
    if (setup == Setup::Flashing)
        icon->letFlash(True);
    area->calls.clear();
    QSignalSpy changed(icon, &TaskBarIcon::propertyChanged);

    icon->letAnimate(Boolean(value));
    QCOMPARE(icon->Animate(), starts ? True : False); // stored as True, whatever started it
    QCOMPARE(icon->animationTimerActive(), starts);
    QCOMPARE(changes(changed, "Animate"), starts ? 1 : 0);
    QVERIFY(area->calls.isEmpty());
}

void TestTaskBarIconEffects::framesCycleAndRestartContinues()
{
    registerIcon();
    addFrames();
    QCOMPARE(icon->PictureIndex(), 3);
    icon->letAnimate(True);
    for (int i = 0; i < 4; ++i)
        icon->Timer2_Timer();
    QCOMPARE(shown(), (QList<std::int32_t>{f1.handle(), f2.handle(), f3.handle(), f1.handle()}));

    icon->Timer2_Timer(); // frame 2
    area->calls.clear();
    // Stop: timer off, the base icon, then Animate False and its notification.
    int callsAtNotification = -1;
    connect(icon, &TaskBarIcon::propertyChanged, this,
            [&](const QString&) { callsAtNotification = int(area->calls.size()); });
    icon->letAnimate(False);
    QCOMPARE(shown(), QList<std::int32_t>{base.handle()});
    QCOMPARE(callsAtNotification, 1);
    QVERIFY(!icon->animationTimerActive());

    area->calls.clear();
    icon->letAnimate(True);
    icon->Timer2_Timer();
    icon->Timer2_Timer();
    QCOMPARE(shown(), (QList<std::int32_t>{f3.handle(), f1.handle()}));
}

void TestTaskBarIconEffects::resetIconsWhileAnimating()
{
    registerIcon();
    icon->letAddIcon(f1);
    icon->letAddIcon(f2);
    icon->letAnimate(True);
    icon->Timer2_Timer();
    area->calls.clear();

    QCOMPARE(icon->ResetIcons(), False);
    QCOMPARE(icon->PictureIndex(), 0);
    QCOMPARE(icon->storeElementCount(), 0);
    icon->Timer2_Timer();
    icon->Timer2_Timer();
    QVERIFY(area->calls.isEmpty()); // the icon stays on the last frame
    QCOMPARE(icon->Animate(), True);
    QVERIFY(icon->animationTimerActive());

    icon->letAnimate(False);
    QCOMPARE(shown(), QList<std::int32_t>{base.handle()});
    QCOMPARE(icon->Animate(), False);
}

void TestTaskBarIconEffects::resetIconsReturnsFalse_data()
{
    QTest::addColumn<int>("stored");
    QTest::newRow("empty store") << 0;
    QTest::newRow("three icons removed") << 3;
}

void TestTaskBarIconEffects::resetIconsReturnsFalse()
{
    QFETCH(int, stored);
    for (int i = 0; i < stored; ++i)
        icon->letAddIcon(f1);
    QSignalSpy changed(icon, &TaskBarIcon::propertyChanged);
    QCOMPARE(icon->ResetIcons(), False);
    QCOMPARE(icon->PictureIndex(), 0);
    QCOMPARE(icon->storeElementCount(), 0);
    QCOMPARE(changed.count(), 0);
    // The store fills again from element 1.
    registerIcon();
    icon->letAddIcon(f2);
    icon->letAnimate(True);
    icon->Timer2_Timer();
    QCOMPARE(shown(), QList<std::int32_t>{f2.handle()});
}

// --- interplay: every way back to the plain icon ----------------------------------------------

void TestTaskBarIconEffects::stopPaths_data()
{
    QTest::addColumn<bool>("animating");
    QTest::addColumn<QString>("stop");
    QTest::addColumn<QList<NotifyMessage>>("messages");
    const QList<NotifyMessage> restore{NotifyMessage::Modify};
    const QList<NotifyMessage> restoreDelete{NotifyMessage::Modify, NotifyMessage::Delete};
    QTest::newRow("Flash False") << false << "Flash" << restore;
    QTest::newRow("bitmap FlashIcon stops flashing") << false << "FlashIcon" << restore;
    QTest::newRow("Enabled False stops flashing") << false << "Enabled" << restoreDelete;
    QTest::newRow("bitmap BaseIcon stops flashing") << false << "BaseIcon" << restoreDelete;
    QTest::newRow("Animate False") << true << "Animate" << restore;
    QTest::newRow("Enabled False stops animation") << true << "Enabled" << restoreDelete;
    QTest::newRow("bitmap BaseIcon stops animation") << true << "BaseIcon" << restoreDelete;
}

void TestTaskBarIconEffects::stopPaths()
{
    QFETCH(bool, animating);
    QFETCH(QString, stop);
    QFETCH(QList<NotifyMessage>, messages);
    registerIcon();
    addFrames();
    animating ? icon->letAnimate(True) : icon->letFlash(True);
    animating ? icon->Timer2_Timer() : icon->Timer1_Timer();
    area->calls.clear();

    if (stop == QLatin1String("Flash"))
        icon->letFlash(False);
    else if (stop == QLatin1String("Animate"))
        icon->letAnimate(False);
    else if (stop == QLatin1String("FlashIcon"))
        icon->letFlashIcon(makeTestBitmap());
    else if (stop == QLatin1String("Enabled"))
        icon->letEnabled(False);
    else
        icon->letBaseIcon(makeTestBitmap());

    QCOMPARE(area->messages(), messages);
    QCOMPARE(area->calls.first().data.hIcon, base.handle()); // the old base icon
    QCOMPARE(icon->Flash(), False);
    QCOMPARE(icon->Animate(), False);
    QVERIFY(!icon->flashTimerActive());
    QVERIFY(!icon->animationTimerActive());
}

// --- the icon store and its errors ------------------------------------------------------------

void TestTaskBarIconEffects::nonIconToAddIcon_data()
{
    QTest::addColumn<PictureRef>("picture");
    QTest::newRow("bitmap") << PictureRef(makeTestBitmap());
    QTest::newRow("empty picture") << PictureRef(Picture());
    QTest::newRow("nothing") << PictureRef();
}

void TestTaskBarIconEffects::nonIconToAddIcon()
{
    QFETCH(PictureRef, picture);
    icon->letAddIcon(f1);
    QSignalSpy changed(icon, &TaskBarIcon::propertyChanged);
    icon->setAddIcon(picture);
    QCOMPARE(icon->AddIcon(), picture);
    QCOMPARE(icon->PictureIndex(), 1);
    QCOMPARE(icon->storeElementCount(), 1);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toString(), QStringLiteral("AddIcon"));
}

void TestTaskBarIconEffects::errors_data()
{
    QTest::addColumn<bool>("userMode");
    QTest::addColumn<bool>("pictureIndex"); // assign PictureIndex, else AddIcon
    QTest::addColumn<int>("count");         // restored before the assignment
    QTest::addColumn<int>("error");
    QTest::newRow("AddIcon in a designer") << false << false << 0 << 383;
    QTest::newRow("AddIcon at run time") << true << false << 0 << 0;
    QTest::newRow("AddIcon in a designer, store full") << false << false << 32767 << 383;
    QTest::newRow("AddIcon at run time, store full") << true << false << 32767 << 6;
    QTest::newRow("PictureIndex in a designer") << false << true << 0 << 387;
    QTest::newRow("PictureIndex at run time") << true << true << 0 << 382;
}

void TestTaskBarIconEffects::errors()
{
    QFETCH(bool, userMode);
    QFETCH(bool, pictureIndex);
    QFETCH(int, count);
    QFETCH(int, error);
    MemoryPropertyBag bag;
    bag.setValue(QStringLiteral("PictureIndex"), count);
    icon->ReadProperties(bag);
    icon->setUserMode(userMode);
    const PictureRef before = icon->AddIcon();
    QSignalSpy changed(icon, &TaskBarIcon::propertyChanged);
    const int raised =
        runtimeErrorOf([&] { pictureIndex ? icon->letPictureIndex(5) : icon->letAddIcon(f1); });
    QCOMPARE(raised, error);
    const bool added = error == 0;
    const bool stored = added || error == 6; // stored and notified before the overflow
    QCOMPARE(icon->PictureIndex(), added ? count + 1 : count);
    QCOMPARE(icon->AddIcon(), stored ? PictureRef(f1) : before);
    QCOMPARE(changed.count(), stored ? 1 : 0);
    QVERIFY(area->calls.isEmpty());
}

void TestTaskBarIconEffects::the32768thIconOverflows()
{
    for (int i = 0; i < 32767; ++i)
        icon->letAddIcon(f1);
    QCOMPARE(icon->PictureIndex(), 32767);
    QSignalSpy changed(icon, &TaskBarIcon::propertyChanged);
    QCOMPARE(runtimeErrorOf([&] { icon->letAddIcon(f2); }), 6);
    // Stored and notified before the store overflowed; the count still matches the store.
    QCOMPARE(icon->AddIcon(), PictureRef(f2));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(icon->PictureIndex(), 32767);
    QCOMPARE(icon->storeElementCount(), 32767);
    QCOMPARE(icon->ResetIcons(), False);
    QCOMPARE(icon->PictureIndex(), 0);
}

void TestTaskBarIconEffects::restoredCountsBeyondTheStore_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("addError");
    QTest::addColumn<int>("resetError");
    QTest::newRow("largest 32-bit count") << std::numeric_limits<int>::max() << 6 << 6;
    QTest::newRow("beyond the 16-bit index") << 40000 << 6 << 6;
    QTest::newRow("negative count") << -3 << 340 << 0;
}

void TestTaskBarIconEffects::restoredCountsBeyondTheStore()
{
    QFETCH(int, count);
    QFETCH(int, addError);
    QFETCH(int, resetError);
    MemoryPropertyBag bag;
    bag.setValue(QStringLiteral("PictureIndex"), count);
    icon->ReadProperties(bag);
    QCOMPARE(icon->PictureIndex(), count);
    QCOMPARE(runtimeErrorOf([&] { icon->letAddIcon(f1); }), addError);
    QCOMPARE(icon->PictureIndex(), count);
    QCOMPARE(icon->storeElementCount(), 0);
    QCOMPARE(runtimeErrorOf([&] { icon->ResetIcons(); }), resetError);
    QCOMPARE(icon->PictureIndex(), resetError ? count : 0);
}

void TestTaskBarIconEffects::animationStepBeyondTheIndexOverflows()
{
    for (int i = 0; i < 32767; ++i)
        icon->letAddIcon(f1);
    MemoryPropertyBag bag;
    bag.setValue(QStringLiteral("PictureIndex"), 40000);
    icon->ReadProperties(bag); // the store stays; only the count changes
    for (int i = 0; i < 32767; ++i)
        icon->Timer2_Timer();
    QCOMPARE(area->calls.size(), 32767);
    QCOMPARE(runtimeErrorOf([&] { icon->Timer2_Timer(); }), 6);
    QCOMPARE(area->calls.size(), 32767);
}

void TestTaskBarIconEffects::missingFrameStopsTheRunningTimer()
{
    // A count restored from saved properties names frames that were never stored:
    // the step raises 340, and the running timer stops instead of failing on
    // every tick.
    MemoryPropertyBag bag;
    bag.setValue(QStringLiteral("PictureIndex"), 2);
    bag.setValue(QStringLiteral("AnimationTime"), 20);
    icon->ReadProperties(bag);
    QCOMPARE(runtimeErrorOf([&] { icon->Timer2_Timer(); }), 340);

    registerIcon();
    QTest::ignoreMessage(QtWarningMsg,
                         "TaskBarIcon: Run-time error '340': Control array element '2' "
                         "doesn't exist");
    icon->letAnimate(True);
    QVERIFY(icon->animationTimerActive());
    QTRY_VERIFY(!icon->animationTimerActive());
    QVERIFY(area->calls.isEmpty());
    QCOMPARE(icon->Animate(), True);
    icon->letAnimate(False);
    QCOMPARE(shown(), QList<std::int32_t>{base.handle()});
}

QTEST_MAIN(TestTaskBarIconEffects)
#include "tst_taskbaricon_effects.moc"
