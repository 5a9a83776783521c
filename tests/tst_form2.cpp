// The update popup: its shape from the real artwork, its window settings, the stamp
// of its creation, clicks, the tick and its place on the screen.
#include "artwork.h"
#include "fakes.h"
#include "form2.h"
#include "picturebox.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QWindow>

namespace {
constexpr QRgb kMagenta = 0xFFFF00FF;

QImage artwork()
{
    return QImage(QStringLiteral(":/popup/background.png"));
}

// The card as painted on a screen of that device pixel ratio, its stamp hidden: the
// screen's pixels, transparent where nothing is painted.
QImage paintedAt(Form2& form, qreal ratio)
{
    form.Label1->hide();
    QImage painted(qCeil(form.width() * ratio), qCeil(form.height() * ratio),
                   QImage::Format_ARGB32);
    painted.setDevicePixelRatio(ratio);
    painted.fill(Qt::transparent);
    form.render(&painted, QPoint(), QRegion(),
                QWidget::DrawWindowBackground | QWidget::DrawChildren | QWidget::IgnoreMask);
    return painted;
}
} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void artworkKeepsItsArrangement_data();
    void artworkKeepsItsArrangement();
    void shapeFollowsTheArtwork();
    void windowSettings();
    void stampShowsTheCreationTime();
    void widestStampFitsTheCard_data();
    void widestStampFitsTheCard();
    void clicks_data();
    void clicks();
    void tickHidesAndTheTimerRunsOn();
    void centredAtFirstShowingAndNeverMoved();
    void notMappedUntilShownAfterStartUp();
    void paintsNothingButTheCard();
    void denserScreens_data();
    void denserScreens();
    void sharpAtDoubleScale();
};

void TestForm2::artworkKeepsItsArrangement_data()
{
    QTest::addColumn<QRect>("area");
    QTest::addColumn<bool>("allMagenta");
    // What must be cut away...
    QTest::newRow("top margin") << QRect(0, 0, 444, 6) << true;
    QTest::newRow("bottom margin") << QRect(0, 189, 444, 6) << true;
    QTest::newRow("left margin") << QRect(0, 0, 8, 195) << true;
    QTest::newRow("right margin, with the 3 columns the window cuts")
        << QRect(438, 0, 6, 195) << true;
    QTest::newRow("rounded top-left corner") << QRect(8, 6, 3, 3) << true;
    QTest::newRow("rounded bottom-right corner") << QRect(435, 186, 3, 3) << true;
    QTest::newRow("upper gap") << QRect(12, 37, 422, 3) << true;
    QTest::newRow("lower gap") << QRect(12, 155, 422, 3) << true;
    // ...and what holds the card together.
    QTest::newRow("frame left of the upper gap") << QRect(8, 37, 4, 3) << false;
    QTest::newRow("frame right of the lower gap") << QRect(434, 155, 4, 3) << false;
    QTest::newRow("header strip") << QRect(30, 8, 380, 29) << false;
    QTest::newRow("middle area") << QRect(12, 50, 422, 95) << false;
    QTest::newRow("footer strip") << QRect(30, 158, 380, 29) << false;
}

void TestForm2::artworkKeepsItsArrangement()
{
    QFETCH(QRect, area);
    QFETCH(bool, allMagenta);
    const QImage img = artwork();
    QCOMPARE(img.size(), QSize(444, 195));
    QVERIFY(!img.hasAlphaChannel());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((img.pixel(x, y) == kMagenta) != allMagenta)
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
}

void TestForm2::shapeFollowsTheArtwork()
{
    TestServices t;
    Form2 form(t.services());
    QCOMPARE(form.size(), QSize(441, 192));
    QCOMPARE(t.windowShape.calls.size(), 1);

    // Within the window: every non-key pixel is inside the shape, no key pixel is.
    const QImage img = artwork();
    const QRegion shape = form.mask();
    int opaque = 0;
    for (int y = 0; y < form.height(); ++y) {
        for (int x = 0; x < form.width(); ++x) {
            const bool key = img.pixel(x, y) == kMagenta;
            opaque += key ? 0 : 1;
            if (shape.contains(QPoint(x, y)) == key)
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        }
    }
    QVERIFY(opaque > 70000);
    // The holder's frame (columns 444-447, rows 195-198) reads as opaque but lies
    // outside the window.
    QVERIFY(shape.contains(QPoint(445, 10)));
    QVERIFY(shape.contains(QPoint(10, 197)));
}

