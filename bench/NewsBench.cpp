// Measures a news check against feeds served from a local server with a fixed delay per
// request: ours against the network's lower bound (ceil(feeds / parallel) x delay), with
// the straightforward algorithm (one download after another, every element cut by
// searching the whole remaining text) for reference. Also the article scan of a large
// feed text, the reading of an RSS 2.0 feed of the open web, the seen store's cost per
// check, the map file's load and save, and sorting.
//
//   bench_news [feeds=200] [articles=50] [delay_ms=50] [parallel=8]

#include "news/CNewsItem.h"
#include "news/FeedReader.h"
#include "news/FeedScanner.h"
#include "news/NewsCheck.h"
#include "news/NewsFiles.h"
#include "platform/AppEvent.h"
#include "platform/Profile.h"
#include "util/AppFiles.h"
#include "util/Net.h"
#include "util/Strings.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string MakeFeed(int nFeed, int nArticles) {
    std::string strFeed = "<?xml version=\"1.0\"?>\n<moreovernews>\n";
    for (int i = 0; i < nArticles; ++i) {
        std::string strId = std::to_string(nFeed) + "-" + std::to_string(i);
        strFeed += "<article id=\"_" + strId + "\">\n<url>http://example.org/a/" + strId +
                   ".html</url>\n<headline_text>Council weighs plan &amp; budget number " + strId +
                   "</headline_text>\n<source>Source " + std::to_string(nFeed) +
                   "</source>\n<media_type>text</media_type>\n<cluster>City</cluster>\n"
                   "<harvest_time>Dec 6 2001 5:43PM</harvest_time>\n"
                   "<access_status></access_status>\n</article>\n";
    }
    return strFeed + "</moreovernews>\n";
}

// An RSS 2.0 feed as news sites write them: HTML in CDATA titles, entities, RFC 822 dates.
std::string MakeRssFeed(int nItems) {
    std::string strFeed =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\" "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel><title>City desk</title>"
        "<link>http://example.org/</link><description>News</description>\n";
    for (int i = 0; i < nItems; ++i) {
        const std::string strId = std::to_string(i);
        strFeed += "<item><title><![CDATA[Council weighs <b>plan</b> &amp; budget &#8220;" + strId +
                   "&#8221;]]></title><link>/a/" + strId +
                   ".html</link><guid isPermaLink=\"false\">id-" + strId +
                   "</guid><pubDate>Tue, 08 Dec 2026 02:47:26 +0100</pubDate><description>"
                   "&lt;p&gt;The council met on Tuesday to weigh a plan for the new budget, "
                   "with a vote due next week.&lt;/p&gt;</description><dc:creator>Desk"
                   "</dc:creator></item>\n";
    }
    return strFeed + "</channel></rss>\n";
}

// The check as first written: sequential downloads, and each cut searches from the start
// of what is left. Same files, same results.
void SequentialCheck(const std::string& strUser) {
    CStringMap catalogue;
    LoadMapFile(CATALOGUE_FILE, catalogue);
    std::vector<std::string> chosen;
    LoadListFile(ChosenSourcesFile(strUser), chosen);
    std::string strArticles;
    for (const std::string& strName : chosen) {
        auto it = catalogue.find(strName);
        if (it == catalogue.end()) {
            continue;
        }
        std::string strBody;
        if (HttpGet(it->second, strBody) == 200) {
            strArticles += ExtractElement("moreovernews", strBody);
        }
    }
    CStringMap seen;
    LoadMapFile(SeenStoreFile(strUser), seen);
    PastNewsIndex index;
    CNewsItemList items;
    std::string strNow = std::to_string(std::time(nullptr));
    for (std::string strArticle; !(strArticle = ExtractElement("article", strArticles)).empty();) {
        auto pItem = ParseArticle(strArticle);
        index[pItem->m_strSource][PastNewsLabel(*pItem)] = pItem->m_strUrl;
        if (items.size() < NEWS_MAX_NEW_ITEMS && !seen.count(pItem->m_strHeadline)) {
            seen[pItem->m_strHeadline] = strNow;
            items.push_back(std::move(pItem));
        }
    }
    SaveMapFile(SeenStoreFile(strUser), seen);
}

