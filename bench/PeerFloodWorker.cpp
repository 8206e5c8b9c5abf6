// A worker of the peer flood at scale (bench_peer starts several): hosts its share of the
// clients, each a real CPeerNet on its own loopback address, and does what the coordinator
// says on standard input, one command a line, one answer line each on standard output:
//
//   port PORT               the peer port of every client          -> ok
//   client ID ADDRESS       a client listening on ADDRESS          -> ok | fail ERRNO
//   login ID ADDRESS...     a log-in answer's peer list arrives    -> ok
//   registry ADDRESS...     who logged in, for the lists refreshes ask for -> ok
//   at NS leave ID          at CLOCK_MONOTONIC time NS the client quits (Shutdown)
//   at NS login ID ADDR...  ... its peer list arrives
//   at NS broadcast ID      ... it sends an invitation             -> ok (each "at")
//   reset                   forgets the invitations and counts traffic from now on -> ok
//   count                   -> count CLIENTS_INVITED
//   bytes                   -> bytes RECEIVED (all sockets, ever)
//   cpu                     -> cpu NS (this process's processor time, ever)
//   state                   -> state PEERS CONNECTING PEER_COUNT_CHANGES REFRESHES DIALLED
//   graph                   -> graph ID=ADDRESS,ADDRESS... (each live client's peers)
//   result                  -> result SENT_NS EVENT_BYTES ID=INV,FIRST_NS,SENT,RECEIVED,PEERS...
//                              (invitations, when the first came, bytes since the reset)
//   echo                    -> echo PORT (an echo server on 127.0.0.1)
//   ping PORT N             -> ping MEDIAN_MS (N round trips to that echo server)
//   quit

#include "PeerScale.h"

#include "peer/CChatEvent.h"
#include "peer/CPeerNet.h"
#include "peer/CPeerSocket.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct CWorkerState {
    std::vector<std::string> registry;
    std::mt19937 rng{std::random_device{}()};
    long nPeerCountChanges = 0;
    long nRefreshes = 0;
};

class CScaleClient final : public CPeerHost {
public:
    CScaleClient(CWorkerState& state, const std::string& strAddress, unsigned nPort)
        : m_state(state), m_strAddress(strAddress), m_net(*this, strAddress, nPort) {}
    void PeerCountChanged(int) override { ++m_state.nPeerCountChanges; }
    void ChatInvitation(const CChatEvent&, const std::string&) override {
        if (m_nInvited++ == 0) {
            m_nFirstNs = MonotonicNs();
        }
    }
    void OpenRoom(const CChatRequest&) override {}
    // The service's answer comes back a moment later, as from a log-in request.
    void RefreshPeerList() override {
        ++m_state.nRefreshes;
        QTimer::singleShot(0, &m_context, [this] {
            const std::vector<std::string> list =
                ServiceSample(m_state.registry, m_strAddress, m_state.rng);
            PeerListArrived(list);
        });
    }
    void PeerListArrived(const std::vector<std::string>& list) {
        m_nListed += static_cast<long>(list.size());
        const CStringArray addresses(list.begin(), list.end());
        m_net.PeerListArrived(&addresses);
    }
    long Dialled() const { return m_nListed - static_cast<long>(m_net.PendingAddresses().size()); }

    CWorkerState& m_state;
    std::string m_strAddress;
    CPeerNet m_net;
    bool m_bLeft = false;
    int m_nInvited = 0;
    int64_t m_nFirstNs = 0;
    long m_nListed = 0;
    // Traffic of sockets gone since the reset (the client's own, when it left).
    CSocketBytes m_departed;
    QObject m_context;
};

class CWorker {
public:
    CWorker() {
        QObject::connect(&m_input, &QSocketNotifier::activated, [this] { ReadInput(); });
    }

private:
    void ReadInput() {
        char buffer[65536];
        const ssize_t nRead = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (nRead <= 0) {
            QCoreApplication::exit(0);  // the coordinator is gone
            return;
        }
        m_strInput.append(buffer, static_cast<size_t>(nRead));
        size_t nEnd = 0;
        while ((nEnd = m_strInput.find('\n')) != std::string::npos) {
            const std::string strLine = m_strInput.substr(0, nEnd);
            m_strInput.erase(0, nEnd + 1);
            Handle(strLine);
        }
    }

