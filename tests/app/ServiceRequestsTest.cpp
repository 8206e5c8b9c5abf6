#include "app/ServiceRequests.h"

#include "platform/CWorkers.h"
#include "platform/Profile.h"
#include "tests/app/AppTestSupport.h"
#include "util/AppFiles.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using testing_support::CBlackHole;
using testing_support::CLocalHttpServer;
using testing_support::CResumeWorkers;
using testing_support::CScopedEnv;
using testing_support::CTempAppDir;
using testing_support::PumpEvents;
using testing_support::UnusedPort;
using testing_support::WaitFor;
using namespace std::chrono_literals;

TEST(ParseLoginAnswer, readsEveryKeyWhateverTheirOrder) {
    CLoginAnswer answer = ParseLoginAnswer(
        "<error>Wrong password.</error>\n<iplist><ipaddr>10.0.0.1</ipaddr></iplist>\n"
        "<errorcode>1003</errorcode>\n<firewall_rt>fw.example</firewall_rt>\n"
        "<version_url>http://x/dl</version_url><version_count>2</version_count>\n");
    EXPECT_EQ(answer.strErrorCode, "1003");
    EXPECT_EQ(answer.strError, "Wrong password.");
    EXPECT_EQ(answer.strVersionCount, "2");
    EXPECT_EQ(answer.strVersionUrl, "http://x/dl");
    EXPECT_EQ(answer.strFirewallRoute, "fw.example");
    EXPECT_EQ(answer.peerAddresses, CStringArray{"10.0.0.1"});
}

TEST(ParseLoginAnswer, skipsAttributesAndReadsMissingKeysAsEmpty) {
    CLoginAnswer answer = ParseLoginAnswer("<errorcode type=\"int\">0</errorcode>\n");
    EXPECT_EQ(answer.strErrorCode, "0");
    EXPECT_EQ(answer.strError, "");
    EXPECT_EQ(answer.strVersionCount, "");
    EXPECT_EQ(answer.strFirewallRoute, "");
    EXPECT_TRUE(answer.peerAddresses.empty());
}

TEST(ParseLoginAnswer, emptyAddressEndsThePeerList) {
    EXPECT_EQ(ParseLoginAnswer("<iplist><ipaddr>a</ipaddr><ipaddr></ipaddr><ipaddr>b</ipaddr>"
                               "</iplist>")
                  .peerAddresses,
              CStringArray{"a"});
    EXPECT_TRUE(ParseLoginAnswer("<iplist></iplist>").peerAddresses.empty());
    EXPECT_EQ(ParseLoginAnswer("<iplist>\n<ipaddr>1.2.3.4</ipaddr>\n<ipaddr>h.example</ipaddr>\n"
                               "</iplist>")
                  .peerAddresses,
              (CStringArray{"1.2.3.4", "h.example"}));
}

TEST(ParseLoginAnswer, readsAnOpeningSplitAroundAnAddressAsCuttingDoes) {
    // Cutting the inner element out joins "<ipa" and "ddr>" into one more element.
    EXPECT_EQ(
        ParseLoginAnswer("<iplist><ipa<ipaddr>1</ipaddr>ddr>2</ipaddr></iplist>").peerAddresses,
        (CStringArray{"1", "2"}));
}

TEST(ParseLoginAnswer, readsAHugePeerListInOnePassKeepingTheFirstThousand) {
    std::string strBody = "<errorcode>0</errorcode><iplist>\n";
    for (int i = 0; i < 200000; ++i) {
        strBody += "<ipaddr>10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) +
                   "." + std::to_string(i % 256) + "</ipaddr>\n";
    }
    strBody += "</iplist>\n";
    CLoginAnswer answer = ParseLoginAnswer(strBody);
    ASSERT_EQ(answer.peerAddresses.size(), MAX_PEER_ADDRESSES);
    EXPECT_EQ(answer.peerAddresses.front(), "10.0.0.0");
    EXPECT_EQ(answer.peerAddresses.back(), "10.0.3.231");
    EXPECT_EQ(answer.strErrorCode, "0");
}

