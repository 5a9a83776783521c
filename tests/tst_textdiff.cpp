// The difference between two texts: lines added and removed in reading order, changed
// lines marked word by word, unchanged stretches folded around the changes, the counts,
// and the bound that keeps a comparison short whatever the texts.
#include "textdiff.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

namespace {

// One entry a line: " text" context, "-text" removed, "+text" added, with its changed
// words in brackets, and "~N" for N folded lines.
QStringList render(const TextDiff& diff)
{
    QStringList out;
    for (const DiffLine& d : diff.lines) {
        if (d.kind == DiffLine::Kind::Folded) {
            out << QStringLiteral("~%1").arg(d.folded);
            continue;
        }
        QString text = d.text;
        for (qsizetype i = d.marks.size() - 1; i >= 0; --i) {
            text.insert(d.marks[i].start + d.marks[i].length, u']');
            text.insert(d.marks[i].start, u'[');
        }
        const char sign = d.kind == DiffLine::Kind::Removed ? '-'
                          : d.kind == DiffLine::Kind::Added ? '+'
                                                            : ' ';
        out << QLatin1Char(sign) + text;
    }
    return out;
}

QStringList numbered(int count, int from = 1)
{
    QStringList lines;
    for (int i = from; i < from + count; ++i)
        lines << QStringLiteral("line %1").arg(i);
    return lines;
}

QStringList split(const char* text)
{
    return QString::fromUtf8(text).split(u'|', Qt::SkipEmptyParts);
}

} // namespace

Q_DECLARE_METATYPE(TextDiffLimits)

class TestTextDiff : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void differences_data();
    void differences();
    void lineNumbers();
    void foldedText();
    void bound_data();
    void bound();
    void oneLongLineComparesItsChangedPart();
    void wordBound_data();
    void wordBound();
};

void TestTextDiff::differences_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("removed");

    QTest::newRow("same") << split("a|b") << split("a|b") << QStringList() << 0 << 0;
    QTest::newRow("added line") << split("a|b|c") << split("a|b|x|c") << split(" a| b|+x| c") << 1
                                << 0;
    QTest::newRow("removed line") << split("a|b|c") << split("a|c") << split(" a|-b| c") << 0 << 1;
    QTest::newRow("all new") << QStringList() << split("a|b") << split("+a|+b") << 2 << 0;
    QTest::newRow("all gone") << split("a|b") << QStringList() << split("-a|-b") << 0 << 2;
    QTest::newRow("moved line") << split("a|b|c|d") << split("b|c|d|a") << split("-a| b| c| d|+a")
                                << 1 << 1;
    QTest::newRow("changed word") << split("Price: 10 euros|end") << split("Price: 12 euros|end")
                                  << split("-Price: [10] euros|+Price: [12] euros| end") << 1 << 1;
    // Words apart by white space only are marked as one phrase.
    QTest::newRow("changed phrase") << split("one two three four") << split("one 2 3 four")
                                    << split("-one [two three] four|+one [2 3] four") << 1 << 1;
    QTest::newRow("word added") << split("a red car") << split("a big red car")
                                << split("-a red car|+a [big ]red car") << 1 << 1;
    QTest::newRow("punctuation") << split("Hello, world.") << split("Hello; world!")
                                 << split("-Hello[,] world[.]|+Hello[;] world[!]") << 1 << 1;
    QTest::newRow("in a word") << split("version 1.2.3 out") << split("version 1.2.4 out")
                               << split("-version 1.2.[3] out|+version 1.2.[4] out") << 1 << 1;
    // Lines that share little are a removal and an addition, not a change.
    QTest::newRow("unlike lines whole") << split("Open today") << split("Closed for winter")
                                        << split("-Open today|+Closed for winter") << 1 << 1;
    QTest::newRow("pairs in order")
        << split("x|a 1 b|c 2 d|y") << split("x|a 9 b|c 8 d|new|y")
        << split(" x|-a [1] b|-c [2] d|+a [9] b|+c [8] d|+new| y") << 3 << 2;

    // Three lines of context; longer stretches fold, a fold of one line is shown instead.
    QStringList changedMiddle = numbered(20);
    changedMiddle[9] = QStringLiteral("line X");
    QTest::newRow("folded around a change")
        << numbered(20) << changedMiddle
        << split("~6| line 7| line 8| line 9|-line [10]|+line [X]| line 11| line 12| line 13|~7")
        << 1 << 1;
    QStringList twoChanges = numbered(30);
    twoChanges.removeAt(24);
    twoChanges.removeAt(2);
    QTest::newRow("fold between changes")
        << numbered(30) << twoChanges
        << split(" line 1| line 2|-line 3| line 4| line 5| line 6|~15| line 22| line 23| "
                 "line 24|-line 25| line 26| line 27| line 28|~2")
        << 0 << 2;
    QStringList closeChanges = numbered(12);
    closeChanges.removeAt(9);
    closeChanges.removeAt(1);
    QTest::newRow("short gap shown whole")
        << numbered(12) << closeChanges
        << split(" line 1|-line 2| line 3| line 4| line 5| line 6| line 7| line 8| line 9|-line "
                 "10| line 11| line 12")
        << 0 << 2;
    QTest::newRow("one line not folded") << numbered(4) << numbered(4) + split("new")
                                         << split(" line 1| line 2| line 3| line 4|+new") << 1 << 0;
}

