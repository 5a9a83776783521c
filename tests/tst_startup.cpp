// Start-up and exit of the main window: the order of its steps, the caption, the
// configuration, and a configuration that cannot be read.
#include "configfile.h"
#include "fakes.h"
#include "folderclaim.h"
#include "form1.h"
#include "form2.h"
#include "runtimeerror.h"
#include "startup.h"
#include "twips.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>

class TestStartup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void loadsHiddenWithTrayIconAndCaption();
    void readsConfiguration();
    void badConfigurationEndsStartup_data();
    void badConfigurationEndsStartup();
    void unusableAddressIsSaidAtOnce_data();
    void unusableAddressIsSaidAtOnce();
    void otherWatcherOfTheFolder_data();
    void otherWatcherOfTheFolder();
    void exitRemovesTheIcon();
    void closingTheWindowOnlyHidesIt();
    void layoutShowsOnlyThePanel();
    void keyboardNeverReachesTheWorkingFields_data();
    void keyboardNeverReachesTheWorkingFields();
};

void TestStartup::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("ORVELL"));
}

void TestStartup::loadsHiddenWithTrayIconAndCaption()
{
    TestServices t;
    t.writeFile("config.ini", "\"http://example.com/\"\r\n1\r\n\"chime.wav\"\r\n");
    Form1 form(t.services());
    form.show(); // start-up hides the window whatever its state
    form.Form_Load();

    QVERIFY(!form.isVisible());
    QVERIFY(form.form2() && !form.form2()->isVisible());
    QCOMPARE(form.windowTitle(), QStringLiteral("ORVELL 1"));

    // One add, showing the window's icon, with the popup's icon ready to flash; once
    // config.ini is read, the tooltip names the watched host.
    const QString tip = QStringLiteral("example.com: not checked yet");
    QCOMPARE(t.notifyArea.messages(),
             (QList<NotifyMessage>{NotifyMessage::Add, NotifyMessage::Modify}));
    QCOMPARE(t.notifyArea.calls.first().data.hIcon, form.iconPicture().handle());
    QCOMPARE(t.notifyArea.calls.first().data.tipText(), QString());
    QCOMPARE(t.notifyArea.calls.last().data.tipText(), tip);
    TaskBarIcon& tray = *form.TaskBarIcon1;
    QCOMPARE(tray.Enabled(), True);
    QCOMPARE(tray.FlashIcon(), PictureRef(form.form2()->iconPicture()));
    QVERIFY(form.form2()->iconPicture().handle() != form.iconPicture().handle());
    QCOMPARE(tray.FlashTime(), 500);
    // What start-up leaves alone keeps the control's defaults.
    QCOMPARE(tray.AnimationTime(), 500);
    QCOMPARE(tray.Flash(), False);
    QCOMPARE(tray.Tip(), tip);
    QVERIFY(form.Timer1.isActive());
    QCOMPARE(form.Timer1.interval(), 1000);
}

void TestStartup::readsConfiguration()
{
    TestServices t;
    t.writeFile("config.ini", "\"http://watched.example/page\",2,\"alerts/ding.wav\"");
    Form1 form(t.services());
    form.Form_Load();
    QCOMPARE(form.txtURL->text(), QStringLiteral("http://watched.example/page"));
    QCOMPARE(int(form.ShowPopup), 2);
    QCOMPARE(form.SoundFile, QStringLiteral("alerts/ding.wav"));
    QVERIFY(t.messageBox.shown.isEmpty());
}

void TestStartup::badConfigurationEndsStartup_data()
{
    QTest::addColumn<QByteArray>("config"); // empty: no file
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");
    QTest::newRow("missing file") << QByteArray() << 53 << "File not found";
    QTest::newRow("two items") << QByteArray("u\r\n1\r\n") << 62 << "Input past end of file";
    QTest::newRow("popup 300") << QByteArray("u\r\n300\r\ns\r\n") << 6 << "Overflow";
}