TEST(ServiceUrls, percentEncodeTheValues) {
    CScopedEnv host("VOCALON_SERVICE_HOST", "svc.test:8080");
    EXPECT_EQ(LoginUrl("kim", "a&b c#d"),
              "http://svc.test:8080/cgi-local/login2.pl?username=kim&password=a%26b%20c%23d");
    EXPECT_EQ(RegisterUrl("kim", "p?w", "k@x.org"),
              "http://svc.test:8080/cgi-local/register2.pl?username=kim&password=p%3Fw"
              "&email=k%40x.org");
    EXPECT_EQ(CatalogueUrl(), "http://svc.test:8080/feed_list/in_feeds.txt");
}

class LoginThreadTest : public ::testing::Test {
protected:
    void RunLogin(const std::string& strUser, const std::string& strPassword) {
        std::thread(LoginThreadProc, MakeCredentials(strUser, strPassword)).join();
    }

    CTempAppDir m_appDir;
    CRecordingWindow m_window;
};

TEST_F(LoginThreadTest, postsRouteListResultAndVersionInOrderWithCatalogueOnDiskFirst) {
    CLocalService service({"--firewall-route", "fw.example", "--version-count", "3"});
    ASSERT_TRUE(service.Running());
    ASSERT_TRUE(service.Register("kim", "s3cret"));
    RunLogin("kim", "s3cret");
    ASSERT_TRUE(m_window.WaitForMessage(UM_VERSION_NOTICE));
    EXPECT_EQ(m_window.Messages(), (std::vector<int>{UM_FIREWALL_ROUTE, UM_PEER_LIST,
                                                     UM_LOGIN_RESULT, UM_VERSION_NOTICE}));
    EXPECT_EQ(m_window.m_posted[0].strW, "fw.example");
    ASSERT_TRUE(m_window.m_posted[1].addresses.has_value());
    EXPECT_EQ(m_window.m_posted[2].strW, "0");
    EXPECT_TRUE(m_window.m_posted[2].bCatalogueOnDisk);
    EXPECT_EQ(m_window.m_posted[3].strW, "3");
    std::string strCatalogue = m_appDir.Read("in_feeds.txt");
    EXPECT_NE(strCatalogue.find("<!!div!!>http://"), std::string::npos);
    EXPECT_NE(strCatalogue.find("\r\n"), std::string::npos);
    EXPECT_EQ(strCatalogue.find("\n\n"), std::string::npos);
}

TEST_F(LoginThreadTest, refusedLoginStillDeliversCatalogueAndVersion) {
    CLocalService service({"--version-count", "2"});
    ASSERT_TRUE(service.Running());
    ASSERT_TRUE(service.Register("kim", "right"));
    RunLogin("kim", "wrong");
    ASSERT_TRUE(m_window.WaitForMessage(UM_VERSION_NOTICE));
    const CPosted* pResult = m_window.Find(UM_LOGIN_RESULT);
    ASSERT_NE(pResult, nullptr);
    EXPECT_EQ(pResult->strW, "1003");
    EXPECT_FALSE(pResult->strL.empty());
    EXPECT_TRUE(pResult->bCatalogueOnDisk);
    EXPECT_EQ(m_window.Find(UM_VERSION_NOTICE)->strW, "2");

    RunLogin("nobody", "x");
    ASSERT_TRUE(WaitFor([&] { return m_window.m_posted.size() == 8; }));
    EXPECT_EQ(m_window.m_posted[6].strW, "1001");
}

TEST_F(LoginThreadTest, passwordsWithQueryCharactersLogInAsTyped) {
    CLocalService service;
    ASSERT_TRUE(service.Running());
    const std::string strPassword = "a&b c#d?e=f%g+h";
    ASSERT_TRUE(service.Register("lee", strPassword));
    RunLogin("lee", strPassword);
    ASSERT_TRUE(m_window.WaitForMessage(UM_LOGIN_RESULT));
    EXPECT_EQ(m_window.Find(UM_LOGIN_RESULT)->strW, "0");
}

TEST_F(LoginThreadTest, unreachableServiceGivesMinusTwoAlone) {
    CScopedEnv host("VOCALON_SERVICE_HOST", "127.0.0.1:" + std::to_string(UnusedPort()));
    RunLogin("kim", "pw");
    ASSERT_TRUE(m_window.WaitForMessage(UM_LOGIN_RESULT));
    PumpEvents(50ms);
    ASSERT_EQ(m_window.Messages(), std::vector<int>{UM_LOGIN_RESULT});
    EXPECT_EQ(m_window.m_posted[0].strW, "-2");
    EXPECT_EQ(m_window.m_posted[0].strL, "Can't connect to server.");
}

