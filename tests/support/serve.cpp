// The test kit's web server as a program, for the tests that run the real program:
//   orvell_serve [--port N] [--tls CERTIFICATE] [--page FILE | --growing] [--requests FILE]
//                [--accepted FILE] [--size BYTES] [--chunks BYTES]
// Listens on 127.0.0.1 (an ephemeral port unless --port), prints the port on a line of
// its own, and serves until it is ended. --page: every request gets FILE as it is at that
// moment; --growing: every request gets a page one paragraph longer than the one before,
// so each check finds a change. --tls: HTTPS with one of the test certificates ("good"...).
// --size: every request gets a generated body of BYTES (read again from FILE when one
// is given, so a benchmark can change it); with --chunks, sent in chunks of that many
// bytes ("Transfer-Encoding: chunked"). --requests: each complete request is appended
// to FILE; --accepted: a line for each connection accepted.
#include "loopbackserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions(
        {{"port", "Port to listen on.", "N", "0"},
         {"tls", "Serve HTTPS with this test certificate.", "CERTIFICATE"},
         {"page", "Serve this file.", "FILE"},
         {"growing", "Serve a page that grows with every request."},
         {"size", "Serve a generated body of this many bytes (or of the number in this file).",
          "BYTES|FILE"},
         {"chunks", "Send the generated body in chunks of this many bytes.", "BYTES"},
         {"requests", "Append every request to this file.", "FILE"},
         {"accepted", "Append a line for every connection to this file.", "FILE"}});
    parser.process(app);

    LoopbackServer server(parser.value("tls"), quint16(parser.value("port").toUInt()));
    if (!server.isListening()) {
        std::fprintf(stderr, "orvell_serve: %s\n", qPrintable(server.listenError()));
        return 1;
    }
    const QString page = parser.value("page");
    const QString accepted = parser.value("accepted");
    auto note = [accepted](int n) {
        QFile f(accepted);
        if (!accepted.isEmpty() && f.open(QIODevice::Append))
            f.write("connection " + QByteArray::number(n) + "\n");
    };
    if (parser.isSet("size")) {
        const QString size = parser.value("size");
        const int chunks = parser.value("chunks").toInt();
        server.setScriptMaker([size, chunks, note](int n) {
            note(n);
            QFile f(size);
            const qint64 bytes = f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toLongLong()
                                                             : size.toLongLong();
            return chunks > 0 ? LoopbackServer::Script::generatedChunks(bytes, chunks, 'p')
                              : LoopbackServer::Script::generated(bytes, 'p');
        });
    } else if (parser.isSet("growing")) {
        server.setScriptMaker([note](int n) {
            note(n);
            QByteArray body;
            for (int i = 0; i <= n; ++i)
                body += "<p>Paragraph " + QByteArray::number(i) + "</p>\n";
            return LoopbackServer::Script::reply(body);
        });
    } else if (!page.isEmpty()) {
        server.setScriptMaker([page, note](int n) {
            note(n);
            QFile f(page);
            return LoopbackServer::Script::reply(f.open(QIODevice::ReadOnly) ? f.readAll()
                                                                             : QByteArray());
        });
    } else {
        server.setScriptMaker([note](int n) {
            note(n);
            return LoopbackServer::Script::reply("<html>a page</html>");
        });
    }
    if (parser.isSet("requests")) {
        const QString log = parser.value("requests");
        server.setRequestObserver([log](const QByteArray& request) {
            QFile f(log);
            if (f.open(QIODevice::Append))
                f.write(request);
        });
    }
    std::printf("%u\n", unsigned(server.port()));
    std::fflush(stdout);
    return app.exec(); // until a signal ends it
}
