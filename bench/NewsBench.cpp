// Measures a news check against feeds served from a local server with a fixed delay per
// request: ours against the network's lower bound (ceil(feeds / parallel) x delay), with
// the straightforward algorithm (one download after another, every element cut by
// searching the whole remaining text) for reference. Also the article scan of a large
// feed text, the reading of an RSS 2.0 feed of the open web, the seen store's cost per
// check, the map file's load and save, and sorting. Then the same check over RSS 2.0
// feeds of the user's own, served the way web servers do (an ETag per feed, 304 when it
// still holds, deflate when asked): the first check against the bound at the default
// concurrency and against one request after another, and a second check with nothing new
// (time and bytes on the wire, counted by the server).
//
//   bench_news [feeds=200] [articles=50] [delay_ms=50] [parallel=8]

#include "news/CNewsItem.h"
#include "news/FeedReader.h"
#include "news/FeedScanner.h"
#include "news/NewsCheck.h"
#include "news/NewsFiles.h"
#include "news/OwnSources.h"
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
#include <atomic>
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

// An RSS 2.0 feed of a news site with text that compresses as prose does (a few words
// drawn at random from a vocabulary of a thousand), about 1 KB an item.
std::string MakeWebFeed(int nItems, int nFeed) {
    std::mt19937 random(static_cast<unsigned>(nFeed) + 1);
    std::uniform_int_distribution<int> word(0, 999);
    std::uniform_int_distribution<int> letters(3, 9);
    static const std::vector<std::string> s_words = [] {
        std::mt19937 wordRandom(99);
        std::vector<std::string> words;
        for (int i = 0; i < 1000; ++i) {
            std::string strWord;
            for (int n = std::uniform_int_distribution<int>(2, 10)(wordRandom); n > 0; --n) {
                strWord += static_cast<char>('a' + wordRandom() % 26);
            }
            words.push_back(std::move(strWord));
        }
        return words;
    }();
    auto text = [&](int nWords) {
        std::string strText;
        for (int i = 0; i < nWords; ++i) {
            strText += (i ? " " : "") + s_words[static_cast<size_t>(word(random))];
        }
        return strText;
    };
    std::string strFeed =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>"
        "<title>Desk " +
        std::to_string(nFeed) +
        "</title>"
        "<link>http://example.org/</link><description>News</description>\n";
    for (int i = 0; i < nItems; ++i) {
        const std::string strId = std::to_string(nFeed) + "-" + std::to_string(i);
        strFeed += "<item><title>" + text(letters(random)) + " " + strId + "</title><link>/a/" +
                   strId + ".html</link><guid>http://example.org/a/" + strId +
                   "</guid><pubDate>Tue, 08 Dec 2026 02:47:26 +0100</pubDate><description>" +
                   text(120) + "</description></item>\n";
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
// As a web server (bWebServer) it sends each feed with an ETag, answers 304 to a request
// that sends it back, and compresses with deflate when asked; it counts the bytes both
// ways.
class CFeedServer {
public:
    CFeedServer(const std::vector<std::string>& feeds, int nDelayMs, bool bWebServer = false)
        : m_feeds(feeds), m_nDelayMs(nDelayMs), m_bWebServer(bWebServer) {
        if (m_bWebServer) {
            for (const std::string& strFeed : m_feeds) {
                // deflate is zlib's stream: qCompress's output after its length.
                m_deflated.push_back(
                    qCompress(QByteArray::fromStdString(strFeed)).mid(4).toStdString());
            }
        }
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
    // Bytes of requests and answers since the last call.
    long long TakeBytes() { return m_nBytes.exchange(0); }

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
        nFeed = std::min(nFeed, m_feeds.size() - 1);
        std::string strAnswer;
        if (!m_bWebServer) {
            const std::string& strBody = m_feeds[nFeed];
            strAnswer = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                        std::to_string(strBody.size()) + "\r\nConnection: close\r\n\r\n" + strBody;
        } else {
            const std::string strETag = "\"feed-" + std::to_string(nFeed) + "-v1\"";
            if (strRequest.find("If-None-Match: " + strETag + "\r\n") != std::string::npos) {
                strAnswer = "HTTP/1.1 304 Not Modified\r\nETag: " + strETag +
                            "\r\nConnection: close\r\n\r\n";
            } else {
                const bool bDeflate = strRequest.find("deflate") != std::string::npos;
                const std::string& strBody = bDeflate ? m_deflated[nFeed] : m_feeds[nFeed];
                strAnswer =
                    "HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\nETag: " + strETag +
                    "\r\nLast-Modified: Tue, 08 Dec 2026 01:47:26 GMT\r\n" +
                    (bDeflate ? "Content-Encoding: deflate\r\n" : "") +
                    "Content-Length: " + std::to_string(strBody.size()) +
                    "\r\nConnection: close\r\n\r\n" + strBody;
            }
        }
        m_nBytes += static_cast<long long>(strRequest.size() + strAnswer.size());
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
    bool m_bWebServer;
    std::vector<std::string> m_deflated;
    std::atomic<long long> m_nBytes{0};
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

    // The check over RSS 2.0 feeds of the user's own, at the default concurrency.
    std::vector<std::string> rssFeeds;
    for (int i = 0; i < nFeeds; ++i) {
        rssFeeds.push_back(MakeWebFeed(nArticles, i));
    }
    CFeedServer rssServer(rssFeeds, nDelayMs, true);
    CFeedSourceList own;
    for (int i = 0; i < nFeeds; ++i) {
        own.push_back(
            {"Own " + std::to_string(i), "http://127.0.0.1:" + std::to_string(rssServer.Port()) +
                                             "/feed/" + std::to_string(i)});
    }
    SaveOwnSources("rss", own);
    std::vector<std::string> ownNames;
    for (const CFeedSource& source : own) {
        ownNames.push_back(source.strName);
    }
    SaveListFile(ChosenSourcesFile("rss"), ownNames);
    NewsThreadParams rssParams;
    rssParams.hWnd = window.m_handle.Handle();
    rssParams.strUser = "rss";
    auto runCheck = [&] {
        const auto checkStart = Clock::now();
        StartNewsThread(rssParams);
        QCoreApplication::exec();
        return MsSince(checkStart);
    };
    const double dFirstMs = runCheck();
    const long long nFirstBytes = rssServer.TakeBytes();
    const double dSecondMs = runCheck();
    const long long nSecondBytes = rssServer.TakeBytes();
    const int nDefault = rssParams.nMaxParallel;
    const double dRssBound = std::ceil(static_cast<double>(nFeeds) / nDefault) * nDelayMs;
    const double dOneByOne = static_cast<double>(nFeeds) * nDelayMs;
    std::printf("RSS 2.0 check of %d own feeds x %d items, %d ms per request, %d at a time\n",
                nFeeds, nArticles, nDelayMs, nDefault);
    std::printf(
        "  first:  %8.1f ms, %9lld bytes on the wire (bound %.0f ms; one request\n"
        "          after another at least %.0f ms)\n",
        dFirstMs, nFirstBytes, dRssBound, dOneByOne);
    std::printf("  second, nothing new: %8.1f ms, %9lld bytes on the wire (%.2f%% of the first)\n",
                dSecondMs, nSecondBytes,
                100.0 * static_cast<double>(nSecondBytes) /
                    static_cast<double>(std::max(1LL, nFirstBytes)));
    std::printf("summary | RSS check vs network bound | %.2f x | target <= 1.1 x\n",
                dFirstMs / dRssBound);
    std::printf("summary | RSS check vs one request after another | %.3f x | target <= 0.333 x\n",
                dFirstMs / dOneByOne);
    std::printf(
        "summary | RSS second check, nothing new | %.0f ms, %.2f%% of the bytes | "
        "target < 5%% of the bytes\n",
        dSecondMs,
        100.0 * static_cast<double>(nSecondBytes) /
            static_cast<double>(std::max(1LL, nFirstBytes)));

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