// The reference service over TLS with a certificate of the test CA, which the client is
// told to trust; every request's line in the network log is kept.
class HttpsLoginTest : public LoginThreadTest {
protected:
    bool StartService(const std::string& strCertName) {
        if (!m_ca.Made()) {
            return false;
        }
        // In the reverse order of their making, so each restores the variable it found.
        m_pHost.reset();
        m_pService.reset();
        m_pService = std::make_unique<CLocalService>(
            std::vector<std::string>{"--tls-cert", m_ca.File(strCertName + ".pem"), "--tls-key",
                                     m_ca.File(strCertName + ".key")});
        m_pHost = std::make_unique<CScopedEnv>("VOCALON_SERVICE_HOST",
                                               "https://" + m_pService->Process().HostPort());
        return m_pService->Running();
    }
    const CPosted* LoginResult() {
        return m_window.WaitForMessage(UM_LOGIN_RESULT) ? m_window.Find(UM_LOGIN_RESULT) : nullptr;
    }

    const testing_support::CTestCa& m_ca = testing_support::CTestCa::Get();
    CScopedEnv m_trust{"VOCALON_EXTRA_CA_FILE", m_ca.File("ca.pem")};
    testing_support::CNetLogCapture m_log;
    std::unique_ptr<CLocalService> m_pService;
    std::unique_ptr<CScopedEnv> m_pHost;
};

TEST_F(HttpsLoginTest, logsInAndFetchesTheCatalogueOverTlsOnly) {
    ASSERT_TRUE(StartService("server")) << m_pService->Process().StartupLine();
    ASSERT_TRUE(m_pService->Register("kim", "s3cret"));
    RunLogin("kim", "s3cret");
    const CPosted* pResult = LoginResult();
    ASSERT_TRUE(pResult);
    EXPECT_EQ(pResult->strW, "0");
    EXPECT_TRUE(m_appDir.Exists("in_feeds.txt"));
    const std::string strLog = m_log.Text();
    EXPECT_NE(strLog.find("GET https://127.0.0.1:"), std::string::npos) << strLog;
    EXPECT_EQ(strLog.find("GET http:"), std::string::npos) << strLog;
}

TEST_F(HttpsLoginTest, certificatesTheClientCannotTrustGiveNoConnectionAndNoRequest) {
    struct {
        const char* pszCert;
        const char* pszTrustedCa;
    } cases[] = {{"other-host", "ca.pem"}, {"stranger", "ca.pem"}, {"server", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCert);
        m_window.m_posted.clear();
        CScopedEnv trust("VOCALON_EXTRA_CA_FILE", *c.pszTrustedCa ? m_ca.File(c.pszTrustedCa) : "");
        ASSERT_TRUE(StartService(c.pszCert));
        RunLogin("kim", "s3cret");
        const CPosted* pResult = LoginResult();
        ASSERT_TRUE(pResult);
        EXPECT_EQ(pResult->strW, "-2");
        EXPECT_EQ(pResult->strL, "Can't connect to server.");
        EXPECT_NE(m_log.Text().find("(SSL peer certificate"), std::string::npos) << m_log.Text();
        // The handshake failed before any request, and none was tried in the clear.
        EXPECT_EQ(m_pService->Process().LogText().find("login2"), std::string::npos);
        EXPECT_EQ(m_log.Text().find("GET http:"), std::string::npos) << m_log.Text();
    }
}

TEST_F(HttpsLoginTest, neverFallsBackToPlainHttp) {
    CLocalHttpServer plain;
    int nPlainRequests = 0;
    plain.Server().Get(".*", [&](const httplib::Request&, httplib::Response& res) {
        ++nPlainRequests;
        res.set_content("<errorcode>0</errorcode>", "text/plain");
    });
    plain.Start();
    CLocalHttpServer redirecting(m_ca.File("server.pem"), m_ca.File("server.key"));
    redirecting.Server().Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
        res.set_redirect(plain.Url(req.target));
    });
    redirecting.Start();
    // A plain server at an https address, and a TLS one that redirects to plain HTTP.
    for (int nPort : {plain.Port(), redirecting.Port()}) {
        m_window.m_posted.clear();
        CScopedEnv host("VOCALON_SERVICE_HOST", "https://127.0.0.1:" + std::to_string(nPort));
        RunLogin("kim", "s3cret");
        const CPosted* pResult = LoginResult();
        ASSERT_TRUE(pResult);
        EXPECT_EQ(pResult->strW, "-2");
    }
    EXPECT_EQ(nPlainRequests, 0);
}

