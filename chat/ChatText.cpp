#include "chat/ChatText.h"

#include <algorithm>

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

bool StartsNoCase(std::string_view str, std::string_view strPrefix) {
    return str.size() >= strPrefix.size() &&
           EqualNoCase(str.substr(0, strPrefix.size()), strPrefix);
}

bool IsAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Part of a word next to a name: non-ASCII bytes count, so a name inside another
// language's word is not a mention.
bool IsWordByte(char c) {
    return IsAsciiAlnum(c) || c == '_' || (static_cast<unsigned char>(c) & 0x80) != 0;
}

bool IsControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

// Where an address ends: a blank, a control character, or what never stands unescaped in
// one and often stands around one in text.
bool EndsLink(char c) {
    return static_cast<unsigned char>(c) <= ' ' || c == 0x7F || c == '<' || c == '>' || c == '"' ||
           c == '`';
}

// The end of an address that ran up to nEnd, without the sentence's punctuation after it.
size_t TrimLinkEnd(std::string_view strText, size_t nStart, size_t nEnd) {
    int nOpenRound = 0, nOpenSquare = 0;
    for (size_t n = nStart; n < nEnd; ++n) {
        nOpenRound += strText[n] == '(' ? 1 : strText[n] == ')' ? -1 : 0;
        nOpenSquare += strText[n] == '[' ? 1 : strText[n] == ']' ? -1 : 0;
    }
    while (nEnd > nStart) {
        const char c = strText[nEnd - 1];
        if (c == ')' && nOpenRound < 0) {
            ++nOpenRound;
        } else if (c == ']' && nOpenSquare < 0) {
            ++nOpenSquare;
        } else if (std::string_view(".,;:!?'").find(c) == std::string_view::npos) {
            break;
        }
        --nEnd;
    }
    return nEnd;
}

}  // namespace

std::optional<std::string_view> ActionText(std::string_view strMessage) {
    constexpr std::string_view kOpen =
        "\x01"
        "ACTION";
    if (strMessage.substr(0, kOpen.size()) != kOpen) {
        return std::nullopt;
    }
    strMessage.remove_prefix(kOpen.size());
    if (!strMessage.empty() && strMessage.back() == '\x01') {
        strMessage.remove_suffix(1);
    }
    // "\x01ACTIONS" is another request; an action without text is an empty one.
    if (!strMessage.empty() && strMessage.front() != ' ') {
        return std::nullopt;
    }
    if (!strMessage.empty()) {
        strMessage.remove_prefix(1);
    }
    return strMessage;
}

std::vector<CTextSpan> FindWebLinks(std::string_view strText) {
    std::vector<CTextSpan> links;
    size_t nFrom = 0;
    for (size_t nColon; (nColon = strText.find("://", nFrom)) != std::string_view::npos;) {
        nFrom = nColon + 3;
        size_t nStart = std::string_view::npos;
        if (nColon >= 5 && EqualNoCase(strText.substr(nColon - 5, 5), "https")) {
            nStart = nColon - 5;
        } else if (nColon >= 4 && EqualNoCase(strText.substr(nColon - 4, 4), "http")) {
            nStart = nColon - 4;
        } else {
            continue;
        }
        if (nStart > 0) {
            const char cBefore = strText[nStart - 1];
            if (IsAsciiAlnum(cBefore) || cBefore == '+' || cBefore == '-' || cBefore == '.') {
                continue;
            }
        }
        if (nFrom >= strText.size() || !(IsAsciiAlnum(strText[nFrom]) || strText[nFrom] == '[')) {
            continue;
        }
        size_t nEnd = nFrom;
        while (nEnd < strText.size() && !EndsLink(strText[nEnd])) {
            ++nEnd;
        }
        nEnd = TrimLinkEnd(strText, nStart, nEnd);
        links.push_back({nStart, nEnd - nStart});
        nFrom = nEnd;
    }
    return links;
}

bool MentionsName(std::string_view strText, std::string_view strName) {
    if (strName.empty() || strText.size() < strName.size()) {
        return false;
    }
    const char cFirst = Lower(strName.front());
    for (size_t n = 0; n + strName.size() <= strText.size(); ++n) {
        if (Lower(strText[n]) != cFirst ||
            !EqualNoCase(strText.substr(n, strName.size()), strName)) {
            continue;
        }
        if (n > 0 && IsWordByte(strText[n - 1])) {
            continue;
        }
        size_t nAfter = n + strName.size();
        if (nAfter < strText.size() && IsDigit(strText[nAfter])) {
            ++nAfter;
        }
        if (nAfter == strText.size() || !IsWordByte(strText[nAfter])) {
            return true;
        }
    }
    return false;
}

CTypedLine ParseTypedLine(std::string_view strLine) {
    if (strLine.empty() || strLine.front() != '/') {
        return {CTypedLine::EKind::Message, std::string(strLine)};
    }
    if (strLine.size() > 1 && strLine[1] == '/') {
        return {CTypedLine::EKind::Message, std::string(strLine.substr(1))};
    }
    const size_t nBlank = std::min(strLine.find(' '), strLine.size());
    const std::string_view strWord = strLine.substr(0, nBlank);
    std::string_view strRest = strLine.substr(nBlank);
    strRest.remove_prefix(std::min(strRest.find_first_not_of(' '), strRest.size()));
    if (EqualNoCase(strWord, "/me")) {
        return {CTypedLine::EKind::Action, std::string(strRest)};
    }
    if (EqualNoCase(strWord, "/topic")) {
        return {CTypedLine::EKind::Topic, std::string(strRest)};
    }
    return {CTypedLine::EKind::Unknown, std::string(strWord)};
}

std::vector<std::string> NickCompletions(std::string_view strPrefix,
                                         const std::vector<std::string>& users,
                                         std::string_view strOwnName) {
    std::vector<std::string> matches;
    if (strPrefix.empty()) {
        return matches;
    }
    for (const std::string& strUser : users) {
        if (StartsNoCase(strUser, strPrefix) && !EqualNoCase(strUser, strOwnName)) {
            matches.push_back(strUser);
        }
    }
    auto less = [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) { return Lower(x) < Lower(y); });
    };
    std::sort(matches.begin(), matches.end(), [&](const std::string& a, const std::string& b) {
        return less(a, b) || (!less(b, a) && a < b);
    });
    matches.erase(std::unique(matches.begin(), matches.end()), matches.end());
    return matches;
}

std::string MentionNotice(std::string_view strNick, std::string_view strRoom,
                          std::string_view strText) {
    auto visible = [](std::string_view str, size_t nMax) {
        std::string strOut;
        for (char c : str) {
            if (!IsControl(c)) {
                strOut += c;
            }
        }
        if (strOut.size() <= nMax) {
            return strOut;
        }
        size_t nCut = nMax;
        while (nCut > 0 && (static_cast<unsigned char>(strOut[nCut]) & 0xC0) == 0x80) {
            --nCut;
        }
        return strOut.substr(0, nCut) + "\u2026";
    };
    return visible(strNick, MAX_NOTICE_TEXT) + " in " + visible(strRoom, MAX_NOTICE_TEXT) + ": " +
           visible(strText, MAX_NOTICE_TEXT);
}
