#include "news/NewsCheck.h"

#include "news/CNewsItem.h"
#include "news/FeedScanner.h"
#include "platform/CWorkers.h"
#include "util/AppFiles.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <mutex>
#include <thread>

namespace {

// Serialises the read-modify-write of seen stores between overlapping checks.
std::mutex g_seenStoreMutex;

// Nobody waits for the check's results any more.
bool CheckEnds(const NewsThreadParams& params) {
    return !IsWindow(params.hWnd) || CWorkers::Stopping();
}

}  // namespace

std::string_view CFeedDownload::Articles() const {
    return nStatus == 200 ? FirstElementContent("moreovernews", strBody) : std::string_view();
}

std::vector<CFeedDownload> DownloadFeeds(const std::vector<std::string>& urls,
                                         const NewsThreadParams& params) {
    std::vector<CFeedDownload> results(urls.size());
    std::atomic<size_t> nNext{0};
    auto work = [&] {
        for (size_t i; (i = nNext++) < urls.size();) {
            if (CheckEnds(params)) {
                return;
            }
            CFeedDownload& result = results[i];
            result.nStatus = HttpGet(urls[i], result.strBody, params.httpOptions);
            if (result.nStatus != 200) {
                // Up to the size cap of lines that nobody reads.
                std::string().swap(result.strBody);
            }
            // Now, not after the slowest feed: the window shows the failure at once.
            if (result.nStatus == HTTP_NO_ANSWER) {
                PostMessageTo<UM_NEWS_OFFLINE>(params.hWnd);
            }
        }
    };
    size_t nThreads = std::min<size_t>(urls.size(), std::max(1, params.nMaxParallel));
    std::vector<std::thread> threads;
    for (size_t i = 1; i < nThreads; ++i) {
        threads.emplace_back(work);
    }
    if (nThreads > 0) {
        work();
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return results;
}

void NewsThreadProc(NewsThreadParams params) {
    CStringMap catalogue;
    LoadMapFile(CATALOGUE_FILE, catalogue);
    std::vector<std::string> chosen;
    LoadListFile(ChosenSourcesFile(params.strUser), chosen);

    // A name twice in the file is fetched twice, as a reader of the file would expect.
    std::vector<std::string> urls;
    for (const std::string& strName : chosen) {
        auto it = catalogue.find(strName);
        if (it != catalogue.end()) {
            urls.push_back(it->second);
        }
    }
    std::vector<CFeedDownload> downloads = DownloadFeeds(urls, params);
    if (CheckEnds(params)) {
        return;
    }
    // Each feed's articles are copied once, straight from its body into the joined text.
    size_t nTotal = 0;
    for (const CFeedDownload& download : downloads) {
        nTotal += download.Articles().size();
    }
    std::string strArticles;
    strArticles.reserve(nTotal);
    for (CFeedDownload& download : downloads) {
        strArticles += download.Articles();
        std::string().swap(download.strBody);
    }
    downloads.clear();

    std::lock_guard lock(g_seenStoreMutex);
    const std::time_t now = std::time(nullptr);
    CSeenStore seen(params.strUser, now);
    PastNewsIndex index;
    CNewsItemList items;

    CElementCutter articles("article", strArticles);
    for (std::string strArticle; !(strArticle = articles.Next()).empty();) {
        std::unique_ptr<CNewsItem> pItem = ParseArticle(std::move(strArticle));
        index[pItem->m_strSource][PastNewsLabel(*pItem)] = pItem->m_strUrl;
        // Newness is the headline alone; once the list is full, further headlines are
        // neither kept nor marked, so they come again next time.
        if (items.size() < NEWS_MAX_NEW_ITEMS && !seen.Contains(pItem->m_strHeadline)) {
            seen.Add(pItem->m_strHeadline);
            items.push_back(std::move(pItem));
        }
        if (CheckEnds(params)) {
            return;
        }
    }

    seen.Save();
    PostMessageTo<UM_NEWS_INDEX>(params.hWnd, std::move(index));
    PostMessageTo<UM_NEWS_ITEMS>(params.hWnd, std::move(items));
}

void StartNewsThread(NewsThreadParams params) {
    CWorkers::Start("news check", [params = std::move(params)] { NewsThreadProc(params); });
}
