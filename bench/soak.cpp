// Soak: thousands of checks in a row through the main window, with the program's own
// Qt services (sound, message box, tray), against a loopback server whose page
// alternates between two sizes, so that every check is a change. Prints the resident
// memory, open descriptors and sockets as it goes, and fails when any of them grows
// after the warm-up or when a change is not reported exactly once.
//
//   orvell_soak [CHECKS [MAX_SECONDS [SIZE_A [SIZE_B]]]]    (3000 300 2048 300000)
#include "benchsupport.h"
#include "loopbackserver.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <cstdio>
#include <unistd.h>

using BenchSupport::BenchWindow;
using BenchSupport::statusKiB;

namespace {

struct Descriptors
{
    int open = 0;
    int sockets = 0;
};

Descriptors descriptors()
{
    Descriptors d;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& name : fds.entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files)) {
        ++d.open;
        char target[256] = {};
        const QByteArray path = QFile::encodeName(fds.filePath(name));
        const ssize_t n = ::readlink(path.constData(), target, sizeof target - 1);
        if (n > 0 && QByteArray(target, n).startsWith("socket:"))
            ++d.sockets;
    }
    return d;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ORVELL"));
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList args = app.arguments();
    const int checks = args.value(1, QStringLiteral("3000")).toInt();
    const int maxSeconds = args.value(2, QStringLiteral("300")).toInt();
    const qint64 sizeA = args.value(3, QStringLiteral("2048")).toLongLong();
    const qint64 sizeB = args.value(4, QStringLiteral("300000")).toLongLong();
    // Figures are taken after every round of this many checks; the first is the warm-up.
    const int warmUp = std::max(1, std::min(200, checks / 5));

    LoopbackServer server;
    server.setScripts({LoopbackServer::Script::generated(sizeA, 'a'),
                       LoopbackServer::Script::generated(sizeB, 'b')});

    BenchWindow window(server.url());
    Form1& form = *window.form;
    QDir().mkpath(window.path(QStringLiteral("Sounds")));
    QFile::copy(QStringLiteral(ORVELL_SOURCE_DIR "/resources/Sounds/chime.wav"),
                window.path(QStringLiteral("Sounds/chime.wav")));
    {
        // A snapshot of neither size: the first check is a change too.
        QFile snapshot(window.path(QStringLiteral("data.orvl")));
        if (!snapshot.open(QIODevice::WriteOnly) || snapshot.write("start\r\n") != 7)
            qFatal("cannot write the snapshot");
    }

    std::printf("soak: %d checks (at most %d s), pages of %lld and %lld bytes in turn\n", checks,
                maxSeconds, sizeA, sizeB);
    std::printf("%8s %9s %10s %6s %8s %10s %8s\n", "checks", "seconds", "RSS KiB", "fds", "sockets",
                "log lines", "failed");

    // The sound service lets each effect go a few seconds after its sound at the
    // latest; checks here come far faster than in use, so each round of checks is
    // followed by a pause for the sounds to end before the figures are taken.
    auto* soundService = dynamic_cast<QObject*>(window.qt().services().sound);
    auto soundsAlive = [&] { return soundService ? int(soundService->children().size()) : 0; };
    auto settle = [&] {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 200 || (soundsAlive() > 0 && waited.elapsed() < 6000))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    };

    QElapsedTimer clockRun;
    clockRun.start();
    int completed = 0;
    int failed = 0;
    int soundsLeft = 0;
    qint64 rssAfterWarmUp = 0;
    Descriptors afterWarmUp;
    qint64 rssMax = 0;
    Descriptors maxDescriptors;
    auto report = [&](int done) {
        const qint64 rss = statusKiB("VmRSS:");
        const Descriptors d = descriptors();
        soundsLeft = soundsAlive();
        std::printf("%8d %9.1f %10lld %6d %8d %10d %8d %7d\n", done, clockRun.elapsed() / 1000.0,
                    rss, d.open, d.sockets, int(form.List1->count()), failed, soundsLeft);
        std::fflush(stdout);
        if (done == warmUp) {
            rssAfterWarmUp = rss;
            afterWarmUp = d;
        } else if (done > warmUp) {
            rssMax = std::max(rssMax, rss);
            maxDescriptors.open = std::max(maxDescriptors.open, d.open);
            maxDescriptors.sockets = std::max(maxDescriptors.sockets, d.sockets);
        }
    };

    const int round = std::max(1, warmUp);
    for (int i = 0; i < checks && clockRun.elapsed() < maxSeconds * 1000; ++i) {
        if (window.check().result != CheckOutcome::Result::Failed)
            ++completed;
        else
            ++failed;
        if ((i + 1) % round == 0 || i + 1 == checks) {
            settle();
            report(i + 1);
        }
    }

    const int logLines = form.List1->count();
    const qint64 growth = rssMax - rssAfterWarmUp;
    std::printf("\ncompleted %d, failed %d, changes reported %d (expected %d), server "
                "connections still open %d\n",
                completed, failed, logLines, completed, server.openConnections());
    std::printf("after warm-up (%d checks): RSS %lld KiB, %d fds, %d sockets; later at most: "
                "RSS %lld KiB (%+lld KiB, %.2f KiB a check), %d fds, %d sockets\n",
                warmUp, rssAfterWarmUp, afterWarmUp.open, afterWarmUp.sockets, rssMax, growth,
                completed > warmUp ? double(growth) / (completed - warmUp) : 0.0,
                maxDescriptors.open, maxDescriptors.sockets);

    bool ok = failed == 0 && logLines == completed && completed > 0 && soundsLeft == 0;
    ok = ok && maxDescriptors.open <= afterWarmUp.open &&
         maxDescriptors.sockets <= afterWarmUp.sockets;
    // The update log keeps a line for every change; anything beyond a few MiB is a leak.
    ok = ok && growth < 4 * 1024;
    std::printf("%s\n", ok ? "soak: PASS" : "soak: FAIL");
    return ok ? 0 : 1;
}
