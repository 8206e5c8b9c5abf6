// The peer flood at scale, the coordinator's side: starts the worker processes, hands each
// its share of the clients, logs them in one after another with the lists the service
// would give, and measures invitations sent from one client: when each client got it (on
// the clock every process shares), the copies each client sent and the duplicates it
// received (from the kernel's per-socket byte counts) and the processor time of all
// workers, with and without churn. The hops over the links made are set beside the same
// log-ins replayed without sockets, which then give the hops of networks up to 100,000
// clients.

#include "PeerScale.h"

#include "peer/CPeerNet.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Worst-case descriptors of one client: its listener, PEER_LIMIT + 1 peers, two attempts
// and sockets being refused.
constexpr long kFilesPerClient = CPeerNet::PEER_LIMIT + 1 + 6;
constexpr auto kLoginInterval = 5ms;
constexpr int kChurnPercent = 5;
constexpr double kTargetMs = 200;

// One worker process and the pipes to its standard input and output.
class CWorkerProcess {
public:
    CWorkerProcess() = default;
    CWorkerProcess(const CWorkerProcess&) = delete;
    CWorkerProcess& operator=(const CWorkerProcess&) = delete;
    ~CWorkerProcess() { Stop(); }

    bool Start(const std::string& strBinary) {
        int toChild[2], fromChild[2];
        if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
            return false;
        }
        m_pid = fork();
        if (m_pid == 0) {
            dup2(toChild[0], STDIN_FILENO);
            dup2(fromChild[1], STDOUT_FILENO);
            execl(strBinary.c_str(), strBinary.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        m_nTo = toChild[1];
        m_nFrom = fromChild[0];
        return m_pid > 0;
    }

    bool Send(const std::string& strLine) {
        const std::string strOut = strLine + "\n";
        for (size_t nDone = 0; nDone < strOut.size();) {
            const ssize_t n = write(m_nTo, strOut.data() + nDone, strOut.size() - nDone);
            if (n <= 0) {
                return false;
            }
            nDone += static_cast<size_t>(n);
        }
        return true;
    }

    std::optional<std::string> Read(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            const size_t nEnd = m_strBuffer.find('\n');
            if (nEnd != std::string::npos) {
                std::string strLine = m_strBuffer.substr(0, nEnd);
                m_strBuffer.erase(0, nEnd + 1);
                return strLine;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd fd{m_nFrom, POLLIN, 0};
            if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
                return std::nullopt;
            }
            char buffer[65536];
            const ssize_t n = read(m_nFrom, buffer, sizeof buffer);
            if (n <= 0) {
                return std::nullopt;
            }
            m_strBuffer.append(buffer, static_cast<size_t>(n));
        }
    }

    // Asks the worker to quit and waits for it; a worker that hangs is killed.
    void Stop() {
        if (m_pid <= 0) {
            return;
        }
        Send("quit");
        int nStatus = 0;
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (waitpid(m_pid, &nStatus, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &nStatus, 0);
                break;
            }
            std::this_thread::sleep_for(10ms);
        }
        m_pid = -1;
        close(m_nTo);
        close(m_nFrom);
    }

private:
    pid_t m_pid = -1;
    int m_nTo = -1;
    int m_nFrom = -1;
    std::string m_strBuffer;
};

struct CClientResult {
    int nInvited = 0;
    int64_t nFirstNs = 0;
    uint64_t nSent = 0;
    uint64_t nReceived = 0;
    int nPeers = 0;  // -1: the client has left
};

struct CRoundResult {
    int64_t nSentNs = 0;
    size_t nEventBytes = 0;
    std::map<int, CClientResult> clients;
};

