// The session without the login window: a host that records what it is asked.

#include "app/CSession.h"

#include "chat/CChatDlg.h"
#include "news/CChatPage.h"
#include "news/CNewsDlg.h"
#include "news/CPrefSheet.h"
#include "peer/CChatEvent.h"
#include "platform/Profile.h"
#include "tests/support/TestSupport.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::CScopedEnv;
using testing_support::UnusedPort;
using testing_support::WaitFor;

namespace {

class CRecordingHost final : public CSessionHost {
public:
    void Quit() override { ++m_nQuits; }
    void ShowLoginForm() override { ++m_nLoginForms; }
    void ShowTrayMenu(const QPoint&) override {}
    void Notify(const std::string& strText, std::function<void()> fnOnClick) override {
        m_notices.push_back(strText);
        m_fnLastClick = std::move(fnOnClick);
    }

    int m_nQuits = 0;
    int m_nLoginForms = 0;
    std::vector<std::string> m_notices;
    std::function<void()> m_fnLastClick;
};

class SessionTest : public ::testing::Test {
protected:
    testing_support::CCleanProfile m_profile;
    testing_support::CTempAppDir m_appDir;
    CScopedEnv m_noEngine{"VOCALON_NO_WEBENGINE", "1"};
    // Chat connections go to a closed local port, never out.
    CScopedEnv m_ircHost{"VOCALON_IRC_HOST", "127.0.0.1"};
    CScopedEnv m_ircPort{"VOCALON_IRC_PORT", std::to_string(UnusedPort())};
    CRecordingHost m_host;
    CSession m_session{m_host};
};

TEST_F(SessionTest, startAndEndBracketTheUserAndTheHubAnswersForThem) {
    EXPECT_EQ(MainWnd(), &m_session);
    EXPECT_EQ(m_session.Section(), "Prefs");
    m_session.ShowMain();
    EXPECT_EQ(m_host.m_nLoginForms, 1);

    m_session.SetCredentials("kim", "pw");
    m_session.Start();
    ASSERT_NE(m_session.NewsWindow(), nullptr);
    EXPECT_TRUE(m_session.InSession());
    EXPECT_EQ(m_session.Section(), "Prefs-kim");
    EXPECT_EQ(CurrentUser(), "kim");
    EXPECT_EQ(m_session.UserClient().GetNick(), "kim0");
    EXPECT_EQ(m_session.GuestClient().GetNick(), "guest");
    EXPECT_TRUE(m_session.PeerNet().IsListening());
    // No sources chosen yet: the notice's click opens the preferences.
    ASSERT_EQ(m_host.m_notices.size(), 1u);
    m_host.m_fnLastClick();
    EXPECT_NE(m_session.PrefSheet(), nullptr);
    m_session.ShowMain();
    EXPECT_EQ(m_host.m_nLoginForms, 1);

    m_session.End();
    EXPECT_FALSE(m_session.InSession());
    EXPECT_EQ(m_session.NewsWindow(), nullptr);
    EXPECT_FALSE(m_session.PeerNet().IsListening());
    EXPECT_EQ(m_session.Section(), "Prefs-kim");  // until the next user logs in
    m_session.ShowMain();
    EXPECT_EQ(m_host.m_nLoginForms, 2);
    m_session.Quit();
    EXPECT_EQ(m_host.m_nQuits, 1);
}

TEST_F(SessionTest, connectionsTakeTheFirewallRouteOnlyWhileTheSettingAsksForIt) {
    m_session.SetFirewallRoute("fw.example");
    EXPECT_EQ(m_session.IrcRoutes().front().strHost, "127.0.0.1");
    WriteProfileInt("Prefs", "has_firewall", 1);
    // The firewall route alone, whatever servers the settings list.
    WriteProfileString("Prefs", "irc_servers", "a.example,b.example");
    ASSERT_EQ(m_session.IrcRoutes().size(), 1u);
    EXPECT_EQ(m_session.IrcRoutes().front().strHost, "fw.example");
    EXPECT_EQ(m_session.IrcRoutes().front().nPort, 443u);
}

TEST_F(SessionTest, roomsOpenOnTheGuestConnectionAndAlertClicksOpenTheirRoom) {
    m_session.SetCredentials("kim", "pw");
    m_session.Start();
    m_session.AlertClicked(
        CChatEvent::Invitation("#Wow!Markets", "Post - Wow! Markets", "http://x/a", "ann"));
    ASSERT_EQ(m_session.GuestClient().Rooms().Rooms().size(), 1u);
    auto* pDlg = static_cast<CChatDlg*>(m_session.GuestClient().Rooms().Rooms().front());
    EXPECT_EQ(pDlg->Channel(), "#Wow!Markets");
    // The same room again is raised, not opened twice; a channel that is no channel opens
    // nothing.
    m_session.OpenChatRequest(CChatRequest{"#Wow!Markets", "t", "http://x/a"}.Record());
    m_session.OpenChatRequest(CChatRequest{"#a b", "t", "http://x/b"}.Record());
    EXPECT_EQ(m_session.GuestClient().Rooms().Rooms().size(), 1u);

    m_session.MoveChatToUser(pDlg);
    EXPECT_TRUE(m_session.GuestClient().Rooms().Rooms().empty());
    EXPECT_EQ(m_session.UserClient().Rooms().FindRoom("#Wow!Markets"), pDlg);
}

TEST_F(SessionTest, aFloodOfMentionsNotifiesOncePerGapAndTheClickBringsTheRoomBack) {
    m_session.SetCredentials("kim", "pw");
    m_session.Start();
    m_session.SetMentionGap(std::chrono::milliseconds(300));
    m_session.OpenChat("#bread", "Bread", "");
    auto* pDlg = static_cast<CChatDlg*>(m_session.GuestClient().Rooms().FindRoom("#bread"));
    ASSERT_NE(pDlg, nullptr);
    pDlg->SetTopic("Bread");
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return other.isActiveWindow() && !pDlg->isActiveWindow(); }));
    const size_t nBefore = m_host.m_notices.size();

    for (int i = 0; i < 1000; ++i) {
        pDlg->ShowMessage("ann0", "kim: look " + std::to_string(i));
    }
    ASSERT_EQ(m_host.m_notices.size(), nBefore + 1);
    EXPECT_EQ(m_host.m_notices.back(), "ann in Bread: kim: look 0");
    ASSERT_TRUE(WaitFor([&] { return m_host.m_notices.size() == nBefore + 2; }));
    EXPECT_EQ(m_host.m_notices.back(), "ann in Bread: kim: look 999\n(and 998 more)");
    testing_support::PumpEvents(std::chrono::milliseconds(500));
    EXPECT_EQ(m_host.m_notices.size(), nBefore + 2);

    pDlg->hide();
    m_host.m_fnLastClick();
    EXPECT_TRUE(pDlg->isVisible());
    EXPECT_TRUE(WaitFor([&] { return pDlg->isActiveWindow(); }));

    // Held back when the user signs out: never shown.
    other.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return !pDlg->isActiveWindow(); }));
    pDlg->ShowMessage("ann0", "kim?");
    pDlg->ShowMessage("ann0", "kim??");
    m_session.End();
    testing_support::PumpEvents(std::chrono::milliseconds(500));
    EXPECT_EQ(m_host.m_notices.size(), nBefore + 3);
}

TEST_F(SessionTest, chatSettingsTakenOnTheChatPageReachTheOpenRooms) {
    m_session.SetCredentials("kim", "pw");
    m_session.Start();
    m_session.OpenChat("#bread", "Bread", "");
    auto* pDlg = static_cast<CChatDlg*>(m_session.GuestClient().Rooms().FindRoom("#bread"));
    ASSERT_NE(pDlg, nullptr);
    m_session.OpenPrefs();
    CPrefSheet* pSheet = m_session.PrefSheet();
    ASSERT_NE(pSheet, nullptr);
    pSheet->findChild<QTabWidget*>("tabs")->setCurrentWidget(pSheet->ChatPage());
    pSheet->ChatPage()->findChild<QCheckBox*>("timestamps")->setChecked(true);
    pSheet->findChild<QPushButton*>("ok")->click();
    EXPECT_EQ(GetProfileInt("Prefs-kim", "chat_timestamps", -1), 1);
    pDlg->ShowMessage("ann0", "stamped");
    EXPECT_TRUE(pDlg->PaneText().contains(QRegularExpression("\\d\\d:\\d\\d ann: stamped\n")))
        << pDlg->PaneText().toStdString();
}

}  // namespace
