#pragma once

// Reading articles out of feed text. CElementCutter gives the same successive results as
// calling ExtractElement with one tag again and again on a shrinking text, but walks the
// text once instead of searching it from the start for every element.

#include "news/CNewsItem.h"

#include "util/Strings.h"

#include <memory>
#include <string>
#include <string_view>

class CElementCutter {
public:
    // strText must outlive the cutter.
    CElementCutter(std::string strTag, std::string_view strText);

    // The content of the next element; empty (and no more elements) when the next
    // opening, ">" or closing tag is missing.
    std::string Next();

private:
    std::string m_strOpen;   // "<" + tag
    std::string m_strClose;  // "</" + tag + ">"
    std::string_view m_text;
    size_t m_nPos = 0;  // start of the part not yet looked at
    // What ExtractElement would have kept of the text before m_nPos: the bytes between the
    // elements cut so far. It never holds a whole opening, but its end can begin one that
    // the rest completes, and cutting that element shortens it, which can bare an earlier
    // beginning in turn; so it is kept whole, not just its last bytes.
    std::string m_strKept;
    bool m_bDone = false;
};

// Builds an item from the content of one article element: the fields are cut in the
// order access_status, url, headline_text, source, harvest_time, cluster, and "&amp;" in
// the headline becomes "&". A headline is one line of at most NEWS_MAX_HEADLINE bytes:
// every run of white space that holds a CR or LF becomes one space, and a longer headline
// is cut at a character boundary.
std::unique_ptr<CNewsItem> ParseArticle(std::string strArticle);
