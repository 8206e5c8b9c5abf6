#include "ServiceText.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

const std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Keeps log lines one line long even for targets near the request-line limit.
constexpr size_t kMaxLoggedTarget = 2048;

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Decodes a query key the way the server's parameter parser does, so that a spelling
// such as "pass%77ord" is recognised as the password too.
std::string DecodeQueryPart(const std::string& strPart) {
    std::string strOut;
    for (size_t i = 0; i < strPart.size(); ++i) {
        char c = strPart[i];
        if (c == '%' && i + 2 < strPart.size()) {
            int nHigh = HexValue(strPart[i + 1]);
            int nLow = HexValue(strPart[i + 2]);
            if (nHigh >= 0 && nLow >= 0) {
                strOut += static_cast<char>(nHigh * 16 + nLow);
                i += 2;
                continue;
            }
        }
        strOut += c == '+' ? ' ' : c;
    }
    return strOut;
}

std::string MaskQuery(const std::string& strQuery) {
    std::string strOut;
    size_t nStart = 0;
    while (true) {
        size_t nEnd = strQuery.find('&', nStart);
        std::string strPiece =
            strQuery.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart);
        size_t nEq = strPiece.find('=');
        std::string strKey = strPiece.substr(0, nEq);
        if (nEq != std::string::npos && ToLowerAscii(DecodeQueryPart(strKey)) == "password") {
            strPiece = strKey + "=***";
        }
        strOut += strPiece;
        if (nEnd == std::string::npos) {
            break;
        }
        strOut += '&';
        nStart = nEnd + 1;
    }
    return strOut;
}

}  // namespace

std::string XmlEscape(const std::string& strText) {
    std::string strOut;
    strOut.reserve(strText.size());
    for (char c : strText) {
        switch (c) {
            case '&':
                strOut += "&amp;";
                break;
            case '<':
                strOut += "&lt;";
                break;
            case '>':
                strOut += "&gt;";
                break;
            default:
                strOut += c;
        }
    }
    return strOut;
}

std::string FormatHarvestTime(std::time_t t) {
    std::tm tmUtc{};
    gmtime_r(&t, &tmUtc);
    int nHour12 = tmUtc.tm_hour % 12 == 0 ? 12 : tmUtc.tm_hour % 12;
    char szBuf[64];
    std::snprintf(szBuf, sizeof szBuf, "%s %d %d %d:%02d%s", kMonths[tmUtc.tm_mon % 12],
                  tmUtc.tm_mday, tmUtc.tm_year + 1900, nHour12, tmUtc.tm_min,
                  tmUtc.tm_hour < 12 ? "AM" : "PM");
    return szBuf;
}

std::string FormatLogTime(std::time_t t) {
    std::tm tmUtc{};
    gmtime_r(&t, &tmUtc);
    char szBuf[32];
    std::strftime(szBuf, sizeof szBuf, "%Y-%m-%dT%H:%M:%SZ", &tmUtc);
    return szBuf;
}

std::string SafeHost(const std::string& strHostHeader, const std::string& strFallback) {
    if (strHostHeader.empty() || strHostHeader.size() > 255) {
        return strFallback;
    }
    bool bClean = std::all_of(strHostHeader.begin(), strHostHeader.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
    });
    return bClean ? strHostHeader : strFallback;
}

std::string LoggableTarget(const std::string& strTarget) {
    if (strTarget.empty()) {
        return "-";
    }
    std::string strMasked = strTarget;
    size_t nQuery = strTarget.find('?');
    if (nQuery != std::string::npos) {
        strMasked = strTarget.substr(0, nQuery + 1) + MaskQuery(strTarget.substr(nQuery + 1));
    }
    if (strMasked.size() > kMaxLoggedTarget) {
        strMasked = strMasked.substr(0, kMaxLoggedTarget) + "...";
    }
    return PrintableForLog(strMasked);
}

std::string PrintableForLog(const std::string& strText) {
    std::string strOut;
    for (unsigned char c : strText) {
        if (c < 0x21 || c > 0x7e || c == '\\') {
            char szHex[8];
            std::snprintf(szHex, sizeof szHex, "\\x%02X", c);
            strOut += szHex;
        } else {
            strOut += static_cast<char>(c);
        }
    }
    return strOut;
}

std::string DottedIPv4(const std::string& strAddress) {
    std::string str = strAddress;
    const std::string strMapped = "::ffff:";
    if (ToLowerAscii(str.substr(0, strMapped.size())) == strMapped) {
        str = str.substr(strMapped.size());
    }
    in_addr addr{};
    if (inet_pton(AF_INET, str.c_str(), &addr) != 1) {
        return {};
    }
    char szBuf[INET_ADDRSTRLEN];
    if (inet_ntop(AF_INET, &addr, szBuf, sizeof szBuf) == nullptr) {
        return {};
    }
    return szBuf;
}

std::string ToLowerAscii(std::string str) {
    for (char& c : str) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return str;
}

std::string ToLfLineEnds(const std::string& strText) {
    std::string strOut;
    strOut.reserve(strText.size());
    for (size_t i = 0; i < strText.size(); ++i) {
        if (strText[i] == '\r') {
            strOut += '\n';
            if (i + 1 < strText.size() && strText[i + 1] == '\n') {
                ++i;
            }
        } else {
            strOut += strText[i];
        }
    }
    return strOut;
}
