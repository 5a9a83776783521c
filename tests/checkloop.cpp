// Runs the main window's check over and over, without end, against one URL, in a
// given program directory; prints a line after each check ("completed" or "failed").
// The fault test kills it with SIGKILL at random moments and then looks at data.orvl.
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
    TestServices t;
    t.setProgramDir(QString::fromLocal8Bit(argv[1]));
    Form1 form(t.services());
    form.txtURL->setText(QString::fromLocal8Bit(argv[2]));
    // Each end starts the next check.
    QObject::connect(&form, &Form1::checkEnded, [&form](const CheckOutcome& outcome) {
        std::printf("%s\n",
                    outcome.result == CheckOutcome::Result::Failed ? "failed" : "completed");
        std::fflush(stdout);
        QTimer::singleShot(0, &form, &Form1::FetchURL);
    });
    form.FetchURL();
    return app.exec();
}
