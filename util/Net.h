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
// schemes, too many redirects) or the workers are stopping (CWorkers): a transfer in flight then ends at
// once, and one started later fails without connecting. Only for status 200 is the body
// read: every line is appended to strBody followed by "\n" (a final "\n" is
// added when the body lacks one; an empty body adds nothing). After a failure the complete
// lines received so far stay appended. Each call is logged to NetLog without passwords.
int HttpGet(const std::string& strUrl, std::string& strBody,
            const CHttpOptions& options = CHttpOptions());

// Whether a URL starts with http:// or https:// (in any case): the only addresses the
// program fetches or hands to the desktop as web pages.
bool IsWebUrl(const std::string& strUrl);

// Percent-encodes a query value (RFC 3986 unreserved characters stay as they are).
std::string UrlEncode(const std::string& strValue);
