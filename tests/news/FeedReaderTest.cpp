#include "news/FeedReader.h"

#include "news/HtmlText.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

const std::string kAddress = "http://news.example/feeds/main.xml";

std::string Rss(const std::string& strItems, const std::string& strDeclaration = "") {
    return strDeclaration + "<rss version=\"2.0\"><channel><title>Main</title>" + strItems +
           "</channel></rss>";
}

std::string Atom(const std::string& strEntries) {
    return "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Main</title>" + strEntries +
           "</feed>";
}

CFeed ReadOk(const std::string& strBytes, const std::string& strAddress = kAddress) {
    CFeedResult result = ReadFeed(strBytes, strAddress);
    EXPECT_EQ(result.status, EFeedStatus::Ok) << result.strError << "\n" << strBytes;
    EXPECT_EQ(result.strError, "");
    return result.feed;
}

// The first item's headline, link or time.
std::string Headline(const std::string& strBytes) {
    CFeed feed = ReadOk(strBytes);
    return feed.items.empty() ? "(no item)" : feed.items[0].strHeadline;
}

std::string Link(const std::string& strBytes, const std::string& strAddress = kAddress) {
    CFeed feed = ReadOk(strBytes, strAddress);
    return feed.items.empty() ? "(no item)" : feed.items[0].strLink;
}

struct CTextCase {
    std::string strFeed;
    std::string strExpected;
};

}  // namespace

TEST(ReadFeed, readsTitleHeadlinesLinksAndTimesOfEachFormat) {
    const std::string kItems[] = {
        // RSS 0.91, with its DTD that names HTML's entities
        "<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\" "
        "\"http://my.netscape.com/publish/formats/rss-0.91.dtd\">"
        "<rss version=\"0.91\"><channel><title>Main</title><image><title>Logo</title></image>"
        "<item><title>First</title><link>http://news.example/1</link></item>"
        "<item><title>Second</title><link>/2</link></item></channel></rss>",
        // RSS 2.0
        Rss("<item><title>First</title><link>http://news.example/1</link>"
            "<pubDate>Tue, 08 Dec 2026 02:47:26 GMT</pubDate></item>"
            "<item><title>Second</title><guid>http://news.example/2</guid></item>"),
        // RSS 1.0: items beside the channel, in the RSS namespace
        "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
        "xmlns=\"http://purl.org/rss/1.0/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
        "<channel rdf:about=\"http://news.example/\"><title>Main</title></channel>"
        "<image><title>Logo</title></image>"
        "<item rdf:about=\"http://news.example/1\"><title>First</title>"
        "<dc:date>2026-12-08T02:47:26Z</dc:date></item>"
        "<item><title>Second</title><link>http://news.example/2</link></item></rdf:RDF>",
        // RSS 0.90
        "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
        "xmlns=\"http://my.netscape.com/rdf/simple/0.9/\"><channel><title>Main</title></channel>"
        "<item><title>First</title><link>http://news.example/1</link></item>"
        "<item><title>Second</title><link>http://news.example/2</link></item></rdf:RDF>",
        // Atom 1.0, with a <source> whose fields are not the entry's
        Atom("<entry><source><title>Other</title><link href=\"http://other.example/\"/>"
             "<updated>2020-01-01T00:00:00Z</updated></source><title>First</title>"
             "<link href=\"http://news.example/1\"/><updated>2026-12-08T02:47:26Z</updated>"
             "</entry><entry><title>Second</title><link rel=\"alternate\" href=\"2\"/></entry>"),
        // Atom 0.3
        "<feed version=\"0.3\" xmlns=\"http://purl.org/atom/ns#\"><title>Main</title>"
        "<entry><title>First</title><link rel=\"alternate\" type=\"text/html\" "
        "href=\"http://news.example/1\"/><issued>2026-12-08T02:47:26Z</issued></entry>"
        "<entry><title>Second</title><link rel=\"alternate\" type=\"text/html\" "
        "href=\"http://news.example/2\"/></entry></feed>",
    };
    for (size_t i = 0; i < std::size(kItems); ++i) {
        const CFeed feed = ReadOk(kItems[i]);
        EXPECT_EQ(feed.strTitle, "Main") << i;
        ASSERT_EQ(feed.items.size(), 2u) << i;
        EXPECT_EQ(feed.items[0].strHeadline, "First") << i;
        EXPECT_EQ(feed.items[0].strLink, "http://news.example/1") << i;
        // RSS 0.9x has no time stamps.
        EXPECT_EQ(feed.items[0].time, i == 0 || i == 3 ? 0 : 1796698046) << i;
        EXPECT_EQ(feed.items[1].strHeadline, "Second") << i;
        EXPECT_EQ(feed.items[1].strLink,
                  i == 4 ? "http://news.example/feeds/2" : "http://news.example/2")
            << i;
        EXPECT_EQ(feed.items[1].time, 0) << i;
    }
}

