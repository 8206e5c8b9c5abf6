#include "app/CSession.h"

#include "app/ServiceRequests.h"
#include "chat/CChatDlg.h"
#include "chat/IrcLines.h"
#include "gui/ResourceIds.h"
#include "gui/Tray.h"
#include "news/CNewsDlg.h"
#include "news/CPrefSheet.h"
#include "news/NewsFiles.h"
#include "peer/CChatEvent.h"
#include "platform/Logging.h"
#include "ui/CAlertWnd.h"
#include "ui/MessageBox.h"
#include "ui/WindowPlacement.h"
#include "util/Config.h"
#include "util/Settings.h"
#include "util/Version.h"

#include <QTimer>

namespace {

void Raise(CChatRoom* pRoom) {
    auto* pDlg = static_cast<CChatDlg*>(pRoom);
    pDlg->show();
    RaiseIfOpen(pDlg);
}

}  // namespace

CSession::CSession(CSessionHost& host)
    : m_host(host),
      m_ircUser([this] { return IrcRoutes(); }),
      m_ircGuest([this] { return IrcRoutes(); }),
      m_peerNet(*this, PeerBindAddress(), PeerPort()) {
    for (CIrcClient* pClient : {&m_ircUser, &m_ircGuest}) {
        // A server may repeat a reply a thousand times: one box of each text at a time.
        pClient->m_fnShowMessage = [](const std::string& strText) {
            OpenMessageBoxOnce(nullptr, QMessageBox::Information, PRODUCT_NAME,
                               QString::fromStdString(strText));
        };
    }
    SetMainWnd(this);
    CAlertWnd::SetClickHandler([this](const CChatEvent& event) { AlertClicked(event); });
}

CSession::~CSession() {
    // No event loop runs any more: the news window goes at once.
    delete m_pNewsDlg;
    m_pNewsDlg = nullptr;
    End();
    CloseChatWindows();
    CAlertWnd::SetClickHandler({});
    if (MainWnd() == this) {
        SetMainWnd(nullptr);
    }
}

std::vector<CIrcRoute> CSession::IrcRoutes() const {
    if (ReadFlag(SETTING_HAS_FIREWALL)) {
        if (m_strFirewallRoute.empty()) {
            return {};
        }
        return {{m_strFirewallRoute, IrcFirewallPort(), IrcTlsWanted(m_strSection)}};
    }
    return DefaultIrcRoutes(m_strSection);
}

void CSession::SetCredentials(const std::string& strUser, const std::string& strPassword) {
    m_strUser = strUser;
    m_strPassword = strPassword;
}

void CSession::Start() {
    if (m_bActive) {
        return;  // a late second success must not start a second session
    }
    m_bActive = true;
    // Created hidden; its creation starts the first news check.
    m_pNewsDlg = new CNewsDlg;
    m_strSection = SECTION_USER_PREFIX + m_strUser;
    m_pNewsDlg->ApplyDisplaySettings();
    m_ircUser.SetNick(m_strUser + "0");
    m_ircGuest.SetNick("guest");
    for (CIrcClient* pClient : {&m_ircUser, &m_ircGuest}) {
        pClient->SetSection(m_strSection);
        pClient->Connect();
    }
    const bool bListening = m_peerNet.StartListening();
    // Peers the login's address list brought may be connected already.
    if (m_peerNet.GetPeerCount() > 0) {
        m_pNewsDlg->SetPeerCount(m_peerNet.GetPeerCount());
    }
    const bool bChooseSources = !HasChosenSources(m_strUser);
    if (bChooseSources) {
        m_host.Notify("Choose the news sources you want to follow: click here.", [this] {
            if (m_bActive) {
                OpenPrefs();
            }
        });
    }
    if (!bListening) {
        ReportUnreachable(ListenFailureText(m_peerNet.ListenError(), m_peerNet.Port()),
                          bChooseSources);
    }
}

