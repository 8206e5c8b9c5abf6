#include "CVocalonServer.h"

#include "NewsPages.h"
#include "ServiceText.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

// Longest user name, password or e-mail address looked at; longer ones are refused
// before any hashing or database work.
constexpr size_t kMaxField = 256;
constexpr size_t kMaxUserName = 20;
// Slow-feed requests each hold a worker for the whole delay; leave plenty for the rest.
constexpr size_t kWorkerThreads = 32;
// A client has this long from its connection to the end of its request head; each header
// line does not buy it more time.
constexpr std::chrono::seconds kHeadDeadline{10};
// Far above any request the client makes (its longest is a sign-up of a few hundred bytes).
constexpr size_t kMaxHead = 64 * 1024;
// Connections waiting for their heads at one time; more are turned away at once.
constexpr size_t kMaxWaiting = 512;
constexpr std::uintmax_t kMaxStaticFile = 16u << 20;

const char* const kPlain = "text/plain";
const char* const kXml = "text/xml";
const char* const kHtml = "text/html";

bool IsValidUserName(const std::string& strName) {
    if (strName.empty() || strName.size() > kMaxUserName) {
        return false;
    }
    for (char c : strName) {
        bool bOk = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                   c == '_' || c == '-';
        if (!bOk) {
            return false;
        }
    }
    return true;
}

bool IsValidEmail(const std::string& strEmail) {
    if (strEmail.size() < 7 || strEmail.size() > kMaxField ||
        strEmail.find('@') == std::string::npos) {
        return false;
    }
    for (unsigned char c : strEmail) {
        if (c < 0x21 || c == 0x7f) {
            return false;
        }
    }
    return true;
}

// One-file names only: the directory's own files, nothing above or below it.
bool IsSafeFileName(const std::string& strName) {
    return !strName.empty() && strName.find('/') == std::string::npos &&
           strName.find('\\') == std::string::npos && strName.find("..") == std::string::npos &&
           strName.find('\0') == std::string::npos;
}

std::string Element(const std::string& strName, const std::string& strValue) {
    return "<" + strName + ">" + strValue + "</" + strName + ">\n";
}

std::string StatusText(int nStatus) {
    switch (nStatus) {
        case 400: return "Bad request";
        case 403: return "Forbidden";
        case 404: return "Not found";
        case 405: return "Method not allowed";
        case 413: return "Request too large";
        case 414: return "Request URI too long";
        case 500: return "Internal error";
        case 503: return "Service stopping";
        default: return "Error";
    }
}

bool ReadWholeFile(const std::string& strPath, std::string& strContent) {
    std::ifstream file(strPath, std::ios::binary);
    if (!file) {
        return false;
    }
    std::ostringstream stream;
    stream << file.rdbuf();
    strContent = stream.str();
    return !file.bad();
}

const char* ContentTypeFor(const std::string& strName) {
    auto EndsWith = [&](const std::string& strSuffix) {
        return strName.size() >= strSuffix.size() &&
               strName.compare(strName.size() - strSuffix.size(), strSuffix.size(), strSuffix) == 0;
    };
    if (EndsWith(".xml")) {
        return kXml;
    }
    if (EndsWith(".html") || EndsWith(".htm")) {
        return kHtml;
    }
    return kPlain;
}

}  // namespace

CVocalonServer::CVocalonServer(const CServiceOptions& options, CServiceStore& store,
                               const CTlsContext* pTls)
    : m_options(options),
      m_accounts(store, options.hashCost),
      m_peers(store, std::chrono::seconds(options.nPeerWindow)),
      m_news(options.nArticleInterval),
      m_server(
          kWorkerThreads, CHeadGate::CLimits{kHeadDeadline, kMaxHead, kMaxWaiting},
          [this](const std::string& strRemote, int nStatus) { LogRefusal(strRemote, nStatus); },
          pTls) {
    // Every request is a GET; nothing needs a body.
    m_server.set_payload_max_length(64 * 1024);
    RegisterRoutes();
}

