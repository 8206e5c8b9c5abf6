#include "app/CLoginDlg.h"

#include "app/CAboutDlg.h"
#include "app/CNewVersionDlg.h"
#include "app/CSignupDlg.h"
#include "app/ServiceRequests.h"
#include "app/TrayMenu.h"
#include "news/CNewsDlg.h"
#include "news/CPrefSheet.h"
#include "platform/Profile.h"
#include "platform/ResourceIds.h"
#include "platform/Shell.h"
#include "platform/Tray.h"
#include "ui/CHyperLink.h"
#include "util/Net.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QEventLoop>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>

const char* const STR_VERSION_COUNT = "1";

namespace {

constexpr int kRetryPeriodMs = 300000;
constexpr int kPeerRefreshPeriodMs = 300000;

std::string Text(const QLineEdit* pEdit) { return pEdit->text().toStdString(); }

}  // namespace

CLoginDlg::CLoginDlg(QWidget* pParent)
    : QDialog(pParent), m_timers([this](int nIDEvent) { OnTimer(nIDEvent); }) {
    setWindowTitle("Vocalon");
    setWindowIcon(LoadAppIcon(IDI_MAIN));
    // Only the process lives inside this window's loop; other windows stay usable.
    setModal(false);
    BuildForm();
    SetMainWindow(Handle());
    SetMainWnd(this);
}

