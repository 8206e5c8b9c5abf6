#include "platform/AppEvent.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using testing_support::WaitFor;

namespace {

// Counts live payloads so tests can see that every one is freed.
struct CTracked {
    explicit CTracked(int n) : m_n(n) { ++s_nLive; }
    CTracked(const CTracked& other) : m_n(other.m_n) { ++s_nLive; }
    CTracked(CTracked&& other) noexcept : m_n(other.m_n) { ++s_nLive; }
    ~CTracked() { --s_nLive; }
    int m_n;
    static inline std::atomic<int> s_nLive{0};
};

class CReceiver : public QObject {
public:
    CHandleRegistration m_handle{this};
    std::vector<int> m_messages;
    std::vector<int> m_values;

protected:
    bool event(QEvent* pEvent) override {
        if (auto* pApp = dynamic_cast<CAppEvent*>(pEvent)) {
            m_messages.push_back(pApp->Message());
            if (auto* pTracked = pApp->WParam<CTracked>()) {
                m_values.push_back(pTracked->m_n);
            }
            if (auto* pText = pApp->LParam<std::string>()) {
                m_values.push_back(static_cast<int>(pText->size()));
            }
            return true;
        }
        return QObject::event(pEvent);
    }
};

}  // namespace

TEST(AppEvent, messagesKeepTheirNumbers) {
    EXPECT_EQ(UM_TRAY_NOTIFY, 1025);
    EXPECT_EQ(UM_LOGIN_RESULT, 1026);
    EXPECT_EQ(UM_NEWS_ITEMS, 1027);
    EXPECT_EQ(UM_PEER_LIST, 1041);
    EXPECT_EQ(UM_NEWS_INDEX, 1047);
    EXPECT_EQ(UM_SIGNUP_RESULT, 1049);
    EXPECT_EQ(UM_VERSION_NOTICE, 1050);
    EXPECT_EQ(UM_NEWS_OFFLINE, 1051);
    EXPECT_EQ(UM_FIREWALL_ROUTE, 1052);
}

TEST(AppEvent, deliversPayloadsInPostingOrderFromAnotherThread) {
    CReceiver receiver;
    CWindowHandle hWnd = receiver.m_handle.Handle();
    std::thread worker([hWnd] {
        for (int i = 0; i < 100; ++i) {
            PostAppEvent(hWnd, UM_NEWS_ITEMS, MakeParam(CTracked(i)),
                         MakeParam(std::string(static_cast<size_t>(i % 3), 'x')));
        }
    });
    worker.join();
    ASSERT_TRUE(WaitFor([&] { return receiver.m_messages.size() == 100; }));
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(receiver.m_values[2 * i], i);
        EXPECT_EQ(receiver.m_values[2 * i + 1], i % 3);
    }
    EXPECT_EQ(CTracked::s_nLive, 0);
}

TEST(AppEvent, payloadIsFreedWhenTheReceiverIsGone) {
    CWindowHandle hWnd = 0;
    {
        CReceiver receiver;
        hWnd = receiver.m_handle.Handle();
        EXPECT_TRUE(IsWindow(hWnd));
        // Queued but never delivered: destroyed with the receiver.
        EXPECT_TRUE(PostAppEvent(hWnd, UM_NEWS_INDEX, MakeParam(CTracked(1))));
        EXPECT_EQ(CTracked::s_nLive, 1);
    }
    EXPECT_EQ(CTracked::s_nLive, 0);
    EXPECT_FALSE(IsWindow(hWnd));
    EXPECT_FALSE(PostAppEvent(hWnd, UM_NEWS_INDEX, MakeParam(CTracked(2))));
    EXPECT_EQ(CTracked::s_nLive, 0);
}

TEST(AppEvent, wrongPayloadTypeReadsAsAbsent) {
    CAppEvent event(UM_PEER_LIST, MakeParam(std::string("x")), {});
    EXPECT_EQ(event.WParam<int>(), nullptr);
    EXPECT_EQ(event.LParam<std::string>(), nullptr);
    ASSERT_NE(event.WParam<std::string>(), nullptr);
    EXPECT_EQ(*event.WParam<std::string>(), "x");
}

TEST(AppEvent, mainWindowReceivesWhatWorkersPost) {
    CReceiver receiver;
    SetMainWindowHandle(receiver.m_handle.Handle());
    std::thread([] {
        PostToMainWindow(UM_FIREWALL_ROUTE, MakeParam(std::string("route")));
    }).join();
    EXPECT_TRUE(
        WaitFor([&] { return receiver.m_messages == std::vector<int>{UM_FIREWALL_ROUTE}; }));
    SetMainWindowHandle(0);
    EXPECT_FALSE(PostToMainWindow(UM_FIREWALL_ROUTE));
}
