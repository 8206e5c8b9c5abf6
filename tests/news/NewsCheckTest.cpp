#include "news/NewsCheck.h"

#include "news/CNewsItem.h"
#include "news/OwnSources.h"
#include "platform/CWorkers.h"
#include "tests/support/CServiceProcess.h"
#include "tests/support/TestSupport.h"
#include "util/AppFiles.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>

using testing_support::CLocalHttpServer;
using testing_support::CResumeWorkers;
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
    CSourceStatusMap m_statuses;

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
        if (auto* pStatuses = pApp->LParam<CSourceStatusMap>()) {
            m_statuses = *pStatuses;
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
           "</source>\n<harvest_time>" + strTime +
           "</harvest_time>\n<cluster>c</cluster>\n"
           "</article>\n";
}

std::string Feed(const std::string& strArticles) {
    return "<?xml version=\"1.0\"?>\n<moreovernews>\n" + strArticles + "</moreovernews>\n";
}

// Takes one connection, answers with a header and the start of the body it announces,
// then resets the connection.
class CResettingServer {
public:
    CResettingServer() {
        int nPort = 0;
        m_fd = testing_support::ListenOnLoopback(1, nPort);
        m_strUrl = "http://127.0.0.1:" + std::to_string(nPort) + "/";
        m_thread = std::thread([this] {
            pollfd listener{m_fd, POLLIN, 0};
            if (::poll(&listener, 1, 10000) != 1) {
                return;
            }
            const int fd = ::accept(m_fd, nullptr, nullptr);
            char buffer[4096];
            ::recv(fd, buffer, sizeof buffer, 0);
            const std::string strAnswer =
                "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + Feed("").substr(0, 40);
            ::send(fd, strAnswer.data(), strAnswer.size(), MSG_NOSIGNAL);
            const linger reset{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            ::close(fd);
        });
    }
    ~CResettingServer() {
        m_thread.join();
        ::close(m_fd);
    }
    const std::string& Url() const { return m_strUrl; }

private:
    int m_fd = -1;
    std::string m_strUrl;
    std::thread m_thread;
};

class NewsCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_server.Server().Get(
            R"(/feeds/(\w+))", [this](const httplib::Request& req, httplib::Response& res) {
                ++m_nRequests;
                for (int i = 0; req.matches[1] == "slow" && m_bHoldSlow && i < 2000; ++i) {
                    std::this_thread::sleep_for(5ms);
                }
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
    std::atomic<bool> m_bHoldSlow{false};  // the feed "slow" is answered once this is false
    CLocalHttpServer m_server;
};

}  // namespace

TEST_F(NewsCheckTest, keepsNewHeadlinesInFileOrderAndMarksThemSeen) {
    m_feeds["alpha"] = Feed(Article("Alpha Post", "A one") + Article("Alpha Post", "A two"));
    m_feeds["beta"] = Feed(Article("Beta Times", "B one &amp; more"));
    WriteFiles({"beta", "Unknown", "alpha"});
    RunCheck();
    EXPECT_EQ(m_receiver.m_messages, (std::vector<int>{UM_NEWS_INDEX, UM_NEWS_ITEMS}));
    EXPECT_EQ(m_receiver.m_headlines, (std::vector<std::string>{"B one & more", "A one", "A two"}));
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
    EXPECT_EQ(m_receiver.m_headlines, (std::vector<std::string>{"Story 20", "Story 21", "Story 22",
                                                                "Story 23", "Story 24"}));
}

TEST_F(NewsCheckTest, unreachableSourcesPostOfflineAndErrorsAreSkipped) {
    m_feeds["alpha"] = Feed(Article("Alpha", "Fine"));
    WriteFiles({"Down", "Missing", "alpha", "Down"});
    RunCheck();
    EXPECT_EQ(m_receiver.m_messages,
              (std::vector<int>{UM_NEWS_OFFLINE, UM_NEWS_OFFLINE, UM_NEWS_INDEX, UM_NEWS_ITEMS}));
    EXPECT_EQ(m_receiver.m_headlines, std::vector<std::string>{"Fine"});
}

TEST_F(NewsCheckTest, brokenArticlesEndTheLoopAsTheCutterSays) {
    m_feeds["alpha"] = Feed(Article("A", "First") + "<article></article>\n" + Article("A", "Lost"));
    m_feeds["beta"] =
        Feed("<article><headline_text>Open</headline_text>\n" + Article("B", "Joined"));
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

TEST_F(NewsCheckTest, aStopEndsTheCheckBetweenFeedsWithoutWritingOrPostingMore) {
    CResumeWorkers resume;
    m_feeds["slow"] = Feed(Article("Slow", "Held back"));
    m_feeds["alpha"] = Feed(Article("Alpha", "Never fetched"));
    WriteFiles({"slow", "Down", "alpha"});
    m_bHoldSlow = true;
    NewsThreadParams params;
    params.hWnd = m_receiver.Handle();
    params.strUser = "kim";
    params.nMaxParallel = 1;
    StartNewsThread(params);
    EXPECT_GE(CWorkers::Count(), 1u);
    EXPECT_TRUE(WaitFor([&] { return m_nRequests == 1; }));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(CWorkers::StopAndJoin(10s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    m_bHoldSlow = false;
    PumpEvents(30ms);
    // The download in flight fails as an unreachable source does; no other is tried.
    EXPECT_EQ(m_receiver.m_messages, std::vector<int>{UM_NEWS_OFFLINE});
    EXPECT_EQ(m_nRequests, 1);
    EXPECT_FALSE(m_dir.Exists("kim_seenurls.txt"));
}

TEST_F(NewsCheckTest, oldSeenRecordsArePrunedAndTheStoreStaysWellFormed) {
    const long long now = std::time(nullptr);
    m_dir.Write("kim_seenurls.txt", "Old<!!div!!>" + std::to_string(now - 61LL * 86400) + "\r\n" +
                                        "Recent<!!div!!>" + std::to_string(now - 59LL * 86400) +
                                        "\r\n" + "Garbage line\r\n");
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

TEST_F(NewsCheckTest, offlineIsPostedAsTheDownloadFailsNotAfterTheSlowestFeed) {
    m_feeds["slow"] = Feed(Article("Slow", "Late story"));
    WriteFiles({"slow", "Down"});
    m_bHoldSlow = true;
    NewsThreadParams params;
    params.hWnd = m_receiver.Handle();
    params.strUser = "kim";
    std::thread check(NewsThreadProc, params);
    bool bOfflineWhileSlowHeld = WaitFor([&] { return !m_receiver.m_messages.empty(); }, 5s);
    m_bHoldSlow = false;
    check.join();
    PumpEvents(30ms);
    EXPECT_TRUE(bOfflineWhileSlowHeld);
    EXPECT_EQ(m_receiver.m_messages,
              (std::vector<int>{UM_NEWS_OFFLINE, UM_NEWS_INDEX, UM_NEWS_ITEMS}));
    EXPECT_EQ(m_receiver.m_headlines, std::vector<std::string>{"Late story"});
}

TEST_F(NewsCheckTest, downloadsReleaseFailedBodiesAndLendTheArticlesOfTheRest) {
    std::string strArticles;
    for (int i = 0; i < 40; ++i) {
        strArticles += Article("Big", "Story " + std::to_string(i));
    }
    m_feeds["big"] = Feed(strArticles);
    m_feeds["alpha"] = Feed(Article("Alpha", "Fine"));
    NewsThreadParams params;
    params.hWnd = m_receiver.Handle();
    params.httpOptions.nMaxBody = 2048;  // "big" fails after some of its lines
    std::vector<CFeedDownload> downloads =
        DownloadFeeds({m_server.Url("/feeds/big"), m_server.Url("/feeds/alpha")}, params);
    ASSERT_EQ(downloads.size(), 2u);
    EXPECT_EQ(downloads[0].nStatus, -1);
    EXPECT_EQ(downloads[0].strBody.capacity(), std::string().capacity());
    EXPECT_TRUE(downloads[0].Articles().empty());
    ASSERT_EQ(downloads[1].nStatus, 200);
    // The articles are read where they lie in the body, not copied out of it.
    std::string_view articles = downloads[1].Articles();
    EXPECT_EQ(articles, "\n" + Article("Alpha", "Fine"));
    const std::string& strBody = downloads[1].strBody;
    EXPECT_TRUE(articles.data() > strBody.data() &&
                articles.data() + articles.size() < strBody.data() + strBody.size());
}

TEST_F(NewsCheckTest, seenTimesOutOfRangeAreClampedWhereRead) {
    m_dir.Write("kim_seenurls.txt",
                "Lowest<!!div!!>-9223372036854775808\r\n"
                "Highest<!!div!!>9223372036854775807\r\n"
                "Beyond<!!div!!>99999999999999999999999\r\n"
                "Garbage<!!div!!>12abc\r\n"
                "Empty<!!div!!>\r\n");
    m_feeds["alpha"] =
        Feed(Article("A", "Lowest") + Article("A", "Highest") + Article("A", "Beyond") +
             Article("A", "Garbage") + Article("A", "Empty"));
    WriteFiles({"alpha"});
    RunCheck();
    // Stored, so seen this time. Times past now read as now; unreadable ones as expired,
    // which outnumber the live records, so the store is compacted without them.
    EXPECT_TRUE(m_receiver.m_headlines.empty());
    CStringMap seen;
    LoadMapFile("kim_seenurls.txt", seen);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_NEAR(std::stoll(seen["Highest"]), std::time(nullptr), 5);
    EXPECT_NEAR(std::stoll(seen["Beyond"]), std::time(nullptr), 5);
    RunCheck();
    EXPECT_EQ(m_receiver.m_headlines, (std::vector<std::string>{"Lowest", "Garbage", "Empty"}));
}

TEST_F(NewsCheckTest, seenStoreAppendsOnlyNewRecordsAndCompactsWhenDeadLinesOutweighLive) {
    const std::string strTime = std::to_string(std::time(nullptr) - 3600);
    std::string strStore;
    for (int i = 0; i < 30; ++i) {
        strStore += "Kept " + std::to_string(i) + "<!!div!!>" + strTime + "\r\n";
    }
    strStore += "One<!!div!!>" + strTime + "\r\nTorn<!!div!!>17";  // a killed append's last line
    m_dir.Write("kim_seenurls.txt", strStore);
    const std::string strPath = m_dir.FilePath("kim_seenurls.txt");
    auto fileState = [&] {
        struct stat st {};
        ::stat(strPath.c_str(), &st);
        return std::make_tuple(st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    };
    m_feeds["alpha"] = Feed(Article("Alpha", "One"));
    WriteFiles({"alpha"});
    auto before = fileState();
    RunCheck();
    EXPECT_TRUE(m_receiver.m_headlines.empty());
    EXPECT_EQ(fileState(), before);  // nothing new: not a byte written

    m_feeds["alpha"] = Feed(Article("Alpha", "One") + Article("Alpha", "Two"));
    RunCheck();
    EXPECT_EQ(m_receiver.m_headlines, std::vector<std::string>{"Two"});
    std::string strAfter = m_dir.Read("kim_seenurls.txt");
    ASSERT_EQ(strAfter.substr(0, strStore.size()), strStore);
    // On a line of its own, after the torn one.
    const std::string strAppended = strAfter.substr(strStore.size());
    const std::string strStart = "\r\nTwo<!!div!!>";
    ASSERT_EQ(strAppended.substr(0, strStart.size()), strStart);
    EXPECT_NEAR(std::stoll(strAppended.substr(strStart.size())), std::time(nullptr), 5);
    EXPECT_EQ(strAppended.substr(strAppended.size() - 2), "\r\n");

    std::string strDead = "Garbage line\r\n";
    for (int i = 0; i < 5; ++i) {
        strDead += "One<!!div!!>" + std::to_string(std::time(nullptr) - 100 + i) + "\r\n";
    }
    m_dir.Write("kim_seenurls.txt", strDead + "Two<!!div!!>" + strTime + "\r\n");
    CStringMap expected;
    LoadMapFile("kim_seenurls.txt", expected);
    before = fileState();
    RunCheck();
    EXPECT_NE(std::get<0>(fileState()), std::get<0>(before));  // replaced whole
    CStringMap compacted;
    LoadMapFile("kim_seenurls.txt", compacted);
    EXPECT_EQ(compacted, expected);
    EXPECT_EQ(SplitLines(m_dir.Read("kim_seenurls.txt")).size(), 2u);
}

TEST_F(NewsCheckTest, hostileSourcesEndWithinTheLimitsAndTheOthersAreStillShown) {
    std::atomic<bool> bStop{false};
    CLocalHttpServer hostile;
    auto& server = hostile.Server();
    server.Get("/stall", [&](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/xml", [&](size_t, httplib::DataSink& sink) {
            sink.write("<moreovernews>\n", 15);
            for (int i = 0; i < 2000 && !bStop; ++i) {
                std::this_thread::sleep_for(10ms);
            }
            return false;
        });
    });
    server.Get("/loop",
               [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/loop"); });
    server.Get("/to-file", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("file:///etc/passwd");
    });
    server.Get("/huge", [&](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/xml", [&](size_t nOffset, httplib::DataSink& sink) {
            static const std::string s_strChunk(1 << 20, 'x');
            if (bStop || nOffset >= (100u << 20)) {
                sink.done();
                return true;
            }
            return sink.write(s_strChunk.data(), s_strChunk.size());
        });
    });
    hostile.Start();
    CResettingServer reset;

    m_feeds["alpha"] = Feed(Article("Alpha", "Still here"));
    m_dir.Write("in_feeds.txt",
                "Alpha<!!div!!>" + m_server.Url("/feeds/alpha") + "\r\nStall<!!div!!>" +
                    hostile.Url("/stall") + "\r\nLoop<!!div!!>" + hostile.Url("/loop") +
                    "\r\nToFile<!!div!!>" + hostile.Url("/to-file") + "\r\nHuge<!!div!!>" +
                    hostile.Url("/huge") + "\r\nReset<!!div!!>" + reset.Url() + "\r\n");
    SaveListFile("kim_out_feeds.txt", {"Stall", "Loop", "ToFile", "Huge", "Reset", "Alpha"});
    const std::string strSeen =
        "Old story<!!div!!>" + std::to_string(std::time(nullptr) - 3600) + "\r\n";
    m_dir.Write("kim_seenurls.txt", strSeen);

    NewsThreadParams params;
    params.hWnd = m_receiver.Handle();
    params.strUser = "kim";
    params.httpOptions.stallTime = 1s;
    params.httpOptions.deadline = 3s;
    const auto start = std::chrono::steady_clock::now();
    std::thread(NewsThreadProc, params).join();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    bStop = true;
    PumpEvents(30ms);

    // The stalled source holds on for 20 s; the limits end every download long before.
    EXPECT_LT(elapsed, 10s);
    EXPECT_EQ(m_receiver.m_messages,
              (std::vector<int>{UM_NEWS_OFFLINE, UM_NEWS_OFFLINE, UM_NEWS_OFFLINE, UM_NEWS_OFFLINE,
                                UM_NEWS_OFFLINE, UM_NEWS_INDEX, UM_NEWS_ITEMS}));
    EXPECT_EQ(m_receiver.m_headlines, std::vector<std::string>{"Still here"});
    const std::string strStore = m_dir.Read("kim_seenurls.txt");
    EXPECT_EQ(strStore.substr(0, strSeen.size()), strSeen);
    CStringMap seen;
    LoadMapFile("kim_seenurls.txt", seen);
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen.count("Still here"), 1u);
}

TEST_F(NewsCheckTest, ownFeedsJoinTheCheckAndAnUnchangedOneCostsAShortAnswer) {
    const std::string strRss =
        "<rss version=\"2.0\"><channel><title>Blog</title>"
        "<item><title>Own &amp; first</title><link>/posts/1</link>"
        "<pubDate>Thu, 06 Dec 2001 17:43:00 +0100</pubDate></item>"
        "<item><title type=\"html\">&lt;b&gt;Own second&lt;/b&gt;</title>"
        "<link>http://example.org/2</link></item></channel></rss>" +
        std::string(4000, ' ');
    std::vector<std::string> conditions;
    std::mutex mutex;
    m_server.Server().Get("/own/blog", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(mutex);
        conditions.push_back(req.get_header_value("If-None-Match") + "|" +
                             req.get_header_value("If-Modified-Since") + "|" +
                             req.get_header_value("Cache-Control"));
        if (req.get_header_value("If-None-Match") == "\"v1\"") {
            res.status = 304;
            return;
        }
        res.set_header("ETag", "\"v1\"");
        res.set_header("Last-Modified", "Thu, 06 Dec 2001 17:43:00 GMT");
        // Sent compressed when asked: deflate is zlib's stream, qCompress's after its length.
        if (req.get_header_value("Accept-Encoding").find("deflate") != std::string::npos) {
            const QByteArray zipped = qCompress(QByteArray::fromStdString(strRss)).mid(4);
            res.set_header("Content-Encoding", "deflate");
            res.set_content(zipped.toStdString(), "application/rss+xml");
        } else {
            res.set_content(strRss, "application/rss+xml");
        }
    });
    m_server.Server().Get("/own/broken", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<rss>\n<channel>\n<item></channel>", "application/rss+xml");
    });
    m_server.Server().Get("/own/page", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<html><body>hello</body></html>", "text/html");
    });
    m_feeds["alpha"] = Feed(Article("Alpha Post", "A one"));
    WriteFiles({"alpha", "Missing", "Down"});
    ASSERT_TRUE(SaveOwnSources("kim", {{"Blog", m_server.Url("/own/blog")},
                                       {"Broken", m_server.Url("/own/broken")},
                                       {"Page", m_server.Url("/own/page")}}));
    ASSERT_TRUE(ChooseSources("kim", {"Blog", "Broken", "Page"}));
    RunCheck();

    EXPECT_EQ(m_receiver.m_headlines,
              (std::vector<std::string>{"A one", "Own & first", "Own second"}));
    EXPECT_EQ(m_receiver.m_sources, (std::vector<std::string>{"Alpha Post", "Blog", "Blog"}));
    ASSERT_EQ(m_receiver.m_index.count("Blog"), 1u);
    EXPECT_EQ(m_receiver.m_index["Blog"].begin()->second, m_server.Url("/posts/1"));
    const std::pair<const char*, const char*> expected[] = {
        {"alpha", "ok, 1 item"},           {"Blog", "ok, 2 items"}, {"Missing", "HTTP 404"},
        {"Broken", "XML error at line 3"}, {"Page", "not a feed"},  {"Down", "no answer: "},
    };
    for (const auto& [pszName, pszText] : expected) {
        EXPECT_EQ(m_receiver.m_statuses[pszName].Text().rfind(pszText, 0), 0u)
            << pszName << ": " << m_receiver.m_statuses[pszName].Text();
    }
    EXPECT_EQ(FailedCount(m_receiver.m_statuses), 4u);
    EXPECT_GT(m_receiver.m_statuses["Blog"].lastNew, 0);
    EXPECT_EQ(LoadSourceStatus("kim"), m_receiver.m_statuses);
    const CFeedValidatorsMap validators = LoadFeedValidators("kim");
    ASSERT_EQ(validators.count(m_server.Url("/own/blog")), 1u);
    EXPECT_EQ(validators.at(m_server.Url("/own/blog")).strETag, "\"v1\"");

    // Nothing changed: the short answer is not read again, yet its items stay in past news.
    m_receiver.m_headlines.clear();
    m_receiver.m_index.clear();
    RunCheck();
    EXPECT_TRUE(m_receiver.m_headlines.empty());
    EXPECT_EQ(m_receiver.m_index["Blog"].size(), 2u);
    EXPECT_EQ(m_receiver.m_statuses["Blog"].Text(), "unchanged, 2 items");
    EXPECT_EQ(m_receiver.m_statuses["Blog"].lastNew, LoadSourceStatus("kim")["Blog"].lastNew);
    ASSERT_EQ(conditions.size(), 2u);
    EXPECT_EQ(conditions[0], "||no-cache");
    EXPECT_EQ(conditions[1], "\"v1\"|Thu, 06 Dec 2001 17:43:00 GMT|no-cache");
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
