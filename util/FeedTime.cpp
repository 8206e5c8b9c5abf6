#include "util/FeedTime.h"

#include "util/Strings.h"

#include <QDate>

#include <cctype>

namespace {

// Leading decimal digits as a number; none gives 0.
long LeadingNumber(const std::string& str) {
    long nValue = 0;
    for (char c : str) {
        if (!std::isdigit(static_cast<unsigned char>(c)) || nValue > 100000000) {
            break;
        }
        nValue = nValue * 10 + (c - '0');
    }
    return nValue;
}

int MonthNumber(std::string strMonth) {
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    for (char& c : strMonth) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (int i = 0; i < 12; ++i) {
        if (strMonth == kMonths[i]) {
            return i + 1;
        }
    }
    return 0;
}

}  // namespace

std::time_t ParseFeedTime(const std::string& strText) {
    CStringArray tokens;
    SplitString(strText, tokens, " :");
    if (tokens.size() != 5) {
        return 0;
    }
    int nMonth = MonthNumber(tokens[0]);
    long nDay = LeadingNumber(tokens[1]);
    long nYear = LeadingNumber(tokens[2]);
    long nHour = LeadingNumber(tokens[3]);
    const std::string& strMinute = tokens[4];
    long nMinute = 0;
    if (strMinute.size() > 3) {
        char cSuffix = static_cast<char>(
            std::tolower(static_cast<unsigned char>(strMinute[strMinute.size() - 2])));
        nMinute = LeadingNumber(strMinute.substr(0, strMinute.size() - 2));
        // 12 AM is the first hour of the day and 12 PM is noon.
        if (cSuffix == 'p' && nHour != 12) {
            nHour += 12;
        } else if (cSuffix == 'a' && nHour == 12) {
            nHour = 0;
        }
    } else {
        nMinute = LeadingNumber(strMinute);
    }
    if (nMonth == 0) {
        return 0;
    }
    // Day, hour and minute may be out of range and carry; the date of day 1 anchors them.
    QDate first(static_cast<int>(nYear), nMonth, 1);
    if (!first.isValid()) {
        return 0;
    }
    long long nDays = first.toJulianDay() - QDate(1970, 1, 1).toJulianDay() + (nDay - 1);
    return static_cast<std::time_t>(nDays * 86400LL + nHour * 3600LL + nMinute * 60LL);
}