// What one round showed, over the clients it had to reach.
struct CRoundFigures {
    int nExpected = 0, nReached = 0, nOnce = 0;
    double dT99Ms = -1, dT100Ms = -1;
    int nMaxCopies = 0, nOverPeers = 0, nMaxDuplicates = 0;
    double dMeanCopies = 0, dMeanDuplicates = 0;
    int nHops = 0, nHops99 = 0;
    // Processor time of all workers from the invitation until its copies settled.
    double dCpuMs = 0;
    // Clients reached that did not have to be: those that came or went meanwhile.
    int nOthersReached = 0;
    bool bAll() const { return nOnce == nExpected && nReached == nExpected; }
};

double Median(std::vector<double> values) {
    if (values.empty()) {
        return -1;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

class CScaleRun {
public:
    CScaleRun(int nClients, int nWorkers) : m_nClients(nClients), m_workers(nWorkers) {
        for (auto& pWorker : m_workers) {
            pWorker = std::make_unique<CWorkerProcess>();
        }
    }

    bool Run(const std::string& strBinary, int nRounds) {
        const int nChurn = std::max(1, m_nClients * kChurnPercent / 100);
        if (!Setup(strBinary, m_nClients + nChurn) || !LogIn() || !Settle("linking")) {
            return false;
        }
        CompareWithReplay();
        const double dRttMs = LoadedRoundTripMs();
        std::printf("peer flood N=%d: round trip between two workers' event loops %.3f ms\n",
                    m_nClients, dRttMs);
        std::uniform_int_distribution<int> anyClient(0, m_nClients - 1);

        // Calm rounds: every client but the origin must be reached once.
        std::vector<double> t99, t100, ratios, cpu;
        CRoundFigures worst;
        bool bOk = true;
        for (int r = 0; r < nRounds; ++r) {
            const int nOrigin = anyClient(m_rng);
            std::set<int> expected;
            for (int k = 0; k < m_nClients; ++k) {
                if (k != nOrigin) {
                    expected.insert(k);
                }
            }
            const std::optional<CRoundFigures> figures = Round(nOrigin, expected, {}, true);
            if (!figures) {
                return false;
            }
            Print("round " + std::to_string(r + 1), nOrigin, *figures, dRttMs);
            bOk = bOk && figures->bAll() && figures->nOverPeers == 0;
            t99.push_back(figures->dT99Ms);
            t100.push_back(figures->dT100Ms);
            ratios.push_back(figures->dT100Ms / (figures->nHops * dRttMs));
            cpu.push_back(figures->dCpuMs);
            worst.nMaxCopies = std::max(worst.nMaxCopies, figures->nMaxCopies);
            worst.nOverPeers += figures->nOverPeers;
            worst.nMaxDuplicates = std::max(worst.nMaxDuplicates, figures->nMaxDuplicates);
            worst.dMeanCopies = std::max(worst.dMeanCopies, figures->dMeanCopies);
            worst.dMeanDuplicates = std::max(worst.dMeanDuplicates, figures->dMeanDuplicates);
            worst.nReached += figures->bAll() ? 1 : 0;
        }
        const double dT100 = Median(t100);
        std::printf(
            "summary | peer flood N=%d in %zu processes: 100%% reached | %.1f ms median, %.1f ms "
            "max; %.2f x hops x rtt | target 100%% within %.0f ms\n",
            m_nClients, m_workers.size(), dT100, *std::max_element(t100.begin(), t100.end()),
            Median(ratios), kTargetMs);
        std::printf("summary | peer flood N=%d: 99%% reached | %.1f ms median | -\n", m_nClients,
                    Median(t99));
        std::printf(
            "summary | peer flood N=%d: every client once | %d of %d rounds | every round\n",
            m_nClients, worst.nReached, nRounds);
        std::printf(
            "summary | peer flood N=%d: copies sent per client | max %d, mean %.1f; %d over "
            "its peers | <= its peer count (<= %d)\n",
            m_nClients, worst.nMaxCopies, worst.dMeanCopies, worst.nOverPeers,
            CPeerNet::PEER_LIMIT + 1);
        std::printf(
            "summary | peer flood N=%d: duplicates received per client | max %d, mean "
            "%.1f | <= its peer count (one from each peer)\n",
            m_nClients, worst.nMaxDuplicates, worst.dMeanDuplicates);

        std::printf(
            "summary | peer flood N=%d: processor time per invitation, all clients | "
            "%.0f ms median, %.0f us per client | -\n",
            m_nClients, Median(cpu), Median(cpu) * 1000 / m_nClients);

        bOk = Churn(nChurn, std::max(20.0, dT100), dRttMs) && bOk;
        return bOk;
    }

private:
    CWorkerProcess& WorkerOf(int k) {
        return *m_workers[static_cast<size_t>(k) % m_workers.size()];
    }

    // Sends one line to every worker and collects the answers.
    std::optional<std::vector<std::string>> AskAll(const std::string& strLine,
                                                   std::chrono::milliseconds limit = 60s) {
        for (auto& pWorker : m_workers) {
            if (!pWorker->Send(strLine)) {
                return std::nullopt;
            }
        }
        std::vector<std::string> answers;
        for (auto& pWorker : m_workers) {
            std::optional<std::string> answer = pWorker->Read(limit);
            if (!answer) {
                std::printf("peer flood: a worker did not answer \"%s\"\n",
                            strLine.substr(0, 20).c_str());
                return std::nullopt;
            }
            answers.push_back(*answer);
        }
        return answers;
    }

    // The sum of every worker's answer to a command that answers "COMMAND NUMBER".
    std::optional<int64_t> Sum(const std::string& strCommand) {
        const std::optional<std::vector<std::string>> answers = AskAll(strCommand);
        if (!answers) {
            return std::nullopt;
        }
        int64_t nSum = 0;
        for (const std::string& strAnswer : *answers) {
            nSum += std::stoll(strAnswer.substr(strCommand.size() + 1));
        }
        return nSum;
    }

    bool Ask(CWorkerProcess& worker, const std::string& strLine) {
        std::optional<std::string> answer;
        if (worker.Send(strLine)) {
            answer = worker.Read(60s);
        }
        if (answer != "ok") {
            std::printf("peer flood: \"%s\" failed: %s\n", strLine.substr(0, 40).c_str(),
                        answer ? answer->c_str() : "no answer");
            return false;
        }
        return true;
    }

    bool Setup(const std::string& strBinary, int nAll) {
        // One port for every client, free on all loopback addresses.
        const int nProbe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        socklen_t nLength = sizeof any;
        if (nProbe < 0 || bind(nProbe, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 ||
            getsockname(nProbe, reinterpret_cast<sockaddr*>(&any), &nLength) != 0) {
            std::printf("peer flood: no free port\n");
            return false;
        }
        close(nProbe);
        const unsigned nPort = ntohs(any.sin_port);
        for (auto& pWorker : m_workers) {
            if (!pWorker->Start(strBinary) || !Ask(*pWorker, "port " + std::to_string(nPort))) {
                std::printf("peer flood: cannot start %s\n", strBinary.c_str());
                return false;
            }
        }
        for (int k = 0; k < nAll; ++k) {
            m_addresses.push_back(ScaleAddress(k));
            if (!Ask(WorkerOf(k), "client " + std::to_string(k) + " " + m_addresses.back())) {
                return false;
            }
        }
        return true;
    }

    // Log-ins one after another, each with the list the service gives at that moment.
    bool LogIn() {
        const auto start = std::chrono::steady_clock::now();
        for (int k = 0; k < m_nClients; ++k) {
            std::string strLine = "login " + std::to_string(k);
            for (const std::string& strAddress :
                 ServiceSample(m_registry, m_addresses[static_cast<size_t>(k)], m_rng)) {
                strLine += " " + strAddress;
            }
            if (!Ask(WorkerOf(k), strLine)) {
                return false;
            }
            m_registry.push_back(m_addresses[static_cast<size_t>(k)]);
            std::this_thread::sleep_until(start + (k + 1) * kLoginInterval);
        }
        std::string strRegistry = "registry";
        for (const std::string& strAddress : m_registry) {
            strRegistry += " " + strAddress;
        }
        return AskAll(strRegistry).has_value();
    }

    // Waits until no connection is being made and no peer count changed for a second.
    bool Settle(const char* pszWhat) {
        const auto start = std::chrono::steady_clock::now();
        std::deque<long> changes;
        long nPeers = 0, nConnecting = 0, nRefreshes = 0, nDialled = 0;
        int nPolls = 0;
        while (std::chrono::steady_clock::now() - start < 300s) {
            const std::optional<std::vector<std::string>> answers = AskAll("state");
            if (!answers) {
                return false;
            }
            long nChanges = 0;
            nPeers = nConnecting = nRefreshes = nDialled = 0;
            for (const std::string& strAnswer : *answers) {
                std::istringstream in(strAnswer.substr(5));
                long a = 0, b = 0, c = 0, d = 0, e = 0;
                in >> a >> b >> c >> d >> e;
                nPeers += a;
                nConnecting += b;
                nChanges += c;
                nRefreshes += d;
                nDialled += e;
            }
            changes.push_back(nChanges);
            if (changes.size() > 4) {
                changes.pop_front();
            }
            if (nConnecting == 0 && changes.size() == 4 && changes.front() == changes.back()) {
                const double dSeconds =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                        .count() -
                    0.75;
                std::printf(
                    "peer flood N=%d: %s settled in %.1f s: %.2f peers per client, %.1f "
                    "addresses dialled per client, %ld peer count changes, %ld list "
                    "refreshes\n",
                    m_nClients, pszWhat, dSeconds, static_cast<double>(nPeers) / m_nClients,
                    static_cast<double>(nDialled) / m_nClients, nChanges, nRefreshes);
                return ReadGraph();
            }
            if (++nPolls % 40 == 0) {
                std::printf("peer flood N=%d: %s: %ld connections being made, %ld peers\n",
                            m_nClients, pszWhat, nConnecting, nPeers);
            }
            std::this_thread::sleep_for(250ms);
        }
        std::printf("peer flood N=%d: %s did not settle within 300 s (%ld connecting)\n",
                    m_nClients, pszWhat, nConnecting);
        return false;
    }

    bool ReadGraph() {
        const std::optional<std::vector<std::string>> answers = AskAll("graph");
        if (!answers) {
            return false;
        }
        std::map<std::string, int> ids;
        for (size_t k = 0; k < m_addresses.size(); ++k) {
            ids[m_addresses[k]] = static_cast<int>(k);
        }
        m_graph.clear();
        for (const std::string& strAnswer : *answers) {
            std::istringstream in(strAnswer.substr(5));
            for (std::string strClient; in >> strClient;) {
                const size_t nEquals = strClient.find('=');
                std::vector<int>& peers = m_graph[std::stoi(strClient.substr(0, nEquals))];
                std::istringstream list(strClient.substr(nEquals + 1));
                for (std::string strPeer; std::getline(list, strPeer, ',');) {
                    if (ids.count(strPeer)) {
                        peers.push_back(ids[strPeer]);
                    }
                }
            }
        }
        // Every link must be listed at both ends.
        int nOneSided = 0, nMin = 1 << 30, nMax = 0, nLinks = 0;
        for (const auto& [k, peers] : m_graph) {
            if (k >= m_nClients && peers.empty()) {
                continue;  // a client that never logged in
            }
            nMin = std::min(nMin, static_cast<int>(peers.size()));
            nMax = std::max(nMax, static_cast<int>(peers.size()));
            nLinks += static_cast<int>(peers.size());
            for (int j : peers) {
                const std::vector<int>& back = m_graph[j];
                nOneSided += std::count(back.begin(), back.end(), k) == 0 ? 1 : 0;
            }
        }
        std::printf(
            "peer flood N=%d: peers per client %d to %d, %d links, %d listed at one end "
            "only\n",
            m_nClients, nMin, nMax, nLinks / 2, nOneSided);
        return true;
    }

    // Hops from the origin to the farthest client of expected, and within which 99% lie.
    std::pair<int, int> Hops(int nOrigin, const std::set<int>& expected) {
        std::map<int, int> hops{{nOrigin, 0}};
        std::deque<int> queue{nOrigin};
        while (!queue.empty()) {
            const int k = queue.front();
            queue.pop_front();
            for (int j : m_graph[k]) {
                if (hops.emplace(j, hops[k] + 1).second) {
                    queue.push_back(j);
                }
            }
        }
        std::vector<int> distances;
        for (int k : expected) {
            distances.push_back(hops.count(k) ? hops[k] : 1 << 20);
        }
        std::sort(distances.begin(), distances.end());
        const size_t n99 = static_cast<size_t>(std::ceil(0.99 * distances.size())) - 1;
        return {distances.back(), distances[n99]};
    }

    // The hops over the links the clients made, against the same log-ins replayed without
    // sockets; then the replay for networks too large for this machine.
    void CompareWithReplay() {
        constexpr int kOrigins = 30;
        CLinks links(m_addresses.size());
        for (const auto& [k, peers] : m_graph) {
            links[static_cast<size_t>(k)] = peers;
        }
        const auto print = [&](const char* pszWhat, int nClients, const CHops& hops) {
            std::printf(
                "summary | peer flood hops, %d clients, %s | mean %.1f, 99%% within %d, "
                "all within %d | -\n",
                nClients, pszWhat, hops.dMean, hops.n99, hops.nAll);
        };
        print("as linked here", m_nClients, HopsOf(links, kOrigins, m_rng));
        for (int nClients = m_nClients; nClients <= 100000; nClients *= 10) {
            print("log-ins replayed without sockets", nClients,
                  HopsOf(ReplayLinking(nClients, CPeerNet::MAX_DIALLED_PEERS, m_rng), kOrigins,
                         m_rng));
        }
        print("replayed, dialling every place as first designed", m_nClients,
              HopsOf(ReplayLinking(m_nClients, CPeerNet::PEER_LIMIT + 1, m_rng), kOrigins, m_rng));
    }

    double LoadedRoundTripMs() {
        const std::optional<std::string> echo =
            m_workers.back()->Send("echo") ? m_workers.back()->Read(10s) : std::nullopt;
        if (!echo || !m_workers.front()->Send("ping " + echo->substr(5) + " 500")) {
            return -1;
        }
        const std::optional<std::string> ping = m_workers.front()->Read(60s);
        return ping ? std::stod(ping->substr(5)) : -1;
    }

    // Worker commands ("at" lines) by client, for an invitation that starts at a moment.
    using CActions = std::function<std::vector<std::pair<int, std::string>>(int64_t nStartNs)>;

    // One invitation from nOrigin at a moment shortly ahead, with the commands of churn
    // sent before it.
    std::optional<CRoundFigures> Round(int nOrigin, const std::set<int>& expected,
                                       const CActions& churn, bool bPeersBound) {
        if (!AskAll("reset")) {
            return std::nullopt;
        }
        const std::optional<int64_t> nCpuBefore = Sum("cpu");
        if (!nCpuBefore) {
            return std::nullopt;
        }
        const int64_t nStartNs = MonotonicNs() + 100000000;
        for (const auto& [k, strAction] : churn ? churn(nStartNs) : CActions::result_type{}) {
            if (!Ask(WorkerOf(k), strAction)) {
                return std::nullopt;
            }
        }
        if (!Ask(WorkerOf(nOrigin),
                 "at " + std::to_string(nStartNs) + " broadcast " + std::to_string(nOrigin))) {
            return std::nullopt;
        }
        std::this_thread::sleep_until(std::chrono::steady_clock::now() +
                                      std::chrono::nanoseconds(nStartNs - MonotonicNs()));
        // Reached enough (or given up), then the duplicates still on their way settle. The
        // times come from the clients' own clocks; asking seldom keeps the workers' event
        // loops, each a poll over thousands of sockets, for the flood.
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        for (;;) {
            std::this_thread::sleep_for(50ms);
            const std::optional<int64_t> nInvited = Sum("count");
            if (!nInvited) {
                return std::nullopt;
            }
            if (*nInvited >= static_cast<int64_t>(expected.size()) ||
                std::chrono::steady_clock::now() > deadline) {
                break;
            }
        }
        // The processor time of the flood, duplicates included, before the byte counts'
        // own cost: reading every socket's counters is far dearer than the flood.
        std::this_thread::sleep_for(100ms);
        const std::optional<int64_t> nCpuAfter = Sum("cpu");
        if (!nCpuAfter) {
            return std::nullopt;
        }
        int64_t nLastBytes = -1;
        for (int nQuiet = 0; nQuiet < 2 && std::chrono::steady_clock::now() < deadline + 5s;) {
            std::this_thread::sleep_for(50ms);
            const std::optional<int64_t> nBytes = Sum("bytes");
            if (!nBytes) {
                return std::nullopt;
            }
            nQuiet = *nBytes == nLastBytes ? nQuiet + 1 : 0;
            nLastBytes = *nBytes;
        }
        const std::optional<std::vector<std::string>> answers = AskAll("result");
        if (!answers) {
            return std::nullopt;
        }
        CRoundResult result;
        for (const std::string& strAnswer : *answers) {
            std::istringstream in(strAnswer.substr(7));
            int64_t nSentNs = 0;
            size_t nEventBytes = 0;
            in >> nSentNs >> nEventBytes;
            if (nSentNs != 0) {
                result.nSentNs = nSentNs;
                result.nEventBytes = nEventBytes;
            }
            for (std::string strClient; in >> strClient;) {
                CClientResult client;
                int nId = 0;
                if (std::sscanf(strClient.c_str(), "%d=%d,%lld,%llu,%llu,%d", &nId,
                                &client.nInvited, reinterpret_cast<long long*>(&client.nFirstNs),
                                reinterpret_cast<unsigned long long*>(&client.nSent),
                                reinterpret_cast<unsigned long long*>(&client.nReceived),
                                &client.nPeers) == 6) {
                    result.clients[nId] = client;
                }
            }
        }
        if (result.nSentNs == 0 || result.nEventBytes == 0) {
            std::printf("peer flood: the invitation was not sent\n");
            return std::nullopt;
        }
        CRoundFigures figures = Figures(nOrigin, expected, result, bPeersBound);
        figures.dCpuMs = static_cast<double>(*nCpuAfter - *nCpuBefore) / 1e6;
        return figures;
    }

    CRoundFigures Figures(int nOrigin, const std::set<int>& expected, const CRoundResult& result,
                          bool bPeersBound) {
        CRoundFigures figures;
        figures.nExpected = static_cast<int>(expected.size());
        std::vector<double> times;
        int nCounted = 0;
        long nCopies = 0, nAllDuplicates = 0;
        for (const auto& [k, client] : result.clients) {
            if (expected.count(k)) {
                if (client.nInvited > 0) {
                    ++figures.nReached;
                    times.push_back(static_cast<double>(client.nFirstNs - result.nSentNs) / 1e6);
                }
                figures.nOnce += client.nInvited == 1 ? 1 : 0;
            } else if (client.nInvited > 0) {
                ++figures.nOthersReached;
            }
            if (client.nSent == 0 && client.nReceived == 0) {
                continue;  // took no part: not logged in yet
            }
            const double dEvent = static_cast<double>(result.nEventBytes);
            const int nSent =
                static_cast<int>(std::lround(static_cast<double>(client.nSent) / dEvent));
            const int nReceived =
                static_cast<int>(std::lround(static_cast<double>(client.nReceived) / dEvent));
            const int nDuplicates = nReceived - (k != nOrigin && client.nInvited > 0 ? 1 : 0);
            const int nBound =
                bPeersBound && client.nPeers >= 0 ? client.nPeers : CPeerNet::PEER_LIMIT + 1;
            figures.nOverPeers += nSent > nBound ? 1 : 0;
            figures.nMaxCopies = std::max(figures.nMaxCopies, nSent);
            figures.nMaxDuplicates = std::max(figures.nMaxDuplicates, nDuplicates);
            nCopies += nSent;
            nAllDuplicates += nDuplicates;
            ++nCounted;
        }
        figures.dMeanCopies = nCounted ? static_cast<double>(nCopies) / nCounted : 0;
        figures.dMeanDuplicates = nCounted ? static_cast<double>(nAllDuplicates) / nCounted : 0;
        std::sort(times.begin(), times.end());
        const size_t n99 = static_cast<size_t>(std::ceil(0.99 * figures.nExpected));
        if (times.size() >= n99 && n99 > 0) {
            figures.dT99Ms = times[n99 - 1];
        }
        if (figures.nReached == figures.nExpected && !times.empty()) {
            figures.dT100Ms = times.back();
        }
        std::tie(figures.nHops, figures.nHops99) = Hops(nOrigin, expected);
        return figures;
    }

    void Print(const std::string& strRound, int nOrigin, const CRoundFigures& figures,
               double dRttMs) {
        std::printf(
            "peer flood N=%d %s from client %d: %d of %d reached, %d exactly once; 99%% in %.2f "
            "ms (%d hops, %.2f x hops x rtt), 100%% in %.2f ms (%d hops, %.2f x); copies sent "
            "per client max %d, mean %.1f, %d over its peer count; duplicates received max %d, "
            "mean %.1f; processor time of all workers %.1f ms (%.0f us per client)\n",
            m_nClients, strRound.c_str(), nOrigin, figures.nReached, figures.nExpected,
            figures.nOnce, figures.dT99Ms, figures.nHops99,
            figures.dT99Ms / (figures.nHops99 * dRttMs), figures.dT100Ms, figures.nHops,
            figures.dT100Ms / (figures.nHops * dRttMs), figures.nMaxCopies, figures.dMeanCopies,
            figures.nOverPeers, figures.nMaxDuplicates, figures.dMeanDuplicates, figures.dCpuMs,
            figures.dCpuMs * 1000 / (figures.nExpected + 1));
    }

    // 5% of the clients leave and as many new ones log in while one invitation spreads
    // (spread over dSpanMs from its start); then, once the links settle, one more
    // invitation must reach every client there is.
    bool Churn(int nChurn, double dSpanMs, double dRttMs) {
        std::vector<int> order(static_cast<size_t>(m_nClients));
        for (int k = 0; k < m_nClients; ++k) {
            order[static_cast<size_t>(k)] = k;
        }
        std::shuffle(order.begin(), order.end(), m_rng);
        const int nOrigin = order[0];
        const std::set<int> leavers(order.begin() + 1, order.begin() + 1 + nChurn);
        std::set<int> stayed;
        for (int k = 0; k < m_nClients; ++k) {
            if (k != nOrigin && !leavers.count(k)) {
                stayed.insert(k);
            }
        }
        // Moments after the invitation's start.
        struct CChange {
            double dAtMs;
            int nClient;
            bool bJoin;
        };
        std::vector<CChange> changes;
        std::uniform_real_distribution<double> within(0, dSpanMs);
        for (int k : leavers) {
            changes.push_back({within(m_rng), k, false});
        }
        for (int k = m_nClients; k < m_nClients + nChurn; ++k) {
            changes.push_back({within(m_rng), k, true});
        }
        std::sort(changes.begin(), changes.end(),
                  [](const CChange& a, const CChange& b) { return a.dAtMs < b.dAtMs; });
        const auto actions = [&](int64_t nStartNs) {
            std::vector<std::pair<int, std::string>> lines;
            for (const CChange& change : changes) {
                const int64_t nAt = nStartNs + static_cast<int64_t>(change.dAtMs * 1e6);
                std::string strAction = "at " + std::to_string(nAt) +
                                        (change.bJoin ? " login " : " leave ") +
                                        std::to_string(change.nClient);
                if (change.bJoin) {
                    // The service lists whoever logged in, those who left unseen included.
                    const std::string& strOwn = m_addresses[static_cast<size_t>(change.nClient)];
                    for (const std::string& strAddress : ServiceSample(m_registry, strOwn, m_rng)) {
                        strAction += " " + strAddress;
                    }
                    m_registry.push_back(strOwn);
                }
                lines.emplace_back(change.nClient, strAction);
            }
            return lines;
        };
        const std::optional<CRoundFigures> during = Round(nOrigin, stayed, actions, false);
        if (!during) {
            return false;
        }
        Print("with churn", nOrigin, *during, dRttMs);
        std::printf(
            "summary | peer flood N=%d, %d%% leave and join during it: clients that stayed | %d "
            "of %d once, 100%% in %.1f ms | all, within %.0f ms\n",
            m_nClients, kChurnPercent, during->nOnce, during->nExpected, during->dT100Ms,
            kTargetMs);
        std::printf("peer flood N=%d with churn: %d of the %d leaving or joining reached too\n",
                    m_nClients, during->nOthersReached, 2 * nChurn);

        std::string strRegistry = "registry";
        for (const std::string& strAddress : m_registry) {
            strRegistry += " " + strAddress;
        }
        if (!AskAll(strRegistry) || !Settle("relinking after churn")) {
            return false;
        }
        std::set<int> present;
        for (int k = 0; k < m_nClients + nChurn; ++k) {
            if (!leavers.count(k)) {
                present.insert(k);
            }
        }
        const int nNextOrigin = *std::next(
            stayed.begin(),
            std::uniform_int_distribution<int>(0, static_cast<int>(stayed.size()) - 1)(m_rng));
        present.erase(nNextOrigin);
        const std::optional<CRoundFigures> after = Round(nNextOrigin, present, {}, true);
        if (!after) {
            return false;
        }
        Print("after churn", nNextOrigin, *after, dRttMs);
        std::printf(
            "summary | peer flood N=%d after churn: every client | %d of %d once, 100%% in %.1f "
            "ms | all, within %.0f ms\n",
            m_nClients, after->nOnce, after->nExpected, after->dT100Ms, kTargetMs);
        return during->bAll() && after->bAll() && after->nOverPeers == 0;
    }

    int m_nClients;
    std::vector<std::unique_ptr<CWorkerProcess>> m_workers;
    std::vector<std::string> m_addresses;
    std::vector<std::string> m_registry;
    std::map<int, std::vector<int>> m_graph;
    std::mt19937 m_rng{20240601u};
};

}  // namespace

bool RunPeerFloodAtScale(const std::string& strWorkerBinary, int nClients, int nWorkers,
                         int nRounds) {
    signal(SIGPIPE, SIG_IGN);
    const long nFiles = RaiseFileLimit();
    // As many workers as asked, and more when one could not hold its share of sockets.
    const long nPerWorker = std::max(1L, (nFiles - 64) / kFilesPerClient);
    nWorkers = std::max<int>(nWorkers, static_cast<int>((nClients + nPerWorker - 1) / nPerWorker));
    std::printf(
        "peer flood N=%d: %d worker processes, up to %d clients each; open files per process "
        "%ld (soft limit raised to the hard one), about %ld per client\n",
        nClients, nWorkers, (nClients + nWorkers - 1) / nWorkers, nFiles, kFilesPerClient);
    std::fflush(stdout);
    CScaleRun run(nClients, nWorkers);
    return run.Run(strWorkerBinary, nRounds);
}
