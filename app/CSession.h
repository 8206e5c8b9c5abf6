#pragma once

// Everything that lasts while a user is logged in, and the hub every window reaches: the
// two IRC connections with the chat rooms on them, the peer network and its invitations,
// the news window and the preferences. It lives as long as the login window that holds
// it; Start and End bracket each logged-in user. It knows nothing of the login form: what
// it needs from the window around it, it asks through CSessionHost, so it runs in tests
// without one. Window thread only.

#include "chat/CChatHost.h"
#include "chat/CIrcClient.h"
#include "hub/CMainWindow.h"
#include "peer/CPeerNet.h"
#include "util/SettingsNames.h"
#include "util/Strings.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <string>

class CChatDlg;
class CChatEvent;
class CNewsDlg;
class CPrefSheet;

// What the session asks of the window that holds it.
class CSessionHost {
public:
    virtual ~CSessionHost() = default;
    // Ends the process.
    virtual void Quit() = 0;
    // Nobody is logged in: the login form comes forward.
    virtual void ShowLoginForm() = 0;
    virtual void ShowTrayMenu(const QPoint& ptScreen) = 0;
    // A tray notification whose click runs fnOnClick (unless a later one replaced it).
    virtual void Notify(const std::string& strText, std::function<void()> fnOnClick) = 0;
};

class CSession final : public CMainWindow, public CChatHost, private CPeerHost {
public:
    // Between two notifications of the same moment, so the first can be read.
    static constexpr int NOTICE_GAP_MS = 10000;
    // At most one notification of a mention per this time: a flood of messages naming the
    // user must not flood the desktop. The newest of those held back shows when it ends.
    static constexpr std::chrono::milliseconds MENTION_GAP{5000};

    // Becomes the process's main window (MainWnd) and the handler of alert clicks.
    explicit CSession(CSessionHost& host);
    // Closes the news window and every chat window at once: no event loop runs any more.
    ~CSession() override;
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    // The credentials of the login attempt under way: a peer list that arrives with the
    // answer is refreshed with them.
    void SetCredentials(const std::string& strUser, const std::string& strPassword);
    // Parts of a login answer that come before its verdict.
    void SetFirewallRoute(const std::string& strRoute) { m_strFirewallRoute = strRoute; }
    // A new peer address list, or null when fetching one failed.
    void PeerListArrived(const CStringArray* pAddresses);

    // The last credentials set logged in: the news window (hidden; its first check starts),
    // the user's settings section, both IRC connections and the peer listener. A second
    // Start while active does nothing.
    void Start();
    // Sign-out or quit: the connections close, the news window, the preferences and the
    // user's invitations go. The settings section stays the leaving user's.
    void End();

    // CMainWindow
    void Quit() override { m_host.Quit(); }
    void OpenPrefs() override;
    void ShowMain() override;
    void OpenChatRequest(const std::string& strRequest) override;
    void ShowTrayMenu(const QPoint& ptScreen) override { m_host.ShowTrayMenu(ptScreen); }
    void Notify(const std::string& strText, std::function<void()> fnOnClick) override {
        m_host.Notify(strText, std::move(fnOnClick));
    }
    std::string UserName() const override { return m_strUser; }
    std::string Password() const override { return m_strPassword; }
    std::string Section() const override { return m_strSection; }
    bool InSession() const override { return m_bActive; }

    // CChatHost
    void MoveChatToUser(CChatDlg* pDlg) override;
    void MoveChatToGuest(CChatDlg* pDlg) override;
    void BroadcastEvent(const CChatEvent& event) override;
    void NotifyMention(CChatDlg* pDlg, const std::string& strText) override;
    // For tests: another gap between the notifications of mentions.
    void SetMentionGap(std::chrono::milliseconds gap) { m_mentionGap = gap; }

    // Raises or opens the chat window of a channel, on the guest's connection.
    void OpenChat(const std::string& strChannel, const std::string& strTopic,
                  const std::string& strUrl);
    // A click on an alert, or on an invitation in the tray menu: a "NEWS" event shows the
    // main window, any other the chat room the event names.
    void AlertClicked(const CChatEvent& event);
    // The tray menu's news commands; nothing while nobody is logged in.
    void UpdateNews();
    void ShowPastNews();

    // The servers the connections take in turn: the firewall route on its port when the
    // user is behind a firewall, else the servers of the settings or the built-in one
    // (DefaultIrcRoutes).
    std::vector<CIrcRoute> IrcRoutes() const;
    CIrcClient& UserClient() { return m_ircUser; }
    CIrcClient& GuestClient() { return m_ircGuest; }
    CPeerNet& PeerNet() { return m_peerNet; }
    const std::string& FirewallRoute() const { return m_strFirewallRoute; }
    // The news window while a user is logged in; the preferences sheet while it is open.
    CNewsDlg* NewsWindow() const { return m_pNewsDlg; }
    CPrefSheet* PrefSheet() const;

private:
    void MoveChat(CChatDlg* pDlg, CIrcClient& from, CIrcClient& to);
    void CloseChatWindows();
    void OnPrefsClosed(int nResult);
    // The mention held back, with how many came since the last one shown.
    void ShowMention();
    // Brings the chat window of a channel forward, if it is still open.
    void RaiseRoom(const std::string& strChannel);
    // The peer port could not be opened: the news window says why, and a notification
    // says so once per run (after bAfterAnotherNotice's notification has been read).
    void ReportUnreachable(const std::string& strWhy, bool bAfterAnotherNotice);
    // CPeerHost
    void PeerCountChanged(int nPeers) override;
    void ChatInvitation(const CChatEvent& event, const std::string& strFrom) override;
    void RefreshPeerList() override;
    void OpenRoom(const CChatRequest& request) override;

    CSessionHost& m_host;
    // The chat connections; their windows are closed before they go.
    CIrcClient m_ircUser;
    CIrcClient m_ircGuest;
    CPeerNet m_peerNet;
    std::string m_strUser;
    std::string m_strPassword;
    std::string m_strSection = SECTION_PREFS;
    std::string m_strFirewallRoute;
    bool m_bActive = false;
    // Set once the user was told that other clients cannot connect to this one.
    bool m_bToldUnreachable = false;
    // Owned; ended with Destroy(), as it may be inside one of its own handlers.
    CNewsDlg* m_pNewsDlg = nullptr;
    QPointer<CPrefSheet> m_pPrefSheet;
    std::chrono::milliseconds m_mentionGap = MENTION_GAP;
    std::chrono::steady_clock::time_point m_lastMention;
    bool m_bMentionShown = false;
    bool m_bMentionWaits = false;
    int m_nMentionsHeld = 0;
    std::string m_strMentionChannel;
    std::string m_strMentionText;
    // Context of delayed notices, so none runs after the session is gone.
    QObject m_context;
};
