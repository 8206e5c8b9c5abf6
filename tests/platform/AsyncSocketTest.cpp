#include "platform/CAsyncSocket.h"

#include "tests/support/TestSupport.h"

#include <QFile>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>

#include <gtest/gtest.h>

#include <cerrno>

#include <memory>
#include <string>
#include <vector>

using testing_support::PumpEvents;
using testing_support::UnusedPort;
using testing_support::WaitFor;
using namespace std::chrono_literals;

namespace {

// Records every notification, and reads what arrives.
class CProbeSocket : public CAsyncSocket {
public:
    int m_nAccepts = 0;
    int m_nConnects = 0;
    int m_nConnectError = -1;
    int m_nSends = 0;
    int m_nCloses = 0;
    std::string m_strReceived;
    bool m_bDeleteOnConnect = false;

protected:
    void OnAccept() override { ++m_nAccepts; }
    void OnConnect(int nErrorCode) override {
        ++m_nConnects;
        m_nConnectError = nErrorCode;
        if (m_bDeleteOnConnect) {
            delete this;
        }
    }
    void OnReceive() override {
        char buffer[4096];
        int n = Receive(buffer, sizeof buffer);
        if (n > 0) {
            m_strReceived.append(buffer, static_cast<size_t>(n));
        }
    }
    void OnSend() override { ++m_nSends; }
    void OnClose() override { ++m_nCloses; }
};

// A listener plus one accepted and one connecting socket on loopback.
struct CPair {
    CProbeSocket listener;
    CProbeSocket client;
    CProbeSocket server;

    bool Open() {
        if (!listener.Create(0, "127.0.0.1") || !listener.Listen()) {
            return false;
        }
        if (!client.Create() || client.Connect("127.0.0.1", listener.GetLocalPort()) ||
            client.GetLastError() != CAsyncSocket::kWouldBlock) {
            return false;
        }
        if (!WaitFor([&] { return listener.m_nAccepts > 0 && client.m_nConnects > 0; })) {
            return false;
        }
        return listener.Accept(server) && client.m_nConnectError == 0;
    }
};

}  // namespace

TEST(AsyncSocket, connectsAcceptsAndCarriesBytesBothWays) {
    CPair pair;
    ASSERT_TRUE(pair.Open());
    std::string strAddress;
    unsigned nPort = 0;
    ASSERT_TRUE(pair.server.GetPeerName(strAddress, nPort));
    EXPECT_EQ(strAddress, "127.0.0.1");
    EXPECT_EQ(nPort, pair.client.GetLocalPort());

    EXPECT_EQ(pair.client.Send("hello\n", 6), 6);
    EXPECT_EQ(pair.server.Send("back", 4), 4);
    EXPECT_TRUE(WaitFor([&] {
        return pair.server.m_strReceived == "hello\n" && pair.client.m_strReceived == "back";
    }));
}

TEST(AsyncSocket, connectsByHostNameWithoutBlocking) {
    CProbeSocket listener;
    ASSERT_TRUE(listener.Create(0, "127.0.0.1"));
    ASSERT_TRUE(listener.Listen());
    CProbeSocket client;
    ASSERT_TRUE(client.Create());
    EXPECT_FALSE(client.Connect("localhost", listener.GetLocalPort()));
    EXPECT_EQ(client.GetLastError(), CAsyncSocket::kWouldBlock);
    EXPECT_EQ(client.m_nConnects, 0);  // reported later, from the event loop
    ASSERT_TRUE(WaitFor([&] { return client.m_nConnects == 1; }));
    EXPECT_EQ(client.m_nConnectError, 0);
}

TEST(AsyncSocket, reportsRefusedAndUnknownHostsThroughOnConnect) {
    CProbeSocket refused;
    ASSERT_TRUE(refused.Create());
    EXPECT_FALSE(refused.Connect("127.0.0.1", static_cast<unsigned>(UnusedPort())));
    ASSERT_TRUE(WaitFor([&] { return refused.m_nConnects == 1; }));
    EXPECT_NE(refused.m_nConnectError, 0);
    EXPECT_NE(refused.m_nConnectError, CAsyncSocket::kWouldBlock);

    CProbeSocket unknown;
    ASSERT_TRUE(unknown.Create());
    EXPECT_FALSE(unknown.Connect("no-such-host.invalid", 6667));
    ASSERT_TRUE(WaitFor([&] { return unknown.m_nConnects == 1; }));
    EXPECT_NE(unknown.m_nConnectError, 0);
}

