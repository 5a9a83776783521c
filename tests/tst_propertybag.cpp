// Property bags: a value equal to its default is not stored; the INI file keeps
// numbers, Booleans, text and pictures apart and gives them back.
#include "picture.h"
#include "propertybag.h"
#include "runtimeerror.h"

#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>

class TestPropertyBag : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void equalsDefault_data();
    void equalsDefault();
    void writingTheDefaultForgetsAnEarlierValue_data();
    void writingTheDefaultForgetsAnEarlierValue();
    void iniTextRoundTrip_data();
    void iniTextRoundTrip();
    void iniPictures_data();
    void iniPictures();
    void iniFileReadsAsText();
    void iniGroupsAreSeparate();
    void iniSaveFailureIsReported();

private:
    QTemporaryDir dir;
};

void TestPropertyBag::equalsDefault_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("defaultValue");
    QTest::addColumn<bool>("equal");
    const QVariant zero16 = QVariant::fromValue<qint16>(0);
    const QVariant empty = QVariant::fromValue(Picture());
    QTest::newRow("Boolean False = 16-bit 0") << QVariant(false) << zero16 << true;
    QTest::newRow("Boolean True != 16-bit 0") << QVariant(true) << zero16 << false;
    QTest::newRow("Boolean True = -1") << QVariant(true) << QVariant(-1) << true;
    QTest::newRow("32-bit 500 = 16-bit 500")
        << QVariant(500) << QVariant::fromValue<qint16>(500) << true;
    QTest::newRow("32-bit 501 != 16-bit 500")
        << QVariant(501) << QVariant::fromValue<qint16>(500) << false;
    QTest::newRow("empty text = empty text")
        << QVariant(QString()) << QVariant(QString("")) << true;
    QTest::newRow("text != empty text") << QVariant("a") << QVariant(QString()) << false;
    QTest::newRow("text 0 != number 0") << QVariant("0") << zero16 << false;
    QTest::newRow("nothing = nothing") << QVariant() << QVariant() << true;
    QTest::newRow("empty picture != nothing") << empty << QVariant() << false;
    QTest::newRow("empty picture = empty picture") << empty << empty << true;
}

void TestPropertyBag::equalsDefault()
{
    QFETCH(QVariant, value);
    QFETCH(QVariant, defaultValue);
    QFETCH(bool, equal);
    QCOMPARE(PropertyBag::equalsDefault(value, defaultValue), equal);
}

void TestPropertyBag::writingTheDefaultForgetsAnEarlierValue_data()
{
    QTest::addColumn<bool>("ini");
    QTest::newRow("memory") << false;
    QTest::newRow("INI file") << true;
}

void TestPropertyBag::writingTheDefaultForgetsAnEarlierValue()
{
    // A bag saved again must not keep a value that went back to its default.
    QFETCH(bool, ini);
    const QString file = dir.filePath(QStringLiteral("forget.ini"));
    QFile::remove(file);
    MemoryPropertyBag memory;
    IniPropertyBag iniBag(file);
    PropertyBag& bag = ini ? static_cast<PropertyBag&>(iniBag) : memory;
    const QVariant zero16 = QVariant::fromValue<qint16>(0);
    bag.WriteProperty(QStringLiteral("Tip"), QStringLiteral("kept"), QString());
    bag.WriteProperty(QStringLiteral("Enabled"), true, zero16);
    QCOMPARE(bag.ReadProperty(QStringLiteral("Enabled"), zero16).toString(),
             QStringLiteral("true"));
    bag.WriteProperty(QStringLiteral("Enabled"), false, zero16);
    QCOMPARE(bag.ReadProperty(QStringLiteral("Enabled"), zero16), zero16);
    if (ini) {
        iniBag.save();
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray content = f.readAll();
        QVERIFY(content.contains("Tip=kept"));
        QVERIFY(!content.contains("Enabled"));
    }
}

void TestPropertyBag::iniTextRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QStringLiteral("Watching");
    QTest::newRow("commas") << QStringLiteral("one, two, three");
    QTest::newRow("leading @") << QStringLiteral("@ByteArray(icon:abc)");
    QTest::newRow("looks like a stored picture") << QStringLiteral("icon:abc");
    QTest::newRow("quotes and backslashes") << QStringLiteral("say \"hi\" \\ there");
    QTest::newRow("surrounding spaces") << QStringLiteral("  padded  ");
    QTest::newRow("semicolon and equals") << QStringLiteral("a=b; c");
    QTest::newRow("non-Latin") << QStringLiteral("Änderung – 更新");
    QTest::newRow("line break") << QStringLiteral("two\nlines");
}

