#pragma once

// The login window: the main window for the whole life of the process. It shows the login
// form while nobody is logged in; once a user is, it hides and owns everything that lasts
// for the session: the tray icon and its menu, the news window, the chat connections and
// the peer network. Other windows reach it through MainWnd().

#include "chat/CIrcClient.h"
#include "hub/CMainWindow.h"
#include "peer/CPeerNet.h"
#include "platform/AppEvent.h"
#include "platform/CTimerSet.h"
#include "util/Strings.h"

#include <QDialog>
#include <QPointer>

#include <memory>
#include <string>

class CAboutDlg;
class CChatDlg;
class CHyperLink;
class CNewVersionDlg;
class CNewsDlg;
class CPrefSheet;
class CSignupDlg;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

// The version of this build, compared with the service's announced latest version.
extern const char* const STR_VERSION_COUNT;

class CLoginDlg final : public QDialog, public CMainWindow, private CPeerHost {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CLoginDlg)

public:
    explicit CLoginDlg(QWidget* pParent = nullptr);
    ~CLoginDlg() override;

    CWindowHandle Handle() const { return m_handle.Handle(); }

    // Prepares the window (tray icon, form, auto-login) and shows it.
    void Create();
    // Create, then run until Quit; the rest of the program lives inside.
    int DoModal();

    // CMainWindow
    void Quit() override;
    void OpenPrefs() override;
    void ShowMain() override;
    void OpenChatRequest(const std::string& strRequest) override;
    void ShowTrayMenu(const QPoint& ptScreen) override;
    std::string UserName() const override { return m_strUsername; }
    std::string Password() const override { return m_strPassword; }

    // Raises or opens the chat window of a channel.
    void OpenChat(const std::string& strChannel, const std::string& strTopic,
                  const std::string& strUrl);
    // Moves a chat window to the user's own connection, or back to the guest's.
    void MoveChatToUser(CChatDlg* pDlg) override;
    void MoveChatToGuest(CChatDlg* pDlg) override;
    CIrcClient& UserClient() { return m_ircUser; }
    CIrcClient& GuestClient() { return m_ircGuest; }
    void BroadcastEvent(const CChatEvent& event) override;
    void AlertClicked(const CChatEvent& event) override;
    CPeerNet& PeerNet() { return m_peerNet; }

    // Runs a tray-menu command.
    void OnCommand(int nID);
    // The tray menu while it is open, the preferences sheet while it is open.
    QMenu* TrayMenu() const;
    CPrefSheet* PrefSheet() const;
    // A tray icon click, given its mouse message.
    void OnTrayNotify(int nMouseMessage);
    void OnTimer(int nIDEvent);
    const CTimerSet& Timers() const { return m_timers; }

    // The news window while a user is logged in.
    CNewsDlg* NewsWindow() const { return m_pNewsDlg; }

protected:
    bool event(QEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    // Enter and Escape never close the window.
    void accept() override {}
    void reject() override {}

private:
    void BuildForm();
    void OnInitDialog();
    // true: controls to members; false: members to controls.
    void UpdateData(bool bSaveAndValidate);
    void LoadForm();
    void SetIdleState();
    void OnLogin();
    void OnCancelLogin();
    void OnLoginResult(const std::string& strCode, const std::string& strText);
    void OnVersionNotice(const std::string& strLatest, const std::string& strUrl);
    void StartSession();
    void SignInNewUser();
    void EndSession();
    void RunSignup();
    void SetStatus(const std::string& strText);
    void SetFormEnabled(bool bEnabled);
    // Puts the focus where the user goes on when the form appears: on "Login", unless the
    // last login result pointed at a field or a field is still empty.
    void FocusForm();
    void HideOffline(const std::string& strText);
    // The peer port could not be opened: the news window says why, and a notification
    // says so once per run (after bAfterAnotherNotice's notification has been read).
    void ReportUnreachable(const std::string& strWhy, bool bAfterAnotherNotice);
    void OnNotificationClicked();
    void OnPrefsClosed(int nResult);
    void ShowAbout();
    void ShowWorkerMessage(const std::string& strText);
    void InitChatClients();
    void CloseChatWindows();
    void MoveChat(CChatDlg* pDlg, CIrcClient& from, CIrcClient& to);
    // A new peer address list, or null when fetching one failed.
    void PeerListArrived(const CStringArray* pAddresses);
    // CPeerHost
    void PeerCountChanged(int nPeers) override;
    void ChatInvitation(const CChatEvent& event, const std::string& strFrom) override;
    void RefreshPeerList() override;

    CHandleRegistration m_handle{this};
    // The chat connections; their windows are closed before they go.
    CIrcClient m_ircUser;
    CIrcClient m_ircGuest;
    CPeerNet m_peerNet;
    CTimerSet m_timers;

    QLineEdit* m_pUserEdit = nullptr;
    QLineEdit* m_pPasswordEdit = nullptr;
    QCheckBox* m_pAutoLoginCheck = nullptr;
    QCheckBox* m_pFirewallCheck = nullptr;
    QPushButton* m_pLoginButton = nullptr;
    QPushButton* m_pCancelButton = nullptr;
    CHyperLink* m_pLink = nullptr;
    QLabel* m_pStatus = nullptr;

    std::string m_strPassword;
    std::string m_strUsername;
    bool m_bAutoLogin = false;
    bool m_bFirewall = false;

    // Owned; ended with Destroy(), as it may be inside one of its own handlers.
    CNewsDlg* m_pNewsDlg = nullptr;
    // Set by Cancel: the next login result to arrive is dropped.
    bool m_bIgnoreResult = false;
    // The field the last login result chose (a wrong password: the password); null for
    // "Login".
    QWidget* m_pResultField = nullptr;

    // What the last tray notification was about, for its click.
    enum class ENotice { None, Offline, ChooseSources, Unreachable };
    ENotice m_notice = ENotice::None;
    // Set once the user was told that other clients cannot connect to this one.
    bool m_bToldUnreachable = false;

    // Windows that run without a nested event loop; at most one of each at a time.
    QPointer<QMenu> m_pTrayMenu;
    QPointer<CPrefSheet> m_pPrefSheet;
    QPointer<CSignupDlg> m_pSignupDlg;
    QPointer<CAboutDlg> m_pAboutDlg;
    QPointer<CNewVersionDlg> m_pNewVersionDlg;
};
