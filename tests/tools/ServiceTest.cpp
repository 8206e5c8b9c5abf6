// The local reference service, tested as the client meets it: the real binary, over
// HTTP. Each suite runs its own service process with the flags it needs.

#include "ServiceFixture.h"
#include "ServiceStoreFixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <future>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------
// Accounts: registration and log-in answers.

class ServiceAccountsTest : public SharedServiceTest<ServiceAccountsTest> {
public:
    static std::vector<std::string> Flags(const CServiceProcess&) {
        return {"--version-count",  "7",
                "--version-url",    "http://updates.example.test/get/",
                "--firewall-route", "10.9.8.7:6667"};
    }
};

TEST_F(ServiceAccountsTest, registeredUserLogsInAndGetsTheConfiguredValues) {
    CServiceAnswer created = Register("kim", "harbour-light");
    EXPECT_EQ(created.strCode, "0");
    EXPECT_FALSE(created.strMessage.empty());

    CServiceAnswer login = LogIn("kim", "harbour-light");
    EXPECT_EQ(login.strCode, "0");
    EXPECT_NE(login.strMessage.find("kim"), std::string::npos) << login.strMessage;
    EXPECT_EQ(login.strVersionCount, "7");
    EXPECT_EQ(login.strVersionUrl, "http://updates.example.test/get/");
    EXPECT_EQ(login.strFirewallRoute, "10.9.8.7:6667");
}

TEST_F(ServiceAccountsTest, wrongOrMissingPasswordIs1003) {
    ASSERT_EQ(Register("lena", "correct horse").strCode, "0");
    EXPECT_EQ(LogIn("lena", "correct horsE").strCode, "1003");
    EXPECT_EQ(LogIn("lena", "").strCode, "1003");
    EXPECT_EQ(LogIn("lena", std::string(300, 'x')).strCode, "1003");
    // Failed answers still carry the full set of elements.
    CServiceAnswer answer = LogIn("lena", "nope");
    EXPECT_EQ(answer.strVersionCount, "7");
    EXPECT_FALSE(answer.strMessage.empty());
}

TEST_F(ServiceAccountsTest, unknownOrMissingUserIs1001) {
    EXPECT_EQ(LogIn("nobody-here", "whatever").strCode, "1001");
    EXPECT_EQ(LogIn("", "whatever").strCode, "1001");
    EXPECT_EQ(LogIn(std::string(5000, 'u'), "whatever").strCode, "1001");
    EXPECT_EQ(LogIn("bad name<x>", "whatever").strCode, "1001");

    CHttpReply reply = HttpGet(Port(), "/cgi-local/login2.pl?password=whatever");
    EXPECT_EQ(reply.nStatus, 200);
    EXPECT_EQ(ParseLoginAnswer(reply.strBody).strCode, "1001");
}

TEST_F(ServiceAccountsTest, takenOrInvalidUserNamesAre1002) {
    ASSERT_EQ(Register("Dup_Name", "pw1").strCode, "0");
    EXPECT_EQ(Register("Dup_Name", "pw2").strCode, "1002");
    EXPECT_EQ(Register("dup_name", "pw2").strCode, "1002");
    EXPECT_EQ(Register("DUP_NAME", "pw2").strCode, "1002");

    for (const std::string& strName :
         {std::string(), std::string(21, 'a'), std::string("two words"), std::string("dot.ted"),
          std::string("caf\xC3\xA9"), std::string("semi;colon"), std::string("<tag>")}) {
        EXPECT_EQ(Register(strName, "pw").strCode, "1002") << "name: " << strName;
    }
    CHttpReply reply = HttpGet(Port(), "/cgi-local/register2.pl?password=pw&email=a%40b.example");
    EXPECT_EQ(ParseRegisterAnswer(reply.strBody).strCode, "1002");

    // The edges of the valid range are accepted.
    EXPECT_EQ(Register(std::string(20, 'z'), "pw").strCode, "0");
    EXPECT_EQ(Register("_", "pw").strCode, "0");
    EXPECT_EQ(Register("a-Z_09", "pw").strCode, "0");
}

