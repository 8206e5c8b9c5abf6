#include "tests/support/CIrcServer.h"
#include "tests/support/CRawIrcLine.h"

#include <gtest/gtest.h>

using testing_support::CIrcServer;
using testing_support::CRawIrcLine;

namespace {

// Registers the way the chat client does: a colon prefix on every line, LF endings.
bool Register(CRawIrcLine& client, const std::string& strNick) {
    return client.Send(": PASS *") && client.Send(": NICK " + strNick) &&
           client.Send(": USER guest 8 * :" + strNick) && client.WaitFor(" 001 " + strNick + " ");
}

}  // namespace

TEST(IrcServer, registersAndJoinsAClientThatSendsLineFeedEndedLines) {
    CIrcServer server;
    ASSERT_TRUE(server.Running()) << server.Log();
    CRawIrcLine client(server.Host(), server.Port());
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(Register(client, "kim0")) << client.Transcript() << server.Log();

    ASSERT_TRUE(client.Send(": JOIN #chan marigold"));
    ASSERT_TRUE(client.WaitFor(" JOIN ")) << client.Transcript();
    EXPECT_EQ(client.LastLine().rfind(":kim0!", 0), 0u) << client.LastLine();
    EXPECT_NE(client.LastLine().find("#chan"), std::string::npos) << client.LastLine();
    ASSERT_TRUE(client.WaitFor(" 353 kim0 ")) << client.Transcript();
    EXPECT_NE(client.LastLine().find(" #chan :"), std::string::npos) << client.LastLine();
    EXPECT_NE(client.LastLine().find("kim0"), std::string::npos) << client.LastLine();
}

TEST(IrcServer, restartDropsClientsAndServesAgainOnTheSamePort) {
    CIrcServer server;
    ASSERT_TRUE(server.Running()) << server.Log();
    const int nPort = server.Port();
    CRawIrcLine before(server.Host(), nPort);
    ASSERT_TRUE(Register(before, "kim0")) << before.Transcript();

    ASSERT_TRUE(server.Restart()) << server.Log();
    EXPECT_EQ(server.Port(), nPort);
    // The old connection ends: the process really was replaced.
    EXPECT_FALSE(before.WaitFor("\x01never sent\x01"));
    EXPECT_FALSE(before.Connected());

    CRawIrcLine after(server.Host(), nPort);
    EXPECT_TRUE(Register(after, "kim1")) << after.Transcript() << server.Log();

    server.Stop();
    EXPECT_FALSE(server.Running());
    EXPECT_FALSE(CRawIrcLine(server.Host(), nPort).Connected());
}
