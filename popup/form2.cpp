#include "form2.h"

#include "picturebox.h"
#include "services.h"
#include "skinform.h"
#include "twips.h"
#include "watchedsite.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>

Form2::Form2(Services& services, QWidget* parent)
    : SkinWindow(parent, Qt::FramelessWindowHint | Qt::Tool), m_services(services)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(WatchedSite::displayName + QStringLiteral(" has been updated"));
    const QIcon icon(QStringLiteral(":/icons/popup.png"));
    setWindowIcon(icon);
    m_icon = ::Picture::fromIcon(icon);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xFF, 0x00, 0xFF));
    setPalette(pal);

    const double tx = Twips::perPixelX();
    const double ty = Twips::perPixelY();
    // The designed size, which the shaping replaces.
    resize(qRound(10890 / tx), qRound(7215 / ty));

    // The picture holder, below the window's final height: never seen.
    Backpic = new PictureBox(this);
    Backpic->setObjectName(QStringLiteral("Backpic"));
    Backpic->setGeometry(qRound(720 / tx), qRound(3480 / ty), qRound(6720 / tx), qRound(2985 / ty));
    Backpic->setAutoSize(true);
    Backpic->setPicture(QImage(QStringLiteral(":/popup/background.png")));

    // The stamp, in the footer strip right of the credit line. Its own clicks stay
    // with it and do not reach the popup.
    Label1 = new QLabel(QStringLiteral("Label1"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(qRound(3600 / tx), qRound(2400 / ty));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(12);
    Label1->setFont(font);
    QPalette labelPal = Label1->palette();
    labelPal.setColor(QPalette::WindowText, Qt::white);
    Label1->setPalette(labelPal);
    Label1->setAutoFillBackground(false);
    Label1->setAttribute(Qt::WA_NoMousePropagation);
    Label1->adjustSize();

    // The free-running timer: never stopped, whether the popup is shown or not.
    Timer1.setInterval(TimerInterval);
    connect(&Timer1, &QTimer::timeout, this, &Form2::Timer1_Timer);
    Timer1.start();

    // The shaping shows the window, and the start-up hides it right after: until that
    // first hiding it is shown to Qt only, never to the screen, so that no card
    // flickers up at every start.
    setAttribute(Qt::WA_DontShowOnScreen);
    m_loading = true;
    Form_Load();
    m_loading = false;
}

void Form2::Form_Load()
{
    std::int32_t key = KeyColour;
    SkinForm(*this, *Backpic, key, *m_services.windowShape);

    // The stamp is written once: every showing displays the time of creation.
    const QDateTime now = m_services.clock->now();
    Label1->setText(Clock::dateText(now.date()) + QStringLiteral(" at ") +
                    Clock::timeText(now.time()));
    Label1->adjustSize();
}

void Form2::Timer1_Timer()
{
    // The delay blocks the user-interface thread; the counter is volatile so that
    // the loop is really run.
    volatile int count = 1;
    while (count < TickCount)
        count = count + 1;
    hide();
}

void Form2::Form_Click()
{
    hide();
}

void Form2::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton || event->button() == Qt::RightButton;
    event->accept();
}

void Form2::mouseReleaseEvent(QMouseEvent* event)
{
    // A click is a press and a release on the popup.
    const bool click = m_pressed && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        Form_Click();
}

void Form2::showEvent(QShowEvent* event)
{
    // The first showing puts the popup in the middle of the screen; it is never
    // moved afterwards.
    if (!m_placed) {
        m_placed = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->geometry().center() - rect().center());
    }
    SkinWindow::showEvent(event);
}

void Form2::hideEvent(QHideEvent* event)
{
    // From the first hiding after the creation on, a showing puts the popup on the
    // screen.
    if (!m_loading)
        setAttribute(Qt::WA_DontShowOnScreen, false);
    SkinWindow::hideEvent(event);
}
