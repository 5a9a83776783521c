#include "qtservices.h"

#include "picture.h"
#include "statusnotifier.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QRegion>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>

// --- notification area -------------------------------------------------------------

QtNotifyArea::QtNotifyArea(QObject* parent) : QObject(parent), m_tray(new QSystemTrayIcon(this))
{
    // Qt has just chosen its kind of tray for this process; ask the same question now.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        m_kind = StatusNotifier::hostRegistered() ? TrayKind::StatusNotifier : TrayKind::Embedded;

    // Qt reports a click as Trigger and a double click as Trigger then DoubleClick.
    // The shell reports a double click as down, up, double-click, up: the control
    // sees left button-up (Trigger), then double-click and the second button-up.
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                switch (reason) {
                case QSystemTrayIcon::Trigger:
                    reportMouse(MouseMessage::LeftButtonUp);
                    break;
                case QSystemTrayIcon::DoubleClick:
                    reportMouse(MouseMessage::LeftButtonDoubleClick);
                    reportMouse(MouseMessage::LeftButtonUp);
                    break;
                case QSystemTrayIcon::Context:
                    reportMouse(MouseMessage::RightButtonUp);
                    break;
                case QSystemTrayIcon::MiddleClick:
                case QSystemTrayIcon::Unknown:
                    // The middle button has no event.
                    break;
                }
            });
    connect(m_tray, &QSystemTrayIcon::messageClicked, this, [this] { reportMessageClick(); });
}

QtNotifyArea::~QtNotifyArea() = default;

bool QtNotifyArea::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtNotifyArea::offerMenu(QMenu* menu)
{
    if (m_kind != TrayKind::StatusNotifier)
        return;
    // Before the icon is added, so that the host finds the menu when the icon registers.
    m_tray->setContextMenu(menu);
    if (menu)
        connect(menu, &QObject::destroyed, this, [this] { m_tray->setContextMenu(nullptr); });
}

bool QtNotifyArea::canPopUpMenu() const
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void QtNotifyArea::showMessage(const QString& title, const QString& text)
{
    // Qt shows a message only from a shown icon. No icon of its own in the message: the
    // toast shows the program's, and the tray's may be its flash picture at this moment.
    // An empty title and text reach the shell as an empty balloon text, which takes the
    // balloon away.
    m_tray->showMessage(title, text, QSystemTrayIcon::NoIcon);
}

QRect QtNotifyArea::geometry() const
{
    return m_tray->isVisible() ? m_tray->geometry() : QRect();
}

void QtNotifyArea::apply(const NotifyIconData& data)
{
    if (data.uFlags & NotifyFlags::Icon)
        m_tray->setIcon(Picture::iconForHandle(data.hIcon));
    if (data.uFlags & NotifyFlags::Tip)
        m_tray->setToolTip(data.tipText());
}

void QtNotifyArea::notify(NotifyMessage message, const NotifyIconData& data)
{
    switch (message) {
    case NotifyMessage::Add:
        if (m_tray->isVisible())
            return; // the shell refuses a second add of the same icon
        apply(data);
        m_tray->show();
        break;
    case NotifyMessage::Modify:
        if (m_tray->isVisible())
            apply(data);
        break;
    case NotifyMessage::Delete:
        m_tray->hide();
        break;
    }
}

// --- message boxes -----------------------------------------------------------------

namespace {
bool hasScreenForDialogs()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}
} // namespace

void QtMessageBox::show(const QString& text, Icon icon, const QString& title)
{
    if (!hasScreenForDialogs()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title),
                     qPrintable(QString(text).replace(QLatin1String("\r\n"), QLatin1String(" "))));
        return;
    }
    QMessageBox box;
    box.setWindowTitle(title);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    switch (icon) {
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    box.exec();
}

// --- browser -------------------------------------------------------------------

void DesktopUrlOpener::open(const QString& address)
{
    QDesktopServices::openUrl(QUrl(address));
}

// --- window shape ------------------------------------------------------------------------

std::int32_t QtWindowShape::GetPixel(const QImage& surface, int x, int y) const
{
    if (!surface.valid(x, y))
        return kInvalidColour;
    const QRgb rgb = surface.pixel(x, y);
    return std::int32_t(qRed(rgb) | qGreen(rgb) << 8 | qBlue(rgb) << 16);
}

void QtWindowShape::SetWindowRgn(QWidget& window, const QList<QRect>& rects)
{
    if (rects.isEmpty()) {
        // Qt takes an empty mask for "no mask", which would show the whole window:
        // a pixel outside the window leaves nothing of it shown or clickable.
        window.setMask(QRegion(-1, -1, 1, 1));
        return;
    }
    QRegion region;
    region.setRects(rects.constData(), int(rects.size()));
    window.setMask(region);
}

// --- the program's services -------------------------------------------------------------

QtServices::QtServices() : m_notifyArea(new QtNotifyArea)
{
    m_services.messageBox = &m_messageBox;
    m_services.clock = &m_clock;
    m_services.urlOpener = &m_urlOpener;
    m_services.sound = &m_sound;
    m_services.windowShape = &m_windowShape;
    m_services.notifyArea = m_notifyArea;
    m_desktopNotifier = std::make_unique<SystemDesktopNotifier>(*m_notifyArea);
    m_services.desktopNotifier = m_desktopNotifier.get();
    m_services.programDir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QtServices::~QtServices()
{
    m_desktopNotifier.reset(); // it posts through the notification area
    delete m_notifyArea;
}

void QtServices::settleDesktopNotifier(int maxMs)
{
    const QDeadlineTimer deadline(maxMs);
    while (!m_desktopNotifier->idle() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}
