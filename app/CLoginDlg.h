#pragma once

// The login window: the login form, the login flow and the tray icon with its menu. It is
// the first window of the process and lives as long as it; it hides once a user is logged
// in. Everything the logged-in user has (the news window, the chat connections, the peer
// network) belongs to the session it holds.
//
// The password of a successful log-in goes to the desktop's keyring and out of the settings
// file; where no keyring takes it, the settings file keeps it. The form reads it back from
// the keyring without waiting for it, and an automatic log-in starts once it is read.

#include "app/CSession.h"
#include "platform/AppEvent.h"
#include "platform/CSecretStore.h"
#include "platform/CTimerSet.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <optional>
#include <string>

class CAboutDlg;
class CHyperLink;
class CNewVersionDlg;
class CSignupDlg;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

// The version of this build, compared with the service's announced latest version.
extern const char* const STR_VERSION_COUNT;

class CLoginDlg final : public QDialog, private CSessionHost {
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

    // The login flow.
    void OnLogin();
    void Quit() override;
    CSession& Session() { return m_session; }
    void OnTimer(int nIDEvent);
    const CTimerSet& Timers() const { return m_timers; }

    // The tray: a click on the icon, given its mouse message; the menu and its commands.
    void OnTrayNotify(int nMouseMessage);
    void ShowMain() { m_session.ShowMain(); }
    void ShowTrayMenu(const QPoint& ptScreen) override;
    void OnCommand(int nID);
    // The tray menu while it is open.
    QMenu* TrayMenu() const;

protected:
    bool event(QEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    // Enter and Escape never close the window.
    void accept() override {}
    void reject() override {}

private:
    // The form.
    void BuildForm();
    void OnInitDialog();
    // true: controls to members; false: members to controls.
    void UpdateData(bool bSaveAndValidate);
    void LoadForm();
    void SetIdleState();
    void SetStatus(const std::string& strText);
    void SetFormEnabled(bool bEnabled);
    // Puts the focus where the user goes on when the form appears: on "Login", unless the
    // last login result pointed at a field or a field is still empty.
    void FocusForm();
    void RunSignup();
    // The login flow.
    void OnCancelLogin();
    void OnLoginResult(const std::string& strCode, const std::string& strText);
    void OnLoggedIn();
    void OnVersionNotice(const std::string& strLatest, const std::string& strUrl);
    // The password in the keyring: read into the form, and stored after a log-in.
    void ReadKeyringPassword();
    void OnKeyringPassword(const std::optional<std::string>& password, const QString& strWhy);
    void StorePassword();
    void HideOffline(const std::string& strText);
    void SignInNewUser();
    void ShowWorkerMessage(const std::string& strText);
    // The tray.
    void OnNotificationClicked();
    void ShowAbout();
    // CSessionHost
    void ShowLoginForm() override;
    void Notify(const std::string& strText, std::function<void()> fnOnClick) override;

    CHandleRegistration m_handle{this};
    CTimerSet m_timers;
    CSession m_session{*this};

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

    // Set by Cancel: the next login result to arrive is dropped.
    bool m_bIgnoreResult = false;

    CSecretStore m_secrets{"vocalon"};
    // Counts the keyring reads and writes started: only the last one's answer counts.
    unsigned m_nKeyringRead = 0;
    unsigned m_nKeyringWrite = 0;
    bool m_bReadingPassword = false;
    // An automatic log-in waits for the read.
    bool m_bLoginAfterRead = false;
    // The field the last login result chose (a wrong password: the password); null for
    // "Login".
    QWidget* m_pResultField = nullptr;

    // What a click on the last tray notification does; set while the last one was the
    // offline notice, which is said once until the window shows again.
    std::function<void()> m_fnNotificationClick;
    bool m_bOfflineNoticeLast = false;

    // Windows that run without a nested event loop; at most one of each at a time.
    QPointer<QMenu> m_pTrayMenu;
    QPointer<CSignupDlg> m_pSignupDlg;
    QPointer<CAboutDlg> m_pAboutDlg;
    QPointer<CNewVersionDlg> m_pNewVersionDlg;
};