// Ends the event loop when the check's items arrive.
class CResultWindow final : public QObject {
public:
    CHandleRegistration m_handle{this};

protected:
    bool event(QEvent* pEvent) override {
        auto* pApp = dynamic_cast<CAppEvent*>(pEvent);
        if (pApp && pApp->Message() == UM_NEWS_ITEMS) {
            QCoreApplication::quit();
        }
        return QObject::event(pEvent);
    }
};

// A small HTTP server: a thread per connection, each answer after the fixed delay. Its
// listen queue is deep enough that a burst of connections is never refused and retried.
class CFeedServer {
public:
    CFeedServer(const std::vector<std::string>& feeds, int nDelayMs)
        : m_feeds(feeds), m_nDelayMs(nDelayMs) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_fd, 1024);
        socklen_t nLen = sizeof addr;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &nLen);
        m_nPort = ntohs(addr.sin_port);
        m_acceptor = std::thread([this] { AcceptLoop(); });
    }
    ~CFeedServer() {
        ::shutdown(m_fd, SHUT_RDWR);
        ::close(m_fd);
        m_acceptor.join();
    }
    int Port() const { return m_nPort; }

private:
    void AcceptLoop() {
        for (int fd; (fd = ::accept(m_fd, nullptr, nullptr)) >= 0;) {
            std::thread([this, fd] { Serve(fd); }).detach();
        }
    }
    void Serve(int fd) {
        std::string strRequest;
        char buffer[4096];
        for (ssize_t n; strRequest.find("\r\n\r\n") == std::string::npos &&
                        (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
            strRequest.append(buffer, static_cast<size_t>(n));
        }
        size_t nFeed = std::strtoul(strRequest.c_str() + std::min<size_t>(strRequest.size(), 10),
                                    nullptr, 10);  // "GET /feed/N"
        std::this_thread::sleep_for(std::chrono::milliseconds(m_nDelayMs));
        const std::string& strBody = m_feeds[std::min(nFeed, m_feeds.size() - 1)];
        std::string strAnswer = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                                std::to_string(strBody.size()) + "\r\nConnection: close\r\n\r\n" +
                                strBody;
        for (size_t nSent = 0; nSent < strAnswer.size();) {
            ssize_t n =
                ::send(fd, strAnswer.data() + nSent, strAnswer.size() - nSent, MSG_NOSIGNAL);
            if (n <= 0) {
                break;
            }
            nSent += static_cast<size_t>(n);
        }
        ::close(fd);
    }

    const std::vector<std::string>& m_feeds;
    int m_nDelayMs;
    int m_fd = -1;
    int m_nPort = 0;
    std::thread m_acceptor;
};

struct CStoreCost {
    double dMs = 0;
    long long nBytes = 0;
};

// Bytes a check wrote to the seen store, judged from the file: a replaced file (new inode)
// was written whole, a file kept in place grew by what was appended.
long long BytesWritten(const struct stat& before, const std::string& strPath) {
    struct stat after {};
    if (::stat(strPath.c_str(), &after) != 0) {
        return 0;
    }
    if (after.st_ino != before.st_ino) {
        return after.st_size;
    }
    return after.st_size - before.st_size;
}

