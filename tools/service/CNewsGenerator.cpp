#include "CNewsGenerator.h"

#include <algorithm>
#include <cstdio>

namespace {

// FNV-1a: a stable seed per slug, independent of the order of the source table.
std::uint64_t HashText(const std::string& strText) {
    std::uint64_t nHash = 1469598103934665603ull;
    for (unsigned char c : strText) {
        nHash ^= c;
        nHash *= 1099511628211ull;
    }
    return nHash;
}

// splitmix64 finaliser: spreads neighbouring article numbers over the whole range.
std::uint64_t Mix(std::uint64_t nValue) {
    nValue += 0x9E3779B97F4A7C15ull;
    nValue = (nValue ^ (nValue >> 30)) * 0xBF58476D1CE4E5B9ull;
    nValue = (nValue ^ (nValue >> 27)) * 0x94D049BB133111EBull;
    return nValue ^ (nValue >> 31);
}

std::uint64_t Mix(std::uint64_t nSeed, std::uint64_t nSalt) { return Mix(nSeed ^ Mix(nSalt)); }

const std::string& Pick(const std::vector<std::string>& arr, std::uint64_t nHash) {
    return arr[nHash % arr.size()];
}

// A second pick from the same pool that differs from the first one.
const std::string& PickOther(const std::vector<std::string>& arr, std::uint64_t nFirst,
                             std::uint64_t nHash) {
    size_t nIndex = nFirst % arr.size();
    if (arr.size() < 2) {
        return arr[nIndex];
    }
    return arr[(nIndex + 1 + nHash % (arr.size() - 1)) % arr.size()];
}

void CapitaliseFirst(std::string& str) {
    if (!str.empty() && str[0] >= 'a' && str[0] <= 'z') {
        str[0] = static_cast<char>(str[0] - 'a' + 'A');
    }
}

std::int64_t FloorDiv(std::int64_t nValue, std::int64_t nDivisor) {
    std::int64_t nQuotient = nValue / nDivisor;
    return (nValue % nDivisor != 0 && nValue < 0) ? nQuotient - 1 : nQuotient;
}

}  // namespace

CNewsGenerator::CNewsGenerator(std::int64_t nIntervalSeconds)
    : m_nInterval(std::max<std::int64_t>(1, nIntervalSeconds)) {
    m_arrSources = {
        {"riverton-ledger", "Riverton Evening Ledger", CSourceKind::Generated, CTopicId::City},
        {"copperfield-markets", "Copperfield Market Report", CSourceKind::Generated,
         CTopicId::Business},
        {"bytewise-dispatch", "Bytewise Dispatch", CSourceKind::Generated, CTopicId::Technology},
        {"touchline-herald", "Touchline Herald", CSourceKind::Generated, CTopicId::Sport},
        {"quarkwell-review", "Quarkwell Science Review", CSourceKind::Generated, CTopicId::Science},
        {"lantern-arts", "Lantern Arts Journal", CSourceKind::Generated, CTopicId::Culture},
        {"slow", "Drizzle Valley Weather (slow)", CSourceKind::Slow, CTopicId::Weather},
        {"broken", "Static Crackle News (broken)", CSourceKind::Broken, CTopicId::City},
        {"unreachable", "Far Ridge Wire (unreachable)", CSourceKind::Unreachable, CTopicId::City},
    };
}

const CNewsSource* CNewsGenerator::FindSource(const std::string& strSlug) const {
    auto it = std::find_if(m_arrSources.begin(), m_arrSources.end(),
                           [&](const CNewsSource& source) { return source.strSlug == strSlug; });
    return it == m_arrSources.end() ? nullptr : &*it;
}

bool CNewsGenerator::HasArticles(const CNewsSource& source) {
    return source.kind == CSourceKind::Generated || source.kind == CSourceKind::Slow;
}

std::int64_t CNewsGenerator::Offset(const CNewsSource& source) const {
    return static_cast<std::int64_t>(HashText(source.strSlug) %
                                     static_cast<std::uint64_t>(m_nInterval));
}

std::int64_t CNewsGenerator::NewestArticle(const CNewsSource& source, std::time_t now) const {
    if (!HasArticles(source)) {
        return -1;
    }
    std::int64_t nSince = static_cast<std::int64_t>(now) - Offset(source);
    return nSince < 0 ? -1 : FloorDiv(nSince, m_nInterval);
}

std::time_t CNewsGenerator::ArticleTime(const CNewsSource& source, std::int64_t nArticle) const {
    return static_cast<std::time_t>(nArticle * m_nInterval + Offset(source));
}

std::string CNewsGenerator::Cluster(const CNewsSource& source) const {
    return NewsTopic(source.topic).strCluster;
}

