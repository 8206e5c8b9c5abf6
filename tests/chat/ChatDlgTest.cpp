#include "chat/CChatDlg.h"

#include "chat/BrowserPane.h"
#include "chat/CIrcClient.h"
#include "chat/ChatText.h"
#include "peer/CChatEvent.h"
#include "platform/Profile.h"
#include "tests/chat/ChatWindowTest.h"
#include "tests/support/FakeMainWindow.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using testing_support::CCleanProfile;
using testing_support::CScopedEnv;
using testing_support::WaitFor;

namespace {

// Records the addresses handed to the desktop's browser.
class CUrlRecorder : public QObject {
    Q_OBJECT

public:
    std::vector<QUrl> m_opened;

public slots:
    void Open(const QUrl& url) { m_opened.push_back(url); }
};

// A chat window on an unconnected guest client (what it sends is dropped), with the plain
// browser pane and a stand-in session that records the moves between clients.
class ChatDlgTest : public ChatWindowTest {
protected:
    CChatDlg& Open(const std::string& strUrl = "http://example.org/a?x=1") {
        return ChatWindowTest::Open(strUrl, &m_main);
    }
    bool PageLoaded() const { return Child<QPushButton>("join")->isEnabled(); }
    QLineEdit* Input() const { return Child<QLineEdit>("input"); }
    // Types a line into the input box and presses Enter.
    void Say(const QString& strLine) {
        Input()->setText(strLine);
        QTest::keyClick(Input(), Qt::Key_Return);
    }
    void Key(Qt::Key key) { QTest::keyClick(Input(), key); }
    // The pane's lines.
    QStringList PaneLines() { return m_pDlg->PaneText().split('\n'); }
    // Another window takes the foreground from the chat window, or gives it back.
    void ToBackground() {
        m_other.show();
        m_other.activateWindow();
        ASSERT_TRUE(WaitFor([&] { return m_other.isActiveWindow() && !m_pDlg->isActiveWindow(); }));
    }
    void ToForeground() {
        m_pDlg->activateWindow();
        ASSERT_TRUE(WaitFor([&] { return m_pDlg->isActiveWindow(); }));
    }
    // The format of the pane's text where strText begins.
    QTextCharFormat FormatAt(const QString& strText) {
        m_pDlg->PaneText();
        QTextDocument* pDocument = Child<QTextEdit>("pane")->document();
        QTextCursor cursor = pDocument->find(strText);
        EXPECT_FALSE(cursor.isNull()) << strText.toStdString();
        cursor.setPosition(cursor.selectionStart() + 1);
        return cursor.charFormat();
    }

