#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>

class QMenu;

// The notification record, laid out as the shell's first (88-byte, single-byte
// character) version of it: six 32-bit fields and a 64-byte tip.
struct NotifyIconData
{
    std::uint32_t cbSize = 0;
    std::uint32_t hWnd = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    std::int32_t hIcon = 0;
    std::array<char, 64> szTip{};

    // The tip as far as its terminating NUL (the whole field if it has none).
    QString tipText() const;
    // Fills szTip: the text in UTF-8 (the same on every system), a NUL, then spaces up to
    // 64 bytes. A text of 64 bytes or more is cut to 63 so the field stays terminated.
    void setTip(const QString& tip);
};
static_assert(sizeof(NotifyIconData) == 88, "the record must keep the shell's 88-byte layout");

namespace NotifyFlags {
inline constexpr std::uint32_t Message = 1;
inline constexpr std::uint32_t Icon = 2;
inline constexpr std::uint32_t Tip = 4;
} // namespace NotifyFlags

enum class NotifyMessage : std::uint32_t
{
    Add = 0,
    Modify = 1,
    Delete = 2
};

// Mouse messages the notification area reports for its icon (the number stands in
// the report the control receives).
namespace MouseMessage {
inline constexpr int Move = 0x200;
inline constexpr int LeftButtonDown = 0x201;
inline constexpr int LeftButtonUp = 0x202;
inline constexpr int LeftButtonDoubleClick = 0x203;
inline constexpr int RightButtonDown = 0x204;
inline constexpr int RightButtonUp = 0x205;
inline constexpr int RightButtonDoubleClick = 0x206;
inline constexpr int MiddleButtonDown = 0x207;
inline constexpr int MiddleButtonUp = 0x208;
inline constexpr int MiddleButtonDoubleClick = 0x209;
} // namespace MouseMessage

// The desktop's notification area, as one icon owner sees it: add, change and delete
// an icon described by a record, and mouse activity on that icon reported back.
class NotifyArea
{
public:
    virtual ~NotifyArea() = default;

    // Results are not examined by callers, so there is none.
    virtual void notify(NotifyMessage message, const NotifyIconData& data) = 0;

    // Whether the desktop has a notification area at all.
    virtual bool isAvailable() const = 0;

    // The menu the icon's owner offers for the icon. A tray that draws an icon's menu
    // itself is given it to show; elsewhere the owner pops it up on a right click and
    // the tray shows no menu of its own.
    virtual void offerMenu(QMenu* menu) { (void)menu; }

    // Whether a menu can pop up at the pointer with no window of the program on the
    // screen to place it against.
    virtual bool canPopUpMenu() const { return true; }

    // A message from the icon (the shell's balloon: a toast kept in the Action Center on
    // Windows 10 and 11), in place of the one shown before. An empty title and text take
    // the shown message away.
    virtual void showMessage(const QString& title, const QString& text)
    {
        (void)title;
        (void)text;
    }

    // Mouse reports for the icon: the mouse message number, as the shell would send
    // it in the callback message's lParam.
    using MouseHandler = std::function<void(int message)>;
    void setMouseHandler(MouseHandler handler) { m_mouseHandler = std::move(handler); }
    // A click on the icon's message.
    using MessageClickHandler = std::function<void()>;
    void setMessageClickHandler(MessageClickHandler handler)
    {
        m_messageClickHandler = std::move(handler);
    }

protected:
    void reportMouse(int message)
    {
        if (m_mouseHandler)
            m_mouseHandler(message);
    }
    void reportMessageClick()
    {
        if (m_messageClickHandler)
            m_messageClickHandler();
    }

private:
    MouseHandler m_mouseHandler;
    MessageClickHandler m_messageClickHandler;
};
