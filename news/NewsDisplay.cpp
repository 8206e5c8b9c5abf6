#include "news/NewsDisplay.h"

#include "platform/Profile.h"
#include "util/Settings.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

namespace {

// Larger sizes are no use on any screen, and their pixel arithmetic could overflow.

}  // namespace

QColor ColorFromRef(int nColorRef) {
    return QColor(nColorRef & 0xFF, (nColorRef >> 8) & 0xFF, (nColorRef >> 16) & 0xFF);
}

int ColorRefOf(const QColor& color) {
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

int CheckIntervalMinutes(const std::string& strSection) {
    return ReadSetting(SETTING_CHECK_TIME, strSection);
}

namespace {

void AppendUtf8(std::string& strOut, char32_t cp) {
    if (cp < 0x80) {
        strOut += static_cast<char>(cp);
    } else if (cp < 0x800) {
        strOut += static_cast<char>(0xC0 | (cp >> 6));
        strOut += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        strOut += static_cast<char>(0xE0 | (cp >> 12));
        strOut += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        strOut += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        strOut += static_cast<char>(0xF0 | (cp >> 18));
        strOut += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        strOut += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        strOut += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The code point of a numeric reference's body ("#65", "#x41"); 0 when it names none that
// can be shown (NUL, surrogates, beyond Unicode, or not a number at all).
char32_t NumericReference(std::string_view body) {
    int nBase = 10;
    body.remove_prefix(1);
    if (!body.empty() && (body[0] == 'x' || body[0] == 'X')) {
        nBase = 16;
        body.remove_prefix(1);
    }
    if (body.empty() || body.size() > 8) {
        return 0;
    }
    char32_t cp = 0;
    for (char c : body) {
        int nDigit = -1;
        if (c >= '0' && c <= '9') {
            nDigit = c - '0';
        } else if (nBase == 16 && c >= 'a' && c <= 'f') {
            nDigit = c - 'a' + 10;
        } else if (nBase == 16 && c >= 'A' && c <= 'F') {
            nDigit = c - 'A' + 10;
        }
        if (nDigit < 0) {
            return 0;
        }
        cp = cp * nBase + nDigit;
    }
    const bool bSurrogate = cp >= 0xD800 && cp <= 0xDFFF;
    return cp > 0x10FFFF || bSurrogate ? 0 : cp;
}

}  // namespace

std::string DisplayText(const std::string& strText) {
    static const std::pair<std::string_view, char> kNamed[] = {
        {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"#39", '\''}};
    // Longest body worth looking at: "#x10FFFF" and the names above.
    constexpr size_t kMaxBody = 9;
    std::string strOut;
    strOut.reserve(strText.size());
    for (size_t i = 0; i < strText.size(); ++i) {
        if (strText[i] == '&') {
            // Only a short window is searched, so the reader stays linear.
            const size_t nEnd =
                std::string_view(strText).substr(0, i + 2 + kMaxBody).find(';', i + 1);
            if (nEnd != std::string::npos) {
                const std::string_view body(strText.data() + i + 1, nEnd - i - 1);
                char32_t cp = 0;
                for (const auto& [name, c] : kNamed) {
                    if (body == name) {
                        cp = static_cast<char32_t>(c);
                    }
                }
                if (cp == 0 && !body.empty() && body[0] == '#') {
                    cp = NumericReference(body);
                }
                if (cp != 0) {
                    AppendUtf8(strOut, cp);
                    i = nEnd;
                    continue;
                }
            }
        }
        strOut += strText[i];
    }
    return strOut;
}

namespace {

// A label's date as a point on a circle of months of 32 days, and its minute of the day.
struct CLabelTime {
    int nDay = 0;
    int nMinute = 0;
};
constexpr int kCircleDays = 13 * 32;

// The "MM/DD hh:mm AM" that starts a label; nothing for "invalid time" or anything else.
std::optional<CLabelTime> LabelTime(std::string_view strLabel) {
    if (strLabel.size() < 14 || strLabel[2] != '/' || strLabel[5] != ' ' || strLabel[8] != ':' ||
        strLabel[11] != ' ') {
        return std::nullopt;
    }
    auto number = [&](size_t nPos) {
        const char a = strLabel[nPos], b = strLabel[nPos + 1];
        return a >= '0' && a <= '9' && b >= '0' && b <= '9' ? (a - '0') * 10 + (b - '0') : -1;
    };
    const int nMonth = number(0), nDay = number(3), nHour = number(6), nMinute = number(9);
    const std::string_view half = strLabel.substr(12, 2);
    if (nMonth < 1 || nMonth > 12 || nDay < 1 || nDay > 31 || nHour < 1 || nHour > 12 ||
        nMinute < 0 || nMinute > 59 || (half != "AM" && half != "PM")) {
        return std::nullopt;
    }
    // 12 AM is the day's first hour, 12 PM its thirteenth.
    return CLabelTime{nMonth * 32 + nDay, (nHour % 12 + (half == "PM" ? 12 : 0)) * 60 + nMinute};
}

}  // namespace

void SortPastNewsLabels(CStringArray& labels) {
    SortStrings(labels);
    std::reverse(labels.begin(), labels.end());
    std::vector<std::optional<CLabelTime>> times;
    times.reserve(labels.size());
    std::vector<int> days;
    for (const std::string& strLabel : labels) {
        times.push_back(LabelTime(strLabel));
        if (times.back()) {
            days.push_back(times.back()->nDay);
        }
    }
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    // The oldest day is the one after the longest gap, going round the year.
    int nFirstDay = 0;
    int nLongestGap = -1;
    for (size_t i = 0; i < days.size(); ++i) {
        const int nNext = i + 1 < days.size() ? days[i + 1] : days.front() + kCircleDays;
        if (nNext - days[i] > nLongestGap) {
            nLongestGap = nNext - days[i];
            nFirstDay = nNext % kCircleDays;
        }
    }
    std::vector<std::pair<long, size_t>> order;  // (time key, index); -1 without a time
    order.reserve(labels.size());
    for (size_t i = 0; i < labels.size(); ++i) {
        const long nKey =
            times[i] ? static_cast<long>((times[i]->nDay - nFirstDay + kCircleDays) % kCircleDays) *
                               24 * 60 +
                           times[i]->nMinute
                     : -1;
        order.emplace_back(nKey, i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    CStringArray sorted;
    sorted.reserve(labels.size());
    for (const auto& [nKey, i] : order) {
        sorted.push_back(std::move(labels[i]));
    }
    labels = std::move(sorted);
}

CNewsDisplay CNewsDisplay::Load(const std::string& strSection) {
    CNewsDisplay display;
    display.strFace = ReadSetting(SETTING_NEWS_FONT, strSection);
    display.nSize = ReadSetting(SETTING_NEWS_FONTSIZE, strSection);
    display.nBackground = ReadSetting(SETTING_NEWS_BG_COLOR, strSection);
    display.nHeadlineColor = ReadSetting(SETTING_NEWS_HEADLINE_COLOR, strSection);
    display.nSourceColor = ReadSetting(SETTING_NEWS_SOURCE_COLOR, strSection);
    display.nDateColor = ReadSetting(SETTING_NEWS_DATE_COLOR, strSection);
    return display;
}

void CNewsDisplay::Save(const std::string& strSection) const {
    CProfileBatch batch;
    WriteSetting(SETTING_NEWS_FONT, strFace, strSection);
    WriteSetting(SETTING_NEWS_FONTSIZE, nSize, strSection);
    WriteSetting(SETTING_NEWS_BG_COLOR, nBackground, strSection);
    WriteSetting(SETTING_NEWS_HEADLINE_COLOR, nHeadlineColor, strSection);
    WriteSetting(SETTING_NEWS_SOURCE_COLOR, nSourceColor, strSection);
    WriteSetting(SETTING_NEWS_DATE_COLOR, nDateColor, strSection);
}

QFont CNewsDisplay::Font() const {
    QFont font(QString::fromUtf8(strFace));
    // A stored size below 1 point cannot be drawn; it shows as the smallest that can.
    font.setPointSize(std::max(1, nSize));
    return font;
}

namespace {

// Every format sets every property, so nothing of a neighbouring run leaks in.
QTextCharFormat MakeFormat(const CNewsDisplay& display, int nColorRef, bool bBold, bool bItalic,
                           bool bUnderline) {
    QTextCharFormat format;
    format.setFont(display.Font());
    format.setFontWeight(bBold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(bItalic);
    format.setFontUnderline(bUnderline);
    format.setForeground(ColorFromRef(nColorRef));
    return format;
}

}  // namespace

QTextCharFormat CNewsDisplay::DateFormat() const {
    return MakeFormat(*this, nDateColor, false, true, false);
}

QTextCharFormat CNewsDisplay::SourceFormat() const {
    return MakeFormat(*this, nSourceColor, true, false, false);
}

QTextCharFormat CNewsDisplay::HeadlineFormat() const {
    return MakeFormat(*this, nHeadlineColor, false, false, true);
}

QTextCharFormat CNewsDisplay::PlainFormat() const {
    return MakeFormat(*this, nDateColor, false, false, false);
}