TEST_F(ServiceAccountsTest, badEmailOrPasswordIs1001) {
    EXPECT_EQ(Register("mailless", "pw", "no-at-sign.example").strCode, "1001");
    EXPECT_EQ(Register("mailless", "pw", "a@b.cd").strCode, "1001");  // 6 characters
    EXPECT_EQ(Register("mailless", "pw", "").strCode, "1001");
    EXPECT_EQ(Register("mailless", "pw", std::string(300, 'm') + "@example.org").strCode, "1001");
    EXPECT_EQ(Register("mailless", "").strCode, "1001");
    EXPECT_EQ(Register("mailless", std::string(257, 'p')).strCode, "1001");
    // None of the refusals created the account.
    EXPECT_EQ(LogIn("mailless", "pw").strCode, "1001");

    EXPECT_EQ(Register("mailless", "pw", "a@b.cde").strCode, "0");  // 7 characters
    EXPECT_EQ(Register("longpass", std::string(256, 'p')).strCode, "0");
    EXPECT_EQ(LogIn("longpass", std::string(256, 'p')).strCode, "0");
}

TEST_F(ServiceAccountsTest, passwordsWithReservedCharactersRoundTrip) {
    const std::string strPassword = "a&b=c #d %41 +e/f?g";
    ASSERT_EQ(Register("symbols", strPassword).strCode, "0");
    EXPECT_EQ(LogIn("symbols", strPassword).strCode, "0");
    // What a careless decoder would make of it must not pass.
    EXPECT_EQ(LogIn("symbols", "a&b=c #d A +e/f?g").strCode, "1003");
    EXPECT_EQ(LogIn("symbols", "a&b=c #d %41  e/f?g").strCode, "1003");
    EXPECT_EQ(LogIn("symbols", "a").strCode, "1003");
}

TEST_F(ServiceAccountsTest, userNamesAreCaseInsensitive) {
    ASSERT_EQ(Register("MixedCase_User", "s3cret").strCode, "0");
    for (const char* szName : {"mixedcase_user", "MIXEDCASE_USER", "MixedCase_User"}) {
        CServiceAnswer answer = LogIn(szName, "s3cret");
        EXPECT_EQ(answer.strCode, "0") << szName;
        EXPECT_NE(answer.strMessage.find("mixedcase_user"), std::string::npos) << answer.strMessage;
    }
}

TEST_F(ServiceAccountsTest, accountsSurviveARestart) {
    ASSERT_EQ(Register("persistent", "kept-in-db").strCode, "0");
    ASSERT_EQ(s_pService->Stop(), 0);
    ASSERT_TRUE(s_pService->Start(Flags(*s_pService)));
    EXPECT_EQ(LogIn("persistent", "kept-in-db").strCode, "0");
    EXPECT_EQ(Register("persistent", "other").strCode, "1002");
}

// ---------------------------------------------------------------------------------------
// The peer list, on each store: a fresh service and database per test, so each sees only
// its own log-ins.

class ServicePeersTest : public StoreTest {
protected:
    void StartService(std::vector<std::string> arrFlags = {}) {
        if (GetParam() == StoreKind::Postgres) {
            arrFlags.insert(arrFlags.end(), {"--db", NewDatabase(m_service)});
        }
        ASSERT_TRUE(m_service.Start(arrFlags)) << m_service.StartupLine() << m_service.LogText();
        CHttpReply reply = HttpGet(m_service.Port(), RegisterTarget("peer", "pw", "p@example.org"));
        ASSERT_EQ(ParseRegisterAnswer(reply.strBody).strCode, "0");
    }

    CServiceAnswer LogInFrom(const std::string& strAddress, const std::string& strUser = "peer",
                             const std::string& strPassword = "pw") {
        CHttpReply reply =
            HttpGetFrom(strAddress, m_service.Port(), LoginTarget(strUser, strPassword));
        EXPECT_EQ(reply.nStatus, 200);
        CServiceAnswer answer = ParseLoginAnswer(reply.strBody);
        EXPECT_TRUE(answer.bWellFormed) << reply.strBody;
        return answer;
    }

