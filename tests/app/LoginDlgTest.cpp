#include "app/CLoginDlg.h"

#include "app/CSignupDlg.h"
#include "app/ServiceRequests.h"
#include "app/TrayMenu.h"
#include "chat/CChatDlg.h"
#include "chat/CIrcProtocol.h"
#include "gui/ResourceIds.h"
#include "gui/Tray.h"
#include "news/CNewsDlg.h"
#include "news/CPastNewsDlg.h"
#include "news/NewsCheck.h"
#include "peer/CChatEvent.h"
#include "platform/Profile.h"
#include "tests/app/AppTestSupport.h"
#include "ui/CAlertWnd.h"
#include "ui/FixedWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <unistd.h>

using testing_support::ClearProfile;
using testing_support::CModalResponder;
using testing_support::CScopedEnv;
using testing_support::CTempAppDir;
using testing_support::PumpEvents;
using testing_support::UnusedPort;
using testing_support::WaitFor;
using namespace std::chrono_literals;

class LoginDlgTest : public ::testing::Test {
protected:
    // A login window whose service cannot be reached unless a test points it elsewhere.
    void Open() {
        m_pDlg = std::make_unique<CLoginDlg>();
        m_pDlg->Create();
    }

    template <class T>
    T* Control(const char* pszName) {
        return m_pDlg->findChild<T*>(pszName);
    }
    QLineEdit* User() { return Control<QLineEdit>("username"); }
    QLineEdit* Password() { return Control<QLineEdit>("password"); }
    QCheckBox* AutoLogin() { return Control<QCheckBox>("autologin"); }
    QPushButton* LoginButton() { return Control<QPushButton>("login"); }
    QPushButton* CancelButton() { return Control<QPushButton>("cancel"); }
    std::string Status() { return Control<QLabel>("status")->text().toStdString(); }
    bool IsIdle() {
        return User()->isEnabled() && Password()->isEnabled() && LoginButton()->isEnabled() &&
               AutoLogin()->isEnabled() && !CancelButton()->isEnabled();
    }
    bool IsLoggingIn() {
        return !User()->isEnabled() && !Password()->isEnabled() && !LoginButton()->isEnabled() &&
               CancelButton()->isEnabled();
    }
    void Post(int nMessage, const std::string& strW, const std::string& strL) {
        PostAppEvent(m_pDlg->Handle(), nMessage, MakeParam(strW), MakeParam(strL));
        PumpEvents(20ms);
    }
    void Type(const char* pszUser, const char* pszPassword) {
        User()->setText(pszUser);
        Password()->setText(pszPassword);
    }

    testing_support::CCleanProfile m_cleanProfile;
    // Login requests hang here, so the results a test posts are the only ones.
    testing_support::CBlackHole m_silentService;
    CScopedEnv m_serviceHost{"VOCALON_SERVICE_HOST", m_silentService.HostPort()};
    // A session's chat connections go to a closed local port, never out.
    CScopedEnv m_ircHost{"VOCALON_IRC_HOST", "127.0.0.1"};
    CScopedEnv m_ircPort{"VOCALON_IRC_PORT", std::to_string(UnusedPort())};
    CTempAppDir m_appDir;
    std::unique_ptr<CLoginDlg> m_pDlg;
};

TEST_F(LoginDlgTest, firstStartShowsEmptyFormWithAutoLoginTickedAndDoesNotLogIn) {
    Open();
    EXPECT_TRUE(m_pDlg->isVisible());
    EXPECT_EQ(User()->text(), "");
    EXPECT_EQ(Password()->text(), "");
    EXPECT_TRUE(AutoLogin()->isChecked());
    EXPECT_EQ(Status(), "Vocalon v2.0");
    EXPECT_TRUE(IsIdle());
    EXPECT_EQ(m_pDlg->Session().Section(), "Prefs");
    EXPECT_EQ(TrayState().nIconId, IDI_MAIN);
    EXPECT_EQ(TrayState().strTip, "Vocalon 2.0");
    EXPECT_EQ(m_pDlg->focusWidget(), User());

    LoginButton()->click();
    EXPECT_EQ(Status(), "You must fill out all fields.");
    EXPECT_TRUE(IsIdle());
    Type("kim", "");
    LoginButton()->click();
    EXPECT_EQ(Status(), "You must fill out all fields.");
}

TEST_F(LoginDlgTest, storedAutoLoginStartsAtOnceAndFirewallIsRemembered) {
    WriteProfileString("Prefs", "username", "kim");
    WriteProfileString("Prefs", "password", "pw");
    WriteProfileInt("Prefs", "autologin", 1);
    CScopedEnv unreachable("VOCALON_SERVICE_HOST", "127.0.0.1:" + std::to_string(UnusedPort()));
    Open();
    EXPECT_EQ(User()->text(), "kim");
    EXPECT_EQ(Status(), "Logging in...");
    EXPECT_TRUE(IsLoggingIn());
    EXPECT_EQ(GetProfileInt("Prefs", "has_firewall", 7), 0);
    // The unreachable service answers "-2": offline, hidden, retrying.
    ASSERT_TRUE(WaitFor([&] { return Status() == "Can't connect to server."; }));
    EXPECT_TRUE(IsIdle());
    EXPECT_FALSE(m_pDlg->isVisible());
    EXPECT_EQ(TrayState().nIconId, IDI_OFFLINE);
    EXPECT_EQ(TrayState().strTip, "Offline");
    EXPECT_TRUE(m_pDlg->Timers().IsActive(TIMER_LOGIN_RETRY));
    EXPECT_EQ(m_pDlg->Timers().Interval(TIMER_LOGIN_RETRY), 300000);
}