std::string CNewsGenerator::Headline(const CNewsSource& source, std::int64_t nArticle) const {
    const CNewsTopic& topic = NewsTopic(source.topic);
    std::uint64_t nSeed = Mix(HashText(source.strSlug), static_cast<std::uint64_t>(nArticle));
    std::string strHeadline = Fill(Pick(topic.arrHeadlines, Mix(nSeed, 1)), topic, nSeed);
    CapitaliseFirst(strHeadline);
    return strHeadline;
}

std::vector<std::string> CNewsGenerator::Paragraphs(const CNewsSource& source,
                                                    std::int64_t nArticle) const {
    const CNewsTopic& topic = NewsTopic(source.topic);
    // The body shares the headline's seed, so names and places agree with the headline.
    std::uint64_t nSeed = Mix(HashText(source.strSlug), static_cast<std::uint64_t>(nArticle));
    std::vector<size_t> arrOrder(topic.arrSentences.size());
    for (size_t i = 0; i < arrOrder.size(); ++i) {
        arrOrder[i] = i;
    }
    // Deterministic shuffle, so each article uses each sentence at most once.
    for (size_t i = arrOrder.size(); i > 1; --i) {
        std::swap(arrOrder[i - 1], arrOrder[Mix(nSeed, 100 + i) % i]);
    }
    std::vector<std::string> arrParagraphs;
    size_t nNext = 0;
    size_t nParagraphs = 2 + Mix(nSeed, 99) % 2;
    for (size_t p = 0; p < nParagraphs && nNext < arrOrder.size(); ++p) {
        std::string strParagraph;
        for (size_t s = 0; s < 2 && nNext < arrOrder.size(); ++s) {
            std::string strSentence = Fill(topic.arrSentences[arrOrder[nNext++]], topic, nSeed);
            CapitaliseFirst(strSentence);
            strParagraph += (strParagraph.empty() ? "" : " ") + strSentence;
        }
        arrParagraphs.push_back(strParagraph);
    }
    return arrParagraphs;
}

std::string CNewsGenerator::Fill(const std::string& strTemplate, const CNewsTopic& topic,
                                 std::uint64_t nSeed) const {
    std::uint64_t nActor = Mix(nSeed, 2);
    std::uint64_t nSubject = Mix(nSeed, 3);
    std::uint64_t nPlace = Mix(nSeed, 4);
    std::string strOut;
    size_t nPos = 0;
    while (nPos < strTemplate.size()) {
        size_t nOpen = strTemplate.find('{', nPos);
        size_t nClose = nOpen == std::string::npos ? nOpen : strTemplate.find('}', nOpen);
        if (nClose == std::string::npos) {
            strOut += strTemplate.substr(nPos);
            break;
        }
        strOut += strTemplate.substr(nPos, nOpen - nPos);
        std::string strName = strTemplate.substr(nOpen + 1, nClose - nOpen - 1);
        char szNumber[32];
        if (strName == "a") {
            strOut += Pick(topic.arrActors, nActor);
        } else if (strName == "a2") {
            strOut += PickOther(topic.arrActors, nActor, Mix(nSeed, 5));
        } else if (strName == "b") {
            strOut += Pick(topic.arrSubjects, nSubject);
        } else if (strName == "b2") {
            strOut += PickOther(topic.arrSubjects, nSubject, Mix(nSeed, 6));
        } else if (strName == "c") {
            strOut += Pick(topic.arrPlaces, nPlace);
        } else if (strName == "c2") {
            strOut += PickOther(topic.arrPlaces, nPlace, Mix(nSeed, 7));
        } else if (strName == "w") {
            strOut += Pick(NewsWeekdays(), Mix(nSeed, 8));
        } else if (strName == "n") {
            std::snprintf(szNumber, sizeof szNumber, "%d",
                          static_cast<int>(2 + Mix(nSeed, 9) % 94));
            strOut += szNumber;
        } else if (strName == "d") {
            std::snprintf(szNumber, sizeof szNumber, "%d",
                          static_cast<int>(2 + Mix(nSeed, 13) % 18));
            strOut += szNumber;
        } else if (strName == "k") {
            std::uint64_t nTenths = 11 + Mix(nSeed, 10) % 89;
            std::snprintf(szNumber, sizeof szNumber, "%d.%d", static_cast<int>(nTenths / 10),
                          static_cast<int>(nTenths % 10));
            strOut += szNumber;
        } else if (strName == "s" || strName == "t") {
            // A winner's score and a lower one, so "beat 2-3" never happens.
            std::uint64_t nHigh = 1 + Mix(nSeed, 11) % 5;
            std::uint64_t nScore = strName == "s" ? nHigh : Mix(nSeed, 12) % nHigh;
            std::snprintf(szNumber, sizeof szNumber, "%d", static_cast<int>(nScore));
            strOut += szNumber;
        } else {
            strOut += strTemplate.substr(nOpen, nClose - nOpen + 1);
        }
        nPos = nClose + 1;
    }
    return strOut;
}
