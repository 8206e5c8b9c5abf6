#include "ui/CAlertWnd.h"

#include "gui/CDesktopNotifier.h"
#include "tests/support/CDesktopBus.h"
#include "tests/support/FakeMainWindow.h"
#include "tests/support/TestSupport.h"
#include "util/Settings.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>

#include <gtest/gtest.h>

#include <functional>

using testing_support::PumpEvents;
using testing_support::WaitFor;

namespace {

constexpr int kShortPeriodMs = 300;

void SendMouse(QWidget* pWidget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent event(type, pos, pWidget->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(pWidget, &event);
}

void SendEnter(QWidget* pWidget) {
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), pWidget->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(pWidget, &event);
}

void SendLeave(QWidget* pWidget) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(pWidget, &event);
}

void MoveInside(QWidget* pWidget) { SendMouse(pWidget, QEvent::MouseMove, {5, 5}, Qt::NoButton); }

// A drag that started on the window reports moves from outside it.
void DragOutside(QWidget* pWidget) {
    SendMouse(pWidget, QEvent::MouseMove, {-5, -5}, Qt::NoButton, Qt::LeftButton);
}

CChatEvent MakeChatEvent(CStringArray params) {
    CChatEvent event;
    event.type = CChatEvent::TYPE_CHAT;
    event.params = std::move(params);
    return event;
}

