#include "news/NewsDisplay.h"

#include "platform/Profile.h"
#include "util/SettingsNames.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace {

// Larger sizes are no use on any screen, and their pixel arithmetic could overflow.
constexpr int kMaxFontSize = 500;

}  // namespace

QColor ColorFromRef(int nColorRef) {
    return QColor(nColorRef & 0xFF, (nColorRef >> 8) & 0xFF, (nColorRef >> 16) & 0xFF);
}

int ColorRefOf(const QColor& color) {
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

int CheckIntervalMinutes(const std::string& strSection) {
    return GetProfileIntInRange(strSection, KEY_CHECK_TIME, 5, MIN_CHECK_MINUTES,
                                MAX_CHECK_MINUTES);
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

CNewsDisplay CNewsDisplay::Load(const std::string& strSection) {
    CNewsDisplay display;
    display.strFace = GetProfileString(strSection, KEY_NEWS_FONT, display.strFace);
    display.nSize =
        GetProfileIntInRange(strSection, KEY_NEWS_FONTSIZE, display.nSize, 1, kMaxFontSize);
    display.nBackground = GetProfileInt(strSection, KEY_NEWS_BG_COLOR, display.nBackground);
    display.nHeadlineColor =
        GetProfileInt(strSection, KEY_NEWS_HEADLINE_COLOR, display.nHeadlineColor);
    display.nSourceColor = GetProfileInt(strSection, KEY_NEWS_SOURCE_COLOR, display.nSourceColor);
    display.nDateColor = GetProfileInt(strSection, KEY_NEWS_DATE_COLOR, display.nDateColor);
    return display;
}

void CNewsDisplay::Save(const std::string& strSection) const {
    CProfileBatch batch;
    WriteProfileString(strSection, KEY_NEWS_FONT, strFace);
    WriteProfileInt(strSection, KEY_NEWS_FONTSIZE, nSize);
    WriteProfileInt(strSection, KEY_NEWS_BG_COLOR, nBackground);
    WriteProfileInt(strSection, KEY_NEWS_HEADLINE_COLOR, nHeadlineColor);
    WriteProfileInt(strSection, KEY_NEWS_SOURCE_COLOR, nSourceColor);
    WriteProfileInt(strSection, KEY_NEWS_DATE_COLOR, nDateColor);
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