TEST_F(LoginDlgTest, autoLoginWaitsForTheKeyringAndAsksForThePasswordWhenItHasNone) {
    WriteProfileString("Prefs", "username", "kim");
    WriteProfileInt("Prefs", "password_in_keyring", 1);
    WriteProfileInt("Prefs", "autologin", 1);
    Open();
    // The read is under way: nothing has gone out yet, and the form can be used.
    EXPECT_EQ(Status(), "Reading the password from the keyring...");
    EXPECT_TRUE(IsIdle());
    // The tests have no keyring: the read fails and the log-in asks for the password.
    ASSERT_TRUE(WaitFor([&] { return Status() == "You must fill out all fields."; }));
    EXPECT_TRUE(m_pDlg->isVisible());
    EXPECT_EQ(m_pDlg->focusWidget(), Password());

    // A password typed while a read is under way logs in at once, and the read's answer
    // changes nothing.
    m_pDlg->OnCommand(ID_SIGN_IN_NEW_USER);
    EXPECT_EQ(Status(), "Reading the password from the keyring...");
    Type("kim", "typed");
    LoginButton()->click();
    EXPECT_EQ(Status(), "Logging in...");
    PumpEvents(300ms);
    EXPECT_EQ(Password()->text(), "typed");
    EXPECT_EQ(Status(), "Logging in...");
}

TEST_F(LoginDlgTest, resultCodesPlaceFocusAndStatusAsTheTableSays) {
    Open();
    struct Case {
        const char* pszCode;
        const char* pszPassword;
        const char* pszFocus;
    } cases[] = {{"1001", "typed", "username"},
                 {"1001", "", "password"},
                 {"1002", "typed", "username"},
                 {"1003", "typed", "password"},
                 {"-1", "typed", "login"}};
    for (const Case& c : cases) {
        Type("kim", "typed");
        LoginButton()->click();
        ASSERT_TRUE(IsLoggingIn());
        Password()->setText(c.pszPassword);
        Post(UM_LOGIN_RESULT, c.pszCode, std::string("text ") + c.pszCode);
        EXPECT_TRUE(IsIdle()) << c.pszCode;
        EXPECT_EQ(Status(), std::string("text ") + c.pszCode);
        ASSERT_NE(m_pDlg->focusWidget(), nullptr);
        EXPECT_EQ(m_pDlg->focusWidget()->objectName().toStdString(), c.pszFocus) << c.pszCode;
        EXPECT_TRUE(m_pDlg->isVisible());
        EXPECT_FALSE(m_pDlg->Timers().IsActive(TIMER_LOGIN_RETRY));
    }
}

TEST_F(LoginDlgTest, serviceTextsAreShownAsPlainText) {
    Open();
    Type("kim", "pw");
    LoginButton()->click();
    Post(UM_LOGIN_RESULT, "1003", "<b>bold</b> <img src=\"http://x/y.png\">");
    QLabel* pStatus = Control<QLabel>("status");
    EXPECT_EQ(pStatus->textFormat(), Qt::PlainText);
    EXPECT_EQ(Status(), "<b>bold</b> <img src=\"http://x/y.png\">");
}

TEST_F(LoginDlgTest, unknownCodeLeavesTheFormWaitingForCancel) {
    Open();
    Type("kim", "pw");
    LoginButton()->click();
    Post(UM_LOGIN_RESULT, "4242", "odd");
    Post(UM_LOGIN_RESULT, "", "");
    EXPECT_TRUE(IsLoggingIn());
    EXPECT_EQ(Status(), "Logging in...");
    CancelButton()->click();
    EXPECT_TRUE(IsIdle());
    EXPECT_EQ(Status(), "Vocalon Version 2.0");
}

TEST_F(LoginDlgTest, cancelDropsExactlyTheNextResult) {
    Open();
    Type("kim", "pw");
    LoginButton()->click();
    CancelButton()->click();
    LoginButton()->click();
    Post(UM_LOGIN_RESULT, "1003", "first answer");
    EXPECT_TRUE(IsLoggingIn());
    EXPECT_EQ(Status(), "Logging in...");
    Post(UM_LOGIN_RESULT, "1003", "second answer");
    EXPECT_TRUE(IsIdle());
    EXPECT_EQ(Status(), "second answer");
}

