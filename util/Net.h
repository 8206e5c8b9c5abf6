#pragma once

// Name resolution and HTTP download. Both block, so the window thread only calls them
// for dotted addresses or not at all; workers call them freely.

#include <chrono>
#include <string>

// Prepares the HTTP layer once for the process, before any thread downloads; false when
// it cannot work. Later calls give the first answer.
bool InitHttp();

// The first IPv4 address of a host name as dotted text (a dotted address gives itself),
// or empty when the look-up fails.
std::string ResolveHost(const std::string& strHost);

// The local host's own address as ResolveHost gives it, or empty.
std::string OwnHostAddress();

struct CHttpOptions {
    std::chrono::seconds connectTimeout{30};
    // A transfer slower than one byte per second for this long is given up.
    std::chrono::seconds stallTime{60};
    // The whole request, connecting included, must end within this; a trickle fast enough
    // to pass the stall check still ends here.
    std::chrono::milliseconds deadline{std::chrono::seconds(30)};
    // Sends "Cache-Control: no-cache" and "Pragma: no-cache", so caches on the way fetch a
    // fresh copy. Wanted for feeds and the catalogue, not for the service's requests.
    bool bNoCache = true;
    size_t nMaxBody = 16u << 20;
    long nMaxRedirects = 5;
};

// HttpGet's status when no HTTP answer came.
constexpr int HTTP_NO_ANSWER = -1;

// Downloads an http:// or https:// URL with the user agent PRODUCT_TITLE (util/Version.h).
// An https:// URL is fetched only from a server whose certificate the system's trust store
// (with ExtraCaFile, util/Config.h) vouches for, and follows redirects to https:// only.
// Returns the HTTP status, or HTTP_NO_ANSWER when the transfer failed (no connection,
// broken, stalled or overdue transfer, a certificate refused, body over the cap, other
// schemes, too many redirects) or the workers are stopping (CWorkers): a transfer in flight then
// ends at once, and one started later fails without connecting. Only for status 200 is the body
// read: every line is appended to strBody followed by "\n" (a final "\n" is
// added when the body lacks one; an empty body adds nothing). After a failure the complete
// lines received so far stay appended. Each call is logged to NetLog without passwords.
int HttpGet(const std::string& strUrl, std::string& strBody,
            const CHttpOptions& options = CHttpOptions());

// What a server said identifies a body (its ETag and Last-Modified headers), sent back to
// have the body again only when it changed. Each is one line of at most MAX_HTTP_VALIDATOR
// bytes without control characters; a longer one is not kept.
constexpr size_t MAX_HTTP_VALIDATOR = 512;
struct CHttpValidators {
    std::string strETag;
    std::string strLastModified;

    bool Empty() const { return strETag.empty() && strLastModified.empty(); }
    bool operator==(const CHttpValidators&) const = default;
};

// A feed's download: what HttpGetIfChanged learnt besides the status.
struct CHttpFetch {
    // HttpGet's status: 304 when the known validators still hold (no body came).
    int nStatus = HTTP_NO_ANSWER;
    // For status 200 only, decoded, as HttpGet appends it; empty otherwise.
    std::string strBody;
    // Those of a 200 answer (of its last hop, after redirects); empty when it sent none.
    CHttpValidators validators;
    // No answer because a deadline passed: the connect timeout, the stall time or the
    // whole request's deadline.
    bool bTimedOut = false;
    // Why no answer came ("couldn't connect", "body over the cap" ...); empty otherwise.
    std::string strFailure;
    // Bytes on the wire: the requests and the answers' headers as sent, and the body as it
    // came, compressed.
    size_t nWireBytes = 0;
};

// HttpGet for feeds: sends the known validators as If-None-Match and If-Modified-Since
// (neither when empty), accepts gzip and deflate bodies and decodes them (the body cap
// applies to the decoded body), and reports the new validators, timeouts and the bytes
// moved. Everything else, the options included, as HttpGet; logged the same way.
CHttpFetch HttpGetIfChanged(const std::string& strUrl, const CHttpValidators& known,
                            const CHttpOptions& options = CHttpOptions());

// Whether a URL starts with http:// or https:// (in any case): the only addresses the
// program fetches or hands to the desktop as web pages.
bool IsWebUrl(const std::string& strUrl);

// Percent-encodes a query value (RFC 3986 unreserved characters stay as they are).
std::string UrlEncode(const std::string& strValue);
