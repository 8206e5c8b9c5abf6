#include "PeerScale.h"

#include "peer/CPeerNet.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <numeric>
#include <optional>

namespace {

// The service's numbers (tools/service/CPeerRegistry.h).
constexpr size_t kSampleSize = 1000;
constexpr size_t kPoolSize = 4 * kSampleSize;

std::string Address(const sockaddr_in& addr) {
    char szAddress[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &addr.sin_addr, szAddress, sizeof szAddress);
    return szAddress;
}

// The key, local address and traffic of a connected IPv4 TCP socket; none for any other
// descriptor.
std::optional<std::string> ReadSocket(int fd, std::string& strLocal, CSocketBytes& bytes) {
    sockaddr_in local{}, remote{};
    socklen_t nLocal = sizeof local, nRemote = sizeof remote;
    tcp_info info{};
    socklen_t nInfo = sizeof info;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &nLocal) != 0 ||
        local.sin_family != AF_INET ||
        getpeername(fd, reinterpret_cast<sockaddr*>(&remote), &nRemote) != 0 ||
        getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &nInfo) != 0 ||
        nInfo < offsetof(tcp_info, tcpi_bytes_sent) + sizeof info.tcpi_bytes_sent) {
        return std::nullopt;
    }
    strLocal = Address(local);
    bytes = {info.tcpi_bytes_sent, info.tcpi_bytes_received};
    return SocketKey(strLocal, ntohs(local.sin_port), Address(remote), ntohs(remote.sin_port));
}

}  // namespace

int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

std::string ScaleAddress(int k) {
    const int nBlock = k / 254;
    return "127." + std::to_string(20 + nBlock / 254) + "." + std::to_string(nBlock % 254 + 1) +
           "." + std::to_string(k % 254 + 1);
}

std::vector<std::string> ServiceSample(const std::vector<std::string>& registry,
                                       const std::string& strOwn, std::mt19937& rng) {
    const size_t nPool = std::min(registry.size(), kPoolSize);
    std::vector<std::string> pool;
    pool.reserve(nPool);
    for (auto it = registry.end() - static_cast<std::ptrdiff_t>(nPool); it != registry.end();
         ++it) {
        if (*it != strOwn) {
            pool.push_back(*it);
        }
    }
    std::shuffle(pool.begin(), pool.end(), rng);
    if (pool.size() > kSampleSize) {
        pool.resize(kSampleSize);
    }
    return pool;
}

CLinks ReplayLinking(int nClients, int nDialled, std::mt19937& rng) {
    constexpr size_t kPlaces = CPeerNet::PEER_LIMIT + 1;
    CLinks links(static_cast<size_t>(nClients));
    std::vector<int> unlisted(static_cast<size_t>(nClients), 0);
    std::vector<int> pool;
    for (int k = 0; k < nClients; ++k) {
        const int nFirst = std::max(0, k - static_cast<int>(kPoolSize));
        pool.resize(static_cast<size_t>(k - nFirst));
        std::iota(pool.begin(), pool.end(), nFirst);
        // The list's first kSampleSize addresses of the pool in random order, drawn as they
        // are dialled.
        int nTaken = 0;
        for (size_t i = 0; i < std::min(pool.size(), kSampleSize) && nTaken < nDialled; ++i) {
            std::swap(pool[i],
                      pool[std::uniform_int_distribution<size_t>(i, pool.size() - 1)(rng)]);
            const auto a = static_cast<size_t>(pool[i]);
            if (links[a].size() < kPlaces && unlisted[a] < CPeerNet::MAX_UNLISTED_PEERS) {
                links[a].push_back(k);
                links[static_cast<size_t>(k)].push_back(static_cast<int>(a));
                ++unlisted[a];
                ++nTaken;
            }
        }
    }
    return links;
}

CHops HopsOf(const CLinks& links, int nOrigins, std::mt19937& rng) {
    std::vector<int> clients;
    for (size_t k = 0; k < links.size(); ++k) {
        if (!links[k].empty()) {
            clients.push_back(static_cast<int>(k));
        }
    }
    std::vector<double> means;
    std::vector<int> at99, all;
    std::vector<int> hops(links.size());
    std::vector<int> queue;
    for (int n = 0; n < nOrigins && !clients.empty(); ++n) {
        const int nOrigin =
            clients[std::uniform_int_distribution<size_t>(0, clients.size() - 1)(rng)];
        std::fill(hops.begin(), hops.end(), -1);
        hops[static_cast<size_t>(nOrigin)] = 0;
        queue.assign(1, nOrigin);
        for (size_t i = 0; i < queue.size(); ++i) {
            for (const int j : links[static_cast<size_t>(queue[i])]) {
                if (hops[static_cast<size_t>(j)] < 0) {
                    hops[static_cast<size_t>(j)] = hops[static_cast<size_t>(queue[i])] + 1;
                    queue.push_back(j);
                }
            }
        }
        // Breadth first: the queue holds the clients reached in order of their hops.
        double dSum = 0;
        for (const int k : queue) {
            dSum += hops[static_cast<size_t>(k)];
        }
        means.push_back(dSum / static_cast<double>(queue.size()));
        at99.push_back(hops[static_cast<size_t>(
            queue[static_cast<size_t>(std::ceil(0.99 * static_cast<double>(queue.size()))) - 1])]);
        all.push_back(hops[static_cast<size_t>(queue.back())]);
    }
    const auto median = [](auto values) {
        std::sort(values.begin(), values.end());
        return values.empty() ? typename decltype(values)::value_type{} : values[values.size() / 2];
    };
    return {median(means), median(at99), median(all)};
}

long RaiseFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return -1;
    }
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    getrlimit(RLIMIT_NOFILE, &limit);
    return static_cast<long>(limit.rlim_cur);
}

std::string SocketKey(const std::string& strLocal, unsigned nLocalPort,
                      const std::string& strRemote, unsigned nRemotePort) {
    return strLocal + ":" + std::to_string(nLocalPort) + ">" + strRemote + ":" +
           std::to_string(nRemotePort);
}

std::map<std::string, CTcpSocket> TcpSockets() {
    std::map<std::string, CTcpSocket> sockets;
    DIR* pDir = opendir("/proc/self/fd");
    if (pDir == nullptr) {
        return sockets;
    }
    const int nOwnFd = dirfd(pDir);
    while (const dirent* pEntry = readdir(pDir)) {
        char* pEnd = nullptr;
        const long fd = std::strtol(pEntry->d_name, &pEnd, 10);
        if (pEnd == pEntry->d_name || *pEnd != '\0' || fd == nOwnFd) {
            continue;
        }
        CTcpSocket socket;
        if (const std::optional<std::string> strKey =
                ReadSocket(static_cast<int>(fd), socket.strLocalAddress, socket.bytes)) {
            socket.fd = static_cast<int>(fd);
            sockets[*strKey] = socket;
        }
    }
    closedir(pDir);
    return sockets;
}

std::optional<CSocketBytes> SocketBytes(int fd, const std::string& strKey) {
    std::string strLocal;
    CSocketBytes bytes;
    if (ReadSocket(fd, strLocal, bytes) != strKey) {
        return std::nullopt;
    }
    return bytes;
}