    // The list a log-in from strAddress gets, sorted: its order is random.
    std::vector<std::string> SortedPeersFrom(const std::string& strAddress,
                                             const std::string& strUser = "peer") {
        CServiceAnswer answer = LogInFrom(strAddress, strUser);
        std::sort(answer.arrPeers.begin(), answer.arrPeers.end());
        return answer.arrPeers;
    }

    using Peers = std::vector<std::string>;
    CServiceProcess m_service;
};

INSTANTIATE_TEST_SUITE_P(Stores, ServicePeersTest,
                         ::testing::Values(StoreKind::Sqlite, StoreKind::Postgres), StoreName);

TEST_P(ServicePeersTest, listsOtherRecentAddressesWithoutTheCaller) {
    StartService();
    EXPECT_EQ(SortedPeersFrom("127.0.0.2"), Peers{});
    EXPECT_EQ(SortedPeersFrom("127.0.0.3"), Peers{"127.0.0.2"});

    // Failed log-ins get the list too, and are not added to it.
    CServiceAnswer failed = LogInFrom("127.0.0.4", "peer", "wrong");
    EXPECT_EQ(failed.strCode, "1003");
    std::sort(failed.arrPeers.begin(), failed.arrPeers.end());
    EXPECT_EQ(failed.arrPeers, (Peers{"127.0.0.2", "127.0.0.3"}));
    EXPECT_EQ(SortedPeersFrom("127.0.0.5", "stranger"), (Peers{"127.0.0.2", "127.0.0.3"}));

    // A repeated log-in from an address keeps it listed once.
    EXPECT_EQ(SortedPeersFrom("127.0.0.2"), Peers{"127.0.0.3"});
    EXPECT_EQ(SortedPeersFrom("127.0.0.6", "stranger"), (Peers{"127.0.0.2", "127.0.0.3"}));
    EXPECT_EQ(SortedPeersFrom("127.0.0.3"), Peers{"127.0.0.2"});
}

TEST_P(ServicePeersTest, listsABoundedRandomSampleOfRecentAddresses) {
    StartService();
    // More clients than a list holds, each from its own address, logging in four at once.
    std::vector<std::string> arrClients;
    for (int i = 0; i < 1100; ++i) {
        arrClients.push_back("127.1." + std::to_string(i / 200) + "." +
                             std::to_string(i % 200 + 1));
    }
    std::vector<std::thread> arrThreads;
    for (size_t nThread = 0; nThread < 4; ++nThread) {
        arrThreads.emplace_back([&, nThread] {
            for (size_t i = nThread; i < arrClients.size(); i += 4) {
                EXPECT_EQ(LogInFrom(arrClients[i]).strCode, "0") << arrClients[i];
            }
        });
    }
    for (std::thread& thread : arrThreads) {
        thread.join();
    }
    // Failed log-ins are never listed.
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(LogInFrom("127.2.0." + std::to_string(i), "peer", "wrong").strCode, "1003");
    }

    const std::set<std::string> setClients(arrClients.begin(), arrClients.end());
    const std::string strOwn = arrClients[7];
    std::vector<std::set<std::string>> arrSamples;
    for (int nLogIn = 0; nLogIn < 3; ++nLogIn) {
        Peers peers = LogInFrom(strOwn).arrPeers;
        std::set<std::string> setPeers(peers.begin(), peers.end());
        EXPECT_EQ(peers.size(), 1000u);
        EXPECT_EQ(setPeers.size(), peers.size()) << "an address listed twice";
        EXPECT_EQ(setPeers.count(strOwn), 0u);
        EXPECT_TRUE(
            std::includes(setClients.begin(), setClients.end(), setPeers.begin(), setPeers.end()))
            << "an address that never logged in";
        arrSamples.push_back(setPeers);
    }
    EXPECT_NE(arrSamples[0], arrSamples[1]);
    EXPECT_NE(arrSamples[1], arrSamples[2]);
}

TEST_P(ServicePeersTest, forgetsLogInsOlderThanTheWindow) {
    StartService({"--peer-window", "1"});
    LogInFrom("127.0.0.2");
    EXPECT_EQ(SortedPeersFrom("127.0.0.3", "stranger"), Peers{"127.0.0.2"});
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    EXPECT_EQ(SortedPeersFrom("127.0.0.3", "stranger"), Peers{});
}

