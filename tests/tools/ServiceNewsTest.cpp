// The news side of the local reference service: catalogue, feeds, article pages and the
// fixed content that tests of the client serve through it.

#include "ServiceFeeds.h"
#include "ServiceFixture.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <set>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------
// Generated news. Hourly articles make one feed of 30 span both halves of the day.

constexpr int kInterval = 3600;
constexpr size_t kFeedSize = 30;

class ServiceNewsTest : public SharedServiceTest<ServiceNewsTest> {
public:
    static std::vector<std::string> Flags(const CServiceProcess&) {
        return {"--article-interval", std::to_string(kInterval),
                "--feed-size",        std::to_string(kFeedSize),
                "--slow-delay",       "1"};
    }

protected:
    // The sources that answer at once, from the catalogue as the client gets it.
    static std::vector<CCatalogueEntry> ImmediateSources() {
        std::vector<CCatalogueEntry> arrSources;
        for (const CCatalogueEntry& entry :
             ParseCatalogue(HttpGet(Port(), "/feed_list/in_feeds.txt").strBody)) {
            if (StartsWith(entry.strUrl, "http://" + s_pService->HostPort() + "/") &&
                !EndsWith(entry.strUrl, "/slow.xml") && !EndsWith(entry.strUrl, "/broken.xml")) {
                arrSources.push_back(entry);
            }
        }
        return arrSources;
    }
};

TEST_F(ServiceNewsTest, catalogueListsEverySourceAtTheRequestedHost) {
    const std::string strHost = "news.example.test:8123";
    CHttpReply reply = HttpGet(Port(), "/feed_list/in_feeds.txt", strHost);
    ASSERT_EQ(reply.nStatus, 200);
    EXPECT_EQ(reply.strContentType, "text/plain");
    EXPECT_TRUE(EndsWith(reply.strBody, "\n"));
    EXPECT_EQ(reply.strBody.find('\r'), std::string::npos);

    std::vector<CCatalogueEntry> arrEntries = ParseCatalogue(reply.strBody);
    std::set<std::string> setNames;
    size_t nAtHost = 0;
    std::vector<std::string> arrElsewhere;
    for (const CCatalogueEntry& entry : arrEntries) {
        setNames.insert(entry.strName);
        if (StartsWith(entry.strUrl, "http://" + strHost + "/feeds/")) {
            ++nAtHost;
        } else {
            arrElsewhere.push_back(entry.strUrl);
        }
    }
    EXPECT_EQ(setNames.size(), arrEntries.size()) << "source names repeat";
    EXPECT_GE(nAtHost, 8u);  // six or more regular sources, the slow and the broken one
    EXPECT_NE(reply.strBody.find("http://" + strHost + "/feeds/slow.xml\n"), std::string::npos);
    EXPECT_NE(reply.strBody.find("http://" + strHost + "/feeds/broken.xml\n"), std::string::npos);

    // The one source elsewhere cannot be reached at all.
    ASSERT_EQ(arrElsewhere.size(), 1u);
    EXPECT_EQ(HttpGetUrl(arrElsewhere[0]).nStatus, -1) << arrElsewhere[0];

    // A Host header that is not a host name is not echoed.
    reply = HttpGet(Port(), "/feed_list/in_feeds.txt", "evil<script>:1");
    EXPECT_EQ(reply.strBody.find("evil"), std::string::npos);
    EXPECT_NE(reply.strBody.find("http://" + s_pService->HostPort() + "/feeds/"),
              std::string::npos);
}

