// Connections that come back: the server list, the pauses, silence, TLS and linked
// servers, against real InspIRCd servers on loopback.

#include "chat/CChatRoom.h"
#include "chat/CIrcClient.h"
#include "chat/IrcCommands.h"
#include "platform/Profile.h"
#include "tests/support/CIrcServer.h"
#include "tests/support/CLinkedIrcServers.h"
#include "tests/support/CPaneRoom.h"
#include "tests/support/CRawIrcLine.h"
#include "tests/support/TestSupport.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

using testing_support::CIrcServer;
using testing_support::CLinkedIrcServers;
using testing_support::CPaneRoom;
using testing_support::CRawIrcLine;
using testing_support::CScopedEnv;
using testing_support::CTestCa;
using testing_support::PumpEvents;
using testing_support::UnusedPort;
using testing_support::WaitFor;
using namespace std::chrono_literals;

namespace {

// Pauses and silences short enough for a test.
CIrcTimings Fast() {
    CIrcTimings timings;
    timings.firstPause = 50ms;
    timings.longestPause = 400ms;
    timings.silence = 300ms;
    timings.pingGrace = 300ms;
    return timings;
}

std::unique_ptr<CIrcClient> Client(const std::string& strNick, CPaneRoom& room) {
    auto pClient = std::make_unique<CIrcClient>();
    pClient->SetNick(strNick);
    pClient->SetTimings(Fast());
    pClient->Rooms().AddRoom(&room);
    return pClient;
}

// Opens the room the way a chat window does: connect, then join with its topic.
void Open(CIrcClient& client, CPaneRoom& room, const std::string& strTopic = {}) {
    client.Connect();
    room.Join(room.Channel(), strTopic);
}

bool Register(CRawIrcLine& client, const std::string& strNick) {
    return client.Send("NICK " + strNick) && client.Send("USER " + strNick + " 8 * :x") &&
           client.WaitFor(" 001 " + strNick + " ", 10s);
}

}  // namespace

TEST(IrcServers, listsReadInOrderWithDefaultPortsAndBadEntriesSkipped) {
    using R = std::vector<CIrcRoute>;
    const struct {
        const char* pszList;
        R expected;
    } cases[] = {
        {"irc.example", R{{"irc.example", 6667, false}}},
        {" a.example:7000 , 10.0.0.2,b_c-d.example:1",
         R{{"a.example", 7000, false}, {"10.0.0.2", 6667, false}, {"b_c-d.example", 1, false}}},
        {"a:0,b:65536,c:x,:7000,d e,f\r\n: QUIT,,g:", R{}},
        {"", R{}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseIrcServers(c.pszList, 6667, false), c.expected) << c.pszList;
    }
    EXPECT_EQ(ParseIrcServers("a,b:1", 6697, true), (R{{"a", 6697, true}, {"b", 1, true}}));
    std::string strMany;
    for (int i = 0; i < 100; ++i) {
        strMany += "h" + std::to_string(i) + ",";
    }
    EXPECT_EQ(ParseIrcServers(strMany, 6667, false).size(), MAX_IRC_SERVERS);
}

TEST(IrcServers, environmentOverSettingsOverTheBuiltInServerAndTlsTakesItsPort) {
    testing_support::CCleanProfile profile;
    unsetenv("VOCALON_IRC_HOST");
    unsetenv("VOCALON_IRC_PORT");
    unsetenv("VOCALON_IRC_TLS");
    EXPECT_EQ(DefaultIrcRoutes(), (std::vector<CIrcRoute>{{"irc.vocalon.net", 6667, false}}));
    WriteProfileString("Prefs", "irc_servers", "one.example,two.example:7000");
    WriteProfileInt("Prefs-kim", "irc_tls", 1);
    EXPECT_EQ(DefaultIrcRoutes("Prefs-kim"),
              (std::vector<CIrcRoute>{{"one.example", 6697, true}, {"two.example", 7000, true}}));
    WriteProfileInt("Prefs-kim", "irc_tls_port", 7070);
    EXPECT_EQ(DefaultIrcRoutes("Prefs-kim").front().nPort, 7070u);
    EXPECT_FALSE(DefaultIrcRoutes().front().bTls);  // another user's setting
    {
        CScopedEnv host("VOCALON_IRC_HOST", "127.0.0.1,localhost:9");
        CScopedEnv port("VOCALON_IRC_PORT", "16667");
        CScopedEnv tls("VOCALON_IRC_TLS", "0");
        EXPECT_EQ(DefaultIrcRoutes("Prefs-kim"),
                  (std::vector<CIrcRoute>{{"127.0.0.1", 16667, false}, {"localhost", 9, false}}));
    }
}