// One check of one local feed of 20 articles against a seen store of nStored other
// records, with the feed's headlines already stored (nothing new) or not (20 new). The
// store is laid anew before every run; the median of the runs is kept.
CStoreCost MeasureSeenStore(int nStored, bool bNew, CWindowHandle hWnd) {
    const std::string strUser = bNew ? "store_new" : "store_old";
    const std::string strPath = AppDirPath(SeenStoreFile(strUser));
    const std::string strTime = std::to_string(std::time(nullptr) - 86400);
    std::string strStore;
    strStore.reserve(static_cast<size_t>(nStored) * 64);
    for (int i = 0; i < nStored; ++i) {
        strStore += "Council weighs plan & budget number " + std::to_string(i) + "<!!div!!>" +
                    strTime + "\r\n";
    }
    if (!bNew) {
        for (int i = 0; i < 20; ++i) {
            strStore += "Council weighs plan & budget number 0-" + std::to_string(i) + "<!!div!!>" +
                        strTime + "\r\n";
        }
    }
    SaveListFile(ChosenSourcesFile(strUser), {"Source 0"});
    std::vector<double> ms;
    long long nBytes = 0;
    for (int nRun = 0; nRun < 5; ++nRun) {
        SaveTextFile(strPath, strStore);
        struct stat before {};
        ::stat(strPath.c_str(), &before);
        NewsThreadParams params;
        params.hWnd = hWnd;
        params.strUser = strUser;
        auto start = Clock::now();
        NewsThreadProc(params);
        ms.push_back(MsSince(start));
        nBytes = BytesWritten(before, strPath);
        QCoreApplication::sendPostedEvents();
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], nBytes};
}

int Arg(int argc, char** argv, int nIndex, int nDefault) {
    return argc > nIndex ? std::max(1, std::atoi(argv[nIndex])) : nDefault;
}

}  // namespace

