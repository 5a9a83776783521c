// The window "What changed": each line of a difference as a reader gets it (its sign,
// its text, the words marked inside a changed line), the look that goes with it, a
// message in place of a difference, and the window's buttons.
#include "whatchangedwindow.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

namespace {

DiffLine line(DiffLine::Kind kind, const QString& text, QList<DiffLine::Mark> marks = {})
{
    DiffLine l;
    l.kind = kind;
    l.text = text;
    l.marks = marks;
    return l;
}

DiffLine folded(int count)
{
    DiffLine l;
    l.kind = DiffLine::Kind::Folded;
    l.folded = count;
    return l;
}

TextDiff diffOf(QList<DiffLine> lines)
{
    TextDiff d;
    for (const DiffLine& l : lines) {
        d.added += l.kind == DiffLine::Kind::Added;
        d.removed += l.kind == DiffLine::Kind::Removed;
    }
    d.lines = lines;
    return d;
}

using K = DiffLine::Kind;

// One block of the shown text: its text with the words marked on their own ground in
// [brackets], and its look: r(ed) or g(reen) ground, q(uiet) grey text on no ground,
// f(olded) grey and italic on a grey ground, or m(essage).
QString readBlock(const QTextBlock& block, QChar& look)
{
    QString text;
    bool italic = false;
    QColor foreground;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        const bool marked = f.charFormat().hasProperty(QTextFormat::BackgroundBrush);
        text += marked ? QLatin1Char('[') + f.text() + QLatin1Char(']') : f.text();
        italic = italic || f.charFormat().fontItalic();
        if (f.position() > block.position()) // the sign has a colour of its own
            foreground = f.charFormat().foreground().color();
    }
    const QBrush ground = block.blockFormat().background();
    if (ground.style() == Qt::NoBrush) {
        look = foreground.isValid() && foreground.lightness() > 60 ? u'q' : u'm';
    } else {
        const QColor c = ground.color();
        look = italic ? u'f' : c.red() > c.green() ? u'r' : u'g';
    }
    return text;
}

QPushButton* button(WhatChangedWindow& w, const char* name)
{
    return w.findChild<QPushButton*>(QLatin1String(name));
}

} // namespace

class TestWhatChangedWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void shows_data();
    void shows();
    void aLargeDifferenceIsCut_data();
    void aLargeDifferenceIsCut();
    void buttonsFollowTheView_data();
    void buttonsFollowTheView();
    void buttonsAndKeys_data();
    void buttonsAndKeys();
    void fitsASmallScreen();
};

