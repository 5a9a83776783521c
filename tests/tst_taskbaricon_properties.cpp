// Saved properties of the tray control: defaults of a new instance, reading and
// writing a property bag (keys, order, defaults, conversions), Resize, Terminate.
#include "fakes.h"
#include "fixtures.h"
#include "propertybag.h"
#include "runtimeerror.h"
#include "taskbaricon.h"

#include <QPixmap>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A bag that remembers every read and write, with the default given.
class LoggingBag : public MemoryPropertyBag
{
public:
    QVariant ReadProperty(const QString& key, const QVariant& defaultValue) const override
    {
        log.append({key, QVariant(), defaultValue});
        return MemoryPropertyBag::ReadProperty(key, defaultValue);
    }
    void WriteProperty(const QString& key, const QVariant& value,
                       const QVariant& defaultValue) override
    {
        log.append({key, value, defaultValue});
        MemoryPropertyBag::WriteProperty(key, value, defaultValue);
    }
    struct Entry
    {
        QString key;
        QVariant value;
        QVariant defaultValue;
    };
    mutable QList<Entry> log;
    QStringList keys() const
    {
        QStringList out;
        for (const Entry& e : log)
            out.append(e.key);
        return out;
    }
};

// A field of the control by its key, as a QVariant, for comparing.
QVariant field(const TaskBarIcon& c, const QString& key)
{
    if (key == QLatin1String("Enabled"))
        return c.Enabled().raw();
    if (key == QLatin1String("Flash"))
        return c.Flash().raw();
    if (key == QLatin1String("Animate"))
        return c.Animate().raw();
    if (key == QLatin1String("Tip"))
        return c.Tip();
    if (key == QLatin1String("FlashTime"))
        return c.FlashTime();
    if (key == QLatin1String("AnimationTime"))
        return c.AnimationTime();
    if (key == QLatin1String("PictureIndex"))
        return c.PictureIndex();
    const PictureRef p = key == QLatin1String("BaseIcon")    ? c.BaseIcon()
                         : key == QLatin1String("FlashIcon") ? c.FlashIcon()
                                                             : c.AddIcon();
    return p ? QVariant::fromValue(*p) : QVariant();
}
} // namespace

class TestTaskBarIconProperties : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void defaults_data();
    void defaults();
    void readOrderAndDefaults();
    void writeOrderAndDefaults();
    void newInstanceWritesNoNumberBooleanOrText();
    void readingCallsNoPropertyProcedure();
    void readEnabledShowsNoIconUntilFalseThenTrue();
    void conversions_data();
    void conversions();
    void roundTripThroughIniFile();
    void resize_data();
    void resize();
    void terminate_data();
    void terminate();

private:
    std::unique_ptr<TrayIconFixture<>> m_tray;
    RecordingNotifyArea* area = nullptr;
    TaskBarIcon* icon = nullptr;
};

void TestTaskBarIconProperties::init()
{
    m_tray = std::make_unique<TrayIconFixture<>>(false); // a control not yet initialised
    area = &m_tray->area;
    icon = &m_tray->icon;
}

void TestTaskBarIconProperties::cleanup()
{
    m_tray.reset();
}

void TestTaskBarIconProperties::defaults_data()
{
    QTest::addColumn<bool>("fromEmptyBag");
    QTest::newRow("new instance: empty pictures") << false;
    QTest::newRow("empty property bag: no pictures at all") << true;
}

void TestTaskBarIconProperties::defaults()
{
    QFETCH(bool, fromEmptyBag);
    QSignalSpy changed(icon, &TaskBarIcon::propertyChanged);
    if (fromEmptyBag)
        icon->ReadProperties(MemoryPropertyBag());
    else
        icon->InitProperties();
    const PictureRef picture = fromEmptyBag ? PictureRef() : PictureRef(Picture());
    QCOMPARE(icon->BaseIcon(), picture);
    QCOMPARE(icon->FlashIcon(), picture);
    QCOMPARE(icon->AddIcon(), picture);
    QCOMPARE(icon->Enabled(), False);
    QCOMPARE(icon->Tip(), QString());
    QCOMPARE(icon->Flash(), False);
    QCOMPARE(icon->Animate(), False);
    QCOMPARE(icon->AnimationTime(), 500);
    QCOMPARE(icon->FlashTime(), 500);
    QCOMPARE(icon->PictureIndex(), 0);
    QCOMPARE(changed.count(), 0);
    QVERIFY(area->calls.isEmpty());
}

