#pragma once

#include "boolean.h"
#include "notifyarea.h"
#include "picture.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <map>

class PropertyBag;

// A reusable control that owns one icon in the desktop's notification area: its
// registration and tooltip, flashing between two icons, animation through a store of
// icons, click events, and saved properties.
//
// Properties follow the Get/Let/Set pattern: Name() reads, letName() assigns a value,
// setName() assigns a picture reference (for pictures Let and Set behave alike).
// Every setter that changes state emits propertyChanged with the property's name.
class TaskBarIcon : public QObject
{
    Q_OBJECT
public:
    // A new control starts with every field zero, none or empty; the host then fills
    // the saved fields (ReadProperties) or the designer's defaults (InitProperties).
    explicit TaskBarIcon(NotifyArea& notifyArea, QObject* parent = nullptr);
    ~TaskBarIcon() override;

    // --- host settings -------------------------------------------------------------
    // The host's user-mode flag: true inside the running program, false in a designer.
    void setUserMode(bool userMode) { m_userMode = userMode; }
    bool userMode() const { return m_userMode; }
    // The window that receives the notification area's mouse reports.
    std::uint32_t windowHandle() const { return m_windowHandle; }
    // The control's scale mode: 1 twips (the default), 3 pixels.
    enum ScaleMode : int
    {
        Twips = 1,
        Pixels = 3
    };
    void setScaleMode(int scaleMode) { m_scaleMode = scaleMode; }
    int scaleMode() const { return m_scaleMode; }
    // The screen's horizontal twips per pixel (a whole number, 15 at 96 dpi).
    void setTwipsPerPixelX(float twipsPerPixel) { m_twipsPerPixelX = twipsPerPixel; }
    float twipsPerPixelX() const { return m_twipsPerPixelX; }

    // The mouse-move handler. The notification area's reports arrive here with the
    // mouse message number standing in X (converted to the control's scale units by
    // the host); 514, 515, 517 and 518 raise the four click events.
    void UserControl_MouseMove(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);

    // --- Enabled: "Enables/Disables Taskbar icon features" -------------------------
    Boolean Enabled() const { return m_Enabled; }
    void letEnabled(Boolean New_Enabled);

    // --- BaseIcon: "Main Taskbar Icon" ----------------------------------------------
    PictureRef BaseIcon() const { return m_BaseIcon; }
    void letBaseIcon(const PictureRef& New_BaseIcon);
    void setBaseIcon(const PictureRef& New_BaseIcon) { letBaseIcon(New_BaseIcon); }

    // --- FlashIcon: "Icon to be displayed alternating with BaseIcon during flash" ----
    PictureRef FlashIcon() const { return m_FlashIcon; }
    void letFlashIcon(const PictureRef& New_FlashIcon);
    void setFlashIcon(const PictureRef& New_FlashIcon) { letFlashIcon(New_FlashIcon); }

    // --- Tip: "Tip text to display when icon under cursor" ----------------------------
    QString Tip() const { return m_Tip; }
    void letTip(const QString& New_Tip);

    // --- Flash: "Enable/Disable icon Flash feature" -----------------------------------
    Boolean Flash() const { return m_Flash; }
    void letFlash(Boolean New_Flash);

    // --- Animate: "Enable/Disable the Animate icons feature" ---------------------------
    Boolean Animate() const { return m_Animate; }
    void letAnimate(Boolean New_Animate);

    // --- FlashTime: "Time in milliseconds to display each icon during Flash" ----------
    std::int32_t FlashTime() const { return m_FlashTime; }
    void letFlashTime(std::int32_t New_FlashTime);

    // --- AnimationTime: "Time in milliseconds between each icon in an animation
    // sequence" ------------------------------------------------------------------------
    std::int32_t AnimationTime() const { return m_AnimationTime; }
    void letAnimationTime(std::int32_t New_AnimationTime);

    // --- AddIcon: "AddIcon to Icon array" ----------------------------------------------
    PictureRef AddIcon() const { return m_AddIcon; }
    void letAddIcon(const PictureRef& New_AddIcon);
    void setAddIcon(const PictureRef& New_AddIcon) { letAddIcon(New_AddIcon); }

    // --- PictureIndex: "Count of stored icons" ------------------------------------------
    std::int32_t PictureIndex() const { return m_PictureIndex; }
    void letPictureIndex(std::int32_t New_PictureIndex);

