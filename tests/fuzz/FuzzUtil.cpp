// The text helpers every reader builds on: element cutting, splitting and joining,
// numbers, UTF-8 cuts, feed time stamps and the lines of map and list files. The first
// byte picks the target (see kTargets); the first line is its parameter.

#include "tests/fuzz/FuzzSupport.h"
#include "util/AppFiles.h"
#include "util/FeedTime.h"
#include "util/Strings.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using fuzz_support::CInput;

namespace {

constexpr std::string_view kTargets = "ecsitrlm";

// FindElement, ExtractElement and FirstElementContent agree, and the span is the first
// element by the documented rules: first opening, next ">", first closing after it.
void CheckElements(std::string_view strTag, std::string_view strText) {
    const std::string strOpen = "<" + std::string(strTag);
    const std::string strClose = "</" + std::string(strTag) + ">";
    const std::optional<CElementSpan> span = FindElement(strTag, strText);
    std::string strCut(strText);
    const std::string strContent = ExtractElement(std::string(strTag), strCut);
    const std::string_view view = FirstElementContent(strTag, strText);
    FUZZ_CHECK(fuzz_support::IsWithin(view, strText));
    FUZZ_CHECK(view == strContent);
    if (!span) {
        FUZZ_CHECK(strContent.empty());
        FUZZ_CHECK(strCut == strText);
        const size_t nOpen = strText.find(strOpen);
        const size_t nGt =
            nOpen == std::string_view::npos ? nOpen : strText.find('>', nOpen + strOpen.size());
        FUZZ_CHECK(nGt == std::string_view::npos ||
                   strText.find(strClose, nGt + 1) == std::string_view::npos);
        return;
    }
    FUZZ_CHECK(span->nOpen + strOpen.size() < span->nContent);
    FUZZ_CHECK(span->nContent <= span->nClose);
    FUZZ_CHECK(span->nEnd == span->nClose + strClose.size() && span->nEnd <= strText.size());
    FUZZ_CHECK(strText.find(strOpen) == span->nOpen);
    FUZZ_CHECK(strText.find('>', span->nOpen + strOpen.size()) == span->nContent - 1);
    FUZZ_CHECK(strText.find(strClose, span->nContent) == span->nClose);
    FUZZ_CHECK(strContent == strText.substr(span->nContent, span->nClose - span->nContent));
    FUZZ_CHECK(strCut == std::string(strText.substr(0, span->nOpen)) +
                             std::string(strText.substr(span->nEnd)));
}

// A prefix of at most n bytes; in UTF-8 text the longest that ends between characters,
// in other text exactly n bytes.
void CheckCut(std::string_view strLength, std::string_view strText) {
    const std::string str(strText);
    const size_t nMax =
        std::min<size_t>(std::strtoul(std::string(strLength).c_str(), nullptr, 10), str.size() + 4);
    const std::string strCut = CutAtCharBoundary(str, nMax);
    FUZZ_CHECK(str.compare(0, strCut.size(), strCut) == 0);
    if (str.size() <= nMax) {
        FUZZ_CHECK(strCut == str);
        return;
    }
    FUZZ_CHECK(strCut.size() <= nMax);
    if (fuzz_support::IsUtf8(str)) {
        FUZZ_CHECK(fuzz_support::IsUtf8(strCut));
        FUZZ_CHECK(!fuzz_support::IsContinuationByte(str[strCut.size()]));
        for (size_t k = strCut.size() + 1; k <= nMax; ++k) {
            FUZZ_CHECK(fuzz_support::IsContinuationByte(str[k]));
        }
    } else {
        FUZZ_CHECK(strCut.size() == nMax);
    }
}

// Tokens are the maximal runs without a delimiter, appended in order; joined with a
// delimiter they split into the same tokens again.
void CheckSplitJoin(std::string_view strDelimiters, std::string_view strText) {
    const std::string strDelims(strDelimiters);
    auto isDelimiter = [&](char c) { return strDelims.find(c) != std::string::npos; };
    CStringArray tokens = {"kept"};
    SplitString(std::string(strText), tokens, strDelims);
    FUZZ_CHECK(!tokens.empty() && tokens[0] == "kept");
    tokens.erase(tokens.begin());

    std::string strAll, strJoined;
    size_t nRuns = 0;
    for (size_t i = 0; i < strText.size(); ++i) {
        if (!isDelimiter(strText[i])) {
            strAll += strText[i];
            nRuns += i == 0 || isDelimiter(strText[i - 1]);
        }
    }
    FUZZ_CHECK(tokens.size() == nRuns);
    for (const std::string& strToken : tokens) {
        FUZZ_CHECK(!strToken.empty() &&
                   std::none_of(strToken.begin(), strToken.end(), isDelimiter));
        strJoined += strToken;
    }
    FUZZ_CHECK(strJoined == strAll);

    const std::string strSeparator = strDelims.empty() ? std::string() : strDelims.substr(0, 1);
    const size_t nStart = strDelims.size() % 3;
    const std::string strJoin = JoinStrings(tokens, nStart, strSeparator);
    if (nStart >= tokens.size()) {
        FUZZ_CHECK(strJoin.empty());
        return;
    }
    size_t nExpected = (tokens.size() - nStart - 1) * strSeparator.size();
    for (size_t i = nStart; i < tokens.size(); ++i) {
        nExpected += tokens[i].size();
    }
    FUZZ_CHECK(strJoin.size() == nExpected);
    if (!strSeparator.empty()) {
        CStringArray again;
        SplitString(strJoin, again, strDelims);
        FUZZ_CHECK(std::equal(again.begin(), again.end(), tokens.begin() + nStart, tokens.end()));
    }
}

// ParseInt reads like strtol, clamped to int.
void CheckParseInt(std::string_view strText) {
    const std::string str(strText);
    const long nLong = std::strtol(str.c_str(), nullptr, 10);
    FUZZ_CHECK(ParseInt(str) == std::clamp<long>(nLong, INT_MIN, INT_MAX));
}

// Days from 1970-01-01 to the first of the month, counted by whole years and months.
long long DaysToMonth(long long nYear, int nMonth) {
    auto isLeap = [](long long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
    auto daysBeforeYear = [](long long y) {  // from 0001-01-01
        --y;
        return 365 * y + y / 4 - y / 100 + y / 400;
    };
    static const int kBeforeMonth[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    return daysBeforeYear(nYear) - daysBeforeYear(1970) + kBeforeMonth[nMonth - 1] +
           (nMonth > 2 && isLeap(nYear) ? 1 : 0);
}

// A time stamp written from the input's bytes reads as the seconds the calendar gives,
// out-of-range day, hour and minute carrying.
void CheckFeedTimeRoundTrip(std::string_view strBytes) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    uint8_t b[10] = {};
    std::copy_n(strBytes.begin(), std::min(strBytes.size(), std::size(b)), b);
    const int nMonth = b[0] % 12 + 1;
    const long long nYear = b[1] & 0x80 ? 1 + (b[2] << 16 | b[3] << 8 | b[4]) % 99999999
                                        : 1 + (b[2] << 8 | b[3]) % 9999;
    const int nDay = b[5] % 100;
    const bool bTwelveHour = b[6] & 1;
    const int nHour = bTwelveHour ? b[7] % 12 + 1 : b[7] % 100;
    const int nMinute = bTwelveHour ? b[8] % 60 : b[8] % 100;
    const bool bPm = b[6] & 2;
    std::string strMonth = kMonths[nMonth - 1];
    if (b[6] & 4) {
        std::transform(strMonth.begin(), strMonth.end(), strMonth.begin(), ::toupper);
    }
    const std::string strGap = b[6] & 8 ? "  " : " ";
    char szMinute[8];
    std::snprintf(szMinute, sizeof szMinute, "%02d", nMinute);
    std::string strText = strMonth + strGap + std::to_string(nDay) + " " + std::to_string(nYear) +
                          strGap + std::to_string(nHour) + ":" + szMinute;
    long long nHour24 = nHour;
    if (bTwelveHour) {
        strText += bPm ? (b[6] & 16 ? "pm" : "PM") : (b[6] & 16 ? "am" : "AM");
        nHour24 = (nHour == 12 ? 0 : nHour) + (bPm ? 12 : 0);
    }
    const long long nExpected =
        (DaysToMonth(nYear, nMonth) + nDay - 1) * 86400 + nHour24 * 3600 + nMinute * 60;
    const long long nRead = ParseFeedTime(strText);
    if (nRead != nExpected) {
        std::fprintf(stderr, "\"%s\" reads as %lld, not %lld\n", strText.c_str(), nRead, nExpected);
    }
    FUZZ_CHECK(nRead == nExpected);
}

// Lines end at LF with one CR before it dropped, as a plain loop over the bytes finds them.
std::vector<std::string> LinesOf(std::string_view strText, bool bDropCr) {
    std::vector<std::string> lines;
    std::string strLine;
    for (char c : strText) {
        if (c != '\n') {
            strLine += c;
            continue;
        }
        if (bDropCr && !strLine.empty() && strLine.back() == '\r') {
            strLine.pop_back();
        }
        lines.push_back(std::move(strLine));
        strLine.clear();
    }
    if (!strLine.empty()) {
        lines.push_back(std::move(strLine));
    }
    return lines;
}

void CheckLines(std::string_view strText) {
    std::vector<std::string> lines;
    ForEachLine(strText, [&](std::string_view line) {
        FUZZ_CHECK(fuzz_support::IsWithin(line, strText));
        lines.emplace_back(line);
    });
    FUZZ_CHECK(lines == LinesOf(strText, true));
    FUZZ_CHECK(SplitLines(std::string(strText)) == lines);
    // Written with CR LF, every line reads back with the bytes it had before.
    FUZZ_CHECK(SplitLines(ToCrLf(std::string(strText))) == LinesOf(strText, false));
}

// Every line splits at its first separator; pairs written with AppendMapLine read back
// as they were, whatever the value holds, as long as the key holds no separator and
// neither holds LF. The input's lines are "key TAB value".
void CheckMapLines(std::string_view strText) {
    const std::string_view separator = MAP_SEPARATOR;
    std::string strFile;
    std::vector<std::pair<std::string, std::string>> pairs;
    ForEachLine(strText, [&](std::string_view line) {
        std::string_view key, value;
        if (SplitMapLine(line, key, value)) {
            FUZZ_CHECK(key.find(separator) == std::string_view::npos);
            FUZZ_CHECK(std::string(key) + MAP_SEPARATOR + std::string(value) == line);
        } else {
            FUZZ_CHECK(line.find(separator) == std::string_view::npos);
        }
        const size_t nTab = line.find('\t');
        key = line.substr(0, nTab);
        value = nTab == std::string_view::npos ? std::string_view() : line.substr(nTab + 1);
        if (key.find(separator) == std::string_view::npos) {
            pairs.emplace_back(key, value);
            AppendMapLine(strFile, key, value);
        }
    });
    std::vector<std::pair<std::string, std::string>> read;
    ForEachLine(strFile, [&](std::string_view line) {
        std::string_view key, value;
        FUZZ_CHECK(SplitMapLine(line, key, value));
        read.emplace_back(key, value);
    });
    FUZZ_CHECK(read == pairs);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const CInput input = fuzz_support::SplitInput(pData, nSize, kTargets);
    switch (kTargets[input.nTarget]) {
        case 'e': CheckElements(input.strParam.substr(0, 16), input.strRest); break;
        case 'c': CheckCut(input.strParam.substr(0, 8), input.strRest); break;
        case 's': CheckSplitJoin(input.strParam.substr(0, 8), input.strRest); break;
        case 'i': CheckParseInt(input.strBody); break;
        case 't': ParseFeedTime(std::string(input.strBody)); break;
        case 'r': CheckFeedTimeRoundTrip(input.strBody); break;
        case 'l': CheckLines(input.strBody); break;
        case 'm': CheckMapLines(input.strBody); break;
    }
    return 0;
}
