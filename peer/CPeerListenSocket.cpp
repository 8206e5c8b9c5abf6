#include "peer/CPeerListenSocket.h"

#include "peer/CPeerNet.h"
#include "peer/CPeerSocket.h"

#include <memory>

void CPeerListenSocket::OnAccept() {
    auto pSocket = std::make_unique<CPeerSocket>(m_net, true);
    if (!Accept(*pSocket)) {
        return;
    }
    CPeerSocket* pPeer = m_net.Adopt(std::move(pSocket));
    pPeer->ReadRemoteAddress();
    m_net.PeerConnected(pPeer);
}
