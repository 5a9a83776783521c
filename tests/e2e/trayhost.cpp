// A small host program for the tray control: one TaskBarIcon over the real Qt
// notification area, switched on, printing each event as "NAME Button=B x=X" on
// standard output (one line, flushed). "ready" is printed once the icon is shown.
#include "picture.h"
#include "propertybag.h"
#include "qtservices.h"
#include "taskbaricon.h"
#include "twips.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QtNotifyArea area;
    if (!area.isAvailable()) {
        std::fprintf(stderr, "trayhost: no notification area\n");
        return 2;
    }

    TaskBarIcon icon(area);
    icon.ReadProperties(MemoryPropertyBag());
    icon.setTwipsPerPixelX(float(qRound(Twips::perPixelX())));

    const auto print = [](const char* name) {
        return [name](std::int16_t& button, std::int16_t&, float& x, float&) {
            std::printf("%s Button=%d x=%g\n", name, int(button), double(x));
            std::fflush(stdout);
        };
    };
    QObject::connect(&icon, &TaskBarIcon::LeftClick, print("LeftClick"));
    QObject::connect(&icon, &TaskBarIcon::LeftDbClick, print("LeftDbClick"));
    QObject::connect(&icon, &TaskBarIcon::RightClick, print("RightClick"));
    QObject::connect(&icon, &TaskBarIcon::RightDbClick, print("RightDbClick"));

    QPixmap pixmap(22, 22);
    pixmap.fill(QColor(30, 90, 200));
    icon.letBaseIcon(Picture::fromIcon(QIcon(pixmap)));
    icon.letTip(QStringLiteral("trayhost"));
    icon.letEnabled(True);

    // Report readiness once the tray host has embedded the icon.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (area.geometry().width() > 1) {
            std::printf("ready\n");
            std::fflush(stdout);
            poll.stop();
        }
    });
    poll.start(50);
    return app.exec();
}
