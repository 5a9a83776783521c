// The page's text as a reader sees it: markup, scripts and styles left out, characters
// decoded from the charset browsers would choose, blocks as lines; text bodies as their
// lines; bodies that are not text, too large or built to exhaust the parser.
#include "htmlbounds.h"
#include "pagetext.h"

#include <QStringDecoder>
#include <QTest>

using Kind = PageText::Kind;

class TestPageText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void contentType_data();
    void contentType();
    void text_data();
    void text();
    void notText_data();
    void notText();
    void boundsLeaveOrdinaryMarkupAlone();
    void hostilePages_data();
    void hostilePages();
};

void TestPageText::contentType_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("mediaType");
    QTest::addColumn<QByteArray>("charset");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("type and charset")
        << QByteArray("Text/HTML; Charset=\"ISO-8859-1\"") << QByteArray("text/html")
        << QByteArray("iso-8859-1") << QByteArray("text/html; charset=iso-8859-1");
    QTest::newRow("other parameters")
        << QByteArray("text/plain;format=flowed; charset=utf-8 ") << QByteArray("text/plain")
        << QByteArray("utf-8") << QByteArray("text/plain; charset=utf-8");
    QTest::newRow("no charset") << QByteArray("image/png") << QByteArray("image/png")
                                << QByteArray() << QByteArray("image/png");
    QTest::newRow("no header") << QByteArray() << QByteArray() << QByteArray() << QByteArray();
}

void TestPageText::contentType()
{
    QFETCH(QByteArray, value);
    const PageType type = PageType::fromContentType(value);
    QTEST(type.mediaType, "mediaType");
    QTEST(type.charset, "charset");
    QTEST(type.contentType(), "stored");
}

