// The main window's commands: clicks on the tray icon, the credits panel with its links
// and update log, the window that stands in for the tray on a desktop without one, and
// what the tray icon's tooltip and the caption say about the last check.
#include "checksummary.h"
#include "credits.h"
#include "fakes.h"
#include "fixtures.h"
#include "form1.h"
#include "form2.h"
#include "loopbackserver.h"
#include "startup.h"
#include "whatchanged.h"

#include <QAccessible>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <memory>

namespace {

using LoadedForm = LoadedMainWindow;

// A page on the loopback server that grows by one line with every request, so that
// every check finds a change.
void serveGrowingPage(LoopbackServer& server, int requests)
{
    QList<LoopbackServer::Script> scripts;
    QByteArray body;
    for (int i = 0; i < requests; ++i) {
        body += "<p>line</p>";
        scripts.append(LoopbackServer::Script::reply(body));
    }
    server.setScripts(scripts);
}

// A main window started by the program's start-up on a desktop with or without a tray.
struct StartedForm
{
    explicit StartedForm(bool tray)
    {
        t.notifyArea.available = tray;
        t.writeFile("config.ini", "u,0,s");
        form = std::make_unique<Form1>(t.services());
        status = Startup::loadMainWindow(*form);
    }
    TestServices t;
    std::unique_ptr<Form1> form;
    int status = -1;
};

using Reports = QList<int>;

// A check's outcome as the tooltip rows give it.
CheckOutcome ended(CheckOutcome::Result result, CheckOutcome::Failure failure = {},
                   int status = 200, const QString& phrase = QStringLiteral("OK"),
                   const QString& location = QString(), const QString& reason = QString())
{
    CheckOutcome o;
    o.result = result;
    o.failure = failure;
    o.statusCode = status;
    o.reasonPhrase = phrase;
    o.location = location;
    o.reason = reason;
    return o;
}

} // namespace

Q_DECLARE_METATYPE(CheckSummary::LineCounts)

class TestForm1 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void trayReports_data();
    void trayReports();
    void leftClickWhileNotFlashingChangesNothing();
    void rightClickPopsUpMenuAtPointer();
    void rightClickWhereNoMenuCanPopUpShowsTheMenuBar();

    void aboutShowsThePanelAndKeepsTheLog();
    void onlyTheBackgroundHidesThePanel_data();
    void onlyTheBackgroundHidesThePanel();
    void linksOpenWhenTheLeftButtonGoesDown_data();
    void linksOpenWhenTheLeftButtonGoesDown();
    void clearEmptiesTheLog_data();
    void clearEmptiesTheLog();
    void logLinesAndTheButtonAskForTheChanges_data();
    void logLinesAndTheButtonAskForTheChanges();
    void aScreenReaderFindsOnlyThePanel();
    void creditLinesDoNotOverlap();
    void creditLinesKeepTheirGaps_data();
    void creditLinesKeepTheirGaps();
    void checkNowFetchesAtAnyTime_data();
    void checkNowFetchesAtAnyTime();

    void tooltipAndCaption_data();
    void tooltipAndCaption();
    void checksShowInTheTooltip_data();
    void checksShowInTheTooltip();
    void tooltipCountsTheLines_data();
    void tooltipCountsTheLines();
    void updatesKeepTheirVersions_data();
    void updatesKeepTheirVersions();

    void withTrayNoWindowShows();
    void withoutTrayTheWindowShowsWithMenuBar();
    void withoutTrayTheBackgroundDoesNotHideTheWindow();
    void withoutTrayClosingTheWindowEndsTheProgram_data();
    void withoutTrayClosingTheWindowEndsTheProgram();
};

void TestForm1::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("ORVELL"));
}

void TestForm1::cleanup()
{
    // A menu left open by a test would swallow the next test's clicks.
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
}

// --- clicks on the tray icon ---------------------------------------------------------------

void TestForm1::trayReports_data()
{
    QTest::addColumn<bool>("flashing");
    QTest::addColumn<Reports>("reports");
    QTest::addColumn<bool>("flashingAfter");
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<bool>("menuShown");

    using namespace MouseMessage;
    const QStringList none;
    const QStringList home{Credits::homePageAddress};
    QTest::newRow("left click stops the flashing")
        << true << Reports{LeftButtonDown, LeftButtonUp} << false << none << false;
    // The notification area reports a double click as down, up, double click, up.
    QTest::newRow("left double click stops the flashing and opens the home page")
        << true << Reports{LeftButtonDown, LeftButtonUp, LeftButtonDoubleClick, LeftButtonUp}
        << false << home << false;
    QTest::newRow("left double click while not flashing opens the home page")
        << false << Reports{LeftButtonDown, LeftButtonUp, LeftButtonDoubleClick, LeftButtonUp}
        << false << home << false;
    QTest::newRow("right click opens the menu and leaves the flashing")
        << true << Reports{RightButtonDown, RightButtonUp} << true << none << true;
    QTest::newRow("right double click does nothing")
        << true << Reports{RightButtonDoubleClick} << true << none << false;
    QTest::newRow("middle button does nothing")
        << true << Reports{MiddleButtonDown, MiddleButtonUp, MiddleButtonDoubleClick} << true
        << none << false;
    QTest::newRow("pointer moving and buttons going down do nothing")
        << true << Reports{Move, LeftButtonDown, RightButtonDown} << true << none << false;
}

