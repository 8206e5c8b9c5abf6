#include "news/FeedDiscovery.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

const std::string kPage = "http://site.example/blog/post.html";

std::string Announce(const std::string& strHref) {
    return "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"" + strHref + "\">";
}

std::vector<std::string> Addresses(const CFeedSourceList& feeds) {
    std::vector<std::string> addresses;
    for (const CFeedSource& feed : feeds) {
        addresses.push_back(feed.strAddress);
    }
    return addresses;
}

}  // namespace

TEST(DiscoverFeeds, findsTheAnnouncedFeedsInPageOrderOnce) {
    const std::string strHtml =
        "<!DOCTYPE html><html><head><title>Post <link rel=alternate "
        "type=application/rss+xml href=/in-title.xml></title>\n"
        "<LINK REL=\"alternate\" TYPE=\"application/rss+xml\" TITLE=\"All news\" "
        "HREF=\"/feed.xml\">\n"
        "<link href='atom.xml' type=' Application/Atom+XML; charset=utf-8' rel='Alternate'/>\n"
        "<link rel=alternate type=application/rss+xml href=//cdn.example/f.rss title=CDN>\n"
        "<link rel=\"alternate stylesheet\" type=\"text/css\" href=\"/s.css\">\n"
        "<link rel=\"stylesheet\" type=\"application/rss+xml\" href=\"/not-alternate.xml\">\n"
        "<link rel=\"alternate\" type=\"text/html\" hreflang=\"fr\" href=\"/fr/\">\n"
        "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"/feed.xml\" title=\"dup\">\n"
        "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"javascript:void(0)\">\n"
        "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"\">\n"
        "<link rel=\"alternate\" type=\"application/rss+xml\">\n"
        "<link title=\"Tom &amp; Jerry&nbsp;news\n\" rel=\"home alternate\" "
        "type=\"application/rss+xml\" href=\"/a?x=1&amp;y=2\" href=\"/second-href\">\n"
        "<!-- <link rel=\"alternate\" type=\"application/rss+xml\" href=\"/commented.xml\"> -->\n"
        "<script>var s = '<link rel=\"alternate\" type=\"application/rss+xml\" "
        "href=\"/script.xml\">';</script >\n"
        "<style>a::after { content: \"<link>\" }</style>"
        "</head><body><p data-x=\"a>b\">text</p>"
        "<link rel=\"alternate\" type=\"application/atom+xml\" "
        "href=\"https://other.example/body.atom\"></body></html>";
    const CFeedSourceList expected = {
        {"All news", "http://site.example/feed.xml"},
        {"", "http://site.example/blog/atom.xml"},
        {"CDN", "http://cdn.example/f.rss"},
        {"Tom & Jerry news", "http://site.example/a?x=1&y=2"},
        {"", "https://other.example/body.atom"},
    };
    EXPECT_EQ(DiscoverFeeds(strHtml, kPage), expected);
}

TEST(DiscoverFeeds, resolvesAgainstTheFirstBaseOrThePage) {
    struct CCase {
        std::string strHtml, strPage;
        std::vector<std::string> addresses;
    } cases[] = {
        {Announce("f.xml") + "<base href=\"/sub/\"><base href=\"/other/\">",
         kPage,
         {"http://site.example/sub/f.xml"}},
        {"<base target=_blank>" + Announce("f.xml") + "<base href=/sub/>",
         kPage,
         {"http://site.example/sub/f.xml"}},
        {"<base href=\"https://b.example/x/\">" + Announce("f.xml"),
         "",
         {"https://b.example/x/f.xml"}},
        {Announce("f.xml") + Announce("https://abs.example/f"), "", {"https://abs.example/f"}},
        {Announce("ftp://site.example/f.xml") + Announce("file:///etc/passwd"), kPage, {}},
        {"", kPage, {}},
    };
    for (const CCase& c : cases) {
        EXPECT_EQ(Addresses(DiscoverFeeds(c.strHtml, c.strPage)), c.addresses) << c.strHtml;
    }
}

TEST(DiscoverFeeds, keepsItsCapAndStopsAtAnUnclosedTag) {
    std::string strHtml;
    for (size_t i = 0; i < MAX_DISCOVERED_FEEDS + 10; ++i) {
        strHtml += Announce("/f" + std::to_string(i));
    }
    const CFeedSourceList feeds = DiscoverFeeds(strHtml, kPage);
    ASSERT_EQ(feeds.size(), MAX_DISCOVERED_FEEDS);
    EXPECT_EQ(feeds.back().strAddress,
              "http://site.example/f" + std::to_string(MAX_DISCOVERED_FEEDS - 1));

    EXPECT_EQ(Addresses(DiscoverFeeds(Announce("/a") + "<p title=\"open" + Announce("/b"), kPage)),
              std::vector<std::string>{"http://site.example/a"});
    EXPECT_EQ(Addresses(DiscoverFeeds(Announce("/a") + "<script>" + Announce("/b"), kPage)),
              std::vector<std::string>{"http://site.example/a"});
}

TEST(DiscoverFeeds, scansPagesThatWouldBeSlowToRescanInLinearTime) {
    auto repeat = [](const std::string& str) {
        std::string strOut;
        while (strOut.size() < (4u << 20)) {
            strOut += str;
        }
        return strOut;
    };
    for (const std::string& strHtml :
         {repeat("<a "), repeat("</"), repeat("<"), "<script>" + repeat("</scrip"), repeat("<!"),
          repeat("<link rel=alternate type=application/rss+xml href=/x>")}) {
        const auto start = std::chrono::steady_clock::now();
        const CFeedSourceList feeds = DiscoverFeeds(strHtml, kPage);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_LE(feeds.size(), 1u);
    }
}
