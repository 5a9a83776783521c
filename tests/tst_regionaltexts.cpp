// Dates and times in the user's regional forms: the update log's line and the popup's
// stamp, for a table of regions and times, and the system clock's region read from the
// environment of a process.
#include "fakes.h"
#include "form2.h"
#include "qtservices.h"
#include "updatenotification.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QTest>
#include <cstdio>

namespace {
const QDateTime kAfternoon(QDate(2026, 12, 28), QTime(13, 9, 55));
const QDateTime kMorning(QDate(2026, 3, 8), QTime(9, 5, 7));
// A child started with this argument prints the system clock's texts of kAfternoon.
const char* const kPrintArgument = "--print-system-texts";
} // namespace

class TestRegionalTexts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void logLineAndStamp_data();
    void logLineAndStamp();
    void systemClockTakesTheEnvironmentsRegion_data();
    void systemClockTakesTheEnvironmentsRegion();
};

void TestRegionalTexts::logLineAndStamp_data()
{
    QTest::addColumn<QString>("region");
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::newRow("en_US") << "en_US" << kAfternoon << "12/28/2026"
                           << "1:09:55 PM";
    QTest::newRow("en_US, short numbers") << "en_US" << kMorning << "3/8/2026"
                                          << "9:05:07 AM";
    QTest::newRow("en_US, midnight")
        << "en_US" << QDateTime(QDate(2026, 1, 1), QTime(0, 0)) << "1/1/2026"
        << "12:00:00 AM";
    QTest::newRow("en_GB") << "en_GB" << kAfternoon << "28/12/2026"
                           << "13:09:55";
    QTest::newRow("en_GB, short numbers") << "en_GB" << kMorning << "08/03/2026"
                                          << "09:05:07";
    QTest::newRow("de_DE, two-digit year widened") << "de_DE" << kAfternoon << "28.12.2026"
                                                   << "13:09:55";
    QTest::newRow("zh_CN, time zone first") << "zh_CN" << kAfternoon << "2026/12/28"
                                            << "13:09:55";
    QTest::newRow("bg_BG, quoted letters kept")
        << "bg_BG" << kMorning << QString::fromUtf8("8.03.2026 г.")
        << QString::fromUtf8("9:05:07 ч.");
    QTest::newRow("C: the U.S. form") << "C" << kAfternoon << "12/28/2026"
                                      << "1:09:55 PM";
    QTest::newRow("POSIX: the U.S. form") << "POSIX" << kMorning << "3/8/2026"
                                          << "9:05:07 AM";
}

void TestRegionalTexts::logLineAndStamp()
{
    QFETCH(QString, region);
    QFETCH(QDateTime, when);
    QFETCH(QString, date);
    QFETCH(QString, time);
    TestServices t;
    t.clock.regional = QLocale(region);
    t.clock.current = when;

    QListWidget log;
    UpdateNotification(t.services(), {&log}).logUpdate();
    QCOMPARE(log.item(0)->text(), QStringLiteral("Update found at ") + date + ' ' + time);

    Form2 popup(t.services());
    QCOMPARE(popup.Label1->text(), date + QStringLiteral(" at ") + time);
}

void TestRegionalTexts::systemClockTakesTheEnvironmentsRegion_data()
{
    QTest::addColumn<QStringList>("settings"); // NAME=value
    QTest::addColumn<QString>("texts");
    QTest::newRow("LANG en_US") << QStringList{"LANG=en_US.UTF-8"} << "12/28/2026 1:09:55 PM";
    QTest::newRow("LANG en_GB") << QStringList{"LANG=en_GB.UTF-8"} << "28/12/2026 13:09:55";
    QTest::newRow("LC_ALL de_DE over LANG en_US")
        << QStringList{"LC_ALL=de_DE.UTF-8", "LANG=en_US.UTF-8"} << "28.12.2026 13:09:55";
    QTest::newRow("LC_TIME en_GB over LANG C")
        << QStringList{"LC_TIME=en_GB.UTF-8", "LANG=C"} << "28/12/2026 13:09:55";
    QTest::newRow("LC_TIME C over LANG de_DE")
        << QStringList{"LC_TIME=C", "LANG=de_DE.UTF-8"} << "12/28/2026 1:09:55 PM";
    QTest::newRow("LANG C.UTF-8") << QStringList{"LANG=C.UTF-8"} << "12/28/2026 1:09:55 PM";
    QTest::newRow("nothing set") << QStringList() << "12/28/2026 1:09:55 PM";
}

void TestRegionalTexts::systemClockTakesTheEnvironmentsRegion()
{
    QFETCH(QStringList, settings);
    QFETCH(QString, texts);
    if (QSysInfo::productType() == QLatin1String("windows"))
        QSKIP("On Windows the region is the user's own setting, not the environment's");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LANG", "LANGUAGE", "LC_ALL", "LC_TIME", "LC_MESSAGES", "LC_NUMERIC"})
        env.remove(QLatin1String(name));
    for (const QString& setting : settings)
        env.insert(setting.section('=', 0, 0), setting.section('=', 1));
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QLatin1String(kPrintArgument)});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()), texts);
}

int main(int argc, char** argv)
{
    if (argc == 2 && qstrcmp(argv[1], kPrintArgument) == 0) {
        const SystemClock clock;
        const QLocale locale = clock.locale();
        const QString texts = Clock::shortDateText(kAfternoon.date(), locale) + ' ' +
                              Clock::longTimeText(kAfternoon.time(), locale);
        std::fputs(texts.toUtf8().constData(), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestRegionalTexts test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_regionaltexts.moc"