void CSession::ReportUnreachable(const std::string& strWhy, bool bAfterAnotherNotice) {
    m_pNewsDlg->SetUnreachable(strWhy);
    // Once per run: the cause (a privileged port) does not go away by signing in again.
    if (m_bToldUnreachable) {
        return;
    }
    const std::string strText =
        "Other Vocalon users cannot reach you: " + strWhy + "\nYour invitations still reach them.";
    auto notify = [this, strText] {
        if (m_bActive && !m_bToldUnreachable) {
            m_bToldUnreachable = true;
            m_host.Notify(strText, [this] { ShowMain(); });
        }
    };
    // A second notification at once would replace the first before it could be read.
    if (bAfterAnotherNotice) {
        QTimer::singleShot(NOTICE_GAP_MS, &m_context, notify);
    } else {
        notify();
    }
}

void CSession::End() {
    m_bActive = false;
    // Mentions held back belong to the user who is leaving.
    m_nMentionsHeld = 0;
    m_ircUser.Close();
    m_ircGuest.Close();
    m_peerNet.Shutdown();
    // Invitations waiting or recent belong to the user who is leaving.
    CAlertWnd::Inbox().Clear();
    if (m_pNewsDlg) {
        m_pNewsDlg->Destroy();
        m_pNewsDlg = nullptr;
    }
    // The sheet belongs to the user who is leaving.
    if (m_pPrefSheet) {
        m_pPrefSheet->reject();
    }
}

void CSession::ShowMain() {
    TraySet(IDI_MAIN, "");
    if (m_bActive && m_pNewsDlg) {
        m_pNewsDlg->ShowNewsWindow();
    } else {
        m_host.ShowLoginForm();
    }
}

void CSession::UpdateNews() {
    if (m_pNewsDlg) {
        m_pNewsDlg->UpdateNews();
    }
}

void CSession::ShowPastNews() {
    if (m_pNewsDlg) {
        m_pNewsDlg->ShowPastNews();
    }
}

CPrefSheet* CSession::PrefSheet() const { return m_pPrefSheet; }

void CSession::OpenPrefs() {
    if (RaiseIfOpen(m_pPrefSheet)) {
        return;
    }
    m_pPrefSheet = new CPrefSheet(nullptr);
    m_pPrefSheet->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(m_pPrefSheet, &QDialog::finished, &m_context,
                     [this](int nResult) { OnPrefsClosed(nResult); });
    m_pPrefSheet->open();
}

void CSession::OnPrefsClosed(int nResult) {
    if (nResult == QDialog::Accepted && m_pNewsDlg) {
        m_pNewsDlg->ApplyDisplaySettings();
    }
    if (nResult == QDialog::Accepted) {
        for (CIrcClient* pClient : {&m_ircUser, &m_ircGuest}) {
            for (CChatRoom* pRoom : pClient->Rooms().Rooms()) {
                static_cast<CChatDlg*>(pRoom)->ApplySettings();
            }
        }
    }
    // Whatever the answer, the news is checked again at once.
    if (m_bActive && m_pNewsDlg) {
        m_pNewsDlg->UpdateNews();
    }
}

void CSession::CloseChatWindows() {
    for (CIrcClient* pClient : {&m_ircUser, &m_ircGuest}) {
        // Each window leaves the list as it goes.
        while (!pClient->Rooms().Rooms().empty()) {
            delete static_cast<CChatDlg*>(pClient->Rooms().Rooms().front());
        }
    }
}

void CSession::OpenChatRequest(const std::string& strRequest) {
    const std::optional<CChatRequest> request = CChatRequest::FromRecord(strRequest);
    // The record comes from feeds and peers: a channel that is not a plain channel token
    // could smuggle a protocol line in, so it opens nothing.
    if (!request || !IsValidChannel(request->m_strChannel)) {
        return;
    }
    if (CChatRoom* pRoom = m_ircUser.Rooms().FindRoom(request->m_strChannel)) {
        Raise(pRoom);
        return;
    }
    OpenChat(request->m_strChannel, request->m_strTopic, request->m_strUrl);
}