void TestPageText::text_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QStringList>("lines");
    const QByteArray html("text/html");
    QTest::newRow("script") << QByteArray("<p>before <script>if (a<b) document.write('<p>no</p>')"
                                          "</script> after</p>")
                            << html << Kind::Html << QStringList{"before after"};
    QTest::newRow("style") << QByteArray("<style>p { color: red }</style><p>text</p>") << html
                           << Kind::Html << QStringList{"text"};
    QTest::newRow("comment") << QByteArray("<p>a <!-- hidden <b>x</b> --> b</p>") << html
                             << Kind::Html << QStringList{"a b"};
    QTest::newRow("attributes") << QByteArray("<p title=no><img alt=no src=x.png>"
                                              "<a href='no'>link</a><input value=no></p>")
                                << html << Kind::Html << QStringList{"link"};
    QTest::newRow("template and head")
        << QByteArray("<title>no</title><template><p>no</p></template><p>yes</p>") << html
        << Kind::Html << QStringList{"yes"};
    QTest::newRow("references") << QByteArray("<p>&amp; &lt;tag&gt; &eacute;&#233;&#xE9; "
                                              "&nbsp;x&copy</p>")
                                << html << Kind::Html
                                << QStringList{u"& <tag> \u00e9\u00e9\u00e9 x\u00a9"_qs};
    QTest::newRow("blocks") << QByteArray("<h1>Title</h1><p>one<br>two<p>three</p><ul><li>a<li>b"
                                          "</ul><div>c<span>d</span></div><blockquote>q")
                            << html << Kind::Html
                            << QStringList{"Title", "one", "two", "three", "a", "b", "cd", "q"};
    QTest::newRow("table cells") << QByteArray("<table><tr><td>a<td>b</tr>"
                                               "<tr><th>c</th><td> d </td></table>")
                                 << html << Kind::Html << QStringList{"a\tb", "c\td"};
    QTest::newRow("white space") << QByteArray("<p>  many\n\t spaces   here </p>\n\n<p></p>"
                                               "<div> </div>")
                                 << html << Kind::Html << QStringList{"many spaces here"};
    QTest::newRow("pre keeps its lines") << QByteArray("<pre>line 1\n  line 2\n</pre>") << html
                                         << Kind::Html << QStringList{"line 1", "line 2"};

    const QStringList cafe{u"caf\u00e9"_qs};
    QTest::newRow("charset from the header")
        << QByteArray("<p>caf\xE9</p>") << QByteArray("text/html; charset=iso-8859-1") << Kind::Html
        << cafe;
    QTest::newRow("header wins over meta")
        << QByteArray("<meta charset=utf-8><p>caf\xE9</p>")
        << QByteArray("text/html; charset=windows-1252") << Kind::Html << cafe;
    QTest::newRow("meta charset") << QByteArray(
                                         "<meta charset=\"windows-1252\"><p>caf\xE9 \x80</p>")
                                  << html << Kind::Html << QStringList{u"caf\u00e9 \u20ac"_qs};
    QTest::newRow("meta http-equiv")
        << QByteArray("<!-- <meta charset=utf-8> --><meta http-equiv=\"Content-Type\" "
                      "content=\"text/html; charset=ISO-8859-1\"><p>caf\xE9</p>")
        << html << Kind::Html << cafe;
    QTest::newRow("valid UTF-8") << QByteArray("<p>caf\xC3\xA9</p>") << html << Kind::Html << cafe;
    QTest::newRow("Windows-1252 fallback")
        << QByteArray("<p>\x80\x85\x91x\x92\x9F caf\xE9</p>") << html << Kind::Html
        << QStringList{u"\u20ac\u2026\u2018x\u2019\u0178 caf\u00e9"_qs};
    QTest::newRow("a lying charset")
        << QByteArray("<p>caf\xE9</p>") << QByteArray("text/html; charset=utf-8") << Kind::Html
        << QStringList{u"caf\ufffd"_qs};
    QTest::newRow("an unknown meta charset")
        << QByteArray("<meta charset=x-no-such><p>caf\xE9</p>") << html << Kind::Html << cafe;
    QTest::newRow("an unknown header charset")
        << QByteArray("<p>caf\xC3\xA9</p>") << QByteArray("text/html; charset=klingon")
        << Kind::Html << cafe;
    QStringEncoder utf16(QStringConverter::Utf16LE);
    QTest::newRow("UTF-16 byte-order mark")
        << QByteArray("\xFF\xFE") + QByteArray(utf16.encode(u"<p>caf\u00e9</p>"_qs))
        << QByteArray("text/html; charset=iso-8859-1") << Kind::Html << cafe;

    QTest::newRow("text/plain") << QByteArray("one\r\ntwo  \n\nthree") << QByteArray("text/plain")
                                << Kind::Text << QStringList{"one", "two  ", "", "three"};
    QTest::newRow("JSON") << QByteArray("{\"a\": 1,\n \"b\": \"<p>\"}")
                          << QByteArray("application/json") << Kind::Text
                          << QStringList{"{\"a\": 1,", " \"b\": \"<p>\"}"};
    QTest::newRow("feed") << QByteArray("<?xml version=\"1.0\"?>\n<rss><title>T</title></rss>")
                          << QByteArray("application/rss+xml; charset=utf-8") << Kind::Text
                          << QStringList{"<?xml version=\"1.0\"?>", "<rss><title>T</title></rss>"};
    QTest::newRow("no type, HTML inside")
        << QByteArray("\n<!DOCTYPE html><p>x") << QByteArray() << Kind::Html << QStringList{"x"};
    QTest::newRow("HTML with NUL bytes")
        << QByteArray("<p>a\0b</p><p>\0</p>", 18) << html << Kind::Html << QStringList{"ab"};
}

void TestPageText::text()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    const PageText text = readPageText(body, PageType::fromContentType(contentType));
    QTEST(text.kind, "kind");
    QTEST(text.lines, "lines");
}

