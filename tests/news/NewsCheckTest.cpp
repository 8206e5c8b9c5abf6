#include "news/NewsCheck.h"

#include "news/CNewsItem.h"
#include "tests/support/CServiceProcess.h"
#include "tests/support/TestSupport.h"
#include "util/AppFiles.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

using testing_support::CLocalHttpServer;
using testing_support::CTempAppDir;
using testing_support::PumpEvents;
using testing_support::UnusedPort;
using testing_support::WaitFor;
using namespace std::chrono_literals;

namespace {

// Takes what a check posts, as the news window would.
class CNewsReceiver final : public QObject {
public:
    CWindowHandle Handle() const { return m_pHandle ? m_pHandle->Handle() : 0; }
    void Vanish() { m_pHandle.reset(); }

    std::vector<int> m_messages;
    std::vector<std::string> m_headlines;
    std::vector<std::string> m_sources;
    PastNewsIndex m_index;

protected:
    bool event(QEvent* pEvent) override {
        auto* pApp = dynamic_cast<CAppEvent*>(pEvent);
        if (!pApp) {
            return QObject::event(pEvent);
        }
        m_messages.push_back(pApp->Message());
        if (auto* pItems = pApp->WParam<CNewsItemList>()) {
            for (const auto& pItem : *pItems) {
                m_headlines.push_back(pItem->m_strHeadline);
                m_sources.push_back(pItem->m_strSource);
            }
        }
        if (auto* pIndex = pApp->WParam<PastNewsIndex>()) {
            m_index = *pIndex;
        }
        return true;
    }

private:
    std::unique_ptr<CHandleRegistration> m_pHandle = std::make_unique<CHandleRegistration>(this);
};

std::string Article(const std::string& strSource, const std::string& strHeadline,
                    const std::string& strTime = "Dec 6 2001 5:43PM") {
    return "<article id=\"x\">\n<url>http://example.org/" + strHeadline.substr(0, 3) +
           "</url>\n<headline_text>" + strHeadline + "</headline_text>\n<source>" + strSource +
           "</source>\n<harvest_time>" + strTime + "</harvest_time>\n<cluster>c</cluster>\n"
           "</article>\n";
}

std::string Feed(const std::string& strArticles) {
    return "<?xml version=\"1.0\"?>\n<moreovernews>\n" + strArticles + "</moreovernews>\n";
}

class NewsCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_server.Server().Get(R"(/feeds/(\w+))", [this](const httplib::Request& req,
                                                         httplib::Response& res) {
            ++m_nRequests;
            auto it = m_feeds.find(req.matches[1]);
            if (it == m_feeds.end()) {
                res.status = 404;
                return;
            }
            res.set_content(it->second, "text/xml");
        });
        m_server.Start();
    }

    // Catalogue of every feed the test set, plus one that cannot be reached.
    void WriteFiles(const std::vector<std::string>& chosen) {
        std::string strCatalogue;
        for (const auto& [strName, strFeed] : m_feeds) {
            strCatalogue += strName + "<!!div!!>" + m_server.Url("/feeds/" + strName) + "\r\n";
        }
        strCatalogue += "Missing<!!div!!>" + m_server.Url("/feeds/missing") + "\r\n";
        strCatalogue += "Down<!!div!!>http://127.0.0.1:" + std::to_string(UnusedPort()) + "/\r\n";
        m_dir.Write("in_feeds.txt", strCatalogue);
        SaveListFile("kim_out_feeds.txt", chosen);
    }

    void RunCheck(int nMaxParallel = 8) {
        NewsThreadParams params;
        params.hWnd = m_receiver.Handle();
        params.strUser = "kim";
        params.nMaxParallel = nMaxParallel;
        std::thread(NewsThreadProc, params).join();
        PumpEvents(30ms);
    }

    CTempAppDir m_dir;
    CNewsReceiver m_receiver;
    std::map<std::string, std::string> m_feeds;
    std::atomic<int> m_nRequests{0};
    CLocalHttpServer m_server;
};

}  // namespace

TEST_F(NewsCheckTest, keepsNewHeadlinesInFileOrderAndMarksThemSeen) {
    m_feeds["alpha"] = Feed(Article("Alpha Post", "A one") + Article("Alpha Post", "A two"));
    m_feeds["beta"] = Feed(Article("Beta Times", "B one &amp; more"));
    WriteFiles({"beta", "Unknown", "alpha"});
    RunCheck();
    EXPECT_EQ(m_receiver.m_messages, (std::vector<int>{UM_NEWS_INDEX, UM_NEWS_ITEMS}));
    EXPECT_EQ(m_receiver.m_headlines,
              (std::vector<std::string>{"B one & more", "A one", "A two"}));
    CStringMap seen;
    LoadMapFile("kim_seenurls.txt", seen);
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen.count("B one & more"), 1u);
    EXPECT_NEAR(std::stoll(seen["A one"]), std::time(nullptr), 5);
    ASSERT_EQ(m_receiver.m_index.size(), 2u);
    EXPECT_EQ(m_receiver.m_index["Beta Times"].size(), 1u);

    // Nothing is new the second time, but the index still lists every article.
    m_receiver.m_headlines.clear();
    RunCheck();
    EXPECT_TRUE(m_receiver.m_headlines.empty());
    EXPECT_EQ(m_receiver.m_index["Alpha Post"].size(), 2u);
}

