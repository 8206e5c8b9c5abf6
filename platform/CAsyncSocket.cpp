#include "platform/CAsyncSocket.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QSocketNotifier>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

static_assert(CAsyncSocket::kWouldBlock == EWOULDBLOCK && EWOULDBLOCK == EAGAIN);
static_assert(CAsyncSocket::kTlsFailed == EPROTO);

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
    // The kernel's attempt (or the handshake) would go on: closing ends it.
    CAsyncSocket::Close();
    const auto nSeconds = std::chrono::duration_cast<std::chrono::seconds>(m_connectDeadline);
    FailConnect(ETIMEDOUT, "no answer within " +
                               std::to_string(std::max<long long>(
                                   1, static_cast<long long>(nSeconds.count()))) +
                               " s");
}

void CAsyncSocket::FailConnect(int nErrorCode, const std::string& strWhy) {
    SetError(nErrorCode);
    m_strErrorText = strWhy.empty() ? std::string(std::strerror(nErrorCode)) : strWhy;
    OnConnect(nErrorCode);
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
        FailConnect(EHOSTUNREACH, "unknown host");
        return;
    }
    if (!StartConnect(strAddress, nPort) && m_nLastError != kWouldBlock) {
        m_pDeadline.reset();
        FailConnect(m_nLastError, {});
    }
}

int CAsyncSocket::Send(const void* pData, int nLength) {
    if (m_pSsl) {
        if (m_state != State::Connected) {
            SetError(ENOTCONN);
            return kError;
        }
        const long long nRoom = TLS_SEND_CAP - TlsPending();
        if (nRoom <= 0) {
            m_bTlsSendBlocked = true;
            SetError(kWouldBlock);
            return kError;
        }
        const qint64 nTaken =
            m_pSsl->write(static_cast<const char*>(pData), std::min<long long>(nLength, nRoom));
        if (nTaken < 0) {
            SetError(EPIPE);
            return kError;
        }
        return static_cast<int>(nTaken);
    }
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
    if (m_pSsl) {
        if (m_state != State::Connected) {
            SetError(ENOTCONN);
            return kError;
        }
        const qint64 nRead = m_pSsl->read(static_cast<char*>(pBuffer), nLength);
        if (nRead > 0) {
            return static_cast<int>(nRead);
        }
        // Nothing decrypted waits: the end of the stream once Qt's socket has closed.
        if (nRead < 0 || m_pSsl->state() == QAbstractSocket::UnconnectedState) {
            return 0;
        }
        SetError(kWouldBlock);
        return kError;
    }
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
    m_pSslToken.reset();
    if (m_pSsl) {
        // Qt's socket owns the descriptor and closes it when it goes; this may run inside
        // one of its own signals, so it goes from the event loop.
        DeleteLater(m_pSsl);
        m_fd = -1;
    }
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
        int nError = 0;
        socklen_t nLen = sizeof nError;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &nError, &nLen) != 0) {
            nError = errno;
        }
        if (nError == 0 && m_tls) {
            StartTls();  // the deadline runs on through the handshake
            return;
        }
        m_pDeadline.reset();
        if (nError != 0) {
            m_state = State::Open;
            FailConnect(nError, {});
            return;
        }
        m_state = State::Connected;
        WatchRead(true);
        OnConnect(0);
    } else if (m_state == State::Connected) {
        OnSend();
    }
}

