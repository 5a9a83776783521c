// Runs the main window's check over and over, without end, against one URL, in a
// given program directory; prints a line after each completed check. The fault test
// kills it with SIGKILL at random moments and then looks at data.orvl.
//   orvell_checkloop PROGRAM_DIR URL
#include "fakes.h"
#include "form1.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PROGRAM_DIR URL\n", argv[0]);
        return 2;
    }
    RecordingNotifyArea notifyArea;
    ScriptedMessageBox messageBox;
    FakeClock clock;
    clock.current = QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0)); // no mark
    RecordingUrlOpener urlOpener;
    RecordingSoundPlayer sound;
    Services services;
    services.messageBox = &messageBox;
    services.clock = &clock;
    services.urlOpener = &urlOpener;
    services.sound = &sound;
    services.notifyArea = &notifyArea;
    services.programDir = QString::fromLocal8Bit(argv[1]);

    Form1 form(services);
    form.txtURL->setText(QString::fromLocal8Bit(argv[2]));
    // Any caption but the progress texts ends a check: start the next one.
    QObject::connect(&form, &QWidget::windowTitleChanged, [&form](const QString& caption) {
        static const QStringList running{QStringLiteral("next"),
                                         QStringLiteral("Connection Estabilished"),
                                         QStringLiteral("Fetching data")};
        if (running.contains(caption))
            return;
        std::printf("%s\n", caption == QLatin1String("Connection Closed") ? "completed" : "failed");
        std::fflush(stdout);
        form.setWindowTitle(QStringLiteral("next"));
        QTimer::singleShot(0, &form, &Form1::FetchURL);
    });
    form.FetchURL();
    return app.exec();
}
