#pragma once

// A non-blocking TCP socket whose readiness arrives as virtual notifications on the thread
// that created it, through that thread's Qt event loop.
//
// Calls report failure by return value and GetLastError(); kWouldBlock tells "try again
// later" apart from real errors. Notifications:
//  - OnAccept: a listening socket has a connection waiting for Accept.
//  - OnConnect(err): an asynchronous Connect finished; err is 0 on success. A connect
//    (name look-up included) still pending at its deadline ends with ETIMEDOUT, the
//    socket closed.
//  - OnReceive: data (or an error) is ready for Receive.
//  - OnSend: a Send that would have blocked may now be retried; it fires once per
//    would-block.
//  - OnClose: the remote side closed the connection (or reset it).
// A notification handler may Close or delete its own socket. Sends never raise SIGPIPE.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QHostInfo;
class QObject;
class QSocketNotifier;

class CAsyncSocket {
public:
    static constexpr int kWouldBlock = 11;  // EWOULDBLOCK, checked in the source
    static constexpr int kError = -1;       // SOCKET_ERROR
    // How long a Connect may stay pending unless SetConnectDeadline says otherwise.
    static constexpr std::chrono::milliseconds CONNECT_DEADLINE{10000};

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
};
