#include "news/CNewsDlg.h"

#include "gui/ResourceIds.h"
#include "gui/Shell.h"
#include "gui/Tray.h"
#include "news/CPastNewsDlg.h"
#include "news/NewsCheck.h"
#include "news/NewsDisplay.h"
#include "platform/CWorkers.h"
#include "platform/Profile.h"
#include "tests/support/FakeMainWindow.h"
#include "tests/support/TestSupport.h"
#include "ui/WindowPlacement.h"
#include "util/AppFiles.h"

#include <httplib.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include <climits>

#include <gtest/gtest.h>

using testing_support::CCleanProfile;
using testing_support::CLocalHttpServer;
using testing_support::CModalResponder;
using testing_support::CTempAppDir;
using testing_support::PumpEvents;
using testing_support::WaitFor;
using namespace std::chrono_literals;

namespace {

std::unique_ptr<CNewsItem> Item(const std::string& strHeadline,
                                const std::string& strUrl = "http://example.org/a",
                                const std::string& strSource = "Gazette") {
    return std::make_unique<CNewsItem>(strUrl, strHeadline, strSource, "", 1007660580);
}

class NewsDlgTest : public ::testing::Test {
protected:
    NewsDlgTest() {
        m_server.Server().Get("/feed", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content("<moreovernews>" + m_strFeed + "</moreovernews>", "text/xml");
        });
        m_server.Start();
        m_dir.Write("in_feeds.txt", "Gazette<!!div!!>" + m_server.Url("/feed") + "\r\n");
        TrayAdd();
    }
    ~NewsDlgTest() override {
        m_pDlg.reset();
        TrayRemove();
    }

    void Open() { m_pDlg = std::make_unique<CNewsDlg>(); }
    void ChooseSources() { m_dir.Write("kim_out_feeds.txt", "Gazette\r\n"); }
    static std::string Article(const std::string& strHeadline) {
        return "<article><url>http://example.org/" + std::to_string(strHeadline.size()) +
               "</url><headline_text>" + strHeadline +
               "</headline_text><source>Gazette</source>"
               "<harvest_time>Dec 6 2001 5:43PM</harvest_time></article>";
    }
    void PostItems(std::vector<std::unique_ptr<CNewsItem>> items, CSourceStatusMap statuses = {}) {
        CNewsItemList list;
        for (auto& pItem : items) {
            list.push_back(std::move(pItem));
        }
        PostMessageTo<UM_NEWS_ITEMS>(m_pDlg->Handle(), std::move(list), std::move(statuses));
        PumpEvents(20ms);
    }
    template <class... T>
    void PostItems(T... headlines) {
        std::vector<std::unique_ptr<CNewsItem>> items;
        (items.push_back(Item(headlines)), ...);
        PostItems(std::move(items));
    }
    std::string PaneText() const { return m_pDlg->Pane()->toPlainText().toStdString(); }
    std::string Title() const { return m_pDlg->windowTitle().toStdString(); }
    QPushButton* Button(const char* pszName) { return m_pDlg->findChild<QPushButton*>(pszName); }
    // The viewport point over a character of the pane.
    QPoint PointOfChar(int nPos) {
        QTextCursor cursor(m_pDlg->Pane()->document());
        cursor.setPosition(nPos);
        return m_pDlg->Pane()->cursorRect(cursor).center() + QPoint(2, 0);
    }

    CCleanProfile m_cleanProfile;
    CTempAppDir m_dir;
    CFakeMainWindow m_main{"kim"};
    std::string m_strFeed;
    CLocalHttpServer m_server;
    std::unique_ptr<CNewsDlg> m_pDlg;
};

}  // namespace