int main(int argc, char** argv) {
    const int nFeeds = Arg(argc, argv, 1, 200);
    const int nArticles = Arg(argc, argv, 2, 50);
    const int nDelayMs = Arg(argc, argv, 3, 50);
    const int nParallel = Arg(argc, argv, 4, 8);

    QCoreApplication app(argc, argv);
    QTemporaryDir settings, appDir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    WriteProfileString("Prefs", "AppDir", appDir.path().toStdString());

    std::vector<std::string> feeds;
    for (int i = 0; i < nFeeds; ++i) {
        feeds.push_back(MakeFeed(i, nArticles));
    }
    CFeedServer server(feeds, nDelayMs);
    const int nPort = server.Port();

    std::string strCatalogue;
    std::vector<std::string> chosen;
    for (int i = 0; i < nFeeds; ++i) {
        std::string strName = "Source " + std::to_string(i);
        strCatalogue += strName + "<!!div!!>http://127.0.0.1:" + std::to_string(nPort) + "/feed/" +
                        std::to_string(i) + "\r\n";
        chosen.push_back(strName);
    }
    SaveTextFile(AppDirPath(CATALOGUE_FILE), strCatalogue);
    SaveListFile(ChosenSourcesFile("bench"), chosen);

    auto start = Clock::now();
    SequentialCheck("bench");
    double dSequential = MsSince(start);

    SaveTextFile(AppDirPath(SeenStoreFile("bench")), "");
    CResultWindow window;
    NewsThreadParams params;
    params.hWnd = window.m_handle.Handle();
    params.strUser = "bench";
    params.nMaxParallel = nParallel;
    start = Clock::now();
    StartNewsThread(params);
    QCoreApplication::exec();
    double dOurs = MsSince(start);

    double dBound = std::ceil(static_cast<double>(nFeeds) / nParallel) * nDelayMs;
    std::printf("check of %d feeds x %d articles, %d ms per request, %d at a time\n", nFeeds,
                nArticles, nDelayMs, nParallel);
    std::printf("  sequential: %8.1f ms\n  ours:       %8.1f ms\n  lower bound %8.1f ms\n",
                dSequential, dOurs, dBound);
    std::printf("  ours / lower bound = %.2f (target <= 1.3)\n", dOurs / dBound);
    std::printf("summary | news check vs network lower bound | %.2f x | target <= 1.3 x\n",
                dOurs / dBound);
    std::printf("summary | news check vs sequential | %.3f x | lower is better\n",
                dOurs / dSequential);

    // Scanning about 10 MB of feed text.
    std::string strText;
    for (int i = 0; strText.size() < 10u << 20; ++i) {
        std::string strFeed = MakeFeed(i, 100);
        strText += ExtractElement("moreovernews", strFeed);
    }
    start = Clock::now();
    CElementCutter cutter("article", strText);
    size_t nItems = 0;
    for (std::string s; !(s = cutter.Next()).empty(); ++nItems) {
        ParseArticle(std::move(s));
    }
    const double dScanMs = MsSince(start);
    std::printf("scan of %.1f MB, %zu articles: %.1f ms (target < 100)\n",
                strText.size() / 1048576.0, nItems, dScanMs);
    std::printf("summary | feed scan | %.0f MB/s | target >= 100 MB/s\n",
                strText.size() / 1048576.0 / (dScanMs / 1000.0));

    // Reading one feed of the open web of 50 items, the median of 200 reads.
    const std::string strRss = MakeRssFeed(50);
    std::vector<double> readUs;
    for (int nRun = 0; nRun < 200; ++nRun) {
        start = Clock::now();
        const CFeedResult result = ReadFeed(strRss, "http://example.org/rss");
        readUs.push_back(MsSince(start) * 1000.0);
        if (result.feed.items.size() != 50) {
            std::printf("feed read failed: %s\n", result.strError.c_str());
        }
    }
    std::sort(readUs.begin(), readUs.end());
    std::printf("RSS 2.0 feed of 50 items, %zu bytes: read in %.0f us (median of 200)\n",
                strRss.size(), readUs[readUs.size() / 2]);
    std::printf("summary | RSS feed read, 50 items | %.0f us | a few hundred us\n",
                readUs[readUs.size() / 2]);

    // The seen store at 100,000 records.
    CStringMap seen;
    for (int i = 0; i < 100000; ++i) {
        seen["Council weighs plan & budget number " + std::to_string(i)] = "1765100000";
    }
    start = Clock::now();
    SaveMapFile("big_seenurls.txt", seen);
    double dSave = MsSince(start);
    CStringMap loaded;
    start = Clock::now();
    LoadMapFile("big_seenurls.txt", loaded);
    double dLoad = MsSince(start);
    std::printf("map file of %zu records: write %.1f ms, load %.1f ms (target < 200 each)\n",
                loaded.size(), dSave, dLoad);

    // The seen store's cost per check: one feed of 20 articles, served without delay.
    const std::vector<std::string> storeFeeds{MakeFeed(0, 20)};
    CFeedServer storeServer(storeFeeds, 0);
    SaveTextFile(
        AppDirPath(CATALOGUE_FILE),
        "Source 0<!!div!!>http://127.0.0.1:" + std::to_string(storeServer.Port()) + "/feed/0\r\n");
    std::printf(
        "seen store per check (median of 5; one local feed of 20 articles, whose\n"
        "headlines the store also holds when nothing is new):\n");
    for (int nStored : {0, 200000}) {
        for (bool bNew : {false, true}) {
            CStoreCost cost = MeasureSeenStore(nStored, bNew, window.m_handle.Handle());
            std::printf("  %6d stored, %2d new: %9lld bytes written, %7.1f ms\n", nStored,
                        bNew ? 20 : 0, cost.nBytes, cost.dMs);
        }
    }

    // Sorting 100,000 past-news labels.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> letter(0, 51);
    CStringArray labels;
    for (int i = 0; i < 100000; ++i) {
        std::string strLabel = "12/06 05:43 PM - ";
        for (int j = 0; j < 30; ++j) {
            int n = letter(random);
            strLabel += static_cast<char>(n < 26 ? 'a' + n : 'A' + n - 26);
        }
        labels.push_back(std::move(strLabel));
    }
    start = Clock::now();
    SortStrings(labels);
    std::printf("SortStrings of %zu labels: %.1f ms\n", labels.size(), MsSince(start));
    return 0;
}
