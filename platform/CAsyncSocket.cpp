#include "platform/CAsyncSocket.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>

static_assert(CAsyncSocket::kWouldBlock == EWOULDBLOCK && EWOULDBLOCK == EAGAIN);

namespace {

// Notifiers may be released from inside their own signal, so they are switched off at
// once and deleted by the event loop.
template <class T>
void DeleteLater(std::unique_ptr<T>& pObject) {
    if (pObject) {
        QObject::disconnect(pObject.get(), nullptr, nullptr, nullptr);
        pObject.release()->deleteLater();
    }
}

bool ToSockAddr(const std::string& strAddress, unsigned nPort, sockaddr_in& addr) {
    addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(nPort));
    if (strAddress.empty()) {
        addr.sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    return inet_pton(AF_INET, strAddress.c_str(), &addr.sin_addr) == 1;
}

}  // namespace

CAsyncSocket::CAsyncSocket() = default;

CAsyncSocket::~CAsyncSocket() { CAsyncSocket::Close(); }

bool CAsyncSocket::SetError(int nErrorCode) {
    m_nLastError = nErrorCode;
    return false;
}

bool CAsyncSocket::Create(unsigned nPort, const std::string& strAddress) {
    CAsyncSocket::Close();
    sockaddr_in addr;
    if (nPort > 0xFFFF || !ToSockAddr(strAddress, nPort, addr)) {
        return SetError(EINVAL);
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return SetError(errno);
    }
    if (nPort != 0) {
        int nOn = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof nOn);
    }
    if ((nPort != 0 || !strAddress.empty()) &&
        ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        int nError = errno;
        ::close(fd);
        return SetError(nError);
    }
    Attach(fd, State::Open);
    return true;
}

void CAsyncSocket::Attach(int fd, State state) {
    m_fd = fd;
    m_state = state;
    m_pReadNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    m_pWriteNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    m_pReadNotifier->setEnabled(false);
    m_pWriteNotifier->setEnabled(false);
    QObject::connect(m_pReadNotifier.get(), &QSocketNotifier::activated, [this] { OnReadable(); });
    QObject::connect(m_pWriteNotifier.get(), &QSocketNotifier::activated, [this] { OnWritable(); });
    WatchRead(state == State::Connected);
}

void CAsyncSocket::ReleaseNotifiers() {
    if (m_pReadNotifier) {
        m_pReadNotifier->setEnabled(false);
    }
    if (m_pWriteNotifier) {
        m_pWriteNotifier->setEnabled(false);
    }
    DeleteLater(m_pReadNotifier);
    DeleteLater(m_pWriteNotifier);
}

void CAsyncSocket::WatchRead(bool bOn) {
    if (m_pReadNotifier) {
        m_pReadNotifier->setEnabled(bOn);
    }
}

void CAsyncSocket::WatchWrite(bool bOn) {
    if (m_pWriteNotifier) {
        m_pWriteNotifier->setEnabled(bOn);
    }
}

bool CAsyncSocket::Listen(int nBacklog) {
    if (m_fd < 0) {
        return SetError(EBADF);
    }
    if (::listen(m_fd, nBacklog) != 0) {
        return SetError(errno);
    }
    m_state = State::Listening;
    WatchRead(true);
    return true;
}

bool CAsyncSocket::Accept(CAsyncSocket& rConnected) {
    if (m_fd < 0 || rConnected.IsOpen()) {
        return SetError(EINVAL);
    }
    int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        return SetError(errno);
    }
    rConnected.Attach(fd, State::Connected);
    return true;
}

bool CAsyncSocket::Connect(const std::string& strHost, unsigned nPort) {
    if (m_fd < 0 || m_state != State::Open) {
        return SetError(m_fd < 0 ? EBADF : EISCONN);
    }
    if (nPort == 0 || nPort > 0xFFFF || strHost.empty()) {
        return SetError(EINVAL);
    }
    in_addr dotted;
    if (inet_pton(AF_INET, strHost.c_str(), &dotted) == 1) {
        // False either way: pending (kWouldBlock) or failed at once.
        if (!StartConnect(strHost, nPort) && m_nLastError == kWouldBlock) {
            StartDeadline();
        }
        return false;
    }
    m_state = State::Connecting;
    StartDeadline();
    // The application object outlives every socket; the weak token tells whether this
    // socket still waits for the answer.
    m_pLookup = std::make_shared<int>(0);
    std::weak_ptr<int> pToken = m_pLookup;
    QHostInfo::lookupHost(QString::fromStdString(strHost), QCoreApplication::instance(),
                          [this, pToken, nPort](const QHostInfo& info) {
                              if (!pToken.expired()) {
                                  OnLookedUp(info, nPort);
                              }
                          });
    return SetError(kWouldBlock);
}

void CAsyncSocket::StartDeadline() {
    if (m_connectDeadline.count() <= 0) {
        return;
    }
    // The same weak token as for the look-up: a socket that is gone or done by then is
    // never touched.
    m_pDeadline = std::make_shared<int>(0);
    std::weak_ptr<int> pToken = m_pDeadline;
    QTimer::singleShot(m_connectDeadline, QCoreApplication::instance(), [this, pToken] {
        if (!pToken.expired()) {
            OnDeadline();
        }
    });
}

