// The login window's form and login flow: building the form, filling it from the
// settings, logging in, taking the login answer's messages, the retry and the version
// notice.

#include "app/CLoginDlg.h"

#include "app/CNewVersionDlg.h"
#include "app/CSignupDlg.h"
#include "app/ServiceRequests.h"
#include "gui/ResourceIds.h"
#include "gui/Shell.h"
#include "gui/Tray.h"
#include "platform/Logging.h"
#include "platform/Profile.h"
#include "ui/CHyperLink.h"
#include "ui/FixedWindow.h"
#include "ui/MessageBox.h"
#include "ui/WindowPlacement.h"
#include "util/Net.h"
#include "util/Settings.h"
#include "util/Version.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <utility>

const char* const STR_VERSION_COUNT = "1";

namespace {

constexpr const char* kStatusIdle = PRODUCT_TITLE;

std::string Text(const QLineEdit* pEdit) { return pEdit->text().toStdString(); }

}  // namespace

CLoginDlg::CLoginDlg(QWidget* pParent)
    : QDialog(pParent), m_timers([this](int nIDEvent) { OnTimer(nIDEvent); }) {
    setWindowTitle(PRODUCT_NAME);
    setWindowIcon(LoadAppIcon(IDI_MAIN));
    // Only the process lives inside this window's loop; other windows stay usable.
    setModal(false);
    BuildForm();
    MakeFixedWindow(this, true);
    SetMainWindowHandle(Handle());
}

CLoginDlg::~CLoginDlg() {
    TrayRemove();
    if (MainWindowHandle() == Handle()) {
        SetMainWindowHandle(0);
    }
}

void CLoginDlg::BuildForm() {
    m_pUserEdit = new QLineEdit(this);
    m_pUserEdit->setObjectName("username");
    m_pPasswordEdit = new QLineEdit(this);
    m_pPasswordEdit->setObjectName("password");
    m_pPasswordEdit->setEchoMode(QLineEdit::Password);
    m_pAutoLoginCheck = new QCheckBox("Auto login", this);
    m_pAutoLoginCheck->setObjectName("autologin");
    m_pFirewallCheck = new QCheckBox("Firewall?", this);
    m_pFirewallCheck->setObjectName("firewall");
    m_pLoginButton = new QPushButton("Login", this);
    m_pLoginButton->setObjectName("login");
    m_pLoginButton->setDefault(true);
    m_pCancelButton = new QPushButton("Cancel", this);
    m_pCancelButton->setObjectName("cancel");
    m_pCancelButton->setEnabled(false);
    m_pLink = new CHyperLink("Need To Register? Click Here!", this);
    m_pLink->setObjectName("register");
    m_pStatus = new QLabel(kStatusIdle, this);
    m_pStatus->setObjectName("status");
    // It shows the service's own texts, which must never be read as markup.
    m_pStatus->setTextFormat(Qt::PlainText);
    m_pStatus->setAlignment(Qt::AlignCenter);
    m_pStatus->setWordWrap(true);
    connect(m_pLoginButton, &QPushButton::clicked, this, &CLoginDlg::OnLogin);
    connect(m_pCancelButton, &QPushButton::clicked, this, &CLoginDlg::OnCancelLogin);
    // Mouse clicks on the link fall through to mouseReleaseEvent; the keyboard comes here.
    connect(m_pLink, &CHyperLink::activated, this, &CLoginDlg::RunSignup);

    auto* pGrid = new QGridLayout(this);
    pGrid->addWidget(new QLabel("Username:", this), 0, 0);
    pGrid->addWidget(m_pUserEdit, 0, 1, 1, 2);
    pGrid->addWidget(new QLabel("Password:", this), 1, 0);
    pGrid->addWidget(m_pPasswordEdit, 1, 1, 1, 2);
    pGrid->addWidget(m_pAutoLoginCheck, 2, 1);
    pGrid->addWidget(m_pFirewallCheck, 2, 2);
    pGrid->addWidget(m_pLoginButton, 3, 1);
    pGrid->addWidget(m_pCancelButton, 3, 2);
    pGrid->addWidget(m_pLink, 4, 0, 1, 3);
    pGrid->addWidget(m_pStatus, 5, 0, 1, 3);
}

void CLoginDlg::Create() {
    OnInitDialog();
    show();
    FocusForm();
    // Once the event loop has drawn it.
    QTimer::singleShot(0, this, [] { qCInfo(AppLog) << "login window shown"; });
}

