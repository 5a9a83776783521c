#pragma once

#include "checksummary.h"
#include "form1controls.h"
#include "pagecheck.h"
#include "picture.h"
#include "services.h"

#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>

class QMenuBar;
class Form2;
class UpdateNotification;
class WhatChanged;

// The main window. What the user sees of it is a small fixed panel with the credits
// and the update log; the controls below the visible client area are the program's
// working state and are never seen.
class Form1 : public QWidget, public Form1Controls
{
    Q_OBJECT
public:
    explicit Form1(Services& services, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: hides the windows, sets up the tray icon, sets the caption and reads
    // config.ini. Raises RuntimeError when the configuration cannot be read. A URL that no
    // check can ask for (another scheme, a bad port or host) is said in a message box.
    void Form_Load();
    // The "Exit" command: removes the tray icon and ends the program with status 0.
    void mnuexit_Click();

    // Tray icon commands. A left click stops the flashing; a left double click opens
    // the watched site's home page; a right click pops up the menu at the pointer.
    void TaskBarIcon1_LeftClick(std::int16_t& Button, std::int16_t& Shift, float& x, float& y);
    void TaskBarIcon1_LeftDbClick(std::int16_t& Button, std::int16_t& Shift, float& x, float& y);
    void TaskBarIcon1_RightClick(std::int16_t& Button, std::int16_t& Shift, float& x, float& y);
    void TaskBarIcon1_RightDbClick(std::int16_t& Button, std::int16_t& Shift, float& x, float& y);

    // The credits panel. "About" shows the window; a click on its background hides it;
    // the two links open their pages when the left button goes down on them (Button:
    // 1 left, 2 right, 4 middle; Shift: 1 shift, 2 control, 4 alt; X and Y in twips);
    // "Clear" empties the update log.
    void mnuabout_Click();
    void Form_Click();
    void Label9_MouseDown(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void Label12_MouseDown(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void Command1_Click();
    // The changes of an update: "What changed" asks for the latest kept update, a double
    // click or Enter on an "Update found at …" line of the log for that update; other
    // lines open nothing.
    void cmdChanges_Click();
    void List1_ItemActivated(int row);

    // For a desktop without a notification area: the window becomes the program's
    // face, a normal window with the menu as its menu bar, shown at once. Closing it
    // ends the program, and a click on its background no longer hides it.
    void showWithoutNotificationArea();
    bool isWithoutNotificationArea() const { return m_withoutNotificationArea; }
    // Shows the window with the menu as its menu bar (added the first time), where the
    // menu cannot pop up by itself.
    void showWithMenuBar();
    QMenuBar* menuBar() const { return m_menuBar; }
    // A notification area has appeared and holds the icon: the window goes back to
    // being the hidden panel of the tray icon, without the menu bar.
    void leaveWithoutNotificationArea();

    QString configPath() const;

    // Starts one check of the page in txtURL (the "GO" button does the same).
    void FetchURL();
    void cmdReadURL_Click();
    // "Check Now".
    void mnucheck_Click();
    // The schedule's tick: at second 59 of minutes 09, 19, ... 59 and 00 of the time
    // text ("1:09:59 PM"), a check starts.
    void Timer1_Timer();
    // The tick on a given time text: Label6, Label5, Label4, then the seven marks.
    void scheduleTick(const QString& timeText);

    // The fetch and its state (HostName, RequestPath, ResponseText, HeaderStripped).
    PageCheck& check() const { return *m_check; }

    // Settings read from config.ini.
    std::uint8_t ShowPopup = 0;
    QString SoundFile;

    Form2* form2() const { return m_form2.get(); }
    const Picture& iconPicture() const { return m_icon; }
    Services& services() const { return m_services; }
    // The kept versions of the updates, their comparison, the "What changed" window and
    // the desktop's notification of an update.
    WhatChanged& whatChanged() const { return *m_whatChanged; }

Q_SIGNALS:
    // A check has ended: stored unchanged, changed (after the update was announced), or
    // failed and why. The tray icon's tooltip and the caption show the same to the user.
    void checkEnded(const CheckOutcome& outcome);
    // The user asked to see what changed: `logRow` is the row of an "Update found at …" line
    // of the update log (double click or Enter), or -1 for the "What changed" button (the
    // latest kept update).
    void whatChangedRequested(int logRow);

protected:
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectCommands();
    // What the last check (none before the first) leaves: the tray icon's tooltip, and
    // the caption where the check's own says too little (a redirect's target).
    void showCheckSummary(const std::optional<CheckOutcome>& last);
    // The "What changed" window on the update of a row of the update log, or on the latest
    // kept update for -1.
    void showWhatChanged(int logRow);
    // The tooltip again, with the lines the last change added and removed.
    void showLineCounts(int added, int removed);
    void Form_Unload();

    Services& m_services;
    Picture m_icon;
    std::unique_ptr<Form2> m_form2;
    class CheckHostAdapter;
    std::unique_ptr<CheckHostAdapter> m_checkHost;
    std::unique_ptr<PageCheck> m_check;
    std::unique_ptr<UpdateNotification> m_notification;
    std::unique_ptr<WhatChanged> m_whatChanged;
    QDateTime m_updateTime; // the time of the current check's log line
    std::optional<CheckOutcome> m_lastOutcome;
    std::optional<CheckSummary::LineCounts> m_lastCounts;
    QMenuBar* m_menuBar = nullptr;
    bool m_withoutNotificationArea = false;
};