TEST_F(NewsCheckTest, headlineSeenAnywhereNeverComesAgain) {
    m_feeds["alpha"] = Feed(Article("Alpha", "Same story") + Article("Alpha", "Same story"));
    m_feeds["beta"] = Feed(Article("Beta", "Same story"));
    WriteFiles({"alpha", "beta", "alpha"});
    RunCheck();
    EXPECT_EQ(m_receiver.m_headlines, std::vector<std::string>{"Same story"});
    EXPECT_EQ(m_receiver.m_sources, std::vector<std::string>{"Alpha"});
    EXPECT_EQ(m_nRequests, 3);  // a source named twice is fetched twice
}

TEST_F(NewsCheckTest, keepsTwentyAndLeavesTheRestUnmarkedForNextTime) {
    std::string strArticles;
    for (int i = 0; i < 25; ++i) {
        strArticles += Article("Big", "Story " + std::to_string(i));
    }
    m_feeds["big"] = Feed(strArticles);
    WriteFiles({"big"});
    RunCheck();
    ASSERT_EQ(m_receiver.m_headlines.size(), 20u);
    EXPECT_EQ(m_receiver.m_headlines.front(), "Story 0");
    EXPECT_EQ(m_receiver.m_headlines.back(), "Story 19");
    EXPECT_EQ(m_receiver.m_index["Big"].size(), 25u);

    m_receiver.m_headlines.clear();
    RunCheck();
    EXPECT_EQ(m_receiver.m_headlines,
              (std::vector<std::string>{"Story 20", "Story 21", "Story 22", "Story 23",
                                        "Story 24"}));
}

TEST_F(NewsCheckTest, unreachableSourcesPostOfflineAndErrorsAreSkipped) {
    m_feeds["alpha"] = Feed(Article("Alpha", "Fine"));
    WriteFiles({"Down", "Missing", "alpha", "Down"});
    RunCheck();
    EXPECT_EQ(m_receiver.m_messages, (std::vector<int>{UM_NEWS_OFFLINE, UM_NEWS_OFFLINE,
                                                       UM_NEWS_INDEX, UM_NEWS_ITEMS}));
    EXPECT_EQ(m_receiver.m_headlines, std::vector<std::string>{"Fine"});
}

TEST_F(NewsCheckTest, brokenArticlesEndTheLoopAsTheCutterSays) {
    m_feeds["alpha"] = Feed(Article("A", "First") + "<article></article>\n" + Article("A", "Lost"));
    m_feeds["beta"] = Feed("<article><headline_text>Open</headline_text>\n" +
                           Article("B", "Joined"));
    m_feeds["gamma"] = "no feed element here";
    WriteFiles({"alpha"});
    RunCheck();
    EXPECT_EQ(m_receiver.m_headlines, std::vector<std::string>{"First"});

    m_receiver.m_headlines.clear();
    m_receiver.m_sources.clear();
    WriteFiles({"beta", "gamma"});
    RunCheck();
    // The article without its own closing tag runs into the next: one item, first fields.
    EXPECT_EQ(m_receiver.m_headlines, std::vector<std::string>{"Open"});
    EXPECT_EQ(m_receiver.m_sources, std::vector<std::string>{"B"});
}

TEST_F(NewsCheckTest, missingFilesGiveAnEmptyCompletedCheck) {
    RunCheck();
    EXPECT_EQ(m_receiver.m_messages, (std::vector<int>{UM_NEWS_INDEX, UM_NEWS_ITEMS}));
    EXPECT_TRUE(m_receiver.m_headlines.empty());
    EXPECT_TRUE(m_receiver.m_index.empty());
    EXPECT_TRUE(m_dir.Exists("kim_seenurls.txt"));
}

TEST_F(NewsCheckTest, labelsOfBadTimesSayInvalidTime) {
    m_feeds["alpha"] = Feed(Article("Alpha", "Undated", "sometime soon"));
    WriteFiles({"alpha"});
    RunCheck();
    ASSERT_EQ(m_receiver.m_index["Alpha"].size(), 1u);
    EXPECT_EQ(m_receiver.m_index["Alpha"].begin()->first, "invalid time - Undated");
}

TEST_F(NewsCheckTest, windowGoneStopsWithoutWritingOrPosting) {
    m_feeds["alpha"] = Feed(Article("Alpha", "Never shown"));
    WriteFiles({"alpha"});
    m_receiver.Vanish();
    RunCheck();
    EXPECT_TRUE(m_receiver.m_messages.empty());
    EXPECT_FALSE(m_dir.Exists("kim_seenurls.txt"));
}

