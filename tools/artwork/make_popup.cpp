// Draws the update popup's background picture into the folder given as the first
// argument: background.png, 444 x 195 pixels, 24-bit colour, and the same card drawn
// for screens of higher pixel density, background@1.25x.png, background@1.5x.png and
// background@2x.png (each dimension times the scale, rounded), so that its strips,
// lettering and pictures are drawn at the screen's own resolution. The layout below is
// in the pixels of the 1x picture; a denser picture draws every item at the scale, the
// lettering in the same fonts at the scaled size.
//
// The picture is a rounded card on a magenta (0xFF00FF) key: every magenta pixel is
// cut out of the popup window, so the desktop shows through the margin, the rounded
// corners and the two thin gaps that separate the three strips of the card:
//
//   rows   6 -  36  blue header strip: a bell glyph and the underlined alert heading
//   rows  37 -  39  gap (magenta), stopping 4 pixels short of the card's outer frame
//   rows  40 - 154  light, bordered middle area with rounded corners and a picture
//   rows 155 - 157  gap (magenta), as above
//   rows 158 - 188  blue footer strip: a small figure and the credit line; the popup
//                   writes its date-and-time stamp from column 240 on
//
// All card pixels lie within columns 8 to 437 and rows 6 to 188 (at 1x).
//
// The card is drawn anti-aliased on an opaque frame colour, so every edge inside the
// card is smooth. Its outer outline is then snapped: a pixel whose coverage by the
// card's outline is below one half becomes pure magenta, any other pixel becomes the
// opaque card colour. Nothing is ever blended with magenta, so no pink fringe remains
// around the shaped window.
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kWidth = 444;
constexpr int kHeight = 195;
const QRect kCard(8, 6, 430, 183); // columns 8..437, rows 6..188
constexpr double kCardRadius = 15.0;
constexpr int kFrame = 4; // the outer frame beside the gaps
const QRect kTopGap(kCard.left() + kFrame, 37, kCard.width() - 2 * kFrame, 3);
const QRect kBottomGap(kCard.left() + kFrame, 155, kCard.width() - 2 * kFrame, 3);
const QRect kMiddle(kCard.left() + kFrame, 40, kCard.width() - 2 * kFrame, 115); // rows 40..154

const QColor kMagenta(0xFF, 0x00, 0xFF);
const QColor kFrameColour(0x17, 0x3A, 0x78);
const QColor kStripTop(0x3A, 0x7B, 0xD9);
const QColor kStripBottom(0x1D, 0x4E, 0xA6);
const QColor kPaperTop(0xFB, 0xFD, 0xFF);
const QColor kPaperBottom(0xE4, 0xEE, 0xFA);
const QColor kBorder(0x8C, 0xA9, 0xD3);
const QColor kInk(0x1D, 0x3F, 0x7A);
const QColor kAccent(0xFF, 0xB3, 0x2E);
const QColor kLightBlue(0xA9, 0xD4, 0xFF);

// The scales drawn: the picture itself, then the device pixel ratios of denser screens.
constexpr double kScales[] = {1.0, 1.25, 1.5, 2.0};

QSize scaledSize(double scale)
{
    return QSize(int(std::lround(kWidth * scale)), int(std::lround(kHeight * scale)));
}

QString fileName(double scale)
{
    return scale == 1.0 ? QStringLiteral("background.png")
                        : QStringLiteral("background@%1x.png").arg(scale);
}

QPainterPath cardOutline()
{
    QPainterPath card;
    card.addRoundedRect(QRectF(kCard), kCardRadius, kCardRadius);
    QPainterPath gaps;
    gaps.addRect(QRectF(kTopGap));
    gaps.addRect(QRectF(kBottomGap));
    return card.subtracted(gaps);
}

void fillStrip(QPainter& p, const QRectF& strip)
{
    QLinearGradient g(strip.topLeft(), strip.bottomLeft());
    g.setColorAt(0, kStripTop);
    g.setColorAt(1, kStripBottom);
    p.fillRect(strip, g);
    // a soft highlight along the top of the strip
    p.fillRect(QRectF(strip.left(), strip.top(), strip.width(), 1), QColor(255, 255, 255, 60));
}