TEST(RetryPause, doublesFromTheFirstToTheLongestWithinItsQuarterAndStartsOver) {
    CRetryPause pause(2s, 120s);
    const long long expected[] = {2000, 4000, 8000, 16000, 32000, 64000, 120000, 120000};
    for (long long nStep : expected) {
        EXPECT_EQ(pause.Step().count(), nStep);
        const auto next = pause.Next(0.999).count();
        EXPECT_GE(next, nStep * 3 / 4);
        EXPECT_LE(next, nStep);
    }
    EXPECT_EQ(pause.Next(0).count(), 120000);
    EXPECT_EQ(pause.Next(5.0).count(), 90000);  // clamped to the quarter
    pause.Reset();
    EXPECT_EQ(pause.Next(0).count(), 2000);
}

class IrcConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Running()) << m_server.Log(); }

    testing_support::CCleanProfile m_profile;
    CIrcServer m_server;
    CScopedEnv m_host{"VOCALON_IRC_HOST", m_server.Host()};
    CScopedEnv m_port{"VOCALON_IRC_PORT", std::to_string(m_server.Port())};
};

TEST_F(IrcConnectionTest, aLostConnectionComesBackByItselfAndRejoinsWithTheWaitingTopic) {
    CPaneRoom room("#chan");
    auto pKim = Client("kim0", room);
    // Opened before the connection is up: the room says so, and the welcome's rejoin sets
    // the topic it was opened with.
    Open(*pKim, room, "Markets rally");
    EXPECT_TRUE(room.Shows("Not connected to the chat server yet"));
    ASSERT_TRUE(WaitFor([&] { return room.Shows("Successful join!"); })) << room.m_strPane;
    EXPECT_TRUE(WaitFor([&] { return room.Topic() == "Markets rally"; })) << room.m_strPane;

    for (int nSignal : {SIGKILL, SIGTERM}) {
        SCOPED_TRACE(nSignal);
        room.m_strPane.clear();
        ASSERT_TRUE(m_server.Restart(nSignal)) << m_server.Log();
        EXPECT_TRUE(WaitFor([&] { return room.Shows("Successful join!"); })) << room.m_strPane;
        EXPECT_TRUE(room.Shows("Server disconnected you: "));
        EXPECT_TRUE(room.Shows("Reconnecting in "));
        EXPECT_TRUE(room.ControlsEnabled());
    }
    // The topic went with the first join only: the restarted server's channel has none.
    CRawIrcLine raw(m_server.Host(), m_server.Port());
    ASSERT_TRUE(Register(raw, "ann1"));
    ASSERT_TRUE(raw.Send("JOIN #chan marigold") && raw.WaitFor(" 366 ann1 ")) << raw.Transcript();
    EXPECT_EQ(raw.Transcript().find(" 332 "), std::string::npos) << raw.Transcript();
}

TEST_F(IrcConnectionTest, aRoomOpenedWhileTheServerIsDownSaysSoAndJoinsOnceItIsBack) {
    CPaneRoom room("#down");
    auto pKim = Client("kim0", room);
    m_server.Stop();
    Open(*pKim, room);
    EXPECT_TRUE(room.Shows("Not connected to the chat server yet"));
    ASSERT_TRUE(WaitFor([&] { return room.Count("Reconnecting in ") >= 3; })) << room.m_strPane;
    EXPECT_TRUE(room.Shows("Could not connect to 127.0.0.1:" + std::to_string(m_server.Port()) +
                           ": Connection refused"));
    EXPECT_EQ(pKim->State(), CIrcClient::EState::Waiting);
    ASSERT_TRUE(m_server.Start()) << m_server.Log();
    EXPECT_TRUE(WaitFor([&] { return room.Shows("Successful join!"); })) << room.m_strPane;
}

TEST_F(IrcConnectionTest, aClosedClientOrOneWithReconnectionOffStaysAway) {
    CPaneRoom room("#chan"), other("#chan");
    auto pClosed = Client("kim0", room);
    auto pOff = Client("ann0", other);
    WriteProfileInt("Prefs-ann", "irc_reconnect", 0);
    pOff->SetSection("Prefs-ann");
    Open(*pClosed, room);
    Open(*pOff, other);
    ASSERT_TRUE(WaitFor([&] { return pClosed->IsReady() && pOff->IsReady(); }));
    pClosed->Close();
    ASSERT_TRUE(m_server.Restart(SIGKILL)) << m_server.Log();
    ASSERT_TRUE(WaitFor([&] { return other.Shows("Server disconnected you: "); }));
    PumpEvents(1s);
    for (CIrcClient* pClient : {pClosed.get(), pOff.get()}) {
        EXPECT_EQ(pClient->State(), CIrcClient::EState::Closed);
        EXPECT_FALSE(pClient->Socket().IsOpen());
    }
    EXPECT_FALSE(other.Shows("Reconnecting"));
    // The next join connects again, as before.
    Open(*pOff, other);
    EXPECT_TRUE(WaitFor([&] { return other.Shows("Successful join!"); }));
}