void TestForm1::trayReports()
{
    QFETCH(bool, flashing);
    QFETCH(Reports, reports);
    QFETCH(bool, flashingAfter);
    QFETCH(QStringList, opened);
    QFETCH(bool, menuShown);

    LoadedForm f;
    TaskBarIcon& tray = *f.form->TaskBarIcon1;
    if (flashing) {
        tray.letFlash(True);
        QVERIFY(tray.flashTimerActive());
    }
    for (int message : reports)
        f.t.notifyArea.sendMouse(message);

    QCOMPARE(tray.Flash(), flashingAfter ? True : False);
    QCOMPARE(tray.flashTimerActive(), flashingAfter);
    if (flashing && !flashingAfter) // back on the base icon
        QCOMPARE(f.t.notifyArea.calls.last().data.hIcon, f.form->iconPicture().handle());
    QCOMPARE(f.t.urlOpener.opened, opened);
    QCOMPARE(f.form->mnuFile->isVisible(), menuShown);
    // No click shows the main window.
    QVERIFY(!f.form->isVisible());
}

void TestForm1::leftClickWhileNotFlashingChangesNothing()
{
    LoadedForm f;
    const auto callsBefore = f.t.notifyArea.calls.size();
    QSignalSpy changed(f.form->TaskBarIcon1.get(), &TaskBarIcon::propertyChanged);
    f.t.notifyArea.sendMouse(MouseMessage::LeftButtonUp);
    QCOMPARE(f.form->TaskBarIcon1->Flash(), False);
    QCOMPARE(f.t.notifyArea.calls.size(), callsBefore);
    QCOMPARE(changed.count(), 0);
}

void TestForm1::rightClickPopsUpMenuAtPointer()
{
    LoadedForm f;
    const QPoint pointer(200, 150);
    QCursor::setPos(pointer);
    if (QCursor::pos() != pointer)
        QSKIP("this platform cannot place the pointer");
    f.t.notifyArea.sendMouse(MouseMessage::RightButtonUp);

    QMenu* menu = f.form->mnuFile;
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), pointer); // its top-left corner at the pointer
    QCOMPARE(menu->defaultAction(), nullptr);
    QStringList entries;
    for (QAction* a : menu->actions())
        entries << a->text();
    QCOMPARE(entries, (QStringList{"About", "Check Now", "Exit"}));

    // Its "About" shows the panel.
    f.form->mnuabout->trigger();
    QVERIFY(f.form->isVisible());
}

void TestForm1::rightClickWhereNoMenuCanPopUpShowsTheMenuBar()
{
    LoadedForm f;
    f.t.notifyArea.popUpMenu = false;
    Form1& form = *f.form;
    QCOMPARE(f.t.notifyArea.offeredMenu, form.mnuFile); // for trays that draw it
    const QSize panelSize = form.size();
    for (int i = 0; i < 2; ++i)
        f.t.notifyArea.sendMouse(MouseMessage::RightButtonUp);

    // No menu of its own: the window, once, with the menu as its menu bar.
    QVERIFY(!form.mnuFile->isVisible());
    QVERIFY(form.isVisible());
    QCOMPARE(form.findChildren<QMenuBar*>().size(), 1);
    QCOMPARE(form.menuBar()->actions().value(0)->menu(), form.mnuFile);
    QCOMPARE(form.size(), panelSize + QSize(0, form.menuBar()->height()));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    // The tray is still there: the window hides as usual.
    QVERIFY(!form.isWithoutNotificationArea());
    form.close();
    QVERIFY(!form.isVisible());
    QVERIFY(form.TaskBarIcon1);
}

// --- the credits panel ------------------------------------------------------------------------

void TestForm1::aboutShowsThePanelAndKeepsTheLog()
{
    LoadedForm f;
    Form1& form = *f.form;
    form.List1->addItem(QStringLiteral("Update found at 12/8/2026 1:09:59 PM"));
    form.mnuabout->trigger();
    QVERIFY(form.isVisible());
    QVERIFY(!form.isModal());

    QTest::mouseClick(&form, Qt::LeftButton, {}, QPoint(4, 4));
    QVERIFY(!form.isVisible());
    form.mnuabout->trigger();
    QVERIFY(form.isVisible());
    QCOMPARE(form.List1->count(), 1); // hiding and showing keep the log
    // "About" while shown leaves it shown.
    form.mnuabout->trigger();
    QVERIFY(form.isVisible());
}

