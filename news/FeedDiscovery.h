#pragma once

// Finds the feeds a web page announces, so that a user can give a site's address instead
// of its feed's. Bytes in, values out; safe in any thread.
//
// A feed is announced by <link rel="alternate" type="application/rss+xml" href="...">
// or type "application/atom+xml": element and attribute names in any case, attributes in
// any order, values quoted with " or ' or not at all, character references decoded, rel a
// list of words one of which is "alternate" (any case), the type in any case and with
// parameters after ";". The page is scanned as HTML, not read as XML: comments and the
// content of script, style, textarea and title elements announce nothing; an unclosed
// tag or quote ends the scan. hrefs resolve against the first <base href> of the page
// (itself resolved against the page's address) or the page's address. Bytes that are not
// UTF-8 read as U+FFFD. Linear in the size of the page.

#include "news/FeedSource.h"

#include <string>
#include <string_view>

// At most this many feeds are returned; only the first MAX_FEED_ANNOUNCEMENTS
// announcements of a page are looked at.
constexpr size_t MAX_DISCOVERED_FEEDS = 32;
constexpr size_t MAX_FEED_ANNOUNCEMENTS = 1024;

// The announced feeds in page order, each address once (its first announcement), only
// absolute http and https addresses (see WebLink). The name is the link's title attribute
// as CleanSourceName makes it, empty when there is none.
CFeedSourceList DiscoverFeeds(std::string_view html, const std::string& strPageAddress);
