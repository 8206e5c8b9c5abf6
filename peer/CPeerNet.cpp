#include "peer/CPeerNet.h"

#include "peer/CChatEvent.h"
#include "peer/CPeerSocket.h"
#include "platform/Logging.h"
#include "util/Net.h"

#include <QByteArray>
#include <QDateTime>
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

const char* RefusalOf(CSeenEvents::EVerdict verdict) {
    switch (verdict) {
        case CSeenEvents::EVerdict::BadId: return "without a usable id";
        case CSeenEvents::EVerdict::BadTimestamp: return "without a usable time stamp";
        case CSeenEvents::EVerdict::TooOld: return "too old";
        case CSeenEvents::EVerdict::InFuture: return "from the future";
        default: return nullptr;
    }
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

int64_t CPeerNet::WallSeconds() const {
    return QDateTime::currentSecsSinceEpoch() +
           std::chrono::duration_cast<std::chrono::seconds>(m_clockSkew).count();
}

int CPeerNet::ConnectTo(const std::string& strAddress) {
    if (!IsDottedAddress(strAddress) || IsConnectedTo(strAddress) || strAddress == m_ownAddress ||
        !m_backoff.MayConnect(strAddress, Now()) ||
        SocketsFor(strAddress) >= MAX_SOCKETS_PER_ADDRESS) {
        return 0;
    }
    auto pSocket = std::make_unique<CPeerSocket>(*this, false);
    if (!pSocket->Open(strAddress, m_nPort, m_strBind, m_connectDeadline)) {
        qCInfo(NetLog) << "peer: cannot connect to" << strAddress.c_str();
        m_backoff.Failed(strAddress, Now());
        return 0;
    }
    m_sockets.push_back(std::move(pSocket));
    return 1;
}

int CPeerNet::SocketsFor(const std::string& strAddress) const {
    return static_cast<int>(
        std::count_if(m_sockets.begin(), m_sockets.end(), [&](const auto& pSocket) {
            return pSocket->IsOpen() && pSocket->RemoteAddress() == strAddress;
        }));
}

int CPeerNet::UnlistedPeers() const {
    return static_cast<int>(std::count_if(m_peers.begin(), m_peers.end(), [&](const auto* pPeer) {
        return !IsListed(pPeer->RemoteAddress());
    }));
}

int CPeerNet::DialledPeers() const {
    return static_cast<int>(std::count_if(
        m_sockets.begin(), m_sockets.end(),
        [](const auto& pSocket) { return pSocket->IsOpen() && pSocket->IsOutgoing(); }));
}

bool CPeerNet::IsListed(const std::string& strAddress) const {
    return std::any_of(m_listed.begin(), m_listed.end(),
                       [&](const auto& addresses) { return addresses.count(strAddress) != 0; });
}

int CPeerNet::AddPeer(CPeerSocket* pSocket) {
    const std::string& strAddress = pSocket->RemoteAddress();
    const char* pszRefusal = nullptr;
    if (GetPeerCount() > PEER_LIMIT) {
        pszRefusal = "all places are taken";
    } else if (IsConnectedTo(strAddress)) {
        pszRefusal = "already listed";
    } else if (SocketsFor(strAddress) > MAX_SOCKETS_PER_ADDRESS) {
        pszRefusal = "too many connections from one address";
    } else if (!IsListed(strAddress) && UnlistedPeers() >= MAX_UNLISTED_PEERS) {
        pszRefusal = "the places for unlisted addresses are taken";
    }
    if (pszRefusal) {
        qCInfo(NetLog).noquote() << "peer: refused" << strAddress.c_str() << "-" << pszRefusal;
        return 0;
    }
    m_peers.push_back(pSocket);
    qCInfo(NetLog).noquote() << "peer: connected with" << strAddress.c_str();
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

void CPeerNet::Broadcast(const CChatEvent& event) {
    m_seen.RememberOwn(event.id, event.timestamp, WallSeconds());
    const std::string strText = event.ToXml();
    // A failed send drops its peer from the list on the way.
    const std::vector<CPeerSocket*> peers = m_peers;
    for (CPeerSocket* pPeer : peers) {
        pPeer->QueueEvent(strText);
    }
}

void CPeerNet::OnEventReceived(const CChatEvent& event, const std::string& strFrom) {
    const CSeenEvents::EVerdict verdict = m_seen.Admit(event.id, event.timestamp, WallSeconds());
    if (verdict == CSeenEvents::EVerdict::Seen) {
        return;
    }
    if (const char* pszRefusal = RefusalOf(verdict)) {
        // Quoted and cut short, so a peer's text cannot forge or flood log lines.
        qCInfo(NetLog) << "peer: refused an event" << pszRefusal << "from" << strFrom.c_str()
                       << "id" << QByteArray::fromStdString(event.id.substr(0, 80)) << "timestamp"
                       << QByteArray::fromStdString(event.timestamp.substr(0, 20));
        return;
    }
    if (!m_peers.empty()) {
        const bool bWasOver = m_relayBudget.IsFlooding();
        if (m_relayBudget.Take(Now()) == CEventRateLimit::EVerdict::Take) {
            Broadcast(event);
        } else if (!bWasOver) {
            qCInfo(NetLog)
                << "peer: more events than the relay budget; passing on only its share for now";
        }
    }
    if (event.type == CChatEvent::TYPE_CHAT) {
        m_host.ChatInvitation(event, strFrom);
    }
}

void CPeerNet::OpenChatForEvent(const CChatEvent& event) {
    if (event.type != CChatEvent::TYPE_CHAT) {
        return;
    }
    m_host.OpenRoom(CChatRequest{event.Channel(), event.Topic(), event.Url()});
}

void CPeerNet::Shutdown() {
    m_listenSocket.Close();
    m_timers.KillTimer(TIMER_PEER_REFRESH);
    m_pendingAddresses.clear();
    m_listed.clear();
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
    // Differs from working through the whole list: see MAX_DIALLED_PEERS.
    if (DialledPeers() >= MAX_DIALLED_PEERS) {
        return;
    }
    // An address that is not usable at all, or pausing, does not use up the turn; one that
    // is ours or already connected does, like a started attempt.
    while (!m_pendingAddresses.empty()) {
        const std::string strAddress = m_pendingAddresses.front();
        m_pendingAddresses.pop_front();
        if (IsDottedAddress(strAddress) && m_backoff.MayConnect(strAddress, Now())) {
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

void CPeerNet::ConnectFailed(CPeerSocket* pSocket) {
    qCInfo(NetLog) << "peer: connect to" << pSocket->RemoteAddress().c_str() << "failed, error"
                   << pSocket->GetLastError();
    m_backoff.Failed(pSocket->RemoteAddress(), Now());
    Release(pSocket);
    PeerConnected(nullptr);
}

void CPeerNet::PeerClosed(CPeerSocket* pSocket) {
    const bool bWasListed = RemovePeer(pSocket);
    // Whoever closed, the address is left alone for a while: a full or hostile peer that
    // accepts and closes must not be asked again at once.
    if (!pSocket->RemoteAddress().empty()) {
        const std::optional<TimePoint> since = pSocket->ConnectedSince();
        m_backoff.Failed(pSocket->RemoteAddress(), Now(), since && Now() - *since >= STABLE_PERIOD);
    }
    Release(pSocket);
    if (!m_pendingAddresses.empty()) {
        ConnectNextPending();
    } else if (bWasListed) {
        // Only a lost peer asks for new addresses: a refused one would ask again at once.
        RequestRefresh();
    }
    m_host.PeerCountChanged(GetPeerCount());
}

void CPeerNet::RequestRefresh() {
    if (m_lastRefresh && Now() - *m_lastRefresh < std::chrono::milliseconds(REFRESH_PERIOD_MS)) {
        return;  // the refresh timer brings the next list
    }
    m_lastRefresh = Now();
    m_timers.KillTimer(TIMER_PEER_REFRESH);
    m_host.RefreshPeerList();
}

void CPeerNet::PeerListArrived(const CStringArray* pAddresses) {
    m_timers.KillTimer(TIMER_PEER_REFRESH);
    m_lastRefresh = Now();
    if (pAddresses) {
        m_listed.emplace_front(pAddresses->begin(), pAddresses->end());
        if (m_listed.size() > LISTS_KEPT) {
            m_listed.pop_back();
        }
        m_pendingAddresses.assign(pAddresses->begin(), pAddresses->end());
        if (!m_pendingAddresses.empty()) {
            ConnectNextPending();
            PeerConnected(nullptr);  // the second attempt, at once
        }
    }
    m_timers.SetTimer(TIMER_PEER_REFRESH, REFRESH_PERIOD_MS);
}

void CPeerNet::OnTimer(int nIDEvent) {
    // The timer runs a full period from the last list, so its tick needs no other floor.
    // Addresses that wait for a dialled peer to go do not hold the list back: the service
    // lists only clients that asked within its window, and the newer lists name the
    // clients that came since, whose connections then count as listed.
    if (nIDEvent == TIMER_PEER_REFRESH &&
        (m_pendingAddresses.empty() || DialledPeers() >= MAX_DIALLED_PEERS)) {
        m_lastRefresh = Now();
        m_timers.KillTimer(TIMER_PEER_REFRESH);
        m_host.RefreshPeerList();
    }
}