void CAsyncSocket::StartTls() {
    if (!QSslSocket::supportsSsl()) {
        CAsyncSocket::Close();
        FailConnect(kTlsFailed, "TLS is not available on this system");
        return;
    }
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!m_tls->strExtraCaFile.empty()) {
        const QList<QSslCertificate> extra =
            QSslCertificate::fromPath(QString::fromStdString(m_tls->strExtraCaFile), QSsl::Pem);
        if (extra.isEmpty()) {
            CAsyncSocket::Close();
            FailConnect(kTlsFailed, "no CA certificate in " + m_tls->strExtraCaFile);
            return;
        }
        // The extra CA comes beside the system's, never instead of it.
        config.setCaCertificates(QSslConfiguration::systemCaCertificates() + extra);
    }
    // Qt's socket watches the descriptor from now on.
    ReleaseNotifiers();
    m_pSsl = std::make_unique<QSslSocket>();
    m_pSsl->setSslConfiguration(config);
    m_pSsl->setPeerVerifyName(QString::fromStdString(m_tls->strPeerName));
    m_pSsl->setReadBufferSize(TLS_RECEIVE_CAP);
    if (!m_pSsl->setSocketDescriptor(m_fd, QAbstractSocket::ConnectedState)) {
        m_pSsl.reset();  // it never took the descriptor
        CAsyncSocket::Close();
        FailConnect(kTlsFailed, "TLS could not start");
        return;
    }
    m_strSslErrors.clear();
    m_bTlsSendBlocked = false;
    m_pSslToken = std::make_shared<int>(0);
    QSslSocket* pSsl = m_pSsl.get();
    QObject::connect(pSsl, &QSslSocket::sslErrors, [this](const QList<QSslError>& errors) {
        QStringList reasons;
        for (const QSslError& error : errors) {
            reasons << error.errorString();
        }
        m_strSslErrors =
            "the server's certificate was refused: " + reasons.join("; ").left(400).toStdString();
    });
    QObject::connect(pSsl, &QSslSocket::encrypted, [this] { OnTlsEncrypted(); });
    QObject::connect(pSsl, &QSslSocket::errorOccurred, [this] { OnTlsError(); });
    QObject::connect(pSsl, &QSslSocket::readyRead, [this] { OnTlsReadyRead(); });
    QObject::connect(pSsl, &QSslSocket::bytesWritten, [this] { OnTlsWritten(); });
    QObject::connect(pSsl, &QSslSocket::encryptedBytesWritten, [this] { OnTlsWritten(); });
    QObject::connect(pSsl, &QSslSocket::disconnected, [this] { OnTlsDisconnected(); });
    pSsl->startClientEncryption();
}

void CAsyncSocket::OnTlsEncrypted() {
    m_pDeadline.reset();
    m_state = State::Connected;
    OnConnect(0);
}

void CAsyncSocket::OnTlsError() {
    if (m_state == State::Connecting) {
        const std::string strWhy =
            !m_strSslErrors.empty()
                ? m_strSslErrors
                : "the secure connection failed: " + m_pSsl->errorString().left(200).toStdString();
        CAsyncSocket::Close();
        FailConnect(kTlsFailed, strWhy);
    } else if (m_state == State::Connected) {
        OnTlsDisconnected();
    }
}

void CAsyncSocket::OnTlsReadyRead() {
    if (m_state != State::Connected) {
        return;
    }
    const std::weak_ptr<int> pToken = m_pSslToken;
    OnReceive();
    // A plain descriptor stays readable and notifies again; decrypted bytes left unread
    // would otherwise wait for the next record.
    if (!pToken.expired()) {
        PostTlsRead();
    }
}

void CAsyncSocket::OnTlsWritten() {
    if (m_bTlsSendBlocked && m_state == State::Connected && TlsPending() < TLS_SEND_CAP) {
        m_bTlsSendBlocked = false;
        OnSend();
    }
}

void CAsyncSocket::OnTlsDisconnected() {
    if (m_state == State::Connecting) {
        OnTlsError();
        return;
    }
    if (m_state != State::Connected) {
        return;
    }
    // As with a plain stream: the last bytes first, then the end.
    const std::weak_ptr<int> pToken = m_pSslToken;
    for (qint64 nLeft = m_pSsl->bytesAvailable(); nLeft > 0;) {
        OnReceive();
        if (pToken.expired() || m_state != State::Connected) {
            return;
        }
        // A handler that stops reading ends the loop.
        const qint64 nNow = m_pSsl->bytesAvailable();
        nLeft = nNow < nLeft ? nNow : 0;
    }
    m_state = State::Open;
    OnClose();
}

long long CAsyncSocket::TlsPending() const {
    return m_pSsl ? m_pSsl->bytesToWrite() + m_pSsl->encryptedBytesToWrite() : 0;
}

void CAsyncSocket::PostTlsRead() {
    if (!m_pSsl || m_pSsl->bytesAvailable() == 0) {
        return;
    }
    const std::weak_ptr<int> pToken = m_pSslToken;
    QTimer::singleShot(0, QCoreApplication::instance(), [this, pToken] {
        if (!pToken.expired() && m_pSsl->bytesAvailable() > 0) {
            OnTlsReadyRead();
        }
    });
}
