#include "ui/CInvitationInbox.h"

#include "peer/CPeerNet.h"
#include "tests/support/CRawPeer.h"
#include "tests/support/TestSupport.h"
#include "ui/CAlertWnd.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using testing_support::PumpEvents;
using testing_support::WaitFor;
using namespace std::chrono_literals;

namespace {

CChatEvent Invitation(const std::string& strInviter, const std::string& strChannel = "#c") {
    CChatEvent event;
    event.type = CChatEvent::TYPE_CHAT;
    event.params = {strChannel, "Title", "http://example.org/", strInviter};
    return event;
}

std::vector<std::string> InvitersOf(const std::deque<CInvitationInbox::CEntry>& entries) {
    std::vector<std::string> inviters;
    for (const CInvitationInbox::CEntry& entry : entries) {
        inviters.push_back(entry.event.Param(3));
    }
    return inviters;
}

TEST(InvitationInbox, dropsRepeatsOfAPairAndKeepsTheNewestFairlyWhenFull) {
    CInvitationInbox inbox;
    const auto now = std::chrono::steady_clock::now();
    EXPECT_TRUE(inbox.Take(Invitation("ann"), "p1", now));
    EXPECT_FALSE(inbox.Take(Invitation("ann"), "p2", now + 9s));
    EXPECT_TRUE(inbox.Take(Invitation("ann", "#d"), "p1", now));
    EXPECT_TRUE(inbox.Take(Invitation("ann"), "p1", now + 10s));
    EXPECT_EQ(inbox.NextWaiting()->Param(0), "#c");
    EXPECT_EQ(inbox.Waiting().size(), 2u);

    // A flood from p9 with a new name each time: p1's and p2's invitations stay, and of
    // p9's only the newest.
    inbox.Clear();
    inbox.Take(Invitation("bob"), "p2", now);
    for (int i = 0; i < 30; ++i) {
        inbox.Take(Invitation("spam" + std::to_string(i)), "p9", now);
        if (i == 20) {
            inbox.Take(Invitation("cy"), "p1", now);
        }
    }
    const std::vector<std::string> expected{"bob",    "cy",     "spam22", "spam23", "spam24",
                                            "spam25", "spam26", "spam27", "spam28", "spam29"};
    EXPECT_EQ(InvitersOf(inbox.Waiting()), expected);
    EXPECT_EQ(InvitersOf(inbox.Recent()), expected);
    // Taking the waiting ones empties the queue, oldest first; the recent ones stay.
    std::vector<std::string> taken;
    while (const std::optional<CChatEvent> event = inbox.NextWaiting()) {
        taken.push_back(event->Param(3));
    }
    EXPECT_EQ(taken, expected);
    EXPECT_EQ(inbox.Recent().size(), CInvitationInbox::MAX_RECENT);
}

// A client's peer network that shows its invitations as the login window does.
class CAlertingHost final : public CPeerHost {
public:
    explicit CAlertingHost(unsigned nPort) : m_net(*this, "127.0.0.1", nPort) {
        EXPECT_TRUE(m_net.StartListening());
    }
    void PeerCountChanged(int) override {}
    void ChatInvitation(const CChatEvent& event, const std::string& strFrom) override {
        CAlertWnd::ShowInvitation(event, strFrom);
    }
    void OpenRoom(const CChatRequest&) override {}
    void RefreshPeerList() override {}
    CPeerNet m_net;
};

bool AlertShows(const std::string& strId) {
    const QWidgetList widgets = QApplication::topLevelWidgets();
    return std::any_of(widgets.begin(), widgets.end(), [&](QWidget* pWidget) {
        auto* pAlert = qobject_cast<CAlertWnd*>(pWidget);
        return pAlert && pAlert->isVisible() && pAlert->Event().id == strId;
    });
}

TEST(InvitationInbox, aFloodOfNamesFromOnePeerLeavesAnotherPeersInvitationShownAndListed) {
    CAlertWnd::Inbox().Clear();
    CAlertWnd::SetClosePeriod(500);
    const unsigned nPort = static_cast<unsigned>(testing_support::UnusedPort());
    CAlertingHost client(nPort);
    CRawPeer flood("127.0.1.1", nPort), friendly("127.0.1.2", nPort);
    ASSERT_TRUE(WaitFor([&] { return client.m_net.GetPeerCount() == 2; }));
    flood.DiscardWhatComes();
    friendly.DiscardWhatComes();
    // A thousand events a second, each from a new inviter into a new room.
    const CChatEvent genuine = Invitation("kim", "#bread");
    bool bSeen = false;
    for (int nBatch = 0; nBatch < 10; ++nBatch) {
        std::string strBatch;
        for (int i = 0; i < 100; ++i) {
            const std::string strName = "spam" + std::to_string(nBatch * 100 + i);
            strBatch += Invitation(strName, "#" + strName).ToXml();
        }
        flood.Send(strBatch);
        if (nBatch == 5) {
            friendly.Send(genuine.ToXml());
        }
        PumpEvents(100ms);
        bSeen = bSeen || AlertShows(genuine.id);
    }
    const std::deque<CInvitationInbox::CEntry>& recent = CAlertWnd::Inbox().Recent();
    EXPECT_TRUE(std::any_of(recent.begin(), recent.end(), [&](const auto& entry) {
        return entry.event.id == genuine.id && entry.strSource == "127.0.1.2";
    }));
    EXPECT_TRUE(bSeen || WaitFor([&] { return AlertShows(genuine.id); }));

    CAlertWnd::Inbox().Clear();
    for (QWidget* pWidget : QApplication::topLevelWidgets()) {
        if (qobject_cast<CAlertWnd*>(pWidget)) {
            pWidget->close();
        }
    }
    CAlertWnd::SetClosePeriod(CAlertWnd::CLOSE_PERIOD_MS);
}

}  // namespace