TEST_F(LoginDlgTest, successStoresCredentialsHidesAndSwitchesTheSection) {
    Open();
    Type("Kim", "pw");
    AutoLogin()->setChecked(false);
    LoginButton()->click();
    Post(UM_LOGIN_RESULT, "0", "Welcome");
    EXPECT_EQ(Status(), "Success!");
    EXPECT_FALSE(m_pDlg->isVisible());
    EXPECT_TRUE(m_pDlg->Session().InSession());
    EXPECT_EQ(m_pDlg->Session().Section(), "Prefs-Kim");
    EXPECT_EQ(GetProfileString("Prefs", "username"), "Kim");
    // Without a keyring (the tests have no session bus) the settings file keeps it, once
    // the keyring has said no.
    EXPECT_TRUE(WaitFor([] { return GetProfileString("Prefs", "password") == "pw"; }));
    EXPECT_EQ(GetProfileInt("Prefs", "password_in_keyring", 7), 0);
    EXPECT_EQ(GetProfileInt("Prefs", "autologin", 7), 0);
    EXPECT_EQ(TrayState().nIconId, IDI_MAIN);
}

TEST_F(LoginDlgTest, aPeerPortThatCannotBeOpenedIsToldOnceAndShownInEverySession) {
    int nPort = 0;
    const int fdTaken = testing_support::ListenOnLoopback(1, nPort);
    ASSERT_GE(fdTaken, 0);
    CScopedEnv bind("VOCALON_PEER_BIND", "127.0.0.1");
    CScopedEnv port("VOCALON_PEER_PORT", std::to_string(nPort));
    // Sources chosen: no other notice competes with this one.
    m_appDir.Write("kim_out_feeds.txt", "Gazette<!!div!!>http://127.0.0.1:1/feed\n");
    const std::string strWhy = "port " + std::to_string(nPort) + " is in use by another program.";
    Open();
    const int nBefore = TrayState().nNotifications;
    for (int nSession = 0; nSession < 2; ++nSession) {
        if (nSession > 0) {
            m_pDlg->OnCommand(ID_SIGN_IN_NEW_USER);
        }
        Type("kim", "pw");
        LoginButton()->click();
        Post(UM_LOGIN_RESULT, "0", "");
        ASSERT_TRUE(m_pDlg->Session().NewsWindow());
        const QString strLine =
            m_pDlg->Session().NewsWindow()->findChild<QLabel*>("status")->text();
        EXPECT_TRUE(strLine.endsWith(QString::fromStdString("Others cannot reach you: " + strWhy)))
            << strLine.toStdString();
        EXPECT_EQ(TrayState().nNotifications, nBefore + 1);
        EXPECT_NE(TrayState().strLastNotification.find(strWhy), std::string::npos);
    }
    ::close(fdTaken);
}

TEST_F(LoginDlgTest, retryTickLogsInAgainOnlyWithAutoLoginAndNotWhileLoggedIn) {
    Open();
    Type("kim", "pw");
    LoginButton()->click();
    Post(UM_LOGIN_RESULT, "-2", "Can't connect to server.");
    ASSERT_TRUE(m_pDlg->Timers().IsActive(TIMER_LOGIN_RETRY));

    m_pDlg->OnTimer(TIMER_LOGIN_RETRY);  // autologin is not stored yet
    EXPECT_TRUE(IsIdle());
    EXPECT_TRUE(m_pDlg->Timers().IsActive(TIMER_LOGIN_RETRY));

    WriteProfileInt("Prefs", "autologin", 1);
    m_pDlg->OnTimer(TIMER_LOGIN_RETRY);
    EXPECT_EQ(Status(), "Logging in...");
    EXPECT_TRUE(m_pDlg->Timers().IsActive(TIMER_LOGIN_RETRY));

    Post(UM_LOGIN_RESULT, "0", "");
    EXPECT_FALSE(m_pDlg->Timers().IsActive(TIMER_LOGIN_RETRY));
    m_pDlg->OnTimer(TIMER_LOGIN_RETRY);
    EXPECT_EQ(Status(), "Success!");
    EXPECT_FALSE(m_pDlg->Timers().IsActive(TIMER_LOGIN_RETRY));
}

TEST_F(LoginDlgTest, serviceDownAtStartIsOfflineUntilARetryTickFindsItBack) {
    WriteProfileString("Prefs", "username", "kim");
    WriteProfileString("Prefs", "password", "pw");
    WriteProfileInt("Prefs", "autologin", 1);
    const std::string strPort = std::to_string(UnusedPort());
    CScopedEnv down("VOCALON_SERVICE_HOST", "127.0.0.1:" + strPort);
    Open();
    ASSERT_TRUE(WaitFor([&] { return Status() == "Can't connect to server."; }));
    EXPECT_EQ(TrayState().strTip, "Offline");
    EXPECT_FALSE(m_pDlg->Session().InSession());

    // The service comes back on the same address; the next tick logs in.
    CLocalService service({"--port", strPort});
    ASSERT_TRUE(service.Running()) << service.Process().StartupLine();
    ASSERT_TRUE(service.Register("kim", "pw"));
    m_pDlg->OnTimer(TIMER_LOGIN_RETRY);
    ASSERT_TRUE(WaitFor([&] { return Status() == "Success!"; }));
    EXPECT_TRUE(m_pDlg->Session().InSession());
    EXPECT_EQ(TrayState().nIconId, IDI_MAIN);
    EXPECT_EQ(TrayState().strTip, "Vocalon 2.0");
}