TEST_F(LoginThreadTest, credentialsThatDoNotSplitInTwoPostNothing) {
    CLocalService service;
    ASSERT_TRUE(service.Running());
    for (const char* pszCredentials : {"kim::pa:ss", "kim::", "::pw", "kim"}) {
        std::thread(LoginThreadProc, std::string(pszCredentials)).join();
    }
    PumpEvents(100ms);
    EXPECT_TRUE(m_window.m_posted.empty());
}

// A service whose login answers and catalogue status the test chooses.
class ScriptedServiceTest : public LoginThreadTest {
protected:
    void SetUp() override {
        auto& server = m_server.Server();
        server.Get("/cgi-local/login2.pl",
                   [this](const httplib::Request& req, httplib::Response& res) {
                       Record(req);
                       res.status = m_nLoginStatus;
                       res.set_content(m_strAnswer, "text/plain");
                   });
        server.Get("/cgi-local/register2.pl",
                   [this](const httplib::Request& req, httplib::Response& res) {
                       Record(req);
                       res.status = m_nLoginStatus;
                       res.set_content(m_strAnswer, "text/plain");
                   });
        server.Get("/feed_list/in_feeds.txt",
                   [this](const httplib::Request& req, httplib::Response& res) {
                       Record(req);
                       res.status = m_nCatalogueStatus;
                       if (!m_bCutCatalogue) {
                           res.set_content(m_strCatalogue, "text/plain");
                           return;
                       }
                       // Announces the whole body, sends half and closes.
                       res.set_content_provider(m_strCatalogue.size(), "text/plain",
                                                [this](size_t, size_t, httplib::DataSink& sink) {
                                                    sink.write(m_strCatalogue.data(),
                                                               m_strCatalogue.size() / 2);
                                                    return false;
                                                });
                   });
        m_server.Start();
        m_pHost = std::make_unique<CScopedEnv>("VOCALON_SERVICE_HOST",
                                               "127.0.0.1:" + std::to_string(m_server.Port()));
    }

    // Notes "path Cache-Control/Pragma" of every request.
    void Record(const httplib::Request& req) {
        std::lock_guard<std::mutex> lock(m_requestMutex);
        m_arrRequests.push_back(req.path + " " + req.get_header_value("Cache-Control") + "/" +
                                req.get_header_value("Pragma"));
    }

    std::mutex m_requestMutex;
    std::vector<std::string> m_arrRequests;
    int m_nLoginStatus = 200;
    int m_nCatalogueStatus = 200;
    std::string m_strAnswer = "<errorcode>0</errorcode><error>Hi</error>";
    std::string m_strCatalogue = "New<!!div!!>http://new/feed\n";
    bool m_bCutCatalogue = false;
    CLocalHttpServer m_server;
    std::unique_ptr<CScopedEnv> m_pHost;
};

TEST_F(ScriptedServiceTest, onlyTheCatalogueAsksCachesForAFreshCopy) {
    CRecordingWindow dialog(false);
    RunLogin("kim", "pw");
    std::thread(PeerListThreadProc, MakeCredentials("kim", "pw")).join();
    std::thread(SignupThreadProc, SignupRequest{dialog.Handle(), "kim", "pw", "k@x.org"}).join();
    std::lock_guard<std::mutex> lock(m_requestMutex);
    EXPECT_EQ(m_arrRequests,
              (std::vector<std::string>{"/cgi-local/login2.pl /",
                                        "/feed_list/in_feeds.txt no-cache/no-cache",
                                        "/cgi-local/login2.pl /", "/cgi-local/register2.pl /"}));
}

