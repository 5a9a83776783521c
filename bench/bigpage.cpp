// One check of a page of each given size through the main window, against a loopback
// server that generates the body as it sends it (the server holds no page). Prints
// the time, the throughput and the process's peak resident memory after each size:
// with the body streamed to data.tmp, a 1 GiB page must peak no higher than a 1 MiB
// one, give or take the reading buffers.
//
//   orvell_bigpage [SIZE ...]     sizes in bytes, or with K, M, G (default: 1M 1G)
#include "benchsupport.h"
#include "loopbackserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

using BenchSupport::BenchWindow;
using BenchSupport::statusKiB;

namespace {

qint64 parseSize(QString text)
{
    qint64 unit = 1;
    const QChar last = text.isEmpty() ? QChar() : text.back().toUpper();
    if (last == QLatin1Char('K') || last == QLatin1Char('M') || last == QLatin1Char('G')) {
        unit = last == QLatin1Char('K') ? 1 << 10 : last == QLatin1Char('M') ? 1 << 20 : 1 << 30;
        text.chop(1);
    }
    return text.toLongLong() * unit;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ORVELL"));
    QStringList sizes = app.arguments().mid(1);
    if (sizes.isEmpty())
        sizes = {QStringLiteral("1M"), QStringLiteral("1G")};

    LoopbackServer server;
    BenchWindow window(server.url());

    std::printf("%14s %9s %10s %14s %14s  %s\n", "page bytes", "seconds", "MiB/s", "peak RSS KiB",
                "RSS KiB", "data.orvl");
    bool ok = true;
    for (const QString& text : sizes) {
        const qint64 size = parseSize(text);
        server.setScript(LoopbackServer::Script::generated(size, 'p'));
        QElapsedTimer timer;
        timer.start();
        const CheckOutcome outcome = window.check();
        const double seconds = timer.elapsed() / 1000.0;
        const qint64 stored = QFileInfo(window.path(QStringLiteral("data.orvl"))).size();
        const bool right = outcome.result != CheckOutcome::Result::Failed && stored == size + 2;
        ok = ok && right;
        std::printf("%14lld %9.2f %10.1f %14lld %14lld  %s\n", size, seconds,
                    seconds > 0 ? size / 1048576.0 / seconds : 0.0, statusKiB("VmHWM:"),
                    statusKiB("VmRSS:"), right ? "complete" : qPrintable(outcome.reason));
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}