TEST_F(IrcConnectionTest, aRefusingServerGivesWayToTheNextOfTheList) {
    CScopedEnv host("VOCALON_IRC_HOST",
                    "127.0.0.1:" + std::to_string(UnusedPort()) + "," + m_server.HostPort());
    CPaneRoom room("#chan");
    auto pKim = Client("kim0", room);
    Open(*pKim, room);
    ASSERT_TRUE(WaitFor([&] { return room.Shows("Successful join!"); })) << room.m_strPane;
    EXPECT_TRUE(room.Shows("Connection refused"));
    EXPECT_EQ(pKim->Route().nPort, static_cast<unsigned>(m_server.Port()));
}

TEST(IrcSilence, aSilentServerIsPingedThenGivenUpAndTheConnectDeadlineHolds) {
    testing_support::CCleanProfile profile;
    EXPECT_EQ(CIrcTimings().connectDeadline, CAsyncSocket::CONNECT_DEADLINE);
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    CScopedEnv host("VOCALON_IRC_HOST", "127.0.0.1");
    CScopedEnv port("VOCALON_IRC_PORT", std::to_string(server.serverPort()));
    std::string strHeard;
    QTcpSocket* pServed = nullptr;
    int nPings = 0;
    bool bAnswer = true;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        pServed = server.nextPendingConnection();
        QObject::connect(pServed, &QTcpSocket::readyRead, [&, pSocket = pServed] {
            const std::string strNew = pSocket->readAll().toStdString();
            strHeard += strNew;
            if (strNew.find("USER") != std::string::npos) {
                pSocket->write(":s 001 kim0 :hi\r\n");
            }
            if (strNew.find(": PING :vocalon\n") != std::string::npos) {
                ++nPings;
                if (bAnswer) {
                    pSocket->write(":s PONG s :vocalon\r\n");
                }
            }
        });
    });
    CPaneRoom room("#chan");
    auto pKim = Client("kim0", room);
    Open(*pKim, room);
    ASSERT_TRUE(WaitFor([&] { return pKim->IsReady(); }));
    // Answered pings keep it; each silence brings one.
    ASSERT_TRUE(WaitFor([&] { return nPings >= 2; }, 5s)) << strHeard;
    EXPECT_TRUE(pKim->IsReady());
    bAnswer = false;
    EXPECT_TRUE(WaitFor([&] {
        return room.Shows("Server disconnected you: the server stopped answering");
    })) << room.m_strPane;
    EXPECT_TRUE(room.Shows("Reconnecting in "));

    // A server that never answers the connect: the attempt ends at its deadline.
    const testing_support::CSilentAddress silent;
    CScopedEnv silentPort("VOCALON_IRC_PORT", std::to_string(silent.Port()));
    CIrcTimings timings = Fast();
    timings.connectDeadline = 300ms;
    pKim->SetTimings(timings);
    room.m_strPane.clear();
    ASSERT_TRUE(WaitFor([&] { return room.Shows("no answer within 1 s"); }, 5s)) << room.m_strPane;
}

