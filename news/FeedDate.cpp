#include "news/FeedDate.h"

#include <algorithm>
#include <array>

namespace {

struct CDateTime {
    int nYear = 0;
    int nMonth = 0;
    int nDay = 0;
    int nHour = 0;
    int nMinute = 0;
    int nSecond = 0;
    int nOffsetMinutes = 0;  // east of UTC
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Trimmed(std::string_view str) {
    while (!str.empty() && IsBlank(str.front())) {
        str.remove_prefix(1);
    }
    while (!str.empty() && IsBlank(str.back())) {
        str.remove_suffix(1);
    }
    return str;
}

// Reads nMin to nMax digits at str[i], advancing i; false when fewer are there.
bool ReadNumber(std::string_view str, size_t& i, size_t nMin, size_t nMax, int& nValue) {
    const size_t nStart = i;
    nValue = 0;
    while (i < str.size() && i - nStart < nMax && IsDigit(str[i])) {
        nValue = nValue * 10 + (str[i++] - '0');
    }
    return i - nStart >= nMin;
}

bool ReadChar(std::string_view str, size_t& i, char c) {
    if (i < str.size() && str[i] == c) {
        ++i;
        return true;
    }
    return false;
}

// "+hh:mm", "+hhmm" or "+hh" (or "-") at str[i], to the end of str.
bool ReadOffset(std::string_view str, size_t i, int& nMinutes) {
    if (i >= str.size() || (str[i] != '+' && str[i] != '-')) {
        return false;
    }
    const int nSign = str[i++] == '-' ? -1 : 1;
    int nHours = 0;
    int nMins = 0;
    if (!ReadNumber(str, i, 2, 2, nHours)) {
        return false;
    }
    if (i < str.size()) {
        ReadChar(str, i, ':');
        if (!ReadNumber(str, i, 2, 2, nMins)) {
            return false;
        }
    }
    nMinutes = nSign * (nHours * 60 + nMins);
    return i == str.size() && nHours <= 23 && nMins <= 59;
}

long long DaysFromCivil(long long nYear, int nMonth, int nDay) {
    // Days since 1970-01-01 in the proleptic Gregorian calendar, counting years from March
    // so that the leap day falls last.
    nYear -= nMonth <= 2 ? 1 : 0;
    const long long nEra = (nYear >= 0 ? nYear : nYear - 399) / 400;
    const long long nYearOfEra = nYear - nEra * 400;
    const long long nDayOfYear = (153 * (nMonth > 2 ? nMonth - 3 : nMonth + 9) + 2) / 5 + nDay - 1;
    const long long nDayOfEra = nYearOfEra * 365 + nYearOfEra / 4 - nYearOfEra / 100 + nDayOfYear;
    return nEra * 146097 + nDayOfEra - 719468;
}

int DaysInMonth(int nYear, int nMonth) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool bLeap = (nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0;
    return nMonth == 2 && bLeap ? 29 : kDays[nMonth - 1];
}

std::time_t ToTime(const CDateTime& t) {
    if (t.nYear < 1970 || t.nYear > 9999 || t.nMonth < 1 || t.nMonth > 12 || t.nDay < 1 ||
        t.nDay > DaysInMonth(t.nYear, t.nMonth) || t.nHour > 23 || t.nMinute > 59 ||
        t.nSecond > 60) {
        return 0;
    }
    // A leap second reads as the second before it.
    const long long nTime = DaysFromCivil(t.nYear, t.nMonth, t.nDay) * 86400 + t.nHour * 3600LL +
                            t.nMinute * 60LL + std::min(t.nSecond, 59) - t.nOffsetMinutes * 60LL;
    return nTime > 0 ? static_cast<std::time_t>(nTime) : 0;
}

// 1-12 for an English month name or its first three letters (any case), else 0.
int MonthOf(std::string_view strWord) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "january", "february", "march",     "april",   "may",      "june",
        "july",    "august",   "september", "october", "november", "december"};
    if (strWord.size() < 3 || strWord.size() > 9) {
        return 0;
    }
    for (size_t m = 0; m < kMonths.size(); ++m) {
        const bool bMatch =
            std::equal(strWord.begin(), strWord.end(), kMonths[m].begin(),
                       kMonths[m].begin() + std::min(strWord.size(), kMonths[m].size()),
                       [](char a, char b) { return Lower(a) == b; });
        // "Sept" is the one common abbreviation besides the three letters.
        if (bMatch && (strWord.size() == 3 || strWord.size() == kMonths[m].size() ||
                       (m == 8 && strWord.size() == 4))) {
            return static_cast<int>(m) + 1;
        }
    }
    return 0;
}

bool IsWord(std::string_view str) {
    return !str.empty() && std::all_of(str.begin(), str.end(), IsLetter);
}

bool IsNumber(std::string_view str) {
    return !str.empty() && std::all_of(str.begin(), str.end(), IsDigit);
}

