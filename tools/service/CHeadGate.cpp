#include "CHeadGate.h"

#include <openssl/ssl.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace {

// Longest sleep of the gate's thread when nothing happens; only a safety net, since new
// connections and Stop() wake it.
constexpr std::chrono::milliseconds kMaxPollWait{1000};

const char* ReasonPhrase(int nStatus) {
    switch (nStatus) {
        case 408: return "Request Timeout";
        case 431: return "Request Header Fields Too Large";
        case 503: return "Service Unavailable";
        default: return "Error";
    }
}

void CloseSocket(int fd) {
    shutdown(fd, SHUT_RDWR);
    close(fd);
}

void CloseConnection(int fd, SSL* pSsl) {
    SSL_free(pSsl);
    CloseSocket(fd);
}

// What a TLS call that could not finish waits for: 0 when it failed for good.
short EventsToWait(SSL* pSsl, int nResult) {
    switch (SSL_get_error(pSsl, nResult)) {
        case SSL_ERROR_WANT_READ: return POLLIN;
        case SSL_ERROR_WANT_WRITE: return POLLOUT;
        default: return 0;
    }
}

}  // namespace

CHeadGate::CHeadGate(const CLimits& limits, ReadyFn ready, RefusedFn refused,
                     const CTlsContext* pTls)
    : m_limits(limits),
      m_ready(std::move(ready)),
      m_refused(std::move(refused)),
      m_pTls(pTls),
      m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    m_thread = std::thread([this] { Run(); });
}

CHeadGate::~CHeadGate() {
    Stop();
    if (m_wakeFd >= 0) {
        close(m_wakeFd);
    }
}

void CHeadGate::Add(int fd) {
    auto deadline = std::chrono::steady_clock::now() + m_limits.deadline;
    bool bTaken = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bStopping) {
            m_arrAdded.push_back(CWaiting{fd, deadline, {}, m_pTls == nullptr});
            bTaken = true;
        }
    }
    if (!bTaken) {
        CloseSocket(fd);
        return;
    }
    std::uint64_t nOne = 1;
    [[maybe_unused]] ssize_t n = write(m_wakeFd, &nOne, sizeof nOne);
}

void CHeadGate::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopping = true;
    }
    std::uint64_t nOne = 1;
    [[maybe_unused]] ssize_t n = write(m_wakeFd, &nOne, sizeof nOne);
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) {
        m_thread.join();
    }
}

void CHeadGate::Run() {
    using Clock = std::chrono::steady_clock;
    std::vector<pollfd> arrPoll;
    std::vector<CWaiting> arrAdded;
    std::vector<CWaiting> arrKept;
    while (true) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_bStopping) {
                break;
            }
            arrAdded.swap(m_arrAdded);
        }
        for (CWaiting& added : arrAdded) {
            if (m_arrWaiting.size() >= m_limits.nMaxWaiting) {
                Refuse(added, 503);
            } else {
                m_arrWaiting.push_back(std::move(added));
            }
        }
        arrAdded.clear();

        auto now = Clock::now();
        auto wakeAt = now + kMaxPollWait;
        arrKept.clear();
        for (CWaiting& waiting : m_arrWaiting) {
            if (waiting.deadline <= now) {
                Refuse(waiting, 408);
            } else {
                wakeAt = std::min(wakeAt, waiting.deadline);
                arrKept.push_back(std::move(waiting));
            }
        }
        m_arrWaiting.swap(arrKept);

        arrPoll.assign(1, pollfd{m_wakeFd, POLLIN, 0});
        for (const CWaiting& waiting : m_arrWaiting) {
            arrPoll.push_back(pollfd{waiting.fd, waiting.nEvents, 0});
        }
        auto wait = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now);
        if (m_wakeFd < 0) {
            wait = std::min(wait, std::chrono::milliseconds(20));  // nothing would wake us
        }
        if (poll(arrPoll.data(), arrPoll.size(), static_cast<int>(wait.count())) < 0) {
            continue;  // EINTR; nothing else is expected with valid descriptors
        }
        if (arrPoll[0].revents != 0) {
            std::uint64_t nCount = 0;
            [[maybe_unused]] ssize_t n = read(m_wakeFd, &nCount, sizeof nCount);
        }
        arrKept.clear();
        for (size_t i = 0; i < m_arrWaiting.size(); ++i) {
            if (arrPoll[i + 1].revents == 0 || !ReadFrom(m_arrWaiting[i])) {
                arrKept.push_back(std::move(m_arrWaiting[i]));
            }
        }
        m_arrWaiting.swap(arrKept);
    }

    {
        std::lock_guard<std::mutex> lock(m_mutex);
        arrAdded.swap(m_arrAdded);
    }
    for (const CWaiting& waiting : arrAdded) {
        CloseConnection(waiting.fd, waiting.pSsl);
    }
    for (const CWaiting& waiting : m_arrWaiting) {
        CloseConnection(waiting.fd, waiting.pSsl);
    }
    m_arrWaiting.clear();
}