    static void Answer(const std::string& strLine) {
        const std::string strOut = strLine + "\n";
        size_t nDone = 0;
        while (nDone < strOut.size()) {
            const ssize_t n = ::write(STDOUT_FILENO, strOut.data() + nDone, strOut.size() - nDone);
            if (n <= 0) {
                return;
            }
            nDone += static_cast<size_t>(n);
        }
    }

    CScaleClient* Client(int nId) {
        const auto it = m_clients.find(nId);
        return it == m_clients.end() || it->second->m_bLeft ? nullptr : it->second.get();
    }

    void Handle(const std::string& strLine) {
        std::istringstream in(strLine);
        std::string strCommand;
        in >> strCommand;
        if (strCommand == "client") {
            int nId = 0;
            std::string strAddress;
            in >> nId >> strAddress;
            auto pClient = std::make_unique<CScaleClient>(m_state, strAddress, m_nPort);
            const bool bOk = pClient->m_net.StartListening();
            const int nError = pClient->m_net.ListenError();
            m_clients[nId] = std::move(pClient);
            Answer(bOk ? "ok" : "fail " + std::to_string(nError));
        } else if (strCommand == "port") {
            in >> m_nPort;
            Answer("ok");
        } else if (strCommand == "login") {
            int nId = 0;
            in >> nId;
            Login(nId, Words(in));
            Answer("ok");
        } else if (strCommand == "registry") {
            m_state.registry = Words(in);
            Answer("ok");
        } else if (strCommand == "at") {
            Schedule(in);
            Answer("ok");
        } else if (strCommand == "reset") {
            Reset();
            Answer("ok");
        } else if (strCommand == "count") {
            const long nInvited = std::count_if(m_clients.begin(), m_clients.end(),
                                                [](const auto& c) { return c.second->m_nInvited; });
            Answer("count " + std::to_string(nInvited));
        } else if (strCommand == "bytes") {
            // Reads every socket's counters: not while the flood is timed.
            long nBytes = 0;
            for (const auto& [strKey, socket] : TcpSockets()) {
                nBytes += static_cast<long>(socket.bytes.nReceived);
            }
            Answer("bytes " + std::to_string(nBytes));
        } else if (strCommand == "cpu") {
            timespec used{};
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
            Answer("cpu " +
                   std::to_string(static_cast<int64_t>(used.tv_sec) * 1000000000 + used.tv_nsec));
        } else if (strCommand == "state") {
            State();
        } else if (strCommand == "graph") {
            Graph();
        } else if (strCommand == "result") {
            Result();
        } else if (strCommand == "echo") {
            StartEcho();
        } else if (strCommand == "ping") {
            unsigned nPort = 0;
            int nTrips = 0;
            in >> nPort >> nTrips;
            Ping(nPort, std::max(1, nTrips));
        } else if (strCommand == "quit") {
            QCoreApplication::exit(0);
        } else {
            Answer("error unknown command " + strCommand);
        }
    }

    static std::vector<std::string> Words(std::istringstream& in) {
        std::vector<std::string> words;
        for (std::string strWord; in >> strWord;) {
            words.push_back(strWord);
        }
        return words;
    }

    void Login(int nId, const std::vector<std::string>& list) {
        if (CScaleClient* pClient = Client(nId)) {
            pClient->PeerListArrived(list);
        }
    }

    void Schedule(std::istringstream& in) {
        int64_t nAtNs = 0;
        std::string strAction;
        int nId = 0;
        in >> nAtNs >> strAction >> nId;
        std::vector<std::string> list = Words(in);
        const int nDelayMs =
            static_cast<int>(std::max<int64_t>(0, (nAtNs - MonotonicNs()) / 1000000));
        QTimer::singleShot(nDelayMs, Qt::PreciseTimer, &m_context,
                           [this, nAtNs, strAction, nId, list] {
                               // The timer may wake a little early: wait out the rest.
                               while (MonotonicNs() < nAtNs) {
                               }
                               Act(strAction, nId, list);
                           });
    }