    // --- ResetIcons: "Method to delete all stored icons" ---------------------------------
    Boolean ResetIcons();

    // --- host notifications -----------------------------------------------------------
    // A new instance in a designer: empty pictures, everything off, both times 500.
    // No notification-area call and no propertyChanged.
    void InitProperties();
    // Restores saved values straight into the fields, converting each to its type
    // (RuntimeError 13 or 6 when a value cannot be converted). No property procedure
    // runs: nothing is registered, started, added to the store or notified.
    void ReadProperties(const PropertyBag& bag);
    // Saves every persisted property with its default; a value equal to its default
    // stores nothing.
    void WriteProperties(PropertyBag& bag) const;

    // The control's size in its container, in twips. It always keeps 480 x 480
    // (32 x 32 pixels at 15 twips per pixel): whatever size the host asks for,
    // Resize sets it back.
    std::int32_t Width() const { return m_Width; }
    std::int32_t Height() const { return m_Height; }
    // The host changes the control's size, then lets it react (Resize).
    void setExtent(std::int32_t width, std::int32_t height);
    void Resize();

    // The record sent with every notification-area call (read-only view for hosts
    // and tests).
    const NotifyIconData& iconData() const { return IconData; }

Q_SIGNALS:
    // The host's property-changed notification.
    void propertyChanged(const QString& propertyName);

    // Events. Arguments are passed by reference (connect directly); Button is 1 for
    // every report from the notification area, x carries the mouse message number.
    // "Event to raise on left click"
    void LeftClick(std::int16_t& Button, std::int16_t& Shift, float& x, float& y);
    // "Event to raise on left double click"
    void LeftDbClick(std::int16_t& Button, std::int16_t& Shift, float& x, float& y);
    // "Event raised on right click"
    void RightClick(std::int16_t& Button, std::int16_t& Shift, float& x, float& y);
    // "Event to raise on right double click"
    void RightDbClick(std::int16_t& Button, std::int16_t& Shift, float& x, float& y);

public:
    // The timers' step handlers, public so that a host (or a test) can drive them.
    void Timer1_Timer(); // flash step
    void Timer2_Timer(); // animation step
    bool flashTimerActive() const { return Timer1.isActive(); }
    bool animationTimerActive() const { return Timer2.isActive(); }
    int flashTimerInterval() const { return Timer1.interval(); }
    int animationTimerInterval() const { return Timer2.interval(); }
    // Number of run-time elements of the icon store (element 0 not counted).
    int storeElementCount() const { return int(AnimatePicture.size()) - 1; }

private:
    static bool IsIconPicture(const PictureRef& picture);
    // Whether the icon is registered with the notification area. Enabled keeps the
    // value it was set with, so any non-zero value counts.
    bool isRegistered() const { return m_Enabled.isNonZero(); }
    void SetIconVisible(Boolean show);
    void modifyIcon(const PictureRef& picture);
    static void startTimer(QTimer& timer, std::int32_t interval);
    // How the host presents a notification-area report to the control: the left
    // button flag set (the icon id 1 in wParam), X the message number in twips.
    void deliverMouseReport(int message);

    NotifyArea& m_notifyArea;
    bool m_userMode = true;
    std::uint32_t m_windowHandle = 0;
    int m_scaleMode = Twips;
    float m_twipsPerPixelX = 15.0f;

    // Per-instance state, in declaration order.
    std::int32_t m_PictureIndex = 0;
    std::int32_t m_AnimationTime = 0;
    std::int32_t m_FlashTime = 0;
    PictureRef m_AddIcon;
    Boolean m_Flash;
    Boolean m_Animate;
    Boolean m_Enabled;
    PictureRef m_BaseIcon;
    PictureRef m_FlashIcon;
    QString m_Tip;
    NotifyIconData IconData;
    Boolean FlashToggle;
    std::int32_t AnimationFrame = 0;

    // Child objects: the flash timer, the animation timer, and the icon store.
    QTimer Timer1;
    QTimer Timer2;
    // Element n holds frame n; element 0 is the store's template and never a frame.
    // Elements are keyed by their 16-bit index: a count restored from saved
    // properties may not match the elements that exist.
    std::map<std::int16_t, Picture> AnimatePicture;

    std::int32_t m_Width = 480;
    std::int32_t m_Height = 480;
};