void TestPageText::notText_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<Kind>("kind");
    QTest::newRow("image") << QByteArray("\x89PNG\r\n\x1A\n") << QByteArray("image/png")
                           << Kind::NotText;
    QTest::newRow("PDF") << QByteArray("%PDF-1.4\n") << QByteArray("application/pdf")
                         << Kind::NotText;
    QTest::newRow("zip, no type") << QByteArray("PK\x03\x04 rest") << QByteArray() << Kind::NotText;
    QTest::newRow("octet-stream with NUL bytes")
        << QByteArray("abc\0def", 7) << QByteArray("application/octet-stream") << Kind::NotText;
    QTest::newRow("text/plain with NUL bytes")
        << QByteArray("abc\0def", 7) << QByteArray("text/plain") << Kind::NotText;
    QTest::newRow("too large") << QByteArray(kPageTextMaxBytes + 1, 'a') << QByteArray("text/html")
                               << Kind::TooLarge;
}

void TestPageText::notText()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    const PageText text = readPageText(body, PageType::fromContentType(contentType));
    QTEST(text.kind, "kind");
    QVERIFY(text.lines.isEmpty());
}

// Markup as sloppy as real pages have it, in numbers and about as dense (Debian's HTML
// manuals have an element every 30 to 50 bytes), keeps every tag: the bounds must not
// take a page's structure away.
void TestPageText::boundsLeaveOrdinaryMarkupAlone()
{
    QByteArray page = "<!DOCTYPE html><html><body><b>bold, never closed";
    const QByteArray words = QByteArray("words ").repeated(80);
    for (int i = 0; i < 2000; ++i) {
        page += "<div class=x><p>" + words + "<font size=2>small<p>" + words +
                "<ul><li>a<li>b</ul>"
                "<table><tr><td><b>cell<td><i>cell</table><dl><dt>t<dd>d</dl>"
                "<svg><path d='M0'/><g><circle/></g></svg><h2>h</h3></div>";
    }
    QCOMPARE(boundHtml(page).removedTags, 0);
}

void TestPageText::hostilePages_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("characters"); // of text, in all lines
    QTest::addColumn<int>("lines");      // -1: as the bounds leave them
    QTest::newRow("100,000 unclosed div") << QByteArray("<div>").repeated(100'000) + "x" << 1 << 1;
    QByteArray formatting = "<p>";
    for (int i = 0; i < 100; ++i)
        formatting += "<b id=" + QByteArray::number(i) + ">";
    QTest::newRow("formatting reopened in every paragraph")
        << formatting + "</p>" + QByteArray("<p>x</p>").repeated(100'000) << 100'000 << -1;
    QTest::newRow("a textarea past the depth bound, full of div")
        << QByteArray("<div>").repeated(600) + "<textarea>" +
               QByteArray("<div>").repeated(100'000) + "x"
        << 1 << 1;
    QTest::newRow("100,000 nested svg groups")
        << "<svg>" + QByteArray("<g>").repeated(100'000) + "x" << 1 << 1;
    QTest::newRow("one 10 MiB line")
        << "<p>" + QByteArray(10 * 1024 * 1024, 'a') << 10 * 1024 * 1024 << 1;
    QTest::newRow("1,000,000 lines")
        << QByteArray("line<br>\n").repeated(1'000'000) << 4'000'000 << 1'000'000;
}

// Deep, repetitive or huge pages end in bounded time (the test's time limit) and memory,
// and lose none of their text.
void TestPageText::hostilePages()
{
    QFETCH(QByteArray, body);
    QFETCH(int, lines);
    const PageText text = readPageText(body, PageType::fromContentType("text/html"));
    QCOMPARE(text.kind, Kind::Html);
    qsizetype characters = 0;
    for (const QString& line : text.lines)
        characters += line.size();
    QTEST(int(characters), "characters");
    if (lines >= 0)
        QCOMPARE(text.lines.size(), lines);
}

QTEST_GUILESS_MAIN(TestPageText)
#include "tst_pagetext.moc"