void TestTaskBarIconProperties::readOrderAndDefaults()
{
    LoggingBag bag;
    icon->ReadProperties(bag);
    QCOMPARE(bag.keys(), (QStringList{"AddIcon", "BaseIcon", "FlashIcon", "Enabled", "Tip", "Flash",
                                      "Animate", "AnimationTime", "FlashTime", "PictureIndex"}));
    for (int i = 0; i < 3; ++i)
        QVERIFY(!bag.log.at(i).defaultValue.isValid());
    for (int i : {3, 5, 6, 9}) {
        QCOMPARE(bag.log.at(i).defaultValue.metaType(), QMetaType::fromType<qint16>());
        QCOMPARE(bag.log.at(i).defaultValue.value<qint16>(), qint16(0));
    }
    QCOMPARE(bag.log.at(4).defaultValue, QVariant(QString()));
    for (int i : {7, 8})
        QCOMPARE(bag.log.at(i).defaultValue.value<qint16>(), qint16(500));
}

void TestTaskBarIconProperties::writeOrderAndDefaults()
{
    icon->InitProperties();
    icon->letTip(QStringLiteral("tip"));
    icon->letFlashTime(250);
    LoggingBag bag;
    icon->WriteProperties(bag);
    QCOMPARE(bag.keys(), (QStringList{"BaseIcon", "FlashIcon", "AddIcon", "Enabled", "Tip", "Flash",
                                      "Animate", "AnimationTime", "FlashTime", "PictureIndex"}));
    // Booleans as Booleans, the three counts and times as 32-bit integers.
    for (int i : {3, 5, 6})
        QCOMPARE(bag.log.at(i).value.metaType(), QMetaType::fromType<bool>());
    for (int i : {7, 8, 9})
        QCOMPARE(bag.log.at(i).value.metaType(), QMetaType::fromType<std::int32_t>());
    QCOMPARE(bag.log.at(4).value, QVariant(QStringLiteral("tip")));
    QCOMPARE(bag.log.at(8).value, QVariant(250));
}

void TestTaskBarIconProperties::newInstanceWritesNoNumberBooleanOrText()
{
    icon->InitProperties();
    MemoryPropertyBag bag;
    icon->WriteProperties(bag);
    // Only the three empty pictures differ from their default (nothing).
    QCOMPARE(bag.values().keys(), (QStringList{"AddIcon", "BaseIcon", "FlashIcon"}));
    for (const QVariant& v : bag.values())
        QCOMPARE(v.value<Picture>(), Picture());
}

void TestTaskBarIconProperties::readingCallsNoPropertyProcedure()
{
    MemoryPropertyBag bag;
    bag.setValue(QStringLiteral("BaseIcon"), QVariant::fromValue(makeTestIcon(qRgb(0, 0, 255))));
    bag.setValue(QStringLiteral("FlashIcon"), QVariant::fromValue(makeTestIcon(qRgb(255, 0, 0))));
    bag.setValue(QStringLiteral("AddIcon"), QVariant::fromValue(makeTestIcon(qRgb(0, 255, 0))));
    bag.setValue(QStringLiteral("Enabled"), true);
    bag.setValue(QStringLiteral("Flash"), true);
    bag.setValue(QStringLiteral("Animate"), true);
    bag.setValue(QStringLiteral("PictureIndex"), 2);
    QSignalSpy changed(icon, &TaskBarIcon::propertyChanged);
    icon->ReadProperties(bag);
    QCOMPARE(icon->Enabled(), True);
    QCOMPARE(icon->Flash(), True);
    QCOMPARE(icon->Animate(), True);
    QCOMPARE(icon->PictureIndex(), 2);
    QVERIFY(!icon->flashTimerActive());
    QVERIFY(!icon->animationTimerActive());
    QCOMPARE(icon->storeElementCount(), 0);
    QCOMPARE(changed.count(), 0);
    QVERIFY(area->calls.isEmpty());
}

void TestTaskBarIconProperties::readEnabledShowsNoIconUntilFalseThenTrue()
{
    const Picture base = makeTestIcon(qRgb(0, 0, 255));
    MemoryPropertyBag bag;
    bag.setValue(QStringLiteral("BaseIcon"), QVariant::fromValue(base));
    bag.setValue(QStringLiteral("Enabled"), true);
    icon->ReadProperties(bag);
    QCOMPARE(icon->Enabled(), True);
    icon->letEnabled(True); // equal: nothing
    QVERIFY(area->calls.isEmpty());
    icon->letEnabled(False);
    icon->letEnabled(True);
    QCOMPARE(area->messages(), (QList<NotifyMessage>{NotifyMessage::Delete, NotifyMessage::Add}));
    QCOMPARE(area->calls.last().data.hIcon, base.handle());
}

