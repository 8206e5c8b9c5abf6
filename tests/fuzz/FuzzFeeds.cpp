// The readers of the open web's news: feeds, feed discovery in pages, OPML, and the dates
// of feeds. The first byte picks the target (see kTargets); for a feed or a page the first
// line is the address it came from. Properties: caps hold, links are absolute http or
// https addresses or empty, headlines and names are one clean line within their caps,
// failures say why, OPML written is read back, and a date printed from a time is read
// back as that time.

#include "news/FeedDate.h"
#include "news/FeedDiscovery.h"
#include "news/FeedReader.h"
#include "news/Opml.h"
#include "news/WebLinks.h"
#include "tests/fuzz/FuzzSupport.h"

#include <ctime>
#include <set>
#include <string>

namespace {

constexpr std::string_view kTargets = "fdot";

bool IsWebLink(const std::string& strLink) {
    if (strLink.size() > MAX_LINK_BYTES ||
        !(strLink.starts_with("http://") || strLink.starts_with("https://"))) {
        return false;
    }
    for (char c : strLink) {
        if (c <= ' ' || c > '~') {
            return false;
        }
    }
    return true;
}

bool IsOneLine(const std::string& strText, size_t nMaxBytes) {
    return strText.size() <= nMaxBytes && strText.find_first_of("\r\n\t") == std::string::npos &&
           fuzz_support::IsUtf8(strText) && !strText.starts_with(' ') && !strText.ends_with(' ');
}

void CheckName(const std::string& strName) {
    FUZZ_CHECK(IsOneLine(strName, MAX_SOURCE_NAME));
    FUZZ_CHECK(strName.find("<!!div!!>") == std::string::npos);
    FUZZ_CHECK(CleanSourceName(strName) == strName);
}

void CheckFeed(std::string_view strAddress, std::string_view bytes) {
    const CFeedResult result = ReadFeed(bytes, std::string(strAddress));
    switch (result.status) {
        case EFeedStatus::Ok: FUZZ_CHECK(result.strError.empty()); break;
        case EFeedStatus::NotAFeed: FUZZ_CHECK(result.strError.starts_with("not a feed: ")); break;
        case EFeedStatus::BadXml:
            FUZZ_CHECK(result.strError.starts_with("XML error at line "));
            break;
    }
    FUZZ_CHECK(result.status == EFeedStatus::Ok || result.feed.items.empty());
    FUZZ_CHECK(result.feed.items.size() <= MAX_FEED_ITEMS);
    FUZZ_CHECK(IsOneLine(result.feed.strTitle, NEWS_MAX_HEADLINE));
    for (const CFeedItem& item : result.feed.items) {
        FUZZ_CHECK(IsOneLine(item.strHeadline, NEWS_MAX_HEADLINE));
        FUZZ_CHECK(item.strLink.empty() || IsWebLink(item.strLink));
        FUZZ_CHECK(item.time >= 0);
    }
    FUZZ_CHECK(ToNewsItems(result.feed, "s").size() <= result.feed.items.size());
}

void CheckDiscovery(std::string_view strAddress, std::string_view html) {
    const CFeedSourceList feeds = DiscoverFeeds(html, std::string(strAddress));
    FUZZ_CHECK(feeds.size() <= MAX_DISCOVERED_FEEDS);
    std::set<std::string> addresses;
    for (const CFeedSource& feed : feeds) {
        FUZZ_CHECK(IsWebLink(feed.strAddress));
        FUZZ_CHECK(addresses.insert(feed.strAddress).second);
        CheckName(feed.strName);
    }
}

void CheckOpml(std::string_view bytes) {
    const COpmlResult result = ReadOpml(bytes);
    FUZZ_CHECK((result.status == EOpmlStatus::Ok) == result.strError.empty());
    FUZZ_CHECK(result.sources.size() <= MAX_OPML_SOURCES);
    std::set<std::string> addresses;
    for (const CFeedSource& source : result.sources) {
        FUZZ_CHECK(IsWebLink(source.strAddress));
        FUZZ_CHECK(addresses.insert(source.strAddress).second);
        FUZZ_CHECK(!source.strName.empty());
        CheckName(source.strName);
    }
    if (result.status == EOpmlStatus::Ok) {
        const COpmlResult again =
            ReadOpml(WriteOpml(result.sources, std::string(bytes.substr(0, 64))));
        FUZZ_CHECK(again.status == EOpmlStatus::Ok);
        FUZZ_CHECK(again.sources == result.sources);
    }
}

// Any text reads as a time of 1970 or later, or 0; a time printed in either form, in any
// zone, reads back as itself.
void CheckDates(std::string_view bytes) {
    FUZZ_CHECK(ParseFeedDate(bytes) >= 0);
    if (bytes.size() < 10) {
        return;
    }
    uint64_t nBits = 0;
    for (size_t i = 0; i < 8; ++i) {
        nBits = nBits << 8 | static_cast<unsigned char>(bytes[i]);
    }
    constexpr long long kLastSecond = 253402300799;  // 9999-12-31 23:59:59 UTC
    const int nOffset = static_cast<int>((static_cast<unsigned char>(bytes[8]) << 8 |
                                          static_cast<unsigned char>(bytes[9])) %
                                         (2 * 1439 + 1)) -
                        1439;
    const std::time_t time = static_cast<std::time_t>(1 + nBits % kLastSecond);
    const std::time_t local = time + nOffset * 60;
    if (local < 0 || local > kLastSecond) {
        return;
    }
    std::tm tm{};
    FUZZ_CHECK(gmtime_r(&local, &tm));
    char szDate[64];
    const char cSign = nOffset < 0 ? '-' : '+';
    const int nAbs = nOffset < 0 ? -nOffset : nOffset;
    char szZone[16];
    std::snprintf(szZone, sizeof szZone, "%c%02d%02d", cSign, nAbs / 60, nAbs % 60);
    std::strftime(szDate, sizeof szDate, "%a, %d %b %Y %H:%M:%S ", &tm);
    FUZZ_CHECK(ParseRfc822Date(std::string(szDate) + szZone) == time);
    std::snprintf(szZone, sizeof szZone, "%c%02d:%02d", cSign, nAbs / 60, nAbs % 60);
    std::strftime(szDate, sizeof szDate, "%Y-%m-%dT%H:%M:%S", &tm);
    FUZZ_CHECK(ParseRfc3339Date(std::string(szDate) + szZone) == time);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const fuzz_support::CInput input = fuzz_support::SplitInput(pData, nSize, kTargets);
    switch (kTargets[input.nTarget]) {
        case 'f': CheckFeed(input.strParam, input.strRest); break;
        case 'd': CheckDiscovery(input.strParam, input.strRest); break;
        case 'o': CheckOpml(input.strBody); break;
        case 't': CheckDates(input.strBody); break;
    }
    return 0;
}