void TestForm1::onlyTheBackgroundHidesThePanel_data()
{
    QTest::addColumn<QString>("target"); // object name, empty: the window itself
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("hides");

    const int left = Qt::LeftButton;
    QTest::newRow("background") << QString() << left << true;
    QTest::newRow("background, right button") << QString() << int(Qt::RightButton) << false;
    QTest::newRow("title line") << "Label7" << left << false;
    QTest::newRow("credit text") << "Label8" << left << false;
    QTest::newRow("tool link") << "Label9" << left << false;
    QTest::newRow("tool name") << "Label10" << left << false;
    QTest::newRow("author text") << "Label11" << left << false;
    QTest::newRow("author link") << "Label12" << left << false;
    QTest::newRow("log heading") << "Label13" << left << false;
    QTest::newRow("log") << "List1" << left << false;
    QTest::newRow("Clear") << "Command1" << left << false;
    QTest::newRow("What changed") << "cmdChanges" << left << false;
}

void TestForm1::onlyTheBackgroundHidesThePanel()
{
    QFETCH(QString, target);
    QFETCH(int, button);
    QFETCH(bool, hides);

    LoadedForm f;
    Form1& form = *f.form;
    form.mnuabout_Click();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QWidget* widget = &form;
    QPoint at(4, 4); // a corner of the window that no control covers
    if (!target.isEmpty()) {
        widget = form.findChild<QWidget*>(target);
        QVERIFY(widget);
        if (auto* list = qobject_cast<QListWidget*>(widget))
            widget = list->viewport();
        at = widget->rect().center();
    }
    QCOMPARE(form.childAt(widget->mapTo(&form, at)) == nullptr, target.isEmpty());

    QTest::mouseClick(widget, Qt::MouseButton(button), {}, at);
    QCOMPARE(form.isVisible(), !hides);
    // A double click is two presses: it hides no more than a click.
    if (form.isVisible()) {
        QTest::mouseDClick(widget, Qt::MouseButton(button), {}, at);
        QVERIFY(form.isVisible());
    }
}

void TestForm1::linksOpenWhenTheLeftButtonGoesDown_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("opened"); // empty: nothing

    QTest::newRow("tool link, left")
        << "Label9" << int(Qt::LeftButton) << 0 << Credits::toolAddress;
    QTest::newRow("tool link, left with shift")
        << "Label9" << int(Qt::LeftButton) << int(Qt::ShiftModifier) << Credits::toolAddress;
    QTest::newRow("tool link, right") << "Label9" << int(Qt::RightButton) << 0 << QString();
    QTest::newRow("tool link, middle") << "Label9" << int(Qt::MiddleButton) << 0 << QString();
    QTest::newRow("author link, left")
        << "Label12" << int(Qt::LeftButton) << 0 << Credits::authorAddress;
    QTest::newRow("author link, right") << "Label12" << int(Qt::RightButton) << 0 << QString();
    QTest::newRow("author link, middle") << "Label12" << int(Qt::MiddleButton) << 0 << QString();
}

