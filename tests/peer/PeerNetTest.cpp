#include "peer/CPeerNet.h"

#include "peer/CChatEvent.h"
#include "peer/CPeerSocket.h"
#include "peer/EventStream.h"
#include "tests/support/TestSupport.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using testing_support::PumpEvents;
using testing_support::WaitFor;

namespace {

// A client's peer network on its own loopback address, recording what it hands its host.
class CTestClient final : public CPeerHost {
public:
    CTestClient(const std::string& strAddress, unsigned nPort) : m_net(*this, strAddress, nPort) {
        EXPECT_TRUE(m_net.StartListening()) << strAddress;
    }
    void PeerCountChanged(int) override {}
    void ChatInvitation(const CChatEvent& event) override { m_invitations.push_back(event.id); }
    void RefreshPeerList() override { ++m_nRefreshes; }

    CPeerNet m_net;
    std::vector<std::string> m_invitations;
    int m_nRefreshes = 0;
};

CChatEvent Invitation(const std::string& strUser) {
    CChatEvent event;
    event.type = CChatEvent::TYPE_CHAT;
    event.params = {"#room", "Topic", "http://example.org/", strUser};
    return event;
}

// A peer spoken to byte by byte from the test: a Qt socket from its own loopback address.
class CRawPeer {
public:
    CRawPeer(const std::string& strFrom, unsigned nPort, const std::string& strTo = "127.0.0.1") {
        // A refused peer may be closed before the test looks: the signal tells.
        QObject::connect(&m_socket, &QTcpSocket::connected, [this] { m_bConnected = true; });
        m_socket.bind(QHostAddress(QString::fromStdString(strFrom)));
        m_socket.connectToHost(QString::fromStdString(strTo), static_cast<quint16>(nPort));
        EXPECT_TRUE(WaitFor([&] { return m_bConnected; }));
    }
    void Send(const std::string& strBytes) {
        m_socket.write(strBytes.data(), static_cast<qint64>(strBytes.size()));
        m_socket.flush();
    }
    bool Closed() const { return m_socket.state() == QAbstractSocket::UnconnectedState; }

    QTcpSocket m_socket;
    bool m_bConnected = false;
};

class PeerNetTest : public ::testing::Test {
protected:
    static std::string Address(int i) { return "127.0.0." + std::to_string(i); }

    // Clients on 127.0.0.1..n, each told the addresses in its list.
    void Start(int nClients) {
        for (int i = 1; i <= nClients; ++i) {
            m_clients.push_back(std::make_unique<CTestClient>(Address(i), m_nPort));
        }
    }
    void Link(int nFrom, int nTo) {
        const CStringArray list{Address(nTo)};
        Client(nFrom).m_net.PeerListArrived(&list);
    }
    CTestClient& Client(int i) { return *m_clients[static_cast<size_t>(i - 1)]; }
    bool PeersAre(const std::vector<int>& counts) {
        for (size_t i = 0; i < counts.size(); ++i) {
            if (m_clients[i]->m_net.GetPeerCount() != counts[i]) {
                return false;
            }
        }
        return true;
    }