TEST_F(LoginDlgTest, routeAndPeerListsAreKept) {
    Open();
    const CPeerNet& net = m_pDlg->Session().PeerNet();
    const std::string strOwn = net.OwnAddress();
    ASSERT_FALSE(strOwn.empty());
    PostAppEvent(m_pDlg->Handle(), UM_FIREWALL_ROUTE, MakeParam(std::string("fw.example")));
    // Our own address starts no attempt but uses up its turn: two go at once.
    PostMessageTo<UM_PEER_LIST>(m_pDlg->Handle(), CStringArray{strOwn, strOwn, strOwn});
    PumpEvents(20ms);
    EXPECT_EQ(m_pDlg->Session().FirewallRoute(), "fw.example");
    EXPECT_EQ(net.PendingAddresses().size(), 1u);
    EXPECT_TRUE(net.Timers().IsActive(TIMER_PEER_REFRESH));
    EXPECT_EQ(net.Timers().Interval(TIMER_PEER_REFRESH), 300000);

    // A failed refresh brings no list: the pending addresses stay.
    PostMessageTo<UM_PEER_LIST>(m_pDlg->Handle());
    PumpEvents(20ms);
    EXPECT_EQ(net.PendingAddresses().size(), 1u);
    m_pDlg->Session().PeerNet().OnTimer(TIMER_PEER_REFRESH);  // addresses pending: the tick waits
    EXPECT_TRUE(net.Timers().IsActive(TIMER_PEER_REFRESH));

    PostMessageTo<UM_PEER_LIST>(m_pDlg->Handle(), CStringArray{});
    PumpEvents(20ms);
    EXPECT_TRUE(net.PendingAddresses().empty());
    m_pDlg->Session().PeerNet().OnTimer(TIMER_PEER_REFRESH);  // none left: fetch a fresh list
    EXPECT_FALSE(net.Timers().IsActive(TIMER_PEER_REFRESH));
}

TEST_F(LoginDlgTest, newerVersionAsksUnlessSilenced) {
    Open();
    {
        CModalResponder responder([](QWidget* p) { CModalResponder::ClickButton(p, "later"); });
        Post(UM_VERSION_NOTICE, "2", "http://example.invalid/dl");
        ASSERT_TRUE(WaitFor([&] { return responder.Seen(); }));
        EXPECT_EQ(responder.Title(), "New version notification");
    }
    for (const char* pszVersion : {"1", "0", "", "abc"}) {
        CModalResponder responder(CModalResponder::Close);
        Post(UM_VERSION_NOTICE, pszVersion, "http://example.invalid/dl");
        PumpEvents(50ms);
        EXPECT_FALSE(responder.WaitSeen(std::chrono::milliseconds(100))) << pszVersion;
    }
    {
        CModalResponder responder([](QWidget* p) { CModalResponder::ClickButton(p, "never"); });
        Post(UM_VERSION_NOTICE, "5", "http://example.invalid/dl");
        ASSERT_TRUE(WaitFor([&] { return responder.Seen(); }));
    }
    EXPECT_EQ(GetProfileInt("Prefs", "do_not_bother_me", 0), 1);
    CModalResponder responder(CModalResponder::Close);
    Post(UM_VERSION_NOTICE, "9", "http://example.invalid/dl");
    PumpEvents(50ms);
    EXPECT_FALSE(responder.WaitSeen(std::chrono::milliseconds(100)));
}

TEST_F(LoginDlgTest, workerMessageIsShownOnTheWindowThread) {
    Open();
    CModalResponder responder(CModalResponder::Close);
    PostAppEvent(m_pDlg->Handle(), UM_WORKER_MESSAGE,
                 MakeParam(std::string("Can't write file /x")));
    ASSERT_TRUE(WaitFor([&] { return responder.Seen(); }));
    EXPECT_EQ(responder.Text(), "Can't write file /x");
}

TEST_F(LoginDlgTest, trayClickShowsTheLoginWindowAndMenusDifferBySession) {
    Open();
    Type("kim", "pw");
    LoginButton()->click();
    Post(UM_LOGIN_RESULT, "-2", "Can't connect to server.");
    ASSERT_FALSE(m_pDlg->isVisible());
    PostAppEvent(m_pDlg->Handle(), UM_TRAY_NOTIFY, MakeParam(TRAY_ICON_ID),
                 MakeParam(WM_LBUTTONDOWN));
    PumpEvents(20ms);
    EXPECT_TRUE(m_pDlg->isVisible());
    EXPECT_EQ(TrayState().nIconId, IDI_MAIN);
}

