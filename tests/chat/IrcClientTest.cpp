#include "chat/CChatDlg.h"
#include "chat/CChatRoom.h"
#include "chat/CIrcClient.h"
#include "chat/IrcCommands.h"
#include "tests/support/CIrcServer.h"
#include "tests/support/CPaneRoom.h"
#include "tests/support/TestSupport.h"

#include <QHostAddress>
#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <memory>
#include <string>

using testing_support::CBlackHole;
using testing_support::CIrcServer;
using testing_support::CPaneRoom;
using testing_support::CScopedEnv;
using testing_support::WaitFor;

namespace {

// Two clients of a real InspIRCd, each with a room; they connect the way the login window
// connects its clients.
class IrcClientTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Running()) << m_server.Log(); }

    // A client with one room in #chan, joined and confirmed by its JOIN echo.
    std::unique_ptr<CIrcClient> Joined(const std::string& strNick, CPaneRoom& room) {
        auto pClient = std::make_unique<CIrcClient>();
        pClient->SetNick(strNick);
        pClient->Rooms().AddRoom(&room);
        pClient->Connect();
        EXPECT_TRUE(WaitFor([&] { return room.Shows("Successful join!"); })) << m_server.Log();
        return pClient;
    }

    CIrcServer m_server;
    CScopedEnv m_host{"VOCALON_IRC_HOST", m_server.Host()};
    CScopedEnv m_port{"VOCALON_IRC_PORT", std::to_string(m_server.Port())};
    testing_support::CCleanProfile m_profile;
};

}  // namespace

TEST_F(IrcClientTest, twoUsersAndAGuestMeetAndTalkInAKeyedChannel) {
    CPaneRoom kimRoom("#chan"), annRoom("#chan"), guestRoom("#chan");
    auto pKim = Joined("kim0", kimRoom);
    auto pAnn = Joined("ann0", annRoom);
    auto pGuest = Joined("guest", guestRoom);
    ASSERT_TRUE(WaitFor([&] { return kimRoom.Users().size() == 2 && kimRoom.GuestCount() == 1; }));
    EXPECT_EQ(kimRoom.Users(), (std::vector<std::string>{"kim", "ann"}));
    EXPECT_EQ(annRoom.Users(), (std::vector<std::string>{"kim", "ann"}));
    EXPECT_EQ(guestRoom.GuestCount(), 1);
    EXPECT_TRUE(kimRoom.Shows("ann joined."));

    for (const std::string& strLine : PrivmsgLines("#chan", "hello ann, PING me")) {
        pKim->Send(strLine);
    }
    pAnn->Send(": PRIVMSG #chan :hi kim");
    EXPECT_TRUE(WaitFor([&] { return annRoom.Shows("kim: hello ann, PING me\r\n"); }));
    EXPECT_TRUE(WaitFor([&] { return kimRoom.Shows("ann: hi kim\r\n"); }));
    EXPECT_TRUE(WaitFor([&] { return guestRoom.Shows("kim: hello ann, PING me\r\n"); }));

    pAnn->Send(": PART #chan");
    EXPECT_TRUE(WaitFor([&] { return kimRoom.Shows("ann left."); }));
    EXPECT_EQ(kimRoom.Users(), (std::vector<std::string>{"kim"}));
}

TEST_F(IrcClientTest, aWindowsActionsTopicsAndCommandsReachTheRoomAsMeant) {
    CScopedEnv noEngine("VOCALON_NO_WEBENGINE", "1");
    // kim opens the channel, so the server lets kim set its topic.
    CIrcClient kim;
    kim.SetNick("kim0");
    auto pDlg = std::make_unique<CChatDlg>(&kim, "#chan", "");
    kim.Rooms().AddRoom(pDlg.get());
    kim.Connect();
    ASSERT_TRUE(WaitFor([&] { return pDlg->PaneText().contains("Successful join!"); }))
        << m_server.Log();
    CPaneRoom annRoom("#chan");
    auto pAnn = Joined("ann0", annRoom);
    auto type = [&](const char* pszLine) {
        pDlg->findChild<QLineEdit*>("input")->setText(pszLine);
        pDlg->OnSend();
    };

    type("/me waves");
    EXPECT_TRUE(WaitFor([&] { return annRoom.Shows("* kim waves\r\n"); })) << annRoom.m_strPane;
    for (const std::string& strLine : ActionLines("#chan", "dances")) {
        pAnn->Send(strLine);
    }
    EXPECT_TRUE(WaitFor([&] { return pDlg->PaneText().contains("* ann dances\n"); }));

    type("/topic Fresh  bread");
    EXPECT_TRUE(WaitFor([&] { return annRoom.Topic() == "Fresh  bread"; })) << annRoom.Topic();
    EXPECT_TRUE(WaitFor([&] { return pDlg->windowTitle() == "Fresh  bread"; }));

    // An unknown command goes nowhere; "//" sends a message that starts with "/".
    type("/part #chan");
    type("//slash");
    EXPECT_TRUE(WaitFor([&] { return annRoom.Shows("kim: /slash\r\n"); })) << annRoom.m_strPane;
    EXPECT_FALSE(annRoom.Shows("part"));
    EXPECT_FALSE(annRoom.Shows("kim left."));
}

