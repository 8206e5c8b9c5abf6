#pragma once

// One article of a feed, and the containers a news check hands to the news window.

#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CNewsItem {
public:
    CNewsItem(std::string strUrl, std::string strHeadline, std::string strSource,
              std::string strCluster, std::time_t time);
    virtual ~CNewsItem();

    // Local time as "%b %d %Y, %I:%M %p" and "%m/%d %I:%M %p"; "invalid time" for time 0.
    std::string FormatLongDate() const;
    std::string FormatShortDate() const;

    std::string m_strUrl;
    std::string m_strHeadline;  // "&amp;" already turned into "&"
    std::string m_strSource;
    std::string m_strCluster;
    std::time_t m_time;  // 0: the feed's time did not parse
};

// At most this many new headlines are kept per check.
constexpr size_t NEWS_MAX_NEW_ITEMS = 20;

// A longer headline from a feed is cut to this many bytes.
constexpr size_t NEWS_MAX_HEADLINE = 1000;

using CNewsItemList = std::vector<std::unique_ptr<CNewsItem>>;

// Every article of the latest check: source name -> (label -> article URL), where the
// label is FormatShortDate() + " - " + headline.
using CPastNewsSource = std::map<std::string, std::string>;
using PastNewsIndex = std::map<std::string, CPastNewsSource>;

// The index label of an item.
std::string PastNewsLabel(const CNewsItem& item);
