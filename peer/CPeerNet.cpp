#include "peer/CPeerNet.h"

#include "hub/CMainWindow.h"
#include "peer/CChatEvent.h"
#include "peer/CPeerSocket.h"
#include "platform/Logging.h"
#include "util/Net.h"

#include <QTimer>

#include <arpa/inet.h>

#include <cerrno>

#include <algorithm>

namespace {

// Peer addresses come from the service: only dotted IPv4 is used, so the window thread
// never waits for a name look-up.
bool IsDottedAddress(const std::string& strAddress) {
    in_addr addr;
    return inet_pton(AF_INET, strAddress.c_str(), &addr) == 1;
}

}  // namespace

std::string ListenFailureText(int nError, unsigned nPort) {
    const std::string strPort = "port " + std::to_string(nPort);
    switch (nError) {
        case EACCES:
        case EPERM: return strPort + " is reserved for the system.";
        case EADDRINUSE: return strPort + " is in use by another program.";
        case EADDRNOTAVAIL: return "the address to listen on is not this computer's.";
        default: return strPort + " cannot be opened (error " + std::to_string(nError) + ").";
    }
}

CPeerNet::CPeerNet(CPeerHost& host, const std::string& strBindAddress, unsigned nPort)
    : m_host(host),
      m_strBind(strBindAddress),
      m_nPort(nPort),
      m_ownAddress(strBindAddress.empty() ? OwnHostAddress() : strBindAddress) {}

CPeerNet::~CPeerNet() {
    // Sockets tell the network nothing while it goes.
    for (const std::unique_ptr<CPeerSocket>& pSocket : m_sockets) {
        pSocket->Close();
    }
}

bool CPeerNet::StartListening() {
    m_listenSocket.Close();
    m_nListenError = 0;
    if (!m_listenSocket.Create(m_nPort, m_strBind) || !m_listenSocket.Listen(LISTEN_BACKLOG)) {
        m_nListenError = m_listenSocket.GetLastError();
        qCInfo(NetLog) << "peer: cannot listen on port" << m_nPort << "error" << m_nListenError;
        m_listenSocket.Close();
        return false;
    }
    return true;
}

int CPeerNet::ConnectTo(const std::string& strAddress) {
    if (!IsDottedAddress(strAddress) || IsConnectedTo(strAddress) || strAddress == m_ownAddress) {
        return 0;
    }
    auto pSocket = std::make_unique<CPeerSocket>(*this, false);
    if (!pSocket->Create(0, m_strBind) || (!pSocket->Connect(strAddress, m_nPort) &&
                                           pSocket->GetLastError() != CAsyncSocket::kWouldBlock)) {
        qCInfo(NetLog) << "peer: cannot connect to" << strAddress.c_str();
        return 0;
    }
    m_sockets.push_back(std::move(pSocket));
    return 1;
}

int CPeerNet::AddPeer(CPeerSocket* pSocket) {
    if (GetPeerCount() > PEER_LIMIT || IsConnectedTo(pSocket->RemoteAddress())) {
        return 0;
    }
    m_peers.push_back(pSocket);
    qCInfo(NetLog).noquote() << "peer: connected with" << pSocket->RemoteAddress().c_str();
    return 1;
}

bool CPeerNet::RemovePeer(CPeerSocket* pSocket) {
    const auto it = std::find(m_peers.begin(), m_peers.end(), pSocket);
    if (it == m_peers.end()) {
        return false;
    }
    m_peers.erase(it);
    return true;
}

bool CPeerNet::IsConnectedTo(const std::string& strAddress) const {
    return std::any_of(m_peers.begin(), m_peers.end(), [&](const CPeerSocket* pPeer) {
        return pPeer->RemoteAddress() == strAddress;
    });
}

void CPeerNet::RememberId(const std::string& strId) {
    if (!m_seenIds.insert(strId).second) {
        return;
    }
    m_seenOrder.push_back(strId);
    if (m_seenOrder.size() > MAX_SEEN_IDS) {
        m_seenIds.erase(m_seenOrder.front());
        m_seenOrder.pop_front();
    }
}

