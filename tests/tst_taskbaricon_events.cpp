// Click events of the tray control: the notification area's mouse reports, decoded
// from the message number standing in X, raise LeftClick, LeftDbClick, RightClick
// and RightDbClick.
#include "fakes.h"
#include "fixtures.h"
#include "taskbaricon.h"

#include <QTest>

namespace {
struct Event
{
    QString name;
    std::int16_t button;
    std::int16_t shift;
    float x;
    float y;
};
} // namespace

class TestTaskBarIconEvents : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void oneReport_data();
    void oneReport();
    void reportSequences_data();
    void reportSequences();
    void mouseMoveConversion_data();
    void mouseMoveConversion();
    void valuesWrittenBackHaveNoEffect();
    void reportsLeaveTheIconAlone();

private:
    QStringList names() const;

    std::unique_ptr<TrayIconFixture<>> m_tray;
    RecordingNotifyArea* area = nullptr;
    TaskBarIcon* icon = nullptr;
    QList<Event> events;
};

void TestTaskBarIconEvents::init()
{
    m_tray = std::make_unique<TrayIconFixture<>>();
    area = &m_tray->area;
    icon = &m_tray->icon;
    events.clear();
    const auto record = [this](const char* name) {
        return [this, name](std::int16_t& b, std::int16_t& s, float& x, float& y) {
            events.append({QLatin1String(name), b, s, x, y});
        };
    };
    connect(icon, &TaskBarIcon::LeftClick, this, record("LeftClick"));
    connect(icon, &TaskBarIcon::LeftDbClick, this, record("LeftDbClick"));
    connect(icon, &TaskBarIcon::RightClick, this, record("RightClick"));
    connect(icon, &TaskBarIcon::RightDbClick, this, record("RightDbClick"));
}

void TestTaskBarIconEvents::cleanup()
{
    m_tray.reset();
}

QStringList TestTaskBarIconEvents::names() const
{
    QStringList out;
    for (const Event& e : events)
        out.append(e.name);
    return out;
}

void TestTaskBarIconEvents::oneReport_data()
{
    QTest::addColumn<int>("message");
    QTest::addColumn<QString>("event"); // empty: none
    QTest::newRow("move 512") << 512 << QString();
    QTest::newRow("left down 513") << 513 << QString();
    QTest::newRow("left up 514") << 514 << QStringLiteral("LeftClick");
    QTest::newRow("left double 515") << 515 << QStringLiteral("LeftDbClick");
    QTest::newRow("right down 516") << 516 << QString();
    QTest::newRow("right up 517") << 517 << QStringLiteral("RightClick");
    QTest::newRow("right double 518") << 518 << QStringLiteral("RightDbClick");
    QTest::newRow("middle down 519") << 519 << QString();
    QTest::newRow("middle up 520") << 520 << QString();
    QTest::newRow("middle double 521") << 521 << QString();
}

void TestTaskBarIconEvents::oneReport()
{
    QFETCH(int, message);
    QFETCH(QString, event);
    area->sendMouse(message);
    if (event.isEmpty()) {
        QVERIFY(events.isEmpty());
        return;
    }
    QCOMPARE(events.size(), 1);
    const Event& e = events.first();
    QCOMPARE(e.name, event);
    QCOMPARE(e.button, std::int16_t(1)); // whichever button was used
    QCOMPARE(e.shift, std::int16_t(0));
    QCOMPARE(e.x, float(message));
    QCOMPARE(e.y, 0.0f);
}

void TestTaskBarIconEvents::reportSequences_data()
{
    QTest::addColumn<QList<int>>("messages");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("left click") << QList<int>{512, 513, 514} << QStringList{"LeftClick"};
    QTest::newRow("left double click")
        << QList<int>{513, 514, 515, 514} << QStringList{"LeftClick", "LeftDbClick", "LeftClick"};
    QTest::newRow("right click") << QList<int>{516, 517} << QStringList{"RightClick"};
    QTest::newRow("right double click") << QList<int>{516, 517, 518, 517}
                                        << QStringList{"RightClick", "RightDbClick", "RightClick"};
    QTest::newRow("middle click") << QList<int>{519, 520, 521, 520} << QStringList{};
}

