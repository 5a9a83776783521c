// Shaping a window to its background picture: the rectangles for small pictures, the
// key colour, the sizes, and what the window and the holder are left with.
#include "fakes.h"
#include "picturebox.h"
#include "skinform.h"
#include "skinwindow.h"
#include "twips.h"

#include <QTest>

namespace {

// Picture rows as text: K magenta (the key), k almost magenta, a and b two other
// colours, 0 black, r a red-ish 0x563412 (as 0x00BBGGRR: 0x00123456).
QImage pictureFrom(const QStringList& rows)
{
    QImage img(int(rows.first().size()), int(rows.size()), QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            QRgb c = 0;
            switch (rows[y][x].toLatin1()) {
            case 'K':
                c = qRgb(0xFF, 0x00, 0xFF);
                break;
            case 'k':
                c = qRgb(0xFE, 0x00, 0xFF);
                break;
            case 'a':
                c = qRgb(0x20, 0x60, 0xC0);
                break;
            case 'b':
                c = qRgb(0xF0, 0xF0, 0xF0);
                break;
            case 'r':
                c = qRgb(0x56, 0x34, 0x12);
                break;
            default:
                c = qRgb(0, 0, 0);
                break;
            }
            img.setPixel(x, y, c);
        }
    }
    return img;
}

using Rects = QList<QRect>;
QRect run(int x1, int y, int x2)
{
    return QRect(x1, y, x2 - x1, 1);
}

struct Shaped
{
    SkinWindow window{nullptr, Qt::FramelessWindowHint};
    PictureBox* holder = new PictureBox(&window);
};

} // namespace

class TestSkinForm : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rectanglesOfSmallPictures_data();
    void rectanglesOfSmallPictures();
    void keyBelowOneIsTakenFromTheTopLeftPixel_data();
    void keyBelowOneIsTakenFromTheTopLeftPixel();
    void holderFrameReadsAsInvalidAndStaysOutOfSight();
    void leavesWindowShownAndHolderEmpty();
    void scanSizeRoundsHalfToEven_data();
    void scanSizeRoundsHalfToEven();
};

void TestSkinForm::rectanglesOfSmallPictures_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<Rects>("expected");

    QTest::newRow("row without key pixels is one rectangle 0..W")
        << QStringList{"aab0b"} << Rects{run(0, 0, 5)};
    QTest::newRow("all key gives no rectangle") << QStringList{"KKK", "KKK"} << Rects{};
    QTest::newRow("run reaching the right end stops at W")
        << QStringList{"KKaa", "Kaaa"} << Rects{run(2, 0, 4), run(1, 1, 4)};
    QTest::newRow("several runs in a row, rows never merged")
        << QStringList{"aKaKK", "aKaKK", "KKKKK"}
        << Rects{run(0, 0, 1), run(2, 0, 3), run(0, 1, 1), run(2, 1, 3)};
    QTest::newRow("a colour close to the key is opaque")
        << QStringList{"KkK", "kKk"} << Rects{run(1, 0, 2), run(0, 1, 1), run(2, 1, 3)};
    QTest::newRow("black is opaque under a magenta key")
        << QStringList{"K00K"} << Rects{run(1, 0, 3)};
}

void TestSkinForm::rectanglesOfSmallPictures()
{
    QFETCH(QStringList, rows);
    QFETCH(Rects, expected);
    RecordingWindowShape shape;
    Shaped s;
    // Without a frame the scan size is the picture's size.
    s.holder->setFrameStyle(QFrame::NoFrame);
    s.holder->setPicture(pictureFrom(rows));
    std::int32_t key = 0x00FF00FF;

    SkinForm(s.window, *s.holder, key, shape);

    QCOMPARE(shape.calls.size(), 1);
    QCOMPARE(shape.calls.first(), expected);
    QCOMPARE(key, 0x00FF00FF);
    if (expected.isEmpty()) {
        // Nothing of the window is shown or clickable. (Qt reads an empty mask as "no
        // mask", which would show all of it: a mask must be set, outside the window.)
        QVERIFY(!s.window.mask().isEmpty());
        QVERIFY(s.window.mask().intersected(s.window.rect()).isEmpty());
    }
}