TEST_F(ServiceNewsTest, feedsHaveTheFixedStructureAndClockTimes) {
    std::vector<CCatalogueEntry> arrSources = ImmediateSources();
    ASSERT_GE(arrSources.size(), 6u);
    std::set<std::string> setClusters;
    bool bEscapedAmpersand = false;
    const std::set<std::string> setAllowedTags = {
        "xml",    "moreovernews", "article", "url",          "headline_text",
        "source", "media_type",   "cluster", "harvest_time", "access_status"};
    for (const CCatalogueEntry& source : arrSources) {
        std::time_t now = std::time(nullptr);
        CHttpReply reply = HttpGetUrl(source.strUrl);
        ASSERT_EQ(reply.nStatus, 200) << source.strUrl;
        EXPECT_EQ(reply.strContentType, "text/xml");

        for (const std::string& strTag : TagNames(reply.strBody)) {
            EXPECT_TRUE(setAllowedTags.count(strTag)) << strTag;
        }

        std::vector<CFeedArticle> arrArticles = ParseFeed(reply.strBody);
        ASSERT_EQ(arrArticles.size(), kFeedSize) << source.strUrl;
        std::string strSlug = source.strUrl.substr(source.strUrl.rfind('/') + 1);
        strSlug.resize(strSlug.size() - 4);
        std::set<std::string> setSuffixes;
        for (size_t i = 0; i < arrArticles.size(); ++i) {
            const CFeedArticle& article = arrArticles[i];
            EXPECT_EQ(article.strUrl, "http://" + s_pService->HostPort() + "/articles/" + strSlug +
                                          "/" + std::to_string(article.nId) + ".html");
            EXPECT_EQ(Unescape(article.strSource), source.strName);
            EXPECT_FALSE(article.strHeadline.empty());
            EXPECT_EQ(article.strHeadline.find('!'), std::string::npos) << article.strHeadline;
            // Every '&' on the wire starts an entity.
            EXPECT_TRUE(AmpersandsAreEscaped(article.strHeadline)) << article.strHeadline;
            bEscapedAmpersand |= article.strHeadline.find("&amp;") != std::string::npos;
            setClusters.insert(article.strCluster);
            setSuffixes.insert(article.strHarvestTime.substr(article.strHarvestTime.size() - 2));
            if (i > 0) {
                // Newest first, one interval apart: 12-hour times convert back exactly.
                EXPECT_EQ(article.nId, arrArticles[i - 1].nId - 1);
                EXPECT_EQ(arrArticles[i - 1].time - article.time, kInterval)
                    << arrArticles[i - 1].strHarvestTime << " / " << article.strHarvestTime;
            }
        }
        // The newest article has appeared, and within the last interval.
        EXPECT_LE(arrArticles[0].time, now);
        EXPECT_GT(arrArticles[0].time, now - kInterval - 60);
        EXPECT_EQ(setSuffixes, (std::set<std::string>{"AM", "PM"}));
    }
    EXPECT_TRUE(bEscapedAmpersand) << "no generated headline contains '&'";
    EXPECT_GE(setClusters.size(), 6u) << "sources should cover varied topics";
}

TEST_F(ServiceNewsTest, headlinesRarelyRepeat) {
    for (const CCatalogueEntry& source : ImmediateSources()) {
        std::set<std::string> setHeadlines;
        for (const CFeedArticle& article : ParseFeed(HttpGetUrl(source.strUrl).strBody)) {
            setHeadlines.insert(article.strHeadline);
        }
        EXPECT_GE(setHeadlines.size(), kFeedSize * 9 / 10) << source.strName;
    }
}

TEST_F(ServiceNewsTest, aRestartedServiceServesTheSameArticles) {
    CServiceProcess second;
    ASSERT_TRUE(second.Start(Flags(second)));
    const std::string strTarget = "/feeds/riverton-ledger.xml";
    const std::string strHost = "same.example.test";
    // Retried once in case a new article appeared between the requests.
    for (int nTry = 0; nTry < 2; ++nTry) {
        std::string strFirst = HttpGet(Port(), strTarget, strHost).strBody;
        std::string strSecond = HttpGet(second.Port(), strTarget, strHost).strBody;
        if (strFirst == HttpGet(Port(), strTarget, strHost).strBody) {
            EXPECT_EQ(strFirst, strSecond);
            EXPECT_EQ(ParseFeed(strFirst).size(), kFeedSize);
            return;
        }
    }
    ADD_FAILURE() << "the feed kept changing";
}

TEST_F(ServiceNewsTest, brokenFeedFailsAndUnknownFeedsAreMissing) {
    CHttpReply reply = HttpGet(Port(), "/feeds/broken.xml");
    EXPECT_EQ(reply.nStatus, 500);
    EXPECT_EQ(reply.strContentType, "text/plain");
    for (const char* szTarget : {"/feeds/no-such-source.xml", "/feeds/unreachable.xml",
                                 "/feeds/riverton-ledger.txt", "/feeds/riverton-ledger.xml/x"}) {
        EXPECT_EQ(HttpGet(Port(), szTarget).nStatus, 404) << szTarget;
    }
}

TEST_F(ServiceNewsTest, slowFeedAnswersAfterTheDelay) {
    auto start = std::chrono::steady_clock::now();
    CHttpReply reply = HttpGet(Port(), "/feeds/slow.xml");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(950));
    ASSERT_EQ(reply.nStatus, 200);
    EXPECT_EQ(ParseFeed(reply.strBody).size(), kFeedSize);
}