TEST(ReadFeed, makesMarkedUpTitlesOneLineOfPlainText) {
    const CTextCase cases[] = {
        {Rss("<item><title>Tom &amp; Jerry</title></item>"), "Tom & Jerry"},
        {Rss("<item><title>Tom &amp;amp; Jerry</title></item>"), "Tom & Jerry"},
        {Rss("<item><title>&lt;b&gt;Bold&lt;/b&gt; move</title></item>"), "Bold move"},
        {Rss("<item><title><![CDATA[<em>Storm</em> &amp; <a href=\"x\">rain</a>]]></title></item>"),
         "Storm & rain"},
        {Rss("<item><title><![CDATA[Use <vector> when a <3 b]]></title></item>"),
         "Use <vector> when a <3 b"},
        {Rss("<item><title>Line<br/>break <b>and</b>\n\t  spaces </title></item>"),
         "Line break and spaces"},
        {Rss("<item><title>a&lt;!-- hidden "
             "--&gt;b&lt;script&gt;x()&lt;/script&gt;c</title></item>"),
         "abc"},
        {Rss("<item><title>Caf&#233; &#x2014; &#8220;q&#8221; &#150;</title></item>"),
         "Caf\u00e9 \u2014 \u201cq\u201d \u2013"},
        {Atom("<entry><title>a &amp;lt;b&amp;gt; c</title></entry>"), "a &lt;b&gt; c"},
        {Atom("<entry><title type=\"html\">a &amp;lt;b&amp;gt; "
              "&lt;i&gt;c&lt;/i&gt;</title></entry>"),
         "a <b> c"},
        {Atom("<entry><title type=\"html\">&lt;vector&gt; x</title></entry>"), "x"},
        {Atom("<entry><title type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\">"
              "<p>One</p><p><b>Two</b> &amp; three</p></div></title></entry>"),
         "One Two & three"},
        {"<feed version=\"0.3\" xmlns=\"http://purl.org/atom/ns#\"><entry><title "
         "mode=\"escaped\" type=\"text/html\">&lt;b&gt;Old&lt;/b&gt; news</title></entry></feed>",
         "Old news"},
    };
    for (const CTextCase& c : cases) {
        EXPECT_EQ(Headline(c.strFeed), c.strExpected) << c.strFeed;
    }
}

TEST(ReadFeed, decodesTheNamedCharactersOfHtml) {
    EXPECT_EQ(Headline(Rss("<item><title>A&nbsp;B &mdash; it&rsquo;s caf&eacute; &euro;5 &hellip; "
                           "&Omega;&omega; &foo;</title></item>")),
              "A B \u2014 it\u2019s caf\u00e9 \u20ac5 \u2026 \u03a9\u03c9 &foo;");
    EXPECT_EQ(Link(Rss("<item><title>x</title><link>http://news.example/a?b=1&amp;c=&eacute;</link>"
                       "</item>")),
              "http://news.example/a?b=1&c=%C3%A9");
    EXPECT_EQ(Link(Atom("<entry><link href=\"/caf&eacute;&nbsp;x\"/></entry>")),
              "http://news.example/caf%C3%A9%C2%A0x");
}