    void Act(const std::string& strAction, int nId, const std::vector<std::string>& list) {
        CScaleClient* pClient = Client(nId);
        if (pClient == nullptr) {
            return;
        }
        if (strAction == "leave") {
            // What its sockets carried is counted before they go.
            const CSocketBytes own = BytesOf(*pClient);
            pClient->m_departed.nSent += own.nSent;
            pClient->m_departed.nReceived += own.nReceived;
            pClient->m_net.Shutdown();
            pClient->m_bLeft = true;
        } else if (strAction == "login") {
            pClient->PeerListArrived(list);
        } else if (strAction == "broadcast") {
            const CChatEvent event = CChatEvent::Invitation(
                "#bench", "A headline worth a chat", "http://example.org/article/1", "origin");
            m_nEventBytes = event.ToXml().size();
            m_nSentNs = MonotonicNs();
            pClient->m_net.Broadcast(event);
        }
    }

    // Bytes through the client's peer sockets since the reset, read through the descriptors
    // the reset found: scanning them all would hold this event loop for milliseconds while
    // the flood is timed. A socket made since the reset is not counted.
    CSocketBytes BytesOf(const CScaleClient& client) {
        CSocketBytes total;
        for (const CPeerSocket* pPeer : client.m_net.Peers()) {
            std::string strRemote;
            unsigned nRemotePort = 0;
            if (!pPeer->GetPeerName(strRemote, nRemotePort)) {
                continue;
            }
            const auto it = m_baseline.find(
                SocketKey(client.m_strAddress, pPeer->GetLocalPort(), strRemote, nRemotePort));
            const std::optional<CSocketBytes> now =
                it == m_baseline.end() ? std::nullopt : SocketBytes(it->second.fd, it->first);
            if (now) {
                total.nSent += now->nSent - it->second.bytes.nSent;
                total.nReceived += now->nReceived - it->second.bytes.nReceived;
            }
        }
        return total;
    }

    void Reset() {
        m_baseline = TcpSockets();
        for (auto& [nId, pClient] : m_clients) {
            pClient->m_nInvited = 0;
            pClient->m_nFirstNs = 0;
            pClient->m_departed = {};
        }
        m_nSentNs = 0;
    }

    void State() {
        long nPeers = 0, nDialled = 0;
        for (const auto& [nId, pClient] : m_clients) {
            if (!pClient->m_bLeft) {
                nPeers += pClient->m_net.GetPeerCount();
                nDialled += pClient->Dialled();
            }
        }
        // Connections not yet made show as sockets without a peer name: count the
        // handshakes in progress from the kernel's table instead.
        long nConnecting = 0;
        if (FILE* pFile = std::fopen("/proc/self/net/tcp", "r")) {
            char szLine[512];
            while (std::fgets(szLine, sizeof szLine, pFile)) {
                unsigned nState = 0;
                if (std::sscanf(szLine, "%*s %*s %*s %x", &nState) == 1 &&
                    (nState == 2 || nState == 3)) {  // SYN_SENT, SYN_RECV
                    ++nConnecting;
                }
            }
            std::fclose(pFile);
        }
        Answer("state " + std::to_string(nPeers) + " " + std::to_string(nConnecting) + " " +
               std::to_string(m_state.nPeerCountChanges) + " " +
               std::to_string(m_state.nRefreshes) + " " + std::to_string(nDialled));
    }

    void Graph() {
        std::string strOut = "graph";
        for (const auto& [nId, pClient] : m_clients) {
            if (pClient->m_bLeft) {
                continue;
            }
            strOut += ' ';
            strOut += std::to_string(nId) + "=";
            for (const CPeerSocket* pPeer : pClient->m_net.Peers()) {
                strOut += pPeer->RemoteAddress() + ",";
            }
        }
        Answer(strOut);
    }