int CLoginDlg::DoModal() {
    // The process's one event loop: it runs at start-up, never inside a handler.
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    Create();
    loop.exec();
    return result();
}

void CLoginDlg::OnInitDialog() {
    TrayAdd();
    SetStatus(kStatusIdle);
    LoadForm();
    m_bIgnoreResult = false;
    // Only a stored decision logs in by itself; a first start just ticks the box.
    if (ReadFlag(SETTING_AUTOLOGIN) && m_bReadingPassword) {
        m_bLoginAfterRead = true;
    } else if (ReadFlag(SETTING_AUTOLOGIN)) {
        OnLogin();
    }
}

void CLoginDlg::LoadForm() {
    m_pResultField = nullptr;
    m_strUsername = ReadSetting(SETTING_USERNAME);
    m_strPassword = ReadSetting(SETTING_PASSWORD);
    m_bAutoLogin = ReadFlag(SETTING_AUTOLOGIN_BOX);
    m_bFirewall = ReadFlag(SETTING_HAS_FIREWALL);
    UpdateData(false);
    m_bReadingPassword = false;
    m_bLoginAfterRead = false;
    if (m_strPassword.empty() && !m_strUsername.empty() && ReadFlag(SETTING_PASSWORD_IN_KEYRING)) {
        ReadKeyringPassword();
    }
}

void CLoginDlg::ReadKeyringPassword() {
    const unsigned nRead = ++m_nKeyringRead;
    m_bReadingPassword = true;
    SetStatus("Reading the password from the keyring...");
    m_secrets.Read(m_strUsername, this,
                   [this, nRead](std::optional<std::string> password, const QString& strWhy) {
                       if (nRead == m_nKeyringRead && m_bReadingPassword) {
                           OnKeyringPassword(password, strWhy);
                       }
                   });
}

void CLoginDlg::OnKeyringPassword(const std::optional<std::string>& password,
                                  const QString& strWhy) {
    m_bReadingPassword = false;
    if (password) {
        qCInfo(AppLog) << "password read from the keyring";
        m_pPasswordEdit->setText(QString::fromStdString(*password));
    } else {
        qCInfo(AppLog).noquote() << "no password from the keyring:" << strWhy;
    }
    SetStatus(kStatusIdle);
    if (std::exchange(m_bLoginAfterRead, false)) {
        OnLogin();
    } else if (isVisible()) {
        FocusForm();
    }
}

void CLoginDlg::StorePassword() {
    const unsigned nWrite = ++m_nKeyringWrite;
    const std::string strPassword = m_strPassword;
    m_secrets.Write(m_strUsername, strPassword, this,
                    [this, nWrite, strPassword](bool bStored, const QString& strWhy) {
                        if (nWrite != m_nKeyringWrite) {
                            return;  // a later log-in's password is on its way
                        }
                        CProfileBatch batch;
                        WriteSetting(SETTING_PASSWORD_IN_KEYRING, bStored ? 1 : 0);
                        if (bStored) {
                            qCInfo(AppLog) << "password stored in the keyring";
                            RemoveSetting(SETTING_PASSWORD);
                        } else {
                            qCInfo(AppLog).noquote()
                                << "no keyring took the password, the settings file keeps it:"
                                << strWhy;
                            WriteSetting(SETTING_PASSWORD, strPassword);
                        }
                    });
}

void CLoginDlg::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        m_strUsername = Text(m_pUserEdit);
        m_strPassword = Text(m_pPasswordEdit);
        m_bAutoLogin = m_pAutoLoginCheck->isChecked();
        m_bFirewall = m_pFirewallCheck->isChecked();
    } else {
        m_pUserEdit->setText(QString::fromStdString(m_strUsername));
        m_pPasswordEdit->setText(QString::fromStdString(m_strPassword));
        m_pAutoLoginCheck->setChecked(m_bAutoLogin);
        m_pFirewallCheck->setChecked(m_bFirewall);
    }
}

void CLoginDlg::SetStatus(const std::string& strText) { SetStatusText(m_pStatus, strText); }

void CLoginDlg::SetFormEnabled(bool bEnabled) {
    for (QWidget* pControl : std::initializer_list<QWidget*>{
             m_pUserEdit, m_pPasswordEdit, m_pLoginButton, m_pAutoLoginCheck, m_pFirewallCheck}) {
        pControl->setEnabled(bEnabled);
    }
    m_pCancelButton->setEnabled(!bEnabled);
}

