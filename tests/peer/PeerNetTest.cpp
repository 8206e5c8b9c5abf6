#include "peer/CPeerNet.h"

#include "peer/CChatEvent.h"
#include "peer/CPeerSocket.h"
#include "peer/EventStream.h"
#include "tests/support/CRawPeer.h"
#include "tests/support/TestSupport.h"

#include <QDateTime>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using testing_support::PumpEvents;
using testing_support::WaitFor;
using namespace std::chrono_literals;

namespace {

// A client's peer network on its own loopback address, recording what it hands its host.
class CTestClient final : public CPeerHost {
public:
    CTestClient(const std::string& strAddress, unsigned nPort) : m_net(*this, strAddress, nPort) {
        EXPECT_TRUE(m_net.StartListening()) << strAddress;
    }
    void PeerCountChanged(int) override {}
    void ChatInvitation(const CChatEvent& event, const std::string&) override {
        m_invitations.push_back(event.id);
    }
    // The service's answer follows from the event loop when m_bAnswer is set.
    void RefreshPeerList() override {
        ++m_nRefreshes;
        if (m_bAnswer) {
            QTimer::singleShot(0, &m_context, [this] { m_net.PeerListArrived(&m_serviceList); });
        }
    }

    void OpenRoom(const CChatRequest& request) override { m_rooms.push_back(request); }

    CPeerNet m_net;
    std::vector<std::string> m_invitations;
    std::vector<CChatRequest> m_rooms;
    int m_nRefreshes = 0;
    bool m_bAnswer = false;
    CStringArray m_serviceList;
    QObject m_context;
};

CChatEvent Invitation(const std::string& strUser) {
    CChatEvent event;
    event.type = CChatEvent::TYPE_CHAT;
    event.params = {"#room", "Topic", "http://example.org/", strUser};
    return event;
}

// A listener on the peer port of a loopback address that accepts and closes at once, as a
// full or hostile client does; it counts the connections.
class CCloser {
public:
    CCloser(const std::string& strAddress, unsigned nPort) {
        EXPECT_TRUE(m_server.listen(QHostAddress(QString::fromStdString(strAddress)),
                                    static_cast<quint16>(nPort)));
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* pSocket = m_server.nextPendingConnection()) {
                ++m_nAccepted;
                pSocket->close();
                pSocket->deleteLater();
            }
        });
    }
    QTcpServer m_server;
    int m_nAccepted = 0;
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

    // A listed peer that goes brings the next list, but never sooner than a refresh
    // period after the last one.
    Client(3).m_net.Shutdown();
    ASSERT_TRUE(WaitFor([&] { return PeersAre({2, 1, 0, 1}); }));
    EXPECT_EQ(Client(1).m_nRefreshes, 0);
    Client(1).m_net.AdvanceClock(std::chrono::milliseconds(CPeerNet::REFRESH_PERIOD_MS));
    Client(4).m_net.Shutdown();
    ASSERT_TRUE(WaitFor([&] { return PeersAre({1, 1, 0, 0}); }));
    EXPECT_EQ(Client(1).m_nRefreshes, 1);
    Client(1).m_net.Shutdown();
    EXPECT_EQ(Client(1).m_net.GetPeerCount(), 0);
    EXPECT_FALSE(Client(1).m_net.IsListening());
    ASSERT_TRUE(WaitFor([&] { return PeersAre({0, 0, 0, 0}); }));
}

TEST_F(PeerNetTest, dialsFivePeersKeepsTheOtherPlacesForNewcomersAndStillAsksForLists) {
    Start(9);
    // Clients 2-8 listed: five are dialled, the last two wait.
    const CStringArray list{Address(2), Address(3), Address(4), Address(5),
                            Address(6), Address(7), Address(8)};
    Client(1).m_net.PeerListArrived(&list);
    ASSERT_TRUE(WaitFor([&] { return PeersAre({5, 1, 1, 1, 1, 1, 0, 0}); }));
    PumpEvents(200ms);
    EXPECT_TRUE(PeersAre({5, 1, 1, 1, 1, 1, 0, 0}));
    EXPECT_EQ(Client(1).m_net.PendingAddresses().size(), 2u);
    // A newcomer no list names still finds a place.
    Link(9, 1);
    ASSERT_TRUE(WaitFor([&] { return PeersAre({6, 1, 1, 1, 1, 1, 0, 0, 1}); }));
    // A listed peer that goes is replaced by the next address, and only by it.
    Client(2).m_net.Shutdown();
    ASSERT_TRUE(WaitFor([&] { return PeersAre({6, 0, 1, 1, 1, 1, 1, 0, 1}); }));
    PumpEvents(200ms);
    EXPECT_TRUE(PeersAre({6, 0, 1, 1, 1, 1, 1, 0, 1}));
    EXPECT_EQ(Client(1).m_net.PendingAddresses().size(), 1u);
    // While addresses wait, a list is still asked for every period (the service lists only
    // clients that asked lately); lists that no longer name its peers add no dials.
    Client(1).m_serviceList = {Address(8)};
    Client(1).m_bAnswer = true;
    for (int i = 1; i <= 2; ++i) {
        Client(1).m_net.AdvanceClock(std::chrono::milliseconds(CPeerNet::REFRESH_PERIOD_MS));
        Client(1).m_net.OnTimer(TIMER_PEER_REFRESH);
        PumpEvents(200ms);
        EXPECT_EQ(Client(1).m_nRefreshes, i);
    }
    EXPECT_TRUE(PeersAre({6, 0, 1, 1, 1, 1, 1, 0, 1}));
}

