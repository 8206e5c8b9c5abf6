#include "util/Net.h"

#include "platform/CWorkers.h"
#include "platform/Logging.h"
#include "util/Config.h"
#include "util/Strings.h"
#include "util/Version.h"

#include <curl/curl.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

#include <QString>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

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

bool InitCurlOnce() {
    static std::once_flag s_once;
    static bool s_bOk = false;
    std::call_once(s_once, [] { s_bOk = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return s_bOk;
}

struct CTransfer {
    CURL* pCurl = nullptr;
    std::string strReceived;
    size_t nMaxBody = 0;
    long nOtherStatus = 0;  // set when the answer is not 200 and its body is not wanted
    bool bTooLarge = false;
    // HttpGetIfChanged's: the conditions sent, whether compressed bodies are taken, the
    // validators of the last answer's headers, and what came of the transfer.
    const CHttpValidators* pKnown = nullptr;
    bool bCompressed = false;
    bool bReadValidators = false;
    CHttpValidators received;
    CURLcode result = CURLE_OK;
    size_t nWireBytes = 0;
};

// A value fit for a header line and kept: no control characters, within the cap.
bool IsValidatorText(std::string_view value) {
    return value.size() <= MAX_HTTP_VALIDATOR &&
           std::none_of(value.begin(), value.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

// The value of a header line "Name: value" when its name is strName (given in lower case;
// the line's in any case).
std::optional<std::string_view> HeaderValue(std::string_view line, std::string_view strName) {
    if (line.size() <= strName.size() || line[strName.size()] != ':' ||
        !StartsWithNoCase(line, strName)) {
        return std::nullopt;
    }
    line.remove_prefix(strName.size() + 1);
    const size_t nFirst = line.find_first_not_of(" \t");
    const size_t nLast = line.find_last_not_of(" \t\r\n");
    if (nFirst == std::string_view::npos || nLast == std::string_view::npos || nLast < nFirst) {
        return std::string_view();
    }
    return line.substr(nFirst, nLast - nFirst + 1);
}

size_t OnHeader(char* pData, size_t nSize, size_t nCount, void* pUser) {
    auto* pTransfer = static_cast<CTransfer*>(pUser);
    const std::string_view line(pData, nSize * nCount);
    // Every answer of a redirect chain starts with its status line: the last one's count.
    if (line.starts_with("HTTP/")) {
        pTransfer->received = {};
    } else if (auto etag = HeaderValue(line, "etag"); etag && IsValidatorText(*etag)) {
        pTransfer->received.strETag = *etag;
    } else if (auto modified = HeaderValue(line, "last-modified");
               modified && IsValidatorText(*modified)) {
        pTransfer->received.strLastModified = *modified;
    }
    return line.size();
}

size_t WireBytes(CURL* pCurl) {
    long nRequest = 0, nHeaders = 0;
    curl_off_t nBody = 0;
    curl_easy_getinfo(pCurl, CURLINFO_REQUEST_SIZE, &nRequest);
    curl_easy_getinfo(pCurl, CURLINFO_HEADER_SIZE, &nHeaders);
    curl_easy_getinfo(pCurl, CURLINFO_SIZE_DOWNLOAD_T, &nBody);
    return static_cast<size_t>(std::max(0L, nRequest)) +
           static_cast<size_t>(std::max(0L, nHeaders)) +
           static_cast<size_t>(std::max<curl_off_t>(0, nBody));
}

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

// Aborts the transfer once the workers stop, even in the middle of a long run of curl's.
int OnProgress(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return CWorkers::Stopping() ? 1 : 0;
}

// Runs a prepared transfer to its end. The multi interface waits on the transfer's sockets
// and the workers' stop descriptor together, so a stop wakes the wait at once instead of
// at curl's next timer, up to a second away.
CURLcode RunTransfer(CURL* pCurl) {
    std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(),
                                                                curl_multi_cleanup);
    if (!multi || curl_multi_add_handle(multi.get(), pCurl) != CURLM_OK) {
        return CURLE_FAILED_INIT;
    }
    CURLcode result = CURLE_FAILED_INIT;
    for (int nRunning = 1; nRunning > 0;) {
        if (curl_multi_perform(multi.get(), &nRunning) != CURLM_OK) {
            break;
        }
        if (nRunning == 0) {
            int nQueued = 0;
            while (CURLMsg* pMessage = curl_multi_info_read(multi.get(), &nQueued)) {
                if (pMessage->msg == CURLMSG_DONE) {
                    result = pMessage->data.result;
                }
            }
            break;
        }
        if (CWorkers::Stopping()) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        curl_waitfd stop{CWorkers::StopDescriptor(), CURL_WAIT_POLLIN, 0};
        if (curl_multi_poll(multi.get(), &stop, 1, 1000, nullptr) != CURLM_OK) {
            break;
        }
    }
    curl_multi_remove_handle(multi.get(), pCurl);
    return result;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Lower case with %XX and %u00XX escapes decoded, so every spelling of a key compares equal.
std::string FoldedQueryPart(std::string_view part) {
    std::string strOut;
    for (size_t i = 0; i < part.size(); ++i) {
        size_t nDigits = 0;
        if (part[i] == '%' && i + 2 < part.size() && HexDigit(part[i + 1]) >= 0 &&
            HexDigit(part[i + 2]) >= 0) {
            nDigits = 2;
        } else if (part[i] == '%' && i + 5 < part.size() && (part[i + 1] | 0x20) == 'u' &&
                   part[i + 2] == '0' && part[i + 3] == '0' && HexDigit(part[i + 4]) >= 0 &&
                   HexDigit(part[i + 5]) >= 0) {
            nDigits = 5;
        }
        char c = part[i];
        if (nDigits > 0) {
            c = static_cast<char>(HexDigit(part[i + nDigits - 1]) * 16 +
                                  HexDigit(part[i + nDigits]));
            i += nDigits;
        }
        strOut += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return strOut;
}

// The URL as it may be logged: user information and the value of every query parameter
// that looks like a password are replaced by "***".
std::string RedactedUrl(const std::string& strUrl) {
    size_t nAuthority = strUrl.find("://");
    nAuthority = nAuthority == std::string::npos ? 0 : nAuthority + 3;
    size_t nPath = std::min(strUrl.find_first_of("/?#", nAuthority), strUrl.size());
    size_t nAt = strUrl.rfind('@', nPath);
    std::string strOut = strUrl.substr(0, nAuthority);
    if (nAt != std::string::npos && nAt >= nAuthority) {
        strOut += "***";
        nAuthority = nAt;
    }
    size_t nQuery = std::min(strUrl.find('?', nPath), strUrl.size());
    size_t nFragment = std::min(strUrl.find('#', nQuery), strUrl.size());
    strOut.append(strUrl, nAuthority, nQuery - nAuthority);
    for (size_t nStart = nQuery; nStart < nFragment;) {
        // nStart is at the separator that opens the piece.
        size_t nEnd = std::min(strUrl.find_first_of("&;", nStart + 1), nFragment);
        std::string_view piece(strUrl.data() + nStart + 1, nEnd - nStart - 1);
        size_t nEq = piece.find('=');
        strOut += strUrl[nStart];
        if (nEq != std::string_view::npos &&
            FoldedQueryPart(piece).find("pass") != std::string::npos) {
            strOut.append(piece.substr(0, nEq + 1));
            strOut += "***";
        } else {
            strOut.append(piece);
        }
        nStart = nEnd;
    }
    strOut.append(strUrl, nFragment);
    return strOut;
}

// Runs the transfer; the status or HTTP_NO_ANSWER, with pszReason naming a failure for the
// log.
int HttpGetInto(const std::string& strUrl, CTransfer& transfer, const CHttpOptions& options,
                const char*& pszReason) {
    if (!IsWebUrl(strUrl)) {
        pszReason = "not a web address";
        return HTTP_NO_ANSWER;
    }
    if (CWorkers::Stopping()) {
        pszReason = "stopping";
        return HTTP_NO_ANSWER;
    }
    InitCurlOnce();
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) {
        pszReason = "no transfer handle";
        return HTTP_NO_ANSWER;
    }
    transfer.pCurl = curl.get();
    transfer.nMaxBody = options.nMaxBody;

    curl_slist* pHeaders = nullptr;
    if (options.bNoCache) {
        pHeaders = curl_slist_append(pHeaders, "Cache-Control: no-cache");
        pHeaders = curl_slist_append(pHeaders, "Pragma: no-cache");
    }
    if (transfer.pKnown && IsValidatorText(transfer.pKnown->strETag) &&
        !transfer.pKnown->strETag.empty()) {
        const std::string strLine = "If-None-Match: " + transfer.pKnown->strETag;
        pHeaders = curl_slist_append(pHeaders, strLine.c_str());
    }
    if (transfer.pKnown && IsValidatorText(transfer.pKnown->strLastModified) &&
        !transfer.pKnown->strLastModified.empty()) {
        const std::string strLine = "If-Modified-Since: " + transfer.pKnown->strLastModified;
        pHeaders = curl_slist_append(pHeaders, strLine.c_str());
    }
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(pHeaders,
                                                                        curl_slist_free_all);
    // Zero would mean "no limit" to curl.
    const long nDeadlineMs = std::max<long>(1, static_cast<long>(options.deadline.count()));
    CURL* p = curl.get();
    curl_easy_setopt(p, CURLOPT_URL, strUrl.c_str());
    curl_easy_setopt(p, CURLOPT_USERAGENT, PRODUCT_TITLE);
    curl_easy_setopt(p, CURLOPT_HTTPHEADER, pHeaders);
    curl_easy_setopt(p, CURLOPT_PROTOCOLS_STR, "http,https");
    // What was asked for over TLS never goes on in the clear.
    const bool bTls = StartsWithNoCase(strUrl, "https://");
    curl_easy_setopt(p, CURLOPT_REDIR_PROTOCOLS_STR, bTls ? "https" : "http,https");
    curl_easy_setopt(p, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(p, CURLOPT_MAXREDIRS, options.nMaxRedirects);
    curl_easy_setopt(p, CURLOPT_CONNECTTIMEOUT, static_cast<long>(options.connectTimeout.count()));
    curl_easy_setopt(p, CURLOPT_TIMEOUT_MS, nDeadlineMs);
    curl_easy_setopt(p, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(p, CURLOPT_LOW_SPEED_TIME, static_cast<long>(options.stallTime.count()));
    curl_easy_setopt(p, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(p, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(p, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(p, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(p, CURLOPT_XFERINFOFUNCTION, OnProgress);
    // Certificates are always verified (curl's default) against the system's store; tests
    // add their own authority to it.
    const std::string strExtraCa = ExtraCaFile();
    if (!strExtraCa.empty()) {
        curl_easy_setopt(p, CURLOPT_CAINFO, strExtraCa.c_str());
    }
    // Clients sharing one machine each speak from their own address, so the service
    // hands each one out as a peer the others can reach.
    const std::string strBind = PeerBindAddress();
    if (!strBind.empty()) {
        curl_easy_setopt(p, CURLOPT_INTERFACE, strBind.c_str());
    }

    if (transfer.bCompressed) {
        curl_easy_setopt(p, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    }
    if (transfer.bReadValidators) {
        curl_easy_setopt(p, CURLOPT_HEADERFUNCTION, OnHeader);
        curl_easy_setopt(p, CURLOPT_HEADERDATA, &transfer);
    }

    CURLcode result = RunTransfer(p);
    transfer.result = result;
    transfer.nWireBytes = WireBytes(p);
    if (transfer.nOtherStatus != 0) {
        return static_cast<int>(transfer.nOtherStatus);
    }
    if (transfer.bTooLarge) {
        pszReason = "body over the cap";
        return HTTP_NO_ANSWER;
    }
    if (result != CURLE_OK) {
        // A fixed text: curl's detailed messages may quote parts of the address.
        pszReason = result == CURLE_ABORTED_BY_CALLBACK ? "stopping" : curl_easy_strerror(result);
        return HTTP_NO_ANSWER;
    }
    long nStatus = 0;
    curl_easy_getinfo(p, CURLINFO_RESPONSE_CODE, &nStatus);
    return static_cast<int>(nStatus);
}

}  // namespace

int HttpGet(const std::string& strUrl, std::string& strBody, const CHttpOptions& options) {
    auto start = std::chrono::steady_clock::now();
    CTransfer transfer;
    const char* pszReason = "";
    int nResult = HttpGetInto(strUrl, transfer, options, pszReason);
    if (nResult == 200) {
        strBody += transfer.strReceived;
        if (!transfer.strReceived.empty() && transfer.strReceived.back() != '\n') {
            strBody += '\n';
        }
    } else if (nResult == HTTP_NO_ANSWER) {
        size_t nLastLine = transfer.strReceived.rfind('\n');
        if (nLastLine != std::string::npos) {
            strBody.append(transfer.strReceived, 0, nLastLine + 1);
        }
    }
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    qCInfo(NetLog).noquote().nospace()
        << "GET " << QString::fromStdString(RedactedUrl(strUrl)) << " -> " << nResult
        << (*pszReason ? " (" : "") << pszReason << (*pszReason ? ")" : "") << ", "
        << transfer.strReceived.size() << " bytes in " << elapsed.count() << " ms";
    return nResult;
}

CHttpFetch HttpGetIfChanged(const std::string& strUrl, const CHttpValidators& known,
                            const CHttpOptions& options) {
    auto start = std::chrono::steady_clock::now();
    CTransfer transfer;
    transfer.pKnown = &known;
    transfer.bCompressed = true;
    transfer.bReadValidators = true;
    const char* pszReason = "";
    CHttpFetch fetch;
    fetch.nStatus = HttpGetInto(strUrl, transfer, options, pszReason);
    if (fetch.nStatus == 200) {
        fetch.strBody = std::move(transfer.strReceived);
        if (!fetch.strBody.empty() && fetch.strBody.back() != '\n') {
            fetch.strBody += '\n';
        }
        fetch.validators = transfer.received;
    } else if (fetch.nStatus == HTTP_NO_ANSWER) {
        fetch.bTimedOut = transfer.result == CURLE_OPERATION_TIMEDOUT;
        fetch.strFailure = *pszReason ? pszReason : "no answer";
    }
    fetch.nWireBytes = transfer.nWireBytes;
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    qCInfo(NetLog).noquote().nospace()
        << "GET " << QString::fromStdString(RedactedUrl(strUrl)) << " -> " << fetch.nStatus
        << (*pszReason ? " (" : "") << pszReason << (*pszReason ? ")" : "") << ", "
        << fetch.nWireBytes << " bytes on the wire in " << elapsed.count() << " ms";
    return fetch;
}

bool IsWebUrl(const std::string& strUrl) {
    return StartsWithNoCase(strUrl, "http://") || StartsWithNoCase(strUrl, "https://");
}

std::string UrlEncode(const std::string& strValue) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string strOut;
    strOut.reserve(strValue.size() * 3);
    for (unsigned char c : strValue) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            strOut += static_cast<char>(c);
        } else {
            strOut += '%';
            strOut += kHex[c >> 4];
            strOut += kHex[c & 0x0F];
        }
    }
    return strOut;
}

bool InitHttp() { return InitCurlOnce(); }