bool CHeadGate::PrepareTls(CWaiting& waiting, bool& bLeft) {
    bLeft = false;
    if (!waiting.bSniffed) {
        unsigned char cFirst = 0;
        ssize_t n = recv(waiting.fd, &cFirst, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return false;
        }
        waiting.bSniffed = true;
        if (n == 1 && OpensTlsHandshake(cFirst)) {
            waiting.pSsl = m_pTls->NewSession(waiting.fd);
            if (waiting.pSsl == nullptr) {
                bLeft = true;
                CloseSocket(waiting.fd);
                return false;
            }
        }
    }
    if (waiting.pSsl == nullptr || SSL_is_init_finished(waiting.pSsl)) {
        return true;
    }
    int nResult = SSL_do_handshake(waiting.pSsl);
    if (nResult == 1) {
        waiting.nEvents = POLLIN;
        return true;
    }
    waiting.nEvents = EventsToWait(waiting.pSsl, nResult);
    if (waiting.nEvents == 0) {
        bLeft = true;  // not TLS after all, or a certificate the client refused
        CloseConnection(waiting.fd, waiting.pSsl);
    }
    return false;
}

bool CHeadGate::ReadFrom(CWaiting& waiting) {
    bool bLeft = false;
    if (!PrepareTls(waiting, bLeft)) {
        return bLeft;
    }
    // Until the socket has nothing more: a TLS session may hold decrypted bytes that poll
    // does not see.
    while (true) {
        char buffer[4096];
        // One byte over the cap is enough to tell a head that is too long.
        size_t nRoom =
            m_limits.nMaxHead + 1 - std::min(waiting.strReceived.size(), m_limits.nMaxHead);
        size_t nWant = std::min(sizeof buffer, nRoom);
        ssize_t n = 0;
        if (waiting.pSsl != nullptr) {
            n = SSL_read(waiting.pSsl, buffer, static_cast<int>(nWant));
            if (n <= 0) {
                waiting.nEvents = EventsToWait(waiting.pSsl, static_cast<int>(n));
                if (waiting.nEvents != 0) {
                    return false;
                }
                CloseConnection(waiting.fd, waiting.pSsl);
                return true;
            }
        } else {
            n = recv(waiting.fd, buffer, nWant, MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                return false;
            }
            if (n <= 0) {
                CloseSocket(waiting.fd);  // gone before the head was complete: nobody to answer
                return true;
            }
        }
        size_t nSearchFrom = waiting.strReceived.size() >= 3 ? waiting.strReceived.size() - 3 : 0;
        waiting.strReceived.append(buffer, static_cast<size_t>(n));
        if (waiting.strReceived.find("\r\n\r\n", nSearchFrom) != std::string::npos) {
            m_ready(waiting.fd, waiting.pSsl, std::move(waiting.strReceived));
            return true;
        }
        if (waiting.strReceived.size() > m_limits.nMaxHead) {
            Refuse(waiting, 431);
            return true;
        }
    }
}

void CHeadGate::Refuse(const CWaiting& waiting, int nStatus) {
    if (m_refused) {
        m_refused(waiting.fd, nStatus);
    }
    std::string strAnswer = "HTTP/1.1 " + std::to_string(nStatus) + " " + ReasonPhrase(nStatus) +
                            "\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
    // Best effort: a client that does not read its answer does not get one, nor does one
    // whose TLS handshake is unfinished.
    if (waiting.pSsl == nullptr) {
        send(waiting.fd, strAnswer.data(), strAnswer.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    } else if (SSL_is_init_finished(waiting.pSsl)) {
        SSL_write(waiting.pSsl, strAnswer.data(), static_cast<int>(strAnswer.size()));
    }
    CloseConnection(waiting.fd, waiting.pSsl);
}