void TestForm1::linksOpenWhenTheLeftButtonGoesDown()
{
    QFETCH(QString, link);
    QFETCH(int, button);
    QFETCH(int, modifiers);
    QFETCH(QString, opened);

    LoadedForm f;
    Form1& form = *f.form;
    form.mnuabout_Click();
    auto* label = form.findChild<QLabel*>(link);
    QVERIFY(label);
    const QStringList expected = opened.isEmpty() ? QStringList() : QStringList{opened};

    // The page opens as the button goes down; letting it go opens nothing more.
    QTest::mousePress(label, Qt::MouseButton(button), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(f.t.urlOpener.opened, expected);
    QTest::mouseRelease(label, Qt::MouseButton(button), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(f.t.urlOpener.opened, expected);
    QVERIFY(form.isVisible());
}

void TestForm1::clearEmptiesTheLog_data()
{
    QTest::addColumn<int>("lines");
    QTest::newRow("empty log") << 0;
    QTest::newRow("one line") << 1;
    QTest::newRow("three lines") << 3;
}

void TestForm1::clearEmptiesTheLog()
{
    QFETCH(int, lines);

    LoopbackServer server;
    serveGrowingPage(server, 1);
    LoadedForm f(server.url());
    f.setSnapshot("<p>the snapshot of an earlier check</p>\r\n");
    Form1& form = *f.form;
    for (int i = 0; i < lines; ++i)
        form.List1->addItem(QStringLiteral("Update found at 12/8/2026 1:0%1:59 PM").arg(i));
    form.mnuabout_Click();

    QTest::mouseClick(form.Command1, Qt::LeftButton);
    QCOMPARE(form.List1->count(), 0);
    QVERIFY(form.isVisible());

    // The next update found lands in the emptied log, as its only line.
    f.t.clock.current = QDateTime(QDate(2026, 12, 8), QTime(14, 19, 59));
    form.mnucheck->trigger();
    QCOMPARE(f.waitForCheck().result, CheckOutcome::Result::Changed);
    QCOMPARE(form.List1->count(), 1);
    QCOMPARE(form.List1->item(0)->text(), QStringLiteral("Update found at 12/8/2026 2:19:59 PM"));
}

void TestForm1::logLinesAndTheButtonAskForTheChanges_data()
{
    QTest::addColumn<QString>("action"); // "double click", "Enter" or "What changed"
    QTest::addColumn<int>("row");        // the log line acted on; -1: the log is empty
    QTest::addColumn<int>("requested");  // the row asked for, -1 the latest; -2: nothing

    QTest::newRow("double click on an update's line") << "double click" << 1 << 1;
    QTest::newRow("Enter on an update's line") << "Enter" << 0 << 0;
    QTest::newRow("double click on another line") << "double click" << 2 << -2;
    QTest::newRow("Enter on another line") << "Enter" << 2 << -2;
    QTest::newRow("What changed: the latest update") << "What changed" << 1 << -1;
    QTest::newRow("What changed with an empty log") << "What changed" << -1 << -1;
}

void TestForm1::logLinesAndTheButtonAskForTheChanges()
{
    QFETCH(QString, action);
    QFETCH(int, row);
    QFETCH(int, requested);

    LoadedForm f;
    Form1& form = *f.form;
    if (row >= 0) {
        form.List1->addItem(QStringLiteral("Update found at 12/8/2026 1:09:59 PM"));
        form.List1->addItem(QStringLiteral("Update found at 12/8/2026 1:19:59 PM"));
        form.List1->addItem(QStringLiteral("Something else"));
        // An update's line says what it opens; the other says nothing.
        QCOMPARE(form.List1->item(0)->toolTip(), Form1::updateLineTip());
        QCOMPARE(form.List1->item(2)->toolTip(), QString());
    }
    form.mnuabout_Click();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QSignalSpy asked(&form, &Form1::whatChangedRequested);

    if (action == QLatin1String("What changed")) {
        QTest::mouseClick(form.cmdChanges, Qt::LeftButton);
    } else {
        QListWidgetItem* item = form.List1->item(row);
        form.List1->scrollToItem(item);
        if (action == QLatin1String("Enter")) {
            form.List1->setCurrentItem(item);
            QTest::keyClick(form.List1, Qt::Key_Return);
        } else {
            // As the desktop delivers it: a click, then the second press as a double click.
            const QPoint at = form.List1->visualItemRect(item).center();
            QTest::mouseClick(form.List1->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(form.List1->viewport(), Qt::LeftButton, {}, at);
        }
    }
    const QList<int> expected = requested == -2 ? QList<int>() : QList<int>{requested};
    QList<int> got;
    for (const QList<QVariant>& args : asked)
        got << args.at(0).toInt();
    QCOMPARE(got, expected);
    QVERIFY(form.isVisible());
}

void TestForm1::aScreenReaderFindsOnlyThePanel()
{
    TestServices t;
    Form1 form(t.services());
    QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(&form);
    QVERIFY(panel);
    QSet<QObject*> found;
    for (int i = 0; i < panel->childCount(); ++i) {
        QAccessibleInterface* child = panel->child(i);
        QCOMPARE(panel->indexOfChild(child), i);
        found.insert(child->object());
    }
    const QSet<QObject*> shown{form.Label7,   form.Label8,    form.Label9,  form.Label10,
                               form.Label11,  form.Label12,   form.Label13, form.List1,
                               form.Command1, form.cmdChanges};
    QCOMPARE(found, shown);
    // The log is named by its heading.
    QCOMPARE(QAccessible::queryAccessibleInterface(form.List1)->text(QAccessible::Name),
             QStringLiteral("Update log"));
    // The working fields are still the window's, holding the program's state.
    for (QWidget* field : form.workingFields()) {
        QCOMPARE(field->parentWidget(), &form);
        QCOMPARE(panel->indexOfChild(QAccessible::queryAccessibleInterface(field)), -1);
    }
}

void TestForm1::creditLinesDoNotOverlap()
{
    TestServices t;
    Form1 form(t.services());
    const QList<QList<QLabel*>> lines{{form.Label8, form.Label9, form.Label10},
                                      {form.Label11, form.Label12}};
    for (const auto& line : lines) {
        for (qsizetype i = 0; i < line.size(); ++i) {
            QLabel* label = line[i];
            QVERIFY2(form.rect().contains(label->geometry()), qPrintable(label->objectName()));
            QCOMPARE(label->width(), label->sizeHint().width()); // the whole text shows
            if (i > 0)
                QVERIFY2(line[i - 1]->geometry().right() < label->x(),
                         qPrintable(label->objectName()));
        }
    }
}

void TestForm1::creditLinesKeepTheirGaps_data()
{
    QTest::addColumn<QFont>("font");
    QTest::newRow("the panel's font") << QFont();
    QTest::newRow("narrower: Liberation Sans 8 pt") << QFont(QStringLiteral("Liberation Sans"), 8);
    QTest::newRow("wider: DejaVu Sans 9 pt") << QFont(QStringLiteral("DejaVu Sans"), 9);
    QTest::newRow("too wide for the window: Liberation Mono 11 pt")
        << QFont(QStringLiteral("Liberation Mono"), 11);
}

void TestForm1::creditLinesKeepTheirGaps()
{
    QFETCH(QFont, font);
    TestServices t;
    Form1 form(t.services());
    constexpr int kGap = 2; // 30 twips
    // The designed left edges (twips / 15) of the labels of the two lines.
    const QList<QPair<QList<QLabel*>, QList<int>>> lines{
        {{form.Label8, form.Label9, form.Label10}, {32, 200, 232}},
        {{form.Label11, form.Label12}, {168, 280}}};
    for (const auto& [line, designed] : lines) {
        if (font != QFont()) {
            for (qsizetype i = 0; i < line.size(); ++i) {
                QFont f = font;
                f.setUnderline(line[i]->font().underline());
                line[i]->setFont(f);
                line[i]->adjustSize();
                line[i]->move(designed[i], line[i]->y());
            }
            Form1::placeLine(line, form.width(), kGap);
        }
        // Each label is at its designed place or the gap after the one before, moved
        // left as one line only as far as the window's edge asks.
        const int shift = designed[0] - line[0]->x();
        QVERIFY(shift >= 0);
        const int lineRight = line.last()->geometry().right();
        QVERIFY(shift == 0 || lineRight == form.width() - 1 || line[0]->x() == 0);
        for (qsizetype i = 1; i < line.size(); ++i) {
            const int after = line[i - 1]->geometry().right() + 1 + kGap;
            const int x = line[i]->x();
            QVERIFY2(x >= after, qPrintable(line[i]->objectName()));
            QVERIFY2(x == std::max(designed[i] - shift, after), qPrintable(line[i]->objectName()));
        }
    }
}

void TestForm1::checkNowFetchesAtAnyTime_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<bool>("panelShown");

    QTest::newRow("between the marks, hidden") << QTime(13, 9, 58) << false;
    QTest::newRow("in an hour without marks, hidden") << QTime(22, 9, 59) << false;
    QTest::newRow("at a mark, hidden") << QTime(14, 19, 59) << false;
    QTest::newRow("at midnight, panel shown") << QTime(0, 0, 0) << true;
}

void TestForm1::checkNowFetchesAtAnyTime()
{
    QFETCH(QTime, time);
    QFETCH(bool, panelShown);

    LoopbackServer server;
    serveGrowingPage(server, 1);
    LoadedForm f(server.url());
    f.setSnapshot("<p>the snapshot of an earlier check</p>\r\n");
    Form1& form = *f.form;
    f.t.clock.current = QDateTime(QDate(2026, 12, 8), time);
    if (panelShown)
        form.mnuabout_Click();

    // "Check Now" from the menu that a right click on the tray icon opens.
    f.t.notifyArea.sendMouse(MouseMessage::RightButtonUp);
    QTRY_VERIFY(form.mnuFile->isVisible());
    form.mnucheck->trigger();
    QCOMPARE(f.waitForCheck().result, CheckOutcome::Result::Changed);
    QVERIFY(server.requests().value(0).startsWith("GET /page HTTP/1.1\r\n"));
    QCOMPARE(form.List1->count(), 1);
    QCOMPARE(form.isVisible(), panelShown);
    QCOMPARE(server.connections(), 1);
}

// --- what the tooltip and the caption say about the last check -----------------------------

void TestForm1::tooltipAndCaption_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<CheckOutcome>("outcome");
    QTest::addColumn<QString>("region");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QString>("caption"); // empty: the check's own stands

    using R = CheckOutcome::Result;
    using F = CheckOutcome::Failure;
    const QString url = QStringLiteral("https://example.org/news");
    const CheckOutcome none;
    auto failed = [](F failure, int status = 0, const QString& phrase = QString()) {
        return ended(R::Failed, failure, status, phrase);
    };
    QTest::newRow("before the first check") << url << false << none << "en_US"
                                            << "example.org: not checked yet"
                                            << "";
    QTest::newRow("no address at all") << "" << false << none << "en_US"
                                       << "ORVELL: no address in config.ini"
                                       << "";
    QTest::newRow("unchanged, en_US, the port kept")
        << "http://127.0.0.1:8080/page" << true << ended(R::Unchanged) << "en_US"
        << "127.0.0.1:8080: unchanged, 1:09:59 PM"
        << "";
    QTest::newRow("changed, de_DE") << url << true << ended(R::Changed) << "de_DE"
                                    << "example.org: changed at 13:09:59"
                                    << "";
    QTest::newRow("changed, the C locale's U.S. form")
        << "example.org" << true << ended(R::Changed) << "C"
        << "example.org: changed at 1:09:59 PM"
        << "";

    // Each kind of failure, in the U.S. form.
    QTest::newRow("address refused")
        << "ftp://example.org/" << true
        << ended(R::Failed, F::AddressRefused, 0, "", "",
                 "Only http:// and https:// addresses can be watched")
        << "en_US"
        << "example.org: address refused, see About"
        << "Check failed: Only http:// and https:// addresses can be watched";
    const QList<std::pair<F, QString>> kinds = {
        {F::HostNotFound, "host not found"},
        {F::ConnectionRefused, "connection refused"},
        {F::ConnectionError, "connection failed"},
        {F::CertificateProblem, "certificate not trusted"},
        {F::HeaderTooLong, "reply header too long"},
        {F::PageTooLarge, "page over 1 GiB"},
        {F::CutShort, "reply cut short"},
        {F::WriteFailure, "cannot save the page"},
        {F::Malformed, "malformed reply"},
        {F::NoAnswer, "no answer"},
    };
    for (const auto& [kind, words] : kinds)
        QTest::newRow(qPrintable(words)) << url << true << failed(kind) << "en_US"
                                         << "example.org: " + words + ", 1:09:59 PM"
                                         << "";
    QTest::newRow("server error") << url << true
                                  << failed(F::ServerError, 503, "Service Unavailable") << "en_US"
                                  << "example.org: server error 503, 1:09:59 PM"
                                  << "";
    QTest::newRow("a redirect cut short is cut short")
        << url << true << failed(F::CutShort, 301, "Moved Permanently") << "en_US"
        << "example.org: reply cut short, 1:09:59 PM"
        << "";

    // Stored replies that are not the page.
    QTest::newRow("301 to an absolute address")
        << "http://example.org/news" << true
        << ended(R::Changed, {}, 301, "Moved Permanently", "https://example.org/news") << "en_US"
        << "example.org: moved (301), see About"
        << "Connection Closed: the page has moved (301 Moved Permanently) to "
           "https://example.org/news: write that address in config.ini to watch it";
    QTest::newRow("302 to a relative address, the URL without a scheme")
        << "example.org:8080/old/page" << true << ended(R::Unchanged, {}, 302, "Found", "../new/")
        << "en_US"
        << "example.org:8080: moved (302), see About"
        << "Connection Closed: the page has moved (302 Found) to http://example.org:8080/new/: "
           "write that address in config.ini to watch it";
    QTest::newRow("308 without a target")
        << url << true << ended(R::Unchanged, {}, 308, "Permanent Redirect") << "en_US"
        << "example.org: moved (308), see About"
        << "Connection Closed: the server answered 308 Permanent Redirect without saying where "
           "the page went";
    QTest::newRow("304 is no redirect")
        << url << true << ended(R::Unchanged, {}, 304, "") << "en_US"
        << "example.org: unchanged, 1:09:59 PM"
        << "";
    QTest::newRow("404") << url << true << ended(R::Changed, {}, 404, "Not Found") << "de_DE"
                         << "example.org: 404 Not Found, 13:09:59"
                         << "";
    QTest::newRow("410 without a phrase")
        << url << true << ended(R::Unchanged, {}, 410, "") << "en_US"
        << "example.org: 410, 1:09:59 PM"
        << "";

    // Too long for the tip: the host gives way, then a long phrase; never half a letter.
    QTest::newRow("long host shortened")
        << "https://a-very-long-host-name-that-goes-on.subdomain.example.org/x" << true
        << failed(F::CertificateProblem) << "en_US"
        << QString::fromUtf8("a-very-long-host-name-t…: certificate not trusted, 1:09:59 PM") << "";
    QTest::newRow("long host beyond ASCII, shortened by letters")
        << QString::fromUtf8("http://bücher-und-zeitschriften-aus-aller-welt.example/") << true
        << ended(R::Changed) << "de_DE"
        << QString::fromUtf8("bücher-und-zeitschriften-aus-aller-wel…: changed at 13:09:59") << "";
    // While a check runs ("checked" and "outcome" unused): since when, within the bound.
    QTest::newRow("checking, en_US")
        << "checking:http://127.0.0.1:8080/page" << false << none << "en_US"
        << "127.0.0.1:8080: checking since 1:09:59 PM"
        << "";
    QTest::newRow("checking, a long host shortened")
        << "checking:https://a-very-long-host-name-that-goes-on.subdomain.example.org/x" << false
        << none << "de_DE"
        << QString::fromUtf8("a-very-long-host-name-that-goes-on.…: checking since 13:09:59") << "";
    QTest::newRow("long host and a long phrase")
        << "http://a-rather-long-host-name.example.org/" << true
        << ended(R::Unchanged, {}, 451,
                 "Unavailable For Legal Reasons as the authorities have decided")
        << "en_US"
        << QString::fromUtf8("a-rather-long…: 451 Unavailable For Legal Reas…, 1:09:59 PM") << "";
}

void TestForm1::tooltipAndCaption()
{
    QFETCH(QString, url);
    QFETCH(bool, checked);
    QFETCH(CheckOutcome, outcome);
    QFETCH(QString, region);
    QFETCH(QString, tip);
    QFETCH(QString, caption);
    const std::optional<CheckOutcome> last = checked ? std::optional(outcome) : std::nullopt;
    const QString checking = QStringLiteral("checking:");
    const QString made =
        url.startsWith(checking)
            ? CheckSummary::checkingTip(url.mid(checking.size()), QTime(13, 9, 59), QLocale(region))
            : CheckSummary::trayTip(url, last, QTime(13, 9, 59), QLocale(region));
    QCOMPARE(made, tip);
    // The tray control's tip field carries it whole.
    NotifyIconData data;
    data.setTip(made);
    QCOMPARE(data.tipText(), made);
    QCOMPARE(checked ? CheckSummary::caption(url, outcome) : QString(), caption);
}

void TestForm1::checksShowInTheTooltip_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("region");
    QTest::addColumn<QString>("said"); // after the host
    QTest::addColumn<QString>("caption");
    QTest::newRow("a page, en_US") << QByteArray("HTTP/1.1 200 OK\r\n\r\nthe page") << "en_US"
                                   << ": unchanged, 10:00:00 AM"
                                   << "Connection Closed";
    QTest::newRow("a redirect, de_DE")
        << QByteArray("HTTP/1.1 301 Moved Permanently\r\nLocation: https://127.0.0.1/page\r\n\r\n")
        << "de_DE"
        << ": moved (301), see About"
        << "Connection Closed: the page has moved (301 Moved Permanently) to "
           "https://127.0.0.1/page: write that address in config.ini to watch it";
}

