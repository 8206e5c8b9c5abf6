#pragma once

// One connection to another client: cuts the events it receives out of the stream and
// hands them to the peer network, and sends the event texts queued for it. A peer that
// fills our buffer without completing an event, stops reading what we send, or floods us
// with events past its rate limit (CEventRateLimit) is disconnected; events over the rate
// are dropped unread. Owned by its CPeerNet; window thread only.

#include "peer/CEventRateLimit.h"
#include "platform/CAsyncSocket.h"
#include "platform/CSendQueue.h"

#include <chrono>
#include <optional>
#include <string>

class CPeerNet;

class CPeerSocket final : public CAsyncSocket {
public:
    // A peer whose unsent events pass this is given up.
    static constexpr size_t MAX_OUT_QUEUE = 1 << 20;

    // bConnected: an accepted connection (connected from the start); otherwise an outgoing
    // one, connected once OnConnect reports success.
    CPeerSocket(CPeerNet& net, bool bConnected);

    // Starts the outgoing connection from strBind to the dotted strAddress, given up at
    // the deadline; false when it failed at once.
    bool Open(const std::string& strAddress, unsigned nPort, const std::string& strBind,
              std::chrono::milliseconds deadline);
    // Queues an event text and sends what the socket takes; nothing while not connected.
    void QueueEvent(const std::string& strEvent);
    void Flush();
    // Reads what has arrived and hands on every complete event the rate limit lets in.
    void ReadEvents();
    // Closes without telling the network (it is the caller).
    void Close() override;

    bool IsConnected() const { return m_connected; }
    // Whether this client connected out (rather than accepted the connection).
    bool IsOutgoing() const { return m_bOutgoing; }
    // The remote address in dotted form: the one an outgoing connection goes to from the
    // start, an accepted one's once read; empty before.
    const std::string& RemoteAddress() const { return m_strRemote; }
    void ReadRemoteAddress();
    // When the connection was made, on the network's clock; none before.
    std::optional<std::chrono::steady_clock::time_point> ConnectedSince() const {
        return m_connectedSince;
    }

protected:
    void OnReceive() override { ReadEvents(); }
    void OnConnect(int nErrorCode) override;
    void OnSend() override { Flush(); }
    void OnClose() override;

private:
    // Closes and tells the network the peer is gone.
    void Drop(const char* pszWhy);

    CPeerNet& m_net;
    std::string m_inBuffer;
    CSendQueue m_outQueue;
    std::string m_strRemote;
    bool m_connected;
    const bool m_bOutgoing;
    std::optional<std::chrono::steady_clock::time_point> m_connectedSince;
    CEventRateLimit m_rateLimit;
};
