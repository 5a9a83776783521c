#pragma once

#include "taskbaricon.h"

#include <QByteArray>
#include <QList>
#include <QTimer>
#include <memory>

class NotifyArea;
class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QWidget;

// A working text box that is never shown. It may hold a whole page, so it keeps the
// bytes as they are and lays nothing out.
class WorkingText
{
public:
    const QByteArray& text() const { return m_text; }
    void setText(QByteArray text) { m_text = std::move(text); }
    void clear() { m_text.clear(); }

private:
    QByteArray m_text;
};

// The main window's controls as designed, under their designed names: made, named,
// placed and captioned in one place, setupControls. The window keeps the handlers.
struct Form1Controls
{
    // Makes every control on `form`, the tray icon on `area` with its default
    // properties. Nothing is connected yet.
    void setupControls(QWidget& form, NotifyArea& area);

    // Places the auto-sized labels that make up one line of text: each starts at its
    // designed place or gap pixels after the one before it ends, whichever is further
    // right, so that a font wider than the designed one keeps the designed gap and
    // draws none over another; a line that then runs past the window's right edge
    // moves left (no further than the edge) to fit.
    static void placeLine(const QList<QLabel*>& line, int clientWidth, int gap);

    // The visible panel.
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;
    QListWidget* List1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdChanges = nullptr; // "What changed"
    std::unique_ptr<TaskBarIcon> TaskBarIcon1;

    // Whether a line of the update log is an update's ("Update found at …"): it opens
    // the changes of that update, as its tooltip says.
    static bool isUpdateLine(const QString& text);
    static QString updateLineTip();

    // The working fields below the visible client area.
    QLabel* Label1 = nullptr;
    QLineEdit* txtURL = nullptr;
    QPushButton* cmdReadURL = nullptr;
    WorkingText Text1;
    QLabel* Label6 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label4 = nullptr;
    QTimer Timer1;
    // Those of them that are widgets: the program's state, never seen, and left out of
    // what a screen reader finds in the window.
    QList<QWidget*> workingFields() const;

    // The menu, popped up from the tray icon.
    QMenu* mnuFile = nullptr;
    QAction* mnuabout = nullptr;
    QAction* mnucheck = nullptr;
    QAction* mnuexit = nullptr;
};
