#include "desktopnotifier.h"
#include "notifyarea.h"

// Windows has one place for a program's notifications: the balloon of its tray icon,
// which Windows 10 and 11 show as a toast and keep in the Action Center. A later balloon
// takes the place of the one before; a click on it is the only answer it gives, so the
// actions "What changed" and "Open page" are not offered there.
class SystemDesktopNotifier::Impl
{
public:
    explicit Impl(NotifyArea& notifyArea) : area(notifyArea) {}
    NotifyArea& area;
};

SystemDesktopNotifier::SystemDesktopNotifier(NotifyArea& notifyArea)
    : m_impl(std::make_unique<Impl>(notifyArea))
{
    m_impl->area.setMessageClickHandler([this] { reportAction(Action::Default); });
}

SystemDesktopNotifier::~SystemDesktopNotifier()
{
    m_impl->area.setMessageClickHandler({});
}

void SystemDesktopNotifier::post(const DesktopNotice& notice)
{
    m_impl->area.showMessage(notice.summary, notice.body);
}

void SystemDesktopNotifier::close()
{
    m_impl->area.showMessage(QString(), QString());
}

bool SystemDesktopNotifier::idle() const
{
    // The shell takes the balloon at once: nothing is ever left to wait for.
    return true;
}

QString SystemDesktopNotifier::programIcon(const QString& programDir)
{
    (void)programDir; // the toast shows the icon of the program's file
    return {};
}