void TestForm1::checksShowInTheTooltip()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, region);
    QFETCH(QString, said);
    QFETCH(QString, caption);
    LoopbackServer server;
    server.setScript(LoopbackServer::Script::sent({reply}));
    LoadedForm f(server.url());
    f.t.clock.regional = QLocale(region);
    const QString host = QUrl(server.url()).authority();
    TaskBarIcon& tray = *f.form->TaskBarIcon1;
    QCOMPARE(tray.Tip(), host + ": not checked yet");

    // While the check runs; the outcome then replaces it.
    f.form->FetchURL();
    QCOMPARE(tray.Tip(), host + ": checking since " +
                             Clock::longTimeText(f.t.clock.now().time(), QLocale(region)));
    f.check();
    QCOMPARE(tray.Tip(), host + said);
    QCOMPARE(f.t.notifyArea.calls.last().message, NotifyMessage::Modify);
    QCOMPARE(f.t.notifyArea.calls.last().data.tipText(), host + said);
    QCOMPARE(f.caption(), caption);
}

void TestForm1::tooltipCountsTheLines_data()
{
    using Counts = CheckSummary::LineCounts;
    QTest::addColumn<QString>("url");
    QTest::addColumn<Counts>("counts");
    QTest::addColumn<QString>("tip");
    const QString url = QStringLiteral("http://example.org/news");
    QTest::newRow("added and removed")
        << url << Counts{3, 1} << "example.org: changed at 1:09:59 PM, 3 lines added, 1 removed";
    QTest::newRow("one line added")
        << url << Counts{1, 0} << "example.org: changed at 1:09:59 PM, 1 line added";
    QTest::newRow("only removed") << url << Counts{0, 2}
                                  << "example.org: changed at 1:09:59 PM, 2 lines removed";
    QTest::newRow("nothing to count")
        << url << Counts{0, 0} << "example.org: changed at 1:09:59 PM";
    // The counts shorten, then go, before the host gives way.
    QTest::newRow("counts in signs")
        << "http://news.longer-host.example.org/" << Counts{120, 45}
        << "news.longer-host.example.org: changed at 1:09:59 PM, +120 -45";
    QTest::newRow("no room for counts")
        << "http://the-news-of-a-long-host.example.org/" << Counts{120, 45}
        << "the-news-of-a-long-host.example.org: changed at 1:09:59 PM";
    QTest::newRow("host shortened, no counts")
        << "http://the-news-of-a-very-long-host-name-that-goes-on.example.org/" << Counts{1, 1}
        << QString::fromUtf8("the-news-of-a-very-long-host-name-tha…: changed at 1:09:59 PM");
}

