// Any bytes as the URL item of config.ini, through the start of a check: the URL is
// asked for when empty, otherwise split into host and path, the connection goes to a
// valid host and port or is refused at once with the error message, and the request
// carries the path and host exactly, over TCP or (for "https://") TLS. Nothing is ever
// sent anywhere: the sockets are stand-ins that check the host the way the real ones do.
#include "checkkit.h"
#include "httpsocket.h"
#include "pagecheck.h"
#include "runtimeerror.h"
#include "services.h"

#include <QByteArray>
#include <QCoreApplication>
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

class RecordingMessageBox : public MessageBoxService
{
public:
    void show(const QString& text, Icon icon, const QString&) override
    {
        ++shown;
        lastText = text;
        lastIcon = icon;
    }
    int shown = 0;
    QString lastText;
    Icon lastIcon = Icon::Information;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RecordingCheckHost host;
    // Decoded as config.ini's items are.
    host.url = QString::fromLocal8Bit(reinterpret_cast<const char*>(data), qsizetype(size));
    RecordingMessageBox messageBox;
    Services services;
    services.messageBox = &messageBox;
    // data.tmp is made when the connection comes up (and removed with the check).
    static QTemporaryDir dir;
    services.programDir = dir.path();
    // Stand-ins that refuse what the real sockets refuse at once: nothing goes anywhere.
    auto tcp = std::make_unique<ScriptedSocket>();
    auto tls = std::make_unique<ScriptedSocket>();
    tcp->refusesLikeTheRealOne = tls->refusesLikeTheRealOne = true;
    ScriptedSocket* sockets[] = {tcp.get(), tls.get()};
    PageCheck pageCheck(services, host, std::move(tcp), std::move(tls));

    pageCheck.FetchURL();

    if (host.url.isEmpty()) {
        check(messageBox.shown == 1 &&
                  messageBox.lastText == QLatin1String("Please, enter the URL to retrieve."),
              "an empty URL is not asked for");
        check(sockets[0]->connects + sockets[1]->connects == 0, "an empty URL connects");
        return 0;
    }

    // "https://" goes over the secure socket to port 443 unless told; the rest over TCP.
    const bool secure = host.url.startsWith(QLatin1String("https://"));
    ScriptedSocket& socket = *sockets[secure ? 1 : 0];
    check(sockets[secure ? 0 : 1]->connects == 0, "connected through the other socket");
    const std::uint16_t defaultPort = secure ? 443 : 80;

    // The split: host before the first "/", path from it; together the working URL.
    QString working = secure                                          ? host.url.mid(8)
                      : host.url.startsWith(QLatin1String("http://")) ? host.url.mid(7)
                                                                      : host.url;
    if (!working.contains(QLatin1Char('/')))
        working += QLatin1Char('/');
    check(pageCheck.RequestPath.startsWith(QLatin1Char('/')), "the path does not begin with /");
    check(!pageCheck.HostName.contains(QLatin1Char('/')), "the host holds a /");
    check(pageCheck.HostName + pageCheck.RequestPath == working, "host and path lose text");

    if (socket.connects == 0) {
        // Refused at once: the error message, nothing sent.
        check(messageBox.shown == 1 &&
                  messageBox.lastIcon == MessageBoxService::Icon::Exclamation &&
                  messageBox.lastText.startsWith(QLatin1String("Error was occurred.\r\nError #: ")),
              "a refused connection is not reported");
        check(!QtHttpSocket::isValidHost(
                  PageCheck::connectTarget(pageCheck.HostName, defaultPort).host),
              "a valid host was refused");
        check(host.lastResult() == CheckOutcome::Result::Failed, "a refused check did not end");
        return 0;
    }
    check(messageBox.shown == 0, "a message came up for a connection that was made");
    check(socket.connectedPort >= 1, "port 0");
    check(QtHttpSocket::isValidHost(socket.connectedHost), "connected to an invalid host");
    check(pageCheck.HostName.startsWith(socket.connectedHost), "connected elsewhere than the host");
    if (socket.connectedPort != defaultPort || pageCheck.HostName != socket.connectedHost) {
        // "host:port": what follows the colon is the port, leading zeros and all.
        const QString prefix = socket.connectedHost + QLatin1Char(':');
        check(pageCheck.HostName.startsWith(prefix) &&
                  pageCheck.HostName.mid(prefix.size()).toInt() == socket.connectedPort,
              "a port that the host text does not name");
    }

    // The request: five lines, the path and host as the text holds them.
    socket.connectNow();
    const QByteArray path = pageCheck.RequestPath.toLocal8Bit();
    const QByteArray hostBytes = pageCheck.HostName.toLocal8Bit();
    check(socket.sent == "GET " + path + " HTTP/1.1\r\nHost: " + hostBytes +
                             "\r\nAccept: */*\r\nConnection: close\r\n\r\n",
          "the request is not the five lines");
    check(socket.sent.size() == 57 + path.size() + hostBytes.size(), "the request's length");
    check(host.caption == QLatin1String("Connection Estabilished"), "caption after connecting");
    return 0;
}