TEST_F(NewsDlgTest, withoutSourcesOffersTheLinkToThePreferences) {
    Open();
    EXPECT_FALSE(m_pDlg->isVisible());
    EXPECT_EQ(PaneText(), "Click here to add some feeds.");
    ASSERT_EQ(m_pDlg->Links().size(), 1u);
    EXPECT_EQ(m_pDlg->Links()[0].strTarget, "prefs:");
    EXPECT_FALSE(m_pDlg->IsChecking());
    EXPECT_FALSE(m_pDlg->Timers().IsActive(TIMER_NEWS_CHECK));
    m_pDlg->show();
    m_pDlg->OnPaneClick(PointOfChar(3));
    EXPECT_EQ(m_main.m_nPrefsOpened, 1);
    EXPECT_TRUE(m_main.m_chatRequests.empty());
}

TEST_F(NewsDlgTest, firstCheckBlinksAndSchedulesTheNextWhileHidden) {
    ChooseSources();
    WriteProfileInt(m_main.m_strSection, "check_time", 2);
    m_strFeed = Article("First &amp; best") + Article("Second");
    Open();
    EXPECT_TRUE(m_pDlg->IsChecking());
    EXPECT_EQ(Title(), "Checking...");
    EXPECT_EQ(TrayState().nIconId, IDI_UPDATING);
    EXPECT_EQ(TrayState().strTip, "Updating...");
    ASSERT_TRUE(WaitFor([&] { return !m_pDlg->IsChecking(); }));
    EXPECT_FALSE(m_pDlg->isVisible());
    ASSERT_EQ(m_pDlg->Items().size(), 2u);
    EXPECT_EQ(m_pDlg->Items()[0]->m_strHeadline, "First & best");
    EXPECT_TRUE(m_pDlg->IsBlinking());
    EXPECT_EQ(TrayState().nIconId, IDI_NEWS);
    EXPECT_FALSE(m_pDlg->MayRefresh());
    EXPECT_TRUE(Button("next")->isEnabled());
    EXPECT_EQ(Title(), "Latest News - (1 of 2)");
    EXPECT_EQ(m_pDlg->findChild<QLabel*>("caption")->text().left(16), "Last checked at ");
    EXPECT_EQ(m_pDlg->Timers().Interval(TIMER_NEWS_CHECK), 2 * 60000);
    ASSERT_NE(m_pDlg->PastNews(), nullptr);
    EXPECT_EQ(m_pDlg->PastNews()->at("Gazette").size(), 2u);

    // The blink alternates with the normal icon every tick, keeping its tip.
    m_pDlg->OnTimer(TIMER_TRAY_BLINK);
    EXPECT_EQ(TrayState().nIconId, IDI_MAIN);
    m_pDlg->OnTimer(TIMER_TRAY_BLINK);
    EXPECT_EQ(TrayState().nIconId, IDI_NEWS);
    EXPECT_EQ(TrayState().strTip, "Updating...");

    // The periodic check runs, but unacknowledged news is not replaced: the new waits.
    m_strFeed = Article("Third");
    m_pDlg->OnTimer(TIMER_NEWS_CHECK);
    EXPECT_TRUE(m_pDlg->IsChecking());
    ASSERT_TRUE(WaitFor([&] { return !m_pDlg->IsChecking(); }));
    EXPECT_EQ(m_pDlg->Items().size(), 2u);
    ASSERT_EQ(m_pDlg->Waiting().size(), 1u);
    EXPECT_EQ(Title(), "Latest News - (1 of 2), 1 waiting");

    m_pDlg->ShowNewsWindow();
    EXPECT_TRUE(m_pDlg->isVisible());
    EXPECT_FALSE(m_pDlg->IsBlinking());
    EXPECT_EQ(TrayState().nIconId, IDI_MAIN);
    EXPECT_EQ(TrayState().strTip, "Vocalon 2.0");
    EXPECT_EQ(PaneText().substr(0, 21), "Gazette\nFirst & best\n");
}