void TestTaskBarIconEvents::reportSequences()
{
    QFETCH(QList<int>, messages);
    QFETCH(QStringList, expected);
    for (int m : messages)
        area->sendMouse(m);
    QCOMPARE(names(), expected);
}

void TestTaskBarIconEvents::mouseMoveConversion_data()
{
    QTest::addColumn<int>("scaleMode");
    QTest::addColumn<float>("twipsPerPixel");
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("xAfter");
    QTest::addColumn<QString>("event");
    const int twips = TaskBarIcon::Twips, pixels = TaskBarIcon::Pixels;
    QTest::newRow("twips 7710 at 15") << twips << 15.0f << 7710.0f << 514.0f << "LeftClick";
    QTest::newRow("twips 6204 at 12") << twips << 12.0f << 6204.0f << 517.0f << "RightClick";
    QTest::newRow("twips 514 is pixel 34.27")
        << twips << 15.0f << 514.0f << 514.0f / 15.0f << QString();
    QTest::newRow("pixels 514 as it comes") << pixels << 15.0f << 514.0f << 514.0f << "LeftClick";
    QTest::newRow("pixels 518 as it comes")
        << pixels << 15.0f << 518.0f << 518.0f << "RightDbClick";
    QTest::newRow("pixels 7710 is no message")
        << pixels << 15.0f << 7710.0f << 7710.0f << QString();
    QTest::newRow("other scale modes count as twips")
        << 0 << 15.0f << 7725.0f << 515.0f << "LeftDbClick";
    // The control is 480 twips (32 pixels) wide: movement over it never reaches 514.
    QTest::newRow("movement over the control")
        << twips << 15.0f << 479.0f << 479.0f / 15.0f << QString();
    QTest::newRow("just off 514") << twips << 15.0f << 7711.0f << 7711.0f / 15.0f << QString();
}

void TestTaskBarIconEvents::mouseMoveConversion()
{
    QFETCH(int, scaleMode);
    QFETCH(float, twipsPerPixel);
    QFETCH(float, x);
    QFETCH(float, xAfter);
    QFETCH(QString, event);
    icon->setScaleMode(scaleMode);
    icon->setTwipsPerPixelX(twipsPerPixel);
    std::int16_t button = 2, shift = 1;
    float y = 30.0f;
    icon->UserControl_MouseMove(button, shift, x, y);
    QCOMPARE(x, xAfter); // the quotient is stored back
    QCOMPARE(names(), event.isEmpty() ? QStringList{} : QStringList{event});
    if (!event.isEmpty()) {
        // The handler's own values go to the event.
        QCOMPARE(events.first().button, std::int16_t(2));
        QCOMPARE(events.first().shift, std::int16_t(1));
        QCOMPARE(events.first().x, xAfter);
        QCOMPARE(events.first().y, 30.0f);
    }
}

void TestTaskBarIconEvents::valuesWrittenBackHaveNoEffect()
{
    connect(icon, &TaskBarIcon::LeftClick, this,
            [](std::int16_t& b, std::int16_t&, float& x, float&) {
                b = 2;
                x = 517.0f;
            });
    area->sendMouse(514);
    area->sendMouse(514);
    QCOMPARE(names(), (QStringList{"LeftClick", "LeftClick"}));
    QCOMPARE(events.at(1).button, std::int16_t(1));
    QCOMPARE(events.at(1).x, 514.0f);
}

void TestTaskBarIconEvents::reportsLeaveTheIconAlone()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::red);
    icon->letBaseIcon(Picture::fromIcon(QIcon(pm)));
    icon->letEnabled(True);
    area->calls.clear();
    for (int m = 512; m <= 521; ++m)
        area->sendMouse(m);
    QVERIFY(area->calls.isEmpty());
}

QTEST_MAIN(TestTaskBarIconEvents)
#include "tst_taskbaricon_events.moc"