void CSession::OpenChat(const std::string& strChannel, const std::string& strTopic,
                        const std::string& strUrl) {
    if (!IsValidChannel(strChannel)) {
        return;
    }
    m_ircGuest.Connect();
    if (CChatRoom* pRoom = m_ircGuest.Rooms().FindRoom(strChannel)) {
        Raise(pRoom);
        return;
    }
    auto* pDlg = new CChatDlg(&m_ircGuest, strChannel, strUrl, this);
    pDlg->Join(strChannel, strTopic);
    pDlg->show();
    m_ircGuest.Rooms().AddRoom(pDlg);
}

void CSession::MoveChat(CChatDlg* pDlg, CIrcClient& from, CIrcClient& to) {
    to.Connect();
    if (to.Rooms().FindRoom(pDlg->Channel())) {
        return;
    }
    from.Rooms().RemoveRoom(pDlg->Channel());
    to.Rooms().AddRoom(pDlg);
    pDlg->Join(pDlg->Channel(), pDlg->Topic());
}

void CSession::MoveChatToUser(CChatDlg* pDlg) { MoveChat(pDlg, m_ircGuest, m_ircUser); }

void CSession::MoveChatToGuest(CChatDlg* pDlg) { MoveChat(pDlg, m_ircUser, m_ircGuest); }

void CSession::PeerListArrived(const CStringArray* pAddresses) {
    m_peerNet.PeerListArrived(pAddresses);
}

void CSession::BroadcastEvent(const CChatEvent& event) { m_peerNet.Broadcast(event); }

void CSession::NotifyMention(CChatDlg* pDlg, const std::string& strText) {
    if (!m_bActive) {
        return;
    }
    m_strMentionChannel = pDlg->Channel();
    m_strMentionText = strText;
    ++m_nMentionsHeld;
    if (m_bMentionWaits) {
        return;
    }
    const auto wait = m_lastMention + m_mentionGap - std::chrono::steady_clock::now();
    if (!m_bMentionShown || wait <= wait.zero()) {
        ShowMention();
        return;
    }
    m_bMentionWaits = true;
    QTimer::singleShot(std::chrono::ceil<std::chrono::milliseconds>(wait), &m_context, [this] {
        m_bMentionWaits = false;
        ShowMention();
    });
}

void CSession::ShowMention() {
    if (!m_bActive || m_nMentionsHeld == 0) {
        return;
    }
    std::string strText = m_strMentionText;
    if (m_nMentionsHeld > 1) {
        strText += "\n(and " + std::to_string(m_nMentionsHeld - 1) + " more)";
    }
    m_nMentionsHeld = 0;
    m_bMentionShown = true;
    m_lastMention = std::chrono::steady_clock::now();
    m_host.Notify(strText, [this, strChannel = m_strMentionChannel] { RaiseRoom(strChannel); });
}

void CSession::RaiseRoom(const std::string& strChannel) {
    // Looked up by channel at the click: the window may have closed since.
    for (CIrcClient* pClient : {&m_ircUser, &m_ircGuest}) {
        if (CChatRoom* pRoom = pClient->Rooms().FindRoom(strChannel)) {
            Raise(pRoom);
            return;
        }
    }
}

void CSession::AlertClicked(const CChatEvent& event) {
    if (event.type == CChatEvent::TYPE_NEWS) {
        ShowMain();
    } else {
        m_peerNet.OpenChatForEvent(event);
    }
}

void CSession::OpenRoom(const CChatRequest& request) { OpenChatRequest(request.Record()); }

void CSession::PeerCountChanged(int nPeers) {
    if (m_pNewsDlg) {
        m_pNewsDlg->SetPeerCount(nPeers);
    }
}

void CSession::ChatInvitation(const CChatEvent& event, const std::string& strFrom) {
    const bool bShown = CAlertWnd::ShowInvitation(event, strFrom) != nullptr;
    const bool bNotified = !bShown && CAlertWnd::IsNotified(event.id);
    // Quoted, so a peer's text cannot forge log lines.
    qCInfo(NetLog) << "peer: invitation from" << QByteArray::fromStdString(event.Inviter()) << "to"
                   << QByteArray::fromStdString(event.Channel())
                   << (bShown      ? "shown"
                       : bNotified ? "notified"
                                   : "not shown");
}

void CSession::RefreshPeerList() { StartPeerListThread(MakeCredentials(m_strUser, m_strPassword)); }
