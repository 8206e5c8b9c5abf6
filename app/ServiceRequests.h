#pragma once

// The requests to the service host: login, peer list and registration. Each runs on a
// worker thread of its own that touches no window; results reach windows as posted
// application messages, in a fixed order the login window relies on:
// UM_FIREWALL_ROUTE, UM_PEER_LIST, (catalogue written to disk), UM_LOGIN_RESULT,
// UM_VERSION_NOTICE.

#include "platform/AppEvent.h"
#include "util/Strings.h"

#include <cstddef>
#include <optional>
#include <string>

// The messages the requests post, with their payloads.
template <>
struct CAppMessage<UM_LOGIN_RESULT> {
    using WParam = std::string;  // result code
    using LParam = std::string;  // text for the status line
};
template <>
struct CAppMessage<UM_SIGNUP_RESULT> : CAppMessage<UM_LOGIN_RESULT> {};
template <>
struct CAppMessage<UM_FIREWALL_ROUTE> {
    using WParam = std::string;
    using LParam = CNoParam;
};
template <>
struct CAppMessage<UM_PEER_LIST> {
    using WParam = std::optional<CStringArray>;  // none when a refresh failed
    using LParam = CNoParam;
};
template <>
struct CAppMessage<UM_VERSION_NOTICE> {
    using WParam = std::string;  // latest version number
    using LParam = std::string;  // its download address
};
template <>
struct CAppMessage<UM_WORKER_MESSAGE> {
    using WParam = std::string;  // the message box's text
    using LParam = CNoParam;
};

// Result codes of a login or sign-up. The service's own:
extern const char* const RESULT_OK;              // "0": logged in, or the account was made
extern const char* const RESULT_UNKNOWN_USER;    // "1001"; to a sign-up: bad e-mail or password
extern const char* const RESULT_NAME_REFUSED;    // "1002": a sign-up's name taken or invalid
extern const char* const RESULT_WRONG_PASSWORD;  // "1003"
// The client's, when no answer could be read:
extern const char* const RESULT_SERVER_ERROR;   // "-1": the answer was not status 200
extern const char* const RESULT_NO_CONNECTION;  // "-2": the service could not be reached

// After RESULT_NO_CONNECTION the login window tries again this often (TIMER_LOGIN_RETRY).
constexpr int LOGIN_RETRY_PERIOD_MS = 5 * 60 * 1000;

// The values of a login or registration answer; missing elements read as empty.
struct CLoginAnswer {
    std::string strErrorCode;
    std::string strError;
    std::string strVersionCount;
    std::string strVersionUrl;
    std::string strFirewallRoute;
    CStringArray peerAddresses;
};

// The most peer addresses read from one answer; the rest are ignored.
constexpr size_t MAX_PEER_ADDRESSES = 1000;

// Reads an answer body. The cutter matches names as prefixes, so the order matters:
// "errorcode" goes before "error". The peer list ends at the first empty "ipaddr" and
// holds at most MAX_PEER_ADDRESSES; it is read in one pass, whatever its length.
CLoginAnswer ParseLoginAnswer(std::string strBody);

// Full URLs of the three requests; the values are percent-encoded.
std::string LoginUrl(const std::string& strUser, const std::string& strPassword);
std::string RegisterUrl(const std::string& strUser, const std::string& strPassword,
                        const std::string& strEmail);
std::string CatalogueUrl();

// The credential text handed to the login and peer-list workers: user "::" password.
std::string MakeCredentials(const std::string& strUser, const std::string& strPassword);

// Worker bodies; they run to completion on the calling thread.
void LoginThreadProc(std::string strCredentials);
void PeerListThreadProc(std::string strCredentials);

struct SignupRequest {
    CWindowHandle hWnd = 0;  // the sign-up dialog that receives UM_SIGNUP_RESULT
    std::string strUser;
    std::string strPassword;
    std::string strEmail;
};
void SignupThreadProc(SignupRequest request);

// Start the workers on threads of their own, joined at exit (CWorkers); once the workers
// stop they start nothing.
void StartLoginThread(const std::string& strCredentials);
void StartPeerListThread(const std::string& strCredentials);
void StartSignupThread(SignupRequest request);
