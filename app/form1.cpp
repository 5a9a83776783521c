#include "form1.h"

#include "artwork.h"
#include "checksummary.h"
#include "configfile.h"
#include "credits.h"
#include "form2.h"
#include "httpsocket.h"
#include "pagecheck.h"
#include "tlssocket.h"
#include "twips.h"
#include "updatenotification.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>

namespace {

// The mouse button as a mouse-down handler receives it: 1 left, 2 right, 4 middle.
std::int16_t buttonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

// The keys held down: 1 shift, 2 control, 4 alt.
std::int16_t shiftCode(Qt::KeyboardModifiers modifiers)
{
    std::int16_t code = 0;
    if (modifiers & Qt::ShiftModifier)
        code |= 1;
    if (modifiers & Qt::ControlModifier)
        code |= 2;
    if (modifiers & Qt::AltModifier)
        code |= 4;
    return code;
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
    void checkStarted() override
    {
        // The outcome replaces it; after "Exit" the icon is gone.
        if (m_form.TaskBarIcon1)
            m_form.TaskBarIcon1->letTip(CheckSummary::checkingTip(
                m_form.txtURL->text(), m_form.m_services.clock->now().time(),
                m_form.m_services.clock->locale()));
    }
    void checkEnded(const CheckOutcome& outcome) override
    {
        m_form.showCheckSummary(outcome);
        Q_EMIT m_form.checkEnded(outcome);
    }
    void showMessage(const QString& text, MessageIcon icon, const QString& title) override
    {
        m_form.m_services.messageBox->show(text,
                                           icon == MessageIcon::Exclamation
                                               ? MessageBoxService::Icon::Exclamation
                                               : MessageBoxService::Icon::Information,
                                           title);
    }

private:
    Form1& m_form;
};

namespace {
// The panel of the tray icon: a fixed dialog frame with a close box, not in the task bar.
constexpr Qt::WindowFlags kPanelFlags = Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                        Qt::WindowCloseButtonHint |
                                        Qt::MSWindowsFixedSizeDialogHint;
} // namespace

Form1::Form1(Services& services, QWidget* parent)
    : QWidget(parent, kPanelFlags), m_services(services)
{
    const QIcon icon = Artwork::windowIcon(QStringLiteral("orvell"));
    setWindowIcon(icon);
    m_icon = Picture::fromIcon(icon);
    setupControls(*this, *m_services.notifyArea);

    // A tray that draws the icon's menu itself shows this one; on the others it pops
    // up on RightClick.
    m_services.notifyArea->offerMenu(mnuFile);
    connectCommands();

    // The schedule's timer runs from creation.
    connect(&Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    Timer1.start();

    m_checkHost = std::make_unique<CheckHostAdapter>(*this);
    m_check = std::make_unique<PageCheck>(
        m_services, *m_checkHost, std::make_unique<QtHttpSocket>(),
        m_services.tlsConfiguration ? std::make_unique<QtTlsSocket>(*m_services.tlsConfiguration)
                                    : std::make_unique<QtTlsSocket>());
}

Form1::~Form1()
{
    m_check.reset();
}

void Form1::connectCommands()
{
    // The tray icon's events carry their arguments by reference: direct connections.
    connect(TaskBarIcon1.get(), &TaskBarIcon::LeftClick, this, &Form1::TaskBarIcon1_LeftClick,
            Qt::DirectConnection);
    connect(TaskBarIcon1.get(), &TaskBarIcon::LeftDbClick, this, &Form1::TaskBarIcon1_LeftDbClick,
            Qt::DirectConnection);
    connect(TaskBarIcon1.get(), &TaskBarIcon::RightClick, this, &Form1::TaskBarIcon1_RightClick,
            Qt::DirectConnection);
    connect(TaskBarIcon1.get(), &TaskBarIcon::RightDbClick, this, &Form1::TaskBarIcon1_RightDbClick,
            Qt::DirectConnection);

    connect(mnuabout, &QAction::triggered, this, &Form1::mnuabout_Click);
    connect(mnucheck, &QAction::triggered, this, &Form1::mnucheck_Click);
    connect(mnuexit, &QAction::triggered, this, &Form1::mnuexit_Click);
    connect(cmdReadURL, &QPushButton::clicked, this, &Form1::cmdReadURL_Click);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    Label9->installEventFilter(this);
    Label12->installEventFilter(this);
}

QString Form1::configPath() const
{
    return m_services.programDir + QStringLiteral("/config.ini");
}

void Form1::Form_Load()
{
    // No window on the screen; the popup is loaded now and stays hidden.
    hide();
    m_form2 = std::make_unique<Form2>(m_services);
    m_form2->hide();

    // The tray icon: the window's icon, the popup's icon to flash with, 500 ms.
    TaskBarIcon1->letBaseIcon(m_icon);
    TaskBarIcon1->letFlashIcon(m_form2->iconPicture());
    TaskBarIcon1->letFlashTime(500);
    TaskBarIcon1->letEnabled(True);
    m_notification = std::make_unique<UpdateNotification>(
        m_services, UpdateNotification::Targets{List1, TaskBarIcon1.get(), m_form2.get(),
                                                &ShowPopup, &SoundFile});

    // The caption carries the major version.
    setWindowTitle(QStringLiteral("ORVELL %1").arg(ORVELL_VERSION_MAJOR));

    // The configuration; errors go to the caller, which ends the program.
    const ConfigItems items = ConfigFile::read(configPath());
    ShowPopup = items.showPopup;
    SoundFile = items.soundFile;
    txtURL->setText(items.url);
    // The tooltip names the watched host from now on.
    showCheckSummary(std::nullopt);
    // An address no check can ask for is said at once, not first at a mark of the schedule.
    m_check->reviewAddress();
}

void Form1::showCheckSummary(const std::optional<CheckOutcome>& last)
{
    const QString url = txtURL->text();
    if (last) {
        if (const QString caption = CheckSummary::caption(url, *last); !caption.isEmpty())
            setWindowTitle(caption);
    }
    // After "Exit" the icon is gone.
    if (TaskBarIcon1)
        TaskBarIcon1->letTip(CheckSummary::trayTip(url, last, m_services.clock->now().time(),
                                                   m_services.clock->locale()));
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
    // From the event loop, even when this runs before the loop has started (a window
    // closed while the program starts up): an exit asked for then would be lost.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (isWithoutNotificationArea()) {
        // There is no tray to come back to: closing the window ends the program.
        event->accept();
        mnuexit_Click();
        return;
    }
    // Closing the panel through its frame only hides it: the program goes on in
    // the tray.
    event->ignore();
    hide();
}

// --- tray icon commands ----------------------------------------------------------------

void Form1::TaskBarIcon1_LeftClick(std::int16_t&, std::int16_t&, float&, float&)
{
    TaskBarIcon1->letFlash(False);
}

void Form1::TaskBarIcon1_LeftDbClick(std::int16_t& Button, std::int16_t&, float&, float&)
{
    if (Button != 1)
        return;
    m_services.urlOpener->open(Credits::homePageAddress);
}

void Form1::TaskBarIcon1_RightClick(std::int16_t&, std::int16_t&, float&, float&)
{
    // Where a menu cannot pop up by itself (Wayland), the window shows with the menu
    // as its menu bar: a user asked for the menu, and gets it there.
    if (!m_services.notifyArea->canPopUpMenu()) {
        showWithMenuBar();
        return;
    }
    // A context menu at the pointer, with no entry marked as the default; the main
    // window stays where it is.
    mnuFile->setDefaultAction(nullptr);
    mnuFile->popup(QCursor::pos());
}

void Form1::TaskBarIcon1_RightDbClick(std::int16_t&, std::int16_t&, float&, float&) {}

// --- credits panel ------------------------------------------------------------------------

void Form1::mnuabout_Click()
{
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void Form1::Form_Click()
{
    // Without a tray a hidden window could not be brought back: it stays.
    if (isWithoutNotificationArea())
        return;
    hide();
}

void Form1::Label9_MouseDown(std::int16_t Button, std::int16_t, float, float)
{
    if (Button != 1)
        return;
    m_services.urlOpener->open(Credits::toolAddress);
}

void Form1::Label12_MouseDown(std::int16_t Button, std::int16_t, float, float)
{
    if (Button != 1)
        return;
    m_services.urlOpener->open(Credits::authorAddress);
}

void Form1::Command1_Click()
{
    List1->clear();
}

void Form1::mousePressEvent(QMouseEvent* event)
{
    // Presses that a label or another control lets through are not the background's.
    if (event->button() == Qt::LeftButton && !childAt(event->position().toPoint()))
        Form_Click();
    QWidget::mousePressEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && (watched == Label9 || watched == Label12)) {
        const auto* press = static_cast<QMouseEvent*>(event);
        const QPointF at = press->position();
        const std::int16_t button = buttonCode(press->button());
        const std::int16_t shift = shiftCode(press->modifiers());
        const float x = float(at.x() * Twips::perPixelX());
        const float y = float(at.y() * Twips::perPixelY());
        if (watched == Label9)
            Label9_MouseDown(button, shift, x, y);
        else
            Label12_MouseDown(button, shift, x, y);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// --- a desktop without a notification area ------------------------------------------------

void Form1::showWithoutNotificationArea()
{
    if (!m_withoutNotificationArea) {
        m_withoutNotificationArea = true;
        // A normal window, listed in the task bar, that can be minimised.
        setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                       Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    }
    showWithMenuBar();
}

void Form1::showWithMenuBar()
{
    if (!m_menuBar) {
        // The menu goes above the panel as the window's menu bar; everything else
        // moves down by its height, so the panel keeps its look below it.
        m_menuBar = new QMenuBar(this);
        m_menuBar->setObjectName(QStringLiteral("menuBar"));
        m_menuBar->setNativeMenuBar(false);
        m_menuBar->addMenu(mnuFile);
        const int barHeight = m_menuBar->sizeHint().height();
        for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child != m_menuBar && !child->isWindow())
                child->move(child->x(), child->y() + barHeight);
        }
        m_menuBar->setGeometry(0, 0, width(), barHeight);
        m_menuBar->show();
        setFixedSize(width(), height() + barHeight);
    }
    mnuabout_Click();
}

void Form1::leaveWithoutNotificationArea()
{
    if (!m_withoutNotificationArea)
        return;
    m_withoutNotificationArea = false;
    if (m_menuBar) {
        const int barHeight = m_menuBar->height();
        delete m_menuBar; // the menu stays, for the tray icon
        m_menuBar = nullptr;
        for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!child->isWindow())
                child->move(child->x(), child->y() - barHeight);
        }
        setFixedSize(width(), height() - barHeight);
    }
    setWindowFlags(kPanelFlags);
    hide();
}
