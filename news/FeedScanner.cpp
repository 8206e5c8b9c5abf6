#include "news/FeedScanner.h"

#include "util/FeedTime.h"
#include "util/Strings.h"

CElementCutter::CElementCutter(std::string strTag, const std::string& strText)
    : m_strTag(std::move(strTag)),
      m_strOpen("<" + m_strTag),
      m_strClose("</" + m_strTag + ">"),
      m_strText(strText) {}

bool CElementCutter::FindOpening(size_t& nFound, bool& bInTail) const {
    // The kept text never holds a whole opening of its own (it is what came before the
    // first one), but its last bytes can begin one that the rest completes.
    if (!m_strTail.empty()) {
        std::string strJoint = m_strTail + m_strText.substr(m_nPos, m_strOpen.size());
        size_t nHit = strJoint.find(m_strOpen);
        if (nHit != std::string::npos && nHit < m_strTail.size()) {
            nFound = nHit;
            bInTail = true;
            return true;
        }
    }
    size_t nHit = m_strText.find(m_strOpen, m_nPos);
    if (nHit == std::string::npos) {
        return false;
    }
    nFound = nHit;
    bInTail = false;
    return true;
}

std::string CElementCutter::Next() {
    if (m_bDone) {
        return {};
    }
    size_t nOpen = 0;
    bool bInTail = false;
    if (!FindOpening(nOpen, bInTail)) {
        m_bDone = true;
        return {};
    }
    // Index in m_strText just after the tag name.
    size_t nAfterName = bInTail ? m_nPos + (nOpen + m_strOpen.size() - m_strTail.size())
                                : nOpen + m_strOpen.size();
    size_t nGt = m_strText.find('>', nAfterName);
    size_t nClose = nGt == std::string::npos ? std::string::npos
                                             : m_strText.find(m_strClose, nGt + 1);
    if (nClose == std::string::npos) {
        // ExtractElement fails here and leaves the text as it is: every later call fails too.
        m_bDone = true;
        return {};
    }
    std::string strContent = m_strText.substr(nGt + 1, nClose - nGt - 1);
    // The kept text grows by what lay between the last cut and this opening; only its
    // last bytes, fewer than an opening's, can matter for later searches.
    const size_t nKeep = m_strOpen.size() - 1;
    if (bInTail) {
        m_strTail.resize(nOpen);
    } else if (nOpen - m_nPos >= nKeep) {
        m_strTail.assign(m_strText, nOpen - nKeep, nKeep);
    } else {
        m_strTail.append(m_strText, m_nPos, nOpen - m_nPos);
        if (m_strTail.size() > nKeep) {
            m_strTail.erase(0, m_strTail.size() - nKeep);
        }
    }
    m_nPos = nClose + m_strClose.size();
    return strContent;
}

std::unique_ptr<CNewsItem> ParseArticle(std::string strArticle) {
    ExtractElement("access_status", strArticle);
    std::string strUrl = ExtractElement("url", strArticle);
    std::string strHeadline = ExtractElement("headline_text", strArticle);
    std::string strSource = ExtractElement("source", strArticle);
    std::string strTime = ExtractElement("harvest_time", strArticle);
    std::string strCluster = ExtractElement("cluster", strArticle);
    ReplaceAll(strHeadline, "&amp;", "&");
    return std::make_unique<CNewsItem>(std::move(strUrl), std::move(strHeadline),
                                       std::move(strSource), std::move(strCluster),
                                       ParseFeedTime(strTime));
}
