#include "app/ServiceRequests.h"

#include "news/FeedScanner.h"
#include "platform/CWorkers.h"
#include "platform/Logging.h"
#include "util/AppFiles.h"
#include "util/Config.h"
#include "util/Net.h"
#include "util/SettingsNames.h"

#include <QString>

#include <chrono>

const char* const RESULT_OK = "0";
const char* const RESULT_UNKNOWN_USER = "1001";
const char* const RESULT_NAME_REFUSED = "1002";
const char* const RESULT_WRONG_PASSWORD = "1003";
const char* const RESULT_SERVER_ERROR = "-1";
const char* const RESULT_NO_CONNECTION = "-2";

namespace {

constexpr const char* kServerErrorText = "Server connection error.";
constexpr const char* kNoConnectionText = "Can't connect to server.";

// Answers of the service are never cached, so its requests send no cache headers; the
// deadline keeps a trickling answer from holding a login for ever.
CHttpOptions ServiceRequestOptions() {
    CHttpOptions options;
    options.deadline = std::chrono::seconds(60);
    options.bNoCache = false;
    return options;
}

// The catalogue is a file that caches on the way may hold: ask for a fresh copy.
CHttpOptions CatalogueOptions() {
    CHttpOptions options = ServiceRequestOptions();
    options.bNoCache = true;
    return options;
}

// A result code from the service as the log shows it: short, quoted and escaped, so an
// answer cannot flood or forge log lines.
QString LoggableCode(const std::string& strCode) {
    return QString::fromStdString(strCode.substr(0, 16));
}

// Without a usable service address the path alone, which HttpGet refuses.
std::string ServiceUrl(const std::string& strPath) {
    const std::string strBase = ServiceBaseUrl();
    return strBase.empty() ? strPath : strBase + strPath;
}

// Splits user "::" password; false unless it gives exactly two pieces.
bool SplitCredentials(const std::string& strCredentials, std::string& strUser,
                      std::string& strPassword) {
    CStringArray pieces;
    SplitString(strCredentials, pieces, "::");
    if (pieces.size() != 2) {
        return false;
    }
    strUser = pieces[0];
    strPassword = pieces[1];
    return true;
}

void PostResult(const std::string& strCode, const std::string& strText) {
    PostMessageToMain<UM_LOGIN_RESULT>(strCode, strText);
}

// Stores the catalogue with CR LF line ends. The file is replaced only by a complete
// download: a failed one leaves the old catalogue as it was.
void DownloadCatalogue() {
    std::string strBody;
    int nStatus = HttpGet(CatalogueUrl(), strBody, CatalogueOptions());
    qCInfo(NetLog) << "catalogue: status" << nStatus;
    if (nStatus != 200) {
        return;
    }
    std::string strPath = AppDirPath(CATALOGUE_FILE);
    if (!SaveTextFile(strPath, ToCrLf(strBody))) {
        PostMessageToMain<UM_WORKER_MESSAGE>("Can't write file " + strPath);
    }
}

// The "ipaddr" values of a peer list, as cutting them out one by one gives them (an empty
// or incomplete element ends the list), in one pass over the list. A plain forward scan
// would differ where an opening tag is split around an element: cutting that element out
// joins the halves into one more element.
CStringArray ReadPeerAddresses(const std::string& strList) {
    CStringArray addresses;
    CElementCutter cutter("ipaddr", strList);
    while (addresses.size() < MAX_PEER_ADDRESSES) {
        std::string strAddress = cutter.Next();
        if (strAddress.empty()) {
            break;
        }
        addresses.push_back(std::move(strAddress));
    }
    return addresses;
}

}  // namespace

CLoginAnswer ParseLoginAnswer(std::string strBody) {
    CLoginAnswer answer;
    answer.strErrorCode = ExtractElement("errorcode", strBody);
    answer.strError = ExtractElement("error", strBody);
    answer.strVersionCount = ExtractElement("version_count", strBody);
    answer.strVersionUrl = ExtractElement("version_url", strBody);
    answer.strFirewallRoute = ExtractElement("firewall_rt", strBody);
    answer.peerAddresses = ReadPeerAddresses(ExtractElement("iplist", strBody));
    return answer;
}