void TestForm1::tooltipCountsTheLines()
{
    QFETCH(QString, url);
    QFETCH(CheckSummary::LineCounts, counts);
    QFETCH(QString, tip);
    const QString made =
        CheckSummary::trayTip(url, ended(CheckOutcome::Result::Changed), QTime(13, 9, 59),
                              QLocale(QStringLiteral("en_US")), counts);
    QCOMPARE(made, tip);
    QVERIFY(made.toUtf8().size() <= CheckSummary::kMaxTipBytes);
}

void TestForm1::updatesKeepTheirVersions_data()
{
    QTest::addColumn<bool>("historyWritable");
    QTest::newRow("an update keeps before and after") << true;
    QTest::newRow("an unwritable history still stores the page and reports") << false;
}

void TestForm1::updatesKeepTheirVersions()
{
    QFETCH(bool, historyWritable);
    LoopbackServer server;
    server.setScripts({LoopbackServer::Script::sent(
        {"HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nthe new page"})});
    LoadedForm f(server.url());
    f.setSnapshot("old page\r\n");
    f.t.writeFile(QStringLiteral("data.type"), "text/html\n");
    if (!historyWritable)
        f.t.writeFile(QStringLiteral("history"), "a file where the folder would be");

    QCOMPARE(f.check().result, CheckOutcome::Result::Changed);
    QCOMPARE(f.logLines(), 1);
    QVERIFY(f.flashing());
    QCOMPARE(f.snapshot(), QByteArray("the new page\r\n"));
    QCOMPARE(f.t.readFile(QStringLiteral("data.type")), QByteArray("text/plain; charset=utf-8\n"));
    QVERIFY(!QFileInfo::exists(f.t.path(QStringLiteral("data.old"))));
    const std::optional<KeptUpdate> kept = f.form->whatChanged().history().latest();
    QCOMPARE(kept.has_value(), historyWritable);
    if (!historyWritable)
        return;
    QCOMPARE(kept->time, f.t.clock.current);
    QCOMPARE(readFile(kept->before.path), QByteArray("old page\r\n"));
    QCOMPARE(kept->before.contentType, QByteArray("text/html"));
    QCOMPARE(readFile(kept->after.path), QByteArray("the new page\r\n"));
    QCOMPARE(kept->after.contentType, QByteArray("text/plain; charset=utf-8"));
}

