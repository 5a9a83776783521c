#pragma once

#include "textdiff.h"

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;
class QTextBrowser;

// What the window shows for one kept update.
struct ChangeView
{
    QString title; // the window's title, e.g. "example.org: what changed at 12/28/2026 1:09:59 PM"
    TextDiff diff; // shown when `message` is empty (diff.complete false: say how many lines
                   // were added and removed, too many to show line by line)
    QString message; // shown instead of a difference: "The page is not text: its size went from A
                     // to B bytes.", "No earlier version was kept.", a page too large...
    bool hasOlder = false;
    bool hasNewer = false;
};

// The window "What changed": the difference of one kept update, line by line, each line
// marked by a sign as well as by its colour, so that it reads without colour and a screen
// reader reads the sign with the line. Everything in it is drawn as text, sharp at any
// scale.
class WhatChangedWindow : public QWidget
{
    Q_OBJECT
public:
    explicit WhatChangedWindow(QWidget* parent = nullptr);
    // Fills the window with `view`, shows it and raises it.
    void showView(const ChangeView& view);
    // "Working…" while the comparison runs (buttons off), then showView replaces it.
    void showWaiting(const QString& title);

    // How much of a difference is shown at once: a larger document would take the
    // desktop's thread too long to build and lay out. The lines beyond are counted, a
    // line's characters beyond are cut.
    static constexpr int kMaxShownLines = 2000;
    static constexpr qsizetype kMaxShownCharacters = 200'000;
    static constexpr qsizetype kMaxLineLength = 3000;

Q_SIGNALS:
    void olderRequested();
    void newerRequested();
    void openPageRequested();

private:
    void showWindow();
    void setButtons(bool older, bool newer, bool openPage);
    void writeDifference(const TextDiff& diff);
    void writeMessage(const QString& text);

    QLabel* m_summary = nullptr;
    QTextBrowser* m_text = nullptr;
    QPushButton* m_older = nullptr;
    QPushButton* m_newer = nullptr;
    QPushButton* m_openPage = nullptr;
    QPushButton* m_close = nullptr;
};