void CLoginDlg::SetIdleState() { SetFormEnabled(true); }

void CLoginDlg::FocusForm() {
    // While the form is disabled for a login the focus wanders on (to the sign-up link,
    // where Enter starts a sign-up), and a window shown again keeps it there: it is put
    // back each time the form appears. An empty field is where the typing has to start.
    QWidget* pFocus = m_pResultField;
    if (!pFocus && m_pUserEdit->text().isEmpty()) {
        pFocus = m_pUserEdit;
    } else if (!pFocus && m_pPasswordEdit->text().isEmpty()) {
        pFocus = m_pPasswordEdit;
    } else if (!pFocus) {
        pFocus = m_pLoginButton;
    }
    pFocus->setFocus();
}

void CLoginDlg::OnLogin() {
    UpdateData(true);
    if (m_bReadingPassword && m_strPassword.empty()) {
        m_bLoginAfterRead = true;  // the keyring is still to answer
        return;
    }
    m_bReadingPassword = false;  // a typed password wins over the keyring's
    SetFormEnabled(false);
    m_timers.KillTimer(TIMER_LOGIN_RETRY);
    if (m_strUsername.empty() || m_strPassword.empty()) {
        SetIdleState();
        FocusForm();
        SetStatus("You must fill out all fields.");
        return;
    }
    SetStatus("Logging in...");
    m_session.SetCredentials(m_strUsername, m_strPassword);
    StartLoginThread(MakeCredentials(m_strUsername, m_strPassword));
    WriteSetting(SETTING_HAS_FIREWALL, m_bFirewall ? 1 : 0);
}

void CLoginDlg::OnCancelLogin() {
    // The request keeps running; its result is dropped when it comes.
    SetIdleState();
    m_bIgnoreResult = true;
    SetStatus(PRODUCT_VERSION_LINE);
}

void CLoginDlg::OnLoginResult(const std::string& strCode, const std::string& strText) {
    if (m_bIgnoreResult) {
        m_bIgnoreResult = false;
        return;
    }
    UpdateData(true);
    QWidget* pFocus = nullptr;
    if (strCode == RESULT_UNKNOWN_USER) {
        pFocus = m_strPassword.empty() ? m_pPasswordEdit : m_pUserEdit;
    } else if (strCode == RESULT_NAME_REFUSED) {
        pFocus = m_pUserEdit;
    } else if (strCode == RESULT_WRONG_PASSWORD) {
        pFocus = m_pPasswordEdit;
    } else if (strCode == RESULT_SERVER_ERROR || strCode == RESULT_NO_CONNECTION) {
        pFocus = m_pLoginButton;
    } else if (strCode == RESULT_OK) {
        OnLoggedIn();
        return;
    } else {
        return;  // unknown: the form waits in its logging-in state for Cancel
    }
    m_pResultField = pFocus == m_pLoginButton ? nullptr : pFocus;
    SetIdleState();
    FocusForm();
    SetStatus(strText);
    if (strCode == RESULT_NO_CONNECTION) {
        HideOffline(strText);
    }
}

void CLoginDlg::HideOffline(const std::string& strText) {
    TraySet(IDI_OFFLINE, "Offline");
    // The window vanishes into the tray; say once where it went and what happens next.
    if (isVisible() || !m_bOfflineNoticeLast) {
        const bool bRetries = ReadFlag(SETTING_AUTOLOGIN);
        Notify(strText + "\n" +
                   (bRetries ? "Vocalon tries again every 5 minutes."
                             : "Click the icon to show the login form."),
               [this] { ShowMain(); });
        m_bOfflineNoticeLast = true;
    }
    hide();
    m_timers.SetTimer(TIMER_LOGIN_RETRY, LOGIN_RETRY_PERIOD_MS);
}

void CLoginDlg::mouseReleaseEvent(QMouseEvent* pEvent) {
    // The link has no click of its own; its release falls through to this window.
    if (pEvent->button() == Qt::LeftButton &&
        m_pLink->geometry().contains(pEvent->position().toPoint())) {
        RunSignup();
    }
    QDialog::mouseReleaseEvent(pEvent);
}

