#include "peer/CPeerSocket.h"

#include "peer/CChatEvent.h"
#include "peer/CPeerNet.h"
#include "peer/EventStream.h"
#include "platform/Logging.h"

namespace {

// Reads per notification, so one busy peer never holds the window thread for long.
constexpr int kReadsPerNotification = 16;

}  // namespace

CPeerSocket::CPeerSocket(CPeerNet& net, bool bConnected)
    : m_net(net), m_connected(bConnected), m_bOutgoing(!bConnected), m_rateLimit(net.Now()) {
    if (bConnected) {
        m_connectedSince = net.Now();
    }
}

bool CPeerSocket::Open(const std::string& strAddress, unsigned nPort, const std::string& strBind,
                       std::chrono::milliseconds deadline) {
    m_strRemote = strAddress;
    SetConnectDeadline(deadline);
    return Create(0, strBind) && (Connect(strAddress, nPort) || GetLastError() == kWouldBlock);
}

void CPeerSocket::QueueEvent(const std::string& strEvent) {
    if (!m_connected || strEvent.empty()) {
        return;
    }
    m_outQueue.Push(strEvent);
    // A peer that stopped reading must not hold our memory or slow the others.
    if (m_outQueue.Bytes() > MAX_OUT_QUEUE) {
        Drop("stopped reading");
        return;
    }
    Flush();
}

void CPeerSocket::Flush() {
    // A full buffer waits for OnSend.
    if (m_connected && m_outQueue.Flush(*this) == CSendQueue::EResult::Error) {
        Drop("send failed");
    }
}

void CPeerSocket::ReadEvents() {
    const bool bOk = ReceiveChunks(kReadsPerNotification, [this](std::string_view bytes) {
        m_inBuffer.append(bytes);
        size_t nDone = 0;
        // Handling an event may drop this very peer (a failed relay); stop reading then.
        while (m_connected) {
            const CEventCut cut = CutEvent(std::string_view(m_inBuffer).substr(nDone));
            if (cut.status == CEventCut::EStatus::Incomplete) {
                break;
            }
            nDone += cut.nConsumed;
            if (cut.status == CEventCut::EStatus::Bad) {
                qCInfo(NetLog) << "peer: dropped an over-long event from" << m_strRemote.c_str();
                continue;
            }
            const bool bWasFlooding = m_rateLimit.IsFlooding();
            const CEventRateLimit::EVerdict verdict = m_rateLimit.Take(m_net.Now());
            if (verdict == CEventRateLimit::EVerdict::Disconnect) {
                Drop("kept sending events too fast");
                break;
            }
            if (verdict == CEventRateLimit::EVerdict::Drop) {
                // Once per flood: the log must not grow with it.
                if (!bWasFlooding) {
                    qCInfo(NetLog)
                        << "peer:" << m_strRemote.c_str() << "sends events too fast; dropping them";
                }
                continue;
            }
            CChatEvent event;
            event.FromXml(cut.strContent);
            m_net.OnEventReceived(event, m_strRemote);
        }
        m_inBuffer.erase(0, nDone);
        if (m_inBuffer.size() > MAX_PEER_BUFFER) {
            Drop("sent too much without a complete event");
        }
        return m_connected;
    });
    if (!bOk) {
        Drop("receive failed");
    }
}

void CPeerSocket::Close() {
    m_connected = false;
    m_outQueue.Clear();
    CAsyncSocket::Close();
}

void CPeerSocket::ReadRemoteAddress() {
    unsigned nPort = 0;
    if (!GetPeerName(m_strRemote, nPort)) {
        m_strRemote.clear();
    }
}

void CPeerSocket::OnConnect(int nErrorCode) {
    if (nErrorCode != 0) {
        m_net.ConnectFailed(this);
        return;
    }
    m_connected = true;
    m_connectedSince = m_net.Now();
    m_net.PeerConnected(this);
}

void CPeerSocket::OnClose() {
    Close();
    m_net.PeerClosed(this);
}

void CPeerSocket::Drop(const char* pszWhy) {
    if (!IsOpen()) {
        return;
    }
    qCInfo(NetLog) << "peer:" << m_strRemote.c_str() << pszWhy;
    Close();
    m_net.PeerClosed(this);
}
