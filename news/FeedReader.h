#pragma once

// Reads the feeds of the open web: RSS 0.9x and 2.0, RSS 1.0 and 0.90 (RDF) and Atom 1.0
// and 0.3, from their bytes and the address they were fetched from. Bytes in, values out;
// no network, no widgets. Safe in any thread.
//
// What is read:
//  - the feed's title (of the channel, or of the Atom feed) and, per item or entry, its
//    headline, its link and its time;
//  - headlines and the title are plain text on one line of at most NEWS_MAX_HEADLINE bytes
//    of UTF-8 (see OneLineText). Atom titles of type "html" (0.3: mode "escaped") lose
//    their tags and character references, those of type "xhtml" keep the text of their
//    elements. RSS titles are often HTML, escaped or in CDATA: their tags of HTML element
//    names and their character references are decoded too (ETagSet::Known), so that a
//    plain "Tom &amp;amp; Jerry" reads "Tom & Jerry" while "use <vector>" stays;
//  - links are absolute http or https addresses or empty (see WebLink), resolved against
//    the xml:base of the element and all around it, and then the feed's address. Atom:
//    the first link with rel "alternate" (or no rel) of type text/html (or none), else any
//    such alternate. RSS: <link>, else a <guid> that is a permalink (isPermaLink "true" or
//    absent) and an address, else (RSS 1.0) the item's rdf:about;
//  - the time is seconds since 1970 UTC, 0 when absent or unreadable (see ParseFeedDate):
//    RSS pubDate, else dc:date; Atom published (0.3: issued, created), else updated (0.3:
//    modified), else dc:date.
// Limits: at most MAX_FEED_ITEMS items (the rest of the document is not read); elements
// nested deeper than MAX_FEED_DEPTH are skipped with all they hold; a field keeps its
// first MAX_FEED_FIELD characters. The reader is linear in the size of the feed; the
// download caps that size.

#include "news/CNewsItem.h"

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t MAX_FEED_ITEMS = 1000;
constexpr size_t MAX_FEED_DEPTH = 64;
constexpr size_t MAX_FEED_FIELD = 65536;

struct CFeedItem {
    std::string strHeadline;  // may be empty: the item had no title
    std::string strLink;      // may be empty: no usable link
    std::time_t time = 0;
};

struct CFeed {
    std::string strTitle;
    std::vector<CFeedItem> items;  // in document order
};

enum class EFeedStatus {
    Ok,        // feed holds what was read
    NotAFeed,  // well-formed or not, the document is something else: an HTML page (a
               // site's home page given for its feed), an OPML file ...
    BadXml,    // the document is not well-formed XML
};

struct CFeedResult {
    EFeedStatus status = EFeedStatus::Ok;
    // Why it failed: "not a feed: an HTML page", "not a feed: the document is <opml>",
    // "XML error at line 12: Opening and ending tag mismatch." Empty when Ok.
    std::string strError;
    CFeed feed;  // empty unless Ok
};

CFeedResult ReadFeed(std::string_view bytes, const std::string& strAddress);

// The items as the news check hands them on: source strSource (the name the user gave
// the feed), no cluster, the item's time. Items without a headline are left out, since
// a headline is what the seen store and the chat room go by.
CNewsItemList ToNewsItems(const CFeed& feed, const std::string& strSource);
