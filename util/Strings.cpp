#include "util/Strings.h"

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

std::string ExtractElement(const std::string& strTag, std::string& strSource) {
    size_t nOpen = strSource.find("<" + strTag);
    if (nOpen == std::string::npos) {
        return {};
    }
    size_t nContent = strSource.find('>', nOpen + 1 + strTag.size());
    if (nContent == std::string::npos) {
        return {};
    }
    ++nContent;
    std::string strClose = "</" + strTag + ">";
    size_t nClose = strSource.find(strClose, nContent);
    if (nClose == std::string::npos) {
        return {};
    }
    std::string strValue = strSource.substr(nContent, nClose - nContent);
    strSource.erase(nOpen, nClose + strClose.size() - nOpen);
    return strValue;
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

std::string CutAtCharBoundary(const std::string& str, size_t nMaxBytes) {
    if (str.size() <= nMaxBytes) {
        return str;
    }
    size_t nCut = nMaxBytes;
    // Continuation bytes (10xxxxxx) belong to the character that starts before them.
    while (nCut > 0 && (static_cast<unsigned char>(str[nCut]) & 0xC0) == 0x80) {
        --nCut;
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
    // A stable sort gives exactly the order of repeated adjacent swaps, without their
    // quadratic cost.
    std::stable_sort(arr.begin(), arr.end(), [](const std::string& a, const std::string& b) {
        return CompareNoCase(a, b) < 0;
    });
}
