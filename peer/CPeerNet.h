#pragma once

// The peer network: listens for other clients, connects out to the addresses the service
// hands out, and floods chat events between them. Every event it has not seen goes on to
// all listed peers once; a new "CHAT" event also becomes an invitation for the host to
// show. At most two connection attempts run at first, and each later one is started by a
// connection that comes, fails or goes. Window thread only.

#include "peer/CPeerListenSocket.h"
#include "platform/CTimerSet.h"
#include "util/Strings.h"

#include <QObject>

#include <deque>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class CChatEvent;
class CPeerSocket;

// What the peer network asks of the program around it.
class CPeerHost {
public:
    virtual ~CPeerHost() = default;
    // A peer was listed or left the list.
    virtual void PeerCountChanged(int nPeers) = 0;
    // A "CHAT" event this client had not seen arrived.
    virtual void ChatInvitation(const CChatEvent& event) = 0;
    // The addresses ran out: fetch a new list, which comes back through PeerListArrived.
    virtual void RefreshPeerList() = 0;
};

// Why other clients cannot connect to us, for the user: "port 443 is reserved for the
// system." and the like, from the error StartListening met.
std::string ListenFailureText(int nError, unsigned nPort);

class CPeerNet final {
public:
    // A new peer is refused while more than this many are listed.
    static constexpr int PEER_LIMIT = 10;
    static constexpr int LISTEN_BACKLOG = 1;
    static constexpr int REFRESH_PERIOD_MS = 300000;
    // Ids remembered for duplicate suppression; the oldest go first.
    static constexpr size_t MAX_SEEN_IDS = 10000;

    // strBindAddress: the local address to listen on and connect from (empty: all, and the
    // host's own address is looked up); nPort: the peer port of every client.
    CPeerNet(CPeerHost& host, const std::string& strBindAddress, unsigned nPort);
    ~CPeerNet();
    CPeerNet(const CPeerNet&) = delete;
    CPeerNet& operator=(const CPeerNet&) = delete;

    // Listens on the peer port; a client that cannot still connects out. On failure
    // ListenError() holds the system's error code (EACCES for a privileged port).
    bool StartListening();
    int ListenError() const { return m_nListenError; }
    // 1 when an attempt to the dotted address was started; 0 for an address that is not
    // dotted IPv4, already connected, or our own.
    int ConnectTo(const std::string& strAddress);
    // 1 when the connected socket was listed; 0 when refused (limit or already listed).
    int AddPeer(CPeerSocket* pSocket);
    // Whether the socket was listed.
    bool RemovePeer(CPeerSocket* pSocket);
    bool IsConnectedTo(const std::string& strAddress) const;
    // Records the event's id and queues its text to every listed peer.
    void Broadcast(const CChatEvent& event);
    // An event from a peer: relayed once to every peer (its sender too) unless seen.
    void OnEventReceived(const CChatEvent& event);
    // Opens the chat room a "CHAT" event names, through the main window.
    void OpenChatForEvent(const CChatEvent& event);
    int GetPeerCount() const { return static_cast<int>(m_peers.size()); }
    // Closes every connection and the listener; the ids seen are kept.
    void Shutdown();

    // A connection was made (accepted, or an outgoing one done), or an attempt failed
    // (null): list it and start the next pending attempt.
    void PeerConnected(CPeerSocket* pSocket);
    // A connection closed: unlist it, then try the next address or fetch a new list.
    void PeerClosed(CPeerSocket* pSocket);
    // A new address list from the service, or null when fetching it failed.
    void PeerListArrived(const CStringArray* pAddresses);

    // Takes ownership of a socket made outside (an accepted connection).
    CPeerSocket* Adopt(std::unique_ptr<CPeerSocket> pSocket);
    // Closes a socket that is done with and frees it once the notification that led here
    // has returned.
    void Release(CPeerSocket* pSocket);
    const std::string& OwnAddress() const { return m_ownAddress; }
    unsigned Port() const { return m_nPort; }
    const std::string& BindAddress() const { return m_strBind; }
    const std::deque<std::string>& PendingAddresses() const { return m_pendingAddresses; }
    const std::vector<CPeerSocket*>& Peers() const { return m_peers; }
    bool IsListening() const { return m_listenSocket.IsOpen(); }
    bool HasSeen(const std::string& strId) const { return m_seenIds.count(strId) != 0; }
    const CTimerSet& Timers() const { return m_timers; }
    // The refresh timer's tick.
    void OnTimer(int nIDEvent);

private:
    void RememberId(const std::string& strId);
    // Starts the first pending attempt that has a usable address.
    void ConnectNextPending();

    CPeerHost& m_host;
    std::string m_strBind;
    unsigned m_nPort;
    std::string m_ownAddress;
    int m_nListenError = 0;
    CPeerListenSocket m_listenSocket{*this};
    // Every open socket: connecting, listed, or about to be released.
    std::vector<std::unique_ptr<CPeerSocket>> m_sockets;
    std::vector<std::unique_ptr<CPeerSocket>> m_released;
    std::vector<CPeerSocket*> m_peers;
    std::deque<std::string> m_pendingAddresses;
    std::unordered_set<std::string> m_seenIds;
    std::deque<std::string> m_seenOrder;
    CTimerSet m_timers{[this](int nIDEvent) { OnTimer(nIDEvent); }};
    // Context of the queued release, so it never runs after the network is gone.
    QObject m_context;
};
