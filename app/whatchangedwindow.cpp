#include "whatchangedwindow.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

WhatChangedWindow::WhatChangedWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    auto* layout = new QVBoxLayout(this);
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    layout->addWidget(m_text);
    auto* buttons = new QHBoxLayout;
    m_older = new QPushButton(QStringLiteral("Older"), this);
    m_newer = new QPushButton(QStringLiteral("Newer"), this);
    auto* open = new QPushButton(QStringLiteral("Open page"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton* b : {m_older, m_newer, open, close})
        buttons->addWidget(b);
    layout->addLayout(buttons);
    connect(m_older, &QPushButton::clicked, this, &WhatChangedWindow::olderRequested);
    connect(m_newer, &QPushButton::clicked, this, &WhatChangedWindow::newerRequested);
    connect(open, &QPushButton::clicked, this, &WhatChangedWindow::openPageRequested);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    resize(760, 560);
}

void WhatChangedWindow::showView(const ChangeView& view)
{
    setWindowTitle(view.title);
    QString text = view.message;
    if (text.isEmpty()) {
        for (const DiffLine& line : view.diff.lines) {
            switch (line.kind) {
            case DiffLine::Kind::Added:
                text += QStringLiteral("+ ") + line.text;
                break;
            case DiffLine::Kind::Removed:
                text += QStringLiteral("\u2212 ") + line.text;
                break;
            case DiffLine::Kind::Context:
                text += QStringLiteral("  ") + line.text;
                break;
            case DiffLine::Kind::Folded:
                text += line.foldedText();
                break;
            }
            text += QLatin1Char('\n');
        }
    }
    m_text->setPlainText(text);
    m_older->setEnabled(view.hasOlder);
    m_newer->setEnabled(view.hasNewer);
    show();
    raise();
    activateWindow();
}

void WhatChangedWindow::showWaiting(const QString& title)
{
    setWindowTitle(title);
    m_text->setPlainText(QStringLiteral("Working\u2026"));
    m_older->setEnabled(false);
    m_newer->setEnabled(false);
    show();
    raise();
    activateWindow();
}
