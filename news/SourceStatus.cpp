#include "news/SourceStatus.h"

#include "news/NewsFiles.h"
#include "util/AppFiles.h"
#include "util/Strings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr std::array<std::pair<ESourceResult, std::string_view>, 7> kResultWords{{
    {ESourceResult::Ok, "ok"},
    {ESourceResult::NotModified, "unchanged"},
    {ESourceResult::HttpError, "http"},
    {ESourceResult::TimedOut, "timeout"},
    {ESourceResult::NoAnswer, "noanswer"},
    {ESourceResult::NotAFeed, "notafeed"},
    {ESourceResult::BadXml, "xml"},
}};

// Largest item count kept: a feed holds at most a few thousand.
constexpr long long kMaxItems = 1000000;

std::vector<std::string_view> SplitTabs(std::string_view text) {
    std::vector<std::string_view> fields;
    for (size_t nStart = 0;;) {
        const size_t nTab = text.find('\t', nStart);
        fields.push_back(
            text.substr(nStart, nTab == std::string_view::npos ? nTab : nTab - nStart));
        if (nTab == std::string_view::npos) {
            return fields;
        }
        nStart = nTab + 1;
    }
}

long long ReadNumber(std::string_view text, long long nMax) {
    long long n = 0;
    auto [pEnd, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (error == std::errc::result_out_of_range) {
        return nMax;
    }
    return error != std::errc() || pEnd != text.data() + text.size() ? 0 : std::clamp(n, 0LL, nMax);
}

// One line without tabs or control characters, within the cap.
std::string OneLine(std::string_view text) {
    std::string strOut;
    for (char c : text.substr(0, MAX_STATUS_DETAIL * 2)) {
        const auto u = static_cast<unsigned char>(c);
        strOut += u < 0x20 || u == 0x7F ? ' ' : c;
    }
    return CutAtCharBoundary(strOut, MAX_STATUS_DETAIL);
}

// What a server could have sent as a validator: it goes back into a header line.
bool IsValidator(std::string_view text) {
    return text.size() <= MAX_HTTP_VALIDATOR && std::none_of(text.begin(), text.end(), [](char c) {
               return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
           });
}

}  // namespace

bool CSourceStatus::Failed() const {
    return result != ESourceResult::Unknown && result != ESourceResult::Ok &&
           result != ESourceResult::NotModified;
}

std::string CSourceStatus::Text() const {
    const std::string strItems = std::to_string(nItems) + (nItems == 1 ? " item" : " items");
    switch (result) {
        case ESourceResult::Unknown: return "not checked yet";
        case ESourceResult::Ok: return "ok, " + strItems;
        case ESourceResult::NotModified: return "unchanged, " + strItems;
        case ESourceResult::HttpError: return "HTTP " + std::to_string(nHttpStatus);
        case ESourceResult::TimedOut: return "timed out";
        case ESourceResult::NoAnswer: return "no answer: " + strDetail;
        case ESourceResult::NotAFeed:
        case ESourceResult::BadXml: return strDetail;
    }
    return {};
}

size_t FailedCount(const CSourceStatusMap& statuses) {
    return static_cast<size_t>(std::count_if(
        statuses.begin(), statuses.end(), [](const auto& entry) { return entry.second.Failed(); }));
}

CSourceStatusMap LoadSourceStatus(const std::string& strUser) {
    CStringMap lines;
    LoadMapFile(SourceStatusFile(strUser), lines);
    CSourceStatusMap statuses;
    for (const auto& [strName, strValue] : lines) {
        const std::vector<std::string_view> fields = SplitTabs(strValue);
        if (fields.size() != 5) {
            continue;
        }
        CSourceStatus status;
        for (const auto& [result, word] : kResultWords) {
            if (fields[0] == word) {
                status.result = result;
            }
        }
        status.nHttpStatus = static_cast<int>(ReadNumber(fields[1], 999));
        status.nItems = static_cast<size_t>(ReadNumber(fields[2], kMaxItems));
        status.lastNew = static_cast<std::time_t>(ReadNumber(fields[3], 253402300799LL));
        status.strDetail = OneLine(fields[4]);
        statuses[strName] = std::move(status);
    }
    return statuses;
}

bool SaveSourceStatus(const std::string& strUser, const CSourceStatusMap& statuses) {
    CStringMap lines;
    for (const auto& [strName, status] : statuses) {
        std::string_view word = "unknown";
        for (const auto& [result, resultWord] : kResultWords) {
            if (status.result == result) {
                word = resultWord;
            }
        }
        lines[strName] = std::string(word) + "\t" + std::to_string(status.nHttpStatus) + "\t" +
                         std::to_string(status.nItems) + "\t" + std::to_string(status.lastNew) +
                         "\t" + OneLine(status.strDetail);
    }
    return SaveMapFile(SourceStatusFile(strUser), lines);
}

CFeedValidatorsMap LoadFeedValidators(const std::string& strUser) {
    CStringMap lines;
    LoadMapFile(FeedValidatorsFile(strUser), lines);
    CFeedValidatorsMap validators;
    for (const auto& [strAddress, strValue] : lines) {
        const std::vector<std::string_view> fields = SplitTabs(strValue);
        if (fields.size() != 2 || !IsValidator(fields[0]) || !IsValidator(fields[1])) {
            continue;
        }
        CHttpValidators entry{std::string(fields[0]), std::string(fields[1])};
        if (!entry.Empty()) {
            validators[strAddress] = std::move(entry);
        }
    }
    return validators;
}

bool SaveFeedValidators(const std::string& strUser, const CFeedValidatorsMap& validators) {
    CStringMap lines;
    for (const auto& [strAddress, entry] : validators) {
        if (!entry.Empty()) {
            lines[strAddress] = entry.strETag + "\t" + entry.strLastModified;
        }
    }
    return SaveMapFile(FeedValidatorsFile(strUser), lines);
}
