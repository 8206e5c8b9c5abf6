// Measures the flood of a chat invitation through the peer network: N clients in this
// process, each on its own loopback address and all on one port, linked as a line, a ring
// or a random connected graph. For each shape: the time from Broadcast on one client until
// the last other client is invited (each exactly once), the bytes that crossed the wire
// per event (summed from the kernel's per-socket counters, duplicates included), and a
// floor of hops x one loopback round trip measured here too. Then the flood at scale
// (PeerFloodScale.cpp): clients in several worker processes, logged in as the service
// links them, with and without churn.
//
//   bench_peer [repeats=20] [clients=1000] [workers=4] [rounds=10]

#include "PeerScale.h"

#include "peer/CChatEvent.h"
#include "peer/CPeerNet.h"

#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

// Runs the event loop until bDone() holds or the time is up.
bool WaitUntil(const std::function<bool()>& bDone, std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    // Wakes the wait now and then so the deadline is seen even when nothing happens.
    QTimer tick;
    tick.start(5);
    while (!bDone()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void Pump(std::chrono::milliseconds period) {
    WaitUntil([] { return false; }, period);
}

// Bytes received so far on every TCP socket of this process. Every byte a peer sends
// lands on another socket of the same process, so this counts the flood's traffic,
// without touching the sockets themselves.
unsigned long long TcpBytesReceived() {
    unsigned long long nTotal = 0;
    const QStringList fds = QDir("/proc/self/fd").entryList(QDir::Files | QDir::System);
    for (const QString& strFd : fds) {
        bool bNumber = false;
        const int fd = strFd.toInt(&bNumber);
        tcp_info info{};
        socklen_t nLength = sizeof info;
        if (bNumber && ::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &nLength) == 0 &&
            nLength >= offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received) {
            nTotal += info.tcpi_bytes_received;
        }
    }
    return nTotal;
}

// Median of one small message there and back over a loopback TCP connection, driven by
// this thread's event loop as the peers are.
double LoopbackRoundTripMs(int nTrips) {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0)) {
        return -1;
    }
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QTcpSocket* pEcho = nullptr;
    if (!WaitUntil([&] { return (pEcho = server.nextPendingConnection()) != nullptr; },
                   std::chrono::seconds(5)) ||
        !WaitUntil([&] { return client.state() == QAbstractSocket::ConnectedState; },
                   std::chrono::seconds(5))) {
        return -1;
    }
    const QByteArray ping(64, 'p');
    QObject::connect(pEcho, &QTcpSocket::readyRead, [&] {
        pEcho->write(pEcho->readAll());
        pEcho->flush();
    });
    std::vector<double> trips;
    qint64 nPending = 0;
    Clock::time_point sent;
    auto send = [&] {
        nPending = ping.size();
        sent = Clock::now();
        client.write(ping);
        client.flush();
    };
    QObject::connect(&client, &QTcpSocket::readyRead, [&] {
        nPending -= client.readAll().size();
        if (nPending > 0) {
            return;
        }
        trips.push_back(Ms(Clock::now() - sent).count());
        if (static_cast<int>(trips.size()) < nTrips) {
            send();
        }
    });
    send();
    if (!WaitUntil([&] { return static_cast<int>(trips.size()) >= nTrips; },
                   std::chrono::seconds(30))) {
        return -1;
    }
    std::sort(trips.begin(), trips.end());
    return trips[trips.size() / 2];
}

// Who connects out to whom; every link is made by exactly one of its two ends.
struct CTopology {
    std::string strName;
    std::vector<std::vector<int>> outgoing;
    std::vector<std::vector<int>> neighbours;

    explicit CTopology(std::string strShape, int nClients)
        : strName(std::move(strShape)),
          outgoing(static_cast<size_t>(nClients)),
          neighbours(static_cast<size_t>(nClients)) {}
    void Link(int nFrom, int nTo) {
        outgoing[static_cast<size_t>(nFrom)].push_back(nTo);
        neighbours[static_cast<size_t>(nFrom)].push_back(nTo);
        neighbours[static_cast<size_t>(nTo)].push_back(nFrom);
    }
    int Degree(int i) const { return static_cast<int>(neighbours[static_cast<size_t>(i)].size()); }
    int Size() const { return static_cast<int>(neighbours.size()); }
    // Hops from nOrigin to the farthest client; -1 when some client cannot be reached.
    int Eccentricity(int nOrigin) const {
        std::vector<int> hops(neighbours.size(), -1);
        std::deque<int> queue{nOrigin};
        hops[static_cast<size_t>(nOrigin)] = 0;
        int nFarthest = 0;
        while (!queue.empty()) {
            const int i = queue.front();
            queue.pop_front();
            for (int j : neighbours[static_cast<size_t>(i)]) {
                if (hops[static_cast<size_t>(j)] < 0) {
                    hops[static_cast<size_t>(j)] = hops[static_cast<size_t>(i)] + 1;
                    nFarthest = std::max(nFarthest, hops[static_cast<size_t>(j)]);
                    queue.push_back(j);
                }
            }
        }
        return std::count(hops.begin(), hops.end(), -1) == 0 ? nFarthest : -1;
    }
};