TEST_F(PeerNetTest, peersThatAcceptAndCloseAreAskedAgainOnlyAfterAGrowingPause) {
    Start(1);
    // Two peers that close on every connection; the service lists them on every refresh.
    CCloser full("127.0.1.8", m_nPort), hostile("127.0.1.9", m_nPort);
    CTestClient& client = Client(1);
    client.m_serviceList = {"127.0.1.8", "127.0.1.9"};
    client.m_bAnswer = true;
    client.m_net.PeerListArrived(&client.m_serviceList);
    ASSERT_TRUE(WaitFor([&] { return full.m_nAccepted == 1 && hostile.m_nAccepted == 1; }));
    PumpEvents(500ms);
    EXPECT_EQ(client.m_nRefreshes, 0);
    EXPECT_EQ(full.m_nAccepted + hostile.m_nAccepted, 2);

    // A list within the pause tries neither; the refresh tick after it tries both, and
    // their second close doubles the pause.
    client.m_net.AdvanceClock(CPeerBackoff::FIRST_PAUSE - 1s);
    client.m_net.PeerListArrived(&client.m_serviceList);
    PumpEvents(200ms);
    EXPECT_EQ(full.m_nAccepted + hostile.m_nAccepted, 2);
    client.m_net.AdvanceClock(std::chrono::milliseconds(CPeerNet::REFRESH_PERIOD_MS));
    client.m_net.OnTimer(TIMER_PEER_REFRESH);
    ASSERT_TRUE(WaitFor([&] { return full.m_nAccepted == 2 && hostile.m_nAccepted == 2; }));
    PumpEvents(300ms);
    EXPECT_EQ(client.m_nRefreshes, 1);
    EXPECT_EQ(client.m_net.Backoff().PauseOf("127.0.1.9"), 2 * CPeerBackoff::FIRST_PAUSE);
}

TEST_F(PeerNetTest, strangersTakeSixPlacesListedAddressesTheRestAndOneAddressTwoSockets) {
    Start(2);
    // Listed addresses where nobody listens: the attempts fail, the addresses stay listed.
    CStringArray listed;
    for (int i = 1; i <= 6; ++i) {
        listed.push_back("127.0.2." + std::to_string(i));
    }
    Client(1).m_net.PeerListArrived(&listed);
    struct Step {
        std::string strFrom;
        int nPeersAfter;
        bool bRefused;
    };
    std::vector<Step> steps;
    for (int i = 1; i <= CPeerNet::MAX_UNLISTED_PEERS + 1; ++i) {
        steps.push_back({"127.0.1." + std::to_string(i), std::min(i, 6), i > 6});
    }
    for (int i = 1; i <= 6; ++i) {
        steps.push_back({listed[static_cast<size_t>(i - 1)], std::min(6 + i, 11), i > 5});
    }
    // A second connection from a listed address.
    steps.push_back({"127.0.2.1", CPeerNet::PEER_LIMIT + 1, true});
    std::vector<std::unique_ptr<CRawPeer>> raw;
    for (const Step& step : steps) {
        raw.push_back(std::make_unique<CRawPeer>(step.strFrom, m_nPort));
        ASSERT_TRUE(WaitFor([&] {
            return Client(1).m_net.GetPeerCount() == step.nPeersAfter &&
                   raw.back()->Closed() == step.bRefused;
        })) << step.strFrom;
    }
    EXPECT_FALSE(raw.front()->Closed());

    // Two attempts to an address that never answers, and a third socket from it is refused.
    const testing_support::CSilentAddress silent("127.0.3.1", static_cast<int>(m_nPort));
    const CStringArray twice{"127.0.3.1", "127.0.3.1"};
    Client(2).m_net.PeerListArrived(&twice);
    CRawPeer third("127.0.3.1", m_nPort, Address(2));
    EXPECT_TRUE(WaitFor([&] { return third.Closed(); }));
    EXPECT_EQ(Client(2).m_net.GetPeerCount(), 0);
}