    CCleanProfile m_profile;
    CScopedEnv m_noEngine{"VOCALON_NO_WEBENGINE", "1"};
    CFakeMainWindow m_main{"kim"};
    QWidget m_other;
};

TEST_F(ChatDlgTest, layoutFollowsTheModeAndTheWindowSize) {
    CChatDlg& dlg = Open();
    ASSERT_TRUE(WaitFor([&] { return PageLoaded(); }));
    int nGuestPaneHeight = 0;
    for (bool bJoined : {false, true}) {
        SCOPED_TRACE(bJoined ? "joined" : "guest");
        if (bJoined) {
            dlg.OnJoinOrLeave();
        }
        dlg.resize(700 + (bJoined ? 50 : 0), 650);
        const int W = dlg.width();
        const int H = dlg.height();
        const QRect progress = Child<QProgressBar>("progress")->geometry();
        const QRect pane = Child<QTextEdit>("pane")->geometry();
        const QRect users = Child<QTreeWidget>("users")->geometry();
        const QRect join = Child<QPushButton>("join")->geometry();
        const QRect count = Child<QLabel>("count")->geometry();
        const QRect browser = dlg.Browser()->geometry();
        const QRect location = Child<QLineEdit>("location")->geometry();
        QLineEdit* pInput = Child<QLineEdit>("input");
        QPushButton* pSend = Child<QPushButton>("send");

        EXPECT_EQ(dlg.Mode(), bJoined ? CChatDlg::MODE_JOINED : CChatDlg::MODE_GUEST);
        EXPECT_EQ(Child<QPushButton>("join")->text(), bJoined ? "&Leave..." : "&Join...");
        EXPECT_EQ(pInput->isVisible(), bJoined);
        EXPECT_EQ(pSend->isVisible(), bJoined);
        EXPECT_EQ(progress, QRect(0, H - progress.height(), W, progress.height()));
        EXPECT_EQ(browser.top(), location.bottom() + 1);
        EXPECT_EQ(browser.bottom() + 1, pane.top());
        EXPECT_EQ(browser.width(), W);
        EXPECT_EQ(users.left(), pane.right() + 1);
        EXPECT_EQ(users.right(), W - 1);
        EXPECT_EQ(users.top(), pane.top());
        EXPECT_EQ(users.bottom() + 1, count.top());
        EXPECT_EQ(count.bottom() + 1, join.top());
        const int nChatBottom = bJoined ? pInput->geometry().top() : progress.top();
        EXPECT_EQ(pane.bottom() + 1, nChatBottom);
        EXPECT_EQ(join.bottom() + 1, nChatBottom);
        if (bJoined) {
            EXPECT_EQ(pane.height(), 2 * nGuestPaneHeight);
            EXPECT_EQ(pSend->geometry(), QRect(W - 32, progress.top() - 32, 32, 32));
            EXPECT_EQ(pInput->geometry(), QRect(0, progress.top() - 32, W - 32, 32));
        } else {
            nGuestPaneHeight = pane.height();
        }
    }
}

TEST_F(ChatDlgTest, joinAndLeaveMoveTheWindowAndForgetTheUsers) {
    CChatDlg& dlg = Open();
    EXPECT_FALSE(PageLoaded());
    ASSERT_TRUE(WaitFor([&] { return PageLoaded(); }));
    EXPECT_EQ(dlg.PageUrl(), "http://example.org/a?x=1");
    EXPECT_EQ(Child<QLineEdit>("location")->text(), "http://example.org/a?x=1");
    EXPECT_EQ(Child<QProgressBar>("progress")->value(), 100);

    dlg.SetNames(":@ann0 +bob1 guest");
    ASSERT_TRUE(WaitFor([&] { return Child<QTreeWidget>("users")->topLevelItemCount() == 2; }));
    EXPECT_EQ(Child<QTreeWidget>("users")->topLevelItem(1)->text(0), "bob");
    EXPECT_EQ(Child<QLabel>("count")->text(), " Total users: 3");

    QTest::mouseClick(Child<QPushButton>("join"), Qt::LeftButton);
    EXPECT_EQ(m_main.m_movedToUser, std::vector<CChatDlg*>{&dlg});
    EXPECT_TRUE(m_main.m_movedToGuest.empty());
    // Somebody is there already: nobody is invited.
    EXPECT_TRUE(m_main.m_broadcasts.empty());
    EXPECT_FALSE(dlg.PaneText().contains("Inviting"));
    EXPECT_TRUE(dlg.Users().empty());
    EXPECT_EQ(dlg.GuestCount(), 0);
    EXPECT_TRUE(WaitFor([&] { return Child<QTreeWidget>("users")->topLevelItemCount() == 0; }));
    EXPECT_EQ(Child<QLabel>("count")->text(), " Total users: 0");

    dlg.UserJoined("cat2");
    QTest::mouseClick(Child<QPushButton>("join"), Qt::LeftButton);
    EXPECT_EQ(dlg.Mode(), CChatDlg::MODE_GUEST);
    EXPECT_EQ(m_main.m_movedToGuest, std::vector<CChatDlg*>{&dlg});
    EXPECT_TRUE(dlg.Users().empty());
}

TEST_F(ChatDlgTest, locationSaysDownloadingUntilThePageIsThereAndUsersHaveAHeading) {
    CChatDlg& dlg = Open();
    QLineEdit* pLocation = Child<QLineEdit>("location");
    EXPECT_EQ(pLocation->text(), "Downloading...");
    ASSERT_TRUE(WaitFor([&] { return PageLoaded(); }));
    EXPECT_EQ(pLocation->text(), "http://example.org/a?x=1");

    auto* pUsers = Child<QTreeWidget>("users");
    EXPECT_FALSE(pUsers->isHeaderHidden());
    EXPECT_TRUE(pUsers->header()->isVisible());
    EXPECT_EQ(pUsers->headerItem()->text(0), "Active users");
    EXPECT_EQ(pUsers->columnCount(), 1);
    EXPECT_EQ(pUsers->columnWidth(0), pUsers->width() - 5);
    dlg.resize(900, 700);
    EXPECT_EQ(pUsers->columnWidth(0), pUsers->width() - 5);
}

TEST_F(ChatDlgTest, disconnectionEmptiesTheUserListAndItsCount) {
    CChatDlg& dlg = Open();
    dlg.SetNames("ann0 bob1 guest");
    auto* pUsers = Child<QTreeWidget>("users");
    ASSERT_TRUE(WaitFor([&] { return pUsers->topLevelItemCount() == 2; }));
    dlg.ServerDisconnected("connection closed by the server");
    EXPECT_TRUE(WaitFor([&] { return pUsers->topLevelItemCount() == 0; }));
    EXPECT_EQ(Child<QLabel>("count")->text(), " Total users: 0");
    EXPECT_FALSE(dlg.ControlsEnabled());
}

TEST_F(ChatDlgTest, joiningARoomWithOnlyGuestsInvitesThePeersOnce) {
    CChatDlg& dlg = Open();
    dlg.SetNames(":guest guest1");
    dlg.OnJoinOrLeave();
    ASSERT_EQ(m_main.m_broadcasts.size(), 1u);
    CChatEvent event;
    event.FromXml(m_main.m_broadcasts[0]);
    EXPECT_EQ(event.type, "CHAT");
    EXPECT_EQ(event.params,
              (CStringArray{"#chan", dlg.Topic(), "http://example.org/a?x=1", "kim"}));
    EXPECT_TRUE(dlg.PaneText().endsWith("Inviting some friends to chat...\n"))
        << dlg.PaneText().toStdString();
    // Leaving and watching again invites nobody.
    dlg.OnJoinOrLeave();
    EXPECT_EQ(m_main.m_broadcasts.size(), 1u);
}

TEST_F(ChatDlgTest, addressThatIsNotAWebPageLoadsNothingButTheRoomCanBeJoined) {
    for (const char* pszUrl : {"file:///etc/passwd", "javascript:alert(1)", ""}) {
        SCOPED_TRACE(pszUrl);
        CChatDlg& dlg = Open(pszUrl);
        EXPECT_TRUE(PageLoaded());
        testing_support::PumpEvents(std::chrono::milliseconds(50));
        EXPECT_EQ(Child<QLineEdit>("location")->text(), "");
        EXPECT_EQ(dlg.PageUrl(), "");
        EXPECT_FALSE(Child<QPushButton>("email")->isEnabled());
        delete m_pDlg.data();
    }
}

TEST_F(ChatDlgTest, sendingEchoesTheTextAndEmptiesTheInput) {
    CChatDlg& dlg = Open();
    dlg.OnJoinOrLeave();
    QLineEdit* pInput = Child<QLineEdit>("input");
    const QString strBefore = dlg.PaneText();
    dlg.OnSend();
    EXPECT_EQ(dlg.PaneText(), strBefore);

    pInput->setText("hello there");
    QTest::keyClick(pInput, Qt::Key_Return);
    EXPECT_TRUE(dlg.PaneText().endsWith("kim: hello there\n")) << dlg.PaneText().toStdString();
    EXPECT_TRUE(pInput->text().isEmpty());
    // Neither Enter (now on an empty input) nor Escape closes the window or sends again.
    QTest::keyClick(pInput, Qt::Key_Return);
    QTest::keyClick(pInput, Qt::Key_Escape);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.PaneText().count("hello there"), 1);
}