// A bell with a spark, white on a warm disc.
void drawBell(QPainter& p, QPointF c)
{
    QRadialGradient glow(c + QPointF(-2, -2), 11);
    glow.setColorAt(0, QColor(0xFF, 0xD8, 0x5A));
    glow.setColorAt(1, QColor(0xF2, 0x7A, 0x1A));
    p.setPen(QPen(QColor(0x8A, 0x3A, 0x05), 1.0));
    p.setBrush(glow);
    p.drawEllipse(c, 9.5, 9.5);
    QPainterPath bell;
    bell.moveTo(c + QPointF(-6, 4.5));
    bell.cubicTo(c + QPointF(-4.2, 3), c + QPointF(-4.8, -5.5), c + QPointF(0, -6));
    bell.cubicTo(c + QPointF(4.8, -5.5), c + QPointF(4.2, 3), c + QPointF(6, 4.5));
    bell.closeSubpath();
    p.setPen(QPen(QColor(0x7A, 0x2E, 0x04), 0.9));
    p.setBrush(Qt::white);
    p.drawPath(bell);
    p.drawEllipse(c + QPointF(0, 6.2), 1.6, 1.6);
}

// A browser page with changed lines and a refresh arrow: "the page has changed".
void drawPage(QPainter& p, QPointF c)
{
    const QRectF page(c.x() - 38, c.y() - 30, 64, 58);
    // shadow
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1D, 0x3F, 0x7A, 40));
    p.drawRoundedRect(page.translated(2.5, 3), 5, 5);
    // the window
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(Qt::white);
    p.drawRoundedRect(page, 5, 5);
    QPainterPath window;
    window.addRoundedRect(page, 5, 5);
    p.save();
    p.setClipPath(window);
    p.fillRect(QRectF(page.left(), page.top(), page.width(), 11), kStripTop);
    p.restore();
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(page, 5, 5);
    for (int i = 0; i < 3; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 220));
        p.drawEllipse(QPointF(page.left() + 6 + 5 * i, page.top() + 5.5), 1.6, 1.6);
    }
    // text lines; two of them marked as changed
    const double x0 = page.left() + 7;
    const double widths[] = {40, 48, 30, 44, 36};
    for (int i = 0; i < 5; ++i) {
        const double y = page.top() + 19 + 7.5 * i;
        const bool changed = i == 1 || i == 3;
        if (changed) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0xFF, 0xE2, 0x8A));
            p.drawRoundedRect(QRectF(x0 - 2.5, y - 3, widths[i] + 5, 6), 2, 2);
        }
        p.setPen(QPen(changed ? QColor(0xB0, 0x5A, 0x00) : QColor(0x9A, 0xAE, 0xC8), 2.2,
                      Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(x0, y), QPointF(x0 + widths[i], y));
    }
    // the refresh arrow in a green disc at the page's lower right
    const QPointF a(page.right() + 2, page.bottom() - 4);
    p.setPen(QPen(QColor(0x0E, 0x6B, 0x2F), 1.2));
    QRadialGradient green(a + QPointF(-3, -3), 15);
    green.setColorAt(0, QColor(0x6F, 0xDB, 0x7F));
    green.setColorAt(1, QColor(0x1F, 0x9E, 0x45));
    p.setBrush(green);
    p.drawEllipse(a, 13, 13);
    p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(a.x() - 7, a.y() - 7, 14, 14), 100 * 16, 280 * 16);
    QPainterPath head;
    head.moveTo(a + QPointF(-1.5, -11));
    head.lineTo(a + QPointF(4.5, -7));
    head.lineTo(a + QPointF(-1.5, -3));
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(head);
}

// The small figure of the footer: an eye keeping watch.
void drawEye(QPainter& p, QPointF c)
{
    QPainterPath eye;
    eye.moveTo(c + QPointF(-10, 0));
    eye.quadTo(c + QPointF(0, -9), c + QPointF(10, 0));
    eye.quadTo(c + QPointF(0, 9), c + QPointF(-10, 0));
    p.setPen(QPen(QColor(0x0B, 0x22, 0x4A), 1.1));
    p.setBrush(Qt::white);
    p.drawPath(eye);
    QRadialGradient iris(c + QPointF(-1, -1), 4.5);
    iris.setColorAt(0, QColor(0x5F, 0xB4, 0xFF));
    iris.setColorAt(1, QColor(0x1A, 0x5F, 0xC8));
    p.setPen(Qt::NoPen);
    p.setBrush(iris);
    p.drawEllipse(c, 4.2, 4.2);
    p.setBrush(QColor(0x0B, 0x16, 0x2B));
    p.drawEllipse(c, 1.9, 1.9);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawEllipse(c + QPointF(-1.2, -1.2), 0.9, 0.9);
}