    void Result() {
        // One pass over the sockets for every client.
        std::map<std::string, CSocketBytes> byAddress;
        for (const auto& [strKey, socket] : TcpSockets()) {
            const auto it = m_baseline.find(strKey);
            const CSocketBytes base = it == m_baseline.end() ? CSocketBytes{} : it->second.bytes;
            CSocketBytes& total = byAddress[socket.strLocalAddress];
            total.nSent += socket.bytes.nSent - base.nSent;
            total.nReceived += socket.bytes.nReceived - base.nReceived;
        }
        std::string strOut =
            "result " + std::to_string(m_nSentNs) + " " + std::to_string(m_nEventBytes);
        for (const auto& [nId, pClient] : m_clients) {
            const CSocketBytes live = byAddress[pClient->m_strAddress];
            strOut += ' ';
            strOut += std::to_string(nId) + "=" + std::to_string(pClient->m_nInvited) + "," +
                      std::to_string(pClient->m_nFirstNs) + "," +
                      std::to_string(live.nSent + pClient->m_departed.nSent) + "," +
                      std::to_string(live.nReceived + pClient->m_departed.nReceived) + "," +
                      std::to_string(pClient->m_bLeft ? -1 : pClient->m_net.GetPeerCount());
        }
        Answer(strOut);
    }

    void StartEcho() {
        if (!m_echo.isListening()) {
            m_echo.listen(QHostAddress::LocalHost, 0);
            QObject::connect(&m_echo, &QTcpServer::newConnection, [this] {
                while (QTcpSocket* pSocket = m_echo.nextPendingConnection()) {
                    QObject::connect(pSocket, &QTcpSocket::readyRead,
                                     [pSocket] { pSocket->write(pSocket->readAll()); });
                    QObject::connect(pSocket, &QTcpSocket::disconnected, pSocket,
                                     &QObject::deleteLater);
                }
            });
        }
        Answer("echo " + std::to_string(m_echo.serverPort()));
    }

    // Round trips of 64 bytes through this event loop and the echo server's, one after
    // another; answers with the median once done.
    void Ping(unsigned nPort, int nTrips) {
        auto pSocket = std::make_shared<QTcpSocket>();
        auto pTrips = std::make_shared<std::vector<double>>();
        auto pPending = std::make_shared<qint64>(0);
        auto pSent = std::make_shared<int64_t>(0);
        const QByteArray ping(64, 'p');
        auto send = [=] {
            *pPending = ping.size();
            *pSent = MonotonicNs();
            pSocket->write(ping);
        };
        QObject::connect(pSocket.get(), &QTcpSocket::connected, send);
        QObject::connect(pSocket.get(), &QTcpSocket::readyRead, [=, this] {
            *pPending -= pSocket->readAll().size();
            if (*pPending > 0) {
                return;
            }
            pTrips->push_back(static_cast<double>(MonotonicNs() - *pSent) / 1e6);
            if (static_cast<int>(pTrips->size()) < nTrips) {
                send();
                return;
            }
            std::sort(pTrips->begin(), pTrips->end());
            char szMedian[32];
            std::snprintf(szMedian, sizeof szMedian, "%.4f", (*pTrips)[pTrips->size() / 2]);
            Answer(std::string("ping ") + szMedian);
            pSocket->disconnect();
            QTimer::singleShot(0, &m_context, [pSocket] { pSocket->close(); });
        });
        QObject::connect(pSocket.get(), &QTcpSocket::errorOccurred, [=, this] {
            Answer("ping -1");
            pSocket->disconnect();
            QTimer::singleShot(0, &m_context, [pSocket] { pSocket->close(); });
        });
        pSocket->connectToHost(QHostAddress::LocalHost, static_cast<quint16>(nPort));
    }

    QSocketNotifier m_input{STDIN_FILENO, QSocketNotifier::Read};
    std::string m_strInput;
    CWorkerState m_state;
    unsigned m_nPort = 0;
    std::map<int, std::unique_ptr<CScaleClient>> m_clients;
    std::map<std::string, CTcpSocket> m_baseline;
    int64_t m_nSentNs = 0;
    size_t m_nEventBytes = 0;
    QTcpServer m_echo;
    QObject m_context;
};

}  // namespace

int main(int argc, char** argv) {
    RaiseFileLimit();
    QCoreApplication app(argc, argv);
    CWorker worker;
    return QCoreApplication::exec();
}
