#include "tests/support/CRawIrcLine.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;

// IRC lines are 512 bytes; anything far past that is a broken or hostile server.
constexpr size_t kMaxLine = 64 * 1024;
constexpr size_t kMaxTranscript = 1024 * 1024;

// Milliseconds left until the deadline, for poll(); 0 once it has passed.
int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 60 * 60 * 1000));
}

}  // namespace

CRawIrcLine::CRawIrcLine(const std::string& strHost, int nPort, std::chrono::milliseconds timeout) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(nPort));
    if (inet_pton(AF_INET, strHost.c_str(), &addr.sin_addr) != 1) {
        return;
    }
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        return;
    }
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        return;
    }
    pollfd pfd{m_fd, POLLOUT, 0};
    int nError = 0;
    socklen_t nLen = sizeof nError;
    if (errno != EINPROGRESS || poll(&pfd, 1, static_cast<int>(timeout.count())) != 1 ||
        getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &nError, &nLen) != 0 || nError != 0) {
        Close();
    }
}

CRawIrcLine::~CRawIrcLine() { Close(); }

void CRawIrcLine::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool CRawIrcLine::Send(const std::string& strLine, std::chrono::milliseconds timeout) {
    std::string strData = strLine + "\n";
    auto deadline = Clock::now() + timeout;
    size_t nSent = 0;
    while (Connected() && nSent < strData.size()) {
        ssize_t n = ::send(m_fd, strData.data() + nSent, strData.size() - nSent, MSG_NOSIGNAL);
        if (n > 0) {
            nSent += static_cast<size_t>(n);
            continue;
        }
        pollfd pfd{m_fd, POLLOUT, 0};
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            Close();
        } else if (poll(&pfd, 1, MillisecondsLeft(deadline)) <= 0) {
            return false;
        }
    }
    return Connected();
}

bool CRawIrcLine::NextLine(std::string& strLine) {
    size_t nEnd = m_strBuffer.find('\n', m_nStart);
    if (nEnd == std::string::npos) {
        if (m_strBuffer.size() - m_nStart > kMaxLine) {
            m_bDiscarding = true;
            m_strBuffer.clear();
            m_nStart = 0;
        }
        return false;
    }
    bool bDrop = m_bDiscarding;
    m_bDiscarding = false;
    strLine.assign(m_strBuffer, m_nStart, nEnd - m_nStart);
    m_nStart = nEnd + 1;
    if (!strLine.empty() && strLine.back() == '\r') {
        strLine.pop_back();
    }
    if (bDrop) {
        return NextLine(strLine);
    }
    if (m_strTranscript.size() < kMaxTranscript) {
        m_strTranscript += strLine + "\n";
    }
    return true;
}

bool CRawIrcLine::WaitFor(const std::string& strText, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (true) {
        for (std::string strLine; NextLine(strLine);) {
            // A test that waits long must not be dropped for a missed ping.
            if (strLine.compare(0, 5, "PING ") == 0) {
                Send("PONG " + strLine.substr(5));
            }
            if (strLine.find(strText) != std::string::npos) {
                m_strLastLine = strLine;
                return true;
            }
        }
        if (!Connected()) {
            return false;
        }
        pollfd pfd{m_fd, POLLIN, 0};
        if (poll(&pfd, 1, MillisecondsLeft(deadline)) <= 0) {
            return false;
        }
        // Compact once per read, not once per line, so reading stays linear.
        m_strBuffer.erase(0, m_nStart);
        m_nStart = 0;
        char buf[4096];
        ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        if (n > 0) {
            m_strBuffer.append(buf, static_cast<size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            Close();
        }
    }
}

}  // namespace testing_support