void TestTextDiff::differences()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(QStringList, shown);
    QFETCH(int, added);
    QFETCH(int, removed);
    const TextDiff diff = diffTexts(before, after);
    QVERIFY(diff.complete);
    QCOMPARE(render(diff), shown);
    QCOMPARE(diff.added, added);
    QCOMPARE(diff.removed, removed);
    QCOMPARE(diff.same(), added == 0 && removed == 0);
}

void TestTextDiff::lineNumbers()
{
    const TextDiff diff = diffTexts(split("a|b|c"), split("a|x|y|c"), {.context = 1});
    QList<std::pair<int, int>> numbers;
    for (const DiffLine& d : diff.lines)
        numbers.append({d.oldNumber, d.newNumber});
    const QList<std::pair<int, int>> expected{{1, 1}, {2, 0}, {0, 2}, {0, 3}, {3, 4}};
    QCOMPARE(numbers, expected);
}

void TestTextDiff::foldedText()
{
    DiffLine d;
    d.kind = DiffLine::Kind::Folded;
    d.folded = 120;
    QCOMPARE(d.foldedText(), QStringLiteral("… 120 unchanged lines …"));
    d.folded = 1;
    QCOMPARE(d.foldedText(), QStringLiteral("… 1 unchanged line …"));
}

void TestTextDiff::bound_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<int>("added"); // -1: most of the lines
    QTest::addColumn<int>("removed");

    const int n = 200'000;
    const QStringList big = numbered(n);
    // A few scattered changes: compared in full.
    QStringList few = big;
    for (int i = 1; i <= 10; ++i)
        few[i * 17'000] = QStringLiteral("changed %1").arg(i);
    QTest::newRow("200,000 lines, 10 changed") << big << few << true << 10 << 10;
    // Nothing in common: counted, not compared.
    QTest::newRow("200,000 lines, all new") << big << numbered(n, n + 1) << false << n << n;
    // The same lines in another order: counted by what stays in order.
    QStringList shuffled = big;
    QRandomGenerator random(27);
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    QTest::newRow("200,000 lines, shuffled") << big << shuffled << false << -1 << -1;
    // A half moved: one half kept, the other removed and added.
    QStringList halves = big.mid(n / 2) + big.mid(0, n / 2);
    QTest::newRow("200,000 lines, halves swapped") << big << halves << true << n / 2 << n / 2;
}

void TestTextDiff::bound()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(bool, complete);
    QFETCH(int, added);
    QFETCH(int, removed);
    QElapsedTimer timer;
    timer.start();
    const TextDiff diff = diffTexts(before, after);
    const qint64 ms = timer.elapsed();
    QCOMPARE(diff.complete, complete);
    if (added < 0) {
        // Most lines, in some order that a cheap comparison finds.
        QVERIFY(diff.added > before.size() / 2 && diff.added == diff.removed);
    } else {
        QCOMPARE(diff.added, added);
        QCOMPARE(diff.removed, removed);
    }
    QVERIFY(complete || diff.lines.isEmpty());
    // Under a second in a normal build here; the margin is for sanitizers and a busy machine.
    QVERIFY2(ms < 10'000, qPrintable(QString::number(ms)));
}

void TestTextDiff::oneLongLineComparesItsChangedPart()
{
    // One line of 10 MiB that changed in one word.
    QString line;
    for (int i = 0; line.size() < (10 << 20); ++i)
        line += QStringLiteral("word%1 ").arg(i % 1000);
    const qsizetype start = line.indexOf(u' ', line.size() / 2) + 1;
    QString changed = line;
    changed.replace(start, 4, QStringLiteral("WORD"));
    const TextDiff diff = diffTexts({line}, {changed});
    QVERIFY(diff.complete);
    QCOMPARE(diff.lines.size(), 2);
    QCOMPARE(diff.lines[0].marks.size(), 1);
    QCOMPARE(diff.lines[0].marks[0].start, start);
    QCOMPARE(diff.lines[1].marks[0].start, start);
}

void TestTextDiff::wordBound_data()
{
    QTest::addColumn<TextDiffLimits>("limits");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("within") << TextDiffLimits{}
                            << split("-a b [c] d e|-f g [h] i|+a b [C] d e|+f g [H] i");
    // Beyond the bounds, the changed lines show whole.
    QTest::newRow("too many words in a line")
        << TextDiffLimits{.maxWordsInLine = 1} << split("-a b c d e|-f g h i|+a b C d e|+f g H i");
    QTest::newRow("word work spent on the first pair")
        << TextDiffLimits{.maxWordWork = 4} << split("-a b [c] d e|-f g h i|+a b [C] d e|+f g H i");
}

void TestTextDiff::wordBound()
{
    QFETCH(TextDiffLimits, limits);
    QFETCH(QStringList, shown);
    const TextDiff diff = diffTexts(split("a b c d e|f g h i"), split("a b C d e|f g H i"), limits);
    QCOMPARE(render(diff), shown);
    QCOMPARE(diff.added, 2);
}

QTEST_GUILESS_MAIN(TestTextDiff)
#include "tst_textdiff.moc"