void TestForm2::windowSettings()
{
    TestServices t;
    Form2 form(t.services());
    QCOMPARE(form.windowTitle(), QStringLiteral("The watched site has been updated"));
    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(form.windowType(), Qt::Tool); // no task-bar entry
    QCOMPARE(form.palette().color(QPalette::Window), QColor(0xFF, 0x00, 0xFF));
    QCOMPARE(form.iconPicture().type(), Picture::Type::Icon);
    QCOMPARE(form.iconPicture().image().size(), QSize(32, 32));
    QCOMPARE(form.Label1->pos(), QPoint(240, 160));
    QCOMPARE(form.Label1->palette().color(QPalette::WindowText), QColor(Qt::white));
    QVERIFY(!form.Label1->autoFillBackground());
    QCOMPARE(form.Label1->font().pointSize(), 12);
    QCOMPARE(form.Timer1.interval(), 9999);
    QVERIFY(form.Timer1.isActive());
    // The holder lies below the window and is left empty.
    QVERIFY(form.Backpic->y() >= form.height());
    QVERIFY(form.Backpic->Picture().isNull());
    QCOMPARE(form.Picture().size(), QSize(444, 195));
}

void TestForm2::stampShowsTheCreationTime()
{
    TestServices t;
    t.clock.current = QDateTime(QDate(2026, 12, 7), QTime(23, 25, 20));
    Form2 form(t.services());
    form.hide();

    // The update comes much later; the popup still shows the time of its creation.
    t.clock.current = QDateTime(QDate(2026, 12, 9), QTime(8, 0, 1));
    form.show();
    QCOMPARE(form.Label1->text(), QStringLiteral("12/7/2026 at 11:25:20 PM"));
    // Neither wrapped nor shortened.
    QVERIFY(!form.Label1->wordWrap());
    QVERIFY(form.Label1->width() >= form.Label1->sizeHint().width());
}

void TestForm2::widestStampFitsTheCard_data()
{
    QTest::addColumn<QString>("family"); // empty: the popup's own choice
    QTest::newRow("the popup's font") << QString();
    QTest::newRow("a wider font: DejaVu Sans") << QStringLiteral("DejaVu Sans");
    QTest::newRow("a much wider font: Liberation Mono") << QStringLiteral("Liberation Mono");
}

void TestForm2::widestStampFitsTheCard()
{
    QFETCH(QString, family);
    TestServices t;
    t.clock.current = QDateTime(QDate(2026, 12, 28), QTime(23, 59, 59));
    Form2 form(t.services());
    QLabel& stamp = *form.Label1;
    QCOMPARE(stamp.text(), QStringLiteral("12/28/2026 at 11:59:59 PM"));
    if (!family.isEmpty()) {
        stamp.setFont(Form2::fitStampFont(QFont(family, 12), Form2::StampEnd - stamp.x()));
        stamp.adjustSize();
    }
    QCOMPARE(stamp.font().pointSize(), 12);
    if (family.isEmpty()) // a font with close metrics is installed: nothing is narrowed
        QCOMPARE(stamp.font().stretch(), QFont().stretch());

    // On every row of the stamp, the footer strip ends where the card's dark frame (or
    // the cut-away key) begins; the whole text lies left of that.
    const QImage img = artwork();
    const QRgb frame = qRgb(0x17, 0x3A, 0x78);
    const int textRight = stamp.x() + stamp.fontMetrics().horizontalAdvance(stamp.text()) - 1;
    QVERIFY(stamp.geometry().right() >= textRight);
    for (int y = stamp.y(); y <= stamp.geometry().bottom(); ++y) {
        int edge = stamp.x();
        while (img.pixel(edge, y) != frame && img.pixel(edge, y) != kMagenta)
            ++edge;
        QVERIFY2(stamp.geometry().right() < edge,
                 qPrintable(QStringLiteral("row %1: stamp ends at %2, the strip at %3")
                                .arg(y)
                                .arg(stamp.geometry().right())
                                .arg(edge - 1)));
    }
}