TEST(AsyncSocket, aConnectThatHangsEndsAtItsDeadlineWithTheSocketClosed) {
    const testing_support::CSilentAddress silent;
    EXPECT_EQ(CAsyncSocket::CONNECT_DEADLINE, 10s);
    struct Case {
        const char* pszHost;
        std::chrono::milliseconds deadline;
    };
    for (const Case& c : {Case{"127.0.0.1", 200ms}, Case{"localhost", 300ms}}) {
        SCOPED_TRACE(c.pszHost);
        CProbeSocket socket;
        socket.SetConnectDeadline(c.deadline);
        ASSERT_TRUE(socket.Create());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(socket.Connect(c.pszHost, static_cast<unsigned>(silent.Port())));
        ASSERT_TRUE(WaitFor([&] { return socket.m_nConnects == 1; }, 5s));
        EXPECT_GE(std::chrono::steady_clock::now() - start, c.deadline);
        EXPECT_EQ(socket.m_nConnectError, ETIMEDOUT);
        EXPECT_FALSE(socket.IsOpen());
        PumpEvents(100ms);
        EXPECT_EQ(socket.m_nConnects, 1);
    }
    // A connect that completes in time hears nothing more at its deadline.
    CPair pair;
    pair.client.SetConnectDeadline(100ms);
    ASSERT_TRUE(pair.Open());
    PumpEvents(200ms);
    EXPECT_EQ(pair.client.m_nConnects, 1);
    EXPECT_TRUE(pair.client.IsOpen());
}

TEST(AsyncSocket, fullBufferGivesWouldBlockThenOnSendOnce) {
    CPair pair;
    ASSERT_TRUE(pair.Open());
    std::vector<char> chunk(65536, 'x');
    long long nSent = 0;
    int nResult = 0;
    while ((nResult = pair.client.Send(chunk.data(), static_cast<int>(chunk.size()))) > 0) {
        nSent += nResult;
    }
    ASSERT_EQ(nResult, CAsyncSocket::kError);
    EXPECT_EQ(pair.client.GetLastError(), CAsyncSocket::kWouldBlock);
    EXPECT_EQ(pair.client.m_nSends, 0);
    // Draining the other end makes room, and the writer hears about it once.
    ASSERT_TRUE(WaitFor([&] {
        return static_cast<long long>(pair.server.m_strReceived.size()) == nSent &&
               pair.client.m_nSends == 1;
    }));
    PumpEvents(100ms);
    EXPECT_EQ(pair.client.m_nSends, 1);
}

TEST(AsyncSocket, remoteCloseGivesOnCloseAfterTheLastBytes) {
    CPair pair;
    ASSERT_TRUE(pair.Open());
    pair.server.Send("bye", 3);
    pair.server.Close();
    ASSERT_TRUE(WaitFor([&] { return pair.client.m_nCloses == 1; }));
    EXPECT_EQ(pair.client.m_strReceived, "bye");
    PumpEvents(100ms);
    EXPECT_EQ(pair.client.m_nCloses, 1);
    EXPECT_TRUE(pair.client.IsOpen());  // the handle stays until Close
}

TEST(AsyncSocket, closingWithAPendingConnectOrLookUpIsSafe) {
    CProbeSocket listener;
    ASSERT_TRUE(listener.Create(0, "127.0.0.1"));
    ASSERT_TRUE(listener.Listen());
    CProbeSocket dotted;
    ASSERT_TRUE(dotted.Create());
    dotted.Connect("127.0.0.1", listener.GetLocalPort());
    dotted.Close();
    {
        auto pNamed = std::make_unique<CProbeSocket>();
        ASSERT_TRUE(pNamed->Create());
        pNamed->Connect("localhost", listener.GetLocalPort());
    }  // destroyed while its look-up runs
    CProbeSocket reused;
    ASSERT_TRUE(reused.Create());
    reused.Connect("localhost", listener.GetLocalPort());
    reused.Close();
    ASSERT_TRUE(reused.Create());
    reused.Connect("127.0.0.1", listener.GetLocalPort());
    ASSERT_TRUE(WaitFor([&] { return reused.m_nConnects == 1; }));
    PumpEvents(200ms);
    EXPECT_EQ(dotted.m_nConnects, 0);
    EXPECT_EQ(reused.m_nConnects, 1);
    EXPECT_EQ(reused.m_nConnectError, 0);
}