// --- with and without a notification area ------------------------------------------------------

void TestForm1::withTrayNoWindowShows()
{
    StartedForm started(true);
    Form1& form = *started.form;
    QCOMPARE(started.status, 0);
    QVERIFY(!form.isVisible());
    QVERIFY(!form.isWithoutNotificationArea());
    QCOMPARE(form.findChild<QMenuBar*>(), nullptr);
}

void TestForm1::withoutTrayTheWindowShowsWithMenuBar()
{
    TestServices t;
    const QSize panelSize = Form1(t.services()).size();
    StartedForm started(false);
    Form1& form = *started.form;
    QCOMPARE(started.status, 0);

    QVERIFY(form.isVisible());
    QCOMPARE(form.windowType(), Qt::Window); // a normal window, listed in the task bar
    QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(form.Timer1.isActive()); // the schedule goes on

    // The menu bar holds the menu with its three commands, above the panel.
    auto* bar = form.findChild<QMenuBar*>();
    QVERIFY(bar);
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->actions().size(), 1);
    QCOMPARE(bar->actions().first()->menu(), form.mnuFile);
    QStringList entries;
    for (QAction* a : form.mnuFile->actions())
        entries << a->text();
    QCOMPARE(entries, (QStringList{"About", "Check Now", "Exit"}));

    // The panel keeps its size and look below the bar; the working fields stay unseen.
    const int barHeight = bar->height();
    QVERIFY(barHeight > 0);
    QCOMPARE(form.size(), panelSize + QSize(0, barHeight));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    const QRect panel(0, barHeight, panelSize.width(), panelSize.height());
    const QList<QWidget*> shown{form.Label7,   form.Label8,    form.Label9,  form.Label10,
                                form.Label11,  form.Label12,   form.Label13, form.List1,
                                form.Command1, form.cmdChanges};
    for (QWidget* w : shown)
        QVERIFY2(panel.contains(w->geometry()), qPrintable(w->objectName()));
    const QList<QWidget*> working{form.Label1, form.txtURL, form.cmdReadURL, form.Label6,
                                  form.Label2, form.Label3, form.Label5,     form.Label4};
    for (QWidget* w : working)
        QVERIFY2(!form.rect().intersects(w->geometry()), qPrintable(w->objectName()));
}

