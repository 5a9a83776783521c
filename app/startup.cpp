#include "startup.h"

#include "form1.h"
#include "notifyarea.h"
#include "runtimeerror.h"
#include "services.h"

#include <QCoreApplication>

void Startup::reportRuntimeError(const RuntimeError& error, MessageBoxService& messageBox,
                                 const QString& fileName, std::FILE* err)
{
    const QString title = QCoreApplication::applicationName();
    std::fprintf(err, "%s: %s (%s)\n", qPrintable(title), qPrintable(error.message()),
                 qPrintable(fileName));
    std::fflush(err);
    messageBox.show(
        QStringLiteral("Run-time error '%1':\n\n%2").arg(error.number()).arg(error.description()),
        MessageBoxService::Icon::Critical, title);
}

int Startup::loadMainWindow(Form1& form)
{
    try {
        form.Form_Load();
    } catch (const RuntimeError& error) {
        reportRuntimeError(error, *form.services().messageBox, form.configPath());
        return kFailedStatus;
    }
    // Without a notification area the window is the program's only face.
    if (!form.services().notifyArea->isAvailable())
        form.showWithoutNotificationArea();
    return 0;
}