TEST(AsyncSocket, handlerMayDeleteItsOwnSocket) {
    auto* pSocket = new CProbeSocket;
    pSocket->m_bDeleteOnConnect = true;
    ASSERT_TRUE(pSocket->Create());
    pSocket->Connect("127.0.0.1", static_cast<unsigned>(UnusedPort()));
    PumpEvents(300ms);  // ASan reports any use after the delete
    SUCCEED();
}

TEST(AsyncSocket, bindsToTheGivenAddressAndRefusesBadArguments) {
    CProbeSocket socket;
    EXPECT_FALSE(socket.Create(0, "not an address"));
    EXPECT_FALSE(socket.Create(70000));
    ASSERT_TRUE(socket.Create(0, "127.0.0.1"));
    EXPECT_FALSE(socket.Connect("127.0.0.1", 0));
    char c;
    CProbeSocket closed;
    EXPECT_EQ(closed.Send("x", 1), CAsyncSocket::kError);
    EXPECT_EQ(closed.Receive(&c, 1), CAsyncSocket::kError);
}

TEST(AsyncSocket, tlsKeepsTheContractAndRefusesACertificateItCannotVerify) {
    const auto& ca = testing_support::CTestCa::Get();
    ASSERT_TRUE(ca.Made());
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(
        QSslCertificate::fromPath(QString::fromStdString(ca.File("server.pem"))).value(0));
    QFile keyFile(QString::fromStdString(ca.File("server.key")));
    ASSERT_TRUE(keyFile.open(QIODevice::ReadOnly));
    config.setPrivateKey(QSslKey(&keyFile, QSsl::Rsa));
    QSslServer server;
    server.setSslConfiguration(config);
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    std::vector<QSslSocket*> served;
    std::string strServed;
    QObject::connect(&server, &QSslServer::pendingConnectionAvailable, [&] {
        auto* pSocket = static_cast<QSslSocket*>(server.nextPendingConnection());
        served.push_back(pSocket);
        QObject::connect(pSocket, &QSslSocket::readyRead,
                         [&, pSocket] { strServed += pSocket->readAll().toStdString(); });
    });

    CProbeSocket client;
    client.SetTls(CTlsOptions{"localhost", ca.File("ca.pem")});
    ASSERT_TRUE(client.Create());
    client.Connect("localhost", server.serverPort());
    ASSERT_TRUE(WaitFor([&] { return client.m_nConnects == 1; })) << client.ErrorText();
    ASSERT_EQ(client.m_nConnectError, 0) << client.ErrorText();
    ASSERT_TRUE(WaitFor([&] { return served.size() == 1; }));
    // Past the cap a send would block; once the bytes are out the writer hears it once.
    std::vector<char> chunk(100000, 'x');
    const int nTaken = client.Send(chunk.data(), static_cast<int>(chunk.size()));
    EXPECT_EQ(nTaken, CAsyncSocket::TLS_SEND_CAP);
    EXPECT_EQ(client.Send(chunk.data(), 10), CAsyncSocket::kError);
    EXPECT_EQ(client.GetLastError(), CAsyncSocket::kWouldBlock);
    ASSERT_TRUE(WaitFor([&] { return client.m_nSends == 1; }));
    EXPECT_TRUE(WaitFor([&] { return strServed.size() == static_cast<size_t>(nTaken); }));
    // More than one read takes: the rest notifies again, and the end comes after it.
    const std::string strBig(200000, 'y');
    served[0]->write(strBig.data(), static_cast<qint64>(strBig.size()));
    ASSERT_TRUE(WaitFor([&] { return client.m_strReceived.size() == strBig.size(); }));
    served[0]->disconnectFromHost();
    EXPECT_TRUE(WaitFor([&] { return client.m_nCloses == 1; }));

    // Without the test's CA the same server is refused, and nothing else happens.
    CProbeSocket stranger;
    stranger.SetTls(CTlsOptions{"localhost", {}});
    ASSERT_TRUE(stranger.Create());
    stranger.Connect("localhost", server.serverPort());
    ASSERT_TRUE(WaitFor([&] { return stranger.m_nConnects == 1; }));
    EXPECT_EQ(stranger.m_nConnectError, CAsyncSocket::kTlsFailed);
    EXPECT_NE(stranger.ErrorText().find("certificate"), std::string::npos) << stranger.ErrorText();
    EXPECT_FALSE(stranger.IsOpen());
    PumpEvents(100ms);
    EXPECT_EQ(stranger.m_nCloses, 0);
}
