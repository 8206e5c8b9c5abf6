#pragma once

// Holds accepted connections on one thread of its own until their request head (up to the
// blank line) has arrived, so workers are only ever handed requests they can read without
// waiting. A head must be complete within the deadline, counted from Add(), and fit the
// size cap; a connection that misses either is answered 408 or 431 and closed, and one
// that arrives while the gate is full is answered 503 and closed. All waiting costs one
// socket and no thread, so slow clients cannot starve the others of workers.
//
// Given a TLS context, the gate serves both kinds of connection: one whose first byte
// opens a TLS handshake does the handshake here, under the same deadline, and its head is
// the decrypted request; any other is plain HTTP. A TLS connection is refused by closing it
// when its handshake has not finished.

#include "CTlsContext.h"

#include <poll.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CHeadGate final {
public:
    struct CLimits {
        std::chrono::milliseconds deadline{std::chrono::seconds(10)};
        size_t nMaxHead = 64 * 1024;
        size_t nMaxWaiting = 512;
    };
    // Called on the gate's thread with a connection whose head is complete: the socket
    // and its TLS session, null for plain HTTP (both now the callee's to free), and every
    // byte of the request read so far.
    using ReadyFn = std::function<void(int fd, SSL* pSsl, std::string strReceived)>;
    // Called on the gate's thread just before it answers and closes a connection itself.
    using RefusedFn = std::function<void(int fd, int nStatus)>;

    // pTls, when not null, outlives the gate.
    CHeadGate(const CLimits& limits, ReadyFn ready, RefusedFn refused,
              const CTlsContext* pTls = nullptr);
    // Stops the gate.
    ~CHeadGate();
    CHeadGate(const CHeadGate&) = delete;
    CHeadGate& operator=(const CHeadGate&) = delete;

    // Takes over an accepted socket. Safe from any thread; after Stop() it is closed at once.
    void Add(int fd);
    // Closes every waiting connection and ends the thread. Safe to call more than once.
    void Stop();

private:
    struct CWaiting {
        int fd = -1;
        std::chrono::steady_clock::time_point deadline;
        std::string strReceived;
        bool bSniffed = false;  // the first byte was looked at (only with TLS)
        SSL* pSsl = nullptr;
        short nEvents = POLLIN;  // or what the handshake waits for
    };

    void Run();
    // Reads what is there; true when the connection has left the gate.
    bool ReadFrom(CWaiting& waiting);
    // Sniffs the first byte and runs the TLS handshake; true when reading may go on.
    bool PrepareTls(CWaiting& waiting, bool& bLeft);
    void Refuse(const CWaiting& waiting, int nStatus);

    const CLimits m_limits;
    const ReadyFn m_ready;
    const RefusedFn m_refused;
    const CTlsContext* const m_pTls;
    int m_wakeFd = -1;

    std::mutex m_mutex;
    std::vector<CWaiting> m_arrAdded;  // handed over, not yet seen by the gate's thread
    bool m_bStopping = false;

    std::vector<CWaiting> m_arrWaiting;  // the gate's thread only
    std::thread m_thread;
};