TEST_F(ScriptedServiceTest, otherStatusGivesMinusOne) {
    m_nLoginStatus = 500;
    RunLogin("kim", "pw");
    ASSERT_TRUE(m_window.WaitForMessage(UM_LOGIN_RESULT));
    PumpEvents(50ms);
    ASSERT_EQ(m_window.Messages(), std::vector<int>{UM_LOGIN_RESULT});
    EXPECT_EQ(m_window.m_posted[0].strW, "-1");
    EXPECT_EQ(m_window.m_posted[0].strL, "Server connection error.");
}

TEST_F(ScriptedServiceTest, catalogueThatFailsKeepsTheOldFile) {
    m_appDir.Write("in_feeds.txt", "Old<!!div!!>http://old/feed\r\n");
    m_nCatalogueStatus = 404;
    RunLogin("kim", "pw");
    ASSERT_TRUE(m_window.WaitForMessage(UM_VERSION_NOTICE));
    EXPECT_EQ(m_window.Find(UM_LOGIN_RESULT)->strW, "0");
    EXPECT_EQ(m_appDir.Read("in_feeds.txt"), "Old<!!div!!>http://old/feed\r\n");

    m_nCatalogueStatus = 200;
    RunLogin("kim", "pw");
    ASSERT_TRUE(WaitFor([&] { return m_window.m_posted.size() == 8; }));
    EXPECT_EQ(m_appDir.Read("in_feeds.txt"), "New<!!div!!>http://new/feed\r\n");
}

TEST_F(ScriptedServiceTest, unwritableCatalogueAsksTheWindowThreadForAMessage) {
    WriteProfileString("Prefs", "AppDir", m_appDir.Path() + "/missing-dir");
    RunLogin("kim", "pw");
    ASSERT_TRUE(m_window.WaitForMessage(UM_VERSION_NOTICE));
    EXPECT_EQ(m_window.Messages(),
              (std::vector<int>{UM_FIREWALL_ROUTE, UM_PEER_LIST, UM_WORKER_MESSAGE, UM_LOGIN_RESULT,
                                UM_VERSION_NOTICE}));
    EXPECT_EQ(m_window.Find(UM_WORKER_MESSAGE)->strW,
              "Can't write file " + m_appDir.Path() + "/missing-dir/in_feeds.txt");
}

