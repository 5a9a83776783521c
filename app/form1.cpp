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
#include "whatchanged.h"

#include <QAccessible>
#include <QAccessibleWidget>
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

// Where a line of the update log keeps the time of its update.
constexpr int kUpdateTimeRole = Qt::UserRole + 1;

// What a screen reader finds in the main window: the panel as it looks. The working
// fields below the visible area stay the program's state, but are no part of it.
class PanelAccessible : public QAccessibleWidget
{
public:
    explicit PanelAccessible(Form1* form) : QAccessibleWidget(form), m_form(form) {}

    int childCount() const override { return int(shownChildren().size()); }
    QAccessibleInterface* child(int index) const override { return shownChildren().value(index); }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return int(shownChildren().indexOf(const_cast<QAccessibleInterface*>(child)));
    }

private:
    QList<QAccessibleInterface*> shownChildren() const
    {
        const QList<QWidget*> working = m_form->workingFields();
        QList<QAccessibleInterface*> shown;
        for (int i = 0, n = QAccessibleWidget::childCount(); i < n; ++i) {
            QAccessibleInterface* child = QAccessibleWidget::child(i);
            if (child && !working.contains(qobject_cast<QWidget*>(child->object())))
                shown.append(child);
        }
        return shown;
    }

    Form1* m_form;
};

QAccessibleInterface* panelAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("Form1")) {
        if (auto* form = qobject_cast<Form1*>(object))
            return new PanelAccessible(form);
    }
    return nullptr;
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
        m_form.m_updateTime = m_form.m_notification ? m_form.m_notification->logUpdate()
                                                    : m_form.m_services.clock->now();
        // The line carries its update's time: it opens that update's changes.
        if (QListWidgetItem* line = m_form.List1->item(m_form.List1->count() - 1))
            line->setData(kUpdateTimeRole, m_form.m_updateTime);
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
        m_form.m_whatChanged->checkStored(outcome, m_form.m_updateTime);
        m_form.m_lastCounts.reset();
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
    // Before the window's accessible interface is first asked for, once per program.
    static const bool panelAccessibleInstalled = [] {
        QAccessible::installFactory(panelAccessible);
        return true;
    }();
    Q_UNUSED(panelAccessibleInstalled);
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

    m_whatChanged = std::make_unique<WhatChanged>(m_services, [this] { return txtURL->text(); });
    connect(this, &Form1::whatChangedRequested, this, &Form1::showWhatChanged);
    connect(m_whatChanged.get(), &WhatChanged::latestCounted, this, &Form1::showLineCounts);

    m_checkHost = std::make_unique<CheckHostAdapter>(*this);
    m_check = std::make_unique<PageCheck>(
        m_services, *m_checkHost, std::make_unique<QtHttpSocket>(),
        m_services.tlsConfiguration ? std::make_unique<QtTlsSocket>(*m_services.tlsConfiguration)
                                    : std::make_unique<QtTlsSocket>());
}

Form1::~Form1()
{
    m_check.reset();
    m_whatChanged.reset();
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
    connect(cmdChanges, &QPushButton::clicked, this, &Form1::cmdChanges_Click);
    // A double click or Enter, as the desktop's style has an item opened.
    connect(List1, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { List1_ItemActivated(List1->row(item)); });
    // Whoever adds a line to the log, an update's line says what it opens.
    connect(List1->model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                for (int row = first; row <= last; ++row) {
                    QListWidgetItem* item = List1->item(row);
                    if (item && isUpdateLine(item->text()))
                        item->setToolTip(updateLineTip());
                }
            });
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
    m_lastOutcome = last;
    if (last) {
        if (const QString caption = CheckSummary::caption(url, *last); !caption.isEmpty())
            setWindowTitle(caption);
    }
    // After "Exit" the icon is gone.
    if (TaskBarIcon1)
        TaskBarIcon1->letTip(CheckSummary::trayTip(url, last, m_services.clock->now().time(),
                                                   m_services.clock->locale(), m_lastCounts));
}

void Form1::showLineCounts(int added, int removed)
{
    // Only while the tip still speaks of that change.
    if (!m_lastOutcome || m_lastOutcome->result != CheckOutcome::Result::Changed)
        return;
    m_lastCounts = CheckSummary::LineCounts{added, removed};
    const QString url = txtURL->text();
    if (TaskBarIcon1)
        TaskBarIcon1->letTip(CheckSummary::trayTip(url, m_lastOutcome, m_updateTime.time(),
                                                   m_services.clock->locale(), m_lastCounts));
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
    // Nobody is left to answer the notification's actions.
    m_whatChanged->closeNotice();
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
    // The user has seen the update: its notification has done its work.
    m_whatChanged->closeNotice();
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

void Form1::showWhatChanged(int logRow)
{
    const QListWidgetItem* line = logRow >= 0 ? List1->item(logRow) : nullptr;
    const QDateTime time = line ? line->data(kUpdateTimeRole).toDateTime() : QDateTime();
    if (time.isValid())
        m_whatChanged->showUpdateAt(time);
    else
        m_whatChanged->showLatest();
}

void Form1::cmdChanges_Click()
{
    Q_EMIT whatChangedRequested(-1);
}

void Form1::List1_ItemActivated(int row)
{
    const QListWidgetItem* item = List1->item(row);
    if (item && isUpdateLine(item->text()))
        Q_EMIT whatChangedRequested(row);
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