void TestPropertyBag::iniTextRoundTrip()
{
    QFETCH(QString, text);
    const QString file = dir.filePath(QStringLiteral("text.ini"));
    {
        IniPropertyBag bag(file);
        bag.WriteProperty(QStringLiteral("Tip"), text, QString());
        bag.save();
    }
    const QVariant read = IniPropertyBag(file).ReadProperty(QStringLiteral("Tip"), QString());
    QCOMPARE(read.metaType(), QMetaType::fromType<QString>());
    QCOMPARE(read.toString(), text);
}

void TestPropertyBag::iniPictures_data()
{
    QTest::addColumn<QVariant>("picture");
    QTest::addColumn<int>("type");
    QPixmap pm(24, 24);
    pm.fill(QColor(10, 20, 30));
    QImage img(5, 7, QImage::Format_RGB32);
    img.fill(QColor(200, 100, 50));
    QTest::newRow("icon") << QVariant::fromValue(Picture::fromIcon(QIcon(pm))) << 3;
    QTest::newRow("bitmap") << QVariant::fromValue(Picture::fromImage(img)) << 1;
    QTest::newRow("empty picture") << QVariant::fromValue(Picture()) << 0;
}

void TestPropertyBag::iniPictures()
{
    QFETCH(QVariant, picture);
    QFETCH(int, type);
    const QString file = dir.filePath(QStringLiteral("pictures.ini"));
    {
        IniPropertyBag bag(file);
        bag.WriteProperty(QStringLiteral("BaseIcon"), picture, QVariant());
        bag.save();
    }
    const QVariant read = IniPropertyBag(file).ReadProperty(QStringLiteral("BaseIcon"), QVariant());
    QCOMPARE(read.metaType(), QMetaType::fromType<Picture>());
    const Picture original = picture.value<Picture>();
    const Picture back = read.value<Picture>();
    QCOMPARE(int(back.type()), type);
    QCOMPARE(back.image().size(), original.image().size());
    QCOMPARE(back.image().convertToFormat(QImage::Format_RGB32),
             original.image().convertToFormat(QImage::Format_RGB32));
}

void TestPropertyBag::iniFileReadsAsText()
{
    const QString file = dir.filePath(QStringLiteral("plain.ini"));
    {
        IniPropertyBag bag(file);
        const QVariant zero16 = QVariant::fromValue<qint16>(0);
        bag.WriteProperty(QStringLiteral("Enabled"), true, zero16);
        bag.WriteProperty(QStringLiteral("FlashTime"), 250, QVariant::fromValue<qint16>(500));
        bag.WriteProperty(QStringLiteral("Tip"), QStringLiteral("hello"), QString());
        bag.save();
    }
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly | QIODevice::Text)); // the system's line ends
    const QByteArray content = f.readAll();
    QVERIFY2(content.contains("Enabled=true\n"), content.constData());
    QVERIFY2(content.contains("FlashTime=250\n"), content.constData());
    QVERIFY2(content.contains("Tip=hello\n"), content.constData());
}

void TestPropertyBag::iniGroupsAreSeparate()
{
    const QString file = dir.filePath(QStringLiteral("groups.ini"));
    {
        IniPropertyBag one(file, QStringLiteral("TaskBarIcon1"));
        one.WriteProperty(QStringLiteral("Tip"), QStringLiteral("first"), QString());
        one.save();
    }
    {
        IniPropertyBag two(file, QStringLiteral("TaskBarIcon2"));
        two.WriteProperty(QStringLiteral("Tip"), QStringLiteral("second"), QString());
        two.save();
    }
    QCOMPARE(IniPropertyBag(file, QStringLiteral("TaskBarIcon1"))
                 .ReadProperty(QStringLiteral("Tip"), QString())
                 .toString(),
             QStringLiteral("first"));
    QCOMPARE(IniPropertyBag(file, QStringLiteral("TaskBarIcon2"))
                 .ReadProperty(QStringLiteral("Tip"), QString())
                 .toString(),
             QStringLiteral("second"));
}

void TestPropertyBag::iniSaveFailureIsReported()
{
    // The file's directory cannot exist: its parent is a regular file.
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    QFile b(blocker);
    QVERIFY(b.open(QIODevice::WriteOnly));
    b.close();
    IniPropertyBag bag(blocker + QStringLiteral("/form.ini"));
    bag.WriteProperty(QStringLiteral("Tip"), QStringLiteral("lost"), QString());
    int error = 0;
    try {
        bag.save();
    } catch (const RuntimeError& e) {
        error = e.number();
    }
    QCOMPARE(error, 75);
}

QTEST_MAIN(TestPropertyBag)
#include "tst_propertybag.moc"