TEST(TrayMenu, popupsListTheCommandsWithTheirIdsAndStates) {
    struct Entry {
        std::string strText;
        int nId;
        bool bEnabled;
    };
    auto entries = [](int nPopup, const QStringList& recent = {}) {
        std::vector<Entry> out;
        std::unique_ptr<QMenu> pMenu = BuildTrayPopup(nPopup, recent);
        for (QAction* pAction : pMenu->actions()) {
            out.push_back({pAction->isSeparator() ? "-" : pAction->text().toStdString(),
                           TrayCommandOf(pAction), pAction->isEnabled()});
        }
        return out;
    };
    std::vector<Entry> loggedIn = entries(0);
    std::vector<Entry> loggedOut = entries(1);
    ASSERT_EQ(loggedIn.size(), 9u);
    ASSERT_EQ(loggedOut.size(), 9u);
    const char* texts[] = {"About us...", "-",
                           "Prefs...",    "Review Past News",
                           "Update News", "Recent invitations",
                           "-",           "Sign in new user...",
                           "Quit"};
    const int ids[] = {32780, 0, 32778, 32776, 32775, 0, 0, 32779, 32774};
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(loggedIn[i].strText, texts[i]);
        EXPECT_EQ(loggedIn[i].nId, ids[i]);
        EXPECT_EQ(loggedOut[i].nId, ids[i]);
        // With no invitations yet, their submenu is greyed too.
        EXPECT_EQ(loggedIn[i].bEnabled, i != 5) << i;
        EXPECT_EQ(loggedOut[i].bEnabled, i != 3 && i != 4 && i != 5) << i;
    }
    EXPECT_EQ(loggedOut[7].strText, "Sign in new user..");
    EXPECT_TRUE(entries(0, {"a"})[5].bEnabled);
    EXPECT_FALSE(entries(1, {"a"})[5].bEnabled);

    // Labels from peers: "&" stays itself, control characters are blanks, long ones cut.
    EXPECT_EQ(InvitationMenuText("kim", "Bread & butter\r\n").toStdString(),
              "kim: Bread && butter  ");
    EXPECT_EQ(InvitationMenuText(std::string(100, 'x'), "t").size(), 60);
    QStringList labels;
    for (int i = 0; i < 12; ++i) {
        labels.push_back(QString::number(i));
    }
    std::unique_ptr<QMenu> pMenu = BuildTrayPopup(0, labels);
    const QList<QAction*> recent = pMenu->actions()[5]->menu()->actions();
    ASSERT_EQ(recent.size(), MAX_RECENT_INVITATIONS);
    EXPECT_EQ(RecentInvitationIndexOf(TrayCommandOf(recent.back())), 9);
    EXPECT_EQ(RecentInvitationIndexOf(ID_QUIT), -1);
}

TEST_F(LoginDlgTest, aRecentInvitationChosenInTheTrayMenuOpensItsRoomOnceTheMenuIsGone) {
    CScopedEnv noEngine("VOCALON_NO_WEBENGINE", "1");
    Open();
    Type("kim", "pw");
    LoginButton()->click();
    Post(UM_LOGIN_RESULT, "0", "");
    for (const char* pszInviter : {"ann", "bob"}) {
        CChatEvent invitation;
        invitation.type = CChatEvent::TYPE_CHAT;
        invitation.params = {std::string("#") + pszInviter, "Gazette", "http://x/a", pszInviter};
        m_pDlg->Session().PeerNet().OnEventReceived(invitation, "127.0.1.1");
    }
    m_pDlg->ShowTrayMenu(QPoint(400, 300));
    ASSERT_NE(m_pDlg->TrayMenu(), nullptr);
    QMenu* pRecent = m_pDlg->TrayMenu()->actions()[5]->menu();
    ASSERT_NE(pRecent, nullptr);
    ASSERT_EQ(pRecent->actions().size(), 2);
    EXPECT_EQ(pRecent->actions()[0]->text().toStdString(), "bob: Gazette");
    pRecent->actions()[1]->trigger();
    m_pDlg->TrayMenu()->close();
    EXPECT_TRUE(m_pDlg->Session().GuestClient().Rooms().Rooms().empty());
    ASSERT_TRUE(WaitFor(
        [&] { return m_pDlg->Session().GuestClient().Rooms().FindRoom("#ann") != nullptr; }));
    EXPECT_EQ(m_pDlg->Session().GuestClient().Rooms().Rooms().size(), 1u);
    // Whoever logs in next starts without them.
    m_pDlg->OnCommand(ID_SIGN_IN_NEW_USER);
    EXPECT_TRUE(CAlertWnd::Inbox().Recent().empty());
    m_pDlg.reset();
    for (QWidget* pWidget : QApplication::topLevelWidgets()) {
        if (qobject_cast<CAlertWnd*>(pWidget)) {
            pWidget->close();
        }
    }
}

TEST_F(LoginDlgTest, signInNewUserShowsTheStoredFormAndKeepsTheSection) {
    Open();
    Type("kim", "pw");
    LoginButton()->click();
    Post(UM_LOGIN_RESULT, "0", "");
    ASSERT_EQ(m_pDlg->Session().Section(), "Prefs-kim");
    WriteProfileInt("Prefs", "autologin", 0);
    m_pDlg->OnCommand(ID_SIGN_IN_NEW_USER);
    EXPECT_TRUE(m_pDlg->isVisible());
    EXPECT_FALSE(m_pDlg->Session().InSession());
    EXPECT_TRUE(IsIdle());
    EXPECT_EQ(Status(), "Vocalon v2.0");
    EXPECT_EQ(User()->text(), "kim");
    EXPECT_FALSE(AutoLogin()->isChecked());
    EXPECT_EQ(m_pDlg->Session().Section(), "Prefs-kim");
}