TEST_F(NewsCheckTest, oldSeenRecordsArePrunedAndTheStoreStaysWellFormed) {
    const long long now = std::time(nullptr);
    m_dir.Write("kim_seenurls.txt",
                "Old<!!div!!>" + std::to_string(now - 61LL * 86400) + "\r\n" +
                "Recent<!!div!!>" + std::to_string(now - 59LL * 86400) + "\r\n" +
                "Garbage line\r\n");
    m_feeds["alpha"] = Feed(Article("Alpha", "Old") + Article("Alpha", "Recent"));
    WriteFiles({"alpha"});
    RunCheck();
    EXPECT_TRUE(m_receiver.m_headlines.empty());
    std::string strStore = m_dir.Read("kim_seenurls.txt");
    EXPECT_EQ(strStore.find("Old<"), std::string::npos);
    EXPECT_NE(strStore.find("Recent<"), std::string::npos);
    EXPECT_EQ(strStore.find("Garbage"), std::string::npos);
    // Forgotten when the store was written, "Old" is news again.
    RunCheck();
    EXPECT_EQ(m_receiver.m_headlines, std::vector<std::string>{"Old"});
}

TEST_F(NewsCheckTest, overlappingChecksNeverLoseARecord) {
    std::string strArticles;
    for (int i = 0; i < 20; ++i) {
        strArticles += Article("Big", "Story " + std::to_string(i));
    }
    m_feeds["big"] = Feed(strArticles);
    WriteFiles({"big"});
    NewsThreadParams params;
    params.hWnd = m_receiver.Handle();
    params.strUser = "kim";
    std::thread first(NewsThreadProc, params);
    std::thread second(NewsThreadProc, params);
    first.join();
    second.join();
    PumpEvents(30ms);
    // The store is written by one check at a time: each headline is new exactly once.
    EXPECT_EQ(m_receiver.m_headlines.size(), 20u);
    CStringMap seen;
    LoadMapFile("kim_seenurls.txt", seen);
    EXPECT_EQ(seen.size(), 20u);
}

TEST_F(NewsCheckTest, parallelDownloadsGiveTheSequentialResult) {
    std::vector<std::string> chosen;
    for (int nFeed = 0; nFeed < 12; ++nFeed) {
        std::string strName = "f" + std::to_string(nFeed);
        std::string strArticles;
        for (int i = 0; i < 3; ++i) {
            strArticles += Article(strName, strName + " story " + std::to_string(i));
        }
        m_feeds[strName] = Feed(strArticles);
        chosen.push_back(strName);
    }
    chosen.insert(chosen.begin() + 5, "Down");
    WriteFiles(chosen);
    RunCheck(1);
    std::vector<std::string> sequential = m_receiver.m_headlines;
    std::vector<int> sequentialMessages = m_receiver.m_messages;
    ASSERT_EQ(sequential.size(), 20u);

    m_dir.Write("kim_seenurls.txt", "");
    m_receiver.m_headlines.clear();
    m_receiver.m_messages.clear();
    RunCheck(8);
    EXPECT_EQ(m_receiver.m_headlines, sequential);
    EXPECT_EQ(m_receiver.m_messages, sequentialMessages);
}

TEST(NewsCheckService, readsTheReferenceServicesFeeds) {
    CTempAppDir dir;
    CServiceProcess service;
    ASSERT_TRUE(service.Start({"--slow-delay", "0"}));
    std::string strCatalogue;
    ASSERT_EQ(HttpGet("http://" + service.HostPort() + "/feed_list/in_feeds.txt", strCatalogue),
              200);
    dir.Write("in_feeds.txt", ToCrLf(strCatalogue));
    CStringMap catalogue;
    LoadMapFile("in_feeds.txt", catalogue);
    std::vector<std::string> names;
    for (const auto& [strName, strUrl] : catalogue) {
        names.push_back(strName);
    }
    SaveListFile("kim_out_feeds.txt", names);

    CNewsReceiver receiver;
    NewsThreadParams params;
    params.hWnd = receiver.Handle();
    params.strUser = "kim";
    std::thread(NewsThreadProc, params).join();
    ASSERT_TRUE(WaitFor([&] { return receiver.m_messages.size() >= 3; }));
    EXPECT_EQ(receiver.m_headlines.size(), 20u);
    // One source of the service cannot be reached.
    EXPECT_EQ(std::count(receiver.m_messages.begin(), receiver.m_messages.end(), UM_NEWS_OFFLINE),
              1);
    EXPECT_GE(receiver.m_index.size(), 5u);
    for (const std::string& strHeadline : receiver.m_headlines) {
        EXPECT_EQ(strHeadline.find("&amp;"), std::string::npos) << strHeadline;
    }
}
