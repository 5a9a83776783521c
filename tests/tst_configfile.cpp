// Reading config.ini: three items, separated by commas or line ends, with the usual
// rules of sequential input, and the run-time errors a bad file raises.
#include "configfile.h"
#include "runtimeerror.h"

#include <QTemporaryDir>
#include <QTest>

class TestConfigFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
    void fileErrors();
};

void TestConfigFile::parse_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("popup");
    QTest::addColumn<QString>("sound");
    QTest::addColumn<int>("error"); // 0: reads without error

    auto row = [](const char* name, const QByteArray& bytes, const QString& url, int popup,
                  const QString& sound, int error = 0) {
        QTest::newRow(name) << bytes << url << popup << sound << error;
    };

    // What a writer produces, and its equivalents.
    row("three quoted lines", "\"http://a.example/x\"\r\n1\r\n\"ding.wav\"\r\n",
        "http://a.example/x", 1, "ding.wav");
    row("one line with commas", "\"http://a.example/x\",1,\"ding.wav\"\r\n", "http://a.example/x",
        1, "ding.wav");
    row("unquoted items", "http://a.example/x\r\n0\r\nding.wav", "http://a.example/x", 0,
        "ding.wav");
    row("anything after item 3 is ignored", "u\r\n1\r\ns\r\nmore,\"stuff\r\n", "u", 1, "s");

    // Text items.
    row("unquoted URL cut at a comma shifts the items", "http://a/b,c\r\n1\r\ns.wav\r\n",
        "http://a/b", 0, "1");
    row("quoted item keeps commas and spaces", "\"  a, b \",1,\"x, y.wav\"", "  a, b ", 1,
        "x, y.wav");
    row("leading spaces and tabs skipped", "  \t u\r\n1\r\n \ts", "u", 1, "s");
    row("trailing spaces of unquoted item dropped", "u  \t\r\n1\r\ns  ", "u", 1, "s");
    row("text after closing quote dropped", "\"u\"junk,1,\"s\" more\r\n", "u", 1, "s");
    row("empty first line gives empty URL", "\r\n1\r\ns\r\n", "", 1, "s");
    row("leading comma gives empty URL", ",1,s", "", 1, "s");
    row("line feed alone ends a line", "u\n1\ns\n", "u", 1, "s");
    row("carriage return alone ends a line", "u\r1\rs\r", "u", 1, "s");
    row("empty third item at line end", "u\r\n1\r\n\r\n", "u", 1, "");
    row("unterminated quote runs to the end", "u,1,\"s.wav", "u", 1, "s.wav");
    row("a numeric URL reads as a number", "007\r\n1\r\ns", "7", 1, "s");
    row("a quoted numeric URL stays text", "\"007\"\r\n1\r\ns", "007", 1, "s");
    row("8-bit text decoded", "\"http://a/\xc3\xa9\",1,s", QString::fromUtf8("http://a/\xc3\xa9"),
        1, "s");
    // Bytes that are not UTF-8: text of the system's code page where that is not UTF-8
    // (Windows' ANSI code page); where it is, a URL keeps them as %XX, as the request
    // sends them.
    const bool utf8System = QString::fromLocal8Bit("\xc3\xa9") == QString::fromUtf8("\xc3\xa9");
    auto notUtf8 = [utf8System](const char* kept, const char* bytes) {
        return utf8System ? QString::fromLatin1(kept) : QString::fromLocal8Bit(bytes);
    };
    row("URL bytes that are not UTF-8 kept", "\"http://a/caf\xe9/\xc3\xa9\xff%41\",1,s",
        notUtf8("http://a/caf%E9/%C3%A9%FF%41", "http://a/caf\xe9/\xc3\xa9\xff%41"), 1, "s");
    row("unquoted URL bytes that are not UTF-8 kept", "a/\xe9 x\r\n1\r\ns",
        notUtf8("a/%E9 x", "a/\xe9 x"), 1, "s");
    // As editors on Windows may save the file.
    row("byte order mark skipped", "\xef\xbb\xbf\"http://a/\"\r\n1\r\ns", "http://a/", 1, "s");
    row("byte order mark before an unquoted URL", "\xef\xbb\xbfhttp://a/,1,s", "http://a/", 1, "s");
    row("byte order mark before a number",
        "\xef\xbb\xbf"
        "007\r\n1\r\ns",
        "7", 1, "s");
    row("byte order mark only at the start", "\"\xef\xbb\xbfu\",1,\"\xef\xbb\xbfs\"",
        QChar(0xfeff) + QStringLiteral("u"), 1, QChar(0xfeff) + QStringLiteral("s"));

    // The popup switch.
    row("popup 2 is not 1", "u,2,s", "u", 2, "s");
    row("popup word reads as 0", "u,yes,s", "u", 0, "s");
    row("popup number prefix", "u,1abc,s", "u", 1, "s");
    row("popup skips line ends before it", "u\r\n\r\n\r\n1\r\ns", "u", 1, "s");
    row("popup ends at a space", "u\r\n1 \r\ns", "u", 1, "s");
    row("popup fraction rounds", "u,1.6,s", "u", 2, "s");
    row("popup half rounds to even (0.5)", "u,0.5,s", "u", 0, "s");
    row("popup half rounds to even (1.5)", "u,1.5,s", "u", 2, "s");
    row("popup 255", "u,255,s", "u", 255, "s");
    row("popup exponent", "u,1e2,s", "u", 100, "s");

    // Errors.
    row("popup 300 overflows", "u,300,s", "", 0, "", RuntimeError::Overflow);
    row("popup -1 overflows", "u,-1,s", "", 0, "", RuntimeError::Overflow);
    row("popup 255.5 rounds to 256 and overflows", "u,255.5,s", "", 0, "", RuntimeError::Overflow);
    row("two items", "u\r\n1\r\n", "", 0, "", RuntimeError::InputPastEndOfFile);
    row("two items, trailing comma", "u,1,", "", 0, "", RuntimeError::InputPastEndOfFile);
    row("one item", "u", "", 0, "", RuntimeError::InputPastEndOfFile);
    row("empty file", "", "", 0, "", RuntimeError::InputPastEndOfFile);
    row("only line ends", "\r\n\r\n\r\n", "", 0, "", RuntimeError::InputPastEndOfFile);
}

void TestConfigFile::parse()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, error);
    try {
        const ConfigItems items = ConfigFile::parse(bytes);
        QCOMPARE(0, error);
        QTEST(items.url, "url");
        QTEST(int(items.showPopup), "popup");
        QTEST(items.soundFile, "sound");
    } catch (const RuntimeError& e) {
        QCOMPARE(e.number(), error);
    }
}

void TestConfigFile::fileErrors()
{
    QTemporaryDir dir;
    auto errorOf = [](const QString& path) {
        try {
            ConfigFile::read(path);
        } catch (const RuntimeError& e) {
            return e.number();
        }
        return 0;
    };
    QCOMPARE(errorOf(dir.filePath("config.ini")), int(RuntimeError::FileNotFound));
    QVERIFY(QDir(dir.path()).mkdir("config.ini"));
    QCOMPARE(errorOf(dir.filePath("config.ini")), int(RuntimeError::PathFileAccessError));

    const RuntimeError e(RuntimeError::FileNotFound);
    QCOMPARE(e.message(), QStringLiteral("Run-time error '53': File not found"));
    QCOMPARE(RuntimeError(62).description(), QStringLiteral("Input past end of file"));
    QCOMPARE(RuntimeError(6).description(), QStringLiteral("Overflow"));
}

QTEST_GUILESS_MAIN(TestConfigFile)
#include "tst_configfile.moc"