void CVocalonServer::RegisterRoutes() {
    using httplib::Request;
    using httplib::Response;
    m_server.Get(R"(/cgi-local/login2\.pl)",
                 [this](const Request& req, Response& res) { HandleLogin(req, res); });
    m_server.Get(R"(/cgi-local/register2\.pl)",
                 [this](const Request& req, Response& res) { HandleRegister(req, res); });
    m_server.Get(R"(/feed_list/in_feeds\.txt)",
                 [this](const Request& req, Response& res) { HandleCatalogue(req, res); });
    m_server.Get(R"(/feeds/([^/]+)\.xml)",
                 [this](const Request& req, Response& res) { HandleFeed(req, res); });
    m_server.Get(R"(/articles/([^/]+)/([^/]+)\.html)",
                 [this](const Request& req, Response& res) { HandleArticle(req, res); });
    m_server.Get(R"(/static/(.*))",
                 [this](const Request& req, Response& res) { HandleStatic(req, res); });
    m_server.Get(R"(/download/?)",
                 [this](const Request& req, Response& res) { HandleDownload(req, res); });

    m_server.set_error_handler([](const Request&, Response& res) {
        if (res.body.empty()) {
            res.set_content(StatusText(res.status) + "\n", kPlain);
        }
    });
    m_server.set_exception_handler([](const Request&, Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content(StatusText(500) + "\n", kPlain);
    });
    m_server.set_logger([this](const Request& req, const Response& res) { Log(req, res); });
}

int CVocalonServer::Bind(std::string& strError) {
    if (!m_options.strCatalogueFile.empty()) {
        if (!ReadWholeFile(m_options.strCatalogueFile, m_strFixedCatalogue)) {
            strError = "cannot read catalogue file " + m_options.strCatalogueFile;
            return -1;
        }
        m_strFixedCatalogue = ToLfLineEnds(m_strFixedCatalogue);
        m_bFixedCatalogue = true;
    }
    if (!m_options.strStaticDir.empty() && !std::filesystem::is_directory(m_options.strStaticDir)) {
        strError = "not a directory: " + m_options.strStaticDir;
        return -1;
    }
    int nPort = m_options.nPort;
    if (nPort == 0) {
        nPort = m_server.bind_to_any_port(m_options.strBind);
    } else if (!m_server.bind_to_port(m_options.strBind, nPort)) {
        nPort = -1;
    }
    if (nPort <= 0) {
        strError = "cannot listen on " + m_options.strBind + ":" + std::to_string(m_options.nPort);
        return -1;
    }
    return nPort;
}

bool CVocalonServer::Serve() {
    bool bListenOk = false;
    // httplib's stop() only works once listening has begun, so the listener gets its own
    // thread and this one turns a Stop() that came too early into a real stop.
    std::thread listener([&] {
        bListenOk = m_server.listen_after_bind();
        std::lock_guard<std::mutex> lock(m_stopMutex);
        m_bListenEnded = true;
        m_stopCondition.notify_all();
    });
    std::unique_lock<std::mutex> lock(m_stopMutex);
    m_stopCondition.wait(lock, [this] { return m_bStopping || m_bListenEnded; });
    while (!m_bListenEnded) {
        lock.unlock();
        m_server.stop();
        lock.lock();
        m_stopCondition.wait_for(lock, std::chrono::milliseconds(20),
                                 [this] { return m_bListenEnded; });
    }
    bool bStopped = m_bStopping;
    lock.unlock();
    listener.join();
    m_server.Drain();
    return bListenOk || bStopped;
}

void CVocalonServer::Stop() {
    std::lock_guard<std::mutex> lock(m_stopMutex);
    m_bStopping = true;
    m_stopCondition.notify_all();
}

bool CVocalonServer::WaitUnlessStopping(std::chrono::seconds duration) {
    std::unique_lock<std::mutex> lock(m_stopMutex);
    return !m_stopCondition.wait_for(lock, duration, [this] { return m_bStopping; });
}