void TestTaskBarIconProperties::conversions_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QVariant>("expected"); // the field's value; invalid when an error
    QTest::addColumn<int>("error");
    const QVariant err;
    const QVariant picture = QVariant::fromValue(Picture());
    const auto b = [](int raw) { return QVariant(qint16(raw)); };
    QTest::newRow("Boolean true") << "Enabled" << QVariant(true) << b(-1) << 0;
    QTest::newRow("Boolean 1 is True") << "Flash" << QVariant(1) << b(-1) << 0;
    QTest::newRow("Boolean 16-bit 0") << "Animate" << QVariant(qint16(0)) << b(0) << 0;
    QTest::newRow("Boolean text true") << "Enabled" << QVariant("true") << b(-1) << 0;
    QTest::newRow("Boolean text False") << "Enabled" << QVariant("False") << b(0) << 0;
    QTest::newRow("Boolean text -1") << "Enabled" << QVariant(" -1 ") << b(-1) << 0;
    QTest::newRow("Boolean text 0") << "Flash" << QVariant("0") << b(0) << 0;
    QTest::newRow("Boolean text yes") << "Enabled" << QVariant("yes") << err << 13;
    QTest::newRow("Boolean text nan") << "Enabled" << QVariant("nan") << err << 13;
    QTest::newRow("Boolean picture") << "Enabled" << picture << err << 13;
    QTest::newRow("Long text 250") << "FlashTime" << QVariant("250") << QVariant(250) << 0;
    QTest::newRow("Long text with spaces") << "FlashTime" << QVariant(" 42 ") << QVariant(42) << 0;
    QTest::newRow("Long 2.5 to even") << "AnimationTime" << QVariant(2.5) << QVariant(2) << 0;
    QTest::newRow("Long 3.5 to even") << "AnimationTime" << QVariant(3.5) << QVariant(4) << 0;
    QTest::newRow("Long Boolean True is -1") << "FlashTime" << QVariant(true) << QVariant(-1) << 0;
    QTest::newRow("Long largest") << "PictureIndex" << QVariant(qint64(2147483647))
                                  << QVariant(2147483647) << 0;
    QTest::newRow("Long overflow") << "FlashTime" << QVariant(qint64(3000000000)) << err << 6;
    QTest::newRow("Long text overflow") << "FlashTime" << QVariant("-2147483649") << err << 6;
    QTest::newRow("Long text abc") << "FlashTime" << QVariant("abc") << err << 13;
    QTest::newRow("Long text empty") << "FlashTime" << QVariant("") << err << 13;
    QTest::newRow("Long text inf") << "FlashTime" << QVariant("inf") << err << 13;
    QTest::newRow("Long text nan") << "PictureIndex" << QVariant("nan") << err << 13;
    QTest::newRow("Long picture") << "FlashTime" << picture << err << 13;
    QTest::newRow("text from number") << "Tip" << QVariant(12) << QVariant("12") << 0;
    QTest::newRow("text from Boolean") << "Tip" << QVariant(true) << QVariant("True") << 0;
    QTest::newRow("text from picture") << "Tip" << picture << err << 13;
    QTest::newRow("picture: empty picture") << "BaseIcon" << picture << picture << 0;
    QTest::newRow("picture: text") << "BaseIcon" << QVariant("icon.png") << err << 13;
    QTest::newRow("picture: empty text") << "FlashIcon" << QVariant(QString()) << err << 13;
    QTest::newRow("picture: number") << "AddIcon" << QVariant(0) << err << 13;
}

void TestTaskBarIconProperties::conversions()
{
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    QFETCH(QVariant, expected);
    QFETCH(int, error);
    MemoryPropertyBag bag;
    bag.setValue(key, stored);
    int raised = 0;
    try {
        icon->ReadProperties(bag);
    } catch (const RuntimeError& e) {
        raised = e.number();
    }
    QCOMPARE(raised, error);
    if (!error)
        QCOMPARE(field(*icon, key), expected);
}

