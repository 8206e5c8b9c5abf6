#include "PeerScale.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
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
