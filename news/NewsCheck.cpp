#include "news/NewsCheck.h"

#include "news/CNewsItem.h"
#include "news/FeedScanner.h"
#include "news/NewsFiles.h"
#include "util/AppFiles.h"
#include "util/Strings.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Serialises the read-modify-write of seen stores between overlapping checks.
std::mutex g_seenStoreMutex;

struct CFeedResult {
    int nStatus = 0;
    std::string strBody;
};

// Downloads every URL, several at a time; stops starting new downloads once the window
// is gone. Results keep the order of the URLs.
std::vector<CFeedResult> DownloadAll(const std::vector<std::string>& urls,
                                     const NewsThreadParams& params) {
    std::vector<CFeedResult> results(urls.size());
    std::atomic<size_t> nNext{0};
    auto work = [&] {
        for (size_t i; (i = nNext++) < urls.size();) {
            if (!IsWindow(params.hWnd)) {
                return;
            }
            results[i].nStatus = HttpGet(urls[i], results[i].strBody, params.httpOptions);
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

void PruneSeenStore(CStringMap& seen, std::time_t now) {
    const long long nMaxAge =
        std::chrono::duration_cast<std::chrono::seconds>(SEEN_STORE_MAX_AGE).count();
    std::erase_if(seen, [&](const auto& record) {
        return now - std::strtoll(record.second.c_str(), nullptr, 10) > nMaxAge;
    });
}

}  // namespace

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
    std::vector<CFeedResult> results = DownloadAll(urls, params);

    std::string strArticles;
    for (CFeedResult& result : results) {
        if (result.nStatus == 200) {
            strArticles += ExtractElement("moreovernews", result.strBody);
        } else if (result.nStatus == -1) {
            PostAppEvent(params.hWnd, UM_NEWS_OFFLINE);
        }
        if (!IsWindow(params.hWnd)) {
            return;
        }
    }
    results.clear();

    std::lock_guard lock(g_seenStoreMutex);
    const std::string strSeenFile = SeenStoreFile(params.strUser);
    CStringMap seen;
    LoadMapFile(strSeenFile, seen);
    PastNewsIndex index;
    CNewsItemList items;
    const std::time_t now = std::time(nullptr);

    CElementCutter articles("article", strArticles);
    for (std::string strArticle; !(strArticle = articles.Next()).empty();) {
        std::unique_ptr<CNewsItem> pItem = ParseArticle(std::move(strArticle));
        index[pItem->m_strSource][PastNewsLabel(*pItem)] = pItem->m_strUrl;
        // Newness is the headline alone; once the list is full, further headlines are
        // neither kept nor marked, so they come again next time.
        if (items.size() < NEWS_MAX_NEW_ITEMS && seen.count(pItem->m_strHeadline) == 0) {
            seen[pItem->m_strHeadline] = std::to_string(now);
            items.push_back(std::move(pItem));
        }
        if (!IsWindow(params.hWnd)) {
            return;
        }
    }

    PruneSeenStore(seen, now);
    SaveMapFile(strSeenFile, seen);
    PostAppEvent(params.hWnd, UM_NEWS_INDEX, MakeParam(std::move(index)));
    PostAppEvent(params.hWnd, UM_NEWS_ITEMS, MakeParam(std::move(items)));
}

void StartNewsThread(NewsThreadParams params) {
    std::thread(NewsThreadProc, std::move(params)).detach();
}
