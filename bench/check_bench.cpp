// Times one check of the watched page through the main window's own fetch path
// (Form1::FetchURL, the socket, data.tmp, the rename over data.orvl) against a
// loopback server started here, and curl's download of the same page from the same
// server, side by side. Prints page size, check time, curl time, their ratio and the
// peak resident memory. Each figure is the median of its runs (1 KiB: 50 checks and 10
// curl runs; larger pages: 3 of each, taking turns).
//
//   orvell_check_bench [MiB ...]      (default: 256)
//   ORVELL_BENCH_DIR=/somewhere       where the program directory is made (default: /tmp)
#include "form1.h"
#include "notifyarea.h"
#include "qtservices.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A notification area that is never there: the benchmark needs no tray.
class NoNotifyArea : public NotifyArea
{
public:
    void notify(NotifyMessage, const NotifyIconData&) override {}
    bool isAvailable() const override { return false; }
};

// Serves a page of a set size to each connection, one after the other, in its own
// thread: reads the request, sends a header and the body, closes.
class PageServer
{
public:
    PageServer()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listen, 8);
        socklen_t len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_pattern.resize(1 << 20);
        for (size_t i = 0; i < m_pattern.size(); ++i)
            m_pattern[i] = char('a' + (i * 7 + i / 251) % 26);
        m_thread = std::thread([this] { run(); });
    }
    ~PageServer()
    {
        m_stop = true;
        ::shutdown(m_listen, SHUT_RDWR);
        ::close(m_listen);
        m_thread.join();
    }
    quint16 port() const { return m_port; }
    void setBodySize(qint64 size) { m_size = size; }

private:
    void run()
    {
        while (!m_stop) {
            const int c = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0)
                return;
            serve(c);
            ::close(c);
        }
    }
    void serve(int c)
    {
        std::string request;
        char buf[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = ::recv(c, buf, sizeof buf, 0);
            if (n <= 0)
                return;
            request.append(buf, size_t(n));
        }
        const qint64 size = m_size;
        const std::string header =
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
            std::to_string(size) + "\r\nConnection: close\r\n\r\n";
        ::send(c, header.data(), header.size(), MSG_NOSIGNAL);
        qint64 left = size;
        while (left > 0) {
            const size_t n = size_t(std::min<qint64>(left, qint64(m_pattern.size())));
            const ssize_t sent = ::send(c, m_pattern.data(), n, MSG_NOSIGNAL);
            if (sent <= 0)
                return;
            left -= sent;
        }
        ::shutdown(c, SHUT_WR);
        // Wait for the client to close its end, so it sees all bytes before ours goes.
        while (::recv(c, buf, sizeof buf, 0) > 0) {
        }
    }

    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<qint64> m_size{0};
    std::atomic<bool> m_stop{false};
    std::vector<char> m_pattern;
    std::thread m_thread;
};

// The benchmark's own peak resident memory so far: Qt, the main window, the server
// thread and every check.
double peakMiB()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// One check through the main window: from the request to the snapshot replaced.
double timeCheck(Form1& form)
{
    QEventLoop loop;
    QString last;
    const auto conn =
        QObject::connect(&form, &QWidget::windowTitleChanged, &loop, [&](const QString& title) {
            last = title;
            if (title == QLatin1String("Connection Closed") ||
                title.startsWith(QLatin1String("Check failed")))
                loop.quit();
        });
    form.setWindowTitle(QStringLiteral("ORVELL 1"));
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    form.FetchURL();
    loop.exec();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    QObject::disconnect(conn);
    if (last != QLatin1String("Connection Closed")) {
        std::fprintf(stderr, "check did not complete: %s\n", qPrintable(last));
        return -1;
    }
    return ms;
}

// curl's own transfer time (its -w time_total, so its start-up is not counted) for the same page,
// from its start to the file written.
double timeCurl(const QString& url, const QString& file)
{
    QProcess curl;
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("-s"), QStringLiteral("-o"), file, QStringLiteral("-w"),
                QStringLiteral("%{time_total}"), url});
    if (!curl.waitForFinished(120000) || curl.exitCode() != 0)
        return -1;
    return QString::fromLatin1(curl.readAllStandardOutput()).toDouble() * 1000.0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ORVELL"));

    std::vector<qint64> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(qint64(QByteArray(argv[i]).toDouble() * 1024 * 1024));
    if (sizes.empty())
        sizes = {256ll << 20};

    // The program's directory: a fresh one under ORVELL_BENCH_DIR (default: the system's
    // temporary directory). curl writes into the same directory.
    const QString base = qEnvironmentVariable("ORVELL_BENCH_DIR", QDir::tempPath());
    QTemporaryDir dir(base + QStringLiteral("/orvell-bench-XXXXXX"));
    PageServer server;
    const QString url = QStringLiteral("http://127.0.0.1:%1/page").arg(server.port());
    {
        QFile config(dir.filePath(QStringLiteral("config.ini")));
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("\"%1\"\r\n0\r\n\"none.wav\"\r\n").arg(url).toLatin1());
    }

    QtServices qt;
    NoNotifyArea noTray;
    Services services = qt.services();
    services.notifyArea = &noTray;
    services.programDir = dir.path();
    Form1 form(services);
    form.Form_Load();
    form.Timer1.stop();

    std::printf("%-10s %12s %12s %7s %14s\n", "page", "check ms", "curl ms", "ratio",
                "peak RSS MiB");

    // A page of 1 KiB, in process: the figure is the median of many checks.
    {
        server.setBodySize(1024);
        std::vector<double> check;
        std::vector<double> curl;
        for (int i = 0; i < 50; ++i)
            check.push_back(timeCheck(form));
        for (int i = 0; i < 10; ++i)
            curl.push_back(timeCurl(url, dir.filePath(QStringLiteral("curl.out"))));
        std::printf("%-10s %12.3f %12.3f %7.2f %14.1f\n", "1 KiB", median(check), median(curl),
                    median(check) / median(curl), peakMiB());
    }

    for (const qint64 size : sizes) {
        server.setBodySize(size);
        std::vector<double> check;
        std::vector<double> curl;
        // Side by side: the two downloads take turns.
        for (int i = 0; i < 3; ++i) {
            check.push_back(timeCheck(form));
            curl.push_back(timeCurl(url, dir.filePath(QStringLiteral("curl.out"))));
            QFile::remove(dir.filePath(QStringLiteral("curl.out")));
        }
        if (QFile(dir.filePath(QStringLiteral("data.orvl"))).size() != size + 2) {
            std::fprintf(stderr, "the snapshot does not hold the page\n");
            return 1;
        }
        std::printf("%-10s %12.1f %12.1f %7.2f %14.1f\n",
                    qPrintable(QStringLiteral("%1 MiB").arg(double(size) / (1 << 20))),
                    median(check), median(curl), median(check) / median(curl), peakMiB());
    }
    return 0;
}