    const unsigned m_nPort = static_cast<unsigned>(testing_support::UnusedPort());
    std::vector<std::unique_ptr<CTestClient>> m_clients;
};

TEST_F(PeerNetTest, eventFloodsALineAndARingReachingEachClientOnce) {
    Start(5);
    for (int i = 1; i < 5; ++i) {
        Link(i, i + 1);
    }
    ASSERT_TRUE(WaitFor([&] { return PeersAre({1, 2, 2, 2, 1}); }));

    const CChatEvent first = Invitation("c1");
    Client(1).m_net.Broadcast(first);
    ASSERT_TRUE(WaitFor([&] { return Client(5).m_invitations.size() == 1; }));
    // The ring closes: every event now reaches each client from two sides.
    Link(5, 1);
    ASSERT_TRUE(WaitFor([&] { return PeersAre({2, 2, 2, 2, 2}); }));
    const CChatEvent second = Invitation("c3");
    Client(3).m_net.Broadcast(second);
    ASSERT_TRUE(WaitFor([&] {
        for (int i : {1, 2, 4, 5}) {
            if (Client(i).m_invitations.size() < (i == 1 ? 1u : 2u)) {
                return false;
            }
        }
        return true;
    }));
    // A duplicate arriving later, even with other fields, is neither shown nor relayed.
    CChatEvent replay = second;
    replay.params[1] = "changed";
    Client(2).m_net.OnEventReceived(replay);
    PumpEvents(std::chrono::milliseconds(200));

    EXPECT_TRUE(Client(1).m_invitations == std::vector<std::string>{second.id});
    EXPECT_TRUE(Client(3).m_invitations == std::vector<std::string>{first.id});
    for (int i : {2, 4, 5}) {
        EXPECT_EQ(Client(i).m_invitations, (std::vector<std::string>{first.id, second.id}));
    }
    // Events of another type go through without an invitation.
    CChatEvent news;
    news.type = CChatEvent::TYPE_NEWS;
    Client(1).m_net.Broadcast(news);
    ASSERT_TRUE(WaitFor([&] { return Client(4).m_net.HasSeen(news.id); }));
    EXPECT_EQ(Client(4).m_invitations.size(), 2u);
}

TEST_F(PeerNetTest, listIsWorkedThroughTwoAtATimeAndOwnOrBadAddressesAreSkipped) {
    Start(4);
    // Own address: used up without an attempt; a name: skipped; then 2 at once, 3 and 4
    // as connections complete.
    const CStringArray list{Address(1), "not.an.address", Address(2),
                            Address(3), Address(4),       Address(2)};
    Client(1).m_net.PeerListArrived(&list);
    EXPECT_EQ(Client(1).m_net.PendingAddresses().size(), 3u);
    ASSERT_TRUE(WaitFor([&] { return PeersAre({3, 1, 1, 1}); }));
    // The repeated address is not connected twice.
    ASSERT_TRUE(WaitFor([&] { return Client(1).m_net.PendingAddresses().empty(); }));
    PumpEvents(std::chrono::milliseconds(100));
    EXPECT_TRUE(PeersAre({3, 1, 1, 1}));

    // A listed peer that goes brings the next list.
    Client(3).m_net.Shutdown();
    ASSERT_TRUE(WaitFor([&] { return PeersAre({2, 1, 0, 1}); }));
    EXPECT_EQ(Client(1).m_nRefreshes, 1);
    Client(1).m_net.Shutdown();
    EXPECT_EQ(Client(1).m_net.GetPeerCount(), 0);
    EXPECT_FALSE(Client(1).m_net.IsListening());
    ASSERT_TRUE(WaitFor([&] { return PeersAre({0, 0, 0, 0}); }));
}

TEST_F(PeerNetTest, aTwelfthPeerIsRefusedAndClosed) {
    Start(1);
    std::vector<std::unique_ptr<CRawPeer>> raw;
    for (int i = 1; i <= CPeerNet::PEER_LIMIT + 2; ++i) {
        raw.push_back(std::make_unique<CRawPeer>("127.0.1." + std::to_string(i), m_nPort));
        ASSERT_TRUE(WaitFor([&] {
            return Client(1).m_net.GetPeerCount() == std::min(i, CPeerNet::PEER_LIMIT + 1) &&
                   (i <= CPeerNet::PEER_LIMIT + 1 || raw.back()->Closed());
        })) << i;
    }
    // A second connection from a listed address is refused too.
    CRawPeer again("127.0.1.1", m_nPort);
    EXPECT_TRUE(WaitFor([&] { return again.Closed(); }));
    EXPECT_FALSE(raw.front()->Closed());
}

TEST_F(PeerNetTest, eventsAreReadWhateverTheReadsLookLike) {
    Start(1);
    CRawPeer raw("127.0.1.1", m_nPort);
    ASSERT_TRUE(WaitFor([&] { return Client(1).m_net.GetPeerCount() == 1; }));
    const CChatEvent a = Invitation("a"), b = Invitation("b"), c = Invitation("c");
    raw.Send(a.ToXml() + b.ToXml());  // two in one read
    const std::string strC = c.ToXml();
    raw.Send(strC.substr(0, 20));
    PumpEvents(std::chrono::milliseconds(100));
    EXPECT_EQ(Client(1).m_invitations.size(), 2u);
    raw.Send(strC.substr(20));
    ASSERT_TRUE(WaitFor([&] { return Client(1).m_invitations.size() == 3; }));
    EXPECT_EQ(Client(1).m_invitations, (std::vector<std::string>{a.id, b.id, c.id}));
    // Each is relayed back to its sender too.
    ASSERT_TRUE(WaitFor(
        [&] { return raw.m_socket.bytesAvailable() >= static_cast<qint64>(3 * strC.size() - 3); }));

    // An over-long event is skipped; the stream goes on after it.
    raw.Send("<event>" + std::string(MAX_EVENT_TEXT, 'x') + "</event>\n");
    const CChatEvent d = Invitation("d");
    raw.Send(d.ToXml());
    ASSERT_TRUE(WaitFor([&] { return Client(1).m_invitations.size() == 4; }));
    EXPECT_EQ(Client(1).m_invitations.back(), d.id);
    // Bytes that never complete an event past the cap: the peer is dropped.
    raw.Send("<event>" + std::string(MAX_PEER_BUFFER, 'y'));
    EXPECT_TRUE(WaitFor([&] { return raw.Closed() && Client(1).m_net.GetPeerCount() == 0; }));
}

TEST_F(PeerNetTest, aPeerThatStopsReadingIsDroppedWithoutHoldingTheOthers) {
    Start(2);
    Link(1, 2);
    CRawPeer stalled("127.0.1.1", m_nPort);
    stalled.m_socket.setReadBufferSize(1);
    ASSERT_TRUE(WaitFor([&] { return PeersAre({2, 1}); }));
    CChatEvent big = Invitation("big");
    big.params[1] = std::string(MAX_EVENT_TEXT - 200, 't');
    // Far more than the kernel's buffers and the 1 MiB queue together.
    for (int i = 0; i < 2000 && Client(1).m_net.GetPeerCount() == 2; ++i) {
        big.id = "big-" + std::to_string(i);
        Client(1).m_net.Broadcast(big);
        PumpEvents(std::chrono::milliseconds(0));
    }
    EXPECT_TRUE(WaitFor([&] { return Client(1).m_net.GetPeerCount() == 1; }));
    EXPECT_TRUE(WaitFor([&] { return Client(2).m_net.HasSeen(big.id); }));
}

TEST_F(PeerNetTest, garbageWithoutAnEventWaitsUpToTheCapAndNeverHoldsTheOthers) {
    Start(2);
    Link(1, 2);
    ASSERT_TRUE(WaitFor([&] { return PeersAre({1, 1}); }));
    // Bytes that look nearly like events but hold no "<event>" tag.
    std::string strGarbage;
    for (int i = 0; strGarbage.size() <= MAX_PEER_BUFFER; ++i) {
        strGarbage += "</event><even<events>\r\n" + std::string(1, static_cast<char>(i % 256));
    }
    struct Case {
        std::string strFrom;
        std::string strBytes;
        bool bKept;
    } cases[] = {{"127.0.1.1", strGarbage.substr(0, 8192), true}, {"127.0.1.2", strGarbage, false}};
    std::vector<std::unique_ptr<CRawPeer>> raw;
    for (const Case& c : cases) {
        raw.push_back(std::make_unique<CRawPeer>(c.strFrom, m_nPort));
    }
    ASSERT_TRUE(WaitFor([&] { return Client(1).m_net.GetPeerCount() == 3; }));
    for (size_t i = 0; i < raw.size(); ++i) {
        raw[i]->Send(cases[i].strBytes);
    }
    ASSERT_TRUE(WaitFor([&] { return raw[1]->Closed() && PeersAre({2, 1}); }));
    // The peer kept below the cap is still read: its next event comes through, and so
    // does one from the client itself.
    const CChatEvent fromRaw = Invitation("raw");
    raw[0]->Send(fromRaw.ToXml());
    const CChatEvent fromClient = Invitation("c1");
    Client(1).m_net.Broadcast(fromClient);
    ASSERT_TRUE(WaitFor([&] { return Client(2).m_invitations.size() == 2; }));
    EXPECT_THAT(Client(2).m_invitations,
                ::testing::UnorderedElementsAre(fromRaw.id, fromClient.id));
    EXPECT_FALSE(raw[0]->Closed());
}

TEST_F(PeerNetTest, aThousandEventsASecondFromOnePeerReachAnotherEachOnce) {
    Start(2);
    Link(1, 2);
    CRawPeer raw("127.0.1.1", m_nPort);
    ASSERT_TRUE(WaitFor([&] { return PeersAre({2, 1}); }));
    // What comes back to the sender is read and thrown away, so it never stalls.
    QObject::connect(&raw.m_socket, &QTcpSocket::readyRead, [&] { raw.m_socket.readAll(); });
    std::vector<std::string> sent;
    for (int nBatch = 0; nBatch < 10; ++nBatch) {
        std::string strBatch;
        for (int i = 0; i < 100; ++i) {
            const CChatEvent event = Invitation("u" + std::to_string(sent.size()));
            sent.push_back(event.id);
            strBatch += event.ToXml();
        }
        raw.Send(strBatch);
        PumpEvents(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(WaitFor([&] { return Client(2).m_invitations.size() >= sent.size(); }));
    PumpEvents(std::chrono::milliseconds(200));  // room for a duplicate to show
    EXPECT_EQ(Client(2).m_invitations, sent);
    EXPECT_EQ(Client(1).m_invitations, sent);
    EXPECT_FALSE(raw.Closed());
}

}  // namespace