void TestSkinForm::keyBelowOneIsTakenFromTheTopLeftPixel_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expectedKey");
    QTest::addColumn<Rects>("expected");
    const int topLeft = 0x00123456; // pixel 'r'
    QTest::newRow("black (0)") << 0 << topLeft << Rects{run(1, 0, 3), run(0, 1, 3)};
    QTest::newRow("negative") << -5 << topLeft << Rects{run(1, 0, 3), run(0, 1, 3)};
    QTest::newRow("1 is used as it is") << 1 << 1 << Rects{run(0, 0, 4), run(0, 1, 4)};
    QTest::newRow("magenta is used as it is")
        << 0x00FF00FF << 0x00FF00FF << Rects{run(0, 0, 4), run(0, 1, 2), run(3, 1, 4)};
}

void TestSkinForm::keyBelowOneIsTakenFromTheTopLeftPixel()
{
    QFETCH(int, key);
    QFETCH(int, expectedKey);
    QFETCH(Rects, expected);
    RecordingWindowShape shape;
    Shaped s;
    s.holder->setFrameStyle(QFrame::NoFrame);
    s.holder->setPicture(pictureFrom({"rabr", "aaKr"}));
    std::int32_t transColor = key;

    SkinForm(s.window, *s.holder, transColor, shape);

    QCOMPARE(transColor, expectedKey); // the caller's variable
    QCOMPARE(shape.calls.first(), expected);
}

void TestSkinForm::holderFrameReadsAsInvalidAndStaysOutOfSight()
{
    // A 20 x 10 picture of key only in a holder with its 2-pixel frame: the scan covers
    // 24 x 14 positions, the window is 100 twips (6.7 pixels) smaller than the holder.
    RecordingWindowShape shape;
    Shaped s;
    s.holder->setPicture(pictureFrom(QStringList(10, QString(20, QLatin1Char('K')))));
    std::int32_t key = 0x00FF00FF;

    SkinForm(s.window, *s.holder, key, shape);

    Rects expected;
    for (int y = 0; y < 10; ++y)
        expected << run(20, y, 24); // beyond the picture: invalid colour, never the key
    for (int y = 10; y < 14; ++y)
        expected << run(0, y, 24);
    QCOMPARE(shape.calls.first(), expected);
    QCOMPARE(s.window.size(), QSize(17, 7));
    QVERIFY(s.window.mask().intersected(s.window.rect()).isEmpty());
}

void TestSkinForm::leavesWindowShownAndHolderEmpty()
{
    RecordingWindowShape shape;
    Shaped s;
    const QImage picture = pictureFrom(QStringList(30, QLatin1Char('K') + QString(34, 'a') + 'K'));
    s.holder->setPicture(picture);
    s.holder->setAutoSize(false);
    s.holder->resize(5, 5); // auto-size is turned on and sizes it to the picture
    std::int32_t key = 0x00FF00FF;

    SkinForm(s.window, *s.holder, key, shape);

    QVERIFY(s.window.isVisible());
    QCOMPARE(s.window.Picture(), picture);
    QCOMPARE(s.holder->size(), picture.size() + QSize(4, 4));
    QCOMPARE(s.window.size(), QSize(40 - 7, 34 - 7));
    QVERIFY(s.holder->Picture().isNull());
    QVERIFY(s.holder->AutoSize());
    QVERIFY(s.holder->AutoRedraw());
    // The mask is the region of the rectangles.
    QRegion region;
    for (const QRect& r : shape.calls.first())
        region += r;
    QVERIFY(s.window.mask().xored(region).isEmpty());
    QVERIFY(!region.contains(QPoint(0, 5)));
    QVERIFY(region.contains(QPoint(1, 5)));
}

void TestSkinForm::scanSizeRoundsHalfToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("447.5 up to even") << 447.5 << 448;
    QTest::newRow("448.5 down to even") << 448.5 << 448;
    QTest::newRow("198.5 down to even") << 198.5 << 198;
    QTest::newRow("0.5 to 0") << 0.5 << 0;
    QTest::newRow("448.4 nearest") << 448.4 << 448;
    QTest::newRow("448.6 nearest") << 448.6 << 449;
}

void TestSkinForm::scanSizeRoundsHalfToEven()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(Twips::roundHalfEven(value), expected);
}

QTEST_MAIN(TestSkinForm)
#include "tst_skinform.moc"