void TestTaskBarIconProperties::roundTripThroughIniFile()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("form.ini"));
    const Picture base = makeTestIcon(qRgb(0, 0, 255));
    icon->InitProperties();
    icon->letBaseIcon(base);
    icon->letFlashIcon(makeTestIcon(qRgb(255, 0, 0)));
    icon->letTip(QStringLiteral("Watching, always"));
    icon->letFlashTime(250);
    icon->letAnimationTime(1000);
    icon->letEnabled(True);
    {
        IniPropertyBag bag(file, QStringLiteral("TaskBarIcon1"));
        icon->WriteProperties(bag);
        bag.save();
    }

    RecordingNotifyArea otherArea;
    TaskBarIcon restored(otherArea);
    restored.ReadProperties(IniPropertyBag(file, QStringLiteral("TaskBarIcon1")));
    QCOMPARE(restored.Tip(), QStringLiteral("Watching, always"));
    QCOMPARE(restored.FlashTime(), 250);
    QCOMPARE(restored.AnimationTime(), 1000);
    QCOMPARE(restored.Enabled(), True);
    QCOMPARE(restored.Flash(), False);
    QCOMPARE(restored.PictureIndex(), 0);
    QVERIFY(restored.BaseIcon() && restored.BaseIcon()->type() == Picture::Type::Icon);
    QVERIFY(restored.FlashIcon() && restored.FlashIcon()->type() == Picture::Type::Icon);
    QCOMPARE(restored.AddIcon(), PictureRef(Picture())); // stored as an empty picture
    QCOMPARE(restored.BaseIcon()->image().pixel(8, 8), qRgb(0, 0, 255));
    QVERIFY(otherArea.calls.isEmpty());
    // Saved Enabled comes up without an icon: False then True registers it.
    restored.letEnabled(False);
    restored.letEnabled(True);
    QCOMPARE(otherArea.messages(),
             (QList<NotifyMessage>{NotifyMessage::Delete, NotifyMessage::Add}));
    QCOMPARE(otherArea.calls.last().data.tipText(), QStringLiteral("Watching, always"));
}

void TestTaskBarIconProperties::resize_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("already 480 x 480") << 480 << 480;
    QTest::newRow("larger") << 10000 << 2000;
    QTest::newRow("smaller") << 15 << 30;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("negative") << -480 << -1;
}

void TestTaskBarIconProperties::resize()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QCOMPARE(icon->Width(), 480);
    QCOMPARE(icon->Height(), 480);
    icon->setExtent(width, height);
    QCOMPARE(icon->Width(), 480);
    QCOMPARE(icon->Height(), 480);
}

void TestTaskBarIconProperties::terminate_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QList<NotifyMessage>>("messages");
    QTest::newRow("registered: icon deleted")
        << "registered" << QList<NotifyMessage>{NotifyMessage::Delete};
    QTest::newRow("never registered: no call") << "new" << QList<NotifyMessage>{};
    QTest::newRow("disabled again: no call") << "disabled" << QList<NotifyMessage>{};
    QTest::newRow("flashing: deleted, no restore")
        << "flashing" << QList<NotifyMessage>{NotifyMessage::Delete};
    // Enabled read as True counts as registered, although no icon was added.
    QTest::newRow("Enabled read as True") << "read" << QList<NotifyMessage>{NotifyMessage::Delete};
}

void TestTaskBarIconProperties::terminate()
{
    QFETCH(QString, state);
    QFETCH(QList<NotifyMessage>, messages);
    auto* control = new TaskBarIcon(*area);
    control->InitProperties();
    if (state == QLatin1String("read")) {
        MemoryPropertyBag bag;
        bag.setValue(QStringLiteral("Enabled"), true);
        control->ReadProperties(bag);
    } else if (state != QLatin1String("new")) {
        control->letBaseIcon(makeTestIcon(qRgb(0, 0, 255)));
        control->letFlashIcon(makeTestIcon(qRgb(255, 0, 0)));
        control->letEnabled(True);
        if (state == QLatin1String("disabled"))
            control->letEnabled(False);
        if (state == QLatin1String("flashing"))
            control->letFlash(True);
    }
    const NotifyIconData record = control->iconData();
    area->calls.clear();
    int notifications = 0;
    connect(control, &TaskBarIcon::propertyChanged, this, [&] { ++notifications; });
    delete control;
    QCOMPARE(area->messages(), messages);
    QCOMPARE(notifications, 0);
    if (!messages.isEmpty())
        QCOMPARE(area->calls.first().data.hIcon, record.hIcon); // the record unchanged
}

QTEST_MAIN(TestTaskBarIconProperties)
#include "tst_taskbaricon_properties.moc"
