#pragma once

// One news check: download the user's chosen sources (see OwnSources.h), read them (the
// catalogue's sources in the service's feed format, the user's own ones with ReadFeed),
// keep the headlines not seen before (at most NEWS_MAX_NEW_ITEMS), record them in the
// user's seen store and post the results to the news window:
//  - UM_NEWS_OFFLINE once per chosen source that could not be reached, as soon as its
//    download fails (so in the order the failures happen, before the results);
//  - UM_NEWS_INDEX with the PastNewsIndex of every article read, then
//  - UM_NEWS_ITEMS with the new items (a CNewsItemList) and every chosen source's result.
// Feeds are downloaded several at a time, each read on the check's thread as soon as it
// arrives, but taken in the order of the user's file, so the results are those of
// downloading them one after the other. A broken article ends the articles of its own
// feed only.
//
// Every download is conditional (HttpGetIfChanged) on the validators the user's last
// check kept for its address (SaveFeedValidators); a feed read without fault keeps its new
// ones. A source answered 304 is not read again: it gives the items of its last read in
// this process, which go through the seen store as if read (after a restart it gives none
// until it changes: its headlines were seen then). The sources' results, with the time of
// each one's last new headline, are kept in the user's status file (SaveSourceStatus).
//
// When the window is gone, or the workers stop (CWorkers), the check stops between feeds
// and ends without writing or posting more; a download the stop aborts fails as an
// unreachable source does. Checks of the process never write a user's files at the same
// time.

#include "news/CNewsItem.h"
#include "news/NewsFiles.h"
#include "news/SourceStatus.h"
#include "platform/AppEvent.h"
#include "util/Net.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The messages a check posts, with their payloads.
template <>
struct CAppMessage<UM_NEWS_OFFLINE> {
    using WParam = CNoParam;
    using LParam = CNoParam;
};
template <>
struct CAppMessage<UM_NEWS_INDEX> {
    using WParam = PastNewsIndex;
    using LParam = CNoParam;
};
template <>
struct CAppMessage<UM_NEWS_ITEMS> {
    using WParam = CNewsItemList;
    using LParam = CSourceStatusMap;  // every chosen source's result, by name
};

struct NewsThreadParams {
    CWindowHandle hWnd = 0;
    std::string strUser;
    int nMaxParallel = 8;      // downloads at a time
    CHttpOptions httpOptions;  // limits of each download
};

// One feed's download (see CHttpFetch). Only a body of status 200 is kept: a failed
// download's partial body is released as soon as it fails.
struct CFeedDownload {
    int nStatus = 0;
    std::string strBody;
    CHttpValidators validators;
    bool bTimedOut = false;
    std::string strFailure;
    size_t nWireBytes = 0;

    // The content of the body's moreovernews element (empty when it is incomplete): a view
    // into strBody, not a copy.
    std::string_view Articles() const;
};

// Reads a download as soon as it ends, on the thread that called DownloadFeeds: its index
// among the URLs and the download, whose body it may take.
using CFeedReadFn = std::function<void(size_t, CFeedDownload&)>;

// Downloads every URL, params.nMaxParallel at a time, each on the condition of its known
// validators (none where known is shorter), posting UM_NEWS_OFFLINE to params.hWnd for
// each one that cannot be reached as it fails, and handing each to fnRead (when given)
// as it ends, on the calling thread while the others download. Stops starting downloads once the
// window is gone or the workers stop. Results keep the order of the URLs.
std::vector<CFeedDownload> DownloadFeeds(const std::vector<std::string>& urls,
                                         const NewsThreadParams& params,
                                         const std::vector<CHttpValidators>& known = {},
                                         const CFeedReadFn& fnRead = {});

void NewsThreadProc(NewsThreadParams params);

// Runs NewsThreadProc on a worker thread, joined at exit (CWorkers).
void StartNewsThread(NewsThreadParams params);
