#pragma once

// Reading articles out of feed text. CElementCutter gives the same successive results as
// calling ExtractElement with one tag again and again on a shrinking text, but walks the
// text once instead of searching it from the start for every element.

#include "news/CNewsItem.h"

#include <memory>
#include <string>
#include <string_view>

class CElementCutter {
public:
    CElementCutter(std::string strTag, const std::string& strText);

    // The content of the next element; empty (and no more elements) when the next
    // opening, ">" or closing tag is missing.
    std::string Next();

private:
    // Where the next "<" + tag starts, in the text as ExtractElement would see it: the
    // kept text before the cut (of which only the last bytes can matter) joined to the
    // rest. Returns false when there is none; bInTail tells whether it starts in the tail.
    bool FindOpening(size_t& nTailPos, bool& bInTail) const;

    std::string m_strTag;
    std::string m_strOpen;   // "<" + tag
    std::string m_strClose;  // "</" + tag + ">"
    const std::string& m_strText;
    size_t m_nPos = 0;       // start of the part not yet looked at
    std::string m_strTail;   // last bytes of the text kept before m_nPos
    bool m_bDone = false;
};

// Builds an item from the content of one article element: the fields are cut in the
// order access_status, url, headline_text, source, harvest_time, cluster, and "&amp;" in
// the headline becomes "&".
std::unique_ptr<CNewsItem> ParseArticle(std::string strArticle);