// ---------------------------------------------------------------------------------------
// Defaults and hostile input.

class ServiceDefaultsTest : public SharedServiceTest<ServiceDefaultsTest> {
public:
    static std::vector<std::string> Flags(const CServiceProcess&) { return {}; }
};

TEST_F(ServiceDefaultsTest, logInDefaultsPointAtTheHostTheClientUsed) {
    ASSERT_EQ(Register("dflt", "pw").strCode, "0");
    CServiceAnswer answer = LogIn("dflt", "pw", "svc.example.test:9000");
    EXPECT_EQ(answer.strVersionCount, "1");
    EXPECT_EQ(answer.strVersionUrl, "http://svc.example.test:9000/download/");
    EXPECT_EQ(answer.strFirewallRoute, "");

    answer = LogIn("dflt", "pw");
    EXPECT_EQ(answer.strVersionUrl, "http://" + s_pService->HostPort() + "/download/");
    CHttpReply page = HttpGetUrl(answer.strVersionUrl);
    EXPECT_EQ(page.nStatus, 200);
    EXPECT_EQ(page.strContentType, "text/html");

    // A Host header that could smuggle markup into the answer is not used.
    answer = LogIn("dflt", "pw", "evil<x>.example");
    EXPECT_EQ(answer.strVersionUrl, "http://" + s_pService->HostPort() + "/download/");
}

TEST_F(ServiceDefaultsTest, unknownPathsAnswer404AsPlainText) {
    for (const char* szTarget :
         {"/", "/cgi-local/other.pl", "/cgi-local/login2Xpl", "/feeds/", "/feed_list/other.txt",
          "/static/anything.xml", "/articles/riverton-ledger/", "/download/more"}) {
        CHttpReply reply = HttpGet(Port(), szTarget);
        EXPECT_EQ(reply.nStatus, 404) << szTarget;
        EXPECT_EQ(reply.strContentType, "text/plain") << szTarget;
    }
}

TEST_F(ServiceDefaultsTest, hostileRequestsGetAnAnswerAndLeaveTheServiceWorking) {
    const std::string strLong(7000, 'q');
    const std::vector<std::string> arrTargets = {
        "/cgi-local/login2.pl?username=" + strLong + "&password=" + strLong,
        "/cgi-local/register2.pl?username=x&password=" + strLong + "&email=" + strLong,
        "/cgi-local/login2.pl?username=%&password=%zz",
        "/cgi-local/login2.pl?username=%00%01%FF&password=%00",
        "/cgi-local/login2.pl?username=a&username=b&password=&password=x",
        "/cgi-local/register2.pl?username=%0Aname&password=p%0D%0A&email=a%0A%40b.example",
        "/cgi-local/login2.pl?&&&==&",
        "/articles/riverton-ledger/-1.html",
        "/articles/riverton-ledger/1e5.html",
        "/articles/riverton-ledger/99999999999999999999999999.html",
        "/feeds/%2e%2e.xml",
        "/" + std::string(9000, 'p'),
    };
    for (const std::string& strTarget : arrTargets) {
        CHttpReply reply = HttpGet(Port(), strTarget);
        EXPECT_TRUE(reply.nStatus == 200 || (reply.nStatus >= 400 && reply.nStatus < 500))
            << strTarget.substr(0, 80) << " gave " << reply.nStatus;
        if (reply.nStatus == 200 && StartsWith(strTarget, "/cgi-local/login2.pl")) {
            EXPECT_EQ(ParseLoginAnswer(reply.strBody).strCode, "1001") << reply.strBody;
        }
    }
    CHttpReply reply = HttpGet(Port(), "/feed_list/in_feeds.txt");
    EXPECT_EQ(reply.nStatus, 200);
    EXPECT_TRUE(s_pService->IsRunning());
}

// ---------------------------------------------------------------------------------------
// Operation: flags, environment, the request log, stopping.

