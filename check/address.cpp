#include "address.h"

#include "httpsocket.h"
#include "runtimeerror.h"

#include <QRegularExpression>
#include <QUrl>
#include <algorithm>

namespace {

bool isDigits(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

// The value of a text of digits, held at 65536 when it is larger.
int portValue(QStringView digits)
{
    int value = 0;
    for (const QChar c : digits)
        value = std::min(value * 10 + (c.unicode() - '0'), 65536);
    return value;
}

// Where a port follows the host text ("host:8080", "[::1]:8080"): the position of its
// colon, else -1.
qsizetype portColon(const QString& hostName)
{
    const qsizetype colon = hostName.lastIndexOf(QLatin1Char(':'));
    return colon > 0 && isDigits(QStringView(hostName).mid(colon + 1)) ? colon : -1;
}

} // namespace

Address Address::parse(const QString& url)
{
    Address a;
    a.secure = url.startsWith(QLatin1String("https://"));
    QString working = a.secure                                   ? url.mid(8)
                      : url.startsWith(QLatin1String("http://")) ? url.mid(7)
                                                                 : url;
    if (!working.contains(QLatin1Char('/')))
        working += QLatin1Char('/');
    const qsizetype p = working.indexOf(QLatin1Char('/'));
    a.hostName = asciiHostName(working.left(p));
    a.requestPath = working.mid(p);
    return a;
}

void Address::checkForm(const QString& url, const QString& hostName)
{
    // "ftp://..." or "HTTP://...": without this the scheme would be taken for a host name.
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*)://"));
    const QRegularExpressionMatch m = scheme.match(url);
    if (m.hasMatch() && m.captured(1) != QLatin1String("http") &&
        m.captured(1) != QLatin1String("https"))
        throw RuntimeError(kUnsupportedScheme,
                           QStringLiteral("Only http:// and https:// addresses can be watched"));
    if (const qsizetype colon = portColon(hostName); colon >= 0) {
        const QStringView digits = QStringView(hostName).mid(colon + 1);
        const int port = portValue(digits);
        if (port < 1 || port > 65535)
            throw RuntimeError(
                QtHttpSocket::InvalidPort,
                QStringLiteral("The port %1 is not between 1 and 65535").arg(digits.toString()));
    }
}

QString Address::asciiHostName(const QString& hostName)
{
    const bool ascii =
        std::all_of(hostName.begin(), hostName.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii)
        return hostName;
    const qsizetype colon = portColon(hostName);
    const QString name = colon >= 0 ? hostName.left(colon) : hostName;
    const QByteArray ace = QUrl::toAce(name);
    if (ace.isEmpty())
        return hostName;
    return QString::fromLatin1(ace) + (colon >= 0 ? hostName.mid(colon) : QString());
}

Address::Target Address::connectTarget(const QString& hostName, std::uint16_t defaultPort)
{
    if (const qsizetype colon = portColon(hostName); colon >= 0) {
        const int port = portValue(QStringView(hostName).mid(colon + 1));
        if (port >= 1 && port <= 65535)
            return {hostName.left(colon), std::uint16_t(port)};
    }
    return {hostName, defaultPort};
}