std::string LoginUrl(const std::string& strUser, const std::string& strPassword) {
    return ServiceUrl("/cgi-local/login2.pl?username=" + UrlEncode(strUser) +
                      "&password=" + UrlEncode(strPassword));
}

std::string RegisterUrl(const std::string& strUser, const std::string& strPassword,
                        const std::string& strEmail) {
    return ServiceUrl("/cgi-local/register2.pl?username=" + UrlEncode(strUser) +
                      "&password=" + UrlEncode(strPassword) + "&email=" + UrlEncode(strEmail));
}

std::string CatalogueUrl() { return ServiceUrl("/feed_list/in_feeds.txt"); }

std::string MakeCredentials(const std::string& strUser, const std::string& strPassword) {
    return strUser + "::" + strPassword;
}

void LoginThreadProc(std::string strCredentials) {
    std::string strUser, strPassword;
    if (!SplitCredentials(strCredentials, strUser, strPassword)) {
        return;
    }
    std::string strBody;
    int nStatus = HttpGet(LoginUrl(strUser, strPassword), strBody, ServiceRequestOptions());
    qCInfo(NetLog) << "login: status" << nStatus;
    if (nStatus == HTTP_NO_ANSWER) {
        PostResult(RESULT_NO_CONNECTION, kNoConnectionText);
        return;
    }
    if (nStatus != 200) {
        PostResult(RESULT_SERVER_ERROR, kServerErrorText);
        return;
    }
    // A refused login still delivers route, peers, catalogue and version notice.
    CLoginAnswer answer = ParseLoginAnswer(std::move(strBody));
    qCInfo(NetLog) << "login: errorcode" << LoggableCode(answer.strErrorCode) << "peers"
                   << answer.peerAddresses.size();
    PostMessageToMain<UM_FIREWALL_ROUTE>(answer.strFirewallRoute);
    PostMessageToMain<UM_PEER_LIST>(answer.peerAddresses);
    DownloadCatalogue();
    PostResult(answer.strErrorCode, answer.strError);
    PostMessageToMain<UM_VERSION_NOTICE>(answer.strVersionCount, answer.strVersionUrl);
}

void PeerListThreadProc(std::string strCredentials) {
    std::string strUser, strPassword;
    if (!SplitCredentials(strCredentials, strUser, strPassword)) {
        return;
    }
    std::string strBody;
    int nStatus = HttpGet(LoginUrl(strUser, strPassword), strBody, ServiceRequestOptions());
    if (nStatus != 200) {
        qCInfo(NetLog) << "peer list: status" << nStatus;
        PostMessageToMain<UM_PEER_LIST>();  // no list: the refresh failed
        return;
    }
    CStringArray addresses = ParseLoginAnswer(std::move(strBody)).peerAddresses;
    qCInfo(NetLog) << "peer list: status" << nStatus << "peers" << addresses.size();
    PostMessageToMain<UM_PEER_LIST>(std::move(addresses));
}

void SignupThreadProc(SignupRequest request) {
    std::string strBody;
    int nStatus = HttpGet(RegisterUrl(request.strUser, request.strPassword, request.strEmail),
                          strBody, ServiceRequestOptions());
    qCInfo(NetLog) << "sign-up: status" << nStatus;
    if (nStatus == HTTP_NO_ANSWER) {
        return;  // the dialog keeps waiting; the user may press OK again
    }
    if (nStatus != 200) {
        PostMessageTo<UM_SIGNUP_RESULT>(request.hWnd, RESULT_SERVER_ERROR, kServerErrorText);
        return;
    }
    CLoginAnswer answer = ParseLoginAnswer(std::move(strBody));
    qCInfo(NetLog) << "sign-up: errorcode" << LoggableCode(answer.strErrorCode);
    PostMessageTo<UM_SIGNUP_RESULT>(request.hWnd, answer.strErrorCode, answer.strError);
}

void StartLoginThread(const std::string& strCredentials) {
    CWorkers::Start("login", [strCredentials] { LoginThreadProc(strCredentials); });
}

void StartPeerListThread(const std::string& strCredentials) {
    CWorkers::Start("peer list", [strCredentials] { PeerListThreadProc(strCredentials); });
}

void StartSignupThread(SignupRequest request) {
    CWorkers::Start("sign-up", [request = std::move(request)] { SignupThreadProc(request); });
}