TEST_F(ServiceNewsTest, articlePagesMatchTheirFeedEntries) {
    CHttpReply feed = HttpGet(Port(), "/feeds/lantern-arts.xml");
    std::vector<CFeedArticle> arrArticles = ParseFeed(feed.strBody);
    ASSERT_FALSE(arrArticles.empty());
    for (size_t i = 0; i < 3; ++i) {
        CHttpReply page = HttpGetUrl(arrArticles[i].strUrl);
        ASSERT_EQ(page.nStatus, 200) << arrArticles[i].strUrl;
        EXPECT_EQ(page.strContentType, "text/html");
        EXPECT_NE(page.strBody.find("<title>" + arrArticles[i].strHeadline + "</title>"),
                  std::string::npos);
        EXPECT_NE(page.strBody.find(arrArticles[i].strSource), std::string::npos);
        EXPECT_NE(page.strBody.find("<p>"), std::string::npos);
    }
    std::string strBase = "/articles/lantern-arts/";
    EXPECT_EQ(HttpGet(Port(), strBase + "5.html").nStatus, 200);  // long ago still exists
    long long nNext = arrArticles[0].nId + 1;
    for (const std::string& strTarget :
         {strBase + std::to_string(nNext) + ".html",
          strBase + std::to_string(nNext + 1000) + ".html", strBase + "abc.html",
          strBase + "99999999999999999999.html", std::string("/articles/no-such-source/5.html"),
          std::string("/articles/broken/5.html")}) {
        EXPECT_EQ(HttpGet(Port(), strTarget).nStatus, 404) << strTarget;
    }
}

// ---------------------------------------------------------------------------------------
// Fixed content: a catalogue file and a directory of files, served as they are.

const std::string kAlphaFeed =
    "<?xml version=\"1.0\"?>\r\n<moreovernews>\r\n<article id=\"_1\">\r\n"
    "<headline_text>Exact &amp; verbatim</headline_text>\r\n</article>\r\n</moreovernews>";
const std::string kSecret = "top-secret-marker";

class ServiceFixedContentTest : public SharedServiceTest<ServiceFixedContentTest> {
public:
    static std::vector<std::string> Flags(const CServiceProcess& service) {
        service.WriteFile("catalogue.txt",
                          "Alpha Wire<!!div!!>http://{HOST}/static/alpha.xml\r\n"
                          "Beta Wire<!!div!!>http://{HOST}/static/notes.txt\r\n");
        service.WriteFile("files/alpha.xml", kAlphaFeed);
        service.WriteFile("files/notes.txt", "plain notes\n");
        service.WriteFile("files/page.html", "<p>page</p>\n");
        service.WriteFile("files/sub/inner.xml", kSecret);
        service.WriteFile("secret.txt", kSecret);
        return {"--catalogue", service.Path("catalogue.txt"), "--static-dir",
                service.Path("files")};
    }
};

TEST_F(ServiceFixedContentTest, catalogueFileIsServedWithTheHostFilledIn) {
    CHttpReply reply = HttpGet(Port(), "/feed_list/in_feeds.txt");
    ASSERT_EQ(reply.nStatus, 200);
    EXPECT_EQ(reply.strContentType, "text/plain");
    std::string strHost = s_pService->HostPort();
    EXPECT_EQ(reply.strBody, "Alpha Wire<!!div!!>http://" + strHost +
                                 "/static/alpha.xml\nBeta Wire<!!div!!>http://" + strHost +
                                 "/static/notes.txt\n");

    // Following the catalogue leads to the files exactly as they are on disk.
    std::vector<CCatalogueEntry> arrEntries = ParseCatalogue(reply.strBody);
    ASSERT_EQ(arrEntries.size(), 2u);
    CHttpReply alpha = HttpGetUrl(arrEntries[0].strUrl);
    EXPECT_EQ(alpha.nStatus, 200);
    EXPECT_EQ(alpha.strContentType, "text/xml");
    EXPECT_EQ(alpha.strBody, kAlphaFeed);
    CHttpReply notes = HttpGetUrl(arrEntries[1].strUrl);
    EXPECT_EQ(notes.strContentType, "text/plain");
    EXPECT_EQ(notes.strBody, "plain notes\n");
    EXPECT_EQ(HttpGet(Port(), "/static/page.html").strContentType, "text/html");
    EXPECT_EQ(HttpGet(Port(), "/static/missing.xml").nStatus, 404);
}

TEST_F(ServiceFixedContentTest, namesLeavingTheDirectoryAreRefused) {
    for (const char* szTarget :
         {"/static/../secret.txt", "/static/..%2Fsecret.txt", "/static/%2E%2E%2Fsecret.txt",
          "/static/%2e%2e/secret.txt", "/static/..", "/static/..%5Csecret.txt",
          "/static/sub/inner.xml", "/static/sub%2Finner.xml", "/static/%2Fetc%2Fpasswd",
          "/static/"}) {
        CHttpReply reply = HttpGet(Port(), szTarget);
        EXPECT_TRUE(reply.nStatus == 403 || reply.nStatus == 404 || reply.nStatus == 400)
            << szTarget << " gave " << reply.nStatus;
        EXPECT_EQ(reply.strBody.find(kSecret), std::string::npos) << szTarget;
    }
}

}  // namespace