TEST_F(LoginDlgTest, quitEndsTheWindowsLoopFromEveryState) {
    Open();
    bool bFinished = false;
    QObject::connect(m_pDlg.get(), &QDialog::finished, [&] { bFinished = true; });
    m_pDlg->OnCommand(ID_QUIT);
    EXPECT_TRUE(bFinished);
    EXPECT_EQ(m_pDlg->result(), QDialog::Accepted);
}

TEST_F(LoginDlgTest, enterEscapeAndCloseBehave) {
    Open();
    bool bFinished = false;
    QObject::connect(m_pDlg.get(), &QDialog::finished, [&] { bFinished = true; });
    QTest::keyClick(m_pDlg.get(), Qt::Key_Escape);
    EXPECT_FALSE(bFinished);
    EXPECT_TRUE(m_pDlg->isVisible());
    m_pDlg->close();
    EXPECT_TRUE(bFinished);
}

TEST_F(LoginDlgTest, minimiseKeepsAWindowWhenThereIsNoTrayHost) {
    Open();
    m_pDlg->showMinimized();
    PumpEvents(20ms);
    if (TrayAvailable()) {
        EXPECT_FALSE(m_pDlg->isVisible());
    } else {
        EXPECT_TRUE(m_pDlg->isVisible());
        EXPECT_TRUE(TrayState().bStandIn);
    }
}

