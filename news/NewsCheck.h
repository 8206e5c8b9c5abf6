#pragma once

// One news check: download the user's chosen feeds, cut out their articles, keep the
// headlines not seen before (at most NEWS_MAX_NEW_ITEMS), record them in the user's seen
// store and post the results to the news window:
//  - UM_NEWS_OFFLINE once per chosen source that could not be reached, as soon as its
//    download fails (so in the order the failures happen, before the results);
//  - UM_NEWS_INDEX with the PastNewsIndex of every article read, then
//  - UM_NEWS_ITEMS with the new items (a CNewsItemList).
// Feeds are downloaded several at a time but read in the order of the user's file, so the
// results are those of downloading them one after the other. When the window is gone, or
// the workers stop (CWorkers), the check stops between feeds and ends without writing or
// posting more; a download the stop aborts fails as an unreachable source does. Checks of
// the process never write a seen store at the same time.

#include "news/CNewsItem.h"
#include "news/NewsFiles.h"
#include "platform/AppEvent.h"
#include "util/Net.h"

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
    using LParam = CNoParam;
};

struct NewsThreadParams {
    CWindowHandle hWnd = 0;
    std::string strUser;
    int nMaxParallel = 8;      // downloads at a time
    CHttpOptions httpOptions;  // limits of each download
};

// One feed's download. Only a body of status 200 is kept: a failed download's partial body
// is released as soon as it fails.
struct CFeedDownload {
    int nStatus = 0;
    std::string strBody;

    // The content of the body's moreovernews element (empty when it is incomplete): a view
    // into strBody, not a copy.
    std::string_view Articles() const;
};

// Downloads every URL, params.nMaxParallel at a time, posting UM_NEWS_OFFLINE to
// params.hWnd for each one that cannot be reached as it fails. Stops starting downloads
// once the window is gone or the workers stop. Results keep the order of the URLs.
std::vector<CFeedDownload> DownloadFeeds(const std::vector<std::string>& urls,
                                         const NewsThreadParams& params);

void NewsThreadProc(NewsThreadParams params);

// Runs NewsThreadProc on a worker thread, joined at exit (CWorkers).
void StartNewsThread(NewsThreadParams params);
