// Times what the "What changed" view needs after an update: the text of the page before
// and after, and their difference, for HTML pages of 100 KiB, 1 MiB and 32 MiB that
// changed in a few places; beside the same work done the way the Python page watchers do
// it (html2text.html2text on both pages, then difflib.unified_diff of their lines), run
// by /usr/bin/python3 in the same run on the same pages. Both start from the bytes in
// memory. Prints, a row per page: the medians of ORVELL's text and difference, the
// Python pipeline's time, their ratio, and ORVELL's peak resident memory growth during
// the row as a multiple of the page's size.
//
//   orvell_changes_bench [KiB ...]    (default: 100, 1024 and 32768)
#include "benchmemory.h"
#include "pagetext.h"
#include "textdiff.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using BenchSupport::resetPeak;
using BenchSupport::statusKiB;

namespace {

// A page of about `bytes` like a news or shop page: a style and a script, then sections
// of headings, paragraphs, lists and tables, words drawn from a fixed vocabulary.
std::vector<QByteArray> pageBlocks(qint64 bytes)
{
    static const char* const words[] = {
        "price",  "offer", "delivery", "the",   "and",     "new",  "update",  "release",
        "notes",  "page",  "watch",    "store", "of",      "a",    "version", "today",
        "market", "news",  "weather",  "city",  "council", "rain", "&amp;",   "caf&#233;"};
    quint32 seed = 27;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    auto sentence = [&](int count) {
        QByteArray s;
        for (int i = 0; i < count; ++i)
            s += QByteArray(words[next() % (sizeof words / sizeof *words)]) + ' ';
        return s + QByteArray::number(next() % 10000);
    };
    std::vector<QByteArray> blocks{
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Bench page</title>",
        "<style>body { font: 14px sans-serif } .item { color: #333 }</style>",
        "<script>var tracking = { id: 42, pages: [1, 2, 3] }; function go() { return 1; }</script>",
        "</head><body>"};
    qint64 size = 0;
    for (int n = 0; size < bytes; ++n) {
        QByteArray b;
        switch (n % 4) {
        case 0:
            b = "<h2 class=\"title\">" + sentence(4) + "</h2>";
            break;
        case 1:
            b = "<p>" + sentence(20) + " <a href=\"/x/" + QByteArray::number(n) + "\">" +
                sentence(2) + "</a> " + sentence(12) + "</p>";
            break;
        case 2:
            b = "<ul><li>" + sentence(6) + "</li><li>" + sentence(6) + "</li></ul>";
            break;
        default:
            b = "<table><tr><td>" + sentence(3) + "</td><td>" + sentence(3) + "</td></tr></table>";
            break;
        }
        b += '\n';
        size += b.size();
        blocks.push_back(b);
    }
    blocks.push_back("</body></html>\n");
    return blocks;
}

// The page after an update: a word changed in five paragraphs, a list item added, a
// paragraph removed.
QByteArray joined(const std::vector<QByteArray>& blocks)
{
    QByteArray out;
    for (const QByteArray& b : blocks)
        out += b;
    return out;
}

std::pair<QByteArray, QByteArray> pages(qint64 bytes)
{
    std::vector<QByteArray> before = pageBlocks(bytes);
    std::vector<QByteArray> after = before;
    const std::size_t n = after.size();
    for (std::size_t k = 1; k <= 5; ++k) {
        std::size_t i = n * k / 7;
        while (!after[i].startsWith("<p>"))
            ++i;
        after[i].replace("<p>", "<p>Changed ");
    }
    after.insert(after.begin() + std::ptrdiff_t(n / 3),
                 "<ul><li>A new item, just added</li></ul>\n");
    std::size_t removed = n * 6 / 7 + 2;
    while (!after[removed].startsWith("<p>"))
        ++removed;
    after.erase(after.begin() + std::ptrdiff_t(removed));
    return {joined(before), joined(after)};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

const char* const kPython = R"(
import sys, time, difflib, html2text
old = open(sys.argv[1], 'rb').read()
new = open(sys.argv[2], 'rb').read()
start = time.perf_counter()
a = html2text.html2text(old.decode('utf-8'))
b = html2text.html2text(new.decode('utf-8'))
diff = list(difflib.unified_diff(a.splitlines(), b.splitlines()))
print(time.perf_counter() - start, len(diff))
)";

// The Python pipeline's time on the two pages in milliseconds, -1 when it did not run.
double timePython(const QTemporaryDir& dir, const QByteArray& before, const QByteArray& after)
{
    const QString a = dir.filePath(QStringLiteral("before.html"));
    const QString b = dir.filePath(QStringLiteral("after.html"));
    for (const auto& [path, bytes] : {std::pair{a, &before}, {b, &after}}) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(*bytes) != bytes->size())
            qFatal("cannot write %s", qPrintable(path));
    }
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(kPython), a, b});
    if (!python.waitForFinished(-1) || python.exitCode() != 0) {
        std::fprintf(stderr, "python3: %s\n", python.readAllStandardError().constData());
        return -1;
    }
    return python.readAllStandardOutput().split(' ').value(0).toDouble() * 1000;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QList<qint64> sizesKiB;
    for (const QString& arg : app.arguments().mid(1))
        sizesKiB << arg.toLongLong();
    if (sizesKiB.isEmpty())
        sizesKiB = {100, 1024, 32768};
    QTemporaryDir dir;
    std::printf("%9s %8s %8s %8s %10s %7s %11s %7s %11s\n", "page", "text ms", "diff ms",
                "total ms", "python ms", "ratio", "peak growth", "lines", "+added -rem");
    for (const qint64 kib : sizesKiB) {
        const auto [before, after] = pages(kib * 1024);
        const int runs = kib >= 16384 ? 1 : kib >= 1024 ? 5 : 11;
        const PageType html{"text/html", "utf-8"};
        std::vector<double> textMs, diffMs;
        qint64 peakKiB = 0;
        TextDiff diff;
        qsizetype lines = 0;
        for (int i = 0; i < runs; ++i) {
            const qint64 rss = statusKiB("VmRSS:");
            resetPeak();
            QElapsedTimer timer;
            timer.start();
            const PageText a = readPageText(before, html);
            const PageText b = readPageText(after, html);
            textMs.push_back(timer.nsecsElapsed() / 1e6);
            timer.restart();
            diff = diffTexts(a.lines, b.lines);
            diffMs.push_back(timer.nsecsElapsed() / 1e6);
            peakKiB = std::max(peakKiB, statusKiB("VmHWM:") - rss);
            lines = a.lines.size();
        }
        const double total = median(textMs) + median(diffMs);
        const double python = timePython(dir, before, after);
        std::printf("%6lld KiB %8.1f %8.1f %8.1f %10.0f %7.3f %10.1fx %7lld %5d %-5d%s\n",
                    static_cast<long long>(kib), median(textMs), median(diffMs), total, python,
                    python > 0 ? total / python : 0.0, peakKiB / double(before.size() / 1024),
                    static_cast<long long>(lines), diff.added, diff.removed,
                    diff.complete ? "" : " (counted)");
        std::fflush(stdout);
    }
    return 0;
}
