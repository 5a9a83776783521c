// Any bytes as the URL item of config.ini, through the start-up's look at the address and
// the start of a check: the URL is asked for when empty, otherwise split into host (in
// ASCII) and path, the connection goes to a valid host and port, or is refused at once
// (another scheme than http or https, a port outside 1..65535, no valid host) with the
// error message, shown once however often it is refused; the request carries the host
// and the path with every byte outside printable ASCII percent-encoded, over TCP or (for
// "https://") TLS. Nothing is ever sent anywhere: the sockets are stand-ins that check
// the host the way the real ones do.
#include "address.h"
#include "checkkit.h"
#include "configfile.h"
#include "httpsocket.h"
#include "pagecheck.h"
#include "runtimeerror.h"
#include "systemservices.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "URL: %s\n", what);
        std::abort();
    }
}

// The path's bytes with every one outside 0x21..0x7E as %XX.
QByteArray encoded(const QByteArray& path)
{
    QByteArray out;
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        out += b > 0x20 && b < 0x7f
                   ? QByteArray(1, c)
                   : "%" + QByteArray::number(b, 16).rightJustified(2, '0').toUpper();
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RecordingCheckHost host;
    // Read as config.ini's URL item is (an unquoted item ends at a comma or line end; a
    // quoted one may hold both); nothing at all is no item.
    try {
        host.url = SequentialInput(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)))
                       .readValueAsText();
    } catch (const RuntimeError&) {
        return 0;
    }
    SystemServices services;
    // data.tmp is made when the connection comes up (and removed with the check).
    static QTemporaryDir dir;
    services.programDir = dir.path();
    // Stand-ins that refuse what the real sockets refuse at once: nothing goes anywhere.
    auto tcp = std::make_unique<ScriptedSocket>();
    auto tls = std::make_unique<ScriptedSocket>();
    tcp->refusesLikeTheRealOne = tls->refusesLikeTheRealOne = true;
    ScriptedSocket* sockets[] = {tcp.get(), tls.get()};
    PageCheck pageCheck(services, host, std::move(tcp), std::move(tls));

    // At start-up: what a check would refuse is said at once, and only then.
    pageCheck.reviewAddress();
    const qsizetype shownAtStart = host.messages.size();
    pageCheck.FetchURL();

    if (host.url.isEmpty()) {
        check(host.messages.size() == 1 &&
                  host.messages.last().text == QLatin1String("Please, enter the URL to retrieve."),
              "an empty URL is not asked for");
        check(sockets[0]->connects + sockets[1]->connects == 0, "an empty URL connects");
        return 0;
    }

    // "https://" goes over the secure socket to port 443 unless told; the rest over TCP.
    const bool secure = host.url.startsWith(QLatin1String("https://"));
    ScriptedSocket& socket = *sockets[secure ? 1 : 0];
    check(sockets[secure ? 0 : 1]->connects == 0, "connected through the other socket");
    const std::uint16_t defaultPort = secure ? 443 : 80;

    // The split: host before the first "/", path from it; together the working URL, the
    // host's name in ASCII where it is not.
    QString working = secure                                          ? host.url.mid(8)
                      : host.url.startsWith(QLatin1String("http://")) ? host.url.mid(7)
                                                                      : host.url;
    if (!working.contains(QLatin1Char('/')))
        working += QLatin1Char('/');
    const qsizetype slash = working.indexOf(QLatin1Char('/'));
    const QString hostPart = working.left(slash);
    auto isAscii = [](const QString& text) {
        return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    };
    check(pageCheck.RequestPath == working.mid(slash), "the path is not the rest of the URL");
    check(pageCheck.HostName == hostPart || (!isAscii(hostPart) && isAscii(pageCheck.HostName)),
          "the host is neither as written nor in ASCII");

    // What is refused at once: another scheme, a port outside 1..65535, an invalid host.
    static const QRegularExpression schemeForm(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*)://"));
    const QString scheme = schemeForm.match(host.url).captured(1);
    const bool badScheme =
        !scheme.isEmpty() && scheme != QLatin1String("http") && scheme != QLatin1String("https");
    static const QRegularExpression portForm(QStringLiteral("[\\s\\S]:([0-9]+)$"));
    const QRegularExpressionMatch port = portForm.match(pageCheck.HostName);
    const QString digits = port.captured(1).remove(QRegularExpression(QStringLiteral("^0+")));
    const bool badPort =
        port.hasMatch() && (digits.isEmpty() || digits.size() > 5 || digits.toInt() > 65535);
    const bool refused =
        badScheme || badPort ||
        !QtHttpSocket::isValidHost(Address::connectTarget(pageCheck.HostName, defaultPort).host);
    check(shownAtStart == (refused ? 1 : 0), "start-up said something else than the check does");
    check(host.messages.size() == shownAtStart, "a refusal was said twice");

    if (socket.connects == 0) {
        // Refused at once: the error message, nothing sent.
        check(refused, "a valid address was refused");
        const RecordingCheckHost::Message& said = host.messages.last();
        check(said.icon == CheckHost::MessageIcon::Exclamation &&
                  said.text.startsWith(QLatin1String("Error was occurred.\r\nError #: ")),
              "a refused connection is not reported");
        if (badScheme)
            check(said.text.endsWith(
                      QLatin1String("Only http:// and https:// addresses can be watched")),
                  "another scheme in other words");
        check(host.lastResult() == CheckOutcome::Result::Failed &&
                  host.outcomes.last().failure == CheckOutcome::Failure::AddressRefused,
              "a refused check did not end");
        return 0;
    }
    check(!refused, "an address that must be refused was not");
    check(socket.connectedPort >= 1, "port 0");
    check(QtHttpSocket::isValidHost(socket.connectedHost), "connected to an invalid host");
    check(pageCheck.HostName.startsWith(socket.connectedHost), "connected elsewhere than the host");
    if (socket.connectedPort != defaultPort || pageCheck.HostName != socket.connectedHost) {
        // "host:port": what follows the colon is the port, leading zeros and all.
        const QString prefix = socket.connectedHost + QLatin1Char(':');
        check(pageCheck.HostName.startsWith(prefix) && digits.toInt() == socket.connectedPort,
              "a port that the host text does not name");
    }

    // The request: five lines, the host as connected to, the path's bytes encoded.
    socket.connectNow();
    const QByteArray path = encoded(pageCheck.RequestPath.toLocal8Bit());
    const QByteArray hostBytes = pageCheck.HostName.toLocal8Bit();
    check(socket.sent == "GET " + path + " HTTP/1.1\r\nHost: " + hostBytes +
                             "\r\nAccept: */*\r\nConnection: close\r\n\r\n",
          "the request is not the five lines");
    check(socket.sent.size() == 57 + path.size() + hostBytes.size(), "the request's length");
    check(host.caption == QLatin1String("Connection Estabilished"), "caption after connecting");
    return 0;
}