CTopology Line(int nClients) {
    CTopology topology("line", nClients);
    for (int i = 0; i + 1 < nClients; ++i) {
        topology.Link(i, i + 1);
    }
    return topology;
}

CTopology Ring(int nClients) {
    CTopology topology = Line(nClients);
    topology.strName = "ring";
    topology.Link(nClients - 1, 0);
    return topology;
}

// Each client links to 1 to 3 distinct earlier ones that still have room: connected, and
// nobody is asked to list more peers than it accepts, nor more from addresses its own
// list did not name (every link comes in from such an address).
CTopology Random(int nClients, unsigned nSeed) {
    CTopology topology("random", nClients);
    std::mt19937 rng(nSeed);
    constexpr int kMaxDegree = CPeerNet::PEER_LIMIT + 1;
    for (int i = 1; i < nClients; ++i) {
        std::vector<int> candidates;
        for (int j = 0; j < i; ++j) {
            const int nIncoming =
                topology.Degree(j) -
                static_cast<int>(topology.outgoing[static_cast<size_t>(j)].size());
            if (topology.Degree(j) < kMaxDegree && nIncoming < CPeerNet::MAX_UNLISTED_PEERS) {
                candidates.push_back(j);
            }
        }
        std::shuffle(candidates.begin(), candidates.end(), rng);
        const int nLinks = std::uniform_int_distribution<int>(1, 3)(rng);
        for (int k = 0; k < nLinks && k < static_cast<int>(candidates.size()); ++k) {
            topology.Link(i, candidates[static_cast<size_t>(k)]);
        }
    }
    return topology;
}

// What the current round is waiting for.
struct CRound {
    std::string strId;
    int nInvited = 0;
    int nStray = 0;
    Clock::time_point last;
};

class CBenchClient final : public CPeerHost {
public:
    CBenchClient(CRound& round, const std::string& strAddress, unsigned nPort)
        : m_round(round), m_strAddress(strAddress), m_net(*this, strAddress, nPort) {}
    void PeerCountChanged(int) override {}
    void ChatInvitation(const CChatEvent& event, const std::string& /*strFrom*/) override {
        if (event.id != m_round.strId) {
            ++m_round.nStray;
            return;
        }
        m_round.last = Clock::now();
        ++m_round.nInvited;
        ++m_nInvitations;
    }
    void OpenRoom(const CChatRequest&) override {}
    void RefreshPeerList() override { ++m_nRefreshes; }

    CRound& m_round;
    std::string m_strAddress;
    CPeerNet m_net;
    int m_nInvitations = 0;
    int m_nRefreshes = 0;
};