// The zone of an RFC 822 date, in minutes east of UTC; false for a malformed offset.
bool ZoneOf(std::string_view strZone, int& nMinutes) {
    struct CZone {
        std::string_view strName;
        int nHours;
    };
    static constexpr CZone kZones[] = {{"est", -5}, {"edt", -4}, {"cst", -6}, {"cdt", -5},
                                       {"mst", -7}, {"mdt", -6}, {"pst", -8}, {"pdt", -7}};
    nMinutes = 0;
    if (strZone.empty()) {
        return true;
    }
    if (strZone[0] == '+' || strZone[0] == '-') {
        return ReadOffset(strZone, 0, nMinutes);
    }
    if (!IsWord(strZone)) {
        return false;
    }
    for (const CZone& zone : kZones) {
        if (strZone.size() == 3 && std::equal(strZone.begin(), strZone.end(), zone.strName.begin(),
                                              [](char a, char b) { return Lower(a) == b; })) {
            nMinutes = zone.nHours * 60;
        }
    }
    return true;
}

}  // namespace

std::time_t ParseRfc822Date(std::string_view strText) {
    // Words split at blanks and commas; a date has at most weekday, day, month, year, time,
    // zone and a comment after it.
    std::array<std::string_view, 7> words;
    size_t nWords = 0;
    for (size_t i = 0; i < strText.size();) {
        if (IsBlank(strText[i]) || strText[i] == ',') {
            ++i;
            continue;
        }
        const size_t nStart = i;
        while (i < strText.size() && !IsBlank(strText[i]) && strText[i] != ',') {
            ++i;
        }
        if (nWords == words.size()) {
            break;  // a long comment
        }
        words[nWords++] = strText.substr(nStart, i - nStart);
    }
    size_t k = 0;
    if (k < nWords && IsWord(words[k]) && MonthOf(words[k]) == 0) {
        ++k;  // the weekday
    }
    if (k + 3 > nWords) {
        return 0;
    }
    CDateTime t;
    std::string_view strDay = words[k];
    t.nMonth = MonthOf(words[k + 1]);
    if (t.nMonth == 0) {
        t.nMonth = MonthOf(words[k]);
        strDay = words[k + 1];
    }
    const std::string_view strYear = words[k + 2];
    if (t.nMonth == 0 || !IsNumber(strDay) || strDay.size() > 2 || !IsNumber(strYear) ||
        strYear.size() < 2 || strYear.size() > 4) {
        return 0;
    }
    size_t i = 0;
    ReadNumber(strDay, i, 1, 2, t.nDay);
    i = 0;
    ReadNumber(strYear, i, 2, 4, t.nYear);
    if (strYear.size() == 2) {
        t.nYear += t.nYear < 50 ? 2000 : 1900;
    } else if (strYear.size() == 3) {
        t.nYear += 1900;
    }
    k += 3;
    if (k < nWords && IsDigit(words[k][0])) {
        const std::string_view strTime = words[k++];
        i = 0;
        if (!ReadNumber(strTime, i, 1, 2, t.nHour) || !ReadChar(strTime, i, ':') ||
            !ReadNumber(strTime, i, 2, 2, t.nMinute)) {
            return 0;
        }
        if (ReadChar(strTime, i, ':') && !ReadNumber(strTime, i, 2, 2, t.nSecond)) {
            return 0;
        }
        if (i != strTime.size()) {
            return 0;
        }
    }
    if (!ZoneOf(k < nWords ? words[k] : std::string_view(), t.nOffsetMinutes)) {
        return 0;
    }
    return ToTime(t);
}

std::time_t ParseRfc3339Date(std::string_view strText) {
    const std::string_view str = Trimmed(strText);
    CDateTime t;
    size_t i = 0;
    if (!ReadNumber(str, i, 4, 4, t.nYear) || !ReadChar(str, i, '-') ||
        !ReadNumber(str, i, 2, 2, t.nMonth) || !ReadChar(str, i, '-') ||
        !ReadNumber(str, i, 2, 2, t.nDay)) {
        return 0;
    }
    if (i == str.size()) {
        return ToTime(t);
    }
    if (str[i] != 'T' && str[i] != 't' && str[i] != ' ') {
        return 0;
    }
    ++i;
    if (!ReadNumber(str, i, 2, 2, t.nHour) || !ReadChar(str, i, ':') ||
        !ReadNumber(str, i, 2, 2, t.nMinute)) {
        return 0;
    }
    if (ReadChar(str, i, ':')) {
        if (!ReadNumber(str, i, 2, 2, t.nSecond)) {
            return 0;
        }
        if (ReadChar(str, i, '.') || ReadChar(str, i, ',')) {
            const size_t nFraction = i;
            while (i < str.size() && IsDigit(str[i])) {
                ++i;
            }
            if (i == nFraction) {
                return 0;
            }
        }
    }
    if (i < str.size() && (str[i] == 'Z' || str[i] == 'z')) {
        return i + 1 == str.size() ? ToTime(t) : 0;
    }
    if (i < str.size() && !ReadOffset(str, i, t.nOffsetMinutes)) {
        return 0;
    }
    return ToTime(t);
}

std::time_t ParseFeedDate(std::string_view strText) {
    const std::string_view str = Trimmed(strText);
    const bool bIso =
        str.size() > 4 && std::all_of(str.begin(), str.begin() + 4, IsDigit) && str[4] == '-';
    return bIso ? ParseRfc3339Date(str) : ParseRfc822Date(str);
}
