#include "news/NewsCheck.h"

#include "news/CNewsItem.h"
#include "news/FeedReader.h"
#include "news/FeedScanner.h"
#include "news/OwnSources.h"
#include "platform/CWorkers.h"
#include "platform/Logging.h"
#include "util/AppFiles.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace {

// Serialises the read-modify-write of a user's files between overlapping checks.
std::mutex g_seenStoreMutex;

// Nobody waits for the check's results any more.
bool CheckEnds(const NewsThreadParams& params) {
    return !IsWindow(params.hWnd) || CWorkers::Stopping();
}

struct CChosenSource {
    std::string strName;
    CSourceEntry entry;
    // Own feeds' items carry the source's name, so the name is part of what is cached.
    std::string CacheKey() const { return strName + MAP_SEPARATOR + entry.strAddress; }
};

// One source's part of a check.
struct CSourceRead {
    CSourceStatus status;
    CNewsItemList items;
};

// The items of every source's last full read in this process, for the answers that say it
// has not changed. Only the sources of the latest check stay.
class CReadCache {
public:
    void Put(const std::string& strKey, const CNewsItemList& items) {
        std::vector<CNewsItem> copies;
        copies.reserve(items.size());
        for (const auto& pItem : items) {
            copies.push_back(*pItem);
        }
        std::lock_guard lock(m_mutex);
        m_items[strKey] = std::move(copies);
    }
    CNewsItemList Get(const std::string& strKey) {
        CNewsItemList items;
        std::lock_guard lock(m_mutex);
        auto it = m_items.find(strKey);
        if (it != m_items.end()) {
            for (const CNewsItem& item : it->second) {
                items.push_back(std::make_unique<CNewsItem>(item));
            }
        }
        return items;
    }
    void Retain(const std::set<std::string>& keys) {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_items, [&](const auto& entry) { return !keys.count(entry.first); });
    }

private:
    std::mutex m_mutex;
    std::map<std::string, std::vector<CNewsItem>> m_items;
};

CReadCache g_readCache;

CNewsItemList ReadCatalogueFeed(const CFeedDownload& download) {
    CNewsItemList items;
    CElementCutter articles("article", download.Articles());
    for (std::string strArticle; !(strArticle = articles.Next()).empty();) {
        items.push_back(ParseArticle(std::move(strArticle)));
    }
    return items;
}

CSourceRead ReadDownload(const CFeedDownload& download, const CChosenSource& source) {
    CSourceRead read;
    CSourceStatus& status = read.status;
    if (download.nStatus == 200) {
        if (source.entry.bOwn) {
            CFeedResult result = ReadFeed(download.strBody, source.entry.strAddress);
            if (result.status == EFeedStatus::Ok) {
                read.items = ToNewsItems(result.feed, source.strName);
            } else {
                status.result = result.status == EFeedStatus::NotAFeed ? ESourceResult::NotAFeed
                                                                       : ESourceResult::BadXml;
                status.strDetail = std::move(result.strError);
                return read;
            }
        } else {
            read.items = ReadCatalogueFeed(download);
        }
        status.result = ESourceResult::Ok;
        status.nItems = read.items.size();
        g_readCache.Put(source.CacheKey(), read.items);
    } else if (download.nStatus == 304) {
        read.items = g_readCache.Get(source.CacheKey());
        status.result = ESourceResult::NotModified;
        status.nItems = read.items.size();
    } else if (download.nStatus == HTTP_NO_ANSWER) {
        status.result = download.bTimedOut ? ESourceResult::TimedOut : ESourceResult::NoAnswer;
        status.strDetail = download.strFailure;
    } else {
        status.result = ESourceResult::HttpError;
        status.nHttpStatus = download.nStatus;
    }
    return read;
}

}  // namespace

std::string_view CFeedDownload::Articles() const {
    return nStatus == 200 ? FirstElementContent("moreovernews", strBody) : std::string_view();
}