void TestWhatChangedWindow::initTestCase()
{
    // The counts in a regional form that does not depend on the machine's.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestWhatChangedWindow::shows_data()
{
    QTest::addColumn<TextDiff>("diff");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("lines"); // as a reader gets them, marks in [brackets]
    QTest::addColumn<QString>("looks");     // one letter a line, see readBlock
    QTest::addColumn<QString>("summary");   // empty: no summary shows

    const QString minus = QStringLiteral("\u2212 ");
    QTest::newRow("removed line: red, with a minus")
        << diffOf({line(K::Removed, "Open 9 to 5")}) << QString()
        << QStringList{minus + "Open 9 to 5"} << "r"
        << "1 line removed.";
    QTest::newRow("added line: green, with a plus")
        << diffOf({line(K::Added, "Open on Sundays")}) << QString()
        << QStringList{"+ Open on Sundays"} << "g"
        << "1 line added.";
    QTest::newRow("changed words marked inside the changed line")
        << diffOf({line(K::Removed, "Price: 10 euros", {{7, 2}}),
                   line(K::Added, "Price: 12.50 euros", {{7, 5}})})
        << QString() << QStringList{minus + "Price: [10] euros", "+ Price: [12.50] euros"} << "rg"
        << "1 line added, 1 removed.";
    QTest::newRow("context quieter, with a space")
        << diffOf(
               {line(K::Context, "Welcome"), line(K::Added, "News"), line(K::Context, "Contact")})
        << QString() << QStringList{"  Welcome", "+ News", "  Contact"} << "qgq"
        << "1 line added.";
    QTest::newRow("a long unchanged stretch folded")
        << diffOf({line(K::Context, "Top"), folded(120), line(K::Removed, "Old footer")})
        << QString()
        << QStringList{"  Top", "  \u2026 120 unchanged lines \u2026", minus + "Old footer"}
        << "qfr"
        << "1 line removed.";
    QTest::newRow("marks past the line's end are cut to it")
        << diffOf({line(K::Added, "short", {{3, 50}, {60, 2}})}) << QString()
        << QStringList{"+ sho[rt]"} << "g"
        << "1 line added.";

    QTest::newRow("a message instead of a difference")
        << diffOf({line(K::Added, "not shown")}) << "No earlier version was kept."
        << QStringList{"No earlier version was kept."} << "m" << QString();
    TextDiff incomplete;
    incomplete.complete = false;
    incomplete.added = 123456;
    incomplete.removed = 1;
    QTest::newRow("too different to compare: the counts")
        << incomplete << QString()
        << QStringList{"The page changed in too many places to show line by line: 123,456 lines "
                       "added, 1 removed."}
        << "m" << QString();
    QTest::newRow("the same text: only markup changed")
        << TextDiff() << QString()
        << QStringList{"The page's text is the same as before: only what a reader does not see "
                       "changed (its markup, scripts or styles)."}
        << "m" << QString();
}

void TestWhatChangedWindow::shows()
{
    QFETCH(TextDiff, diff);
    QFETCH(QString, message);
    QFETCH(QStringList, lines);
    QFETCH(QString, looks);
    QFETCH(QString, summary);

    WhatChangedWindow w;
    const QString title = QStringLiteral("example.org: what changed at 12/28/2026 1:09:59 PM");
    w.showView({title, diff, message, false, false});
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.windowTitle(), title);
    auto* text = w.findChild<QTextBrowser*>();
    QVERIFY(text->isReadOnly());

    QStringList shown;
    QString shownLooks;
    for (QTextBlock b = text->document()->begin(); b.isValid(); b = b.next()) {
        QChar look;
        shown << readBlock(b, look);
        shownLooks += look;
    }
    QCOMPARE(shown, lines);
    QCOMPARE(shownLooks, looks);
    auto* summaryLabel = w.findChild<QLabel*>(QStringLiteral("lblSummary"));
    QCOMPARE(summaryLabel->isVisible() ? summaryLabel->text() : QString(), summary);

    // A screen reader gets the same text, each line with its sign.
    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(text);
    QAccessibleTextInterface* readable = reader->textInterface();
    QVERIFY(readable);
    QString all = readable->text(0, readable->characterCount());
    all.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    QCOMPARE(all.split(QLatin1Char('\n')),
             QStringList(lines).replaceInStrings("[", "").replaceInStrings("]", ""));
}

void TestWhatChangedWindow::aLargeDifferenceIsCut_data()
{
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<int>("lineLength");
    QTest::addColumn<int>("blocks");   // shown
    QTest::addColumn<QString>("last"); // the last block, from its end
    const int most = WhatChangedWindow::kMaxShownLines;
    const int longest = int(WhatChangedWindow::kMaxLineLength);
    QTest::newRow("more lines than shown: counted")
        << most + 1234 << 10 << most + 1 << "  \u2026 1,234 more lines not shown \u2026";
    QTest::newRow("a line longer than shown: cut")
        << 1 << longest + 10 << 1 << "x\u2026 (10 more characters)";
    const int fill = int(WhatChangedWindow::kMaxShownCharacters / longest) + 1;
    QTest::newRow("long lines: as many as the characters allow")
        << fill + 66 << longest << fill + 1 << "  \u2026 66 more lines not shown \u2026";
}

void TestWhatChangedWindow::aLargeDifferenceIsCut()
{
    QFETCH(int, lineCount);
    QFETCH(int, lineLength);
    QFETCH(int, blocks);
    QFETCH(QString, last);
    QList<DiffLine> many(lineCount, line(K::Added, QString(lineLength, u'x')));
    WhatChangedWindow w;
    w.showView({QStringLiteral("t"), diffOf(many), QString(), false, false});
    const QTextDocument* doc = w.findChild<QTextBrowser*>()->document();
    QCOMPARE(doc->blockCount(), blocks);
    QVERIFY2(doc->lastBlock().text().endsWith(last), qPrintable(doc->lastBlock().text().right(60)));
}

