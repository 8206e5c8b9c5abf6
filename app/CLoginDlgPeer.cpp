// The login window's side of the peer network: it hands on the address lists, the events
// the chat windows make and the alerts' clicks, and shows what the network reports.

#include "app/CLoginDlg.h"

#include "app/ServiceRequests.h"
#include "news/CNewsDlg.h"
#include "peer/CChatEvent.h"
#include "platform/Logging.h"
#include "ui/CAlertWnd.h"

void CLoginDlg::PeerListArrived(const CStringArray* pAddresses) {
    m_peerNet.PeerListArrived(pAddresses);
}

void CLoginDlg::BroadcastEvent(const CChatEvent& event) { m_peerNet.Broadcast(event); }

void CLoginDlg::AlertClicked(const CChatEvent& event) {
    if (event.type == CChatEvent::TYPE_NEWS) {
        ShowMain();
    } else {
        m_peerNet.OpenChatForEvent(event);
    }
}

void CLoginDlg::PeerCountChanged(int nPeers) {
    if (m_pNewsDlg) {
        m_pNewsDlg->SetPeerCount(nPeers);
    }
}

void CLoginDlg::ChatInvitation(const CChatEvent& event, const std::string& strFrom) {
    const bool bShown = CAlertWnd::ShowInvitation(event, strFrom) != nullptr;
    // Quoted, so a peer's text cannot forge log lines.
    qCInfo(NetLog) << "peer: invitation from" << QByteArray::fromStdString(event.Param(3)) << "to"
                   << QByteArray::fromStdString(event.Param(0)) << (bShown ? "shown" : "not shown");
}

void CLoginDlg::RefreshPeerList() {
    StartPeerListThread(MakeCredentials(m_strUsername, m_strPassword));
}