TEST_F(ChatDlgTest, chatPaneKeepsOnlyTheNewestLines) {
    CChatDlg& dlg = Open();
    const int nMessages = CChatDlg::MAX_PANE_LINES + 100;
    for (int i = 0; i < nMessages; ++i) {
        dlg.ShowMessage("ann0", "line " + std::to_string(i));
    }
    EXPECT_LE(dlg.PaneLines(), CChatDlg::MAX_PANE_LINES);
    EXPECT_FALSE(dlg.PaneText().contains("line 99\n"));
    EXPECT_TRUE(dlg.PaneText().endsWith("ann: line " + QString::number(nMessages - 1) + "\n"))
        << dlg.PaneText().right(60).toStdString();
}

TEST_F(ChatDlgTest, messageToAnInactiveWindowFlashesItUntilItIsActivated) {
    CChatDlg& dlg = Open();
    // Offscreen, a shown window is activated by the platform; another one takes it over.
    ASSERT_TRUE(WaitFor([&] { return dlg.isActiveWindow(); }));
    dlg.ShowMessage("ann0", "seen at once");
    EXPECT_FALSE(dlg.IsFlashing());

    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return other.isActiveWindow() && !dlg.isActiveWindow(); }));
    dlg.ShowMessage("ann0", "while away");
    EXPECT_TRUE(dlg.IsFlashing());
    EXPECT_TRUE(WaitFor([&] { return dlg.windowTitle() != "Chat"; }, std::chrono::seconds(3)))
        << "the caption never flashed";

    dlg.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return dlg.isActiveWindow(); }));
    EXPECT_FALSE(dlg.IsFlashing());
    EXPECT_EQ(dlg.windowTitle(), "Chat");
    testing_support::PumpEvents(std::chrono::milliseconds(1100));
    EXPECT_EQ(dlg.windowTitle(), "Chat");
}

