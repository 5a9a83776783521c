#include "form2.h"

#include "artwork.h"
#include "picturebox.h"
#include "services.h"
#include "skinform.h"
#include "twips.h"
#include "watchedsite.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>

namespace {

// The stamp's font: the designed "MS Sans Serif" 12 pt; where that is missing, a font with
// Arial's widths, which come close to it ("Liberation Sans" of fonts-liberation2 on Linux,
// "Arimo" of fonts-croscore, Helvetica whose widths Arial shares), then any sans serif.
QFont stampFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arimo"), QStringLiteral("Helvetica")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(12);
    return font;
}

} // namespace

QFont Form2::fitStampFont(QFont font, int room)
{
    // The widest stamp of the U.S. form, digits being of one width as in nearly all fonts.
    const QString widest = QStringLiteral("12/28/2026 at 11:59:59 PM");
    const int width = QFontMetrics(font).horizontalAdvance(widest);
    if (width <= room || room <= 0)
        return font;
    // Narrow the letters, never the size, until it fits.
    for (int stretch = 100 * room / width; stretch > QFont::UltraCondensed; --stretch) {
        font.setStretch(stretch);
        if (QFontMetrics(font).horizontalAdvance(widest) <= room)
            break;
    }
    return font;
}

Form2::Form2(Services& services, QWidget* parent)
    : SkinWindow(parent, Qt::FramelessWindowHint | Qt::Tool), m_services(services)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(WatchedSite::displayName + QStringLiteral(" has been updated"));
    const QIcon icon = Artwork::windowIcon(QStringLiteral("popup"));
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
    // On denser screens the card is painted from pictures drawn for them; its shape
    // stays the one cut from this picture.
    setDensePictures(Artwork::densePopupPictures(), kKeyColour, QColor::fromRgb(kCardColour));

    // The stamp, in the footer strip right of the credit line. Its own clicks stay
    // with it and do not reach the popup.
    Label1 = new QLabel(QStringLiteral("Label1"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(qRound(3600 / tx), qRound(2400 / ty));
    Label1->setFont(fitStampFont(stampFont(), StampEnd - Label1->x()));
    QPalette labelPal = Label1->palette();
    labelPal.setColor(QPalette::WindowText, Qt::white);
    Label1->setPalette(labelPal);
    Label1->setAutoFillBackground(false);
    Label1->setAttribute(Qt::WA_NoMousePropagation);
    Label1->adjustSize();

    // The free-running timer: never stopped, whether the popup is shown or not.
    Timer1.setInterval(kTimerInterval);
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
    std::int32_t key = kKeyColour;
    SkinForm(*this, *Backpic, key, *m_services.windowShape);

    // The stamp is written once: every showing displays the time of creation.
    const QDateTime now = m_services.clock->now();
    const QLocale locale = m_services.clock->locale();
    Label1->setText(Clock::shortDateText(now.date(), locale) + QStringLiteral(" at ") +
                    Clock::longTimeText(now.time(), locale));
    Label1->adjustSize();
}

void Form2::Timer1_Timer()
{
    // The delay blocks the user-interface thread; the counter is volatile so that
    // the loop is really run.
    volatile int count = 1;
    while (count < kTickCount)
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