TEST_F(IrcClientTest, takenNicknameMovesToTheNextAndAServerRestartIsShownThenRejoined) {
    CPaneRoom firstRoom("#chan"), secondRoom("#chan");
    auto pFirst = Joined("kim0", firstRoom);
    auto pSecond = Joined("kim0", secondRoom);
    EXPECT_EQ(pSecond->GetNick(), "kim1");

    ASSERT_TRUE(m_server.Restart()) << m_server.Log();
    EXPECT_TRUE(WaitFor([&] { return firstRoom.Shows("Server disconnected you: "); }));
    EXPECT_FALSE(firstRoom.ControlsEnabled());
    firstRoom.m_strPane.clear();
    pFirst->Connect();
    EXPECT_TRUE(WaitFor([&] { return firstRoom.Shows("Successful join!"); })) << m_server.Log();
    EXPECT_TRUE(firstRoom.ControlsEnabled());
}

TEST_F(IrcClientTest, killedServerIsShownInEveryRoomAndALaterJoinWorks) {
    CPaneRoom room("#chan"), other("#other");
    auto pKim = Joined("kim0", room);
    pKim->Rooms().AddRoom(&other);
    other.Join("#other", "");
    ASSERT_TRUE(WaitFor([&] { return other.Shows("Successful join!"); })) << m_server.Log();

    // Killed, the server says nothing: only the closed connection tells.
    ASSERT_TRUE(m_server.Restart(SIGKILL)) << m_server.Log();
    for (CPaneRoom* pRoom : {&room, &other}) {
        EXPECT_TRUE(WaitFor([&] {
            return pRoom->Shows("Server disconnected you: connection closed by the server");
        })) << pRoom->m_strPane;
        EXPECT_FALSE(pRoom->ControlsEnabled());
        pRoom->m_strPane.clear();
    }
    // A room opened later connects again; the earlier rooms rejoin with it.
    CPaneRoom later("#later");
    pKim->Rooms().AddRoom(&later);
    pKim->Connect();
    later.Join("#later", "");
    for (CPaneRoom* pRoom : {&room, &other, &later}) {
        EXPECT_TRUE(WaitFor([&] { return pRoom->Shows("Successful join!"); }))
            << pRoom->Channel() << ": " << pRoom->m_strPane << m_server.Log();
        EXPECT_TRUE(pRoom->ControlsEnabled());
    }
}

TEST(IrcSocket, connectionIsGivenUpOnceMoreThanTheQueueCapWaitsUnsent) {
    testing_support::CCleanProfile profile;
    CBlackHole server;  // completes the handshake, never reads
    CScopedEnv host("VOCALON_IRC_HOST", "127.0.0.1");
    CScopedEnv port("VOCALON_IRC_PORT", std::to_string(server.Port()));
    CPaneRoom room("#chan");
    CIrcClient client;
    client.SetNick("kim0");
    client.Rooms().AddRoom(&room);
    client.Connect();
    ASSERT_TRUE(WaitFor([&] { return client.IsConnected(); }));

    // The kernel's buffers take a few MiB first; the cap counts only what waits after them.
    const std::string strLine = ": PRIVMSG #chan :" + std::string(400, 'x');
    size_t nSent = 0;
    while (client.IsConnected() && nSent < 64 * CIrcSocket::MAX_SEND_QUEUE) {
        client.Send(strLine);
        nSent += strLine.size() + 1;
    }
    EXPECT_FALSE(client.IsConnected());
    EXPECT_FALSE(client.Socket().IsOpen());
    EXPECT_GT(nSent, CIrcSocket::MAX_SEND_QUEUE);
    EXPECT_TRUE(room.Shows("Server disconnected you: the server stopped reading"))
        << room.m_strPane;
    EXPECT_FALSE(room.ControlsEnabled());
}

TEST(IrcSocket, aServerThatNeverAnswersTheConnectIsGivenUpAtTheDeadline) {
    testing_support::CCleanProfile profile;
    const testing_support::CSilentAddress silent;
    CScopedEnv host("VOCALON_IRC_HOST", "127.0.0.1");
    CScopedEnv port("VOCALON_IRC_PORT", std::to_string(silent.Port()));
    CIrcClient client;
    client.SetNick("kim0");
    CIrcTimings timings;
    timings.connectDeadline = std::chrono::milliseconds(300);
    client.SetTimings(timings);
    client.Connect();
    EXPECT_TRUE(client.Socket().IsOpen());
    ASSERT_TRUE(WaitFor([&] { return !client.Socket().IsOpen(); }, std::chrono::seconds(5)));
    EXPECT_FALSE(client.IsConnected());
    // The next attempt starts anew.
    client.Connect();
    EXPECT_TRUE(client.Socket().IsOpen());
}

TEST(IrcSocket, aNicknameTheServerSetsGoesBackOnlyWithinOneLine) {
    testing_support::CCleanProfile profile;
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    CScopedEnv host("VOCALON_IRC_HOST", "127.0.0.1");
    CScopedEnv port("VOCALON_IRC_PORT", std::to_string(server.serverPort()));
    std::string strHeard;
    QTcpSocket* pServed = nullptr;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        pServed = server.nextPendingConnection();
        QObject::connect(pServed, &QTcpSocket::readyRead,
                         [&, pSocket = pServed] { strHeard += pSocket->readAll().toStdString(); });
    });
    CIrcClient client;
    client.SetNick("kim0");
    client.Connect();
    ASSERT_TRUE(WaitFor([&] { return strHeard.find("USER") != std::string::npos; }));
    // A rename with a CR in it, then the nickname is taken: the client connects again.
    pServed->write(":s 001 kim0 :hi\r\n:kim0!u@h NICK :a\rQUIT\r\n:s 433 * kim0 :in use\r\n");
    ASSERT_TRUE(WaitFor([&] {
        return strHeard.find(": USER guest 8 * :kim1\n") != std::string::npos;
    })) << strHeard;
    EXPECT_NE(strHeard.find(": NICK kim1\n"), std::string::npos) << strHeard;
    EXPECT_EQ(strHeard.find('\r'), std::string::npos) << strHeard;
}