struct CResult {
    double dMedianMs = 0, dMaxMs = 0, dSetupMs = 0;
    // The round trip again, with every client's sockets watched by the same event loop.
    double dLoadedRttMs = 0;
    unsigned long long nBytesPerEvent = 0;
    size_t nEventBytes = 0;
    bool bOk = false;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

CResult Run(const CTopology& topology, int nSubnet, unsigned nPort, int nRepeats) {
    CResult result;
    const int nClients = topology.Size();
    CRound round;
    std::vector<std::unique_ptr<CBenchClient>> clients;
    for (int i = 0; i < nClients; ++i) {
        const std::string strAddress =
            "127.0." + std::to_string(nSubnet) + "." + std::to_string(i + 1);
        clients.push_back(std::make_unique<CBenchClient>(round, strAddress, nPort));
        if (!clients.back()->m_net.StartListening()) {
            std::printf("peer %s N=%d: cannot listen on %s:%u\n", topology.strName.c_str(),
                        nClients, strAddress.c_str(), nPort);
            return result;
        }
    }

    // One client's list at a time: the listen backlog is 1, and connections that overflow
    // it are left half open (listed by the side that connected, unknown to the other).
    auto linked = [&](const std::vector<int>& expected) {
        for (int i = 0; i < nClients; ++i) {
            if (clients[static_cast<size_t>(i)]->m_net.GetPeerCount() !=
                expected[static_cast<size_t>(i)]) {
                return false;
            }
        }
        return true;
    };
    const Clock::time_point setupStart = Clock::now();
    std::vector<int> expected(static_cast<size_t>(nClients), 0);
    for (int i = 0; i < nClients; ++i) {
        CStringArray list;
        for (int j : topology.outgoing[static_cast<size_t>(i)]) {
            list.push_back(clients[static_cast<size_t>(j)]->m_strAddress);
            ++expected[static_cast<size_t>(i)];
            ++expected[static_cast<size_t>(j)];
        }
        if (list.empty()) {
            continue;
        }
        clients[static_cast<size_t>(i)]->m_net.PeerListArrived(&list);
        if (!WaitUntil([&] { return linked(expected); }, std::chrono::seconds(10))) {
            std::printf("peer %s N=%d: the links of %s were not made within 10 s\n",
                        topology.strName.c_str(), nClients,
                        clients[static_cast<size_t>(i)]->m_strAddress.c_str());
            for (int k = 0; k < nClients; ++k) {
                const CPeerNet& net = clients[static_cast<size_t>(k)]->m_net;
                if (net.GetPeerCount() != expected[static_cast<size_t>(k)]) {
                    std::printf("  %s: %d peers of %d\n",
                                clients[static_cast<size_t>(k)]->m_strAddress.c_str(),
                                net.GetPeerCount(), expected[static_cast<size_t>(k)]);
                }
            }
            return result;
        }
    }
    result.dSetupMs = Ms(Clock::now() - setupStart).count();
    Pump(std::chrono::milliseconds(50));
    result.dLoadedRttMs = LoopbackRoundTripMs(500);
    if (result.dLoadedRttMs < 0) {
        std::printf("peer %s N=%d: the round trip among the clients could not be measured\n",
                    topology.strName.c_str(), nClients);
        return result;
    }

    // The newest client starts every round: an end of the line, a leaf-like one in the
    // random graph.
    CBenchClient& origin = *clients.back();
    std::vector<double> latencies;
    for (int r = 0; r < nRepeats; ++r) {
        CChatEvent event;
        event.type = CChatEvent::TYPE_CHAT;
        event.params = {"#bench", "A headline worth a chat", "http://example.org/article/1",
                        "origin"};
        result.nEventBytes = event.ToXml().size();
        round = CRound();
        round.strId = event.id;
        for (const auto& pClient : clients) {
            pClient->m_nInvitations = 0;
        }
        const unsigned long long nBytesBefore = TcpBytesReceived();
        const Clock::time_point start = Clock::now();
        origin.m_net.Broadcast(event);
        const bool bReached =
            WaitUntil([&] { return round.nInvited >= nClients - 1; }, std::chrono::seconds(10));
        // Duplicates are still on their way: let the traffic settle before counting it.
        unsigned long long nBytes = TcpBytesReceived();
        const Clock::time_point settleDeadline = Clock::now() + std::chrono::seconds(5);
        for (int nQuiet = 0; nQuiet < 3 && Clock::now() < settleDeadline;) {
            Pump(std::chrono::milliseconds(10));
            const unsigned long long nNow = TcpBytesReceived();
            nQuiet = nNow == nBytes ? nQuiet + 1 : 0;
            nBytes = nNow;
        }
        const unsigned long long nRoundBytes = nBytes - nBytesBefore;
        if (r > 0 && nRoundBytes != result.nBytesPerEvent) {
            std::printf("peer %s N=%d round %d: %llu bytes on the wire, %llu before\n",
                        topology.strName.c_str(), nClients, r, nRoundBytes, result.nBytesPerEvent);
        }
        result.nBytesPerEvent = std::max(result.nBytesPerEvent, nRoundBytes);

        bool bOnce = bReached && round.nStray == 0 && origin.m_nInvitations == 0;
        for (int i = 0; i + 1 < nClients; ++i) {
            const CBenchClient& client = *clients[static_cast<size_t>(i)];
            if (client.m_nInvitations != 1) {
                std::printf("peer %s N=%d round %d: %s invited %d times\n",
                            topology.strName.c_str(), nClients, r, client.m_strAddress.c_str(),
                            client.m_nInvitations);
                bOnce = false;
            }
        }
        if (!bOnce || !linked(expected)) {
            std::printf(
                "peer %s N=%d round %d: not every client invited exactly once "
                "(%d of %d, %d stray, %s)\n",
                topology.strName.c_str(), nClients, r, round.nInvited, nClients - 1, round.nStray,
                linked(expected) ? "links intact" : "links lost");
            return result;
        }
        latencies.push_back(Ms(round.last - start).count());
    }
    result.dMedianMs = Median(latencies);
    result.dMaxMs = *std::max_element(latencies.begin(), latencies.end());
    result.bOk = true;
    clients.clear();
    // The sockets' notifiers go with the event loop's deferred deletes.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Pump(std::chrono::milliseconds(20));
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Lines reach a log as they are made, also when a long run is cut short.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int nRepeats = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 10000) : 20;
    const int nScaleClients = argc > 2 ? std::clamp(std::atoi(argv[2]), 0, 100000) : 1000;
    const int nWorkers = argc > 3 ? std::clamp(std::atoi(argv[3]), 1, 64) : 4;
    const int nScaleRounds = argc > 4 ? std::clamp(std::atoi(argv[4]), 1, 1000) : 10;

