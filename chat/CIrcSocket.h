#pragma once

// The TCP connection of one IRC client: frames received bytes into lines for its
// protocol handler, answers server pings itself, and queues lines to send, resuming a
// queue that stopped on a full buffer as soon as the socket can take more.

#include "chat/IrcLines.h"
#include "platform/CAsyncSocket.h"
#include "platform/CSendQueue.h"

#include <string>

class CIrcClient;
class CIrcProtocol;

class CIrcSocket final : public CAsyncSocket {
public:
    static constexpr size_t MAX_SEND_QUEUE = 1 << 20;

    CIrcSocket(CIrcClient& client, CIrcProtocol* pHandler)
        : m_client(client), m_pHandler(pHandler) {}

    // Queues one line (LF added when missing) and sends what it can; dropped while not
    // connected.
    void SendLine(std::string strLine);
    void Flush();
    void Close() override;

    bool IsConnected() const { return m_bConnected; }
    // Starts a connection; false when it failed at once.
    bool Open(const std::string& strHost, unsigned nPort);
    size_t QueuedLines() const { return m_sendQueue.Count(); }

protected:
    void OnConnect(int nErrorCode) override;
    void OnReceive() override;
    void OnSend() override;
    void OnClose() override;

private:
    void Lost(const std::string& strReason);

    CIrcClient& m_client;
    CIrcProtocol* m_pHandler;
    CIrcLineReader m_reader;
    CSendQueue m_sendQueue;
    bool m_bConnected = false;
};
