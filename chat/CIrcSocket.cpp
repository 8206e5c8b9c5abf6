#include "chat/CIrcSocket.h"

#include "chat/CIrcClient.h"
#include "chat/CIrcProtocol.h"
#include "chat/IrcCommands.h"
#include "platform/Logging.h"

namespace {

// Reads per notification: enough to keep up with a busy channel, few enough that one
// flood never holds the window thread for long.
constexpr int kReadsPerNotification = 16;

}  // namespace

bool CIrcSocket::Open(const std::string& strHost, unsigned nPort) {
    CAsyncSocket::Close();
    m_bConnected = false;
    if (!Create()) {
        return false;
    }
    if (!Connect(strHost, nPort) && GetLastError() != kWouldBlock) {
        CAsyncSocket::Close();
        return false;
    }
    return true;
}

void CIrcSocket::Close() {
    m_bConnected = false;
    m_sendQueue.Clear();
    CAsyncSocket::Close();
}

void CIrcSocket::SendLine(std::string strLine) {
    if (!m_bConnected || strLine.empty()) {
        return;
    }
    if (strLine.back() != '\n') {
        strLine += '\n';
    }
    m_sendQueue.Push(std::move(strLine));
    // A server that sends faster than it reads (pings answered into a full buffer) must
    // not hold our memory: past the cap the connection is given up.
    if (m_sendQueue.Bytes() > MAX_SEND_QUEUE) {
        Lost("the server stopped reading");
        return;
    }
    Flush();
}

void CIrcSocket::Flush() {
    // A full buffer waits for OnSend.
    if (m_bConnected && m_sendQueue.Flush(*this) == CSendQueue::EResult::Error) {
        Lost("connection lost");
    }
}

void CIrcSocket::OnSend() { Flush(); }

void CIrcSocket::OnConnect(int nErrorCode) {
    if (nErrorCode != 0) {
        qCInfo(NetLog) << "irc: connect failed" << nErrorCode;
        m_client.OnConnectFailed(ErrorText());
        return;
    }
    m_bConnected = true;
    // Nothing of an earlier connection belongs to this one.
    m_reader = CIrcLineReader();
    m_sendQueue.Clear();
    m_client.OnConnected();
}

void CIrcSocket::OnReceive() {
    m_client.OnReceived();
    const bool bOk = ReceiveChunks(kReadsPerNotification, [this](std::string_view bytes) {
        m_reader.Append(bytes);
        std::string strLine;
        // A handler may close the connection; the lines after that are not ours to read.
        for (CIrcLineReader::EStatus status;
             m_bConnected &&
             (status = m_reader.Next(strLine)) != CIrcLineReader::EStatus::Incomplete;) {
            if (status == CIrcLineReader::EStatus::Bad) {
                qCInfo(NetLog) << "irc: dropped an over-long line";
                continue;
            }
            const CIrcMessage message = CIrcMessage::Decode(strLine);
            // Only a PING command is answered; a message that merely mentions the word is
            // shown like any other (see "Deliberate differences" in docs/architecture.md).
            if (message.IsCommand("PING")) {
                SendLine(PongLine(message));
            } else if (m_pHandler) {
                m_pHandler->HandleLine(message);
            }
        }
        return m_bConnected;
    });
    if (!bOk) {
        Lost("connection lost");
    }
}

void CIrcSocket::OnClose() { Lost("connection closed by the server"); }

void CIrcSocket::Lost(const std::string& strReason) {
    const bool bWasConnected = m_bConnected;
    Close();
    if (bWasConnected) {
        m_client.OnConnectionLost(strReason);
    }
}
