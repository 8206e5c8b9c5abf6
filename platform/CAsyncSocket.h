#pragma once

// A non-blocking TCP socket whose readiness arrives as virtual notifications on the thread
// that created it, through that thread's Qt event loop.
//
// Calls report failure by return value and GetLastError(); kWouldBlock tells "try again
// later" apart from real errors. Notifications:
//  - OnAccept: a listening socket has a connection waiting for Accept.
//  - OnConnect(err): an asynchronous Connect finished; err is 0 on success. A connect
//    (name look-up and TLS handshake included) still pending at its deadline ends with
//    ETIMEDOUT, the socket closed. ErrorText() says why a connect failed.
//  - OnReceive: data (or an error) is ready for Receive.
//  - OnSend: a Send that would have blocked may now be retried; it fires once per
//    would-block.
//  - OnClose: the remote side closed the connection (or reset it).
// A notification handler may Close or delete its own socket. Sends never raise SIGPIPE.
//
// With SetTls, a connection runs TLS (Qt's own, over the same descriptor) and keeps the
// same contract: Send and Receive carry plain bytes, Send takes at most TLS_SEND_CAP
// bytes not yet on the wire (then would-block, and OnSend once there is room again), and
// at most TLS_RECEIVE_CAP decrypted bytes wait for Receive.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QHostInfo;
class QObject;
class QSocketNotifier;
class QSslSocket;

// TLS for a client connection: the server's certificate must be valid for strPeerName and
// chain to the system's trust store, or to a certificate of strExtraCaFile (PEM; empty:
// none), which is meant for tests and demos with a CA of their own.
struct CTlsOptions {
    std::string strPeerName;
    std::string strExtraCaFile;
};

class CAsyncSocket {
public:
    static constexpr int kWouldBlock = 11;  // EWOULDBLOCK, checked in the source
    static constexpr int kError = -1;       // SOCKET_ERROR
    // How long a Connect may stay pending unless SetConnectDeadline says otherwise.
    static constexpr std::chrono::milliseconds CONNECT_DEADLINE{10000};
    // The error of a connect whose TLS handshake failed (EPROTO, checked in the source).
    static constexpr int kTlsFailed = 71;
    static constexpr int TLS_SEND_CAP = 64 * 1024;
    static constexpr int TLS_RECEIVE_CAP = 64 * 1024;

    CAsyncSocket();
    virtual ~CAsyncSocket();
    CAsyncSocket(const CAsyncSocket&) = delete;
    CAsyncSocket& operator=(const CAsyncSocket&) = delete;

    // Opens a TCP stream socket, bound to the dotted address and port when given (port 0:
    // any; empty address: all local addresses). Closes a socket that was open.
    bool Create(unsigned nPort = 0, const std::string& strAddress = {});
    bool Listen(int nBacklog = 5);
    // Takes the waiting connection into rConnected, which must not be open.
    bool Accept(CAsyncSocket& rConnected);
    // Starts connecting to a dotted IPv4 address or a host name; the name is looked up
    // without blocking. Returns false with kWouldBlock while pending (the usual outcome;
    // OnConnect follows), false with another error when it failed at once.
    bool Connect(const std::string& strHost, unsigned nPort);
    // The deadline of the Connects started from now on; kept across Close and Create.
    void SetConnectDeadline(std::chrono::milliseconds deadline) { m_connectDeadline = deadline; }
    // TLS for the Connects started from now on (nullopt: plain TCP); kept across Close and
    // Create. OnConnect(0) comes once the handshake has verified the server's certificate;
    // a certificate that fails verification ends the connect with kTlsFailed and
    // ErrorText() saying why. Nothing ever falls back to plain text.
    void SetTls(std::optional<CTlsOptions> tls) { m_tls = std::move(tls); }
    bool UsesTls() const { return m_tls.has_value(); }
    // Bytes sent, or kError (GetLastError() is kWouldBlock when the buffer is full).
    int Send(const void* pData, int nLength);
    // Bytes received, 0 when the peer closed, or kError.
    int Receive(void* pBuffer, int nLength);
    // What a read notification does: hands what has arrived to onData in chunks of up to
    // 4096 bytes, at most nMaxChunks of them (so one busy connection never holds the
    // thread for long), while onData returns true. False when a receive failed with an
    // error other than would-block: the connection is broken.
    bool ReceiveChunks(int nMaxChunks, const std::function<bool(std::string_view)>& onData);
    virtual void Close();

    bool IsOpen() const { return m_fd >= 0; }
    // The remote address as dotted text and its port; false when not connected.
    bool GetPeerName(std::string& strAddress, unsigned& nPort) const;
    // The local port the socket is bound to, 0 when unknown.
    unsigned GetLocalPort() const;
    int GetLastError() const { return m_nLastError; }
    // Why the last connect failed, in words; empty until one has.
    const std::string& ErrorText() const { return m_strErrorText; }

protected:
    virtual void OnAccept() {}
    virtual void OnConnect(int /*nErrorCode*/) {}
    virtual void OnReceive() {}
    virtual void OnSend() {}
    virtual void OnClose() {}

private:
    enum class State { Closed, Open, Listening, Connecting, Connected };

    void Attach(int fd, State state);
    void ReleaseNotifiers();
    void WatchRead(bool bOn);
    void WatchWrite(bool bOn);
    bool StartConnect(const std::string& strAddress, unsigned nPort);
    void OnLookedUp(const QHostInfo& info, unsigned nPort);
    void StartDeadline();
    void OnDeadline();
    void OnReadable();
    void OnWritable();
    bool SetError(int nErrorCode);
    // Records why a pending connect failed, then reports it with OnConnect.
    void FailConnect(int nErrorCode, const std::string& strWhy);
    // TLS: hands the connected descriptor to Qt's TLS socket and starts the handshake.
    void StartTls();
    void OnTlsEncrypted();
    void OnTlsError();
    void OnTlsReadyRead();
    void OnTlsWritten();
    void OnTlsDisconnected();
    // Bytes handed to the TLS socket and not yet on the wire.
    long long TlsPending() const;
    // Decrypted bytes still wait after OnReceive: it comes again from the event loop.
    void PostTlsRead();

    int m_fd = -1;
    State m_state = State::Closed;
    int m_nLastError = 0;
    std::unique_ptr<QSocketNotifier> m_pReadNotifier;
    std::unique_ptr<QSocketNotifier> m_pWriteNotifier;
    // Token of a pending name look-up; dropping it makes the look-up's result a no-op.
    std::shared_ptr<int> m_pLookup;
    std::chrono::milliseconds m_connectDeadline = CONNECT_DEADLINE;
    // Token of the pending connect's deadline, dropped when the connect ends either way.
    std::shared_ptr<int> m_pDeadline;
    std::optional<CTlsOptions> m_tls;
    // Owns the descriptor once the handshake starts; m_fd keeps its number.
    std::unique_ptr<QSslSocket> m_pSsl;
    // Token of the TLS connection, for reads posted to the event loop.
    std::shared_ptr<int> m_pSslToken;
    std::string m_strSslErrors;
    bool m_bTlsSendBlocked = false;
    std::string m_strErrorText;
};
