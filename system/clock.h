#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>

// The time of day and the date, and their texts as the program shows them.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;

    // "1:09:59 PM": hour without a leading zero, two-digit minutes and seconds, a
    // space and AM or PM, always in this U.S. English form whatever the locale.
    static QString timeText(const QTime& time);
    // "12/7/2026": month/day/year without leading zeros.
    static QString dateText(const QDate& date);

    // The regional settings dates and times are shown in: the system's (LC_ALL,
    // LC_TIME, LANG), unless a clock says otherwise.
    virtual QLocale locale() const { return QLocale::system(); }
    // The locale's short date with a four-digit year: "12/28/2026" (en_US),
    // "28/12/2026" (en_GB), "28.12.2026" (de_DE). The C locale gives dateText's form.
    static QString shortDateText(const QDate& date, const QLocale& locale);
    // The locale's long time without a time zone name: "1:09:55 PM" (en_US),
    // "13:09:55" (en_GB, de_DE). The C locale gives timeText's form.
    static QString longTimeText(const QTime& time, const QLocale& locale);
};

// The system's clock and regional settings.
class SystemClock : public Clock
{
public:
    QDateTime now() const override;
};
