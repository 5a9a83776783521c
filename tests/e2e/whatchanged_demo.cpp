// The window "What changed" alone, as the program shows it after an update of a small
// page: the difference of the page's two versions compared by the changes library. For
// the end-to-end test that reads it as a screen reader does, and for the picture in the
// docs. It writes each of the window's requests on standard output, one a line
// ("older", "newer", "open page"), and ends when the window closes.
#include "textdiff.h"
#include "whatchangedwindow.h"

#include <QApplication>
#include <QLocale>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ORVELL"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    QStringList before{QStringLiteral("Harbour Café"),
                       QStringLiteral("Fresh fish, local bread and coffee by the water."),
                       QStringLiteral("Opening hours"),
                       QStringLiteral("Monday to Friday: 9 am to 5 pm"),
                       QStringLiteral("Saturday: 10 am to 4 pm")};
    before << QStringLiteral("Breakfast") << QStringLiteral("Porridge with honey")
           << QStringLiteral("Eggs on toast") << QStringLiteral("Smoked salmon bagel")
           << QStringLiteral("Lunch") << QStringLiteral("Fish and chips")
           << QStringLiteral("Crab sandwich") << QStringLiteral("Mussels in white wine")
           << QStringLiteral("Cakes") << QStringLiteral("Lemon drizzle")
           << QStringLiteral("Carrot cake") << QStringLiteral("Scones with jam");
    before << QStringLiteral("Soup of the day: tomato") << QStringLiteral("Contact")
           << QStringLiteral("Phone 01234 567890");
    QStringList after = before;
    after[3] = QStringLiteral("Monday to Friday: 8 am to 6 pm");
    after.insert(5, QStringLiteral("Closed on 24 and 25 December"));
    after.removeOne(QStringLiteral("Soup of the day: tomato"));

    ChangeView view;
    view.title = QStringLiteral("harbour-cafe.example: what changed at 12/28/2026 1:09:59 PM");
    view.diff = diffTexts(before, after);
    view.hasOlder = true;

    WhatChangedWindow window;
    auto say = [](const char* what) {
        std::printf("%s\n", what);
        std::fflush(stdout);
    };
    QObject::connect(&window, &WhatChangedWindow::olderRequested, [&] { say("older"); });
    QObject::connect(&window, &WhatChangedWindow::newerRequested, [&] { say("newer"); });
    QObject::connect(&window, &WhatChangedWindow::openPageRequested, [&] { say("open page"); });
    window.showView(view);
    return QApplication::exec();
}
