#include "app/ServiceRequests.h"

#include "util/AppFiles.h"
#include "util/Config.h"
#include "util/Net.h"

#include <thread>

const char* const RESULT_SERVER_ERROR = "-1";
const char* const RESULT_NO_CONNECTION = "-2";

namespace {

constexpr const char* kServerErrorText = "Server connection error.";
constexpr const char* kNoConnectionText = "Can't connect to server.";

std::string ServiceUrl(const std::string& strPath) {
    return "http://" + ServiceHost() + strPath;
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
    PostToMainWindow(UM_LOGIN_RESULT, MakeParam(strCode), MakeParam(strText));
}

// Stores the catalogue with CR LF line ends. The file is replaced only by a complete
// download: a failed one leaves the old catalogue as it was.
void DownloadCatalogue() {
    std::string strBody;
    if (HttpGet(CatalogueUrl(), strBody) != 200) {
        return;
    }
    std::string strPath = AppDirPath("in_feeds.txt");
    if (!SaveTextFile(strPath, ToCrLf(strBody))) {
        PostToMainWindow(UM_WORKER_MESSAGE, MakeParam("Can't write file " + strPath));
    }
}

}  // namespace

CLoginAnswer ParseLoginAnswer(std::string strBody) {
    CLoginAnswer answer;
    answer.strErrorCode = ExtractElement("errorcode", strBody);
    answer.strError = ExtractElement("error", strBody);
    answer.strVersionCount = ExtractElement("version_count", strBody);
    answer.strVersionUrl = ExtractElement("version_url", strBody);
    answer.strFirewallRoute = ExtractElement("firewall_rt", strBody);
    std::string strList = ExtractElement("iplist", strBody);
    for (std::string strAddress; !(strAddress = ExtractElement("ipaddr", strList)).empty();) {
        answer.peerAddresses.push_back(strAddress);
    }
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
    int nStatus = HttpGet(LoginUrl(strUser, strPassword), strBody);
    if (nStatus < 0) {
        PostResult(RESULT_NO_CONNECTION, kNoConnectionText);
        return;
    }
    if (nStatus != 200) {
        PostResult(RESULT_SERVER_ERROR, kServerErrorText);
        return;
    }
    // A refused login still delivers route, peers, catalogue and version notice.
    CLoginAnswer answer = ParseLoginAnswer(std::move(strBody));
    PostToMainWindow(UM_FIREWALL_ROUTE, MakeParam(answer.strFirewallRoute));
    PostToMainWindow(UM_PEER_LIST, MakeParam(answer.peerAddresses));
    DownloadCatalogue();
    PostResult(answer.strErrorCode, answer.strError);
    PostToMainWindow(UM_VERSION_NOTICE, MakeParam(answer.strVersionCount),
                     MakeParam(answer.strVersionUrl));
}

void PeerListThreadProc(std::string strCredentials) {
    std::string strUser, strPassword;
    if (!SplitCredentials(strCredentials, strUser, strPassword)) {
        return;
    }
    std::string strBody;
    if (HttpGet(LoginUrl(strUser, strPassword), strBody) != 200) {
        PostToMainWindow(UM_PEER_LIST);  // no list: the refresh failed
        return;
    }
    PostToMainWindow(UM_PEER_LIST, MakeParam(ParseLoginAnswer(std::move(strBody)).peerAddresses));
}

void SignupThreadProc(SignupRequest request) {
    std::string strBody;
    int nStatus = HttpGet(RegisterUrl(request.strUser, request.strPassword, request.strEmail),
                          strBody);
    if (nStatus < 0) {
        return;  // the dialog keeps waiting; the user may press OK again
    }
    if (nStatus != 200) {
        PostAppEvent(request.hWnd, UM_SIGNUP_RESULT, MakeParam(std::string(RESULT_SERVER_ERROR)),
                     MakeParam(std::string(kServerErrorText)));
        return;
    }
    CLoginAnswer answer = ParseLoginAnswer(std::move(strBody));
    PostAppEvent(request.hWnd, UM_SIGNUP_RESULT, MakeParam(answer.strErrorCode),
                 MakeParam(answer.strError));
}

void StartLoginThread(const std::string& strCredentials) {
    std::thread(LoginThreadProc, strCredentials).detach();
}

void StartPeerListThread(const std::string& strCredentials) {
    std::thread(PeerListThreadProc, strCredentials).detach();
}

void StartSignupThread(SignupRequest request) {
    std::thread(SignupThreadProc, std::move(request)).detach();
}
