#pragma once

// The news the service publishes. Every article is a pure function of its source and its
// number, and article n of a source appears at n * interval + offset(source) seconds
// after the epoch, so the content follows the wall clock: a restarted service serves the
// same articles, and a running client sees a new one per source every interval.

#include "NewsTopics.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

enum class CSourceKind {
    Generated,    // answers at once
    Slow,         // answers after the configured delay
    Broken,       // answers HTTP 500
    Unreachable,  // listed with a URL on a closed port; never served here
};

struct CNewsSource {
    std::string strSlug;
    std::string strName;
    CSourceKind kind = CSourceKind::Generated;
    CTopicId topic = CTopicId::City;
};

class CNewsGenerator final {
public:
    // nIntervalSeconds must be positive.
    explicit CNewsGenerator(std::int64_t nIntervalSeconds);

    const std::vector<CNewsSource>& Sources() const { return m_arrSources; }
    // Any kind of source by its slug, or nullptr.
    const CNewsSource* FindSource(const std::string& strSlug) const;
    static bool HasArticles(const CNewsSource& source);

    // The number of the newest article that exists at time now, or -1 when there is none
    // (or the source publishes no articles).
    std::int64_t NewestArticle(const CNewsSource& source, std::time_t now) const;
    std::time_t ArticleTime(const CNewsSource& source, std::int64_t nArticle) const;

    // Plain text; the renderers escape it.
    std::string Headline(const CNewsSource& source, std::int64_t nArticle) const;
    std::string Cluster(const CNewsSource& source) const;
    std::vector<std::string> Paragraphs(const CNewsSource& source, std::int64_t nArticle) const;

private:
    std::int64_t Offset(const CNewsSource& source) const;
    std::string Fill(const std::string& strTemplate, const CNewsTopic& topic,
                     std::uint64_t nSeed) const;

    std::vector<CNewsSource> m_arrSources;
    std::int64_t m_nInterval;
};
