// The Qt notification area turns QSystemTrayIcon's activations into the shell's
// mouse messages, in the order the shell sends them, and hands Qt the program's icons
// with all their sizes.
#include "artwork.h"
#include "fixtures.h"
#include "qtservices.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>

class TestQtNotifyArea : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void activations_data();
    void activations();
    void offeredMenuStaysWithItsOwnerWithoutAHost();
    void messageClickReachesTheOwner();
    void everySizeOfTheIconsReachesQt_data();
    void everySizeOfTheIconsReachesQt();
};

void TestQtNotifyArea::activations_data()
{
    QTest::addColumn<QList<int>>("reasons");
    QTest::addColumn<QList<int>>("messages");
    using R = QSystemTrayIcon;
    QTest::newRow("click: left button-up") << QList<int>{R::Trigger} << QList<int>{514};
    // Qt reports the first click of a double click as Trigger, then DoubleClick: the
    // control sees button-up, double-click and the second button-up.
    QTest::newRow("double click") << QList<int>{R::Trigger, R::DoubleClick}
                                  << QList<int>{514, 515, 514};
    QTest::newRow("context: right button-up") << QList<int>{R::Context} << QList<int>{517};
    QTest::newRow("middle click: nothing") << QList<int>{R::MiddleClick} << QList<int>{};
    QTest::newRow("unknown: nothing") << QList<int>{R::Unknown} << QList<int>{};
}

void TestQtNotifyArea::activations()
{
    QFETCH(QList<int>, reasons);
    QFETCH(QList<int>, messages);
    QtNotifyArea area;
    QList<int> reported;
    area.setMouseHandler([&](int message) { reported.append(message); });
    auto* tray = area.findChild<QSystemTrayIcon*>();
    QVERIFY(tray);
    QVERIFY(!tray->contextMenu()); // the owner pops its own menu on RightClick
    for (int r : reasons)
        Q_EMIT tray->activated(QSystemTrayIcon::ActivationReason(r));
    QCOMPARE(reported, messages);
}

void TestQtNotifyArea::offeredMenuStaysWithItsOwnerWithoutAHost()
{
    // Without a StatusNotifierItem host Qt must not get the menu, or an embedding tray
    // would pop it up next to the owner's.
    QtNotifyArea area;
    if (area.trayKind() == QtNotifyArea::TrayKind::StatusNotifier)
        QSKIP("the session bus has a StatusNotifierItem host");
    QMenu menu;
    area.offerMenu(&menu);
    QVERIFY(!area.findChild<QSystemTrayIcon*>()->contextMenu());
}

void TestQtNotifyArea::messageClickReachesTheOwner()
{
    // On Windows the balloon's click is how the user answers the desktop notification.
    QtNotifyArea area;
    int clicks = 0;
    area.setMessageClickHandler([&] { ++clicks; });
    Q_EMIT area.findChild<QSystemTrayIcon*>()->messageClicked();
    QCOMPARE(clicks, 1);
}

void TestQtNotifyArea::everySizeOfTheIconsReachesQt_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("base icon") << QStringLiteral("orvell");
    QTest::newRow("flash icon") << QStringLiteral("popup");
}

void TestQtNotifyArea::everySizeOfTheIconsReachesQt()
{
    QFETCH(QString, name);
    // The icons as the start-up gives them to the tray control, in the records the
    // control sends: the base icon with the add, the flash icon with a change.
    LoadedMainWindow loaded;
    const TaskBarIcon& control = *loaded.form->TaskBarIcon1;
    NotifyIconData data = loaded.t.notifyArea.calls.first().data;
    QtNotifyArea area;
    area.notify(NotifyMessage::Add, data);
    if (name == QLatin1String("popup")) {
        data.hIcon = control.FlashIcon()->handle();
        area.notify(NotifyMessage::Modify, data);
    }

    const QIcon icon = area.findChild<QSystemTrayIcon*>()->icon();
    QList<QSize> sizes;
    for (int size : Artwork::kTrayIconSizes)
        sizes.append(QSize(size, size));
    QCOMPARE(icon.availableSizes(), sizes);
    // Each size is a picture of its own, not the 32 x 32 one scaled.
    const QImage drawn(QStringLiteral(":/icons/tray/22x22/%1.png").arg(name));
    QCOMPARE(icon.pixmap(QSize(22, 22)).toImage().convertToFormat(QImage::Format_ARGB32),
             drawn.convertToFormat(QImage::Format_ARGB32));
}

QTEST_MAIN(TestQtNotifyArea)
#include "tst_qtnotifyarea.moc"