std::string CVocalonServer::RequestHost(const httplib::Request& req) const {
    std::string strLocal =
        req.local_addr.find(':') != std::string::npos ? "[" + req.local_addr + "]" : req.local_addr;
    return SafeHost(req.get_header_value("Host"), strLocal + ":" + std::to_string(req.local_port));
}

void CVocalonServer::HandleLogin(const httplib::Request& req, httplib::Response& res) {
    std::string strUser = ToLowerAscii(req.get_param_value("username"));
    std::string strPassword = req.get_param_value("password");
    // A store that fails here leaves the list empty; the account check then tells.
    std::vector<std::string> arrPeers;
    m_peers.Sample(req.remote_addr, arrPeers);

    CAccountStore::CheckResult result = CAccountStore::CheckResult::UnknownUser;
    if (IsValidUserName(strUser)) {
        // Over-long passwords are never hashed. Checking the empty one instead, which no
        // account has, still tells an unknown user from a wrong password.
        result = m_accounts.Check(strUser, strPassword.size() > kMaxField ? "" : strPassword);
        if (strPassword.size() > kMaxField && result == CAccountStore::CheckResult::Ok) {
            result = CAccountStore::CheckResult::WrongPassword;
        }
    }
    std::string strCode;
    std::string strMessage;
    switch (result) {
        case CAccountStore::CheckResult::Ok:
            strCode = "0";
            strMessage = "Welcome back, " + strUser + ".";
            m_peers.Record(req.remote_addr, strUser);
            break;
        case CAccountStore::CheckResult::UnknownUser:
            strCode = "1001";
            strMessage = "Unknown user name. Check the spelling or register first.";
            break;
        case CAccountStore::CheckResult::WrongPassword:
            strCode = "1003";
            strMessage = "Wrong password. Please try again.";
            break;
        case CAccountStore::CheckResult::Failed: res.status = 500; return;
    }
    std::string strVersionUrl = m_options.strVersionUrl.empty()
                                    ? "http://" + RequestHost(req) + "/download/"
                                    : m_options.strVersionUrl;
    std::string strBody = Element("errorcode", strCode) + Element("error", strMessage) +
                          Element("version_count", m_options.strVersionCount) +
                          Element("version_url", strVersionUrl) +
                          Element("firewall_rt", m_options.strFirewallRoute) + "<iplist>\n";
    for (const std::string& strPeer : arrPeers) {
        strBody += Element("ipaddr", strPeer);
    }
    strBody += "</iplist>\n";
    res.set_content(strBody, kPlain);
}

void CVocalonServer::HandleRegister(const httplib::Request& req, httplib::Response& res) {
    std::string strUser = req.get_param_value("username");
    std::string strPassword = req.get_param_value("password");
    std::string strEmail = req.get_param_value("email");
    std::string strCode = "1002";
    std::string strMessage;
    if (!IsValidUserName(strUser)) {
        strMessage = "User names are 1 to 20 letters, digits, _ or -.";
    } else if (!IsValidEmail(strEmail)) {
        strCode = "1001";
        strMessage = "Please enter a valid e-mail address.";
    } else if (strPassword.empty() || strPassword.size() > kMaxField) {
        strCode = "1001";
        strMessage = "Please choose a password of 1 to 256 characters.";
    } else {
        strUser = ToLowerAscii(strUser);
        switch (m_accounts.Create(strUser, strPassword, strEmail)) {
            case CAccountStore::CreateResult::Created:
                strCode = "0";
                strMessage = "Account created. Welcome, " + strUser + ".";
                break;
            case CAccountStore::CreateResult::NameTaken:
                strMessage = "That user name is already taken.";
                break;
            case CAccountStore::CreateResult::Failed: res.status = 500; return;
        }
    }
    res.set_content(Element("errorcode", strCode) + Element("error", strMessage), kPlain);
}