CLoginDlg::~CLoginDlg() {
    // No event loop runs any more: the news window goes at once.
    delete m_pNewsDlg;
    m_pNewsDlg = nullptr;
    EndSession();
    TrayRemove();
    if (MainWnd() == this) {
        SetMainWnd(nullptr);
    }
    if (MainWindow() == Handle()) {
        SetMainWindow(0);
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
    m_pStatus = new QLabel("Vocalon v2.0", this);
    m_pStatus->setObjectName("status");
    // It shows the service's own texts, which must never be read as markup.
    m_pStatus->setTextFormat(Qt::PlainText);
    m_pStatus->setAlignment(Qt::AlignCenter);
    connect(m_pLoginButton, &QPushButton::clicked, this, &CLoginDlg::OnLogin);
    connect(m_pCancelButton, &QPushButton::clicked, this, &CLoginDlg::OnCancelLogin);

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
}

int CLoginDlg::DoModal() {
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    Create();
    loop.exec();
    return result();
}

void CLoginDlg::OnInitDialog() {
    TrayAdd();
    SetStatus("Vocalon v2.0");
    LoadForm();
    m_bIgnoreResult = false;
    // Only a stored decision logs in by itself; a first start just ticks the box.
    if (GetProfileInt("Prefs", "autologin", 0) != 0) {
        OnLogin();
    }
}

void CLoginDlg::LoadForm() {
    m_strUsername = GetProfileString("Prefs", "username", "");
    m_strPassword = GetProfileString("Prefs", "password", "");
    m_bAutoLogin = GetProfileInt("Prefs", "autologin", 1) != 0;
    m_bFirewall = GetProfileInt("Prefs", "has_firewall", 0) != 0;
    UpdateData(false);
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

void CLoginDlg::SetStatus(const std::string& strText) {
    m_pStatus->setText(QString::fromStdString(strText));
}

void CLoginDlg::SetIdleState() {
    for (QWidget* pControl : std::initializer_list<QWidget*>{
             m_pUserEdit, m_pPasswordEdit, m_pLoginButton, m_pAutoLoginCheck, m_pFirewallCheck}) {
        pControl->setEnabled(true);
    }
    m_pCancelButton->setEnabled(false);
}

void CLoginDlg::OnLogin() {
    for (QWidget* pControl : std::initializer_list<QWidget*>{
             m_pUserEdit, m_pPasswordEdit, m_pLoginButton, m_pAutoLoginCheck, m_pFirewallCheck}) {
        pControl->setEnabled(false);
    }
    m_pCancelButton->setEnabled(true);
    UpdateData(true);
    m_timers.KillTimer(TIMER_LOGIN_RETRY);
    if (m_strUsername.empty() || m_strPassword.empty()) {
        SetIdleState();
        SetStatus("You must fill out all fields.");
        return;
    }
    SetStatus("Logging in...");
    StartLoginThread(MakeCredentials(m_strUsername, m_strPassword));
    WriteProfileInt("Prefs", "has_firewall", m_bFirewall ? 1 : 0);
}

void CLoginDlg::OnCancelLogin() {
    // The request keeps running; its result is dropped when it comes.
    SetIdleState();
    m_bIgnoreResult = true;
    SetStatus("Vocalon Version 2.0");
}

bool CLoginDlg::event(QEvent* pEvent) {
    auto* pApp = dynamic_cast<CAppEvent*>(pEvent);
    if (!pApp) {
        return QDialog::event(pEvent);
    }
    auto text = [](const std::string* pText) { return pText ? *pText : std::string(); };
    switch (pApp->Message()) {
        case UM_FIREWALL_ROUTE:
            m_strFirewallRoute = text(pApp->WParam<std::string>());
            break;
        case UM_PEER_LIST:
            PeerListArrived(pApp->WParam<CStringArray>());
            break;
        case UM_LOGIN_RESULT:
            OnLoginResult(text(pApp->WParam<std::string>()), text(pApp->LParam<std::string>()));
            break;
        case UM_VERSION_NOTICE:
            OnVersionNotice(text(pApp->WParam<std::string>()), text(pApp->LParam<std::string>()));
            break;
        case UM_TRAY_NOTIFY:
            if (const int* pMouse = pApp->LParam<int>()) {
                OnTrayNotify(*pMouse);
            }
            break;
        case UM_WORKER_MESSAGE: {
            QMessageBox box(QMessageBox::Warning, "Vocalon",
                            QString::fromStdString(text(pApp->WParam<std::string>())));
            box.setTextFormat(Qt::PlainText);
            box.exec();
            break;
        }
        default:
            return QDialog::event(pEvent);
    }
    return true;
}

void CLoginDlg::OnLoginResult(const std::string& strCode, const std::string& strText) {
    if (m_bIgnoreResult) {
        m_bIgnoreResult = false;
        return;
    }
    UpdateData(true);
    QWidget* pFocus = nullptr;
    if (strCode == "1001") {
        pFocus = m_strPassword.empty() ? m_pPasswordEdit : m_pUserEdit;
    } else if (strCode == "1002") {
        pFocus = m_pUserEdit;
    } else if (strCode == "1003") {
        pFocus = m_pPasswordEdit;
    } else if (strCode == RESULT_SERVER_ERROR || strCode == RESULT_NO_CONNECTION) {
        pFocus = m_pLoginButton;
    } else if (strCode == "0") {
        StartSession();
        return;
    } else {
        return;  // unknown: the form waits in its logging-in state for Cancel
    }
    SetIdleState();
    pFocus->setFocus();
    if (strCode == RESULT_NO_CONNECTION) {
        TraySet(IDI_OFFLINE, "Offline");
        hide();
        m_timers.SetTimer(TIMER_LOGIN_RETRY, kRetryPeriodMs);
    }
    SetStatus(strText);
}

void CLoginDlg::StartSession() {
    SetStatus("Success!");
    TraySet(IDI_MAIN, "");
    m_timers.KillTimer(TIMER_LOGIN_RETRY);
    if (m_bSession) {
        return;  // a late second success must not start a second session
    }
    WriteProfileString("Prefs", "username", m_strUsername);
    WriteProfileString("Prefs", "password", m_strPassword);
    WriteProfileInt("Prefs", "autologin", m_bAutoLogin ? 1 : 0);
    m_bSession = true;
    // Created hidden; its creation starts the first news check.
    m_pNewsDlg = new CNewsDlg;
    hide();
    m_strSection = "Prefs-" + m_strUsername;
    m_pNewsDlg->ApplyDisplaySettings();
}

void CLoginDlg::EndSession() {
    m_bSession = false;
    if (m_pNewsDlg) {
        m_pNewsDlg->Destroy();
        m_pNewsDlg = nullptr;
    }
}

void CLoginDlg::OnVersionNotice(const std::string& strLatest, const std::string& strUrl) {
    if (GetProfileInt("Prefs", "do_not_bother_me", 0) != 0) {
        return;
    }
    if (ParseInt(strLatest) <= ParseInt(STR_VERSION_COUNT)) {
        return;
    }
    CNewVersionDlg dlg(this);
    // Only a web page is opened: the address comes from the network.
    if (dlg.exec() == QDialog::Accepted && IsWebUrl(strUrl)) {
        ShellOpen(strUrl);
    }
}

void CLoginDlg::PeerListArrived(const CStringArray* pAddresses) {
    m_timers.KillTimer(TIMER_PEER_REFRESH);
    if (pAddresses) {
        m_pendingAddresses = *pAddresses;
    }
    m_timers.SetTimer(TIMER_PEER_REFRESH, kPeerRefreshPeriodMs);
}

void CLoginDlg::OnTimer(int nIDEvent) {
    if (nIDEvent == TIMER_LOGIN_RETRY) {
        m_timers.KillTimer(TIMER_LOGIN_RETRY);
        if (m_bSession) {
            return;  // logged in meanwhile: nothing to retry
        }
        if (GetProfileInt("Prefs", "autologin", 0) != 0) {
            OnLogin();
        }
        m_timers.SetTimer(TIMER_LOGIN_RETRY, kRetryPeriodMs);
    } else if (nIDEvent == TIMER_PEER_REFRESH) {
        if (m_pendingAddresses.empty()) {
            m_timers.KillTimer(TIMER_PEER_REFRESH);
            StartPeerListThread(MakeCredentials(m_strUsername, m_strPassword));
        }
    }
}

void CLoginDlg::OnTrayNotify(int nMouseMessage) {
    if (nMouseMessage == WM_LBUTTONDOWN) {
        ShowMain();
    } else if (nMouseMessage == WM_RBUTTONDOWN) {
        ShowTrayMenu(QCursor::pos());
    }
}

void CLoginDlg::ShowMain() {
    TraySet(IDI_MAIN, "");
    if (m_bSession && m_pNewsDlg) {
        m_pNewsDlg->ShowNewsWindow();
        return;
    }
    if (windowState() & Qt::WindowMinimized) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    show();
    raise();
    activateWindow();
}

void CLoginDlg::ShowTrayMenu(const QPoint& ptScreen) {
    std::unique_ptr<QMenu> pMenu = BuildTrayPopup(m_bSession ? 0 : 1);
    // The menu opens to the left of the cursor, its right edge at the pointer.
    QPoint ptTopLeft(ptScreen.x() - pMenu->sizeHint().width(), ptScreen.y());
    int nID = TrayCommandOf(pMenu->exec(ptTopLeft));
    if (nID != 0) {
        OnCommand(nID);
    }
}

void CLoginDlg::OnCommand(int nID) {
    switch (nID) {
        case ID_QUIT:
            Quit();
            break;
        case ID_PREFS:
            OpenPrefs();
            break;
        case ID_UPDATE_NEWS:
            if (m_pNewsDlg) {
                m_pNewsDlg->UpdateNews();
            }
            break;
        case ID_REVIEW_PAST_NEWS:
            if (m_pNewsDlg) {
                m_pNewsDlg->ShowPastNews();
            }
            break;
        case ID_SIGN_IN_NEW_USER:
            SignInNewUser();
            break;
        case ID_ABOUT: {
            CAboutDlg dlg(this);
            dlg.exec();
            break;
        }
        default:
            break;
    }
}

void CLoginDlg::SignInNewUser() {
    SetStatus("Vocalon v2.0");
    LoadForm();
    SetIdleState();
    EndSession();
    ShowMain();
}

void CLoginDlg::Quit() {
    EndSession();
    done(QDialog::Accepted);
}

void CLoginDlg::OpenPrefs() {
    int nResult = QDialog::Rejected;
    {
        CPrefSheet sheet(this);
        nResult = sheet.exec();
    }
    if (nResult == QDialog::Accepted && m_pNewsDlg) {
        m_pNewsDlg->ApplyDisplaySettings();
    }
    // Whatever the answer, the news is checked again at once.
    if (m_bSession && m_pNewsDlg) {
        m_pNewsDlg->UpdateNews();
    }
}

void CLoginDlg::OpenChatRequest(const std::string& strRequest) {
    CStringArray pieces;
    SplitString(strRequest, pieces, "!!");
    if (pieces.size() != 3) {
        return;
    }
    OpenChat(pieces[0], pieces[1], pieces[2]);
}

void CLoginDlg::OpenChat(const std::string& /*strChannel*/, const std::string& /*strTopic*/,
                         const std::string& /*strUrl*/) {
    // Chat windows arrive with the chat subsystem.
}

void CLoginDlg::closeEvent(QCloseEvent* pEvent) {
    pEvent->ignore();
    Quit();
}

void CLoginDlg::changeEvent(QEvent* pEvent) {
    QDialog::changeEvent(pEvent);
    // Minimising hides the window into the tray; without a tray host it stays minimised.
    if (pEvent->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
        TrayAvailable()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        hide();
    }
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
    CSignupDlg dlg(this);
    if (dlg.exec() != QDialog::Accepted) {
        return;
    }
    m_strUsername = dlg.UserName();
    m_strPassword = dlg.Password();
    m_bAutoLogin = true;
    UpdateData(false);
}
