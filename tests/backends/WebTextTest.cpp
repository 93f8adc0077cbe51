#include "backends/WebText.h"
#include "backends/HtmlText.h"
#include "backends/WebFetch.h"

#include <gtest/gtest.h>

namespace gabblet::web {
namespace {

TEST(WebText, EntitiesDecodeInTheirOrder) {
    EXPECT_EQ(DecodeEntities(QStringLiteral("&lt;b&gt; &amp; &quot;x&quot;&nbsp;y")),
              QStringLiteral("<b> & 'x' y"));
    // An encoded "&lt;" stays "&lt;": the ampersand is decoded after it.
    EXPECT_EQ(DecodeEntities(QStringLiteral("&amp;lt;")), QStringLiteral("&lt;"));
    EXPECT_EQ(DecodeEntities(QStringLiteral("&AMP; &#39;")), QStringLiteral("&AMP; &#39;"));
}

TEST(WebText, UrlEncodingOverWindows1252Bytes) {
    EXPECT_EQ(URLEncode(u"a b&c\r\n"), QStringLiteral("a+b%26c%0D%0A"));
    EXPECT_EQ(URLEncode(u"Az09*.-_@"), QStringLiteral("Az09*.-_@"));
    EXPECT_EQ(URLEncode(u"caf\u00e9 \u20ac/%"), QStringLiteral("caf%E9+%80%2F%25"));
    // Outside the code page: a question mark, as the conversion makes it.
    EXPECT_EQ(URLEncode(u"\u4e2d"), QStringLiteral("%3F"));
}

TEST(WebText, FormFieldsTagsAndNumbers) {
    const QString page =
        QStringLiteral("<input name=\"disk\" value=\"d1\"><input name=\"login\" value=\"me\">"
                       "<input name=\"f\" value=\"33792\"><input name=\"msghdrid\" value=\"x\"");
    EXPECT_EQ(GetFormField(u"disk", page), QStringLiteral("d1"));
    EXPECT_EQ(GetFormField(u"f", page), QStringLiteral("33792"));
    // No closing quote: up to the end of the text, never beyond it.
    EXPECT_EQ(GetFormField(u"msghdrid", page), QStringLiteral("x"));
    EXPECT_EQ(GetFormField(u"none", page), QString());
    EXPECT_EQ(GetFormField(u"disk", u"name=\"disk\" valu"), QString());

    EXPECT_EQ(StripTags(QStringLiteral("a<b>c<i x>d<unclosed")), QStringLiteral("acd"));
    EXPECT_EQ(basicVal(u"45 me"), 45.0);
    EXPECT_EQ(basicVal(u" 1 2k"), 12.0);
    EXPECT_EQ(basicVal(u"k"), 0.0);
    EXPECT_EQ(sizeValue(u"12", QLatin1Char('k')), 12000);
    EXPECT_EQ(sizeValue(u"2", QLatin1Char('M')), 2000000);
    EXPECT_EQ(sizeValue(u"512", QLatin1Char(' ')), 512);
    EXPECT_EQ(sizeValue(u"99999999", QLatin1Char('m')), std::numeric_limits<qint32>::max());
}

TEST(WebText, DatesAndBodies) {
    const QLocale c = QLocale::c();
    EXPECT_EQ(NormalizeDate(QStringLiteral("03/01/2024 12:30"), c),
              c.toString(QDate(2024, 3, 1), QLocale::ShortFormat));
    EXPECT_EQ(NormalizeDate(QStringLiteral("Yesterday 12:30"), c), QStringLiteral("Yesterday"));
    EXPECT_EQ(NormalizeDate(QStringLiteral("13/45/2024"), c), QStringLiteral("13/45/2024"));

    const QString city = QStringLiteral(
        "junk<a href=\"B/mc/display_next_email.femail?x\"><img></a><tr><td>From: A &amp; B</td>"
        "</tr><tr><td>Add to Address Book</td></tr><pre>Hi &lt;there&gt;</pre>"
        "<!-- END Display of MIME component(s) -->tail");
    EXPECT_EQ(StripBodyMailCity(city), QStringLiteral("From: A & B\r\nHi <there>"));
    EXPECT_EQ(StripBodyHotMail(QStringLiteral("x From: <b>me</b>&nbsp;<form name=f>rest")),
              QStringLiteral("From: me"));
    EXPECT_EQ(StripBodyHotMail(QStringLiteral("  plain  ")), QStringLiteral("plain"));
}

TEST(WebText, RowsStopAtTheEndOfATruncatedPage) {
    const QString row = QStringLiteral(
        "<tr><td><input name=\"!1INBOX:7\"><font size=\"-1\">Ann &quot;A&quot; </font>"
        "<a href=\"http://h/mc/display.femail?docid=!1INBOX:7:M:0&folder=INBOX\">Hi </a>"
        "<font size=\"-1\"> 03/01/2024 10:00 </font><font size=\"-1\"> 12k</font>");
    for (qsizetype cut = 0; cut <= row.size(); ++cut) {
        const QString page = row.left(cut);
        const QString low = asciiLower(page);
        qsizetype pos = 0;
        bool found = false;
        const auto r = mailCityRow(page, low, pos, found, QLocale::c());
        EXPECT_EQ(r.has_value(), cut == row.size()) << cut;
    }
    const QString low = asciiLower(row);
    qsizetype pos = 0;
    bool found = false;
    const auto r = mailCityRow(row, low, pos, found, QLocale::c());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->From, QStringLiteral("Ann 'A'"));
    EXPECT_EQ(r->Subject, QStringLiteral("Hi"));
    EXPECT_EQ(r->MsgID, QStringLiteral("!1INBOX:7"));
    EXPECT_EQ(r->MsgID2, QStringLiteral(":M:0"));
    EXPECT_EQ(r->Size, 12000);
}

TEST(WebText, PageTextAndMasks) {
    EXPECT_EQ(htmlVisibleText(QStringLiteral(
                  "<html><head><title>T</title><script>x()</script></head><body><p>One "
                  "&amp;  two</p><style>p{}</style><div>Three<br>four</div><pre>a  b\n"
                  "c</pre></body></html>")),
              QStringLiteral("One & two\nThree\nfour\na  b\nc"));
    // Deep nesting is walked without recursion.
    EXPECT_EQ(
        htmlVisibleText(QString(QStringLiteral("<div>")).repeated(50000) + QStringLiteral("deep")),
        QStringLiteral("deep"));
    EXPECT_EQ(WebFetch::masked(QStringLiteral("http://h/l?user=u&passwd=p%26q&v=1")),
              QStringLiteral("http://h/l?user=u&passwd=********&v=1"));
    EXPECT_EQ(WebFetch::decodePage(QByteArray("caf\xe9"), QStringLiteral("text/html")),
              QStringLiteral("caf\u00e9"));
    EXPECT_EQ(
        WebFetch::decodePage(QByteArray("caf\xc3\xa9"), QStringLiteral("text/html; charset=UTF-8")),
        QStringLiteral("caf\u00e9"));
}

} // namespace
} // namespace gabblet::web
