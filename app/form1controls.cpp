#include "form1controls.h"

#include "credits.h"
#include "propertybag.h"
#include "twips.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <algorithm>
#include <limits>

namespace {

// The designed client area, in twips: one button row taller than first designed, for
// "What changed" below "Clear".
constexpr int kClientWidth = 6915;
constexpr int kClientHeight = 1905;
// The gap between the labels of one credits line, in twips.
constexpr int kLabelGap = 30;

// The window's font, which its labels and buttons take unless they have their own.
QFont panelFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    return font;
}

} // namespace

void Form1Controls::placeLine(const QList<QLabel*>& line, int clientWidth, int gap)
{
    int end = line.first()->x() - gap;
    for (QLabel* label : line) {
        label->move(std::max(label->x(), end + gap), label->y());
        end = label->x() + label->width();
    }
    const int shift = std::min(end - clientWidth, line.first()->x());
    if (shift > 0) {
        for (QLabel* label : line)
            label->move(label->x() - shift, label->y());
    }
}

void Form1Controls::setupControls(QWidget& form, NotifyArea& area)
{
    const double tx = Twips::perPixelX();
    const double ty = Twips::perPixelY();
    form.setObjectName(QStringLiteral("Form1"));
    form.setWindowTitle(QStringLiteral("ORVELL"));
    form.setFixedSize(qRound(kClientWidth / tx), qRound(kClientHeight / ty));
    form.setFont(panelFont());

    auto place = [tx, ty](QWidget* w, int left, int top, int width, int height) {
        w->setGeometry(qRound(left / tx), qRound(top / ty), qRound(width / tx),
                       qRound(height / ty));
    };
    auto label = [&](const char* name, const QString& caption, int left, int top, int width,
                     int height, bool autoSize) {
        auto* l = new QLabel(caption, &form);
        l->setObjectName(QLatin1String(name));
        place(l, left, top, width, height);
        if (autoSize)
            l->adjustSize();
        return l;
    };
    auto button = [&](const char* name, const QString& caption, int left, int top, int width,
                      int height) {
        auto* b = new QPushButton(caption, &form);
        b->setObjectName(QLatin1String(name));
        place(b, left, top, width, height);
        return b;
    };

    // The visible panel: credits, the update log and its button.
    Label7 = label("Label7", QStringLiteral("ORVELL, %1.").arg(Credits::productLongName), 1800, 120,
                   3735, 195, true);
    Label8 = label("Label8", QStringLiteral("Obviously the idea was ripped from "), 480, 360, 2505,
                   195, true);
    Label9 = label("Label9", QLatin1Char(' ') + Credits::toolShortName, 3000, 360, 525, 195, false);
    Label10 = label("Label10", QStringLiteral(" %1 ").arg(Credits::toolLongName), 3480, 360, 3210,
                    195, true);
    Label11 =
        label("Label11", QStringLiteral("ORVELL was created by:"), 2520, 600, 1650, 195, true);
    Label12 = label("Label12", Credits::authorNickname, 4200, 600, 420, 195, false);
    for (QLabel* link : {Label9, Label12}) {
        QFont font = panelFont();
        font.setUnderline(true);
        link->setFont(font);
        QPalette p = link->palette();
        p.setColor(QPalette::WindowText, QColor(0, 0, 255));
        link->setPalette(p);
        link->setCursor(Qt::PointingHandCursor);
        link->adjustSize();
    }
    const int gap = qRound(kLabelGap / tx);
    placeLine({Label8, Label9, Label10}, form.width(), gap);
    placeLine({Label11, Label12}, form.width(), gap);
    Label13 = label("Label13", QStringLiteral("Update log"), 240, 960, 780, 195, true);

    // The log's two buttons, one below the other under its heading, as wide as the
    // longer caption needs in the fonts that stand in for the designed one; the log
    // beside them, as tall as the column.
    List1 = new QListWidget(&form);
    List1->setObjectName(QStringLiteral("List1"));
    place(List1, 1680, 960, 5055, 825);
    // A screen reader names the log by its heading.
    List1->setAccessibleName(Label13->text());
    Command1 = button("Command1", QStringLiteral("Clear"), 240, 1200, 1335, 255);
    cmdChanges = button("cmdChanges", QStringLiteral("What changed"), 240, 1530, 1335, 255);
    cmdChanges->setToolTip(QStringLiteral("See what changed in the latest update"));

    // The tray icon starts from its default properties; start-up sets what it needs.
    TaskBarIcon1 = std::make_unique<TaskBarIcon>(area);
    TaskBarIcon1->ReadProperties(MemoryPropertyBag());
    TaskBarIcon1->setTwipsPerPixelX(float(qRound(tx)));

    // The working fields, below the client area and so never seen.
    Label1 = label("Label1", QStringLiteral("URL:"), 0, 5040, 6255, 255, false);
    txtURL = new QLineEdit(&form);
    txtURL->setObjectName(QStringLiteral("txtURL"));
    // The URL of config.ini is taken whole: a line edit would cut it at 32767 characters
    // and the check would ask for another page.
    txtURL->setMaxLength(std::numeric_limits<int>::max());
    place(txtURL, 0, 5400, 6615, 285);
    cmdReadURL = button("cmdReadURL", QStringLiteral("GO"), 6600, 5400, 1215, 255);
    // Fields the user never sees never take the keyboard: Tab passes them by, and no
    // typing can change the watched URL or start a check.
    for (QWidget* field : {static_cast<QWidget*>(txtURL), static_cast<QWidget*>(cmdReadURL)})
        field->setFocusPolicy(Qt::NoFocus);
    Label6 = label("Label6", QStringLiteral("Label6"), 120, 8040, 975, 255, false);
    Label2 = label("Label2", QStringLiteral("Label2"), 2640, 8040, 495, 255, false);
    Label3 = label("Label3", QStringLiteral("Label3"), 3360, 8040, 735, 255, false);
    Label5 = label("Label5", QStringLiteral("Label5"), 120, 8400, 855, 255, false);
    Label4 = label("Label4", QStringLiteral("00:00"), 240, 8760, 735, 255, false);
    // The schedule's timer: once a second, and precise, since a coarse one may drift
    // past a whole second.
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(1000);

    // The menu: "About", "Check Now", "Exit", in this order.
    mnuFile = new QMenu(QStringLiteral("ORVELL"), &form);
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    auto item = [this](const char* name, const QString& caption) {
        QAction* a = mnuFile->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    mnuabout = item("mnuabout", QStringLiteral("About"));
    mnucheck = item("mnucheck", QStringLiteral("Check Now"));
    mnuexit = item("mnuexit", QStringLiteral("Exit"));
}

bool Form1Controls::isUpdateLine(const QString& text)
{
    return text.startsWith(QLatin1String("Update found at "));
}

QString Form1Controls::updateLineTip()
{
    return QStringLiteral("Double-click or press Enter to see what changed in this update");
}

QList<QWidget*> Form1Controls::workingFields() const
{
    return {Label1, txtURL, cmdReadURL, Label6, Label2, Label3, Label5, Label4};
}
