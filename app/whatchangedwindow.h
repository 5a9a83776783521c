#pragma once

#include "textdiff.h"

#include <QString>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// What the window shows for one kept update.
struct ChangeView
{
    QString title;   // the window's title: "example.org: what changed at 12/28/2026 1:09:59 PM"
    TextDiff diff;   // shown when `message` is empty
    QString message; // shown instead of a difference
    bool hasOlder = false;
    bool hasNewer = false;
};

// "What changed": the difference of one kept update, with buttons to walk the others and
// to open the page. (A plain stand-in until the window of its own is merged.)
class WhatChangedWindow : public QWidget
{
    Q_OBJECT
public:
    explicit WhatChangedWindow(QWidget* parent = nullptr);
    // Fills the window with `view`, shows it and raises it.
    void showView(const ChangeView& view);
    // "Working…" while the comparison runs (buttons off), then showView replaces it.
    void showWaiting(const QString& title);

Q_SIGNALS:
    void olderRequested();
    void newerRequested();
    void openPageRequested();

private:
    QPlainTextEdit* m_text = nullptr;
    QPushButton* m_older = nullptr;
    QPushButton* m_newer = nullptr;
};