TEST_F(PeerNetTest, anAttemptToASilentAddressEndsAtItsDeadlineAndTheNextAddressIsTried) {
    Start(3);
    const testing_support::CSilentAddress first("127.0.3.1", static_cast<int>(m_nPort));
    const testing_support::CSilentAddress second("127.0.3.2", static_cast<int>(m_nPort));
    Client(1).m_net.SetConnectDeadline(300ms);
    const CStringArray list{"127.0.3.1", "127.0.3.2", Address(2), Address(3)};
    const auto start = std::chrono::steady_clock::now();
    Client(1).m_net.PeerListArrived(&list);
    ASSERT_TRUE(WaitFor([&] { return PeersAre({2, 1, 1}); }, 5s));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_EQ(Client(1).m_net.Backoff().PauseOf("127.0.3.1"), CPeerBackoff::FIRST_PAUSE);
    EXPECT_EQ(Client(1).m_net.Backoff().PauseOf(Address(2)), 0s);
}

TEST_F(PeerNetTest, oldFutureUndatedAndReplayedEventsAreNeitherRelayedNorShown) {
    Start(2);
    // An event seen a minute ago, then more than the memory holds.
    CChatEvent replayed = Invitation("replayed");
    replayed.timestamp = std::to_string(QDateTime::currentSecsSinceEpoch() - 60);
    Client(1).m_net.OnEventReceived(replayed, "127.0.1.1");
    for (size_t i = 0; i < CPeerNet::MAX_SEEN_IDS; ++i) {
        Client(1).m_net.OnEventReceived(Invitation("filler"), "127.0.1.1");
    }
    ASSERT_EQ(Client(1).m_invitations.size(), CPeerNet::MAX_SEEN_IDS + 1);
    Client(1).m_invitations.clear();
    Link(1, 2);
    CRawPeer raw("127.0.1.1", m_nPort);
    raw.DiscardWhatComes();
    ASSERT_TRUE(WaitFor([&] { return PeersAre({2, 1}); }));

    const qint64 nNow = QDateTime::currentSecsSinceEpoch();
    std::string strBytes = replayed.ToXml();
    for (const std::string& strTimestamp :
         {std::to_string(nNow - 601), std::to_string(nNow + 121), std::string(), std::string("1e9"),
          " " + std::to_string(nNow)}) {
        CChatEvent refused = Invitation("refused");
        refused.timestamp = strTimestamp;
        strBytes += refused.ToXml();
    }
    const CChatEvent fresh = Invitation("fresh");
    raw.Send(strBytes + fresh.ToXml());
    ASSERT_TRUE(WaitFor([&] { return Client(2).m_invitations.size() == 1; }));
    PumpEvents(200ms);
    EXPECT_EQ(Client(1).m_invitations, std::vector<std::string>{fresh.id});
    EXPECT_EQ(Client(2).m_invitations, std::vector<std::string>{fresh.id});
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
    // The other peer took what its rate allowed, and takes what follows.
    EXPECT_TRUE(WaitFor([&] { return Client(2).m_net.HasSeen("big-0"); }));
    Client(2).m_net.AdvanceClock(3s);
    const CChatEvent after = Invitation("after");
    Client(1).m_net.Broadcast(after);
    EXPECT_TRUE(WaitFor([&] { return Client(2).m_net.HasSeen(after.id); }));
    EXPECT_EQ(Client(2).m_net.GetPeerCount(), 1);
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
    } cases[] = {{"127.0.1.1", strGarbage.substr(0, 1024), true}, {"127.0.1.2", strGarbage, false}};
    std::vector<std::unique_ptr<CRawPeer>> raw;
    for (const Case& c : cases) {
        raw.push_back(std::make_unique<CRawPeer>(c.strFrom, m_nPort));
    }
    ASSERT_TRUE(WaitFor([&] { return Client(1).m_net.GetPeerCount() == 3; }));
    for (size_t i = 0; i < raw.size(); ++i) {
        raw[i]->Send(cases[i].strBytes);
    }
    ASSERT_TRUE(WaitFor([&] { return raw[1]->Closed() && PeersAre({2, 1}); }));
    // The peer kept below the cap is still read: its next event comes through (after the
    // "<events>" it cuts loose, fewer than its rate's burst), and so does one from the
    // client itself.
    const CChatEvent fromRaw = Invitation("raw");
    raw[0]->Send(fromRaw.ToXml());
    const CChatEvent fromClient = Invitation("c1");
    Client(1).m_net.Broadcast(fromClient);
    ASSERT_TRUE(WaitFor([&] { return Client(2).m_invitations.size() == 2; }));
    EXPECT_THAT(Client(2).m_invitations,
                ::testing::UnorderedElementsAre(fromRaw.id, fromClient.id));
    EXPECT_FALSE(raw[0]->Closed());
}