TEST(ServiceOperation, badFlagsPrintUsageAndExitWithStatus2) {
    const std::vector<std::vector<std::string>> arrCases = {
        {"--bogus"},
        {"--port", "abc"},
        {"--port", "70000"},
        {"--port"},
        {"stray"},
        {"--hash-cost", "max"},
        {"--feed-size", "0"},
        {"--slow-delay", "-1"},
        {"--version-url", "http://x/<y>"},
        {"--help=yes"},
    };
    for (const auto& arrArgs : arrCases) {
        std::string strOut;
        std::string strErr;
        EXPECT_EQ(CServiceProcess::RunToExit(arrArgs, strOut, strErr), 2) << arrArgs[0];
        EXPECT_NE(strErr.find("Usage:"), std::string::npos) << strErr;
        EXPECT_EQ(strOut, "");
    }
    std::string strOut;
    std::string strErr;
    EXPECT_EQ(CServiceProcess::RunToExit({"--help"}, strOut, strErr), 0);
    for (const char* szFlag : {"--port", "--bind", "--db", "--slow-delay", "--static-dir"}) {
        EXPECT_NE(strOut.find(szFlag), std::string::npos) << szFlag;
    }
}

TEST(ServiceOperation, environmentSetsDefaultsAndFlagsOverrideThem) {
    setenv("VOCALON_SVC_VERSION_COUNT", "5", 1);
    setenv("VOCALON_SVC_FIREWALL_ROUTE", "from-env", 1);
    CServiceProcess service;
    bool bStarted = service.Start({"--version-count", "6"});
    unsetenv("VOCALON_SVC_VERSION_COUNT");
    unsetenv("VOCALON_SVC_FIREWALL_ROUTE");
    ASSERT_TRUE(bStarted) << service.StartupLine();
    CServiceAnswer answer =
        ParseLoginAnswer(HttpGet(service.Port(), LoginTarget("x", "y")).strBody);
    EXPECT_EQ(answer.strVersionCount, "6");
    EXPECT_EQ(answer.strFirewallRoute, "from-env");

    setenv("VOCALON_SVC_FEED_SIZE", "many", 1);
    std::string strOut;
    std::string strErr;
    int nExit = CServiceProcess::RunToExit({}, strOut, strErr);
    unsetenv("VOCALON_SVC_FEED_SIZE");
    EXPECT_EQ(nExit, 2);
    EXPECT_NE(strErr.find("VOCALON_SVC_FEED_SIZE"), std::string::npos) << strErr;
}

TEST(ServiceOperation, logsOneLinePerRequestWithoutThePassword) {
    const std::string strPassword = "Zebra&Quartz 9%";
    CServiceProcess service;
    ASSERT_TRUE(service.Start());
    int nPort = service.Port();
    HttpGet(nPort, RegisterTarget("logger", strPassword, "log@example.org"));
    HttpGet(nPort, LoginTarget("logger", strPassword));
    HttpGet(nPort, "/nothing?password=" + UrlEncode(strPassword));
    // Other spellings the server's parser reads as the password key, each logging in.
    for (const char* szKey : {"pass%77ord=", "pass%u0077ord=", "=password=", "\tpassword="}) {
        CHttpReply reply = HttpGet(nPort, std::string("/cgi-local/login2.pl?username=logger&") +
                                              szKey + UrlEncode(strPassword));
        EXPECT_EQ(ParseLoginAnswer(reply.strBody).strCode, "0") << szKey;
    }
    HttpGet(nPort, "/feed_list/in_feeds.txt");
    ASSERT_EQ(service.Stop(SIGTERM), 0);

    std::string strLog = service.LogText();
    for (const std::string& strSecret :
         {strPassword, UrlEncode(strPassword), std::string("Zebra"), std::string("Quartz")}) {
        EXPECT_EQ(strLog.find(strSecret), std::string::npos) << strSecret << " in\n" << strLog;
    }
    // "2024-05-01T12:00:00Z 127.0.0.1 GET /target 200"; other lines are not requests.
    std::vector<std::string> arrRequests;
    for (const std::string& strLine : Lines(strLog)) {
        std::vector<std::string> arrFields;
        size_t nStart = 0;
        for (size_t nSpace; (nSpace = strLine.find(' ', nStart)) != std::string::npos;
             nStart = nSpace + 1) {
            arrFields.push_back(strLine.substr(nStart, nSpace - nStart));
        }
        arrFields.push_back(strLine.substr(nStart));
        std::tm tmTime{};
        const char* pEnd = strptime(arrFields[0].c_str(), "%Y-%m-%dT%H:%M:%SZ", &tmTime);
        if (pEnd == nullptr || *pEnd != '\0') {
            continue;
        }
        ASSERT_EQ(arrFields.size(), 5u) << strLine;
        EXPECT_EQ(arrFields[1], "127.0.0.1") << strLine;
        EXPECT_EQ(arrFields[2], "GET") << strLine;
        arrRequests.push_back(arrFields[3] + " " + arrFields[4]);
    }
    // Each line is written after its answer, so the order may differ from the requests'.
    std::sort(arrRequests.begin(), arrRequests.end());
    const std::string strLogin = "/cgi-local/login2.pl?password=***&username=logger 200";
    EXPECT_EQ(
        arrRequests,
        (std::vector<std::string>{
            strLogin, strLogin, strLogin, strLogin, strLogin,
            "/cgi-local/register2.pl?email=log%40example.org&password=***&username=logger 200",
            "/feed_list/in_feeds.txt 200", "/nothing?password=*** 404"}))
        << strLog;
}