void CPeerNet::Broadcast(const CChatEvent& event) {
    RememberId(event.id);
    const std::string strText = event.ToXml();
    // A failed send drops its peer from the list on the way.
    const std::vector<CPeerSocket*> peers = m_peers;
    for (CPeerSocket* pPeer : peers) {
        pPeer->QueueEvent(strText);
    }
}

void CPeerNet::OnEventReceived(const CChatEvent& event) {
    if (HasSeen(event.id)) {
        return;
    }
    Broadcast(event);
    if (event.type == CChatEvent::TYPE_CHAT) {
        m_host.ChatInvitation(event);
    }
}

void CPeerNet::OpenChatForEvent(const CChatEvent& event) {
    if (event.type != CChatEvent::TYPE_CHAT) {
        return;
    }
    if (CMainWindow* pMain = MainWnd()) {
        pMain->OpenChatRequest(event.Param(0) + "!!" + event.Param(1) + "!!" + event.Param(2));
    }
}

void CPeerNet::Shutdown() {
    m_listenSocket.Close();
    m_timers.KillTimer(TIMER_PEER_REFRESH);
    m_pendingAddresses.clear();
    m_peers.clear();
    // Attempts still connecting go too: they belong to the user who is leaving.
    for (const std::unique_ptr<CPeerSocket>& pSocket : m_sockets) {
        pSocket->Close();
    }
    m_released.insert(m_released.end(), std::make_move_iterator(m_sockets.begin()),
                      std::make_move_iterator(m_sockets.end()));
    m_sockets.clear();
    QTimer::singleShot(0, &m_context, [this] { m_released.clear(); });
}

CPeerSocket* CPeerNet::Adopt(std::unique_ptr<CPeerSocket> pSocket) {
    m_sockets.push_back(std::move(pSocket));
    return m_sockets.back().get();
}

void CPeerNet::Release(CPeerSocket* pSocket) {
    pSocket->Close();
    RemovePeer(pSocket);
    const auto it = std::find_if(m_sockets.begin(), m_sockets.end(),
                                 [&](const auto& pOwned) { return pOwned.get() == pSocket; });
    if (it == m_sockets.end()) {
        return;
    }
    m_released.push_back(std::move(*it));
    m_sockets.erase(it);
    QTimer::singleShot(0, &m_context, [this] { m_released.clear(); });
}

void CPeerNet::ConnectNextPending() {
    // An address that is not usable at all does not use up the turn; one that is ours or
    // already connected does, like a started attempt.
    while (!m_pendingAddresses.empty()) {
        const std::string strAddress = m_pendingAddresses.front();
        m_pendingAddresses.pop_front();
        if (IsDottedAddress(strAddress)) {
            ConnectTo(strAddress);
            return;
        }
    }
}

void CPeerNet::PeerConnected(CPeerSocket* pSocket) {
    // A refused connection would get no events while still sending us its own: close it.
    if (pSocket && !AddPeer(pSocket)) {
        Release(pSocket);
    }
    ConnectNextPending();
    m_host.PeerCountChanged(GetPeerCount());
}

void CPeerNet::PeerClosed(CPeerSocket* pSocket) {
    const bool bWasListed = RemovePeer(pSocket);
    Release(pSocket);
    if (!m_pendingAddresses.empty()) {
        ConnectNextPending();
    } else if (bWasListed) {
        // Only a lost peer asks for new addresses: a refused one would ask again at once.
        m_host.RefreshPeerList();
    }
    m_host.PeerCountChanged(GetPeerCount());
}

void CPeerNet::PeerListArrived(const CStringArray* pAddresses) {
    m_timers.KillTimer(TIMER_PEER_REFRESH);
    if (pAddresses) {
        m_pendingAddresses.assign(pAddresses->begin(), pAddresses->end());
        if (!m_pendingAddresses.empty()) {
            ConnectNextPending();
            PeerConnected(nullptr);  // the second attempt, at once
        }
    }
    m_timers.SetTimer(TIMER_PEER_REFRESH, REFRESH_PERIOD_MS);
}

void CPeerNet::OnTimer(int nIDEvent) {
    if (nIDEvent == TIMER_PEER_REFRESH && m_pendingAddresses.empty()) {
        m_timers.KillTimer(TIMER_PEER_REFRESH);
        m_host.RefreshPeerList();
    }
}
