// Prints how long shaping the update popup to its background picture takes: the
// whole SkinForm run (scan of 448 x 199 positions, region made at once, mask set).
#include "fakes.h"
#include "picturebox.h"
#include "qtservices.h"
#include "skinform.h"
#include "skinwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QImage picture(QStringLiteral(":/popup/background.png"));
    const int runs = 200;
    RecordingWindowShape shape;
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        SkinWindow window(nullptr, Qt::FramelessWindowHint | Qt::Tool);
        auto* holder = new PictureBox(&window);
        holder->setPicture(picture);
        std::int32_t key = 0x00FF00FF;
        QElapsedTimer t;
        t.start();
        SkinForm(window, *holder, key, shape);
        ms.push_back(t.nsecsElapsed() / 1e6);
        window.hide();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("SkinForm on the popup picture (%dx%d, %d rectangles), %d runs: "
                "min %.3f ms, median %.3f ms, max %.3f ms (target < 5 ms)\n",
                picture.width(), picture.height(), int(shape.calls.last().size()), runs, ms.front(),
                ms[ms.size() / 2], ms.back());
    return ms[ms.size() / 2] < 5.0 ? 0 : 1;
}
