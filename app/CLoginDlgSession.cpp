// The login window's session: what starts with a successful login and ends with "Sign in
// new user..." or Quit, the preferences and the version notice.

#include "app/CLoginDlg.h"

#include "app/CNewVersionDlg.h"
#include "app/ServiceRequests.h"
#include "gui/ResourceIds.h"
#include "gui/Shell.h"
#include "gui/Tray.h"
#include "news/CNewsDlg.h"
#include "news/CPrefSheet.h"
#include "news/NewsFiles.h"
#include "platform/Profile.h"
#include "ui/CAlertWnd.h"
#include "ui/MessageBox.h"
#include "ui/WindowPlacement.h"
#include "util/Net.h"
#include "util/Settings.h"

#include <QTimer>

namespace {

constexpr int kRetryPeriodMs = 300000;
// Between two notifications of the same moment, so the first can be read.
constexpr int kNoticeGapMs = 10000;

}  // namespace

bool CLoginDlg::event(QEvent* pEvent) {
    auto* pApp = dynamic_cast<CAppEvent*>(pEvent);
    if (!pApp) {
        return QDialog::event(pEvent);
    }
    switch (pApp->Message()) {
        case UM_FIREWALL_ROUTE: m_strFirewallRoute = WParamOf<UM_FIREWALL_ROUTE>(*pApp); break;
        case UM_PEER_LIST: {
            const std::optional<CStringArray>& addresses = WParamOf<UM_PEER_LIST>(*pApp);
            PeerListArrived(addresses ? &*addresses : nullptr);
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
    OpenMessageBox(nullptr, QMessageBox::Warning, "Vocalon", QString::fromStdString(strText));
}

void CLoginDlg::StartSession() {
    SetStatus("Success!");
    TraySet(IDI_MAIN, "");
    m_timers.KillTimer(TIMER_LOGIN_RETRY);
    if (m_bSession) {
        return;  // a late second success must not start a second session
    }
    {
        CProfileBatch batch;
        WriteSetting(SETTING_USERNAME, m_strUsername);
        WriteSetting(SETTING_PASSWORD, m_strPassword);
        WriteSetting(SETTING_AUTOLOGIN, m_bAutoLogin ? 1 : 0);
    }
    m_bSession = true;
    // Created hidden; its creation starts the first news check.
    m_pNewsDlg = new CNewsDlg;
    hide();
    m_strSection = SECTION_USER_PREFIX + m_strUsername;
    m_pNewsDlg->ApplyDisplaySettings();
    m_ircUser.SetNick(m_strUsername + "0");
    m_ircUser.Connect();
    m_ircGuest.SetNick("guest");
    m_ircGuest.Connect();
    const bool bListening = m_peerNet.StartListening();
    // Peers the login's address list brought may be connected already.
    if (m_peerNet.GetPeerCount() > 0) {
        m_pNewsDlg->SetPeerCount(m_peerNet.GetPeerCount());
    }
    const bool bChooseSources = !HasChosenSources(m_strUsername);
    if (bChooseSources) {
        m_notice = ENotice::ChooseSources;
        TrayNotify("Vocalon", "Choose the news sources you want to follow: click here.");
    } else {
        m_notice = ENotice::None;
    }
    if (!bListening) {
        ReportUnreachable(ListenFailureText(m_peerNet.ListenError(), m_peerNet.Port()),
                          bChooseSources);
    }
}

void CLoginDlg::ReportUnreachable(const std::string& strWhy, bool bAfterAnotherNotice) {
    m_pNewsDlg->SetUnreachable(strWhy);
    // Once per run: the cause (a privileged port) does not go away by signing in again.
    if (m_bToldUnreachable) {
        return;
    }
    const std::string strText =
        "Other Vocalon users cannot reach you: " + strWhy + "\nYour invitations still reach them.";
    auto notify = [this, strText] {
        if (m_bSession && !m_bToldUnreachable) {
            m_bToldUnreachable = true;
            m_notice = ENotice::Unreachable;
            TrayNotify("Vocalon", strText);
        }
    };
    // A second notification at once would replace the first before it could be read.
    if (bAfterAnotherNotice) {
        QTimer::singleShot(kNoticeGapMs, this, notify);
    } else {
        notify();
    }
}

void CLoginDlg::EndSession() {
    m_bSession = false;
    m_ircUser.Close();
    m_ircGuest.Close();
    m_peerNet.Shutdown();
    // Invitations waiting or recent belong to the user who is leaving.
    CAlertWnd::Inbox().Clear();
    m_timers.KillTimer(TIMER_LOGIN_RETRY);
    if (m_pNewsDlg) {
        m_pNewsDlg->Destroy();
        m_pNewsDlg = nullptr;
    }
    // The sheet belongs to the user who is leaving.
    if (m_pPrefSheet) {
        m_pPrefSheet->reject();
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

CPrefSheet* CLoginDlg::PrefSheet() const { return m_pPrefSheet; }

void CLoginDlg::OpenPrefs() {
    if (RaiseIfOpen(m_pPrefSheet)) {
        return;
    }
    m_pPrefSheet = new CPrefSheet(this);
    m_pPrefSheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_pPrefSheet, &QDialog::finished, this, &CLoginDlg::OnPrefsClosed);
    m_pPrefSheet->open();
}

void CLoginDlg::OnPrefsClosed(int nResult) {
    if (nResult == QDialog::Accepted && m_pNewsDlg) {
        m_pNewsDlg->ApplyDisplaySettings();
    }
    // Whatever the answer, the news is checked again at once.
    if (m_bSession && m_pNewsDlg) {
        m_pNewsDlg->UpdateNews();
    }
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
        if (m_bSession) {
            return;  // logged in meanwhile: nothing to retry
        }
        if (ReadFlag(SETTING_AUTOLOGIN)) {
            OnLogin();
        }
        m_timers.SetTimer(TIMER_LOGIN_RETRY, kRetryPeriodMs);
    }
}