// The card's content, anti-aliased, fully opaque inside the card.
QImage drawCard(double scale)
{
    QImage img(scaledSize(scale), QImage::Format_ARGB32_Premultiplied);
    img.fill(kFrameColour);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (scale != 1.0)
        p.scale(scale, scale);

    // header and footer strips (inside the frame)
    const QRectF header(kCard.left() + kFrame - 1, kCard.top(), kCard.width() - 2 * kFrame + 2,
                        kTopGap.top() - kCard.top());
    const QRectF footer(kCard.left() + kFrame - 1, kBottomGap.bottom() + 1,
                        kCard.width() - 2 * kFrame + 2, kCard.bottom() - kBottomGap.bottom());
    fillStrip(p, header.adjusted(0, 2, 0, 0));
    fillStrip(p, footer.adjusted(0, 0, 0, -2));

    // header: glyph and the underlined heading
    drawBell(p, QPointF(kCard.left() + 24, 21.5));
    QFont heading(QStringLiteral("DejaVu Sans"));
    heading.setPixelSize(15);
    heading.setBold(true);
    heading.setUnderline(true);
    heading.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
    p.setFont(heading);
    const QString title = QStringLiteral("UPDATE ALERT");
    const QRectF titleBox(kCard.left(), kCard.top() + 2, kCard.width(), 29);
    p.setPen(QColor(0x0B, 0x22, 0x4A, 110));
    p.drawText(titleBox.translated(1, 1), Qt::AlignCenter, title);
    p.setPen(Qt::white);
    p.drawText(titleBox, Qt::AlignCenter, title);

    // the middle area: light paper with a border and rounded corners
    const QRectF middle = QRectF(kMiddle).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient paper(middle.topLeft(), middle.bottomLeft());
    paper.setColorAt(0, kPaperTop);
    paper.setColorAt(1, kPaperBottom);
    p.setPen(QPen(kBorder, 1.0));
    p.setBrush(paper);
    p.drawRoundedRect(middle, 8, 8);
    p.setPen(QPen(QColor(255, 255, 255, 200), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(middle.adjusted(1, 1, -1, -1), 7, 7);
    drawPage(p, QPointF(kCard.center().x() + 1, (kMiddle.top() + kMiddle.bottom()) / 2.0 + 1));

    // footer: figure and the credit line in white and blue lettering
    drawEye(p, QPointF(kCard.left() + 20, 172.5));
    QFont credit(QStringLiteral("DejaVu Sans"));
    credit.setPixelSize(12);
    p.setFont(credit);
    const QString lead = QStringLiteral("Brought to you by ");
    const double x = kCard.left() + 36;
    const double baseline = 177;
    p.setPen(Qt::white);
    p.drawText(QPointF(x, baseline), lead);
    const double orvellX = x + QFontMetricsF(credit).horizontalAdvance(lead);
    credit.setBold(true);
    p.setFont(credit);
    p.setPen(kLightBlue);
    p.drawText(QPointF(orvellX, baseline), QStringLiteral("ORVELL"));
    p.end();
    return img;
}

// How much of each pixel the card's outline covers (0..255).
QImage coverage(double scale)
{
    QImage img(scaledSize(scale), QImage::Format_Alpha8);
    img.fill(0);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    if (scale != 1.0)
        p.scale(scale, scale);
    p.fillPath(cardOutline(), QColor(0, 0, 0, 255));
    p.end();
    return img;
}

// The picture at one scale: the card where the outline covers at least half a pixel,
// the key everywhere else.
QImage picture(double scale)
{
    const QImage card = drawCard(scale);
    const QImage cover = coverage(scale);
    QImage out(card.size(), QImage::Format_RGB888);
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            const bool inside = cover.pixelColor(x, y).alpha() >= 128;
            // The card image is opaque: its colours were blended against the frame
            // colour, never against the key. A card pixel never takes the key itself.
            QColor c = inside ? QColor(card.pixel(x, y)) : kMagenta;
            if (inside && c == kMagenta)
                c.setRed(0xFE);
            out.setPixelColor(x, y, c);
        }
    }
    return out;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_popup OUTPUT_DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    bool ok = true;
    for (double scale : kScales)
        ok = picture(scale).save(dir + QLatin1Char('/') + fileName(scale)) && ok;
    return ok ? 0 : 1;
}
