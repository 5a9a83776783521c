#include "services.h"

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