void CAsyncSocket::OnDeadline() {
    // The kernel's attempt would go on retrying: closing ends it.
    CAsyncSocket::Close();
    SetError(ETIMEDOUT);
    OnConnect(ETIMEDOUT);
}

bool CAsyncSocket::StartConnect(const std::string& strAddress, unsigned nPort) {
    sockaddr_in addr;
    ToSockAddr(strAddress, nPort, addr);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 &&
        errno != EINPROGRESS) {
        m_state = State::Open;
        return SetError(errno);
    }
    // Completion, even an immediate one, is reported through the write notification so
    // that OnConnect always comes from the event loop.
    m_state = State::Connecting;
    WatchWrite(true);
    return SetError(kWouldBlock);
}

void CAsyncSocket::OnLookedUp(const QHostInfo& info, unsigned nPort) {
    m_pLookup.reset();
    std::string strAddress;
    for (const QHostAddress& address : info.addresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            strAddress = address.toString().toStdString();
            break;
        }
    }
    if (strAddress.empty()) {
        m_state = State::Open;
        m_pDeadline.reset();
        SetError(EHOSTUNREACH);
        OnConnect(EHOSTUNREACH);
        return;
    }
    if (!StartConnect(strAddress, nPort) && m_nLastError != kWouldBlock) {
        m_pDeadline.reset();
        OnConnect(m_nLastError);
    }
}

int CAsyncSocket::Send(const void* pData, int nLength) {
    if (m_fd < 0) {
        SetError(EBADF);
        return kError;
    }
    ssize_t nSent = ::send(m_fd, pData, static_cast<size_t>(nLength), MSG_NOSIGNAL);
    if (nSent < 0) {
        SetError(errno);
        if (errno == EWOULDBLOCK && m_state == State::Connected) {
            WatchWrite(true);
        }
        return kError;
    }
    return static_cast<int>(nSent);
}

int CAsyncSocket::Receive(void* pBuffer, int nLength) {
    if (m_fd < 0) {
        SetError(EBADF);
        return kError;
    }
    ssize_t nRead = ::recv(m_fd, pBuffer, static_cast<size_t>(nLength), 0);
    if (nRead < 0) {
        SetError(errno);
        return kError;
    }
    return static_cast<int>(nRead);
}

bool CAsyncSocket::ReceiveChunks(int nMaxChunks,
                                 const std::function<bool(std::string_view)>& onData) {
    constexpr int kChunk = 4096;
    char buffer[kChunk];
    for (int nChunk = 0; nChunk < nMaxChunks; ++nChunk) {
        const int nReceived = Receive(buffer, kChunk);
        if (nReceived == kError) {
            return GetLastError() == kWouldBlock;
        }
        // 0: the peer closed, and OnClose follows; a short read: nothing more waits.
        if (nReceived == 0 || !onData(std::string_view(buffer, static_cast<size_t>(nReceived))) ||
            nReceived < kChunk) {
            return true;
        }
    }
    return true;
}

void CAsyncSocket::Close() {
    ReleaseNotifiers();
    m_pLookup.reset();
    m_pDeadline.reset();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_state = State::Closed;
}

bool CAsyncSocket::GetPeerName(std::string& strAddress, unsigned& nPort) const {
    sockaddr_in addr{};
    socklen_t nLen = sizeof addr;
    if (m_fd < 0 || ::getpeername(m_fd, reinterpret_cast<sockaddr*>(&addr), &nLen) != 0 ||
        addr.sin_family != AF_INET) {
        return false;
    }
    char szAddress[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &addr.sin_addr, szAddress, sizeof szAddress);
    strAddress = szAddress;
    nPort = ntohs(addr.sin_port);
    return true;
}

unsigned CAsyncSocket::GetLocalPort() const {
    sockaddr_in addr{};
    socklen_t nLen = sizeof addr;
    if (m_fd < 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &nLen) != 0) {
        return 0;
    }
    return ntohs(addr.sin_port);
}

// Each branch ends in the notification, so a handler that deletes this socket is safe.
void CAsyncSocket::OnReadable() {
    if (m_state == State::Listening) {
        OnAccept();
        return;
    }
    if (m_state != State::Connected) {
        WatchRead(false);
        return;
    }
    char c;
    ssize_t nPeek = ::recv(m_fd, &c, 1, MSG_PEEK);
    if (nPeek > 0) {
        OnReceive();
    } else if (nPeek < 0 && errno == EWOULDBLOCK) {
        return;
    } else {
        // End of stream or a reset: the handle stays open until Close, but is not
        // watched any more, or it would keep reporting readiness.
        if (nPeek < 0) {
            SetError(errno);
        }
        WatchRead(false);
        WatchWrite(false);
        m_state = State::Open;
        OnClose();
    }
}

void CAsyncSocket::OnWritable() {
    WatchWrite(false);
    if (m_state == State::Connecting) {
        m_pDeadline.reset();
        int nError = 0;
        socklen_t nLen = sizeof nError;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &nError, &nLen) != 0) {
            nError = errno;
        }
        if (nError == 0) {
            m_state = State::Connected;
            WatchRead(true);
        } else {
            m_state = State::Open;
            SetError(nError);
        }
        OnConnect(nError);
    } else if (m_state == State::Connected) {
        OnSend();
    }
}