TEST_F(ChatDlgTest, sharingLinksEncodeEveryValue) {
    const std::string strPage = "http://example.org/a?x=1&y=2#part";
    const std::string strTopic = "Gazette - Bread & butter #1";

    const QUrl mail(QString::fromStdString(MailtoUrl(strTopic, strPage)));
    ASSERT_TRUE(mail.isValid());
    EXPECT_EQ(mail.scheme(), "mailto");
    EXPECT_FALSE(mail.hasFragment());
    const QUrlQuery mailQuery(mail);
    EXPECT_EQ(mailQuery.queryItems().size(), 2);
    EXPECT_EQ(mailQuery.queryItemValue("subject", QUrl::FullyDecoded),
              "Alert! Gazette - Bread & butter #1...");
    EXPECT_EQ(mailQuery.queryItemValue("body", QUrl::FullyDecoded),
              "I thought you might find this link interesting:\r\n" +
                  QString::fromStdString(strPage) + "\r\n\r\n" + QString(38, '-') +
                  "\r\nDownload Vocalon 2.0 and Pick Your Own News Community!\r\n"
                  "http://www.vocalon.net/");

    const QUrl im(QString::fromStdString(InstantMessageUrl(strPage)));
    ASSERT_TRUE(im.isValid());
    EXPECT_EQ(im.scheme(), "aim");
    EXPECT_FALSE(im.hasFragment());
    const QUrlQuery imQuery(im);
    EXPECT_EQ(imQuery.queryItemValue("screenname"), "");
    EXPECT_EQ(imQuery.queryItemValue("message", QUrl::FullyDecoded),
              "I got this hot link from the vocalon. Check it: " + QString::fromStdString(strPage));
}

TEST_F(ChatDlgTest, closingLeavesTheRoomListSavesThePlaceAndDeletesTheWindow) {
    CChatDlg& dlg = Open();
    dlg.setGeometry(110, 120, 630, 540);
    const QRect placed = dlg.geometry();
    dlg.close();
    EXPECT_EQ(m_client.Rooms().FindRoom("#chan"), nullptr);
    EXPECT_TRUE(m_client.Rooms().Rooms().empty());
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(GetProfileInt("Prefs-kim", "irc_x", -1), placed.x());
    EXPECT_EQ(GetProfileInt("Prefs-kim", "irc_y", -1), placed.y());
    EXPECT_EQ(GetProfileInt("Prefs-kim", "irc_cx", -1), placed.width());
    EXPECT_EQ(GetProfileInt("Prefs-kim", "irc_cy", -1), placed.height());
    EXPECT_TRUE(WaitFor([&] { return m_pDlg.isNull(); }));

    // The next window opens where this one closed.
    CChatDlg& next = Open();
    EXPECT_EQ(next.geometry(), placed);
}