void TestForm2::clicks_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("staysUp");
    QTest::newRow("on the card") << "card" << false;
    QTest::newRow("on the stamp") << "stamp" << true;
}

void TestForm2::clicks()
{
    QFETCH(QString, target);
    QFETCH(bool, staysUp);
    TestServices t;
    Form2 form(t.services());
    QVERIFY(form.isVisible());
    if (target == QLatin1String("stamp"))
        QTest::mouseClick(form.Label1, Qt::LeftButton, {}, QPoint(5, 5));
    else
        QTest::mouseClick(&form, Qt::LeftButton, {}, QPoint(220, 100));
    QCOMPARE(form.isVisible(), staysUp);
}

void TestForm2::tickHidesAndTheTimerRunsOn()
{
    TestServices t;
    Form2 form(t.services());
    QVERIFY(form.isVisible());
    form.Timer1_Timer();
    QVERIFY(!form.isVisible());
    QVERIFY(form.Timer1.isActive());
    form.Timer1_Timer(); // hidden already: harmless
    QVERIFY(!form.isVisible());
    QVERIFY(form.Timer1.isActive());
}

void TestForm2::centredAtFirstShowingAndNeverMoved()
{
    TestServices t;
    Form2 form(t.services());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QVERIFY(qAbs(form.geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(form.geometry().center().y() - screen.center().y()) <= 1);
    const QRect placed = form.geometry();

    // Shown again, or shown while shown: nothing changes.
    form.hide();
    form.show();
    form.show();
    QVERIFY(form.isVisible());
    QCOMPARE(form.geometry(), placed);
}

void TestForm2::notMappedUntilShownAfterStartUp()
{
    TestServices t;
    Form2 form(t.services());
    QVERIFY(form.isVisible()); // as the shaping leaves it...
    QVERIFY(!form.windowHandle() || !form.windowHandle()->isVisible()); // ...yet not mapped
    form.hide();                                                        // the start-up
    QVERIFY(!form.windowHandle() || !form.windowHandle()->isVisible());
    form.show(); // an update
    QVERIFY(form.windowHandle() && form.windowHandle()->isVisible());
}

void TestForm2::paintsNothingButTheCard()
{
    TestServices t;
    Form2 form(t.services());
    // A fixed size, so that tiling compositors float it.
    QCOMPARE(form.minimumSize(), QSize(441, 192));
    QCOMPARE(form.maximumSize(), QSize(441, 192));
    QVERIFY(form.testAttribute(Qt::WA_TranslucentBackground));

    // Where the picture has the key colour, nothing is painted, also where the stamp
    // runs past the card, whatever the window system does with the mask.
    form.Label1->setText(QStringLiteral("12/28/2026 at 11:59:59 PM, and more text"));
    form.Label1->adjustSize();
    QImage painted(form.size(), QImage::Format_ARGB32);
    painted.fill(Qt::transparent);
    form.render(&painted, QPoint(), QRegion(),
                QWidget::DrawWindowBackground | QWidget::DrawChildren | QWidget::IgnoreMask);
    const QImage img = artwork();
    int wrong = 0;
    for (int y = 0; y < form.height(); ++y)
        for (int x = 0; x < form.width(); ++x) {
            const bool key = img.pixel(x, y) == kMagenta;
            const QRgb p = painted.pixel(x, y);
            wrong += key ? qAlpha(p) != 0 : qAlpha(p) != 255;
        }
    QCOMPARE(wrong, 0);
}

void TestForm2::denserScreens_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<qreal>("drawnFor"); // the picture drawn for it; 0: scaled from another
    QTest::newRow("1: the picture itself, as ever") << 1.0 << 1.0;
    QTest::newRow("1.25") << 1.25 << 1.25;
    QTest::newRow("1.5") << 1.5 << 1.5;
    QTest::newRow("1.75: the 2x picture, scaled down") << 1.75 << 0.0;
    QTest::newRow("2") << 2.0 << 2.0;
    QTest::newRow("3: the 2x picture, scaled up") << 3.0 << 0.0;
}