std::vector<CFeedDownload> DownloadFeeds(const std::vector<std::string>& urls,
                                         const NewsThreadParams& params,
                                         const std::vector<CHttpValidators>& known,
                                         const CFeedReadFn& fnRead) {
    std::vector<CFeedDownload> results(urls.size());
    std::atomic<size_t> nNext{0};
    const CHttpValidators none;
    // Downloads ended and not read yet, and download threads still running.
    std::mutex mutex;
    std::condition_variable ended;
    std::deque<size_t> unread;
    size_t nRunning = 0;
    auto work = [&] {
        for (size_t i; (i = nNext++) < urls.size();) {
            if (CheckEnds(params)) {
                return;
            }
            CHttpFetch fetch =
                HttpGetIfChanged(urls[i], i < known.size() ? known[i] : none, params.httpOptions);
            CFeedDownload& result = results[i];
            result.nStatus = fetch.nStatus;
            // Failed downloads come without a body: nothing of them is kept.
            result.strBody = std::move(fetch.strBody);
            result.validators = std::move(fetch.validators);
            result.bTimedOut = fetch.bTimedOut;
            result.strFailure = std::move(fetch.strFailure);
            result.nWireBytes = fetch.nWireBytes;
            // Now, not after the slowest feed: the window shows the failure at once.
            if (result.nStatus == HTTP_NO_ANSWER) {
                PostMessageTo<UM_NEWS_OFFLINE>(params.hWnd);
            }
            if (fnRead) {
                std::lock_guard lock(mutex);
                unread.push_back(i);
                ended.notify_one();
            }
        }
    };
    const size_t nThreads = std::min<size_t>(urls.size(), std::max(1, params.nMaxParallel));
    std::vector<std::thread> threads;
    if (!fnRead) {
        for (size_t i = 1; i < nThreads; ++i) {
            threads.emplace_back(work);
        }
        if (nThreads > 0) {
            work();
        }
    } else {
        // Reading on this thread, not the downloaders', keeps each downloader's next request
        // from waiting for the read of its last: the check stays at the network's pace.
        nRunning = nThreads;
        for (size_t i = 0; i < nThreads; ++i) {
            threads.emplace_back([&] {
                work();
                std::lock_guard lock(mutex);
                --nRunning;
                ended.notify_one();
            });
        }
        for (std::unique_lock lock(mutex);;) {
            ended.wait(lock, [&] { return !unread.empty() || nRunning == 0; });
            if (unread.empty()) {
                break;
            }
            const size_t i = unread.front();
            unread.pop_front();
            lock.unlock();
            fnRead(i, results[i]);
            lock.lock();
        }
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return results;
}

void NewsThreadProc(NewsThreadParams params) {
    const CSourceDirectory directory = LoadSourceDirectory(params.strUser);
    std::vector<std::string> chosen;
    LoadListFile(ChosenSourcesFile(params.strUser), chosen);
    CFeedValidatorsMap validators = LoadFeedValidators(params.strUser);

    // A name twice in the file is fetched twice, as a reader of the file would expect.
    std::vector<CChosenSource> sources;
    std::vector<std::string> urls;
    std::vector<CHttpValidators> known;
    for (const std::string& strName : chosen) {
        auto it = directory.find(strName);
        if (it != directory.end()) {
            sources.push_back({strName, it->second});
            urls.push_back(it->second.strAddress);
            auto validator = validators.find(it->second.strAddress);
            known.push_back(validator == validators.end() ? CHttpValidators() : validator->second);
        }
    }
    // Each feed is read as it arrives and its body let go.
    std::vector<CSourceRead> reads(sources.size());
    std::vector<CFeedDownload> downloads =
        DownloadFeeds(urls, params, known, [&](size_t i, CFeedDownload& download) {
            reads[i] = ReadDownload(download, sources[i]);
            std::string().swap(download.strBody);
        });
    if (CheckEnds(params)) {
        return;
    }

    std::lock_guard lock(g_seenStoreMutex);
    const std::time_t now = std::time(nullptr);
    CSeenStore seen(params.strUser, now);
    const CSourceStatusMap previous = LoadSourceStatus(params.strUser);
    CSourceStatusMap statuses;
    PastNewsIndex index;
    CNewsItemList items;
    CFeedValidatorsMap kept;
    std::set<std::string> cacheKeys;
    size_t nWireBytes = 0;
    for (size_t i = 0; i < sources.size(); ++i) {
        const CChosenSource& source = sources[i];
        CSourceRead& read = reads[i];
        auto last = previous.find(source.strName);
        read.status.lastNew = last == previous.end() ? 0 : last->second.lastNew;
        // After a restart an unchanged feed has no items here: it still holds what it held.
        if (read.status.result == ESourceResult::NotModified && read.items.empty() &&
            last != previous.end()) {
            read.status.nItems = last->second.nItems;
        }
        for (std::unique_ptr<CNewsItem>& pItem : read.items) {
            index[pItem->m_strSource][PastNewsLabel(*pItem)] = pItem->m_strUrl;
            // Newness is the headline alone; once the list is full, further headlines are
            // neither kept nor marked, so they come again next time.
            if (items.size() < NEWS_MAX_NEW_ITEMS && !seen.Contains(pItem->m_strHeadline)) {
                seen.Add(pItem->m_strHeadline);
                items.push_back(std::move(pItem));
                read.status.lastNew = now;
            }
        }
        if (CheckEnds(params)) {
            return;
        }
        // A feed read without fault brings its validators; a failure keeps the last ones.
        const std::string& strAddress = source.entry.strAddress;
        if (read.status.result == ESourceResult::Ok) {
            kept[strAddress] = downloads[i].validators;
        } else if (auto old = validators.find(strAddress);
                   old != validators.end() && read.status.result != ESourceResult::NotAFeed &&
                   read.status.result != ESourceResult::BadXml) {
            kept.try_emplace(strAddress, old->second);
        }
        cacheKeys.insert(source.CacheKey());
        nWireBytes += downloads[i].nWireBytes;
        statuses[source.strName] = std::move(read.status);
    }
    g_readCache.Retain(cacheKeys);

    seen.Save();
    SaveFeedValidators(params.strUser, kept);
    SaveSourceStatus(params.strUser, statuses);
    qCInfo(NetLog) << "news: checked" << sources.size() << "sources," << FailedCount(statuses)
                   << "failed," << nWireBytes << "bytes on the wire," << items.size() << "new";
    PostMessageTo<UM_NEWS_INDEX>(params.hWnd, std::move(index));
    PostMessageTo<UM_NEWS_ITEMS>(params.hWnd, std::move(items), std::move(statuses));
}

void StartNewsThread(NewsThreadParams params) {
    CWorkers::Start("news check", [params = std::move(params)] { NewsThreadProc(params); });
}