TEST_F(ChatDlgTest, aServerFloodingTheRoomNeverHoldsTheWindowLong) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    CScopedEnv host("VOCALON_IRC_HOST", "127.0.0.1");
    CScopedEnv port("VOCALON_IRC_PORT", std::to_string(server.serverPort()));
    QTcpSocket* pServed = nullptr;
    std::string strHeard;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        pServed = server.nextPendingConnection();
        QObject::connect(pServed, &QTcpSocket::readyRead,
                         [&] { strHeard += pServed->readAll().toStdString(); });
    });
    auto heard = [&](const char* psz) { return strHeard.find(psz) != std::string::npos; };
    CChatDlg& dlg = Open();
    m_client.Connect();
    ASSERT_TRUE(WaitFor([&] { return heard("USER"); }));
    pServed->write(":irc.test 001 kim0 :Welcome\r\n");
    ASSERT_TRUE(WaitFor([&] { return heard("JOIN #chan"); }));
    pServed->write(":kim0!k@h JOIN :#chan\r\n");
    ASSERT_TRUE(WaitFor([&] { return dlg.ControlsEnabled(); }));

    // 100 lines every 10 ms, 10,000 a second, then a PING; meanwhile a timer ticking every
    // 5 ms measures the longest pause of the event loop.
    constexpr int kLines = 20000;
    int nSent = 0;
    QTimer flood;
    QObject::connect(&flood, &QTimer::timeout, [&] {
        std::string strBatch;
        for (int i = 0; i < 100 && nSent < kLines; ++i, ++nSent) {
            strBatch +=
                ":ann1!a@h PRIVMSG #chan :line " + std::to_string(nSent) + " of a flood\r\n";
        }
        if (nSent == kLines) {
            strBatch += "PING :flood-end\r\n";
            flood.stop();
        }
        pServed->write(strBatch.data(), static_cast<qint64>(strBatch.size()));
    });
    QElapsedTimer sinceTick;
    qint64 nLongestGapMs = 0;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        if (sinceTick.isValid()) {
            nLongestGapMs = std::max(nLongestGapMs, sinceTick.elapsed());
        }
        sinceTick.restart();
    });
    ticks.start(5);
    flood.start(10);
    ASSERT_TRUE(WaitFor([&] { return heard("PONG :flood-end"); }, std::chrono::seconds(120)));
    ticks.stop();
    RecordProperty("longest_gap_ms", static_cast<int>(nLongestGapMs));
    // A bound for a loaded machine, not a performance target.
    EXPECT_LT(nLongestGapMs, 500);
    EXPECT_TRUE(
        dlg.PaneText().endsWith("ann: line " + QString::number(kLines - 1) + " of a flood\n"))
        << dlg.PaneText().right(60).toStdString();
}

TEST_F(ChatDlgTest, commandsAreNotSentAsTextAndTheRoomSaysWhichExist) {
    CChatDlg& dlg = Open();
    dlg.OnJoinOrLeave();
    Say("/me waves");
    Say("/Topic");
    Say("/join #elsewhere");
    Say("/me");
    Say("//shrug");
    const QStringList lines = PaneLines();
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines.mid(lines.size() - 6),
              (QStringList{"* kim waves", "\t\u00bb Topic: none",
                           QString("\t\u00bb There is no command /join. ") + STR_CHAT_COMMANDS,
                           QString("\t\u00bb ") + STR_CHAT_COMMANDS, "kim: /shrug", ""}));
    EXPECT_TRUE(FormatAt("* kim waves").fontItalic());
    dlg.SetTopic("Bread news");
    Say("/topic");
    EXPECT_TRUE(dlg.PaneText().endsWith("Topic: Bread news\n"));
}