TEST_F(ScriptedServiceTest, garbageAnswersAreReadAsTheyComeAndNoCatalogueIsHalfWritten) {
    std::string strJunk;
    for (int i = 0; i < 4096; ++i) {
        strJunk += static_cast<char>((i * 7919 + 13) % 256);  // every byte value, NUL too
    }
    std::string strHuge;
    while (strHuge.size() < (10u << 20)) {
        strHuge += "<p>filler <erro <ipaddr <iplist x</p>\n";
    }
    strHuge += "<errorcode>1003</errorcode><error>Wrong password.</error>\n";
    const std::string strOld = "Old<!!div!!>http://old/feed\r\n";
    enum class ECatalogue { Cut, OverCap, Junk };
    struct Case {
        const char* pszName;
        std::string strAnswer;
        ECatalogue catalogue;
        bool bOldFile;
        const char* pszCode;
        const char* pszText;
    } cases[] = {
        {"binary junk", strJunk, ECatalogue::Cut, true, "", ""},
        {"truncated", "<errorcode>0</errorcode>\n<error>Welcome ba", ECatalogue::OverCap, true, "0",
         ""},
        {"web page",
         "<!DOCTYPE html>\n<html><head><title>Sign in</title></head><body>\n"
         "<form action=\"/login\"><input name=\"password\"></form></body></html>\n",
         ECatalogue::Cut, false, "", ""},
        {"10 MB", strHuge, ECatalogue::Junk, true, "1003", "Wrong password."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        m_window.m_posted.clear();
        ::unlink(m_appDir.FilePath("in_feeds.txt").c_str());
        if (c.bOldFile) {
            m_appDir.Write("in_feeds.txt", strOld);
        }
        m_strAnswer = c.strAnswer;
        m_bCutCatalogue = c.catalogue == ECatalogue::Cut;
        m_strCatalogue =
            c.catalogue == ECatalogue::OverCap ? std::string(17u << 20, 'x') : strJunk + "\n";
        RunLogin("kim", "pw");
        ASSERT_TRUE(m_window.WaitForMessage(UM_VERSION_NOTICE));
        EXPECT_EQ(m_window.Messages(), (std::vector<int>{UM_FIREWALL_ROUTE, UM_PEER_LIST,
                                                         UM_LOGIN_RESULT, UM_VERSION_NOTICE}));
        const CPosted& result = *m_window.Find(UM_LOGIN_RESULT);
        EXPECT_TRUE(result.strW == c.pszCode && result.strL == c.pszText)
            << result.strW.substr(0, 80) << " / " << result.strL.substr(0, 80);
        // A catalogue that came whole replaces the file; any other leaves it as it was.
        if (c.catalogue == ECatalogue::Junk) {
            EXPECT_EQ(m_appDir.Read("in_feeds.txt"), ToCrLf(strJunk + "\n"));
        } else {
            EXPECT_EQ(m_appDir.Exists("in_feeds.txt"), c.bOldFile);
            EXPECT_EQ(m_appDir.Read("in_feeds.txt"), c.bOldFile ? strOld : "");
        }
    }
}

TEST_F(ScriptedServiceTest, peerListThreadPostsTheListOrNone) {
    m_strAnswer =
        "<errorcode>1003</errorcode><iplist><ipaddr>10.1.1.1</ipaddr>"
        "<ipaddr>10.1.1.2</ipaddr></iplist>";
    std::thread(PeerListThreadProc, MakeCredentials("kim", "pw")).join();
    ASSERT_TRUE(m_window.WaitForMessage(UM_PEER_LIST));
    ASSERT_TRUE(m_window.m_posted[0].addresses.has_value());
    EXPECT_EQ(*m_window.m_posted[0].addresses, (CStringArray{"10.1.1.1", "10.1.1.2"}));

    m_nLoginStatus = 503;
    std::thread(PeerListThreadProc, MakeCredentials("kim", "pw")).join();
    ASSERT_TRUE(WaitFor([&] { return m_window.m_posted.size() == 2; }));
    EXPECT_EQ(m_window.m_posted[1].nMessage, UM_PEER_LIST);
    EXPECT_FALSE(m_window.m_posted[1].addresses.has_value());
}

TEST_F(ScriptedServiceTest, signupResultGoesToTheDialogThatAsked) {
    CRecordingWindow dialog(false);
    m_strAnswer = "<errorcode>1002</errorcode><error>Taken.</error>";
    std::thread(SignupThreadProc, SignupRequest{dialog.Handle(), "kim", "pw", "k@x.org"}).join();
    ASSERT_TRUE(dialog.WaitForMessage(UM_SIGNUP_RESULT));
    EXPECT_EQ(dialog.m_posted[0].strW, "1002");
    EXPECT_EQ(dialog.m_posted[0].strL, "Taken.");

    m_nLoginStatus = 500;
    std::thread(SignupThreadProc, SignupRequest{dialog.Handle(), "kim", "pw", "k@x.org"}).join();
    ASSERT_TRUE(WaitFor([&] { return dialog.m_posted.size() == 2; }));
    EXPECT_EQ(dialog.m_posted[1].strW, "-1");
    EXPECT_EQ(dialog.m_posted[1].strL, "Server connection error.");
    EXPECT_TRUE(m_window.m_posted.empty());
}

TEST(SignupThread, unreachableServicePostsNothing) {
    CRecordingWindow dialog(false);
    CScopedEnv host("VOCALON_SERVICE_HOST", "127.0.0.1:" + std::to_string(UnusedPort()));
    std::thread(SignupThreadProc, SignupRequest{dialog.Handle(), "kim", "pw", "k@x.org"}).join();
    PumpEvents(100ms);
    EXPECT_TRUE(dialog.m_posted.empty());
}

TEST(ServiceWorkers, requestsToAServiceThatNeverAnswersAreStoppedAndJoinedWithinASecond) {
    CResumeWorkers resume;
    CBlackHole service;
    CScopedEnv host("VOCALON_SERVICE_HOST", service.HostPort());
    CRecordingWindow main;
    CRecordingWindow dialog(false);
    StartLoginThread(MakeCredentials("kim", "pw"));
    StartPeerListThread(MakeCredentials("kim", "pw"));
    StartSignupThread(SignupRequest{dialog.Handle(), "kim", "pw", "k@x.org"});
    EXPECT_GE(CWorkers::Count(), 3u);
    PumpEvents(200ms);  // into their requests
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(CWorkers::StopAndJoin(10s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(CWorkers::Count(), 0u);
}