TEST(IrcTls, aVerifiedServerChatsAndAWrongNameOrUnknownCaIsRefusedWithTheReason) {
    testing_support::CCleanProfile profile;
    const CTestCa& ca = CTestCa::Get();
    ASSERT_TRUE(ca.Made());
    CIrcServer::COptions good, wrongName;
    good.strCertFile = ca.File("server.pem");
    good.strKeyFile = ca.File("server.key");
    wrongName.strCertFile = ca.File("other-host.pem");
    wrongName.strKeyFile = ca.File("other-host.key");
    CIrcServer server(good), wrong(wrongName);
    ASSERT_TRUE(server.Running() && wrong.Running()) << server.Log() << wrong.Log();
    CScopedEnv tls("VOCALON_IRC_TLS", "1");

    {
        CScopedEnv caFile("VOCALON_EXTRA_CA_FILE", ca.File("ca.pem"));
        CScopedEnv host("VOCALON_IRC_HOST", "localhost:" + std::to_string(server.TlsPort()));
        CPaneRoom kimRoom("#chan"), annRoom("#chan");
        auto pKim = Client("kim0", kimRoom);
        auto pAnn = Client("ann0", annRoom);
        Open(*pKim, kimRoom);
        Open(*pAnn, annRoom);
        ASSERT_TRUE(WaitFor([&] {
            return kimRoom.Shows("Successful join!") && annRoom.Shows("Successful join!");
        })) << kimRoom.m_strPane
            << server.Log();
        // Longer than the TLS socket's buffers, so the rest waits for room and arrives.
        const std::string strLong(300, 'x');
        for (int i = 0; i < 400; ++i) {
            for (const std::string& strLine : PrivmsgLines("#chan", strLong + std::to_string(i))) {
                pKim->Send(strLine);
            }
        }
        EXPECT_TRUE(WaitFor([&] { return annRoom.Shows("kim: " + strLong + "399\r\n"); }))
            << annRoom.m_strPane.size();
        EXPECT_TRUE(pKim->Socket().UsesTls());
    }

    const struct {
        const char* pszCase;
        CIrcServer* pServer;
        bool bTrustCa;
        const char* pszWhy;
    } refusals[] = {
        {"wrong host name", &wrong, true, "host name"},
        {"unknown CA", &server, false, "issuer"},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.pszCase);
        CScopedEnv caFile("VOCALON_EXTRA_CA_FILE", refusal.bTrustCa ? ca.File("ca.pem") : "");
        CScopedEnv host("VOCALON_IRC_HOST",
                        "localhost:" + std::to_string(refusal.pServer->TlsPort()));
        CPaneRoom room("#chan");
        auto pKim = Client("kim0", room);
        Open(*pKim, room);
        ASSERT_TRUE(WaitFor([&] { return room.Shows("certificate was refused"); }))
            << room.m_strPane;
        EXPECT_TRUE(room.Shows(refusal.pszWhy)) << room.m_strPane;
        // Never plain text instead.
        PumpEvents(300ms);
        EXPECT_FALSE(pKim->IsConnected());
        EXPECT_FALSE(room.Shows("Successful join!"));
    }
}

TEST(IrcLinked, clientsOfEitherServerMeetAndALostServersClientsComeBackThroughTheOther) {
    testing_support::CCleanProfile profile;
    CLinkedIrcServers servers;
    ASSERT_TRUE(servers.Linked()) << servers.Log();
    CPaneRoom kimRoom("#chan"), annRoom("#chan");
    std::unique_ptr<CIrcClient> pKim, pAnn;
    {
        CScopedEnv host("VOCALON_IRC_HOST", servers[0].HostPort() + "," + servers[1].HostPort());
        pKim = Client("kim0", kimRoom);
        Open(*pKim, kimRoom, "Linked topic");
        ASSERT_TRUE(WaitFor([&] { return kimRoom.Shows("Successful join!"); })) << servers.Log();
    }
    CScopedEnv host("VOCALON_IRC_HOST", servers[1].HostPort() + "," + servers[0].HostPort());
    pAnn = Client("ann0", annRoom);
    Open(*pAnn, annRoom);
    ASSERT_TRUE(WaitFor([&] { return annRoom.Shows("Successful join!"); })) << servers.Log();
    EXPECT_TRUE(WaitFor([&] { return kimRoom.Shows("ann joined."); }));
    // In the order the server names them, which a linked server does not fix.
    std::vector<std::string> users = annRoom.Users();
    std::sort(users.begin(), users.end());
    EXPECT_EQ(users, (std::vector<std::string>{"ann", "kim"}));
    EXPECT_EQ(annRoom.Topic(), "Linked topic");
    pKim->Send(": PRIVMSG #chan :across the link");
    EXPECT_TRUE(WaitFor([&] { return annRoom.Shows("kim: across the link"); }));

    // The key and the secret mode set on the first hold on the second.
    CRawIrcLine raw(servers[1].Host(), servers[1].Port());
    ASSERT_TRUE(Register(raw, "zed"));
    ASSERT_TRUE(raw.Send("JOIN #chan"));
    EXPECT_TRUE(raw.WaitFor(" 475 zed #chan ")) << raw.Transcript();
    ASSERT_TRUE(raw.Send("LIST"));
    ASSERT_TRUE(raw.WaitFor(" 323 zed ")) << raw.Transcript();
    EXPECT_EQ(raw.Transcript().find(" 322 zed #chan "), std::string::npos) << raw.Transcript();

    // The first server dies: its client comes back through the second, its room rejoined.
    kimRoom.m_strPane.clear();
    servers[0].Stop(SIGKILL);
    ASSERT_TRUE(WaitFor([&] { return kimRoom.Shows("Successful join!"); }, 15s))
        << kimRoom.m_strPane;
    EXPECT_EQ(pKim->Route().nPort, static_cast<unsigned>(servers[1].Port()));
    EXPECT_TRUE(kimRoom.Shows("Server disconnected you: "));
    pAnn->Send(": PRIVMSG #chan :still here");
    EXPECT_TRUE(WaitFor([&] { return kimRoom.Shows("ann: still here"); }));
}