TEST_F(PeerNetTest, aFloodFromOnePeerIsCutToItsRateThenDisconnectedWhileOthersGoOn) {
    Start(2);
    Link(1, 2);
    CRawPeer raw("127.0.1.1", m_nPort);
    ASSERT_TRUE(WaitFor([&] { return PeersAre({2, 1}); }));
    raw.DiscardWhatComes();
    // A thousand events a second, the network's clock moving with them.
    std::vector<std::string> sent;
    const CPeerNet::TimePoint start = Client(1).m_net.Now();
    for (int nBatch = 0; nBatch < 100 && !raw.Closed(); ++nBatch) {
        std::string strBatch;
        for (int i = 0; i < 100; ++i) {
            const CChatEvent event = Invitation("u" + std::to_string(sent.size()));
            sent.push_back(event.id);
            strBatch += event.ToXml();
        }
        raw.Send(strBatch);
        PumpEvents(30ms);
        Client(1).m_net.AdvanceClock(100ms);
    }
    ASSERT_TRUE(WaitFor([&] { return raw.Closed(); }));
    const double dSeconds = std::chrono::duration<double>(Client(1).m_net.Now() - start).count();
    EXPECT_LE(sent.size(), 100u * (10 * CEventRateLimit::FLOOD_TIME.count() + 2));
    PumpEvents(200ms);
    // Shown: the burst, then the rate's share until the flood had lasted its time; passed
    // on: a share of those within the relay budget, which the next client takes in full,
    // so it never cuts off the honest relay. Each once, in the order sent.
    const std::vector<std::string>& shown = Client(1).m_invitations;
    const std::vector<std::string>& relayed = Client(2).m_invitations;
    EXPECT_TRUE(PeersAre({1, 1}));
    EXPECT_GE(shown.size(),
              CEventRateLimit::BURST +
                  CEventRateLimit::RATE_PER_SECOND * CEventRateLimit::FLOOD_TIME.count() - 2);
    EXPECT_LE(shown.size(),
              CEventRateLimit::BURST + CEventRateLimit::RATE_PER_SECOND * dSeconds + 2);
    EXPECT_GE(relayed.size(), static_cast<size_t>(CPeerNet::RELAY_BURST));
    EXPECT_LE(relayed.size(),
              CPeerNet::RELAY_BURST + CPeerNet::RELAY_RATE_PER_SECOND * dSeconds + 2);
    ASSERT_GE(shown.size(), static_cast<size_t>(CEventRateLimit::BURST));
    EXPECT_TRUE(std::equal(sent.begin(), sent.begin() + CEventRateLimit::BURST, shown.begin()));
    for (const std::vector<std::string>* pIds : {&shown, &relayed}) {
        auto next = sent.begin();
        for (const std::string& strId : *pIds) {
            next = std::find(next, sent.end(), strId);
            ASSERT_NE(next, sent.end());
            ++next;
        }
    }
    // The other peer still reaches the client.
    const CChatEvent after = Invitation("after");
    Client(2).m_net.Broadcast(after);
    EXPECT_TRUE(WaitFor([&] { return Client(1).m_invitations.back() == after.id; }));
}

}  // namespace

TEST(PeerNet, anInvitationOpensItsRoomThroughTheHostAndOtherEventsOpenNothing) {
    CTestClient client("127.0.0.1", static_cast<unsigned>(testing_support::UnusedPort()));
    CChatEvent news = Invitation("ann");
    news.type = CChatEvent::TYPE_NEWS;
    client.m_net.OpenChatForEvent(news);
    EXPECT_TRUE(client.m_rooms.empty());
    client.m_net.OpenChatForEvent(
        CChatEvent::Invitation("#Wow!", "Post - Wow! 1%", "http://x/a", "ann"));
    ASSERT_EQ(client.m_rooms.size(), 1u);
    EXPECT_EQ(client.m_rooms[0], (CChatRequest{"#Wow!", "Post - Wow! 1%", "http://x/a"}));
}