TEST_F(ChatDlgTest, inputBoxWalksTheSentLinesAndCompletesNicknames) {
    CChatDlg& dlg = Open();
    dlg.OnJoinOrLeave();
    ToForeground();
    Input()->setFocus();
    for (const char* psz : {"one", "two", "/me three"}) {
        Say(psz);
    }
    Input()->setText("draft");
    const std::vector<std::pair<Qt::Key, QString>> walk = {
        {Qt::Key_Up, "/me three"}, {Qt::Key_Up, "two"},    {Qt::Key_Up, "one"},
        {Qt::Key_Up, "one"},       {Qt::Key_Down, "two"},  {Qt::Key_Down, "/me three"},
        {Qt::Key_Down, "draft"},   {Qt::Key_Down, "draft"}};
    for (const auto& [key, strShown] : walk) {
        Key(key);
        EXPECT_EQ(Input()->text(), strShown);
    }
    // Only the newest lines are kept.
    for (int i = 0; i < CChatDlg::MAX_HISTORY + 10; ++i) {
        Say(QString("line %1").arg(i));
    }
    for (int i = 0; i < CChatDlg::MAX_HISTORY + 5; ++i) {
        Key(Qt::Key_Up);
    }
    EXPECT_EQ(Input()->text(), "line 10");

    dlg.SetNames(":ann0 Anna1 bob2 kim0");
    ASSERT_TRUE(WaitFor([&] { return Child<QTreeWidget>("users")->topLevelItemCount() == 4; }));
    Input()->setText("an");
    const std::vector<QString> tabs = {"ann: ", "Anna: ", "ann: "};
    for (const QString& strShown : tabs) {
        Key(Qt::Key_Tab);
        EXPECT_EQ(Input()->text(), strShown);
        EXPECT_EQ(Input()->cursorPosition(), strShown.size());
    }
    QTest::keyClicks(Input(), "hi B");
    Key(Qt::Key_Tab);
    EXPECT_EQ(Input()->text(), "ann: hi bob ");
    // Nothing to complete (the user's own name is not offered): Tab moves on.
    QTest::keyClicks(Input(), "ki");
    Key(Qt::Key_Tab);
    EXPECT_EQ(Input()->text(), "ann: hi bob ki");
    EXPECT_EQ(QApplication::focusWidget(), Child<QPushButton>("send"));
}

TEST_F(ChatDlgTest, webAddressesInThePaneOpenInTheBrowserAndNothingElseIsALink) {
    CUrlRecorder recorder;
    for (const char* pszScheme : {"http", "https", "javascript", "file", "mailto"}) {
        QDesktopServices::setUrlHandler(pszScheme, &recorder, "Open");
    }
    CChatDlg& dlg = Open();
    dlg.ShowMessage("ann0",
                    "see https://a.example/x?y=1, javascript:alert(1) file:///etc/passwd "
                    "mailto:a@b.example <http://b.example>");
    dlg.ShowAction("bob0", "likes http://c.example/");
    dlg.AppendSystemLine("http://d.example/ is no link here");
    dlg.PaneText();
    auto* pPane = Child<QTextEdit>("pane");
    QStringList anchors;
    for (QTextBlock block = pPane->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isAnchor()) {
                anchors << it.fragment().text();
            }
        }
    }
    EXPECT_EQ(anchors,
              (QStringList{"https://a.example/x?y=1", "http://b.example", "http://c.example/"}));

    QTextCursor link = pPane->document()->find("https://a.example");
    link.setPosition(link.selectionStart() + 3);
    pPane->setTextCursor(link);
    const QPoint where = pPane->cursorRect(link).center();
    QTest::mouseClick(pPane->viewport(), Qt::LeftButton, {}, where);
    ASSERT_TRUE(WaitFor([&] { return !recorder.m_opened.empty(); }));
    EXPECT_EQ(recorder.m_opened, std::vector<QUrl>{QUrl("https://a.example/x?y=1")});
    for (const char* pszScheme : {"http", "https", "javascript", "file", "mailto"}) {
        QDesktopServices::unsetUrlHandler(pszScheme);
    }
}

TEST_F(ChatDlgTest, aFloodOfDistinctAddressesAddsNothingThePaneKeepsForGood) {
    CChatDlg& dlg = Open();
    dlg.ShowMessage("ann0", "see https://a.example/0");
    dlg.PaneText();
    // Old lines leave the pane, but every format it was given stays with its document.
    QTextDocument* pDocument = Child<QTextEdit>("pane")->document();
    const qsizetype nFormats = pDocument->allFormats().size();
    for (int i = 1; i < 2000; ++i) {
        dlg.ShowMessage("ann0", "see https://a.example/" + std::to_string(i));
    }
    dlg.PaneText();
    EXPECT_EQ(pDocument->allFormats().size(), nFormats);
}

