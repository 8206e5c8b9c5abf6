#pragma once

// A peer spoken to byte by byte from a test: a Qt socket from its own loopback address to
// a client's peer port. What the client sends back is read and thrown away when asked, so
// a flood never stalls on a full buffer.

#include <QTcpSocket>

#include <string>

class CRawPeer {
public:
    CRawPeer(const std::string& strFrom, unsigned nPort, const std::string& strTo = "127.0.0.1");
    void Send(const std::string& strBytes);
    void DiscardWhatComes();
    bool Closed() const { return m_socket.state() == QAbstractSocket::UnconnectedState; }

    QTcpSocket m_socket;
    bool m_bConnected = false;
};
