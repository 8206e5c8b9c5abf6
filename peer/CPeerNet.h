#pragma once

// The peer network: listens for other clients, connects out to the addresses the service
// hands out, and floods chat events between them. Every event it has not seen, dated
// within the acceptance window (CSeenEvents), goes on to all listed peers once while the
// relay budget lasts; a new "CHAT" event also becomes an invitation for the host to show. At most
// two connection attempts run at first, and each later one is started by a connection that comes,
// fails or goes, while fewer than MAX_DIALLED_PEERS of our own connections are open; the rest of
// the list waits for one of them to go. Strangers cannot crowd it out: addresses no recent list
// named get at most MAX_UNLISTED_PEERS places, one address at most MAX_SOCKETS_PER_ADDRESS
// sockets, and an address that closed on us, refused us or could not be reached waits out a
// growing pause (CPeerBackoff) before it is tried again. New lists are asked for at most once per
// REFRESH_PERIOD_MS, whatever closes; the refresh timer asks every period while no address is
// left or the rest wait. Several networks may live in one process. Window thread only.

#include "hub/CChatRequest.h"
#include "peer/CEventRateLimit.h"
#include "peer/CPeerBackoff.h"
#include "peer/CPeerListenSocket.h"
#include "peer/CSeenEvents.h"
#include "platform/CTimerSet.h"
#include "util/Strings.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
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
    // A "CHAT" event this client had not seen arrived from the peer at strFrom (dotted).
    virtual void ChatInvitation(const CChatEvent& event, const std::string& strFrom) = 0;
    // The addresses ran out, or the period passed while they wait: fetch a new list, which
    // comes back through PeerListArrived.
    virtual void RefreshPeerList() = 0;
    // Opens (or raises) the chat room an invitation names.
    virtual void OpenRoom(const CChatRequest& request) = 0;
};

// Why other clients cannot connect to us, for the user: "port 443 is reserved for the
// system." and the like, from the error StartListening met.
std::string ListenFailureText(int nError, unsigned nPort);

class CPeerNet final {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // A new peer is refused while more than this many are listed.
    static constexpr int PEER_LIMIT = 10;
    // Of the PEER_LIMIT + 1 places, those left for addresses no recent list named.
    static constexpr int MAX_UNLISTED_PEERS = 6;
    // Connecting out stops while this many of our own connections are open (made or under
    // way): the other places stay for clients that log in later and connect to us.
    // Filling every place from the list would take the newest clients' places first, and
    // newcomers could link only to the few clients just before them: the network would
    // become a chain whose hops grow in step with the number of clients.
    static constexpr int MAX_DIALLED_PEERS = PEER_LIMIT + 1 - MAX_UNLISTED_PEERS;
    // Open sockets per remote address: connecting, accepted or listed.
    static constexpr int MAX_SOCKETS_PER_ADDRESS = 2;
    // The lists whose addresses count as listed: the newest ones.
    static constexpr size_t LISTS_KEPT = 2;
    static constexpr int LISTEN_BACKLOG = 1;
    static constexpr int REFRESH_PERIOD_MS = 300000;
    // Ids remembered for duplicate suppression, at most.
    static constexpr size_t MAX_SEEN_IDS = CSeenEvents::MAX_IDS;
    // What a client passes on for others, all peers together: less than any peer lets in
    // (CEventRateLimit), so honest relaying of a flood cut at its first hop never trips
    // the next. Events over it are still taken and shown here, just not passed on.
    static constexpr int RELAY_BURST = 40;
    static constexpr int RELAY_RATE_PER_SECOND = 10;
    // A peer that stayed connected this long before it went starts its pause over.
    static constexpr std::chrono::seconds STABLE_PERIOD{120};

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
    // dotted IPv4, already connected, our own, pausing, or holding its share of sockets.
    int ConnectTo(const std::string& strAddress);
    // 1 when the connected socket was listed; 0 when refused (limit, already listed, its
    // address's sockets, or the places for unlisted addresses taken).
    int AddPeer(CPeerSocket* pSocket);
    // Whether the socket was listed.
    bool RemovePeer(CPeerSocket* pSocket);
    bool IsConnectedTo(const std::string& strAddress) const;
    // Whether one of the LISTS_KEPT newest lists named the address.
    bool IsListed(const std::string& strAddress) const;
    // Records the event's id and queues its text to every listed peer.
    void Broadcast(const CChatEvent& event);
    // An event from the peer at strFrom: relayed once to every peer (its sender too)
    // unless seen, refused or over the relay budget; refusals are logged.
    void OnEventReceived(const CChatEvent& event, const std::string& strFrom = {});
    // Opens the chat room a "CHAT" event names, through the host.
    void OpenChatForEvent(const CChatEvent& event);
    int GetPeerCount() const { return static_cast<int>(m_peers.size()); }
    // Closes every connection and the listener; the ids seen and the pauses are kept.
    void Shutdown();

    // A connection was made (accepted, or an outgoing one done), or an attempt failed
    // (null): list it and start the next pending attempt.
    void PeerConnected(CPeerSocket* pSocket);
    // An outgoing attempt failed: its address pauses, and the next attempt starts.
    void ConnectFailed(CPeerSocket* pSocket);
    // A connection closed: unlist it, pause its address, then try the next address or
    // ask for a new list.
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
    bool HasSeen(const std::string& strId) const { return m_seen.HasSeen(strId); }
    const CSeenEvents& SeenEvents() const { return m_seen; }
    const CPeerBackoff& Backoff() const { return m_backoff; }
    const CTimerSet& Timers() const { return m_timers; }
    // The refresh timer's tick: asks for a new list when the addresses ran out or wait for
    // a dialled peer to go.
    void OnTimer(int nIDEvent);

    // The network's clocks: steady time for pauses and rates, and the seconds since 1970
    // that event time stamps are checked against.
    TimePoint Now() const { return std::chrono::steady_clock::now() + m_clockSkew; }
    int64_t WallSeconds() const;
    // For tests: moves both clocks of this network forward.
    void AdvanceClock(std::chrono::milliseconds duration) { m_clockSkew += duration; }
    // The deadline of outgoing attempts started from now on.
    void SetConnectDeadline(std::chrono::milliseconds deadline) { m_connectDeadline = deadline; }

private:
    // Starts the first pending attempt that has a usable address.
    void ConnectNextPending();
    // Asks the host for a new list unless one was asked for or came in the last period.
    void RequestRefresh();
    int SocketsFor(const std::string& strAddress) const;
    int UnlistedPeers() const;
    // Our own connections, made or under way.
    int DialledPeers() const;

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
    // The addresses of the newest lists, newest first.
    std::deque<std::unordered_set<std::string>> m_listed;
    CSeenEvents m_seen;
    CPeerBackoff m_backoff;
    // When a list was last asked for or came in.
    std::optional<TimePoint> m_lastRefresh;
    std::chrono::milliseconds m_clockSkew{0};
    CEventRateLimit m_relayBudget{Now(), RELAY_BURST, RELAY_RATE_PER_SECOND};
    std::chrono::milliseconds m_connectDeadline = CAsyncSocket::CONNECT_DEADLINE;
    CTimerSet m_timers{[this](int nIDEvent) { OnTimer(nIDEvent); }};
    // Context of the queued release, so it never runs after the network is gone.
    QObject m_context;
};
