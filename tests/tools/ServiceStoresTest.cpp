// Several service processes on one database, on each store: they must serve one set of
// accounts and hand out the same peers, as when the service runs on more than one machine.

#include "ServiceFixture.h"
#include "ServiceStoreFixture.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <future>
#include <string>
#include <vector>

namespace {

class ServiceSharedStoreTest : public StoreTest {
protected:
    static std::string Register(const CServiceProcess& service, const std::string& strUser,
                                const std::string& strPassword) {
        CHttpReply reply =
            HttpGet(service.Port(), RegisterTarget(strUser, strPassword, "s@example.org"));
        return ParseRegisterAnswer(reply.strBody).strCode;
    }

    static CServiceAnswer LogInFrom(const CServiceProcess& service, const std::string& strAddress,
                                    const std::string& strUser, const std::string& strPassword) {
        CHttpReply reply =
            HttpGetFrom(strAddress, service.Port(), LoginTarget(strUser, strPassword));
        CServiceAnswer answer = ParseLoginAnswer(reply.strBody);
        EXPECT_TRUE(answer.bWellFormed) << reply.strBody;
        std::sort(answer.arrPeers.begin(), answer.arrPeers.end());
        return answer;
    }
};

INSTANTIATE_TEST_SUITE_P(Stores, ServiceSharedStoreTest,
                         ::testing::Values(StoreKind::Sqlite, StoreKind::Postgres), StoreName);

TEST_P(ServiceSharedStoreTest, twoServicesOnOneDatabaseServeTheSameAccountsAndPeers) {
    // Both start at the same moment on a database neither has seen: both create the tables.
    std::array<CServiceProcess, 2> services;
    const std::string strDatabase = NewDatabase(services[0]);
    for (CServiceProcess& service : services) {
        ASSERT_TRUE(service.Launch({"--db", strDatabase}));
    }
    for (CServiceProcess& service : services) {
        ASSERT_TRUE(service.AwaitStartup()) << service.LogText();
    }
    CServiceProcess& a = services[0];
    CServiceProcess& b = services[1];
    using Peers = std::vector<std::string>;

    // A sign-up on one, a log-in on the other.
    ASSERT_EQ(Register(a, "Ada", "first-pw"), "0");
    EXPECT_EQ(LogInFrom(b, "127.0.0.2", "ada", "first-pw").strCode, "0");
    EXPECT_EQ(LogInFrom(b, "127.0.0.9", "ada", "other-pw").strCode, "1003");
    EXPECT_EQ(LogInFrom(a, "127.0.0.9", "bob", "first-pw").strCode, "1001");
    EXPECT_EQ(Register(b, "ADA", "other-pw"), "1002");

    // A client logged in through one is listed by the other, whichever it asks.
    EXPECT_EQ(LogInFrom(a, "127.0.0.3", "ada", "first-pw").arrPeers, Peers{"127.0.0.2"});
    EXPECT_EQ(LogInFrom(b, "127.0.0.4", "ada", "first-pw").arrPeers,
              (Peers{"127.0.0.2", "127.0.0.3"}));
    EXPECT_EQ(LogInFrom(a, "127.0.0.9", "ada", "wrong").arrPeers,
              (Peers{"127.0.0.2", "127.0.0.3", "127.0.0.4"}));

    // One name signed up on both at once: exactly one wins, and its password is the one
    // both accept.
    for (int nRace = 0; nRace < 8; ++nRace) {
        const std::string strUser = "race" + std::to_string(nRace);
        auto futureA = std::async(std::launch::async, [&] { return Register(a, strUser, "pw-a"); });
        auto futureB = std::async(std::launch::async, [&] { return Register(b, strUser, "pw-b"); });
        std::array<std::string, 2> arrCodes = {futureA.get(), futureB.get()};
        ASSERT_TRUE((arrCodes == std::array<std::string, 2>{"0", "1002"}) ||
                    (arrCodes == std::array<std::string, 2>{"1002", "0"}))
            << strUser << ": " << arrCodes[0] << " " << arrCodes[1];
        const std::string strWinner = arrCodes[0] == "0" ? "pw-a" : "pw-b";
        const std::string strLoser = arrCodes[0] == "0" ? "pw-b" : "pw-a";
        for (const CServiceProcess* pService : {&a, &b}) {
            EXPECT_EQ(LogInFrom(*pService, "127.0.0.9", strUser, strWinner).strCode, "0");
            EXPECT_EQ(LogInFrom(*pService, "127.0.0.9", strUser, strLoser).strCode, "1003");
        }
    }
}

class ServiceDatabaseRestartTest : public ServiceSharedStoreTest {};

INSTANTIATE_TEST_SUITE_P(Stores, ServiceDatabaseRestartTest, ::testing::Values(StoreKind::Postgres),
                         StoreName);

TEST_P(ServiceDatabaseRestartTest, answers500WhileTheDatabaseIsDownAndRecoversAtOnce) {
    CServiceProcess service;
    ASSERT_TRUE(service.Start({"--db", NewDatabase(service)})) << service.LogText();
    ASSERT_EQ(Register(service, "kai", "pw"), "0");
    EXPECT_EQ(LogInFrom(service, "127.0.0.2", "kai", "pw").strCode, "0");

    // A restart between two requests: the first request after it already works, although
    // the connections it finds are dead.
    ASSERT_TRUE(s_pCluster->Stop());
    ASSERT_TRUE(s_pCluster->Start()) << s_pCluster->Error();
    CServiceAnswer answer = LogInFrom(service, "127.0.0.3", "kai", "pw");
    EXPECT_EQ(answer.strCode, "0");
    EXPECT_EQ(answer.arrPeers, std::vector<std::string>{"127.0.0.2"});

    ASSERT_TRUE(s_pCluster->Stop());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(HttpGet(service.Port(), LoginTarget("kai", "pw")).nStatus, 500);
    EXPECT_EQ(HttpGet(service.Port(), RegisterTarget("kim", "pw", "s@example.org")).nStatus, 500);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    ASSERT_TRUE(s_pCluster->Start()) << s_pCluster->Error();
    EXPECT_EQ(Register(service, "kim", "pw"), "0");
    EXPECT_EQ(LogInFrom(service, "127.0.0.4", "kim", "pw").strCode, "0");
}

}  // namespace