void TestStartup::badConfigurationEndsStartup()
{
    QFETCH(QByteArray, config);
    QFETCH(int, number);
    QFETCH(QString, description);
    TestServices t;
    if (!config.isEmpty())
        t.writeFile("config.ini", config);
    Form1 form(t.services());

    std::FILE* err = std::fopen(QFile::encodeName(t.path(QStringLiteral("err.txt"))), "w+");
    QVERIFY(err);
    QVERIFY(err);
    int status = 0;
    try {
        form.Form_Load();
    } catch (const RuntimeError& e) {
        QCOMPARE(e.number(), number);
        Startup::reportRuntimeError(e, t.messageBox, form.configPath(), err);
        status = Startup::kFailedStatus;
    }
    QVERIFY(status != 0);

    QCOMPARE(t.messageBox.shown.size(), 1);
    const auto& box = t.messageBox.shown.first();
    QCOMPARE(box.title, QStringLiteral("ORVELL"));
    QCOMPARE(box.text, QStringLiteral("Run-time error '%1':\n\n%2").arg(number).arg(description));

    std::rewind(err);
    char line[1024] = {};
    QVERIFY(std::fgets(line, sizeof line, err));
    std::fclose(err);
    QCOMPARE(QString::fromLocal8Bit(line).trimmed(),
             QStringLiteral("ORVELL: Run-time error '%1': %2 (%3)")
                 .arg(number)
                 .arg(description, form.configPath()));

    // Steps before the file was opened have run: the popup is loaded and the icon added.
    QVERIFY(form.form2());
    QCOMPARE(t.notifyArea.count(NotifyMessage::Add), 1);
    QVERIFY(form.txtURL->text().isEmpty());

    // loadMainWindow reports the same way and gives a failing status.
    TestServices t2;
    if (!config.isEmpty())
        t2.writeFile("config.ini", config);
    Form1 form2(t2.services());
    QCOMPARE(Startup::loadMainWindow(form2), Startup::kFailedStatus);
    QCOMPARE(t2.messageBox.shown.size(), 1);
}

void TestStartup::unusableAddressIsSaidAtOnce_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QString>("description"); // empty: no message
    QTest::newRow("ftp") << QByteArray("ftp://watched.example/")
                         << "Only http:// and https:// addresses can be watched";
    QTest::newRow("capitalised scheme") << QByteArray("HTTP://watched.example/")
                                        << "Only http:// and https:// addresses can be watched";
    QTest::newRow("port out of range") << QByteArray("https://watched.example:99999/")
                                       << "The port 99999 is not between 1 and 65535";
    QTest::newRow("no host name") << QByteArray("http://watched example/")
                                  << "The host name \"watched example\" is not valid";
    QTest::newRow("http") << QByteArray("http://watched.example:8080/") << "";
    QTest::newRow("no scheme") << QByteArray("watched.example/page") << "";
    QTest::newRow("empty, asked for at the check") << QByteArray() << "";
}

void TestStartup::unusableAddressIsSaidAtOnce()
{
    QFETCH(QByteArray, url);
    QFETCH(QString, description);
    TestServices t;
    t.writeFile("config.ini", "\"" + url + "\"\r\n0\r\n\"chime.wav\"\r\n");
    Form1 form(t.services());
    QCOMPARE(Startup::loadMainWindow(form), 0); // the program runs on
    QCOMPARE(t.messageBox.shown.size(), description.isEmpty() ? 0 : 1);
    if (description.isEmpty())
        return;
    QVERIFY2(t.messageBox.shown[0].text.endsWith("\r\nDescription: " + description),
             qPrintable(t.messageBox.shown[0].text));
    QCOMPARE(t.messageBox.shown[0].icon, MessageBoxService::Icon::Exclamation);
    // The checks at the marks fail the same way, without saying it again.
    QSignalSpy ends(&form, &Form1::checkEnded);
    form.FetchURL();
    form.FetchURL();
    QCOMPARE(ends.size(), 2);
    QCOMPARE(ends[1][0].value<CheckOutcome>().failure, CheckOutcome::Failure::AddressRefused);
    QCOMPARE(t.messageBox.shown.size(), 1);
}

void TestStartup::otherWatcherOfTheFolder_data()
{
    QTest::addColumn<int>("outcome");  // -1: the claim fails
    QTest::addColumn<int>("status");   // -1: this start goes on
    QTest::addColumn<QString>("said"); // in a message box; empty: none
    using O = FolderClaim::Outcome;
    QTest::newRow("claimed") << int(O::Claimed) << -1 << "";
    QTest::newRow("the other one shows its window") << int(O::OtherShown) << 0 << "";
    QTest::newRow("the other one does not answer")
        << int(O::OtherSilent) << 0 << "did not answer the request to show its window";
    QTest::newRow("the folder cannot be claimed")
        << -1 << -1 << "cannot make sure that no other watcher runs";
}

void TestStartup::otherWatcherOfTheFolder()
{
    QFETCH(int, outcome);
    QFETCH(int, status);
    QFETCH(QString, said);
    // A program started from a menu has no terminal: what goes wrong is said in a box too.
    struct Claim : FolderClaim
    {
        int outcome;
        Result<Outcome> claim() override
        {
            if (outcome < 0)
                return SystemError{0, QStringLiteral("no such thing")};
            return Outcome(outcome);
        }
        void setRequestHandler(RequestHandler) override {}
        Outcome askToExit() override { return Outcome::NoneRunning; }
        bool waitForOtherToEnd(int) override { return true; }
    } claim;
    claim.outcome = outcome;
    TestServices t;
    std::FILE* err = std::fopen(QFile::encodeName(t.path(QStringLiteral("err.txt"))), "w");
    QVERIFY(err);
    const std::optional<int> got =
        Startup::claimProgramDir(claim, t.programDir(), t.messageBox, err);
    std::fclose(err);
    QCOMPARE(got.value_or(-1), status);
    QCOMPARE(t.messageBox.shown.size(), said.isEmpty() ? 0 : 1);
    if (!said.isEmpty())
        QVERIFY2(t.messageBox.shown[0].text.contains(said) &&
                     t.messageBox.shown[0].text.contains(t.programDir()),
                 qPrintable(t.messageBox.shown[0].text));
}

