#include "util/Strings.h"

#include <cctype>

#include <QString>

#include <algorithm>
#include <climits>

void SplitString(const std::string& strText, CStringArray& arr, const std::string& strDelimiters) {
    size_t nPos = strText.find_first_not_of(strDelimiters);
    while (nPos != std::string::npos) {
        size_t nEnd = strText.find_first_of(strDelimiters, nPos);
        arr.push_back(strText.substr(nPos, nEnd - nPos));
        nPos = strText.find_first_not_of(strDelimiters, nEnd);
    }
}

std::string JoinStrings(const CStringArray& arr, size_t nStart, const std::string& strSeparator) {
    std::string strOut;
    for (size_t i = nStart; i < arr.size(); ++i) {
        if (i > nStart) {
            strOut += strSeparator;
        }
        strOut += arr[i];
    }
    return strOut;
}

std::optional<CElementSpan> FindElement(std::string_view strTag, std::string_view strText) {
    std::string strOpen = "<";
    strOpen += strTag;
    CElementSpan span;
    span.nOpen = strText.find(strOpen);
    if (span.nOpen == std::string_view::npos) {
        return std::nullopt;
    }
    const size_t nGt = strText.find('>', span.nOpen + strOpen.size());
    if (nGt == std::string_view::npos) {
        return std::nullopt;
    }
    span.nContent = nGt + 1;
    std::string strClose = "</";
    strClose += strTag;
    strClose += '>';
    span.nClose = strText.find(strClose, span.nContent);
    if (span.nClose == std::string_view::npos) {
        return std::nullopt;
    }
    span.nEnd = span.nClose + strClose.size();
    return span;
}

std::string_view FirstElementContent(std::string_view strTag, std::string_view strText) {
    std::optional<CElementSpan> span = FindElement(strTag, strText);
    return span ? strText.substr(span->nContent, span->nClose - span->nContent)
                : std::string_view();
}

std::string ExtractElement(const std::string& strTag, std::string& strSource) {
    std::optional<CElementSpan> span = FindElement(strTag, strSource);
    if (!span) {
        return {};
    }
    std::string strValue = strSource.substr(span->nContent, span->nClose - span->nContent);
    strSource.erase(span->nOpen, span->nEnd - span->nOpen);
    return strValue;
}

bool StartsWithNoCase(std::string_view str, std::string_view strPrefix) {
    if (str.size() < strPrefix.size()) {
        return false;
    }
    for (size_t i = 0; i < strPrefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(str[i])) != strPrefix[i]) {
            return false;
        }
    }
    return true;
}

void ReplaceAll(std::string& str, const std::string& strFrom, const std::string& strTo) {
    if (strFrom.empty()) {
        return;
    }
    std::string strOut;
    size_t nPos = 0;
    for (size_t nHit; (nHit = str.find(strFrom, nPos)) != std::string::npos;
         nPos = nHit + strFrom.size()) {
        strOut.append(str, nPos, nHit - nPos);
        strOut += strTo;
    }
    if (nPos == 0) {
        return;
    }
    strOut.append(str, nPos, std::string::npos);
    str.swap(strOut);
}

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& str) {
    const auto* p = reinterpret_cast<const unsigned char*>(str.data());
    const auto* pEnd = p + str.size();
    while (p < pEnd) {
        unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        size_t nLength = 0;
        unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            nLength = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            nLength = 3;
            lo = c == 0xE0 ? 0xA0 : 0x80;
            hi = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            nLength = 4;
            lo = c == 0xF0 ? 0x90 : 0x80;
            hi = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (static_cast<size_t>(pEnd - p) < nLength || p[1] < lo || p[1] > hi) {
            return false;
        }
        for (size_t i = 2; i < nLength; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                return false;
            }
        }
        p += nLength;
    }
    return true;
}

}  // namespace

std::string CutAtCharBoundary(const std::string& str, size_t nMaxBytes) {
    if (str.size() <= nMaxBytes) {
        return str;
    }
    size_t nCut = nMaxBytes;
    // Continuation bytes (10xxxxxx) belong to the character that starts before them. In
    // text that is not UTF-8 they need not follow a lead byte at all, and walking back
    // over them could eat the whole prefix.
    if (IsValidUtf8(str)) {
        while (nCut > 0 && (static_cast<unsigned char>(str[nCut]) & 0xC0) == 0x80) {
            --nCut;
        }
    }
    return str.substr(0, nCut);
}

int ParseInt(const std::string& strText) {
    size_t i = strText.find_first_not_of(" \t\r\n\v\f");
    if (i == std::string::npos) {
        return 0;
    }
    bool bNegative = strText[i] == '-';
    if (strText[i] == '-' || strText[i] == '+') {
        ++i;
    }
    long long nValue = 0;
    for (; i < strText.size() && strText[i] >= '0' && strText[i] <= '9'; ++i) {
        nValue = std::min<long long>(nValue * 10 + (strText[i] - '0'), 1LL << 32);
    }
    nValue = bNegative ? -nValue : nValue;
    return static_cast<int>(std::clamp<long long>(nValue, INT_MIN, INT_MAX));
}

int CompareNoCase(const std::string& strLeft, const std::string& strRight) {
    return QString::compare(QString::fromUtf8(strLeft), QString::fromUtf8(strRight),
                            Qt::CaseInsensitive);
}

void SortStrings(CStringArray& arr) {
    // Each element is converted once, not at every comparison. A stable sort gives exactly
    // the order of repeated adjacent swaps, without their quadratic cost.
    struct CKeyed {
        QString strKey;
        std::string str;
    };
    std::vector<CKeyed> keyed;
    keyed.reserve(arr.size());
    for (std::string& str : arr) {
        keyed.push_back({QString::fromUtf8(str), std::move(str)});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const CKeyed& a, const CKeyed& b) {
        return QString::compare(a.strKey, b.strKey, Qt::CaseInsensitive) < 0;
    });
    for (size_t i = 0; i < arr.size(); ++i) {
        arr[i] = std::move(keyed[i].str);
    }
}