class AlertWnd : public testing::Test {
protected:
    void SetUp() override {
        CAlertWnd::SetClosePeriod(kShortPeriodMs);
        // Whatever an earlier test showed is forgotten.
        CAlertWnd::AdvanceClock(CAlertWnd::INVITER_QUIET_TIME);
        CAlertWnd::Inbox().Clear();
    }
    void TearDown() override {
        // Nothing waiting may show once its place frees.
        CAlertWnd::Inbox().Clear();
        for (QWidget* pWidget : QApplication::topLevelWidgets()) {
            if (qobject_cast<CAlertWnd*>(pWidget)) {
                pWidget->close();
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        CAlertWnd::SetClosePeriod(CAlertWnd::CLOSE_PERIOD_MS);
    }
};

TEST_F(AlertWnd, closesByItselfUnlessTheMouseRestsOnIt) {
    QPointer<CAlertWnd> pUntouched = new CAlertWnd;
    EXPECT_EQ(pUntouched->Text(), "Alert!");
    EXPECT_TRUE(WaitFor([&] { return pUntouched.isNull(); }, std::chrono::seconds(10)));

    struct Way {
        const char* pszName;
        std::function<void(QWidget*)> hover;
        std::function<void(QWidget*)> leave;
    };
    for (const Way& way : {Way{"enter and leave", SendEnter, SendLeave},
                           Way{"moves inside and out", MoveInside, DragOutside}}) {
        SCOPED_TRACE(way.pszName);
        QPointer<CAlertWnd> pWnd = new CAlertWnd;
        way.hover(pWnd);
        EXPECT_TRUE(pWnd->IsHovered());
        PumpEvents(std::chrono::milliseconds(3 * kShortPeriodMs));
        ASSERT_FALSE(pWnd.isNull());
        way.leave(pWnd);
        EXPECT_FALSE(pWnd->IsHovered());
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(pWnd.isNull());
        EXPECT_TRUE(WaitFor([&] { return pWnd.isNull(); }, std::chrono::seconds(10)));
    }
}

TEST_F(AlertWnd, leftClickHandsItsEventToTheMainWindowAndCloses) {
    CFakeMainWindow main;
    CAlertWnd::SetClosePeriod(CAlertWnd::CLOSE_PERIOD_MS);
    const CChatEvent event = MakeChatEvent({"#bread", "Bread & butter", "http://a/1", "kim"});
    QPointer<CAlertWnd> pWnd = new CAlertWnd;
    pWnd->SetEvent(event);
    EXPECT_EQ(pWnd->Event().ToXml(), event.ToXml());

    SendMouse(pWnd, QEvent::MouseButtonRelease, {10, 10}, Qt::RightButton);
    SendMouse(pWnd, QEvent::MouseButtonRelease, {-3, 10}, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(pWnd.isNull());
    EXPECT_TRUE(main.m_alertClicks.empty());

    SendMouse(pWnd, QEvent::MouseButtonRelease, {10, 10}, Qt::LeftButton);
    EXPECT_EQ(main.m_alertClicks, std::vector<std::string>{event.ToXml()});
    EXPECT_TRUE(WaitFor([&] { return pWnd.isNull(); }, std::chrono::seconds(5)));
}

TEST_F(AlertWnd, showsInvitationsAtTheBottomRightWithinItsLimits) {
    CAlertWnd::SetClosePeriod(CAlertWnd::CLOSE_PERIOD_MS);
    const QRect rcArea = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case {
        CStringArray params;
        const char* pszText;
    };
    for (const Case& c : {Case{{"#bread", "Bread & butter", "http://a/1", "kim"},
                               "Chat Event from kim!\n\nBread & butter"},
                          Case{{"#bread", "Bread & butter"}, "Chat Event from !\n\nBread & butter"},
                          Case{{}, "Chat Event from !\n\n"}}) {
        SCOPED_TRACE(c.pszText);
        CAlertWnd::AdvanceClock(CAlertWnd::INVITER_QUIET_TIME);
        const CChatEvent event = MakeChatEvent(c.params);
        CAlertWnd* pWnd = CAlertWnd::ShowInvitation(event);
        ASSERT_NE(pWnd, nullptr);
        EXPECT_EQ(pWnd->Text(), c.pszText);
        EXPECT_EQ(pWnd->Event().ToXml(), event.ToXml());
        EXPECT_TRUE(pWnd->isVisible());
        const QRect rcWnd = pWnd->frameGeometry();
        EXPECT_TRUE(rcArea.contains(rcWnd)) << rcWnd.x() << "," << rcWnd.y();
        EXPECT_GE(rcWnd.left(), rcArea.center().x());
        EXPECT_GE(rcWnd.top(), rcArea.center().y());
        pWnd->close();
    }

    CAlertWnd::AdvanceClock(CAlertWnd::INVITER_QUIET_TIME);
    auto show = [](const char* pszInviter, const char* pszChannel = "#c") {
        return CAlertWnd::ShowInvitation(MakeChatEvent({pszChannel, "t", "u", pszInviter}));
    };
    CAlertWnd* pAnn = show("ann");
    ASSERT_NE(pAnn, nullptr);
    EXPECT_EQ(show("ann"), nullptr);  // same inviter and channel within the quiet time
    CAlertWnd* pBob = show("bob");
    ASSERT_NE(pBob, nullptr);
    ASSERT_NE(show("ann", "#other"), nullptr);  // another room of the same inviter
    EXPECT_EQ(show("dee"), nullptr);            // three are open: dee waits
    EXPECT_EQ(CAlertWnd::Inbox().Waiting().size(), 1u);
    pBob->close();
    auto showing = [](const char* pszInviter) {
        for (QWidget* pWidget : QApplication::topLevelWidgets()) {
            auto* pAlert = qobject_cast<CAlertWnd*>(pWidget);
            if (pAlert && pAlert->isVisible() && pAlert->Event().Param(3) == pszInviter) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(WaitFor([&] { return showing("dee"); }));
    EXPECT_EQ(show("dee"), nullptr);
    pAnn->close();
    EXPECT_EQ(show("ann"), nullptr);
    CAlertWnd::AdvanceClock(CAlertWnd::INVITER_QUIET_TIME);
    EXPECT_NE(show("ann"), nullptr);
}

}  // namespace

namespace {

using testing_support::CFakeNotifications;
using testing_support::CNotification;
using testing_support::CPrivateBus;

// Invitations as desktop notifications: the program's notifier and a notification service
// on a bus of their own.
class AlertNotification : public AlertWnd {
protected:
    void SetUp() override {
        AlertWnd::SetUp();
        if (m_bus.Address().isEmpty()) {
            GTEST_SKIP() << "no dbus-daemon to run a private bus";
        }
        CDesktopNotifier::UseBus(m_bus.Connect("client"));
        ASSERT_TRUE(m_service.Start(m_bus.Connect("desktop")));
        WriteSetting(SETTING_ALERT_NOTIFICATION, 1);
    }
    void TearDown() override {
        WriteSetting(SETTING_ALERT_NOTIFICATION, 0);
        AlertWnd::TearDown();
    }
    CAlertWnd* Show(const char* pszInviter, const char* pszTopic = "t") {
        return CAlertWnd::ShowInvitation(MakeChatEvent({"#c", pszTopic, "u", pszInviter}));
    }
    bool ReceivedCount(size_t nCount) {
        return WaitFor([&] { return m_service.Received().size() == nCount; });
    }
    const CNotification& Last() { return m_service.Received().back(); }

    CPrivateBus m_bus;
    CFakeNotifications m_service;
    CFakeMainWindow m_main;
};

TEST_F(AlertNotification, carriesTheAlertsTextAndAnOpenRoomActionThatActsAsItsClick) {
    CAlertWnd::SetClosePeriod(CAlertWnd::CLOSE_PERIOD_MS);
    const CChatEvent event =
        MakeChatEvent({"#bread", "<b>Bread</b> & butter", "http://a/1", "kim"});
    EXPECT_EQ(CAlertWnd::ShowInvitation(event), nullptr);
    EXPECT_TRUE(CAlertWnd::IsNotified(event.id));
    ASSERT_TRUE(ReceivedCount(1));
    EXPECT_EQ(Last().strApp, "Vocalon");
    // Never read as markup: the brackets become look-alikes.
    EXPECT_EQ(Last().strBody, QString::fromUtf8("Chat Event from kim!\n\n‹b›Bread‹/b› & butter"));
    EXPECT_EQ(Last().nTimeoutMs, CAlertWnd::CLOSE_PERIOD_MS);
    ASSERT_EQ(Last().actions.size() % 2, 0);
    EXPECT_TRUE(Last().actions.contains("Open room"));

    // Strangers' signals: another id, a key that was not offered.
    m_service.InvokeAction(Last().nId + 1, CDesktopNotifier::ACTION_KEY);
    m_service.InvokeAction(Last().nId, "snooze");
    PumpEvents(std::chrono::milliseconds(300));
    EXPECT_TRUE(m_main.m_alertClicks.empty());

    m_service.InvokeAction(Last().nId, Last().actions.at(0));
    ASSERT_TRUE(WaitFor([&] { return !m_main.m_alertClicks.empty(); }));
    EXPECT_EQ(m_main.m_alertClicks, std::vector<std::string>{event.ToXml()});
    EXPECT_FALSE(CAlertWnd::IsNotified(event.id));
    m_service.InvokeAction(Last().nId, "default");  // once only
    PumpEvents(std::chrono::milliseconds(300));
    EXPECT_EQ(m_main.m_alertClicks.size(), 1u);
}

TEST_F(AlertNotification, takesAnAlertsPlaceUntilClosedOrOutOfTime) {
    for (const char* pszInviter : {"ann", "bob", "cy"}) {
        EXPECT_EQ(Show(pszInviter), nullptr);
    }
    ASSERT_TRUE(ReceivedCount(3));
    EXPECT_EQ(Show("dee"), nullptr);  // three are open: dee waits
    EXPECT_EQ(CAlertWnd::Inbox().Waiting().size(), 1u);
    m_service.SayClosed(m_service.Received().front().nId, 2);
    ASSERT_TRUE(ReceivedCount(4));
    EXPECT_EQ(Last().strBody, "Chat Event from dee!\n\nt");

    // A service that never says: past the close period and its grace they no longer count.
    EXPECT_EQ(Show("eve"), nullptr);
    EXPECT_TRUE(
        WaitFor([&] { return m_service.Received().size() == 5; },
                std::chrono::milliseconds(kShortPeriodMs + 4 * CDesktopNotifier::CLOSE_GRACE_MS)));
}

TEST_F(AlertNotification, fallsBackToTheAlertWithoutAServiceOrWhenNotAsked) {
    WriteSetting(SETTING_ALERT_NOTIFICATION, 0);
    CAlertWnd* pWnd = Show("ann");
    ASSERT_NE(pWnd, nullptr);
    pWnd->close();
    WriteSetting(SETTING_ALERT_NOTIFICATION, 1);
    m_service.Stop();
    pWnd = Show("bob");
    ASSERT_NE(pWnd, nullptr);
    EXPECT_EQ(pWnd->Text(), "Chat Event from bob!\n\nt");
    PumpEvents(std::chrono::milliseconds(200));
    EXPECT_TRUE(m_service.Received().empty());
}

}  // namespace