TEST_F(NewsDlgTest, closingLetsTheNextTickCheckAndSavesThePlace) {
    ChooseSources();
    m_strFeed = Article("One");
    Open();
    ASSERT_TRUE(WaitFor([&] { return !m_pDlg->IsChecking(); }));
    m_pDlg->ShowNewsWindow();
    m_pDlg->setGeometry(40, 50, 320, 210);
    m_pDlg->close();
    EXPECT_FALSE(m_pDlg->isVisible());
    EXPECT_TRUE(m_pDlg->MayRefresh());
    EXPECT_EQ(GetProfileInt(m_main.m_strSection, "news_x", 0), 40);
    EXPECT_EQ(GetProfileInt(m_main.m_strSection, "news_cy", 0), 210);

    m_strFeed = Article("Two");
    m_pDlg->OnTimer(TIMER_NEWS_CHECK);
    EXPECT_TRUE(m_pDlg->IsChecking());
    ASSERT_TRUE(WaitFor([&] { return !m_pDlg->IsChecking(); }));
    ASSERT_EQ(m_pDlg->Items().size(), 1u);
    EXPECT_EQ(m_pDlg->Items()[0]->m_strHeadline, "Two");
}

TEST_F(NewsDlgTest, firstShowUsesTheSavedPlaceOrTheBottomRightCorner) {
    Open();
    m_pDlg->show();
    QRect work = m_pDlg->screen()->availableGeometry();
    EXPECT_EQ(m_pDlg->geometry().right(), work.right());
    EXPECT_EQ(m_pDlg->geometry().bottom(), work.bottom());
    m_pDlg.reset();

    WriteProfileInt(m_main.m_strSection, "news_x", 11);
    WriteProfileInt(m_main.m_strSection, "news_y", 12);
    WriteProfileInt(m_main.m_strSection, "news_cx", 333);
    WriteProfileInt(m_main.m_strSection, "news_cy", 222);
    Open();
    m_pDlg->show();
    EXPECT_EQ(m_pDlg->geometry(), QRect(11, 12, 333, 222));
}

TEST_F(NewsDlgTest, nothingNewKeepsShownItemsAndStopsTheBlink) {
    Open();
    PostItems();
    EXPECT_EQ(PaneText(), "No new news.");
    EXPECT_FALSE(Button("next")->isEnabled());
    EXPECT_TRUE(m_pDlg->MayRefresh());

    PostItems("Kept");
    EXPECT_TRUE(m_pDlg->IsBlinking());
    // Checks run while the news waits unacknowledged: one with nothing new keeps the blink.
    PostItems();
    EXPECT_TRUE(m_pDlg->IsBlinking());
    EXPECT_FALSE(m_pDlg->MayRefresh());
    m_pDlg->ShowNewsWindow();
    m_pDlg->close();
    PostItems();
    EXPECT_FALSE(m_pDlg->IsBlinking());
    EXPECT_EQ(TrayState().nIconId, IDI_MAIN);
    ASSERT_EQ(m_pDlg->Items().size(), 1u);
    EXPECT_NE(PaneText().find("Kept"), std::string::npos);
    EXPECT_TRUE(m_pDlg->MayRefresh());
    EXPECT_TRUE(Button("next")->isEnabled());
}

TEST_F(NewsDlgTest, newsPlaysTheThemesNewMessageSoundOnlyWhenSoundIsOn) {
    std::vector<std::string> played;
    const SoundEventPlayer previous =
        SetSoundEventPlayer([&](const std::string& strEventId) { played.push_back(strEventId); });
    Open();
    for (int nSoundOn : {1, 0}) {
        SCOPED_TRACE(nSoundOn);
        WriteProfileInt("Prefs", "sound_on", nSoundOn);
        played.clear();
        PostItems();  // nothing new: never a sound
        PostItems("Fresh");
        EXPECT_EQ(played, std::vector<std::string>(nSoundOn, "message-new-instant"));
    }
    SetSoundEventPlayer(previous);
}

TEST(PlayNamedSound, withoutASoundServerReturnsAtOnceAndPlaysOneAtATime) {
    const size_t nWorkersBefore = CWorkers::Count();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 50; ++i) {
        PlayNamedSound("Default Beep");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_LE(CWorkers::Count(), nWorkersBefore + 1);
}