void TestWhatChangedWindow::buttonsFollowTheView_data()
{
    QTest::addColumn<bool>("waiting");
    QTest::addColumn<bool>("hasOlder");
    QTest::addColumn<bool>("hasNewer");
    QTest::newRow("the only kept update") << false << false << false;
    QTest::newRow("the newest of several") << false << true << false;
    QTest::newRow("one in the middle") << false << true << true;
    QTest::newRow("the oldest") << false << false << true;
    QTest::newRow("while comparing: all off but Close") << true << true << true;
}

void TestWhatChangedWindow::buttonsFollowTheView()
{
    QFETCH(bool, waiting);
    QFETCH(bool, hasOlder);
    QFETCH(bool, hasNewer);
    WhatChangedWindow w;
    // What a view enabled goes off while the next one is being compared.
    w.showView({QStringLiteral("a"), diffOf({line(K::Added, "x")}), QString(), hasOlder, hasNewer});
    if (waiting)
        w.showWaiting(QStringLiteral("example.org: what changed at 12/28/2026 1:09:59 PM"));
    QVERIFY(w.isVisible());
    QCOMPARE(button(w, "cmdOlder")->isEnabled(), hasOlder && !waiting);
    QCOMPARE(button(w, "cmdNewer")->isEnabled(), hasNewer && !waiting);
    QCOMPARE(button(w, "cmdOpenPage")->isEnabled(), !waiting);
    QVERIFY(button(w, "cmdClose")->isEnabled());
    if (waiting)
        QCOMPARE(w.findChild<QTextBrowser*>()->toPlainText(), QStringLiteral("Working\u2026"));
}

void TestWhatChangedWindow::buttonsAndKeys_data()
{
    QTest::addColumn<QString>("press");   // a button's caption, or "Esc"
    QTest::addColumn<QString>("emitted"); // the signal, empty: none
    QTest::addColumn<bool>("closes");
    QTest::newRow("Older") << "Older"
                           << "olderRequested" << false;
    QTest::newRow("Newer") << "Newer"
                           << "newerRequested" << false;
    QTest::newRow("Open page") << "Open page"
                               << "openPageRequested" << false;
    QTest::newRow("Close") << "Close" << QString() << true;
    QTest::newRow("Esc") << "Esc" << QString() << true;
}

void TestWhatChangedWindow::buttonsAndKeys()
{
    QFETCH(QString, press);
    QFETCH(QString, emitted);
    QFETCH(bool, closes);
    WhatChangedWindow w;
    QSignalSpy older(&w, &WhatChangedWindow::olderRequested);
    QSignalSpy newer(&w, &WhatChangedWindow::newerRequested);
    QSignalSpy open(&w, &WhatChangedWindow::openPageRequested);
    w.showView({QStringLiteral("a"), diffOf({line(K::Added, "x")}), QString(), true, true});
    QVERIFY(QTest::qWaitForWindowActive(&w));

    if (press == QLatin1String("Esc")) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    } else {
        QPushButton* target = nullptr;
        for (QPushButton* b : w.findChildren<QPushButton*>()) {
            if (b->text() == press)
                target = b;
        }
        QVERIFY(target);
        QTest::mouseClick(target, Qt::LeftButton);
    }
    QCOMPARE(older.size(), int(emitted == "olderRequested"));
    QCOMPARE(newer.size(), int(emitted == "newerRequested"));
    QCOMPARE(open.size(), int(emitted == "openPageRequested"));
    QCOMPARE(w.isVisible(), !closes);
}

void TestWhatChangedWindow::fitsASmallScreen()
{
    WhatChangedWindow w;
    QVERIFY(w.width() <= 800 && w.height() <= 600); // with a frame and panels on 1024 x 768
    QVERIFY(w.minimumSize() != w.maximumSize());    // the user may make it larger
}

QTEST_MAIN(TestWhatChangedWindow)
#include "tst_whatchangedwindow.moc"
