// Times one check of the watched page through the main window's own fetch path
// (Form1::FetchURL, the socket, data.tmp, the replacement of data.orvl), over http and
// over https, against the test kit's loopback server (orvell_serve, a process of its own,
// so that neither its memory nor its threads count here), next to curl's download of the
// same page from the same server into the same directory, and the same over http with the
// page sent in chunks of 8 KiB (curl undoes the chunks too) at 1 and 256 MiB. Prints, a
// row per scheme and page size: the check time, curl's time, their ratio, and the peak resident
// memory of the benchmark process (the main window and its check) during that row. Each time is the
// median of its runs (the two downloads take turns).
//
//   orvell_check_bench [MiB ...]      (default: 1 KiB, 1, 32 and 256 MiB)
//   ORVELL_BENCH_DIR=/somewhere       where the program directory is made (default: /tmp)
#include "benchsupport.h"
#include "loopbackserver.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using BenchSupport::BenchWindow;
using BenchSupport::resetPeak;
using BenchSupport::statusKiB;

namespace {

// The kit's web server in a process of its own, serving a generated body whose size is
// read from a file at every request.
class ServerProcess
{
public:
    ServerProcess(const QString& sizeFile, const QString& certificate, int chunkBytes = 0)
        : m_sizeFile(sizeFile), m_chunked(chunkBytes > 0)
    {
        QStringList args{QStringLiteral("--size"), sizeFile};
        if (!certificate.isEmpty())
            args << QStringLiteral("--tls") << certificate;
        if (chunkBytes > 0)
            args << QStringLiteral("--chunks") << QString::number(chunkBytes);
        m_process.start(QStringLiteral(ORVELL_SERVE), args);
        if (!m_process.waitForReadyRead(10000))
            qFatal("orvell_serve did not start: %s", qPrintable(m_process.errorString()));
        m_port = m_process.readLine().trimmed().toUShort();
        m_tls = !certificate.isEmpty();
    }
    ~ServerProcess()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    void setBodySize(qint64 size)
    {
        QFile f(m_sizeFile);
        if (!f.open(QIODevice::WriteOnly) || f.write(QByteArray::number(size)) <= 0)
            qFatal("cannot write %s", qPrintable(m_sizeFile));
    }
    bool isTls() const { return m_tls; }
    const char* label() const { return m_chunked ? "chunks" : m_tls ? "https" : "http"; }
    QString url() const
    {
        return QStringLiteral("%1://127.0.0.1:%2/page")
            .arg(m_tls ? QStringLiteral("https") : QStringLiteral("http"))
            .arg(m_port);
    }

private:
    QString m_sizeFile;
    QProcess m_process;
    quint16 m_port = 0;
    bool m_tls = false;
    bool m_chunked = false;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// One check through the main window, in milliseconds; -1 when it did not store the page.
double timeCheck(BenchWindow& window, qint64 size)
{
    QElapsedTimer timer;
    timer.start();
    const CheckOutcome outcome = window.check();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    const qint64 stored = QFile(window.path(QStringLiteral("data.orvl"))).size();
    if (outcome.result == CheckOutcome::Result::Failed || stored != size + 2) {
        std::fprintf(stderr, "the check did not store the page: %s\n", qPrintable(outcome.reason));
        return -1;
    }
    return ms;
}

// curl's own transfer time (its time_total: its start-up is not counted) of the same page
// into a file of the same directory.
double timeCurl(const QString& url, const QString& file, qint64 size)
{
    QProcess curl;
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("-s"), QStringLiteral("--cacert"),
                LoopbackServer::certificateDir() + QStringLiteral("/ca.pem"), QStringLiteral("-o"),
                file, QStringLiteral("-w"), QStringLiteral("%{time_total}"), url});
    const bool ran = curl.waitForFinished(300000) && curl.exitCode() == 0;
    const qint64 stored = QFile(file).size();
    QFile::remove(file);
    if (!ran || stored != size) {
        std::fprintf(stderr, "curl did not fetch the page\n");
        return -1;
    }
    return QString::fromLatin1(curl.readAllStandardOutput()).toDouble() * 1000.0;
}

QString sizeText(qint64 size)
{
    return size < (1 << 20) ? QStringLiteral("%1 KiB").arg(size >> 10)
                            : QStringLiteral("%1 MiB").arg(double(size) / (1 << 20));
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
        sizes = {1 << 10, 1 << 20, 32 << 20, 256ll << 20};

    const QString base = qEnvironmentVariable("ORVELL_BENCH_DIR", QDir::tempPath());
    QTemporaryDir serverDir;
    ServerProcess http(serverDir.filePath(QStringLiteral("http-size")), QString());
    ServerProcess https(serverDir.filePath(QStringLiteral("https-size")), QStringLiteral("good"));
    ServerProcess chunked(serverDir.filePath(QStringLiteral("chunked-size")), QString(), 8192);
    BenchWindow window(http.url(), base, false, LoopbackServer::clientTls());
    const QString curlFile = window.path(QStringLiteral("curl.out"));

    std::printf("%-6s %-10s %12s %12s %7s %14s\n", "scheme", "page", "check ms", "curl ms", "ratio",
                "peak RSS MiB");
    bool ok = true;
    const std::vector<qint64> chunkedSizes{1 << 20, 256ll << 20};
    for (ServerProcess* server : {&http, &https, &chunked}) {
        window.setUrl(server->url());
        for (const qint64 size : server == &chunked ? chunkedSizes : sizes) {
            server->setBodySize(size);
            // Small pages: many runs, their time is short and noisy.
            const int runs = size < (1 << 20)     ? 101
                             : size <= (1 << 20)  ? 31
                             : size <= (32 << 20) ? 7
                                                  : 3;
            std::vector<double> check;
            std::vector<double> curl;
            timeCheck(window, size); // warm: the first connection of a kind loads its libraries
            resetPeak();
            for (int i = 0; i < runs; ++i) {
                check.push_back(timeCheck(window, size));
                curl.push_back(timeCurl(server->url(), curlFile, size));
            }
            const bool right = std::find(check.begin(), check.end(), -1.0) == check.end() &&
                               std::find(curl.begin(), curl.end(), -1.0) == curl.end();
            ok = ok && right;
            std::printf("%-6s %-10s %12.2f %12.2f %7.2f %14.1f%s\n", server->label(),
                        qPrintable(sizeText(size)), median(check), median(curl),
                        median(check) / median(curl), statusKiB("VmHWM:") / 1024.0,
                        right ? "" : "  (failed)");
            std::fflush(stdout);
        }
    }
    return ok ? 0 : 1;
}