TEST_F(NewsDlgTest, newsArrivingWhileUnacknowledgedWaitsUntilTheUserMovesOn) {
    Open();
    PostItems("A", "B");
    ASSERT_EQ(m_main.m_notifications.size(), 1u);
    EXPECT_EQ(m_main.m_notifications[0], "2 new headlines: A");
    m_pDlg->ShowNewsWindow();
    PostItems("C");
    PostItems("D");
    EXPECT_EQ(m_main.m_notifications.back(), "1 new headline: D");
    ASSERT_EQ(m_pDlg->Items().size(), 2u);
    EXPECT_EQ(m_pDlg->Current(), 0);
    EXPECT_EQ(Title(), "Latest News - (1 of 2), 2 waiting");
    EXPECT_EQ(m_pDlg->findChild<QLabel*>("status")->text().left(23), "2 new headlines wait. C");
    // Past the last shown item the waiting ones come, oldest first.
    m_pDlg->OnNext();
    EXPECT_EQ(m_pDlg->Current(), 1);
    m_pDlg->OnNext();
    ASSERT_EQ(m_pDlg->Items().size(), 2u);
    EXPECT_EQ(m_pDlg->Items()[0]->m_strHeadline, "C");
    EXPECT_TRUE(m_pDlg->Waiting().empty());
    EXPECT_EQ(Title(), "Latest News - (1 of 2)");

    // Update News shows what waits at once; news of its own check waits behind it.
    PostItems("E");
    m_pDlg->UpdateNews();  // no sources: only the link is shown
    ASSERT_EQ(m_pDlg->Items().size(), 1u);
    EXPECT_EQ(m_pDlg->Items()[0]->m_strHeadline, "E");
    PostItems("F");
    EXPECT_EQ(m_pDlg->Waiting().size(), 1u);

    // A click on the notification shows the window; without news_notify none is raised.
    m_pDlg->hide();
    m_main.m_fnNotificationClick();
    EXPECT_EQ(m_main.m_nShown, 1);
    WriteProfileInt(m_main.m_strSection, "news_notify", 0);
    PostItems("G");
    EXPECT_EQ(m_main.m_notifications.back(), "1 new headline: F");
}

TEST_F(NewsDlgTest, previousAndNextStopAtTheEnds) {
    Open();
    m_pDlg->OnNext();
    EXPECT_EQ(m_pDlg->Current(), 0);
    PostItems("A", "B", "C");
    m_pDlg->OnPrev();
    EXPECT_EQ(m_pDlg->Current(), 0);
    EXPECT_EQ(Title(), "Latest News - (1 of 3)");
    Button("next")->click();
    Button("next")->click();
    Button("next")->click();
    EXPECT_EQ(m_pDlg->Current(), 2);
    EXPECT_EQ(Title(), "Latest News - (3 of 3)");
    EXPECT_NE(PaneText().find("\nC\n"), std::string::npos);
    Button("prev")->click();
    EXPECT_EQ(m_pDlg->Current(), 1);
}

TEST_F(NewsDlgTest, unreachableFeedShowsOfflineUntilTheCheckEnds) {
    Open();
    PostAppEvent(m_pDlg->Handle(), UM_NEWS_OFFLINE);
    PumpEvents(20ms);
    EXPECT_EQ(TrayState().nIconId, IDI_OFFLINE);
    EXPECT_EQ(TrayState().strTip, "Offline");
    PostItems();
    EXPECT_EQ(TrayState().nIconId, IDI_MAIN);
}

TEST_F(NewsDlgTest, checkAskedForDuringACheckRunsOnceAfterIt) {
    ChooseSources();
    m_strFeed = Article("Early");
    Open();
    ASSERT_TRUE(m_pDlg->IsChecking());
    m_pDlg->UpdateNews();
    m_pDlg->UpdateNews();
    ASSERT_TRUE(WaitFor([&] { return !m_pDlg->IsChecking(); }));
    // The queued check found nothing new: the first check's item stays.
    ASSERT_EQ(m_pDlg->Items().size(), 1u);
    EXPECT_EQ(m_pDlg->Items()[0]->m_strHeadline, "Early");
    PumpEvents(100ms);
    EXPECT_FALSE(m_pDlg->IsChecking());
}