void CVocalonServer::HandleCatalogue(const httplib::Request& req, httplib::Response& res) {
    std::string strHost = RequestHost(req);
    if (!m_bFixedCatalogue) {
        res.set_content(CatalogueText(m_news, strHost), kPlain);
        return;
    }
    std::string strText = m_strFixedCatalogue;
    const std::string strPlaceholder = "{HOST}";
    for (size_t nPos = strText.find(strPlaceholder); nPos != std::string::npos;
         nPos = strText.find(strPlaceholder, nPos + strHost.size())) {
        strText.replace(nPos, strPlaceholder.size(), strHost);
    }
    res.set_content(strText, kPlain);
}

void CVocalonServer::HandleFeed(const httplib::Request& req, httplib::Response& res) {
    const CNewsSource* pSource = m_news.FindSource(req.matches[1].str());
    if (pSource == nullptr || pSource->kind == CSourceKind::Unreachable) {
        res.status = 404;
        return;
    }
    if (pSource->kind == CSourceKind::Broken) {
        res.status = 500;
        res.set_content("This source is broken on purpose: its feed always fails.\n", kPlain);
        return;
    }
    if (pSource->kind == CSourceKind::Slow &&
        !WaitUnlessStopping(std::chrono::seconds(m_options.nSlowDelay))) {
        res.status = 503;
        return;
    }
    res.set_content(
        FeedXml(m_news, *pSource, RequestHost(req), std::time(nullptr), m_options.nFeedSize), kXml);
}

void CVocalonServer::HandleArticle(const httplib::Request& req, httplib::Response& res) {
    const CNewsSource* pSource = m_news.FindSource(req.matches[1].str());
    std::string strNumber = req.matches[2].str();
    // Up to 15 digits: far beyond any article that exists, and never overflows.
    bool bNumber = !strNumber.empty() && strNumber.size() <= 15 &&
                   strNumber.find_first_not_of("0123456789") == std::string::npos;
    if (pSource == nullptr || !bNumber) {
        res.status = 404;
        return;
    }
    std::int64_t nArticle = std::stoll(strNumber);
    if (nArticle > m_news.NewestArticle(*pSource, std::time(nullptr))) {
        res.status = 404;
        return;
    }
    res.set_content(ArticleHtml(m_news, *pSource, nArticle), kHtml);
}

void CVocalonServer::HandleStatic(const httplib::Request& req, httplib::Response& res) {
    std::string strName = req.matches[1].str();
    if (m_options.strStaticDir.empty()) {
        res.status = 404;
        return;
    }
    if (!IsSafeFileName(strName)) {
        res.status = 403;
        return;
    }
    std::filesystem::path path = std::filesystem::path(m_options.strStaticDir) / strName;
    std::error_code error;
    std::string strContent;
    if (!std::filesystem::is_regular_file(path, error) ||
        std::filesystem::file_size(path, error) > kMaxStaticFile ||
        !ReadWholeFile(path.string(), strContent)) {
        res.status = 404;
        return;
    }
    res.set_content(strContent, ContentTypeFor(strName));
}

void CVocalonServer::HandleDownload(const httplib::Request&, httplib::Response& res) {
    res.set_content(DownloadHtml(m_options.strVersionCount), kHtml);
}

void CVocalonServer::Log(const httplib::Request& req, const httplib::Response& res) {
    std::string strLine = FormatLogTime(std::time(nullptr)) + " " +
                          PrintableForLog(req.remote_addr.empty() ? "-" : req.remote_addr) + " " +
                          PrintableForLog(req.method.empty() ? "-" : req.method) + " " +
                          LoggableRequest(req.path, req.params) + " " + std::to_string(res.status) +
                          "\n";
    std::lock_guard<std::mutex> lock(m_logMutex);
    std::fputs(strLine.c_str(), stderr);
    std::fflush(stderr);
}

void CVocalonServer::LogRefusal(const std::string& strRemote, int nStatus) {
    httplib::Request req;
    req.remote_addr = strRemote;
    httplib::Response res;
    res.status = nStatus;
    Log(req, res);
}
