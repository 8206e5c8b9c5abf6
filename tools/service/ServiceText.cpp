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

// Percent-encodes all but RFC 3986 unreserved characters (and '/' in a path).
std::string LogEncoded(const std::string& strText, bool bPath) {
    static const char* const s_szHex = "0123456789ABCDEF";
    std::string strOut;
    for (unsigned char c : strText) {
        bool bKeep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '.' || c == '_' || c == '~' || (bPath && c == '/');
        if (bKeep) {
            strOut += static_cast<char>(c);
        } else {
            strOut += '%';
            strOut += s_szHex[c >> 4];
            strOut += s_szHex[c & 15];
        }
    }
    return strOut;
}

}  // namespace

std::string XmlEscape(const std::string& strText) {
    std::string strOut;
    strOut.reserve(strText.size());
    for (char c : strText) {
        switch (c) {
            case '&': strOut += "&amp;"; break;
            case '<': strOut += "&lt;"; break;
            case '>': strOut += "&gt;"; break;
            default: strOut += c;
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

std::string LoggableRequest(const std::string& strPath,
                            const std::multimap<std::string, std::string>& params) {
    if (strPath.empty()) {
        return "-";
    }
    std::string strOut = LogEncoded(strPath, true);
    char cSeparator = '?';
    for (const auto& [strKey, strValue] : params) {
        bool bSecret = ToLowerAscii(strKey).find("password") != std::string::npos;
        strOut += cSeparator + LogEncoded(strKey, false) + "=" +
                  (bSecret ? std::string("***") : LogEncoded(strValue, false));
        cSeparator = '&';
        if (strOut.size() > kMaxLoggedTarget) {
            break;
        }
    }
    if (strOut.size() > kMaxLoggedTarget) {
        strOut = strOut.substr(0, kMaxLoggedTarget) + "...";
    }
    return strOut;
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
