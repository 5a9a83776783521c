#include "whatchangedwindow.h"

#include "artwork.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// How a line of each kind looks. The colours are those of a printed page (dark text on
// light ground) whatever the desktop's theme, so that red and green keep their meaning
// and their contrast; the signs carry the same meaning without colour.
struct LineLook
{
    QString sign;
    QColor ground;     // the whole line; invalid: none
    QColor markGround; // a changed word inside a changed line
    QColor text;
    QColor signColour;
};

const QColor kInk(0x1f, 0x23, 0x28);
const QColor kQuiet(0x57, 0x60, 0x6a); // 6.4:1 on white: quieter, still easy to read

LineLook lookOf(DiffLine::Kind kind)
{
    switch (kind) {
    case DiffLine::Kind::Removed:
        return {QStringLiteral("\u2212"), QColor(0xff, 0xeb, 0xe9), QColor(0xff, 0xa8, 0xa3), kInk,
                QColor(0xb4, 0x23, 0x18)};
    case DiffLine::Kind::Added:
        return {QStringLiteral("+"), QColor(0xe6, 0xff, 0xec), QColor(0x8f, 0xe3, 0xa2), kInk,
                QColor(0x1a, 0x7f, 0x37)};
    case DiffLine::Kind::Folded:
        return {QStringLiteral(" "), QColor(0xf3, 0xf4, 0xf6), QColor(), kQuiet, kQuiet};
    case DiffLine::Kind::Context:
        break;
    }
    return {QStringLiteral(" "), QColor(), QColor(), kQuiet, kQuiet};
}

// "1 line" or "12,345 lines", in the user's regional form of numbers.
QString lines(int count)
{
    const QString n = QLocale().toString(count);
    return count == 1 ? QStringLiteral("%1 line").arg(n) : QStringLiteral("%1 lines").arg(n);
}

// "3 lines added, 1 removed", "1 line removed"...: the tray icon's tooltip counts alike.
QString counts(const TextDiff& diff)
{
    if (diff.removed == 0)
        return QStringLiteral("%1 added").arg(lines(diff.added));
    if (diff.added == 0)
        return QStringLiteral("%1 removed").arg(lines(diff.removed));
    return QStringLiteral("%1 added, %2 removed")
        .arg(lines(diff.added), QLocale().toString(diff.removed));
}

QPushButton* makeButton(const char* name, const QString& caption, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

WhatChangedWindow::WhatChangedWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("WhatChangedWindow"));
    setWindowIcon(Artwork::windowIcon(QStringLiteral("orvell")));
    // Fits a 1024 x 768 screen with the desktop's panels; the user may make it larger.
    resize(760, 560);
    setMinimumSize(420, 260);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    m_summary->setWordWrap(true);

    m_text = new QTextBrowser(this);
    m_text->setObjectName(QStringLiteral("txtChanges"));
    m_text->setAccessibleName(QStringLiteral("Changes"));
    m_text->setOpenLinks(false);
    // Nobody edits it: a large difference keeps no second copy for undoing.
    m_text->document()->setUndoRedoEnabled(false);
    // The keyboard moves through the text as through a document (a screen reader follows
    // the caret line by line).
    m_text->setTextInteractionFlags(Qt::TextBrowserInteraction | Qt::TextSelectableByKeyboard);
    QPalette page = m_text->palette();
    page.setColor(QPalette::Base, Qt::white);
    page.setColor(QPalette::Text, kInk);
    m_text->setPalette(page);

    m_older = makeButton("cmdOlder", QStringLiteral("Older"), this);
    m_newer = makeButton("cmdNewer", QStringLiteral("Newer"), this);
    m_openPage = makeButton("cmdOpenPage", QStringLiteral("Open page"), this);
    m_close = makeButton("cmdClose", QStringLiteral("Close"), this);
    connect(m_older, &QPushButton::clicked, this, &WhatChangedWindow::olderRequested);
    connect(m_newer, &QPushButton::clicked, this, &WhatChangedWindow::newerRequested);
    connect(m_openPage, &QPushButton::clicked, this, &WhatChangedWindow::openPageRequested);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_older);
    buttons->addWidget(m_newer);
    buttons->addStretch(1);
    buttons->addWidget(m_openPage);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_text, 1);
    layout->addLayout(buttons);
    setTabOrder(m_text, m_older);
    setTabOrder(m_older, m_newer);
    setTabOrder(m_newer, m_openPage);
    setTabOrder(m_openPage, m_close);
}

