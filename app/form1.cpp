#include "form1.h"

#include "configfile.h"
#include "credits.h"
#include "form2.h"
#include "httpsocket.h"
#include "pagecheck.h"
#include "propertybag.h"
#include "updatenotification.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>

namespace {

// The designed client area, in twips.
constexpr int kClientWidth = 6915;
constexpr int kClientHeight = 1725;

// A property bag with nothing in it: the main window's tray icon is designed with
// its default properties.
class EmptyPropertyBag : public PropertyBag
{
public:
    QVariant ReadProperty(const QString&, const QVariant& defaultValue) const override
    {
        return defaultValue;
    }
    void WriteProperty(const QString&, const QVariant&, const QVariant&) override {}
};

double screenDpi(bool horizontal)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 96.0;
    const double dpi = horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
    return dpi > 0 ? dpi : 96.0;
}

QFont linkFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    font.setUnderline(true);
    return font;
}

} // namespace

// The main window as a check sees it.
class Form1::CheckHostAdapter : public CheckHost
{
public:
    explicit CheckHostAdapter(Form1& form) : m_form(form) {}
    QString urlText() const override { return m_form.txtURL->text(); }
    void setCaption(const QString& caption) override
    {
        if (m_form.windowTitle() != caption)
            m_form.setWindowTitle(caption);
    }
    void setWorkingText(const QByteArray& body) override { m_form.Text1.setText(body); }
    void setSizes(const QString& newSize, const QString& oldSize) override
    {
        m_form.Label2->setText(newSize);
        m_form.Label3->setText(oldSize);
    }
    void logUpdate() override
    {
        if (m_form.m_notification)
            m_form.m_notification->logUpdate();
    }
    void announceUpdate() override
    {
        if (m_form.m_notification)
            m_form.m_notification->announceUpdate();
    }

private:
    Form1& m_form;
};

double Form1::twipsPerPixelX()
{
    return 1440.0 / screenDpi(true);
}

double Form1::twipsPerPixelY()
{
    return 1440.0 / screenDpi(false);
}

Form1::Form1(Services& services, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_services(services)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("ORVELL"));
    const QIcon icon(QStringLiteral(":/icons/orvell.png"));
    setWindowIcon(icon);
    m_icon = Picture::fromIcon(icon);
    setFixedSize(qRound(kClientWidth / twipsPerPixelX()), qRound(kClientHeight / twipsPerPixelY()));

    buildControls();

    // The tray icon starts from its default properties; start-up sets what it needs.
    TaskBarIcon1 = std::make_unique<TaskBarIcon>(*m_services.notifyArea);
    TaskBarIcon1->ReadProperties(EmptyPropertyBag());
    TaskBarIcon1->setTwipsPerPixelX(float(qRound(twipsPerPixelX())));

    // The schedule's timer runs from creation: a precise timer, since a coarse one may
    // drift past a whole second.
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    Timer1.start();

    m_checkHost = std::make_unique<CheckHostAdapter>(*this);
    m_check = std::make_unique<PageCheck>(m_services, *m_checkHost,
                                          std::make_unique<QtHttpSocket>());
}

Form1::~Form1()
{
    m_check.reset();
}