    // One port for every client, free on all loopback addresses.
    unsigned nPort = 0;
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::AnyIPv4, 0)) {
            std::printf("peer: no free port\n");
            return 1;
        }
        nPort = probe.serverPort();
    }
    const double dRttMs = LoopbackRoundTripMs(2000);
    if (dRttMs < 0) {
        std::printf("peer: the loopback round trip could not be measured\n");
        return 1;
    }
    std::printf(
        "peer flood: loopback round trip (median of 2000, 64 bytes) %.3f ms; "
        "%d rounds per shape, origin is the newest client\n",
        dRttMs, nRepeats);

    int nSubnet = 2;
    bool bOk = true;
    for (int nClients : {10, 100}) {
        for (const CTopology& topology :
             {Line(nClients), Ring(nClients), Random(nClients, 20240601u)}) {
            const int nHops = topology.Eccentricity(nClients - 1);
            if (nHops < 0) {
                std::printf("peer %s N=%d: the graph is not connected\n", topology.strName.c_str(),
                            nClients);
                bOk = false;
                continue;
            }
            int nDegrees = 0;
            for (int i = 0; i < nClients; ++i) {
                nDegrees += topology.Degree(i);
            }
            const CResult result = Run(topology, nSubnet++, nPort, nRepeats);
            if (!result.bOk) {
                bOk = false;
                continue;
            }
            const double dBoundMs = nHops * dRttMs;
            const double dLoadedBoundMs = nHops * result.dLoadedRttMs;
            std::printf(
                "peer flood %-6s N=%3d: median %.2f ms, max %.2f ms; bound %d hops x rtt = "
                "%.2f ms, ratio %.1f (rtt among these clients %.3f ms: bound %.2f ms, ratio "
                "%.1f); %llu bytes/event = %.1f sends x %zu bytes (sum of degrees %d); links "
                "in %.0f ms%s\n",
                topology.strName.c_str(), nClients, result.dMedianMs, result.dMaxMs, nHops,
                dBoundMs, result.dMedianMs / dBoundMs, result.dLoadedRttMs, dLoadedBoundMs,
                result.dMedianMs / dLoadedBoundMs, result.nBytesPerEvent,
                static_cast<double>(result.nBytesPerEvent) /
                    static_cast<double>(result.nEventBytes),
                result.nEventBytes, nDegrees, result.dSetupMs,
                nClients == 100 ? " (target: 100 peers in < 50 ms)" : "");
            std::printf("summary | peer flood %s N=%d | %.2f ms, %.1f x hops x rtt | %s\n",
                        topology.strName.c_str(), nClients, result.dMedianMs,
                        result.dMedianMs / dBoundMs,
                        nClients == 100 ? "target < 50 ms" : "every client once");
        }
    }
    if (nScaleClients > 0 &&
        !RunPeerFloodAtScale(
            QCoreApplication::applicationDirPath().toStdString() + "/bench_peer_worker",
            nScaleClients, nWorkers, nScaleRounds)) {
        bOk = false;
    }
    return bOk ? 0 : 1;
}