TEST(ServiceOperation, stopsPromptlyOnSignalsEvenWithASlowFeedPending) {
    CServiceProcess service;
    ASSERT_TRUE(service.Start({"--slow-delay", "60"}));
    int nPort = service.Port();
    auto pending =
        std::async(std::launch::async, [nPort] { return HttpGet(nPort, "/feeds/slow.xml"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(service.Stop(SIGINT), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_NE(pending.get().nStatus, 200);

    CServiceProcess second;
    ASSERT_TRUE(second.Start());
    EXPECT_EQ(second.Stop(SIGTERM), 0);
}

TEST(ServiceOperation, clientsThatSendTheirHeadsSlowlyDoNotHoldUpOthers) {
    CServiceProcess service;
    ASSERT_TRUE(service.Start());
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(service.Port()));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // Forty clients, more than the service has workers, each sending a header line a
    // second and never ending the head. Connecting may take a while, so those already
    // connected are fed meanwhile.
    std::mutex fdMutex;
    std::vector<int> arrFds;
    std::atomic<bool> bDone{false};
    std::thread slowClients([&] {
        for (int nTick = 0; nTick < 200 && !bDone; ++nTick) {
            if (nTick % 20 == 0) {
                std::lock_guard<std::mutex> lock(fdMutex);
                for (int fd : arrFds) {
                    send(fd, "X-Slow: 1\r\n", 11, MSG_NOSIGNAL);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    for (int i = 0; i < 40; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        std::lock_guard<std::mutex> lock(fdMutex);
        send(fd, "GET / HTTP/1.1\r\n", 16, MSG_NOSIGNAL);
        arrFds.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    auto start = std::chrono::steady_clock::now();
    CHttpReply reply = HttpGet(service.Port(), "/feed_list/in_feeds.txt");
    auto elapsed = std::chrono::steady_clock::now() - start;
    bDone = true;
    slowClients.join();
    for (int fd : arrFds) {
        close(fd);
    }
    EXPECT_EQ(reply.nStatus, 200);
    EXPECT_LT(elapsed, std::chrono::seconds(3));
}

TEST(ServiceOperation, refusesToStartWithoutItsFiles) {
    CServiceProcess service;
    EXPECT_FALSE(service.Start({"--catalogue", service.Path("missing.txt")}));
    CServiceProcess other;
    EXPECT_FALSE(other.Start({"--static-dir", other.Path("missing-dir")}));
    CServiceProcess third;
    EXPECT_FALSE(third.Start({"--db", third.Path("no/such/dir/accounts.db")}));
    // A PostgreSQL server that is not there; the reason is logged, the password is not.
    CServiceProcess fourth;
    EXPECT_FALSE(fourth.Start(
        {"--db", "postgresql://someone:Secret-Pw@/accounts?host=" + fourth.Path("no-server")}));
    EXPECT_NE(fourth.LogText().find("PostgreSQL connection"), std::string::npos)
        << fourth.LogText();
    EXPECT_EQ(fourth.LogText().find("Secret-Pw"), std::string::npos) << fourth.LogText();
}

}  // namespace
