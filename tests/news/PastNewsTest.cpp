#include "news/CPastNewsDlg.h"

#include "news/NewsDisplay.h"
#include "platform/Profile.h"
#include "tests/support/FakeMainWindow.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using testing_support::WaitFor;
using Texts = std::vector<std::string>;

class PastNewsTest : public ::testing::Test {
protected:
    ~PastNewsTest() override {
        for (const QPointer<CPastNewsDlg>& pDlg : m_windows) {
            delete pDlg.data();
        }
    }

    CPastNewsDlg* Open(const PastNewsIndex* pIndex) {
        auto* pDlg = new CPastNewsDlg(pIndex);
        m_windows.emplace_back(pDlg);
        pDlg->show();
        return pDlg;
    }
    static QTreeWidget* Tree(CPastNewsDlg* pDlg) {
        auto* pTree = pDlg->findChild<QTreeWidget*>("tree");
        EXPECT_NE(pTree, nullptr);
        return pTree;
    }
    static Texts Roots(CPastNewsDlg* pDlg) {
        Texts texts;
        QTreeWidget* pTree = Tree(pDlg);
        for (int i = 0; i < pTree->topLevelItemCount(); ++i) {
            texts.push_back(pTree->topLevelItem(i)->text(0).toStdString());
        }
        return texts;
    }
    static QTreeWidgetItem* Root(CPastNewsDlg* pDlg, const char* pszSource) {
        const QList<QTreeWidgetItem*> found = Tree(pDlg)->findItems(pszSource, Qt::MatchExactly);
        EXPECT_EQ(found.size(), 1) << pszSource;
        return found.value(0);
    }
    static Texts Children(CPastNewsDlg* pDlg, const char* pszSource) {
        Texts texts;
        if (QTreeWidgetItem* pRoot = Root(pDlg, pszSource)) {
            for (int i = 0; i < pRoot->childCount(); ++i) {
                texts.push_back(pRoot->child(i)->text(0).toStdString());
            }
        }
        return texts;
    }
    // A real mouse click on the item's row.
    static void ClickItem(CPastNewsDlg* pDlg, QTreeWidgetItem* pItem) {
        QTreeWidget* pTree = Tree(pDlg);
        pTree->expandAll();
        pTree->scrollToItem(pItem);
        const QRect rect = pTree->visualItemRect(pItem);
        ASSERT_TRUE(rect.isValid());
        const QPointF ptLocal = rect.center();
        const QPointF ptGlobal = pTree->viewport()->mapToGlobal(ptLocal);
        QMouseEvent press(QEvent::MouseButtonPress, ptLocal, ptGlobal, Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pTree->viewport(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, ptLocal, ptGlobal, Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(pTree->viewport(), &release);
    }

    testing_support::CCleanProfile m_cleanProfile;
    CFakeMainWindow m_main{"kim"};
    std::vector<QPointer<CPastNewsDlg>> m_windows;
};

TEST_F(PastNewsTest, sourcesAscendAndArticlesGoNewestFirstByTheirTime) {
    const PastNewsIndex index = {
        {"reuters", {{"12/06 10:00 AM - r", "http://r/1"}}},
        {"BBC",
         {{"12/06 11:00 AM - eleven", "http://b/1"},
          {"12/06 03:45 PM - quarter to four", "http://b/2"},
          {"invalid time - apple", "http://b/3"},
          {"invalid time - Banana", "http://b/4"},
          {"12/05 09:00 PM - yesterday", "http://b/5"}}},
        {"al jazeera", {{"12/06 09:00 AM - a", "http://a/1"}}},
    };
    CPastNewsDlg* pDlg = Open(&index);
    EXPECT_EQ(Roots(pDlg), Texts({"al jazeera", "BBC", "reuters"}));
    // Time order, not text order: 3 PM above 11 AM of the same day, undated labels last
    // (descending text among themselves, ignoring case).
    EXPECT_EQ(Children(pDlg, "BBC"), Texts({"12/06 03:45 PM - quarter to four",
                                            "12/06 11:00 AM - eleven", "12/05 09:00 PM - yesterday",
                                            "invalid time - Banana", "invalid time - apple"}));
    EXPECT_EQ(Children(pDlg, "reuters"), Texts({"12/06 10:00 AM - r"}));

    QTreeWidget* pTree = Tree(pDlg);
    EXPECT_TRUE(pTree->isHeaderHidden());
    EXPECT_TRUE(pTree->rootIsDecorated());
    EXPECT_EQ(pTree->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(pTree->dragDropMode(), QAbstractItemView::NoDragDrop);
    EXPECT_EQ(pTree->font().family(), "Arial");
    EXPECT_EQ(pTree->font().pointSize(), 12);
    EXPECT_EQ(pDlg->windowTitle(), "Past News");
    EXPECT_FALSE(pDlg->windowIcon().isNull());
    EXPECT_FALSE(pDlg->isModal());
    EXPECT_TRUE(pDlg->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(pDlg->windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(PastNewsTest, missingOrEmptyIndexGivesAnEmptyTree) {
    const PastNewsIndex empty;
    for (const PastNewsIndex* pIndex : {static_cast<const PastNewsIndex*>(nullptr), &empty}) {
        CPastNewsDlg* pDlg = Open(pIndex);
        EXPECT_EQ(Tree(pDlg)->topLevelItemCount(), 0);
    }
}

TEST_F(PastNewsTest, clickOnAnArticleOpensItsChatRoom) {
    const PastNewsIndex index = {
        {"BBC",
         {{"12/06 11:00 AM - Tom & Jerry: A - Z &amp; more", "http://b/tom"},
          {"no separator here", "http://b/plain"}}},
    };
    CPastNewsDlg* pDlg = Open(&index);
    QTreeWidgetItem* pSource = Root(pDlg, "BBC");
    ASSERT_NE(pSource, nullptr);

    ClickItem(pDlg, pSource);
    EXPECT_TRUE(m_main.m_chatRequests.empty());

    // Only the first " - " ends the date; "&amp;" is dropped from the channel and shown as
    // "&" in the topic.
    ClickItem(pDlg, pSource->child(0));
    ASSERT_EQ(m_main.m_chatRequests.size(), 1u);
    EXPECT_EQ(m_main.m_chatRequests[0],
              "#TomJerryA-Zmore!!BBC - Tom & Jerry: A - Z & more!!http://b/tom");

    // Without a separator the whole label is the headline.
    ClickItem(pDlg, pSource->child(1));
    ASSERT_EQ(m_main.m_chatRequests.size(), 2u);
    EXPECT_EQ(m_main.m_chatRequests[1],
              "#noseparatorhere!!BBC - no separator here!!http://b/plain");

    // Enter opens the current headline's room; on a source it opens none.
    Tree(pDlg)->setCurrentItem(pSource);
    QTest::keyClick(Tree(pDlg), Qt::Key_Return);
    EXPECT_EQ(m_main.m_chatRequests.size(), 2u);
    Tree(pDlg)->setCurrentItem(pSource->child(0));
    QTest::keyClick(Tree(pDlg), Qt::Key_Enter);
    ASSERT_EQ(m_main.m_chatRequests.size(), 3u);
    EXPECT_EQ(m_main.m_chatRequests[2], m_main.m_chatRequests[0]);
}

TEST_F(PastNewsTest, windowKeepsItsOwnCopyOfTheIndex) {
    auto pIndex = std::make_unique<PastNewsIndex>(
        PastNewsIndex{{"CNN", {{"12/06 11:00 AM - Storm", "http://c/storm"}}}});
    CPastNewsDlg* pDlg = Open(pIndex.get());
    (*pIndex)["CNN"]["12/06 11:00 AM - Storm"] = "http://c/changed";
    pIndex.reset();
    ClickItem(pDlg, Root(pDlg, "CNN")->child(0));
    ASSERT_EQ(m_main.m_chatRequests.size(), 1u);
    EXPECT_EQ(m_main.m_chatRequests[0], "#Storm!!CNN - Storm!!http://c/storm");
}

TEST_F(PastNewsTest, clickWithoutAMainWindowDoesNothing) {
    const PastNewsIndex index = {{"CNN", {{"12/06 11:00 AM - Storm", "http://c/storm"}}}};
    CPastNewsDlg* pDlg = Open(&index);
    SetMainWnd(nullptr);
    ClickItem(pDlg, Root(pDlg, "CNN")->child(0));
    SetMainWnd(&m_main);
    EXPECT_TRUE(m_main.m_chatRequests.empty());
}

TEST_F(PastNewsTest, placeIsReadFromAndSavedToTheUserSection) {
    const std::string& strUser = m_main.m_strSection;
    WriteProfileInt(strUser, "past_news_x", 40);
    WriteProfileInt(strUser, "past_news_y", 50);
    WriteProfileInt(strUser, "past_news_cx", 300);
    WriteProfileInt(strUser, "past_news_cy", 200);
    WriteProfileInt("Prefs", "past_news_x", 400);
    CPastNewsDlg* pDlg = Open(nullptr);
    EXPECT_EQ(pDlg->geometry(), QRect(40, 50, 300, 200));

    pDlg->setGeometry(60, 70, 320, 240);
    QPointer<CPastNewsDlg> pGuard(pDlg);
    EXPECT_TRUE(pDlg->close());
    EXPECT_EQ(GetProfileInt(strUser, "past_news_x", -1), 60);
    EXPECT_EQ(GetProfileInt(strUser, "past_news_y", -1), 70);
    EXPECT_EQ(GetProfileInt(strUser, "past_news_cx", -1), 320);
    EXPECT_EQ(GetProfileInt(strUser, "past_news_cy", -1), 240);
    EXPECT_EQ(GetProfileInt("Prefs", "past_news_x", -1), 400);
    EXPECT_TRUE(WaitFor([&] { return pGuard.isNull(); }));
}

TEST_F(PastNewsTest, withoutAStoredPlaceTheWindowKeepsItsOwnAndSavesIt) {
    CPastNewsDlg* pDlg = Open(nullptr);
    const QRect rect = pDlg->geometry();
    EXPECT_GT(rect.width(), 0);
    EXPECT_GT(rect.height(), 0);
    pDlg->close();
    const std::string& strUser = m_main.m_strSection;
    EXPECT_EQ(GetProfileInt(strUser, "past_news_x", -1), rect.x());
    EXPECT_EQ(GetProfileInt(strUser, "past_news_y", -1), rect.y());
    EXPECT_EQ(GetProfileInt(strUser, "past_news_cx", -1), rect.width());
    EXPECT_EQ(GetProfileInt(strUser, "past_news_cy", -1), rect.height());
}

TEST_F(PastNewsTest, severalWindowsLiveAndDieIndependently) {
    const PastNewsIndex index = {{"CNN", {{"12/06 11:00 AM - Storm", "http://c/storm"}}}};
    QPointer<CPastNewsDlg> pFirst = Open(&index);
    QPointer<CPastNewsDlg> pSecond = Open(&index);
    EXPECT_TRUE(pFirst->testAttribute(Qt::WA_DeleteOnClose));
    pFirst->close();
    ASSERT_TRUE(WaitFor([&] { return pFirst.isNull(); }));
    ASSERT_FALSE(pSecond.isNull());
    EXPECT_TRUE(pSecond->isVisible());
    ClickItem(pSecond, Root(pSecond, "CNN")->child(0));
    EXPECT_EQ(m_main.m_chatRequests.size(), 1u);
    pSecond->close();
    EXPECT_TRUE(WaitFor([&] { return pSecond.isNull(); }));
}

TEST_F(PastNewsTest, showsDecodedHeadlinesButOnlyWebAddressesOpenARoom) {
    const PastNewsIndex index = {
        {"BBC",
         {{"12/06 11:00 AM - A &lt;b&gt; &#233;", "http://b/web"},
          {"12/06 10:00 AM - Script", "javascript:alert(1)"}}},
    };
    CPastNewsDlg* pDlg = Open(&index);
    QTreeWidgetItem* pSource = Root(pDlg, "BBC");
    ASSERT_NE(pSource, nullptr);
    QTreeWidgetItem* pWeb = pSource->child(0);
    EXPECT_EQ(pWeb->text(0), QString::fromUtf8("12/06 11:00 AM - A <b> \u00e9"));
    EXPECT_EQ(pWeb->toolTip(0), pWeb->text(0));

    ClickItem(pDlg, pSource->child(1));
    EXPECT_TRUE(m_main.m_chatRequests.empty());
    // The room comes from the headline as read, not as shown.
    ClickItem(pDlg, pWeb);
    ASSERT_EQ(m_main.m_chatRequests.size(), 1u);
    EXPECT_EQ(m_main.m_chatRequests[0], "#Altbgt#233!!BBC - A &lt;b&gt; &#233;!!http://b/web");
}

TEST(PastNewsOrder, newestFirstByTheLabelsTimeAcrossNoonMidnightAndNewYear) {
    struct Case {
        Texts labels;
        Texts expected;
    } cases[] = {
        {{"03/02 12:59 AM - a", "03/02 01:11 AM - b", "03/02 12:05 PM - c", "03/02 11:59 AM - d",
          "03/01 11:59 PM - e"},
         {"03/02 12:05 PM - c", "03/02 11:59 AM - d", "03/02 01:11 AM - b", "03/02 12:59 AM - a",
          "03/01 11:59 PM - e"}},
        // The longest stretch without news lies between January and December: December is
        // last year's.
        {{"12/31 11:00 PM - old", "01/01 01:00 AM - new", "invalid time - x",
          "12/30 09:00 AM - older"},
         {"01/01 01:00 AM - new", "12/31 11:00 PM - old", "12/30 09:00 AM - older",
          "invalid time - x"}},
        // Labels that only look like times sort with the undated ones.
        {{"13/01 01:00 AM - m", "01/01 13:00 AM - h", "01/01 01:00 XM - x", "01/01 01:00 AM - ok"},
         {"01/01 01:00 AM - ok", "13/01 01:00 AM - m", "01/01 13:00 AM - h", "01/01 01:00 XM - x"}},
    };
    for (Case& c : cases) {
        SortPastNewsLabels(c.labels);
        EXPECT_EQ(c.labels, c.expected);
    }
}
