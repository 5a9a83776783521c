#include "clock.h"

QString Clock::timeText(const QTime& time)
{
    const int h24 = time.hour();
    const int h12 = h24 % 12 == 0 ? 12 : h24 % 12;
    return QStringLiteral("%1:%2:%3 %4")
        .arg(h12)
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.second(), 2, 10, QLatin1Char('0'))
        .arg(h24 < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
}

QString Clock::dateText(const QDate& date)
{
    return QStringLiteral("%1/%2/%3").arg(date.month()).arg(date.day()).arg(date.year());
}

namespace {

// A date format whose years are written with four digits ("dd.MM.yy" -> "dd.MM.yyyy").
// Quoted text is left as it is.
QString withFourDigitYear(const QString& format)
{
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || c != QLatin1Char('y')) {
            out += c;
            continue;
        }
        while (i + 1 < format.size() && format[i + 1] == QLatin1Char('y'))
            ++i;
        out += QStringLiteral("yyyy");
    }
    return out;
}

// A time format without its time zone ("h:mm:ss AP t" -> "h:mm:ss AP", "H:mm:ss (t)" ->
// "H:mm:ss", "t HH:mm:ss" -> "HH:mm:ss"). Quoted text is left as it is.
QString withoutTimeZone(const QString& format)
{
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || c != QLatin1Char('t'))
            out += c;
    }
    out.remove(QStringLiteral("()"));
    return out.trimmed();
}

// Whether dates and times of the locale take the C locale's forms: the C and POSIX
// locales, also as the time category alone (LC_TIME=C with another LANG).
bool hasCForms(const QLocale& locale)
{
    const QLocale c = QLocale::c();
    return locale.dateFormat(QLocale::ShortFormat) == c.dateFormat(QLocale::ShortFormat) &&
           locale.timeFormat(QLocale::LongFormat) == c.timeFormat(QLocale::LongFormat);
}

} // namespace

QString Clock::shortDateText(const QDate& date, const QLocale& locale)
{
    if (hasCForms(locale))
        return dateText(date);
    return locale.toString(date, withFourDigitYear(locale.dateFormat(QLocale::ShortFormat)));
}

QString Clock::longTimeText(const QTime& time, const QLocale& locale)
{
    if (hasCForms(locale))
        return timeText(time);
    return locale.toString(time, withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}