TEST_F(LoginDlgTest, clickOnTheLinkOpensSignUpAndFillsTheFormOnSuccess) {
    CLocalService service;
    ASSERT_TRUE(service.Running());
    Open();
    CModalResponder responder([](QWidget* pModal) {
        pModal->findChild<QLineEdit*>("username")->setText("New_User-1");
        pModal->findChild<QLineEdit*>("password")->setText("pw&1");
        pModal->findChild<QLineEdit*>("password2")->setText("pw&1");
        pModal->findChild<QLineEdit*>("email")->setText("new@example.org");
        CModalResponder::ClickButton(pModal, "OK");
    });
    QWidget* pLink = m_pDlg->findChild<QWidget*>("register");
    QTest::mouseClick(pLink, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(responder.WaitSeen());
    EXPECT_EQ(responder.Title(), "Sign up!");
    // The form is filled when the sign-up dialog closes with the service's answer.
    ASSERT_TRUE(WaitFor([&] { return User()->text() == "new_user-1"; }));
    EXPECT_EQ(Password()->text(), "pw&1");
    EXPECT_TRUE(AutoLogin()->isChecked());
    EXPECT_TRUE(IsIdle());  // no login is started

    // The new account logs in for real.
    LoginButton()->click();
    ASSERT_TRUE(WaitFor([&] { return Status() == "Success!"; }));
    EXPECT_EQ(m_pDlg->Session().Section(), "Prefs-new_user-1");
    EXPECT_TRUE(m_appDir.Exists("in_feeds.txt"));
}

TEST_F(LoginDlgTest, sessionEndsWhilePrefsAreOpenFromThePanesLinkWithoutHarm) {
    // The pane's "add some feeds" link opens the sheet from inside the news window's event
    // filter; the sheet must not hold a nested loop there while the session ends.
    for (int nCommand : {ID_SIGN_IN_NEW_USER, ID_QUIT}) {
        Open();
        Type("kim", "pw");
        LoginButton()->click();
        Post(UM_LOGIN_RESULT, "0", "");
        QWidget* pNews = m_pDlg->Session().NewsWindow();
        ASSERT_TRUE(pNews);
        pNews->show();
        QWidget* pViewport = pNews->findChild<QTextEdit*>("pane")->viewport();
        QTest::mouseClick(pViewport, Qt::LeftButton, {}, QPoint(12, 8));
        ASSERT_TRUE(WaitFor([&] { return m_pDlg->Session().PrefSheet() != nullptr; }));
        m_pDlg->OnCommand(nCommand);
        PumpEvents(50ms);
        EXPECT_EQ(m_pDlg->Session().PrefSheet(), nullptr) << nCommand;
        m_pDlg.reset();
    }
}

TEST_F(LoginDlgTest, retryStopsWhenAnotherUserSignsIn) {
    Open();
    Type("kim", "pw");
    LoginButton()->click();
    Post(UM_LOGIN_RESULT, "-2", "Can't connect to server.");
    ASSERT_TRUE(m_pDlg->Timers().IsActive(TIMER_LOGIN_RETRY));
    m_pDlg->OnCommand(ID_SIGN_IN_NEW_USER);
    EXPECT_FALSE(m_pDlg->Timers().IsActive(TIMER_LOGIN_RETRY));
}

TEST_F(LoginDlgTest, fixedWindowsHaveNoMaximiseAndTheLoginWindowMinimises) {
    Open();
    const Qt::WindowFlags flags = m_pDlg->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(m_pDlg->minimumSize(), m_pDlg->maximumSize());
    CSignupDlg signup(m_pDlg.get());
    EXPECT_FALSE(signup.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(signup.minimumSize(), signup.maximumSize());
}

TEST_F(LoginDlgTest, longServiceTextsWrapWithinTheWindowAndAreCut) {
    Open();
    const int nWidth = m_pDlg->width();
    Type("kim", "pw");
    LoginButton()->click();
    Post(UM_LOGIN_RESULT, "1002", std::string(100000, 'x') + " refused");
    EXPECT_EQ(m_pDlg->width(), nWidth);
    const QLabel* pStatus = Control<QLabel>("status");
    EXPECT_EQ(pStatus->text().size(), MAX_STATUS_CHARS + 1);  // and the ellipsis
    EXPECT_GE(pStatus->height(), pStatus->heightForWidth(pStatus->width()));
}

TEST_F(LoginDlgTest, keyboardReachesTheSignUpLink) {
    Open();
    auto* pLink = Control<QWidget>("register");
    EXPECT_TRUE(pLink->focusPolicy() & Qt::TabFocus);
    pLink->setFocus();
    QTest::keyClick(pLink, Qt::Key_Space);
    EXPECT_TRUE(WaitFor([&] { return m_pDlg->findChild<CSignupDlg*>() != nullptr; }));
}

TEST_F(LoginDlgTest, notificationAfterLoginWithoutSourcesOpensThePrefs) {
    Open();
    Type("kim", "pw");
    LoginButton()->click();
    Post(UM_LOGIN_RESULT, "0", "");
    PostAppEvent(m_pDlg->Handle(), UM_TRAY_NOTIFY, MakeParam(TRAY_ICON_ID),
                 MakeParam(NIN_BALLOONUSERCLICK));
    EXPECT_TRUE(WaitFor([&] { return m_pDlg->Session().PrefSheet() != nullptr; }));
}

TEST_F(LoginDlgTest, chatRequestsOpenOneWindowPerValidChannelOnTheGuestConnection) {
    CScopedEnv noEngine("VOCALON_NO_WEBENGINE", "1");
    Open();
    Type("kim", "pw");
    LoginButton()->click();
    Post(UM_LOGIN_RESULT, "0", "");
    EXPECT_EQ(m_pDlg->Session().UserClient().GetNick(), "kim0");
    EXPECT_EQ(m_pDlg->Session().GuestClient().GetNick(), "guest");

    // Not a channel token, a record of more or fewer pieces: nothing opens.
    for (const char* psz : {"#a b!!Topic!!http://x/a", "#a\r\n: QUIT!!T!!http://x",
                            "chan!!T!!http://x", "#ok!!Topic", "#ok!!Top!c!!http://x"}) {
        m_pDlg->Session().OpenChatRequest(psz);
    }
    EXPECT_TRUE(m_pDlg->Session().GuestClient().Rooms().Rooms().empty());

    // An alert's click opens the room its invitation names, once.
    CChatEvent invitation;
    invitation.type = CChatEvent::TYPE_CHAT;
    invitation.params = {"#Budget", "Gazette - Budget", "http://x/a", "ann"};
    m_pDlg->Session().AlertClicked(invitation);
    m_pDlg->Session().OpenChatRequest("#Budget!!Gazette - Budget!!http://x/a");
    ASSERT_EQ(m_pDlg->Session().GuestClient().Rooms().Rooms().size(), 1u);
    auto* pChat = dynamic_cast<CChatDlg*>(m_pDlg->Session().GuestClient().Rooms().Rooms().front());
    ASSERT_NE(pChat, nullptr);
    EXPECT_TRUE(pChat->isVisible());
    EXPECT_EQ(pChat->Channel(), "#Budget");

    m_pDlg->Session().MoveChatToUser(pChat);
    EXPECT_TRUE(m_pDlg->Session().GuestClient().Rooms().Rooms().empty());
    EXPECT_EQ(m_pDlg->Session().UserClient().Rooms().FindRoom("#Budget"), pChat);
    // The window ends with the login window.
    m_pDlg.reset();
}

TEST_F(LoginDlgTest, aRepeatedServerReplyOpensOneBoxAtATime) {
    Open();
    auto openBoxes = [] {
        int nBoxes = 0;
        for (QWidget* pWidget : QApplication::topLevelWidgets()) {
            auto* pBox = qobject_cast<QMessageBox*>(pWidget);
            nBoxes += pBox && pBox->isVisible() && pBox->text() == STR_BAD_COMMAND ? 1 : 0;
        }
        return nBoxes;
    };
    for (int i = 0; i < 1000; ++i) {
        CIrcClient& client =
            i % 2 ? m_pDlg->Session().UserClient() : m_pDlg->Session().GuestClient();
        client.Protocol().HandleLine(":s 461 kim0 JOIN :Not enough parameters");
    }
    PumpEvents(20ms);
    EXPECT_EQ(openBoxes(), 1);
    m_pDlg->Session().GuestClient().Protocol().HandleLine(":s 433 * guest9 :in use");
    PumpEvents(20ms);
    EXPECT_EQ(openBoxes(), 1);  // another text has a box of its own

    // Once it is closed, the next repeat is shown again.
    for (QWidget* pWidget : QApplication::topLevelWidgets()) {
        if (auto* pBox = qobject_cast<QMessageBox*>(pWidget);
            pBox && pBox->text() == STR_BAD_COMMAND) {
            pBox->close();
        }
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(openBoxes(), 0);
    m_pDlg->Session().UserClient().Protocol().HandleLine(":s 461 kim0 JOIN :Not enough parameters");
    EXPECT_EQ(openBoxes(), 1);
}

TEST_F(LoginDlgTest, headlinesWithExclamationMarksOpenTheirRoomsFromEveryPath) {
    CScopedEnv noEngine("VOCALON_NO_WEBENGINE", "1");
    Open();
    Type("kim", "pw");
    LoginButton()->click();
    Post(UM_LOGIN_RESULT, "0", "");
    const std::string strUrl = "http://example.org/a?b=!&c=%21";
    auto expectRoom = [&](const char* pszChannel) {
        auto* pChat =
            dynamic_cast<CChatDlg*>(m_pDlg->Session().GuestClient().Rooms().FindRoom(pszChannel));
        ASSERT_NE(pChat, nullptr) << pszChannel;
        EXPECT_EQ(pChat->ArticleUrl(), strUrl);
    };

    // The headline pane of the news window.
    CNewsDlg* pNews = m_pDlg->Session().NewsWindow();
    CNewsItemList items;
    items.push_back(
        std::make_unique<CNewsItem>(strUrl, "Wow! Markets rally", "Gazette", "", 1007660580));
    PostMessageTo<UM_NEWS_ITEMS>(pNews->Handle(), std::move(items));
    PumpEvents(20ms);
    pNews->show();
    ASSERT_EQ(pNews->Links().size(), 1u);
    QTextCursor cursor(pNews->Pane()->document());
    cursor.setPosition(pNews->Links()[0].nFirst + 1);
    pNews->OnPaneClick(pNews->Pane()->cursorRect(cursor).center());
    expectRoom("#Wow!Marketsrally");

    // Past news.
    const PastNewsIndex index = {{"Herald", {{"12/06 11:00 AM - Is this it?!", strUrl}}}};
    CPastNewsDlg* pPast = new CPastNewsDlg(&index);
    auto* pTree = pPast->findChild<QTreeWidget*>("tree");
    emit pTree->itemClicked(pTree->topLevelItem(0)->child(0), 0);
    delete pPast;
    expectRoom("#Isthisit?!");

    // An invitation's alert.
    CChatEvent invitation;
    invitation.type = CChatEvent::TYPE_CHAT;
    invitation.params = {"#Yes!!", "Post - Yes!! 100%", strUrl, "ann"};
    m_pDlg->Session().AlertClicked(invitation);
    expectRoom("#Yes!!");
    m_pDlg.reset();
}

TEST_F(LoginDlgTest, formShownFromTheTrayAfterAnAutomaticLoginFailedTakesEnterOnLogin) {
    WriteProfileString("Prefs", "username", "kim");
    WriteProfileString("Prefs", "password", "pw");
    WriteProfileInt("Prefs", "autologin", 1);
    CScopedEnv down("VOCALON_SERVICE_HOST", "127.0.0.1:" + std::to_string(UnusedPort()));
    Open();
    ASSERT_TRUE(WaitFor([&] { return Status() == "Can't connect to server."; }));
    ASSERT_FALSE(m_pDlg->isVisible());
    PostAppEvent(m_pDlg->Handle(), UM_TRAY_NOTIFY, MakeParam(TRAY_ICON_ID),
                 MakeParam(WM_LBUTTONDOWN));
    ASSERT_TRUE(WaitFor([&] { return m_pDlg->isVisible(); }));
    ASSERT_NE(m_pDlg->focusWidget(), nullptr);
    EXPECT_EQ(m_pDlg->focusWidget(), LoginButton());
    QTest::keyClick(m_pDlg->focusWidget(), Qt::Key_Return);
    EXPECT_EQ(Status(), "Logging in...");
    EXPECT_EQ(m_pDlg->findChild<CSignupDlg*>(), nullptr);
    // That attempt's own answer first, so the next result is the last word on the focus.
    ASSERT_TRUE(WaitFor([&] { return Status() == "Can't connect to server."; }));

    // A result that points at a field keeps the focus there when the form comes back.
    Post(UM_LOGIN_RESULT, "1003", "Wrong password.");
    EXPECT_EQ(m_pDlg->focusWidget(), Password());
    m_pDlg->hide();
    m_pDlg->ShowMain();
    EXPECT_EQ(m_pDlg->focusWidget(), Password());
    // A new user's form starts on "Login" again.
    m_pDlg->OnCommand(ID_SIGN_IN_NEW_USER);
    EXPECT_EQ(m_pDlg->focusWidget(), LoginButton());
}
