#include "CGatedHttpServer.h"

#include <openssl/ssl.h>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>

namespace {

// The accept loop only hands sockets to the gate, which never blocks: no threads needed.
class CInlineQueue final : public httplib::TaskQueue {
public:
    void enqueue(std::function<void()> fn) override { fn(); }
    void shutdown() override {}
};

// Numeric address and port of either end of a socket, as httplib reports them.
void AddressOf(int fd, bool bPeer, std::string& strIp, int& nPort) {
    sockaddr_storage addr{};
    socklen_t nLength = sizeof addr;
    sockaddr* pAddr = reinterpret_cast<sockaddr*>(&addr);
    if ((bPeer ? getpeername(fd, pAddr, &nLength) : getsockname(fd, pAddr, &nLength)) != 0) {
        return;
    }
    if (addr.ss_family == AF_INET) {
        nPort = ntohs(reinterpret_cast<const sockaddr_in*>(&addr)->sin_port);
    } else if (addr.ss_family == AF_INET6) {
        nPort = ntohs(reinterpret_cast<const sockaddr_in6*>(&addr)->sin6_port);
    }
    std::array<char, NI_MAXHOST> szHost{};
    if (getnameinfo(pAddr, nLength, szHost.data(), static_cast<socklen_t>(szHost.size()), nullptr,
                    0, NI_NUMERICHOST) == 0) {
        strIp = szHost.data();
    }
}

// The request as the gate collected it, and the socket (with its TLS session, if any) for
// the answer. Reading never waits on the client: what the gate did not collect is not there.
class CGatedStream final : public httplib::Stream {
public:
    CGatedStream(int fd, SSL* pSsl, std::string strReceived, std::chrono::milliseconds writeTimeout)
        : m_fd(fd),
          m_pSsl(pSsl),
          m_strReceived(std::move(strReceived)),
          m_writeTimeout(writeTimeout) {}

    bool is_readable() const override { return m_nRead < m_strReceived.size(); }

    bool is_writable() const override { return WaitFor(POLLOUT); }

    ssize_t read(char* pBuffer, size_t nSize) override {
        size_t nCount = std::min(nSize, m_strReceived.size() - m_nRead);
        if (nCount == 0) {
            return -1;
        }
        std::memcpy(pBuffer, m_strReceived.data() + m_nRead, nCount);
        m_nRead += nCount;
        return static_cast<ssize_t>(nCount);
    }

    ssize_t write(const char* pData, size_t nSize) override {
        if (m_pSsl == nullptr) {
            return is_writable() ? send(m_fd, pData, nSize, MSG_NOSIGNAL) : -1;
        }
        // The socket is non-blocking; each wait has the write timeout.
        while (true) {
            int nWritten = SSL_write(m_pSsl, pData, static_cast<int>(nSize));
            if (nWritten > 0) {
                return nWritten;
            }
            int nError = SSL_get_error(m_pSsl, nWritten);
            short nEvents = nError == SSL_ERROR_WANT_WRITE  ? POLLOUT
                            : nError == SSL_ERROR_WANT_READ ? POLLIN
                                                            : 0;
            if (nEvents == 0 || !WaitFor(nEvents)) {
                return -1;
            }
        }
    }

    void get_remote_ip_and_port(std::string& strIp, int& nPort) const override {
        AddressOf(m_fd, true, strIp, nPort);
    }
    void get_local_ip_and_port(std::string& strIp, int& nPort) const override {
        AddressOf(m_fd, false, strIp, nPort);
    }
    socket_t socket() const override { return m_fd; }

private:
    bool WaitFor(short nEvents) const {
        pollfd poller{m_fd, nEvents, 0};
        return poll(&poller, 1, static_cast<int>(m_writeTimeout.count())) > 0;
    }

    int m_fd;
    SSL* m_pSsl;
    std::string m_strReceived;
    size_t m_nRead = 0;
    std::chrono::milliseconds m_writeTimeout;
};

}  // namespace

CGatedHttpServer::CGatedHttpServer(size_t nWorkers, const CHeadGate::CLimits& limits,
                                   RefusalLogFn logRefusal, const CTlsContext* pTls)
    : m_logRefusal(std::move(logRefusal)), m_workers(nWorkers) {
    new_task_queue = [] { return new CInlineQueue; };
    m_pGate = std::make_unique<CHeadGate>(
        limits,
        [this](int fd, SSL* pSsl, std::string strReceived) {
            m_workers.enqueue([this, fd, pSsl, strReceived = std::move(strReceived)]() mutable {
                Process(fd, pSsl, std::move(strReceived));
            });
        },
        [this](int fd, int nStatus) {
            if (m_logRefusal) {
                std::string strIp;
                int nPort = 0;
                AddressOf(fd, true, strIp, nPort);
                m_logRefusal(strIp, nStatus);
            }
        },
        pTls);
}

CGatedHttpServer::~CGatedHttpServer() { Drain(); }

void CGatedHttpServer::Drain() {
    if (m_bDrained) {
        return;
    }
    m_bDrained = true;
    // The gate first: once it is gone nothing new reaches the workers.
    m_pGate->Stop();
    m_workers.shutdown();
}

bool CGatedHttpServer::process_and_close_socket(socket_t sock) {
    // Despite the name, the gate or a worker closes the socket later.
    m_pGate->Add(sock);
    return true;
}

void CGatedHttpServer::Process(int fd, SSL* pSsl, std::string strReceived) {
    auto writeTimeout = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::seconds(write_timeout_sec_) + std::chrono::microseconds(write_timeout_usec_));
    CGatedStream stream(fd, pSsl, std::move(strReceived), writeTimeout);
    bool bConnectionClosed = false;
    process_request(stream, true, bConnectionClosed, nullptr);
    if (pSsl != nullptr) {
        SSL_shutdown(pSsl);  // one try: the close tells the client the answer is whole
        SSL_free(pSsl);
    }
    shutdown(fd, SHUT_RDWR);
    close(fd);
}
