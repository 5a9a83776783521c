#pragma once

#include "picture.h"
#include "skinwindow.h"

#include <QFont>
#include <QTimer>
#include <cstdint>

class PictureBox;
class QLabel;
struct Services;

// The update popup: a small card-shaped window without frame or task-bar entry that
// announces a detected change. Created once, hidden, at start-up; shaped to its
// background picture and stamped with the date and time of its creation. A click on
// it, or the next tick of its free-running timer, hides it.
class Form2 : public SkinWindow
{
    Q_OBJECT
public:
    // The key colour of the background picture: magenta.
    static constexpr std::int32_t kKeyColour = 0x00FF00FF;
    // The colour of the card's outer frame: on denser screens it fills the window's
    // shape under the card's picture.
    static constexpr QRgb kCardColour = 0xFF173A78;
    // Ticks of Timer1 come this often, shown or hidden; each counts to kTickCount.
    static constexpr int kTimerInterval = 9999;
    static constexpr int kTickCount = 9999999;

    // The first column of the card's right frame beside the footer strip: the stamp
    // ends before it.
    static constexpr int StampEnd = 435;

    // The font, its letters narrowed where needed (its size kept) so that the widest
    // stamp of the U.S. form, "12/28/2026 at 11:59:59 PM", takes at most room pixels.
    static QFont fitStampFont(QFont font, int room);

    // Creates the popup and runs its load handler (Form_Load). It is left shown, as
    // the shaping leaves it, but not yet on the screen: the creator hides it, and it
    // first appears when it is shown after that.
    explicit Form2(Services& services, QWidget* parent = nullptr);

    // The popup's own window icon, which also serves as the tray's flash icon.
    const ::Picture& iconPicture() const { return m_icon; }

    PictureBox* Backpic = nullptr;
    QLabel* Label1 = nullptr;
    QTimer Timer1;

    // The tick: a counted delay, then the popup hides.
    void Timer1_Timer();
    // A click on the popup's surface hides it.
    void Form_Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Form_Load();

    Services& m_services;
    ::Picture m_icon;
    bool m_pressed = false;
    bool m_placed = false;
    bool m_loading = false;
};