void CLoginDlg::RunSignup() {
    if (RaiseIfOpen(m_pSignupDlg)) {
        return;
    }
    m_pSignupDlg = new CSignupDlg(this);
    m_pSignupDlg->setAttribute(Qt::WA_DeleteOnClose);
    CSignupDlg* pDlg = m_pSignupDlg;
    connect(pDlg, &QDialog::finished, this, [this, pDlg](int nResult) {
        if (nResult != QDialog::Accepted) {
            return;
        }
        m_strUsername = pDlg->UserName();
        m_strPassword = pDlg->Password();
        m_bAutoLogin = true;
        UpdateData(false);
        SetStatus(kStatusIdle);
    });
    pDlg->open();
}

bool CLoginDlg::event(QEvent* pEvent) {
    auto* pApp = dynamic_cast<CAppEvent*>(pEvent);
    if (!pApp) {
        return QDialog::event(pEvent);
    }
    switch (pApp->Message()) {
        case UM_FIREWALL_ROUTE:
            m_session.SetFirewallRoute(WParamOf<UM_FIREWALL_ROUTE>(*pApp));
            break;
        case UM_PEER_LIST: {
            const std::optional<CStringArray>& addresses = WParamOf<UM_PEER_LIST>(*pApp);
            m_session.PeerListArrived(addresses ? &*addresses : nullptr);
            break;
        }
        case UM_LOGIN_RESULT:
            OnLoginResult(WParamOf<UM_LOGIN_RESULT>(*pApp), LParamOf<UM_LOGIN_RESULT>(*pApp));
            break;
        case UM_VERSION_NOTICE:
            OnVersionNotice(WParamOf<UM_VERSION_NOTICE>(*pApp), LParamOf<UM_VERSION_NOTICE>(*pApp));
            break;
        case UM_TRAY_NOTIFY: OnTrayNotify(LParamOf<UM_TRAY_NOTIFY>(*pApp)); break;
        case UM_WORKER_MESSAGE: ShowWorkerMessage(WParamOf<UM_WORKER_MESSAGE>(*pApp)); break;
        default: return QDialog::event(pEvent);
    }
    return true;
}

void CLoginDlg::ShowWorkerMessage(const std::string& strText) {
    OpenMessageBox(nullptr, QMessageBox::Warning, PRODUCT_NAME, QString::fromStdString(strText));
}

void CLoginDlg::OnLoggedIn() {
    SetStatus("Success!");
    TraySet(IDI_MAIN, "");
    m_timers.KillTimer(TIMER_LOGIN_RETRY);
    if (m_session.InSession()) {
        return;  // a late second success must not start a second session
    }
    {
        CProfileBatch batch;
        WriteSetting(SETTING_USERNAME, m_strUsername);
        WriteSetting(SETTING_AUTOLOGIN, m_bAutoLogin ? 1 : 0);
    }
    // The settings file gets the password only once the keyring has refused it.
    StorePassword();
    hide();
    m_session.Start();
}

void CLoginDlg::SignInNewUser() {
    SetStatus(kStatusIdle);
    LoadForm();
    SetIdleState();
    m_timers.KillTimer(TIMER_LOGIN_RETRY);
    m_session.End();
    ShowMain();
}

void CLoginDlg::Quit() {
    m_timers.KillTimer(TIMER_LOGIN_RETRY);
    m_session.End();
    done(QDialog::Accepted);
}

void CLoginDlg::OnVersionNotice(const std::string& strLatest, const std::string& strUrl) {
    if (ReadFlag(SETTING_DO_NOT_BOTHER_ME)) {
        return;
    }
    if (ParseInt(strLatest) <= ParseInt(STR_VERSION_COUNT) || m_pNewVersionDlg) {
        return;
    }
    m_pNewVersionDlg = new CNewVersionDlg(this);
    m_pNewVersionDlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_pNewVersionDlg, &QDialog::finished, this, [strUrl](int nResult) {
        // Only a web page is opened: the address comes from the network.
        if (nResult == QDialog::Accepted && IsWebUrl(strUrl)) {
            ShellOpen(strUrl);
        }
    });
    m_pNewVersionDlg->open();
}

void CLoginDlg::OnTimer(int nIDEvent) {
    if (nIDEvent == TIMER_LOGIN_RETRY) {
        m_timers.KillTimer(TIMER_LOGIN_RETRY);
        if (m_session.InSession()) {
            return;  // logged in meanwhile: nothing to retry
        }
        if (ReadFlag(SETTING_AUTOLOGIN)) {
            OnLogin();
        }
        m_timers.SetTimer(TIMER_LOGIN_RETRY, LOGIN_RETRY_PERIOD_MS);
    }
}