void TestForm1::withoutTrayTheBackgroundDoesNotHideTheWindow()
{
    StartedForm started(false);
    Form1& form = *started.form;
    QCOMPARE(started.status, 0);
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QPoint background(4, form.height() - 4);
    QCOMPARE(form.childAt(background), nullptr);
    QTest::mouseClick(&form, Qt::LeftButton, {}, background);
    QVERIFY(form.isVisible());
}

void TestForm1::withoutTrayClosingTheWindowEndsTheProgram_data()
{
    QTest::addColumn<bool>("beforeTheLoop");
    QTest::newRow("closed while the program runs") << false;
    QTest::newRow("closed before its event loop has started") << true;
}

void TestForm1::withoutTrayClosingTheWindowEndsTheProgram()
{
    QFETCH(bool, beforeTheLoop);
    StartedForm started(false);
    Form1& form = *started.form;
    RecordingNotifyArea& area = started.t.notifyArea;
    QCOMPARE(started.status, 0);
    area.calls.clear();

    if (beforeTheLoop)
        form.close();
    else
        QTimer::singleShot(0, &form, [&form] { form.close(); });
    QTimer guard; // ends the loop with another status if closing does not
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(10000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!form.isVisible());
    QVERIFY(!form.TaskBarIcon1);
    QCOMPARE(area.messages(), QList<NotifyMessage>{NotifyMessage::Delete});
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