void TestForm2::denserScreens()
{
    QFETCH(qreal, ratio);
    QFETCH(qreal, drawnFor);
    TestServices t;
    Form2 form(t.services());
    const QImage painted = paintedAt(form, ratio);
    // The window's shape on that screen, as Qt gives it to the window system.
    const QRegion shape = QTransform::fromScale(ratio, ratio).map(form.mask());
    QImage picture = artwork();
    for (const QImage& dense : Artwork::densePopupPictures())
        if (dense.devicePixelRatio() == drawnFor)
            picture = dense;
    if (drawnFor > 0) {
        QCOMPARE(picture.devicePixelRatio(), drawnFor);
        QCOMPARE(picture.size(), (QSizeF(444, 195) * drawnFor).toSize());
    }

    // Inside the shape: the card, never the key, and no gap; outside it nothing. Drawn
    // for the ratio, the card's pixels are the picture's, pixel for pixel, and the
    // card's colour where the shape's rounding reaches beyond the picture's outline.
    int wrong = 0;
    int filled = 0;
    for (int y = 0; y < painted.height(); ++y) {
        for (int x = 0; x < painted.width(); ++x) {
            const QRgb p = painted.pixel(x, y);
            if (!shape.contains(QPoint(x, y))) {
                wrong += qAlpha(p) != 0;
                continue;
            }
            wrong += qAlpha(p) != 255 || p == kMagenta;
            if (drawnFor > 0) {
                const bool key = picture.pixel(x, y) == kMagenta;
                filled += key;
                wrong += p != (key ? Form2::kCardColour : picture.pixel(x, y));
            }
        }
    }
    QCOMPARE(wrong, 0);
    // The picture drawn for the screen follows the shape but for a few pixels at the
    // rounded corners (one pixel off all along the outline would be thousands).
    QVERIFY2(filled <= shape.boundingRect().width() / 4, qPrintable(QString::number(filled)));
}

void TestForm2::sharpAtDoubleScale()
{
    TestServices t;
    Form2 form(t.services());
    const QImage doubled =
        paintedAt(form, 1).scaled(form.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const QImage painted = paintedAt(form, 2);
    QCOMPARE(painted.size(), doubled.size());

    // The same shape as the card's pixels doubled...
    int shapeDiffers = 0;
    for (int y = 0; y < painted.height(); ++y)
        for (int x = 0; x < painted.width(); ++x)
            shapeDiffers += qAlpha(painted.pixel(x, y)) != qAlpha(doubled.pixel(x, y));
    QCOMPARE(shapeDiffers, 0);

    // ...but the lettering and pictures of the strips are drawn at the screen's
    // resolution: many of their pixels differ clearly from the doubled ones.
    const auto clearlyDiffering = [&](const QRect& strip) {
        int count = 0;
        for (int y = strip.top() * 2; y <= strip.bottom() * 2 + 1; ++y)
            for (int x = strip.left() * 2; x <= strip.right() * 2 + 1; ++x) {
                const QRgb a = painted.pixel(x, y);
                const QRgb b = doubled.pixel(x, y);
                count += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) +
                             qAbs(qBlue(a) - qBlue(b)) >
                         96;
            }
        return count;
    };
    const int heading = clearlyDiffering(QRect(12, 8, 420, 29));
    const int credit = clearlyDiffering(QRect(12, 158, 228, 29)); // left of the stamp
    QVERIFY2(heading > 300 && credit > 300,
             qPrintable(QStringLiteral("heading %1, credit line %2").arg(heading).arg(credit)));
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