void TestStartup::exitRemovesTheIcon()
{
    TestServices t;
    t.writeFile("config.ini", "u,1,s");
    Form1 form(t.services());
    form.Form_Load();
    t.notifyArea.calls.clear();
    form.mnuexit->trigger();
    QCOMPARE(t.notifyArea.messages(), QList<NotifyMessage>{NotifyMessage::Delete});
    QVERIFY(!form.TaskBarIcon1);
    QVERIFY(!form.Timer1.isActive());
}

void TestStartup::closingTheWindowOnlyHidesIt()
{
    TestServices t;
    t.writeFile("config.ini", "u,1,s");
    Form1 form(t.services());
    form.Form_Load();
    form.show();
    QVERIFY(form.isVisible());
    form.close();
    QVERIFY(!form.isVisible());
    QVERIFY(form.TaskBarIcon1);
    QCOMPARE(t.notifyArea.count(NotifyMessage::Delete), 0);
}

void TestStartup::layoutShowsOnlyThePanel()
{
    TestServices t;
    Form1 form(t.services());
    if (!qFuzzyCompare(Twips::perPixelX(), 15.0))
        QSKIP("the designed sizes are checked at 96 dpi");
    QCOMPARE(form.size(), QSize(461, 127));
    QCOMPARE(form.minimumSize(), form.maximumSize()); // not resizable
    const QRect client = form.rect();
    const QList<QWidget*> panel{form.Label7,   form.Label8,    form.Label9,  form.Label10,
                                form.Label11,  form.Label12,   form.Label13, form.List1,
                                form.Command1, form.cmdChanges};
    for (QWidget* w : panel)
        QVERIFY2(client.contains(w->geometry()), qPrintable(w->objectName()));
    const QList<QWidget*> working{form.Label1, form.txtURL, form.cmdReadURL, form.Label6,
                                  form.Label2, form.Label3, form.Label5,     form.Label4};
    for (QWidget* w : working)
        QVERIFY2(!client.intersects(w->geometry()), qPrintable(w->objectName()));
    QCOMPARE(form.List1->geometry(), QRect(112, 64, 337, 55));
    // The log's buttons show their whole captions, one below the other.
    for (QPushButton* b : {form.Command1, form.cmdChanges})
        QVERIFY2(b->width() >= b->sizeHint().width(), qPrintable(b->text()));
    QVERIFY(form.Command1->geometry().bottom() < form.cmdChanges->y());
    QCOMPARE(form.Label4->text(), QStringLiteral("00:00"));
    QCOMPARE(form.cmdReadURL->text(), QStringLiteral("GO"));
    QVERIFY(form.Label9->font().underline());
    QCOMPARE(form.Label9->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QCOMPARE(form.mnuFile->title(), QStringLiteral("ORVELL"));
    QStringList entries;
    for (QAction* a : form.mnuFile->actions())
        entries << a->text();
    QCOMPARE(entries, (QStringList{"About", "Check Now", "Exit"}));
}

void TestStartup::keyboardNeverReachesTheWorkingFields_data()
{
    QTest::addColumn<bool>("tray");
    QTest::addColumn<bool>("backwards");
    QTest::newRow("panel, Tab") << true << false;
    QTest::newRow("panel, Shift+Tab") << true << true;
    QTest::newRow("window without a tray, Tab") << false << false;
    QTest::newRow("window without a tray, Shift+Tab") << false << true;
}

void TestStartup::keyboardNeverReachesTheWorkingFields()
{
    QFETCH(bool, tray);
    QFETCH(bool, backwards);
    TestServices t;
    t.notifyArea.available = tray;
    t.writeFile("config.ini", "\"http://watched.example/\",0,\"chime.wav\"");
    Form1 form(t.services());
    QCOMPARE(Startup::loadMainWindow(form), 0);
    form.mnuabout_Click();
    QVERIFY(QTest::qWaitForWindowActive(&form));

    // Round the focus chain from "Clear", typing into whatever has the focus.
    form.Command1->setFocus();
    QSet<QWidget*> reached;
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                        backwards ? Qt::ShiftModifier : Qt::NoModifier);
        reached.insert(QApplication::focusWidget());
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("x1"));
    }
    QCOMPARE(reached, (QSet<QWidget*>{form.List1, form.Command1, form.cmdChanges}));
    QCOMPARE(form.txtURL->text(), QStringLiteral("http://watched.example/"));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
