#pragma once

// The listening socket of the peer network: every connection it accepts becomes a peer.

#include "platform/CAsyncSocket.h"

class CPeerNet;

class CPeerListenSocket final : public CAsyncSocket {
public:
    explicit CPeerListenSocket(CPeerNet& net) : m_net(net) {}

protected:
    void OnAccept() override;

private:
    CPeerNet& m_net;
};