void WhatChangedWindow::showView(const ChangeView& view)
{
    setWindowTitle(view.title);
    m_text->clear();
    if (!view.message.isEmpty()) {
        m_summary->hide();
        writeMessage(view.message);
    } else if (!view.diff.complete) {
        m_summary->hide();
        writeMessage(QStringLiteral("The page changed in too many places to show line by line: "
                                    "%1.")
                         .arg(counts(view.diff)));
    } else if (view.diff.same()) {
        m_summary->hide();
        writeMessage(QStringLiteral("The page's text is the same as before: only what a reader "
                                    "does not see changed (its markup, scripts or styles)."));
    } else {
        m_summary->setText(counts(view.diff) + QLatin1Char('.'));
        m_summary->show();
        writeDifference(view.diff);
    }
    setButtons(view.hasOlder, view.hasNewer, true);
    showWindow();
}

void WhatChangedWindow::showWaiting(const QString& title)
{
    setWindowTitle(title);
    m_summary->hide();
    m_text->clear();
    writeMessage(QStringLiteral("Working\u2026"));
    setButtons(false, false, false);
    showWindow();
}

void WhatChangedWindow::showWindow()
{
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    m_text->setFocus();
}

void WhatChangedWindow::setButtons(bool older, bool newer, bool openPage)
{
    m_older->setEnabled(older);
    m_newer->setEnabled(newer);
    m_openPage->setEnabled(openPage);
}

void WhatChangedWindow::writeMessage(const QString& text)
{
    QTextCursor cursor(m_text->document());
    QTextBlockFormat block;
    block.setTopMargin(8);
    block.setLeftMargin(8);
    block.setRightMargin(8);
    QTextCharFormat chars;
    chars.setForeground(kInk);
    cursor.setBlockFormat(block);
    cursor.insertText(text, chars);
}

void WhatChangedWindow::writeDifference(const TextDiff& diff)
{
    QTextDocument* doc = m_text->document();
    QTextCursor cursor(doc);
    cursor.beginEditBlock();

    // The sign and its space in a fixed-width font, the line hanging after them: the
    // text of every line starts at one edge, also where a long line wraps.
    QFont signFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    signFont.setPointSizeF(m_text->font().pointSizeF());
    signFont.setBold(true);
    const qreal hang = QFontMetricsF(signFont).horizontalAdvance(QStringLiteral("+ "));

    auto startLine = [&](qsizetype i, const LineLook& look) {
        QTextBlockFormat block;
        block.setLeftMargin(hang + 4);
        block.setTextIndent(-hang);
        block.setRightMargin(4);
        if (look.ground.isValid())
            block.setBackground(look.ground);
        if (i == 0)
            cursor.setBlockFormat(block);
        else
            cursor.insertBlock(block);
        QTextCharFormat sign;
        sign.setFont(signFont);
        sign.setForeground(look.signColour);
        cursor.insertText(look.sign + QLatin1Char(' '), sign);
    };

    qsizetype shown = 0;
    qsizetype characters = 0;
    for (; shown < diff.lines.size() && shown < kMaxShownLines && characters < kMaxShownCharacters;
         ++shown) {
        const qsizetype i = shown;
        const DiffLine& line = diff.lines.at(i);
        const LineLook look = lookOf(line.kind);
        startLine(i, look);
        QTextCharFormat plain;
        plain.setForeground(look.text);
        if (line.kind == DiffLine::Kind::Folded) {
            plain.setFontItalic(true);
            cursor.insertText(line.foldedText(), plain);
            continue;
        }
        // Changed words stand out on the line's ground, in bold as well as in colour.
        QTextCharFormat marked = plain;
        marked.setBackground(look.markGround);
        marked.setFontWeight(QFont::Bold);
        const qsizetype length = std::min(line.text.size(), kMaxLineLength);
        characters += length;
        qsizetype at = 0;
        for (const DiffLine::Mark& mark : line.marks) {
            const qsizetype start = std::clamp<qsizetype>(mark.start, at, length);
            const qsizetype end = std::clamp<qsizetype>(start + mark.length, start, length);
            cursor.insertText(line.text.mid(at, start - at), plain);
            cursor.insertText(line.text.mid(start, end - start), marked);
            at = end;
        }
        cursor.insertText(line.text.mid(at, length - at), plain);
        if (length < line.text.size()) {
            QTextCharFormat cut = plain;
            cut.setForeground(kQuiet);
            cut.setFontItalic(true);
            cursor.insertText(QStringLiteral("… (%1 more characters)")
                                  .arg(QLocale().toString(line.text.size() - length)),
                              cut);
        }
    }
    if (shown < diff.lines.size()) {
        const LineLook look = lookOf(DiffLine::Kind::Folded);
        startLine(shown, look);
        QTextCharFormat plain;
        plain.setForeground(look.text);
        plain.setFontItalic(true);
        const int rest = int(diff.lines.size() - shown);
        cursor.insertText(QStringLiteral("\u2026 %1 more %2 not shown \u2026")
                              .arg(QLocale().toString(rest),
                                   rest == 1 ? QStringLiteral("line") : QStringLiteral("lines")),
                          plain);
    }
    cursor.endEditBlock();
    m_text->moveCursor(QTextCursor::Start);
}
