#pragma once

// One news check: download the user's chosen feeds, cut out their articles, keep the
// headlines not seen before (at most NEWS_MAX_NEW_ITEMS), record them in the user's seen
// store and post the results to the news window:
//  - UM_NEWS_OFFLINE once per chosen source that could not be reached, in file order;
//  - UM_NEWS_INDEX with the PastNewsIndex of every article read, then
//  - UM_NEWS_ITEMS with the new items (a CNewsItemList).
// Feeds are downloaded several at a time but read in the order of the user's file, so the
// results are those of downloading them one after the other. When the window is gone the
// check stops without writing or posting. Checks of the process never write a seen store
// at the same time.

#include "platform/AppEvent.h"
#include "util/Net.h"

#include <chrono>
#include <string>

struct NewsThreadParams {
    CWindowHandle hWnd = 0;
    std::string strUser;
    int nMaxParallel = 8;       // downloads at a time
    CHttpOptions httpOptions;   // limits of each download
};

// Seen-store records older than this are dropped when the store is written.
constexpr std::chrono::hours SEEN_STORE_MAX_AGE{24 * 60};

void NewsThreadProc(NewsThreadParams params);

// Runs NewsThreadProc on a detached thread.
void StartNewsThread(NewsThreadParams params);
