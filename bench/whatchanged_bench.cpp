// Times what the desktop's thread does to show a difference in the window "What changed":
// building its document (showView) and its first paint, for the largest differences it
// shows (as many lines, or as many characters, as it shows at once) and a common one.
// Prints, a row per difference, the medians of five runs in milliseconds of processor
// time (what the work takes on a quiet machine) and of wall-clock time (what it took
// here, with whatever else ran).
//
//   QT_QPA_PLATFORM=offscreen orvell_whatchanged_bench
#include "whatchangedwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextBrowser>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

// `count` changed line pairs of `length` characters, a word marked in each, with a line
// of context between pairs.
TextDiff changedPairs(int count, int length)
{
    TextDiff diff;
    const QString text = QString(length - 6, u'x') + QStringLiteral(" word ");
    for (int i = 0; i < count; ++i) {
        for (DiffLine::Kind kind : {DiffLine::Kind::Removed, DiffLine::Kind::Added}) {
            DiffLine line;
            line.kind = kind;
            line.text = text;
            line.marks = {{length - 5, 4}};
            diff.lines << line;
        }
        DiffLine context;
        context.text = text;
        diff.lines << context;
        ++diff.added;
        ++diff.removed;
    }
    return diff;
}

double cpuMs()
{
    return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    struct Row
    {
        const char* what;
        TextDiff diff;
    };
    const int most = WhatChangedWindow::kMaxShownLines;
    const int longest = int(WhatChangedWindow::kMaxLineLength);
    const std::vector<Row> rows{
        {"a few changes: 10 pairs of 80 characters", changedPairs(10, 80)},
        {"as many lines as shown: 80 characters", changedPairs(most / 3 + 1, 80)},
        {"as many characters as shown: 3,000 a line",
         changedPairs(int(WhatChangedWindow::kMaxShownCharacters / longest / 3) + 1, longest)},
        {"more than shown: 100,000 lines", changedPairs(100'000 / 3, 80)},
    };
    std::printf("%-44s %17s %17s\n", "difference", "build ms cpu/wall", "paint ms cpu/wall");
    for (const Row& row : rows) {
        std::vector<double> build, buildWall, paint, paintWall;
        for (int run = 0; run < 5; ++run) {
            WhatChangedWindow window;
            QElapsedTimer timer;
            timer.start();
            double cpu = cpuMs();
            window.showView({QStringLiteral("bench"), row.diff, QString(), true, true});
            build.push_back(cpuMs() - cpu);
            buildWall.push_back(double(timer.nsecsElapsed()) / 1e6);
            timer.restart();
            cpu = cpuMs();
            (void)window.grab();
            paint.push_back(cpuMs() - cpu);
            paintWall.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        std::printf("%-44s %8.1f /%7.1f %8.1f /%7.1f\n", row.what, median(build), median(buildWall),
                    median(paint), median(paintWall));
    }
    return 0;
}
