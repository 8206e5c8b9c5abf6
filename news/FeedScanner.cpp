#include "news/FeedScanner.h"

#include "util/FeedTime.h"
#include "util/Strings.h"

#include <algorithm>

CElementCutter::CElementCutter(std::string strTag, std::string_view strText)
    : m_strOpen("<" + strTag), m_strClose("</" + strTag + ">"), m_text(strText) {}

std::string CElementCutter::Next() {
    if (m_bDone) {
        return {};
    }
    // An opening that begins in the kept text begins in its last bytes, fewer than an
    // opening's, and comes before any opening in the rest.
    const size_t nKeep = m_strOpen.size() - 1;
    const size_t nTail = std::min(nKeep, m_strKept.size());
    std::string strJoint = m_strKept.substr(m_strKept.size() - nTail);
    strJoint += m_text.substr(m_nPos, nKeep);
    size_t nHit = strJoint.find(m_strOpen);
    const bool bInKept = nHit != std::string::npos && nHit < nTail;
    size_t nOpen = 0;  // in m_text, when the opening lies wholly in the rest
    size_t nAfterName = 0;
    if (bInKept) {
        nAfterName = m_nPos + (nHit + m_strOpen.size() - nTail);
    } else {
        nOpen = m_text.find(m_strOpen, m_nPos);
        if (nOpen == std::string_view::npos) {
            m_bDone = true;
            return {};
        }
        nAfterName = nOpen + m_strOpen.size();
    }
    size_t nGt = m_text.find('>', nAfterName);
    size_t nClose =
        nGt == std::string_view::npos ? std::string_view::npos : m_text.find(m_strClose, nGt + 1);
    if (nClose == std::string_view::npos) {
        // ExtractElement fails here and leaves the text as it is: every later call fails too.
        m_bDone = true;
        return {};
    }
    if (bInKept) {
        m_strKept.resize(m_strKept.size() - (nTail - nHit));
    } else {
        m_strKept.append(m_text, m_nPos, nOpen - m_nPos);
    }
    m_nPos = nClose + m_strClose.size();
    return std::string(m_text.substr(nGt + 1, nClose - nGt - 1));
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// A headline is shown on one line and keys one line of the seen store.
std::string OneLineHeadline(const std::string& strHeadline) {
    std::string strOut;
    strOut.reserve(strHeadline.size());
    for (size_t i = 0; i < strHeadline.size();) {
        if (!IsBlank(strHeadline[i])) {
            strOut += strHeadline[i++];
            continue;
        }
        size_t nEnd = i;
        bool bBreak = false;
        for (; nEnd < strHeadline.size() && IsBlank(strHeadline[nEnd]); ++nEnd) {
            bBreak = bBreak || strHeadline[nEnd] == '\r' || strHeadline[nEnd] == '\n';
        }
        if (bBreak) {
            strOut += ' ';
        } else {
            strOut.append(strHeadline, i, nEnd - i);
        }
        i = nEnd;
    }
    return CutAtCharBoundary(strOut, NEWS_MAX_HEADLINE);
}

}  // namespace

std::unique_ptr<CNewsItem> ParseArticle(std::string strArticle) {
    ExtractElement("access_status", strArticle);
    std::string strUrl = ExtractElement("url", strArticle);
    std::string strHeadline = ExtractElement("headline_text", strArticle);
    std::string strSource = ExtractElement("source", strArticle);
    std::string strTime = ExtractElement("harvest_time", strArticle);
    std::string strCluster = ExtractElement("cluster", strArticle);
    ReplaceAll(strHeadline, "&amp;", "&");
    return std::make_unique<CNewsItem>(std::move(strUrl), OneLineHeadline(strHeadline),
                                       std::move(strSource), std::move(strCluster),
                                       ParseFeedTime(strTime));
}
