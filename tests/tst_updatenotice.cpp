// The text of the desktop's notification about an update: the first words of what
// changed, cut to about two lines of a bubble, or the change of size.
#include "updatenotice.h"

#include <QTest>

class TestUpdateNotice : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void body_data();
    void body();
};

void TestUpdateNotice::body_data()
{
    // A null text: no such line.
    QTest::addColumn<QString>("added");
    QTest::addColumn<QString>("removed");
    QTest::addColumn<QString>("body");
    const QString none;
    const QString size = QStringLiteral("The page's size went from 1200 to 1234567 bytes");
    QTest::newRow("first added line") << "Tickets on sale now" << none << "Tickets on sale now";
    QTest::newRow("runs of spaces and tabs: one space")
        << "  Tickets\t on  sale " << none << "Tickets on sale";
    QTest::newRow("added and removed: the added line") << "new price"
                                                       << "old price"
                                                       << "new price";
    QTest::newRow("long line: cut at a word")
        << QString("abcd ").repeated(50) << none << QString("abcd ").repeated(39) + "abcd\u2026";
    QTest::newRow("one long word: cut in it")
        << QString(300, 'x') << none << QString(199, 'x') + "\u2026";
    QTest::newRow("a character of two halves at the cut stays whole")
        << QString(198, 'x') + "\U0001F600" + QString(10, 'y') << none
        << QString(198, 'x') + "\u2026";
    QTest::newRow("markup characters stay plain") << "a <b> & c" << none << "a <b> & c";
    QTest::newRow("removed only") << none << "Sold out"
                                  << "Removed: Sold out";
    QTest::newRow("blank added line: the removed one") << "  "
                                                       << "Sold out"
                                                       << "Removed: Sold out";
    QTest::newRow("removed long: the prefix counts")
        << none << QString(300, 'x') << "Removed: " + QString(190, 'x') + "\u2026";
    QTest::newRow("no text difference: the sizes as plain integers") << none << none << size;
}

void TestUpdateNotice::body()
{
    QFETCH(QString, added);
    QFETCH(QString, removed);
    QFETCH(QString, body);
    UpdateFacts facts{QStringLiteral("example.com"), std::nullopt, std::nullopt, 1200, 1234567};
    if (!added.isNull())
        facts.firstAddedLine = added;
    if (!removed.isNull())
        facts.firstRemovedLine = removed;
    const DesktopNotice notice = UpdateNotice::make(facts);
    QCOMPARE(notice.summary, QStringLiteral("example.com has changed"));
    QCOMPARE(notice.body, body);
    QVERIFY(notice.body.size() <= UpdateNotice::kMaxBodyLength);
}

QTEST_GUILESS_MAIN(TestUpdateNotice)
#include "tst_updatenotice.moc"
