#include "util/Net.h"

#include <curl/curl.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

#include <cctype>
#include <memory>
#include <string_view>
#include <mutex>

std::string ResolveHost(const std::string& strHost) {
    if (strHost.empty()) {
        return {};
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* pResult = nullptr;
    if (getaddrinfo(strHost.c_str(), nullptr, &hints, &pResult) != 0 || !pResult) {
        return {};
    }
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> guard(pResult, freeaddrinfo);
    char szAddress[INET_ADDRSTRLEN] = {};
    const auto* pAddr = reinterpret_cast<const sockaddr_in*>(pResult->ai_addr);
    if (!inet_ntop(AF_INET, &pAddr->sin_addr, szAddress, sizeof szAddress)) {
        return {};
    }
    return szAddress;
}

std::string OwnHostAddress() {
    char szName[128] = {};
    if (gethostname(szName, sizeof szName - 1) != 0) {
        return {};
    }
    return ResolveHost(szName);
}

namespace {

void InitCurlOnce() {
    static std::once_flag s_once;
    std::call_once(s_once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CTransfer {
    CURL* pCurl = nullptr;
    std::string strReceived;
    size_t nMaxBody = 0;
    long nOtherStatus = 0;  // set when the answer is not 200 and its body is not wanted
    bool bTooLarge = false;
};

size_t OnData(char* pData, size_t nSize, size_t nCount, void* pUser) {
    auto* pTransfer = static_cast<CTransfer*>(pUser);
    size_t nBytes = nSize * nCount;
    long nStatus = 0;
    curl_easy_getinfo(pTransfer->pCurl, CURLINFO_RESPONSE_CODE, &nStatus);
    if (nStatus != 200) {
        // Stopping here saves reading a body nobody looks at.
        pTransfer->nOtherStatus = nStatus;
        return 0;
    }
    if (pTransfer->strReceived.size() + nBytes > pTransfer->nMaxBody) {
        pTransfer->bTooLarge = true;
        return 0;
    }
    pTransfer->strReceived.append(pData, nBytes);
    return nBytes;
}

}  // namespace

int HttpGet(const std::string& strUrl, std::string& strBody, const CHttpOptions& options) {
    if (!IsWebUrl(strUrl)) {
        return -1;
    }
    InitCurlOnce();
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) {
        return -1;
    }
    CTransfer transfer;
    transfer.pCurl = curl.get();
    transfer.nMaxBody = options.nMaxBody;

    curl_slist* pHeaders = nullptr;
    pHeaders = curl_slist_append(pHeaders, "Cache-Control: no-cache");
    pHeaders = curl_slist_append(pHeaders, "Pragma: no-cache");
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(pHeaders,
                                                                        curl_slist_free_all);
    CURL* p = curl.get();
    curl_easy_setopt(p, CURLOPT_URL, strUrl.c_str());
    curl_easy_setopt(p, CURLOPT_USERAGENT, "Vocalon v2.0");
    curl_easy_setopt(p, CURLOPT_HTTPHEADER, pHeaders);
    curl_easy_setopt(p, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(p, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(p, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(p, CURLOPT_MAXREDIRS, options.nMaxRedirects);
    curl_easy_setopt(p, CURLOPT_CONNECTTIMEOUT, static_cast<long>(options.connectTimeout.count()));
    curl_easy_setopt(p, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(p, CURLOPT_LOW_SPEED_TIME, static_cast<long>(options.stallTime.count()));
    curl_easy_setopt(p, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(p, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(p, CURLOPT_WRITEDATA, &transfer);

    CURLcode result = curl_easy_perform(p);
    if (transfer.nOtherStatus != 0) {
        return static_cast<int>(transfer.nOtherStatus);
    }
    long nStatus = 0;
    curl_easy_getinfo(p, CURLINFO_RESPONSE_CODE, &nStatus);
    if (result != CURLE_OK || transfer.bTooLarge) {
        size_t nLastLine = transfer.strReceived.rfind('\n');
        if (nLastLine != std::string::npos) {
            strBody.append(transfer.strReceived, 0, nLastLine + 1);
        }
        return -1;
    }
    if (nStatus != 200) {
        return static_cast<int>(nStatus);
    }
    strBody += transfer.strReceived;
    if (!transfer.strReceived.empty() && transfer.strReceived.back() != '\n') {
        strBody += '\n';
    }
    return 200;
}

bool IsWebUrl(const std::string& strUrl) {
    auto startsWith = [&](std::string_view prefix) {
        if (strUrl.size() < prefix.size()) {
            return false;
        }
        for (size_t i = 0; i < prefix.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(strUrl[i])) != prefix[i]) {
                return false;
            }
        }
        return true;
    };
    return startsWith("http://") || startsWith("https://");
}

std::string UrlEncode(const std::string& strValue) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string strOut;
    strOut.reserve(strValue.size() * 3);
    for (unsigned char c : strValue) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '.' || c == '_' || c == '~') {
            strOut += static_cast<char>(c);
        } else {
            strOut += '%';
            strOut += kHex[c >> 4];
            strOut += kHex[c & 0x0F];
        }
    }
    return strOut;
}