TEST_F(NewsDlgTest, clickOnTheHeadlineAsksForItsChatRoom) {
    Open();
    std::vector<std::unique_ptr<CNewsItem>> items;
    items.push_back(
        Item("Stocks fall: Dow (INDU) down 2.5%", "http://example.org/dow", "Tom &amp; Co"));
    PostItems(std::move(items));
    m_pDlg->show();
    ASSERT_EQ(m_pDlg->Links().size(), 1u);
    const NewsLink link = m_pDlg->Links()[0];
    EXPECT_EQ(link.nFirst, 13);  // after "Tom &amp; Co" and its line break
    EXPECT_EQ(link.strTarget, "http://example.org/dow");

    m_pDlg->OnPaneClick(PointOfChar(0));  // the source line is not a link
    EXPECT_TRUE(m_main.m_chatRequests.empty());
    m_pDlg->OnPaneClick(PointOfChar(link.nFirst + 3));
    ASSERT_EQ(m_main.m_chatRequests.size(), 1u);
    // "%" is written "%25" in the record, so that any text can be read back from it.
    EXPECT_EQ(m_main.m_chatRequests[0],
              "#StocksfallDowINDUdown25%25!!Tom & Co - Stocks fall: Dow (INDU) down 2.5%25"
              "!!http://example.org/dow");
    // The character right after the headline still counts.
    EXPECT_EQ(m_pDlg->HitTestLink(PointOfChar(link.nEnd)), "http://example.org/dow");
    EXPECT_FALSE(m_pDlg->HitTestLink(PointOfChar(link.nEnd + 2)).has_value());
    EXPECT_EQ(m_main.m_nPrefsOpened, 0);
}

TEST_F(NewsDlgTest, enterOrSpaceOpensTheRoomAndFailedSourcesAreCountedWithALinkToPrefs) {
    Open();
    CSourceStatusMap statuses;
    statuses["Gone"].result = ESourceResult::HttpError;
    statuses["Gone"].nHttpStatus = 404;
    statuses["Broken"].result = ESourceResult::BadXml;
    statuses["Broken"].strDetail = "XML error at line 3: oops";
    statuses["Fine"].result = ESourceResult::Ok;
    std::vector<std::unique_ptr<CNewsItem>> items;
    items.push_back(Item("Not a page", "file:///etc/passwd"));
    items.push_back(Item("Rates rise", "http://example.org/rates"));
    PostItems(std::move(items), statuses);
    m_pDlg->show();
    auto* pFailures = m_pDlg->findChild<QLabel*>("failures");
    EXPECT_TRUE(pFailures->isVisible());
    EXPECT_NE(pFailures->text().indexOf("2 sources failed: see Prefs"), -1);
    EXPECT_EQ(pFailures->toolTip().toStdString(),
              "Broken: XML error at line 3: oops\nGone: HTTP 404");
    emit pFailures->linkActivated("prefs:");
    EXPECT_EQ(m_main.m_nPrefsOpened, 1);

    QTest::keyClick(m_pDlg->Pane(), Qt::Key_Return);  // not a web page: no room
    EXPECT_TRUE(m_main.m_chatRequests.empty());
    QTest::keyClick(m_pDlg->Pane(), Qt::Key_Right);
    QTest::keyClick(m_pDlg->Pane(), Qt::Key_Space);
    QTest::keyClick(m_pDlg->Pane(), Qt::Key_Enter);
    ASSERT_EQ(m_main.m_chatRequests.size(), 2u);
    EXPECT_EQ(m_main.m_chatRequests[0],
              "#Ratesrise!!Gazette - Rates rise!!http://example.org/rates");

    statuses.erase("Gone");
    statuses.erase("Broken");
    PostItems({}, statuses);
    EXPECT_FALSE(pFailures->isVisible());
}

