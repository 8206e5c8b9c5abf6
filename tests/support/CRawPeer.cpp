#include "tests/support/CRawPeer.h"

#include "tests/support/TestSupport.h"

#include <QHostAddress>

#include <gtest/gtest.h>

CRawPeer::CRawPeer(const std::string& strFrom, unsigned nPort, const std::string& strTo) {
    // A refused peer may be closed before the test looks: the signal tells.
    QObject::connect(&m_socket, &QTcpSocket::connected, [this] { m_bConnected = true; });
    m_socket.bind(QHostAddress(QString::fromStdString(strFrom)));
    m_socket.connectToHost(QString::fromStdString(strTo), static_cast<quint16>(nPort));
    EXPECT_TRUE(testing_support::WaitFor([&] { return m_bConnected; })) << strFrom;
}

void CRawPeer::Send(const std::string& strBytes) {
    m_socket.write(strBytes.data(), static_cast<qint64>(strBytes.size()));
    m_socket.flush();
}

void CRawPeer::DiscardWhatComes() {
    QObject::connect(&m_socket, &QTcpSocket::readyRead, [this] { m_socket.readAll(); });
}