TEST(ReadFeed, honoursTheEncodingOfTheDocument) {
    const std::string strItem = "<item><title>caf\xE9 \x93q\x94</title></item>";
    const std::string strWindows = "caf\u00e9 \u201cq\u201d";
    auto utf16 = [](const std::string& strAscii, bool bLittle) {
        std::string str = bLittle ? "\xFF\xFE" : "\xFE\xFF";
        for (char c : strAscii) {
            str += bLittle ? std::string{c, '\0'} : std::string{'\0', c};
        }
        return str;
    };
    const CTextCase cases[] = {
        {Rss(strItem, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"), strWindows},
        {Rss(strItem, "<?xml version='1.0' encoding='windows-1252'?>"), strWindows},
        {Rss(strItem, "<?xml version=\"1.0\" encoding = \"us-ascii\" ?>"), strWindows},
        {Rss(strItem), strWindows},  // no declaration, not UTF-8
        {Rss("<item><title>caf\xC3\xA9</title></item>", "<?xml version=\"1.0\"?>"), "caf\u00e9"},
        {Rss("<item><title>caf\xC3\xA9</title></item>", "\xEF\xBB\xBF<?xml version=\"1.0\"?>"),
         "caf\u00e9"},
        {Rss("<item><title>caf\xE9 \xC3\xA9</title></item>",
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"),
         "caf\ufffd \u00e9"},
        {Rss("<item><title>\xC1\xC2</title></item>", "<?xml version=\"1.0\" encoding=\"KOI8-R\"?>"),
         "\u0430\u0431"},
        {utf16(Rss("<item><title>caf&#233;</title></item>"), true), "caf\u00e9"},
        {utf16(Rss("<item><title>caf&#233;</title></item>",
                   "<?xml version=\"1.0\" "
                   "encoding=\"UTF-16\"?>"),
               false),
         "caf\u00e9"},
    };
    for (const CTextCase& c : cases) {
        EXPECT_EQ(Headline(c.strFeed), c.strExpected) << c.strFeed;
    }
    const CFeedResult result =
        ReadFeed(Rss(strItem, "<?xml version=\"1.0\" encoding=\"x-nothing\"?>"), kAddress);
    EXPECT_EQ(result.status, EFeedStatus::BadXml);
    EXPECT_EQ(result.strError.rfind("XML error at line 1: ", 0), 0u) << result.strError;
}

TEST(ReadFeed, resolvesLinksAgainstXmlBaseAndTheFeedAddress) {
    struct CLinkCase {
        std::string strFeed, strAddress, strExpected;
    } cases[] = {
        {Rss("<item><link>../a b.html</link></item>"), kAddress, "http://news.example/a%20b.html"},
        {Rss("<item><link>\n  https://other.example/x#top\n</link></item>"), kAddress,
         "https://other.example/x#top"},
        {Rss("<item><link>//cdn.example/x</link></item>"), kAddress, "http://cdn.example/x"},
        {Rss("<item><link>/x</link></item>"), "", ""},
        {Rss("<item><link>javascript:alert(1)</link></item>"), kAddress, ""},
        {Rss("<item><link>ftp://news.example/x</link></item>"), kAddress, ""},
        {Rss("<item><link>mailto:a@news.example</link></item>"), kAddress, ""},
        {Rss("<item><link>http:///x</link></item>"), kAddress, ""},
        {Rss("<item><link>/" + std::string(5000, 'a') + "</link></item>"), kAddress, ""},
        {"<feed xmlns=\"http://www.w3.org/2005/Atom\" xml:base=\"https://base.example/a/\">"
         "<entry xml:base=\"b/\"><link xml:base=\"c/\" href=\"d.html\"/></entry></feed>",
         kAddress, "https://base.example/a/b/c/d.html"},
        {"<feed xmlns=\"http://www.w3.org/2005/Atom\" xml:base=\"/root/\">"
         "<entry><link href=\"d.html\"/></entry></feed>",
         kAddress, "http://news.example/root/d.html"},
        {"<rss xml:base=\"http://base.example/x/\"><channel><item><link>y</link></item>"
         "</channel></rss>",
         "", "http://base.example/x/y"},
        {"<feed xmlns=\"http://www.w3.org/2005/Atom\" xml:base=\"/root/\">"
         "<entry><link href=\"d.html\"/></entry></feed>",
         "", ""},
    };
    for (const CLinkCase& c : cases) {
        EXPECT_EQ(Link(c.strFeed, c.strAddress), c.strExpected) << c.strFeed;
    }
}

TEST(ReadFeed, choosesTheLinkThatLeadsToTheArticle) {
    const CTextCase cases[] = {
        {Atom("<entry><link rel=\"self\" href=\"/self\"/><link rel=\"enclosure\" href=\"/e\"/>"
              "<link rel=\"alternate\" type=\"application/pdf\" href=\"/pdf\"/>"
              "<link rel=\"ALTERNATE\" type=\"text/html\" href=\"/page\"/>"
              "<link href=\"/later\"/></entry>"),
         "http://news.example/page"},
        {Atom("<entry><link rel=\"alternate\" type=\"application/pdf\" href=\"/pdf\"/>"
              "<link rel=\"edit\" href=\"/edit\"/></entry>"),
         "http://news.example/pdf"},
        {Atom("<entry><link rel=\"alternate\" href=\"javascript:x\"/><link href=\"/ok\"/></entry>"),
         "http://news.example/ok"},
        {Atom("<entry><id>http://news.example/id</id></entry>"), ""},
        {Rss("<item><guid>http://news.example/g</guid><link>/l</link></item>"),
         "http://news.example/l"},
        {Rss("<item><guid isPermaLink=\"true\">/g</guid></item>"), "http://news.example/g"},
        {Rss("<item><guid isPermaLink=\"false\">http://news.example/g</guid></item>"), ""},
        {Rss("<item><guid>urn:uuid:1234</guid></item>"), ""},
        {Rss("<item><atom:link xmlns:atom=\"http://www.w3.org/2005/Atom\" href=\"/a\"/></item>"),
         ""},
    };
    for (const CTextCase& c : cases) {
        EXPECT_EQ(Link(c.strFeed), c.strExpected) << c.strFeed;
    }
}

TEST(ReadFeed, takesTheFirstReadableTimeInOrderOfPreference) {
    const std::string kDc = " xmlns:dc=\"http://purl.org/dc/elements/1.1/\"";
    struct CTimeCase {
        std::string strFeed;
        std::time_t time;
    } cases[] = {
        {"<rss" + kDc +
             "><channel><item><dc:date>2026-12-08</dc:date>"
             "<pubDate>Tue, 08 Dec 2026 02:47:26 GMT</pubDate></item></channel></rss>",
         1796698046},
        {"<rss" + kDc +
             "><channel><item><pubDate>soon</pubDate><dc:date>2026-12-08</dc:date>"
             "</item></channel></rss>",
         1796688000},
        {Atom("<entry><updated>2026-12-08</updated><published>2026-12-08T02:47:26Z</published>"
              "</entry>"),
         1796698046},
        {Atom("<entry><updated>2026-12-08T00:00:00+01:00</updated></entry>"), 1796684400},
        {"<feed xmlns=\"http://purl.org/atom/ns#\"><entry><modified>2026-12-08</modified>"
         "</entry></feed>",
         1796688000},
        {Rss("<item><pubDate>2026-12-08</pubDate></item>"), 1796688000},
        {Rss("<item><pubDate></pubDate></item>"), 0},
    };
    for (const CTimeCase& c : cases) {
        const CFeed feed = ReadOk(c.strFeed);
        ASSERT_EQ(feed.items.size(), 1u) << c.strFeed;
        EXPECT_EQ(feed.items[0].time, c.time) << c.strFeed;
    }
}

TEST(ReadFeed, saysWhyWhatIsNotAFeedCannotBeRead) {
    struct CFailCase {
        std::string strBytes;
        EFeedStatus status;
        std::string strError;
    } cases[] = {
        {"<!DOCTYPE html>\n<html><head><meta charset=utf-8><title>Home</title></head></html>",
         EFeedStatus::NotAFeed, "not a feed: an HTML page"},
        {"\n <!doctype html><html lang=en><body><p>Hi<br></body></html>", EFeedStatus::NotAFeed,
         "not a feed: an HTML page"},
        {"<html xmlns=\"http://www.w3.org/1999/xhtml\"><body/></html>", EFeedStatus::NotAFeed,
         "not a feed: an HTML page"},
        {"<opml version=\"2.0\"><body/></opml>", EFeedStatus::NotAFeed,
         "not a feed: the document is <opml>"},
        {"<x:feed xmlns:x=\"urn:other\"/>", EFeedStatus::NotAFeed,
         "not a feed: the document is <x:feed>"},
        {"<rss><channel>\n<item><title>a</title>\n</channel></rss>", EFeedStatus::BadXml,
         "XML error at line 3: Opening and ending tag mismatch."},
        {"<rss><channel><item><title>a & b</title></item></channel></rss>", EFeedStatus::BadXml,
         "XML error at line 1: Expected '#' or '[a-zA-Z]', but got ' '."},
        {"<rss><channel>", EFeedStatus::BadXml, "XML error at line 1: Premature end of document."},
        {"", EFeedStatus::BadXml, "XML error at line 1: Premature end of document."},
        {"<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">"
         "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
         "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
         "<rss><channel><item><title>&c;</title></item></channel></rss>",
         EFeedStatus::BadXml,
         "XML error at line 1: Entity expands to more characters than the entity expansion "
         "limit."},
    };
    for (const CFailCase& c : cases) {
        const CFeedResult result = ReadFeed(c.strBytes, kAddress);
        EXPECT_EQ(result.status, c.status) << c.strBytes;
        EXPECT_EQ(result.strError, c.strError) << c.strBytes;
        EXPECT_TRUE(result.feed.items.empty());
    }
}

TEST(ReadFeed, keepsItsLimits) {
    std::string strItems;
    for (size_t i = 0; i < MAX_FEED_ITEMS + 5; ++i) {
        strItems += "<item><title>" + std::to_string(i) + "</title></item>";
    }
    // The rest of a long feed is not read: its error does not count.
    CFeed feed = ReadOk(Rss(strItems) + "<junk>");
    ASSERT_EQ(feed.items.size(), MAX_FEED_ITEMS);
    EXPECT_EQ(feed.items.back().strHeadline, std::to_string(MAX_FEED_ITEMS - 1));

    // Deep nesting is skipped with what it holds; the items around it are read.
    std::string strDeep;
    for (size_t i = 0; i < MAX_FEED_DEPTH + 10; ++i) {
        strDeep = "<x>" + strDeep + "</x>";
    }
    feed = ReadOk(Rss("<item><title>a</title></item>" + strDeep + "<item><title>b</title>" +
                      strDeep + "</item>"));
    ASSERT_EQ(feed.items.size(), 2u);
    EXPECT_EQ(feed.items[1].strHeadline, "b");

    // Headlines are cut at a character boundary.
    const std::string strLong = std::string(NEWS_MAX_HEADLINE - 1, 'a') + "\xC3\xA9";
    EXPECT_EQ(Headline(Rss("<item><title>" + strLong + "</title></item>")),
              std::string(NEWS_MAX_HEADLINE - 1, 'a'));
    EXPECT_EQ(ReadOk(Rss("")).items.size(), 0u);
}

TEST(HtmlToText, readsMarkupThatWouldBeSlowToRescanInLinearTime) {
    // Without care, every "<b" with no ">" after it costs a scan to the end of the text:
    // a title is capped, but a feed holds a thousand of them.
    auto repeat = [](const char* psz) {
        QString str;
        while (str.size() < (1 << 20)) {
            str += QLatin1StringView(psz);
        }
        return str;
    };
    const QString texts[] = {repeat("<b"),
                             repeat("<vector"),
                             repeat("&#1"),
                             repeat("&amp"),
                             "<script>" + repeat("</scrip"),
                             "<!--" + repeat("<b>")};
    for (const QString& strText : texts) {
        for (ETagSet tags : {ETagSet::Any, ETagSet::Known}) {
            const auto start = std::chrono::steady_clock::now();
            const QString strPlain = HtmlToText(strText, tags);
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2))
                << strText.left(20).toStdString();
            EXPECT_LE(strPlain.size(), strText.size());
        }
    }
}

TEST(ToNewsItems, givesTheItemsWithAHeadlineUnderTheSourceName) {
    const CFeed feed =
        ReadOk(Rss("<item><title>One</title><link>/1</link><pubDate>2026-12-08</pubDate></item>"
                   "<item><link>/no-title</link></item><item><title>Two</title></item>"));
    const CNewsItemList items = ToNewsItems(feed, "My news");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->m_strHeadline, "One");
    EXPECT_EQ(items[0]->m_strUrl, "http://news.example/1");
    EXPECT_EQ(items[0]->m_strSource, "My news");
    EXPECT_EQ(items[0]->m_strCluster, "");
    EXPECT_EQ(items[0]->m_time, 1796688000);
    EXPECT_EQ(items[1]->m_strHeadline, "Two");
    EXPECT_EQ(items[1]->m_strUrl, "");
    EXPECT_EQ(items[1]->m_time, 0);
}