TEST_F(NewsDlgTest, onlyWebAddressesBecomeLinks) {
    Open();
    std::vector<std::unique_ptr<CNewsItem>> items;
    items.push_back(Item("Local file", "file:///etc/passwd"));
    items.push_back(Item("Secure", "HTTPS://example.org/s"));
    PostItems(std::move(items));
    EXPECT_TRUE(m_pDlg->Links().empty());
    EXPECT_NE(PaneText().find("Local file"), std::string::npos);
    m_pDlg->OnNext();
    ASSERT_EQ(m_pDlg->Links().size(), 1u);
}

TEST_F(NewsDlgTest, displaySettingsShapeThePaneAndItsLineHeight) {
    WriteProfileInt(m_main.m_strSection, "news_date_color", 0x0000FF);  // red, as 0x00BBGGRR
    Open();
    PostItems("Head");
    QTextDocument* pDoc = m_pDlg->Pane()->document();
    QTextCharFormat source = pDoc->findBlockByNumber(0).begin().fragment().charFormat();
    QTextCharFormat headline = pDoc->findBlockByNumber(1).begin().fragment().charFormat();
    QTextCharFormat date = pDoc->findBlockByNumber(2).begin().fragment().charFormat();
    EXPECT_TRUE(source.font().bold());
    EXPECT_EQ(source.foreground().color(), QColor(255, 0, 0));
    EXPECT_TRUE(headline.fontUnderline());
    EXPECT_EQ(headline.foreground().color(), QColor(0, 0, 255));
    EXPECT_TRUE(date.fontItalic());
    EXPECT_EQ(date.foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(m_pDlg->Pane()->palette().color(QPalette::Base), QColor(255, 255, 255));
    EXPECT_GE(m_pDlg->LineHeight(), 14);

    WriteProfileInt(m_main.m_strSection, "news_fontsize", 0);
    WriteProfileInt(m_main.m_strSection, "news_bg_color", 0x00FF00);
    m_pDlg->ApplyDisplaySettings();
    EXPECT_GE(m_pDlg->LineHeight(), 1);
    EXPECT_EQ(m_pDlg->Pane()->palette().color(QPalette::Base), QColor(0, 255, 0));
    m_pDlg->HitTestLink(QPoint(5, 5));  // must not divide by zero
}

TEST_F(NewsDlgTest, peerCountAndPastNews) {
    Open();
    m_pDlg->SetPeerCount(3);
    EXPECT_EQ(m_pDlg->findChild<QLabel*>("status")->text(), "You are connected to 3 peers.");
    {
        CModalResponder responder(CModalResponder::Close);
        m_pDlg->ShowPastNews();
        ASSERT_TRUE(responder.WaitSeen());
        EXPECT_EQ(responder.Text(), "News not updated yet.");
    }
    PostAppEvent(m_pDlg->Handle(), UM_NEWS_INDEX,
                 MakeParam(PastNewsIndex{{"Gazette", {{"12/06 05:43 PM - A", "http://a"}}}}));
    PumpEvents(20ms);
    m_pDlg->ShowPastNews();
    m_pDlg->ShowPastNews();  // several may be open
    int nOpen = 0;
    for (QWidget* pTop : QApplication::topLevelWidgets()) {
        if (auto* pPast = qobject_cast<CPastNewsDlg*>(pTop); pPast && pPast->isVisible()) {
            ++nOpen;
            pPast->close();
        }
    }
    EXPECT_EQ(nOpen, 2);
}

TEST_F(NewsDlgTest, destroyedWindowTakesNoMoreResults) {
    Open();
    CWindowHandle hWnd = m_pDlg->Handle();
    m_pDlg.release()->Destroy();
    EXPECT_FALSE(IsWindow(hWnd));
    EXPECT_FALSE(PostAppEvent(hWnd, UM_NEWS_OFFLINE));
    PumpEvents(20ms);  // the event loop deletes it
}

TEST_F(NewsDlgTest, pressOnTheBackgroundAcknowledgesButNotOnThePane) {
    Open();
    PostItems("One", "Two");
    ASSERT_TRUE(m_pDlg->IsBlinking());
    m_pDlg->show();
    QTest::mousePress(m_pDlg->Pane()->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_TRUE(m_pDlg->IsBlinking());
    EXPECT_FALSE(m_pDlg->MayRefresh());
    QTest::mousePress(m_pDlg->findChild<QLabel*>("caption"), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_FALSE(m_pDlg->IsBlinking());
    EXPECT_TRUE(m_pDlg->MayRefresh());

    // Only the frame around the client area stands for the title bar.
    const QRect frame(0, 0, 100, 120), client(4, 24, 92, 92);
    EXPECT_TRUE(IsFramePoint(frame, client, QPoint(50, 10)));
    EXPECT_FALSE(IsFramePoint(frame, client, QPoint(50, 50)));
    EXPECT_FALSE(IsFramePoint(frame, client, QPoint(150, 10)));
}

TEST_F(NewsDlgTest, arrowAndPageKeysOnThePaneMoveBetweenItems) {
    Open();
    PostItems("One", "Two", "Three");
    m_pDlg->show();
    QTest::keyClick(m_pDlg->Pane(), Qt::Key_Right);
    QTest::keyClick(m_pDlg->Pane(), Qt::Key_PageDown);
    EXPECT_EQ(m_pDlg->Current(), 2);
    QTest::keyClick(m_pDlg->Pane(), Qt::Key_Left);
    EXPECT_EQ(m_pDlg->Current(), 1);
}

TEST_F(NewsDlgTest, storedNumbersAreClampedWhereTheyAreRead) {
    WriteProfileInt(m_main.m_strSection, "check_time", 40000);
    WriteProfileInt(m_main.m_strSection, "news_fontsize", 22000000);
    WriteProfileInt(m_main.m_strSection, "news_cx", INT_MIN);
    WriteProfileInt(m_main.m_strSection, "news_cy", INT_MAX);
    Open();
    PostItems("One");
    EXPECT_EQ(m_pDlg->Timers().Interval(TIMER_NEWS_CHECK), 99 * 60000);
    EXPECT_LE(CNewsDisplay::Load(m_main.m_strSection).nSize, 500);
    m_pDlg->show();
    EXPECT_GE(m_pDlg->width(), 1);
    EXPECT_LE(m_pDlg->height(), 1 << 14);

    // A place on no screen moves onto the nearest one, whole.
    const QList<QRect> screens{QRect(0, 0, 1280, 800), QRect(1280, 0, 1024, 768)};
    EXPECT_EQ(FitOnScreens(QRect(5000, 100, 300, 200), screens), QRect(2004, 100, 300, 200));
    EXPECT_EQ(FitOnScreens(QRect(-900, -900, 300, 200), screens), QRect(0, 0, 300, 200));
    EXPECT_EQ(FitOnScreens(QRect(100, 100, 300, 200), screens), QRect(100, 100, 300, 200));
}

TEST(DisplayText, decodesTheCommonCharacterReferencesOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"a &lt;b&gt; &quot;c&quot; &#39;d&#39;", "a <b> \"c\" 'd'"},
        {"&#233;&#xE9;&#x1F600;", "\u00e9\u00e9\U0001F600"},
        {"&amp; &nbsp; &#0; &#xD800; &#1114112; &#; &#x; &lt",
         "&amp; &nbsp; &#0; &#xD800; &#1114112; &#; &#x; &lt"},
        {"&&&&lt;", "&&&<"},
    };
    for (const auto& [pszIn, pszOut] : cases) {
        EXPECT_EQ(DisplayText(pszIn), pszOut) << pszIn;
    }
}
