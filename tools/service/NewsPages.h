#pragma once

// Renders what the news endpoints send: the catalogue of sources, one source's feed and
// one article's page. strHost is the host (and port) the request was addressed to, so
// every link works from wherever the client reached the service.

#include "CNewsGenerator.h"

#include <cstdint>
#include <ctime>
#include <string>

// "Name<!!div!!>http://HOST/feeds/slug.xml" lines, one per source, each ending in LF.
std::string CatalogueText(const CNewsGenerator& news, const std::string& strHost);

// The newest nFeedSize articles of the source that exist at time now, newest first.
std::string FeedXml(const CNewsGenerator& news, const CNewsSource& source,
                    const std::string& strHost, std::time_t now, int nFeedSize);

// A complete HTML page for one article.
std::string ArticleHtml(const CNewsGenerator& news, const CNewsSource& source,
                        std::int64_t nArticle);

// The page behind the default version URL.
std::string DownloadHtml(const std::string& strVersionCount);
