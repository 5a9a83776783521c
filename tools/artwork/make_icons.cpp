// Draws the two window icons (32 x 32, 24-bit colour with an alpha channel) into the
// folder given as the first argument: orvell.png (main window, the tray's base icon)
// and popup.png (the popup, the tray's flash icon); both again at the other sizes trays
// ask for (16 to 64 pixels, for their panel heights and screen scales),
// tray/NxN/orvell.png and tray/NxN/popup.png; the program's icon for the desktop's
// menus at the other sizes of the hicolor theme, hicolor/NxN/orvell.png; and the same
// icon for Windows (orvell.exe, its shortcut, the setup program) as one .ico file
// holding it at 16 to 256 pixels, orvell.ico.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {

// The icons are drawn on a grid of 32 x 32 units, scaled to the size asked for.
constexpr int kGrid = 32;

QImage canvas(int size)
{
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    return img;
}

// A page with a folded corner, watched by an eye: calm blue.
QImage mainIcon(int size = kGrid)
{
    QImage img = canvas(size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(double(size) / kGrid, double(size) / kGrid);

    QPainterPath page;
    page.moveTo(6.5, 2.5);
    page.lineTo(20.5, 2.5);
    page.lineTo(26.5, 8.5);
    page.lineTo(26.5, 29.5);
    page.lineTo(6.5, 29.5);
    page.closeSubpath();
    QLinearGradient paper(0, 0, 0, 32);
    paper.setColorAt(0, QColor(0xFF, 0xFF, 0xFF));
    paper.setColorAt(1, QColor(0xDD, 0xE6, 0xF2));
    p.setBrush(paper);
    p.setPen(QPen(QColor(0x2B, 0x4C, 0x7E), 1.0));
    p.drawPath(page);
    // the fold
    QPainterPath fold;
    fold.moveTo(20.5, 2.5);
    fold.lineTo(20.5, 8.5);
    fold.lineTo(26.5, 8.5);
    p.setBrush(QColor(0xB8, 0xC8, 0xDE));
    p.drawPath(fold);
    // text lines
    p.setPen(QPen(QColor(0x9A, 0xAE, 0xC8), 1.2));
    for (int y : {11, 14, 24, 27})
        p.drawLine(QPointF(9.5, y + 0.5), QPointF(y < 20 ? 18.5 : 23.5, y + 0.5));

    // the eye
    QPainterPath eye;
    eye.moveTo(2.5, 19);
    eye.quadTo(16, 8.5, 29.5, 19);
    eye.quadTo(16, 29.5, 2.5, 19);
    p.setPen(QPen(QColor(0x14, 0x2F, 0x5C), 1.4));
    p.setBrush(QColor(0xFF, 0xFF, 0xFF));
    p.drawPath(eye);
    QRadialGradient iris(QPointF(15, 17.5), 5.5);
    iris.setColorAt(0, QColor(0x5F, 0xB4, 0xFF));
    iris.setColorAt(1, QColor(0x1A, 0x5F, 0xC8));
    p.setPen(Qt::NoPen);
    p.setBrush(iris);
    p.drawEllipse(QPointF(16, 19), 5, 5);
    p.setBrush(QColor(0x0B, 0x16, 0x2B));
    p.drawEllipse(QPointF(16, 19), 2.3, 2.3);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawEllipse(QPointF(14.6, 17.6), 1.1, 1.1);
    return img;
}

// A warm bell with a spark: the "something changed" icon, clearly unlike the page.
QImage popupIcon(int size = kGrid)
{
    QImage img = canvas(size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(double(size) / kGrid, double(size) / kGrid);

    QRadialGradient glow(QPointF(16, 15), 15);
    glow.setColorAt(0, QColor(0xFF, 0xD4, 0x4F));
    glow.setColorAt(1, QColor(0xF2, 0x6B, 0x1D));
    p.setPen(QPen(QColor(0x8A, 0x2E, 0x05), 1.2));
    p.setBrush(glow);
    p.drawEllipse(QPointF(16, 16), 14.5, 14.5);

    QPainterPath bell;
    bell.moveTo(9, 21.5);
    bell.cubicTo(11, 19.5, 10.5, 9, 16, 8.5);
    bell.cubicTo(21.5, 9, 21, 19.5, 23, 21.5);
    bell.closeSubpath();
    p.setPen(QPen(QColor(0x6B, 0x24, 0x04), 1.1));
    p.setBrush(QColor(0xFF, 0xFF, 0xFF));
    p.drawPath(bell);
    p.setBrush(QColor(0xFF, 0xFF, 0xFF));
    p.drawEllipse(QPointF(16, 23.5), 2.2, 2.2);
    p.drawEllipse(QPointF(16, 7.6), 1.3, 1.3);
    // motion marks
    p.setPen(QPen(QColor(0xFF, 0xFF, 0xFF), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(6, 12), QPointF(7.5, 14.5));
    p.drawLine(QPointF(26, 12), QPointF(24.5, 14.5));
    return img;
}

// Bytes in little-endian order, as Windows' files hold numbers.
struct LittleEndian
{
    QByteArray bytes;
    void u8(int v) { bytes.append(char(v & 0xFF)); }
    void u16(int v)
    {
        u8(v);
        u8(v >> 8);
    }
    void u32(quint32 v)
    {
        u16(int(v & 0xFFFF));
        u16(int(v >> 16));
    }
};

// One image of an .ico file: a bottom-up 32-bit bitmap with its alpha channel, followed
// by the 1-bit mask that older renderers use (set where a pixel is fully transparent);
// at 256 pixels a PNG, as Windows takes it from Vista on.
QByteArray icoImage(const QImage& image)
{
    if (image.width() >= 256) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return png;
    }
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const int w = argb.width(), h = argb.height();
    const int maskRow = (w + 31) / 32 * 4; // rows of whole 32-bit words
    LittleEndian out;
    out.u32(40); // the bitmap's header
    out.u32(quint32(w));
    out.u32(quint32(2 * h)); // the picture and its mask
    out.u16(1);
    out.u16(32);
    out.u32(0);
    out.u32(quint32(w * h * 4 + maskRow * h));
    for (int i = 0; i < 4; ++i)
        out.u32(0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x)
            out.u32(argb.pixel(x, y)); // 0xAARRGGBB: blue, green, red, alpha in the file
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray bits(maskRow, '\0');
        for (int x = 0; x < w; ++x) {
            if (qAlpha(argb.pixel(x, y)) == 0)
                bits[x / 8] = char(bits[x / 8] | (0x80 >> (x % 8)));
        }
        out.bytes.append(bits);
    }
    return out.bytes;
}

// An .ico file: a directory of the images, then the images.
QByteArray icoFile(const QList<QImage>& images)
{
    LittleEndian out;
    out.u16(0);
    out.u16(1); // icons
    out.u16(int(images.size()));
    QList<QByteArray> data;
    for (const QImage& image : images)
        data.append(icoImage(image));
    quint32 offset = 6 + 16 * quint32(images.size());
    for (int i = 0; i < images.size(); ++i) {
        const int size = images[i].width();
        out.u8(size >= 256 ? 0 : size); // width and height; 0 stands for 256
        out.u8(size >= 256 ? 0 : size);
        out.u8(0); // no palette
        out.u8(0);
        out.u16(1);  // planes
        out.u16(32); // bits a pixel
        out.u32(quint32(data[i].size()));
        out.u32(offset);
        offset += quint32(data[i].size());
    }
    for (const QByteArray& image : data)
        out.bytes.append(image);
    return out.bytes;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_icons OUTPUT_DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    bool ok = mainIcon().save(dir + QStringLiteral("/orvell.png"));
    ok = popupIcon().save(dir + QStringLiteral("/popup.png")) && ok;
    // The sizes the program's tray icon comes in besides 32 (resources/artwork.h).
    for (int size : {16, 20, 22, 24, 44, 48, 64}) {
        const QString sizeDir = dir + QStringLiteral("/tray/%1x%1").arg(size);
        ok = QDir().mkpath(sizeDir) &&
             mainIcon(size).save(sizeDir + QStringLiteral("/orvell.png")) &&
             popupIcon(size).save(sizeDir + QStringLiteral("/popup.png")) && ok;
    }
    for (int size : {16, 22, 24, 48, 64, 128, 256}) {
        const QString sizeDir = dir + QStringLiteral("/hicolor/%1x%1").arg(size);
        ok = QDir().mkpath(sizeDir) &&
             mainIcon(size).save(sizeDir + QStringLiteral("/orvell.png")) && ok;
    }
    // The sizes Windows shows a program's icon at, from the notification area to the
    // largest view of a folder.
    QList<QImage> windowsSizes;
    for (int size : {16, 20, 24, 32, 40, 48, 64, 128, 256})
        windowsSizes.append(mainIcon(size));
    QFile ico(dir + QStringLiteral("/orvell.ico"));
    ok = ico.open(QIODevice::WriteOnly) && ico.write(icoFile(windowsSizes)) > 0 && ok;
    return ok ? 0 : 1;
}