TEST_F(ChatDlgTest, messagesNamingTheUserStandOutAndNotifyOnlyFromTheBackground) {
    CChatDlg& dlg = Open();
    ToForeground();
    dlg.ShowMessage("ann0", "kim: seen at once");
    dlg.ShowMessage("ann0", "nothing for you");
    EXPECT_TRUE(FormatAt("kim: seen at once").hasProperty(QTextFormat::BackgroundBrush));
    EXPECT_FALSE(FormatAt("nothing for you").hasProperty(QTextFormat::BackgroundBrush));
    EXPECT_TRUE(m_main.m_mentions.empty());

    dlg.SetTopic("Bread news");
    ToBackground();
    dlg.ShowMessage("ann0", "hey KIM, look");
    dlg.ShowMessage("ann0", "nothing for you");
    dlg.ShowAction("bob0", "pokes kim0");
    EXPECT_EQ(m_main.m_mentions, (std::vector<std::pair<CChatDlg*, std::string>>{
                                     {&dlg, "ann in Bread news: hey KIM, look"},
                                     {&dlg, "bob in Bread news: pokes kim0"}}));

    WriteProfileInt("Prefs-kim", "chat_notify", 0);
    dlg.ApplySettings();
    dlg.ShowMessage("ann0", "kim?");
    EXPECT_EQ(m_main.m_mentions.size(), 2u);
}

TEST_F(ChatDlgTest, timestampsWhenAskedAndAMarkerWhereUnreadLinesBegin) {
    CChatDlg& dlg = Open();
    dlg.ShowMessage("ann0", "no time");
    WriteProfileInt("Prefs-kim", "chat_timestamps", 1);
    dlg.ApplySettings();
    dlg.ShowMessage("ann0", "with time");
    dlg.AppendSystemLine("status too");
    const QStringList stamped = PaneLines();
    EXPECT_EQ(stamped[stamped.size() - 4], "ann: no time");
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d ann: with time$")
                    .match(stamped[stamped.size() - 3])
                    .hasMatch())
        << stamped[stamped.size() - 3].toStdString();
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d \t\u00bb status too$")
                    .match(stamped[stamped.size() - 2])
                    .hasMatch());
    dlg.ShowTimestamps(false);

    ToForeground();
    dlg.ShowMessage("ann0", "read");
    ToBackground();
    dlg.ShowMessage("ann0", "unread 1");
    dlg.ShowMessage("ann0", "unread 2");
    ToForeground();
    auto tail = [&](int n) { return PaneLines().mid(PaneLines().size() - n - 1, n); };
    const QString strMarker = QString::fromUtf8(CChatDlg::UNREAD_MARKER);
    EXPECT_EQ(tail(4), (QStringList{"ann: read", strMarker, "ann: unread 1", "ann: unread 2"}));
    // Back without anything new: the marker stays; the next time it moves.
    ToBackground();
    ToForeground();
    EXPECT_EQ(dlg.PaneText().count(strMarker), 1);
    ToBackground();
    dlg.ShowMessage("ann0", "unread 3");
    ToForeground();
    EXPECT_EQ(tail(4), (QStringList{"ann: unread 1", "ann: unread 2", strMarker, "ann: unread 3"}));
    EXPECT_EQ(dlg.PaneText().count(strMarker), 1);
}

TEST_F(ChatDlgTest, tabReachesTheRoomsControlsBeforeThePage) {
    CChatDlg& dlg = Open();
    ASSERT_TRUE(WaitFor([&] { return PageLoaded(); }));
    ToForeground();
    // Watching, the user list has the keyboard; taking part, the input box.
    EXPECT_EQ(QApplication::focusWidget(), Child<QTreeWidget>("users"));
    dlg.OnJoinOrLeave();
    Input()->setFocus();
    QStringList order;
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(order,
              (QStringList{"send", "users", "join", "email", "instant", "pane", "location"}));
}

}  // namespace

#include "ChatDlgTest.moc"
