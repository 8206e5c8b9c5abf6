#pragma once

// Strict readers of the catalogue and of feeds for the service tests. They report every
// deviation from the expected format as a test failure and return what they could read.

#include <ctime>
#include <set>
#include <string>
#include <vector>

struct CCatalogueEntry {
    std::string strName;
    std::string strUrl;
};

// "Name<!!div!!>URL" lines.
std::vector<CCatalogueEntry> ParseCatalogue(const std::string& strBody);

struct CFeedArticle {
    long long nId = 0;
    std::string strUrl;
    std::string strHeadline;  // as sent, entities and all
    std::string strSource;
    std::string strCluster;
    std::string strHarvestTime;
    std::time_t time = 0;  // harvest_time read back as UTC
};

// The declaration, the root, then articles of exactly nine lines in the fixed order.
std::vector<CFeedArticle> ParseFeed(const std::string& strBody);

// "Jan 15 2001 3:45PM": month abbreviation, day and hour without leading zero, 12-hour
// clock with AM or PM right after the minutes.
bool IsHarvestTime(const std::string& strText);

// The element names used in a document: the name after each "<", "</" or "<?".
std::set<std::string> TagNames(const std::string& strBody);

// True when every '&' starts one of the entities the client decodes.
bool AmpersandsAreEscaped(const std::string& strText);

// Turns those entities back into characters.
std::string Unescape(std::string str);
