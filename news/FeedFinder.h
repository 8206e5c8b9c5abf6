#pragma once

// Finds the feed behind an address a user types: the feed itself, or a web page that
// announces one. Blocks on the network: call it on a worker thread.

#include "news/FeedSource.h"
#include "platform/AppEvent.h"
#include "util/Net.h"

#include <string>

struct CFoundFeed {
    bool bFound = false;
    // The feed: its name is its title (see CleanSourceName), empty when it has none; its
    // address is where the feed itself was read, after the page that announced it.
    CFeedSource source;
    // Why nothing was found, for people: "not a web address", "HTTP 404", "timed out",
    // "no answer: ...", "the page announces no feed", "not a feed: ...", "XML error ...".
    std::string strError;
};

// Reads the address (a missing scheme is taken as http://) with HttpGet's limits: a feed
// there is found; an HTML page is searched for the feeds it announces (DiscoverFeeds),
// which are read in page order until one reads as a feed (at most
// MAX_FEEDS_TRIED_PER_PAGE).
constexpr size_t MAX_FEEDS_TRIED_PER_PAGE = 4;
CFoundFeed FindFeed(const std::string& strAddress, const CHttpOptions& options = CHttpOptions());

template <>
struct CAppMessage<UM_FEED_FOUND> {
    using WParam = CFoundFeed;
    using LParam = std::string;  // the address as typed
};

// Runs FindFeed on a worker thread (CWorkers) and posts its result to hWnd.
void StartFeedFinder(CWindowHandle hWnd, const std::string& strAddress);