void Form1::buildControls()
{
    const double tx = twipsPerPixelX();
    const double ty = twipsPerPixelY();
    auto place = [tx, ty](QWidget* w, int left, int top, int width, int height) {
        w->setGeometry(qRound(left / tx), qRound(top / ty), qRound(width / tx),
                       qRound(height / ty));
    };
    auto label = [&](const char* name, const QString& caption, int left, int top, int width,
                     int height, bool autoSize) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(QLatin1String(name));
        place(l, left, top, width, height);
        if (autoSize)
            l->adjustSize();
        return l;
    };

    // The visible panel: credits, the update log and its button.
    Label7 = label("Label7", QStringLiteral("ORVELL, %1.").arg(Credits::productLongName), 1800,
                   120, 3735, 195, true);
    Label8 = label("Label8", QStringLiteral("Obviously the idea was ripped from "), 480, 360, 2505,
                   195, true);
    Label9 = label("Label9", QLatin1Char(' ') + Credits::toolShortName, 3000, 360, 525, 195, false);
    Label10 = label("Label10", QStringLiteral(" %1 ").arg(Credits::toolLongName), 3480, 360, 3210,
                    195, true);
    Label11 = label("Label11", QStringLiteral("ORVELL was created by:"), 2520, 600, 1650, 195,
                    true);
    Label12 = label("Label12", Credits::authorNickname, 4200, 600, 420, 195, false);
    for (QLabel* link : {Label9, Label12}) {
        link->setFont(linkFont());
        QPalette p = link->palette();
        p.setColor(QPalette::WindowText, QColor(0, 0, 255));
        link->setPalette(p);
        link->setCursor(Qt::PointingHandCursor);
        link->adjustSize();
    }
    Label13 = label("Label13", QStringLiteral("Update log"), 240, 960, 780, 195, true);

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    place(List1, 1200, 960, 5535, 645);

    Command1 = new QPushButton(QStringLiteral("Clear"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    place(Command1, 240, 1200, 855, 255);

    // The working fields, below the client area and so never seen.
    Label1 = label("Label1", QStringLiteral("URL:"), 0, 5040, 6255, 255, false);
    txtURL = new QLineEdit(this);
    txtURL->setObjectName(QStringLiteral("txtURL"));
    place(txtURL, 0, 5400, 6615, 285);
    cmdReadURL = new QPushButton(QStringLiteral("GO"), this);
    cmdReadURL->setObjectName(QStringLiteral("cmdReadURL"));
    place(cmdReadURL, 6600, 5400, 1215, 255);
    Label6 = label("Label6", QStringLiteral("Label6"), 120, 8040, 975, 255, false);
    Label2 = label("Label2", QStringLiteral("Label2"), 2640, 8040, 495, 255, false);
    Label3 = label("Label3", QStringLiteral("Label3"), 3360, 8040, 735, 255, false);
    Label5 = label("Label5", QStringLiteral("Label5"), 120, 8400, 855, 255, false);
    Label4 = label("Label4", QStringLiteral("00:00"), 240, 8760, 735, 255, false);

    // The menu: "About", "Check Now", "Exit", in this order.
    mnuFile = new QMenu(QStringLiteral("ORVELL"), this);
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuabout = mnuFile->addAction(QStringLiteral("About"));
    mnuabout->setObjectName(QStringLiteral("mnuabout"));
    mnucheck = mnuFile->addAction(QStringLiteral("Check Now"));
    mnucheck->setObjectName(QStringLiteral("mnucheck"));
    mnuexit = mnuFile->addAction(QStringLiteral("Exit"));
    mnuexit->setObjectName(QStringLiteral("mnuexit"));
    connect(mnucheck, &QAction::triggered, this, &Form1::mnucheck_Click);
    connect(mnuexit, &QAction::triggered, this, &Form1::mnuexit_Click);
    connect(cmdReadURL, &QPushButton::clicked, this, &Form1::cmdReadURL_Click);
}

QString Form1::configPath() const
{
    return m_services.programDir + QStringLiteral("/config.ini");
}

void Form1::Form_Load()
{
    // 1-2. No window on the screen; the popup is loaded now and stays hidden.
    hide();
    m_form2 = std::make_unique<Form2>(m_services);
    m_form2->hide();

    // 3-6. The tray icon: the window's icon, the popup's icon to flash with, 500 ms.
    TaskBarIcon1->letBaseIcon(m_icon);
    TaskBarIcon1->letFlashIcon(m_form2->iconPicture());
    TaskBarIcon1->letFlashTime(500);
    TaskBarIcon1->letEnabled(True);
    m_notification = std::make_unique<UpdateNotification>(
        m_services, UpdateNotification::Targets{List1, TaskBarIcon1.get(), m_form2.get(),
                                                &ShowPopup, &SoundFile});

    // 7. The caption carries the major version.
    setWindowTitle(QStringLiteral("ORVELL %1").arg(ORVELL_VERSION_MAJOR));

    // 8-11. The configuration; errors go to the caller, which ends the program.
    const ConfigItems items = ConfigFile::read(configPath());
    ShowPopup = items.showPopup;
    SoundFile = items.soundFile;
    txtURL->setText(items.url);
}

void Form1::FetchURL()
{
    m_check->FetchURL();
}

void Form1::cmdReadURL_Click()
{
    m_check->FetchURL();
}

void Form1::mnucheck_Click()
{
    FetchURL();
}

void Form1::Timer1_Timer()
{
    // The time text is always the U.S. form, so the marks hold whatever the locale.
    scheduleTick(Clock::timeText(m_services.clock->now().time()));
}

void Form1::scheduleTick(const QString& timeText)
{
    static const char* const marks[] = {"09:59 ", "19:59 ", "29:59 ", "39:59 ",
                                        "49:59 ", "59:59 ", "00:59 "};
    Label6->setText(timeText);
    const QString first8 = Label6->text().left(8);
    Label4->setText(first8.right(6));
    Label5->setText(first8);
    for (const char* mark : marks) {
        if (Label4->text() == QLatin1String(mark))
            FetchURL();
    }
}

void Form1::Form_Unload()
{
    // The notification acts on the tray icon, which goes now.
    m_notification.reset();
    // The tray icon leaves the notification area with the control.
    TaskBarIcon1.reset();
}

void Form1::mnuexit_Click()
{
    Timer1.stop();
    Form_Unload();
    hide();
    QCoreApplication::exit(0);
}

void Form1::closeEvent(QCloseEvent* event)
{
    // Closing the panel through its frame only hides it: the program goes on in
    // the tray.
    event->ignore();
    hide();
}
