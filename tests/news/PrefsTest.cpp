#include "news/CChatPage.h"
#include "news/CFeedsPage.h"
#include "news/CNewsPage.h"
#include "news/CPrefSheet.h"

#include "gui/Autostart.h"
#include "news/NewsDisplay.h"
#include "news/NewsFiles.h"
#include "news/Opml.h"
#include "news/OwnSources.h"
#include "news/SourceStatus.h"
#include "platform/Profile.h"
#include "tests/support/FakeMainWindow.h"
#include "tests/support/TestSupport.h"
#include "util/AppFiles.h"
#include "util/Strings.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextEdit>

#include <httplib.h>

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using testing_support::CModalResponder;
using testing_support::CTempAppDir;
using Names = std::vector<std::string>;

namespace {

// A chooser that answers at once (nullopt: cancelled), in the page's callback form.
template <class T, class F>
std::function<void(const T&, std::function<void(const T&)>)> Answering(F answer) {
    return [answer](const T& current, std::function<void(const T&)> onChosen) mutable {
        if (std::optional<T> chosen = answer(current)) {
            onChosen(*chosen);
        }
    };
}

// A value no setting written by the sheet can hold, to tell "absent" from any real value.
constexpr int kAbsent = -7777;

}  // namespace

class CPrefsFixture : public ::testing::Test {
protected:
    void WriteCatalogue(const Names& names) {
        CStringMap catalogue;
        for (const std::string& strName : names) {
            catalogue[strName] = "http://feeds.example/" + strName;
        }
        ASSERT_TRUE(SaveMapFile(CATALOGUE_FILE, catalogue));
    }
    void WriteChosen(const Names& names) {
        ASSERT_TRUE(SaveListFile(ChosenSourcesFile(m_main.m_strUser), names));
    }
    Names ReadChosen() {
        Names names;
        LoadListFile(ChosenSourcesFile(m_main.m_strUser), names);
        return names;
    }
    bool ChosenFileExists() { return m_appDir.Exists(ChosenSourcesFile(m_main.m_strUser)); }

    void Open() {
        m_pSheet = std::make_unique<CPrefSheet>();
        m_pSheet->show();
    }
    template <class T>
    T* Control(const char* pszName) {
        T* pControl = m_pSheet->findChild<T*>(pszName);
        EXPECT_NE(pControl, nullptr) << pszName;
        return pControl;
    }
    Names ListNames(const char* pszList) {
        Names names;
        auto* pList = Control<QListWidget>(pszList);
        for (int nRow = 0; nRow < pList->count(); ++nRow) {
            names.push_back(pList->item(nRow)->text().toStdString());
        }
        return names;
    }
    void Select(const char* pszList, const char* pszName) {
        auto* pList = Control<QListWidget>(pszList);
        const QList<QListWidgetItem*> found = pList->findItems(pszName, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << pszName;
        pList->setCurrentItem(found.first());
        ASSERT_TRUE(found.first()->isSelected());
    }
    QTabWidget* Tabs() { return Control<QTabWidget>("tabs"); }
    void ShowGeneral() { Tabs()->setCurrentWidget(m_pSheet->NewsPage()); }
    void Click(const char* pszButton) { Control<QPushButton>(pszButton)->click(); }

    // What the sample shows on a line: its text and the format of its first run.
    QTextBlock SampleLine(int nLine) {
        return Control<QTextEdit>("sample")->document()->findBlockByNumber(nLine);
    }
    QTextCharFormat SampleRun(int nLine) {
        return SampleLine(nLine).begin().fragment().charFormat();
    }
    QColor SampleBackground() {
        return Control<QTextEdit>("sample")->palette().color(QPalette::Base);
    }

    // Answers the page's colour chooser with each colour in turn.
    void AnswerColors(std::vector<std::optional<QColor>> answers) {
        m_pSheet->NewsPage()->m_fnChooseColor = Answering<QColor>(
            [this, answers = std::move(answers), nNext = size_t{0}](const QColor& current) mutable {
                m_offeredColors.push_back(current);
                return nNext < answers.size() ? answers[nNext++] : std::nullopt;
            });
    }

    bool HasDisplayOrIntervalSettings(const std::string& strSection) {
        return GetProfileString(strSection, "news_font", "-") != "-" ||
               GetProfileInt(strSection, "news_fontsize", kAbsent) != kAbsent ||
               GetProfileInt(strSection, "news_bg_color", kAbsent) != kAbsent ||
               GetProfileInt(strSection, "news_source_color", kAbsent) != kAbsent ||
               GetProfileInt(strSection, "news_headline_color", kAbsent) != kAbsent ||
               GetProfileInt(strSection, "news_date_color", kAbsent) != kAbsent ||
               GetProfileInt(strSection, "check_time", kAbsent) != kAbsent ||
               GetProfileInt(strSection, "has_firewall", kAbsent) != kAbsent ||
               GetProfileInt(strSection, "sound_on", kAbsent) != kAbsent ||
               GetProfileInt(strSection, "alert_notification", kAbsent) != kAbsent;
    }

    testing_support::CCleanProfile m_cleanProfile;
    CTempAppDir m_appDir;
    CFakeMainWindow m_main{"kim"};
    std::unique_ptr<CPrefSheet> m_pSheet;
    std::vector<QColor> m_offeredColors;
};

class FeedsPageTest : public CPrefsFixture {};
class NewsPageTest : public CPrefsFixture {};
class PrefsSheetTest : public CPrefsFixture {};

// ---------------------------------------------------------------------------------------
// The sheet as a whole

TEST_F(PrefsSheetTest, opensOnSourcesWithGeneralSecondAndApplyDisabled) {
    Open();
    EXPECT_EQ(m_pSheet->windowTitle(), "Prefs");
    EXPECT_FALSE(m_pSheet->windowIcon().isNull());
    ASSERT_EQ(Tabs()->count(), 3);
    EXPECT_EQ(Tabs()->tabText(0), "Sources");
    EXPECT_EQ(Tabs()->tabText(1), "General");
    EXPECT_EQ(Tabs()->tabText(2), "Chat");
    EXPECT_EQ(Tabs()->currentWidget(), m_pSheet->FeedsPage());
    EXPECT_EQ(Tabs()->widget(1), m_pSheet->NewsPage());
    EXPECT_TRUE(Control<QPushButton>("ok")->isEnabled());
    EXPECT_TRUE(Control<QPushButton>("cancel")->isEnabled());
    EXPECT_FALSE(Control<QPushButton>("apply")->isEnabled());

    // Changes on either page never enable Apply.
    WriteCatalogue({"BBC"});
    Open();
    Select("available", "BBC");
    Click("add");
    ShowGeneral();
    Control<QCheckBox>("sound")->click();
    Control<QLineEdit>("interval")->setText("9");
    EXPECT_FALSE(Control<QPushButton>("apply")->isEnabled());
}

TEST_F(PrefsSheetTest, cancelWritesNothingOnEitherPage) {
    WriteCatalogue({"BBC", "CNN"});
    WriteChosen({"CNN"});
    Open();
    Select("available", "BBC");
    Click("add");
    ShowGeneral();
    Control<QCheckBox>("firewall")->setChecked(true);
    Control<QLineEdit>("interval")->setText("30");
    AnswerColors({QColor(1, 2, 3)});
    Click("background");

    Click("cancel");
    EXPECT_FALSE(m_pSheet->isVisible());
    EXPECT_EQ(m_pSheet->result(), QDialog::Rejected);
    EXPECT_EQ(ReadChosen(), Names({"CNN"}));
    EXPECT_FALSE(HasDisplayOrIntervalSettings("Prefs"));
    EXPECT_FALSE(HasDisplayOrIntervalSettings(m_main.m_strSection));
}

TEST_F(PrefsSheetTest, okWithoutOpeningGeneralWritesOnlyTheChosenSources) {
    WriteCatalogue({"BBC", "CNN"});
    Open();
    Select("available", "CNN");
    Click("add");
    Click("ok");
    EXPECT_FALSE(m_pSheet->isVisible());
    EXPECT_EQ(m_pSheet->result(), QDialog::Accepted);
    EXPECT_EQ(ReadChosen(), Names({"CNN"}));
    EXPECT_FALSE(HasDisplayOrIntervalSettings("Prefs"));
    EXPECT_FALSE(HasDisplayOrIntervalSettings(m_main.m_strSection));
}

TEST_F(PrefsSheetTest, okAfterVisitingGeneralAndComingBackWritesBothPages) {
    WriteCatalogue({"BBC"});
    Open();
    ShowGeneral();
    Control<QLineEdit>("interval")->setText("20");
    Tabs()->setCurrentWidget(m_pSheet->FeedsPage());
    Select("available", "BBC");
    Click("add");
    Click("ok");
    EXPECT_EQ(m_pSheet->result(), QDialog::Accepted);
    EXPECT_EQ(ReadChosen(), Names({"BBC"}));
    EXPECT_EQ(GetProfileInt(m_main.m_strSection, "check_time", kAbsent), 20);
    EXPECT_EQ(GetProfileInt("Prefs", "sound_on", kAbsent), 1);
}

TEST_F(PrefsSheetTest, chatPageShowsTheUsersChatSwitchesAndOkWritesThemOnlyOnceSeen) {
    for (bool bVisit : {false, true}) {
        SCOPED_TRACE(bVisit ? "visited" : "not visited");
        Open();
        auto* pTimestamps = Control<QCheckBox>("timestamps");
        auto* pNotify = Control<QCheckBox>("notify");
        auto* pReconnect = Control<QCheckBox>("reconnect");
        auto* pTls = Control<QCheckBox>("tls");
        EXPECT_FALSE(pTimestamps->isChecked());
        EXPECT_TRUE(pNotify->isChecked());
        EXPECT_TRUE(pReconnect->isChecked());
        EXPECT_FALSE(pTls->isChecked());
        if (bVisit) {
            Tabs()->setCurrentWidget(m_pSheet->ChatPage());
        }
        pTimestamps->setChecked(true);
        pNotify->setChecked(false);
        pReconnect->setChecked(false);
        pTls->setChecked(true);
        Click("ok");
        EXPECT_EQ(GetProfileInt(m_main.m_strSection, "chat_timestamps", kAbsent),
                  bVisit ? 1 : kAbsent);
        EXPECT_EQ(GetProfileInt(m_main.m_strSection, "chat_notify", kAbsent), bVisit ? 0 : kAbsent);
        EXPECT_EQ(GetProfileInt(m_main.m_strSection, "irc_reconnect", kAbsent),
                  bVisit ? 0 : kAbsent);
        EXPECT_EQ(GetProfileInt(m_main.m_strSection, "irc_tls", kAbsent), bVisit ? 1 : kAbsent);
    }
    // Read back from the user's own section.
    Open();
    EXPECT_TRUE(Control<QCheckBox>("timestamps")->isChecked());
    EXPECT_FALSE(Control<QCheckBox>("notify")->isChecked());
    EXPECT_FALSE(Control<QCheckBox>("reconnect")->isChecked());
    EXPECT_TRUE(Control<QCheckBox>("tls")->isChecked());
    EXPECT_EQ(GetProfileInt("Prefs", "chat_timestamps", kAbsent), kAbsent);
}

// ---------------------------------------------------------------------------------------
// Sources

TEST_F(FeedsPageTest, startUpSplitsCatalogueAndChosenSourcesSortedIgnoringCase) {
    WriteCatalogue({"reuters", "BBC", "bbc", "Al Jazeera", "CNN", "der Spiegel"});
    // "Gone Daily" left the catalogue; "BBC" is chosen but its lower-case twin is not.
    WriteChosen({"reuters", "Gone Daily", "BBC"});
    Open();
    EXPECT_EQ(ListNames("available"), Names({"Al Jazeera", "bbc", "CNN", "der Spiegel"}));
    EXPECT_EQ(ListNames("chosen"), Names({"BBC", "Gone Daily", "reuters"}));
    for (const char* pszList : {"available", "chosen"}) {
        EXPECT_EQ(Control<QListWidget>(pszList)->selectionMode(),
                  QAbstractItemView::SingleSelection);
    }
}

TEST_F(FeedsPageTest, aCatalogueOfManyThousandsOpensSortedAndMovesStaySorted) {
    // Inserting each name by a linear search took seconds at this size.
    std::vector<std::string> names;
    for (int i = 20000; i > 0; --i) {
        names.push_back((i % 2 ? "Source " : "source ") + std::to_string(i));
    }
    WriteCatalogue(names);
    Open();
    const Names available = ListNames("available");
    ASSERT_EQ(available.size(), names.size());
    EXPECT_TRUE(std::is_sorted(
        available.begin(), available.end(),
        [](const std::string& a, const std::string& b) { return CompareNoCase(a, b) < 0; }));
    Select("available", "source 5000");
    Click("add");
    Select("chosen", "source 5000");
    Click("remove");
    EXPECT_EQ(ListNames("available"), available);
}

TEST_F(FeedsPageTest, missingFilesGiveEmptyListsAndOkWritesAnEmptyFile) {
    Open();
    EXPECT_TRUE(ListNames("available").empty());
    EXPECT_TRUE(ListNames("chosen").empty());
    Click("add");
    Click("remove");
    EXPECT_TRUE(ListNames("chosen").empty());
    Click("ok");
    ASSERT_TRUE(ChosenFileExists());
    EXPECT_EQ(m_appDir.Read(ChosenSourcesFile("kim")), "");
}

TEST_F(FeedsPageTest, movingEntriesKeepsBothListsSortedAndNeedsASelection) {
    WriteCatalogue({"alpha", "Bravo", "charlie", "Delta", "echo"});
    WriteChosen({"charlie"});
    Open();

    Control<QListWidget>("available")->clearSelection();
    Click("add");
    EXPECT_EQ(ListNames("available"), Names({"alpha", "Bravo", "Delta", "echo"}));
    EXPECT_EQ(ListNames("chosen"), Names({"charlie"}));

    Select("available", "echo");
    Click("add");
    Select("available", "alpha");
    Click("add");
    Select("available", "Delta");
    Click("add");
    EXPECT_EQ(ListNames("available"), Names({"Bravo"}));
    EXPECT_EQ(ListNames("chosen"), Names({"alpha", "charlie", "Delta", "echo"}));

    Select("chosen", "charlie");
    Click("remove");
    EXPECT_EQ(ListNames("available"), Names({"Bravo", "charlie"}));
    EXPECT_EQ(ListNames("chosen"), Names({"alpha", "Delta", "echo"}));

    Control<QListWidget>("chosen")->clearSelection();
    Click("remove");
    EXPECT_EQ(ListNames("chosen"), Names({"alpha", "Delta", "echo"}));
}

TEST_F(FeedsPageTest, okWritesTheChosenListInItsSortedOrder) {
    WriteCatalogue({"zeta", "Mu", "alpha", "Beta"});
    // The stored order is not sorted; the written one is.
    WriteChosen({"zeta", "Mu"});
    Open();
    Select("available", "Beta");
    Click("add");
    Select("chosen", "Mu");
    Click("remove");
    Click("ok");
    EXPECT_EQ(ReadChosen(), Names({"Beta", "zeta"}));
    EXPECT_EQ(m_appDir.Read(ChosenSourcesFile("kim")), "Beta\r\nzeta\r\n");
    // Another user's file is not touched.
    EXPECT_FALSE(m_appDir.Exists(ChosenSourcesFile("Prefs")));
}

TEST_F(FeedsPageTest, emptiedChosenListWritesAnEmptyFile) {
    WriteCatalogue({"BBC"});
    WriteChosen({"BBC"});
    Open();
    Select("chosen", "BBC");
    Click("remove");
    EXPECT_EQ(ListNames("available"), Names({"BBC"}));
    Click("ok");
    ASSERT_TRUE(ChosenFileExists());
    EXPECT_EQ(m_appDir.Read(ChosenSourcesFile("kim")), "");
}

TEST_F(FeedsPageTest, eachUserSeesAndWritesTheirOwnChoice) {
    WriteCatalogue({"BBC", "CNN"});
    ASSERT_TRUE(SaveListFile(ChosenSourcesFile("lee"), {"CNN"}));
    m_main.m_strUser = "lee";
    Open();
    EXPECT_EQ(ListNames("chosen"), Names({"CNN"}));
    EXPECT_EQ(ListNames("available"), Names({"BBC"}));
    Select("available", "BBC");
    Click("add");
    Click("ok");
    Names lee;
    LoadListFile(ChosenSourcesFile("lee"), lee);
    EXPECT_EQ(lee, Names({"BBC", "CNN"}));
    EXPECT_FALSE(m_appDir.Exists(ChosenSourcesFile("kim")));
}

TEST_F(FeedsPageTest, ownSourcesAreAddedByAPageAddressRemovedAndShownWithTheirLastResult) {
    testing_support::CLocalHttpServer server;
    server.Server().Get("/rss", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<rss version=\"2.0\"><channel><title>Kim's blog</title></channel></rss>",
                        "application/rss+xml");
    });
    server.Server().Get("/page", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(
            "<html><head><link rel=\"alternate\" type=\"application/rss+xml\" "
            "href=\"rss\"></head></html>",
            "text/html");
    });
    server.Start();
    WriteCatalogue({"BBC"});
    ASSERT_TRUE(SaveOwnSources(
        "kim", {{"Old", "http://old.example/rss"}, {"Kept", "http://kept.example/rss"}}));
    WriteChosen({"Old"});
    CSourceStatusMap statuses;
    statuses["Old"] = {ESourceResult::HttpError, 410, 0, "", 0};
    ASSERT_TRUE(SaveSourceStatus("kim", statuses));
    Open();
    EXPECT_EQ(ListNames("available"), Names({"BBC", "Kept (own)"}));
    EXPECT_EQ(ListNames("chosen"), Names({"Old (own)"}));
    QListWidgetItem* pOld = Control<QListWidget>("chosen")->item(0);
    EXPECT_EQ(pOld->foreground().color(), QColor(Qt::red));
    EXPECT_NE(pOld->toolTip().indexOf("http://old.example/rss"), -1);
    EXPECT_NE(pOld->toolTip().indexOf("Last check: HTTP 410"), -1);

    CFeedsPage* pPage = m_pSheet->FeedsPage();
    std::vector<QString> typed{"no such host.invalid", QString::fromStdString(server.Url("/page"))};
    pPage->m_fnAskAddress = [&](CFeedsPage::CAnswerFn fnAnswer) {
        fnAnswer(typed.front());
        typed.erase(typed.begin());
    };
    Click("addSource");
    ASSERT_TRUE(testing_support::WaitFor([&] { return !pPage->IsFinding(); }));
    EXPECT_EQ(pPage->Note().left(33).toStdString(), "No feed found at no such host.inv");
    Click("addSource");
    EXPECT_FALSE(Control<QPushButton>("addSource")->isEnabled());
    ASSERT_TRUE(testing_support::WaitFor([&] { return !pPage->IsFinding(); }));
    EXPECT_EQ(pPage->Note().toStdString(), "Added Kim's blog (" + server.Url("/rss") + ")");
    EXPECT_EQ(ListNames("chosen"), Names({"Kim's blog (own)", "Old (own)"}));

    // Only own sources can be removed.
    Select("available", "BBC");
    EXPECT_FALSE(Control<QPushButton>("removeSource")->isEnabled());
    Click("removeSource");
    EXPECT_EQ(ListNames("available"), Names({"BBC", "Kept (own)"}));
    Control<QListWidget>("available")->clearSelection();
    Select("chosen", "Old (own)");
    Click("removeSource");
    EXPECT_EQ(ListNames("chosen"), Names({"Kim's blog (own)"}));
    // Nothing is written before OK.
    EXPECT_EQ(LoadOwnSources("kim").size(), 2u);
    Click("ok");
    EXPECT_EQ(LoadOwnSources("kim"), (CFeedSourceList{{"Kept", "http://kept.example/rss"},
                                                      {"Kim's blog", server.Url("/rss")}}));
    EXPECT_EQ(ReadChosen(), Names({"Kim's blog"}));
}

TEST_F(FeedsPageTest, opmlImportAddsAndChoosesFeedsAndExportWritesTheChosenOnes) {
    WriteCatalogue({"BBC", "CNN"});
    WriteChosen({"CNN"});
    m_appDir.Write("in.opml",
                   "<opml version=\"2.0\"><body><outline text=\"Group\">"
                   "<outline text=\"Blog\" type=\"rss\" xmlUrl=\"http://blog.example/rss\"/>"
                   "</outline><outline title=\"CNN\" xmlUrl=\"http://cnn.example/own\"/>"
                   "</body></opml>");
    Open();
    CFeedsPage* pPage = m_pSheet->FeedsPage();
    pPage->m_fnChooseImportFile = [&](CFeedsPage::CAnswerFn fnAnswer) {
        fnAnswer(QString::fromStdString(m_appDir.FilePath("in.opml")));
    };
    pPage->m_fnChooseExportFile = [&](CFeedsPage::CAnswerFn fnAnswer) {
        fnAnswer(QString::fromStdString(m_appDir.FilePath("out.opml")));
    };
    Click("import");
    EXPECT_EQ(pPage->Note(), "2 sources added");
    EXPECT_EQ(ListNames("chosen"), Names({"Blog (own)", "CNN", "CNN (2) (own)"}));
    Click("export");
    const COpmlResult exported = ReadOpml(m_appDir.Read("out.opml"));
    EXPECT_EQ(exported.sources, (CFeedSourceList{{"Blog", "http://blog.example/rss"},
                                                 {"CNN", "http://feeds.example/CNN"},
                                                 {"CNN (2)", "http://cnn.example/own"}}));
    pPage->m_fnChooseImportFile = [&](CFeedsPage::CAnswerFn fnAnswer) {
        fnAnswer(QString::fromStdString(m_appDir.FilePath("missing.opml")));
    };
    Click("import");
    EXPECT_EQ(pPage->Note().left(12), "Cannot read ");
    Click("ok");
    EXPECT_EQ(ReadChosen(), Names({"Blog", "CNN", "CNN (2)"}));
    EXPECT_EQ(LoadOwnSources("kim").size(), 2u);
}

// ---------------------------------------------------------------------------------------
// General

TEST_F(NewsPageTest, startUpShowsDefaultsWhenNothingIsStored) {
    Open();
    ShowGeneral();
    EXPECT_EQ(Control<QLineEdit>("interval")->text(), "5");
    EXPECT_FALSE(Control<QCheckBox>("firewall")->isChecked());
    EXPECT_TRUE(Control<QCheckBox>("sound")->isChecked());
    EXPECT_TRUE(Control<QTextEdit>("sample")->isReadOnly());
    const CNewsDisplay defaults;
    EXPECT_EQ(SampleBackground(), ColorFromRef(defaults.nBackground));
    EXPECT_EQ(SampleRun(0).font().family().toStdString(), defaults.strFace);
    EXPECT_EQ(SampleRun(0).font().pointSize(), defaults.nSize);
}

TEST_F(NewsPageTest, startUpReadsEachValueFromItsOwnSection) {
    const std::string& strUser = m_main.m_strSection;
    CNewsDisplay stored;
    stored.strFace = "Courier New";
    stored.nSize = 9;
    stored.nBackground = 0x00102030;
    stored.nSourceColor = 0x00405060;
    stored.nHeadlineColor = 0x00708090;
    stored.nDateColor = 0x00A0B0C0;
    stored.Save(strUser);
    WriteProfileInt(strUser, "check_time", 17);
    WriteProfileInt("Prefs", "has_firewall", 1);
    WriteProfileInt("Prefs", "sound_on", 0);
    // The same names in the other section must not be the ones read.
    WriteProfileInt("Prefs", "check_time", 42);
    WriteProfileInt(strUser, "has_firewall", 0);
    WriteProfileInt(strUser, "sound_on", 1);
    CNewsDisplay other;
    other.nBackground = 0x00FFFF00;
    other.Save("Prefs");

    Open();
    ShowGeneral();
    EXPECT_EQ(Control<QLineEdit>("interval")->text(), "17");
    EXPECT_TRUE(Control<QCheckBox>("firewall")->isChecked());
    EXPECT_FALSE(Control<QCheckBox>("sound")->isChecked());
    EXPECT_EQ(SampleBackground(), QColor(0x30, 0x20, 0x10));
    EXPECT_EQ(SampleRun(0).foreground().color(), QColor(0x60, 0x50, 0x40));
    EXPECT_EQ(SampleRun(1).foreground().color(), QColor(0x90, 0x80, 0x70));
    EXPECT_EQ(SampleRun(2).foreground().color(), QColor(0xC0, 0xB0, 0xA0));
    EXPECT_EQ(SampleRun(1).font().family(), "Courier New");
    EXPECT_EQ(SampleRun(1).font().pointSize(), 9);
}

TEST_F(NewsPageTest, sampleShowsSourceHeadlineAndDateInTheirFormats) {
    Open();
    ShowGeneral();
    QTextDocument* pDoc = Control<QTextEdit>("sample")->document();
    ASSERT_EQ(pDoc->blockCount(), 3);
    EXPECT_EQ(SampleLine(0).text(), "Source");
    EXPECT_EQ(SampleLine(1).text(), "headline text");
    EXPECT_EQ(SampleLine(2).text(), "date");
    const CNewsDisplay display;
    EXPECT_EQ(SampleRun(0), display.SourceFormat());
    EXPECT_EQ(SampleRun(1), display.HeadlineFormat());
    EXPECT_EQ(SampleRun(2), display.DateFormat());
    // The break before the date is plain text.
    EXPECT_EQ(SampleLine(2).charFormat(), display.PlainFormat());
    EXPECT_EQ(Control<QTextEdit>("sample")->textCursor().position(), 0);

    // Re-rendering replaces the text rather than adding to it.
    AnswerColors({QColor(9, 9, 9)});
    Click("headline_color");
    EXPECT_EQ(pDoc->blockCount(), 3);
    EXPECT_EQ(pDoc->toPlainText(), "Source\nheadline text\ndate");
}

TEST_F(NewsPageTest, eachColourButtonChangesOnlyItsOwnPartOfTheSample) {
    Open();
    ShowGeneral();
    const CNewsDisplay before;
    const QColor colour(0x12, 0x34, 0x56);
    AnswerColors({colour, colour, colour, colour});

    Click("date_color");
    EXPECT_EQ(SampleRun(2).foreground().color(), colour);
    EXPECT_EQ(SampleLine(2).charFormat().foreground().color(), colour);
    EXPECT_EQ(SampleRun(0).foreground().color(), ColorFromRef(before.nSourceColor));
    EXPECT_EQ(SampleRun(1).foreground().color(), ColorFromRef(before.nHeadlineColor));
    EXPECT_EQ(SampleBackground(), ColorFromRef(before.nBackground));

    Click("source_color");
    EXPECT_EQ(SampleRun(0).foreground().color(), colour);
    EXPECT_EQ(SampleRun(1).foreground().color(), ColorFromRef(before.nHeadlineColor));

    Click("headline_color");
    EXPECT_EQ(SampleRun(1).foreground().color(), colour);
    EXPECT_EQ(SampleBackground(), ColorFromRef(before.nBackground));

    Click("background");
    EXPECT_EQ(SampleBackground(), colour);

    // Each chooser started from the colour it was about to change.
    ASSERT_EQ(m_offeredColors.size(), 4u);
    EXPECT_EQ(m_offeredColors[0], ColorFromRef(before.nDateColor));
    EXPECT_EQ(m_offeredColors[1], ColorFromRef(before.nSourceColor));
    EXPECT_EQ(m_offeredColors[2], ColorFromRef(before.nHeadlineColor));
    EXPECT_EQ(m_offeredColors[3], ColorFromRef(before.nBackground));
}

TEST_F(NewsPageTest, cancelledChoosersChangeNothing) {
    Open();
    ShowGeneral();
    const QString strBefore = Control<QTextEdit>("sample")->document()->toHtml();
    const QColor backgroundBefore = SampleBackground();
    AnswerColors({std::nullopt, QColor()});
    Click("background");
    Click("date_color");
    m_pSheet->NewsPage()->m_fnChooseFont =
        Answering<QFont>([](const QFont&) { return std::optional<QFont>(); });
    Click("font");
    EXPECT_EQ(Control<QTextEdit>("sample")->document()->toHtml(), strBefore);
    EXPECT_EQ(SampleBackground(), backgroundBefore);

    Click("ok");
    const CNewsDisplay defaults;
    const CNewsDisplay written = CNewsDisplay::Load(m_main.m_strSection);
    EXPECT_EQ(written.nBackground, defaults.nBackground);
    EXPECT_EQ(written.nDateColor, defaults.nDateColor);
    EXPECT_EQ(written.strFace, defaults.strFace);
    EXPECT_EQ(written.nSize, defaults.nSize);
}

TEST_F(NewsPageTest, standardChoosersCancelledLeaveTheDisplayAsItWas) {
    Open();
    ShowGeneral();
    const QString strBefore = Control<QTextEdit>("sample")->document()->toHtml();
    {
        CModalResponder responder(CModalResponder::Close);
        Click("source_color");
        ASSERT_TRUE(responder.WaitSeen());
    }
    {
        CModalResponder responder(CModalResponder::Close);
        Click("font");
        ASSERT_TRUE(responder.WaitSeen());
    }
    EXPECT_EQ(Control<QTextEdit>("sample")->document()->toHtml(), strBefore);
}

TEST_F(NewsPageTest, chosenFontStartsFromTheCurrentOneAndReachesTheSample) {
    Open();
    ShowGeneral();
    QFont offered;
    m_pSheet->NewsPage()->m_fnChooseFont = Answering<QFont>([&offered](const QFont& current) {
        offered = current;
        return std::optional<QFont>(QFont("Courier New", 11));
    });
    Click("font");
    // The font actually drawn is offered, so OK without changes keeps what the user sees.
    const CNewsDisplay defaults;
    EXPECT_EQ(offered.family(), QFontInfo(defaults.Font()).family());
    EXPECT_EQ(offered.pointSize(), defaults.nSize);
    for (int nLine = 0; nLine < 3; ++nLine) {
        EXPECT_EQ(SampleRun(nLine).font().family(), "Courier New") << nLine;
        EXPECT_EQ(SampleRun(nLine).font().pointSize(), 11) << nLine;
    }
}

TEST_F(NewsPageTest, okWritesDisplayAndIntervalToTheUserAndSwitchesToPrefs) {
    const std::string& strUser = m_main.m_strSection;
    WriteProfileInt("Prefs", "sound_on", 1);
    Open();
    ShowGeneral();
    m_pSheet->NewsPage()->m_fnChooseFont = Answering<QFont>(
        [](const QFont&) { return std::optional<QFont>(QFont("Courier New", 11)); });
    Click("font");
    AnswerColors({QColor(0x01, 0x02, 0x03), QColor(0x04, 0x05, 0x06), QColor(0x07, 0x08, 0x09),
                  QColor(0x0A, 0x0B, 0x0C)});
    Click("background");
    Click("source_color");
    Click("headline_color");
    Click("date_color");
    Control<QCheckBox>("firewall")->click();
    Control<QCheckBox>("sound")->click();
    EXPECT_FALSE(Control<QCheckBox>("alert_notification")->isChecked());
    Control<QCheckBox>("alert_notification")->click();
    Control<QLineEdit>("interval")->setText(" 12 ");
    Click("ok");

    EXPECT_EQ(m_pSheet->result(), QDialog::Accepted);
    EXPECT_EQ(GetProfileString(strUser, "news_font", "-"), "Courier New");
    EXPECT_EQ(GetProfileInt(strUser, "news_fontsize", kAbsent), 11);
    EXPECT_EQ(GetProfileInt(strUser, "news_bg_color", kAbsent), 0x00030201);
    EXPECT_EQ(GetProfileInt(strUser, "news_source_color", kAbsent), 0x00060504);
    EXPECT_EQ(GetProfileInt(strUser, "news_headline_color", kAbsent), 0x00090807);
    EXPECT_EQ(GetProfileInt(strUser, "news_date_color", kAbsent), 0x000C0B0A);
    EXPECT_EQ(GetProfileInt(strUser, "check_time", kAbsent), 12);
    EXPECT_EQ(GetProfileInt("Prefs", "has_firewall", kAbsent), 1);
    EXPECT_EQ(GetProfileInt("Prefs", "sound_on", kAbsent), 0);
    EXPECT_EQ(GetProfileInt("Prefs", "alert_notification", kAbsent), 1);
    // Nothing went to the wrong section.
    EXPECT_EQ(GetProfileInt("Prefs", "check_time", kAbsent), kAbsent);
    EXPECT_EQ(GetProfileString("Prefs", "news_font", "-"), "-");
    EXPECT_EQ(GetProfileInt(strUser, "has_firewall", kAbsent), kAbsent);
    EXPECT_EQ(GetProfileInt(strUser, "sound_on", kAbsent), kAbsent);
    EXPECT_EQ(GetProfileInt(strUser, "alert_notification", kAbsent), kAbsent);

    // A new sheet shows what was written.
    Open();
    ShowGeneral();
    EXPECT_EQ(Control<QLineEdit>("interval")->text(), "12");
    EXPECT_TRUE(Control<QCheckBox>("firewall")->isChecked());
    EXPECT_FALSE(Control<QCheckBox>("sound")->isChecked());
    EXPECT_TRUE(Control<QCheckBox>("alert_notification")->isChecked());
    EXPECT_EQ(SampleBackground(), QColor(0x01, 0x02, 0x03));
}

TEST_F(NewsPageTest, beforeAnyLoginTheDisplayGoesToPrefs) {
    m_main.m_strSection = "Prefs";
    Open();
    ShowGeneral();
    Control<QLineEdit>("interval")->setText("3");
    Click("ok");
    EXPECT_EQ(GetProfileInt("Prefs", "check_time", kAbsent), 3);
    EXPECT_EQ(GetProfileString("Prefs", "news_font", "-"), CNewsDisplay().strFace);
}

// One interval text typed on the General page, and what OK does with it.
struct CIntervalCase {
    const char* pszText;
    const char* pszMessage;  // null: taken
    int nWritten;
};

const char* const STR_NOT_INTEGER = "Please enter an integer.";
const char* const STR_OUT_OF_RANGE = "Please enter an integer between 1 and 99.";

class NewsPageIntervalTest : public CPrefsFixture,
                             public ::testing::WithParamInterface<CIntervalCase> {};

TEST_P(NewsPageIntervalTest, okTakesOnlyAnIntegerFromOneTo99) {
    const CIntervalCase& c = GetParam();
    WriteCatalogue({"BBC"});
    Open();
    Select("available", "BBC");
    Click("add");
    ShowGeneral();
    Control<QLineEdit>("interval")->setText(c.pszText);
    CModalResponder responder(CModalResponder::Close);
    Click("ok");
    if (c.pszMessage) {
        ASSERT_TRUE(responder.WaitSeen());
        EXPECT_EQ(responder.Text(), c.pszMessage);
        EXPECT_TRUE(m_pSheet->isVisible());
        EXPECT_EQ(Tabs()->currentWidget(), m_pSheet->NewsPage());
        // A refused OK leaves every page's settings as they were.
        EXPECT_FALSE(HasDisplayOrIntervalSettings(m_main.m_strSection));
        EXPECT_FALSE(HasDisplayOrIntervalSettings("Prefs"));
        EXPECT_FALSE(ChosenFileExists());
    } else {
        EXPECT_FALSE(responder.WaitSeen(std::chrono::milliseconds(100)));
        EXPECT_FALSE(m_pSheet->isVisible());
        EXPECT_EQ(GetProfileInt(m_main.m_strSection, "check_time", kAbsent), c.nWritten);
        EXPECT_EQ(ReadChosen(), Names({"BBC"}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    , NewsPageIntervalTest,
    ::testing::Values(
        CIntervalCase{"abc", STR_NOT_INTEGER, 0}, CIntervalCase{"", STR_NOT_INTEGER, 0},
        CIntervalCase{"5x", STR_NOT_INTEGER, 0}, CIntervalCase{"1.5", STR_NOT_INTEGER, 0},
        CIntervalCase{"-", STR_NOT_INTEGER, 0}, CIntervalCase{"0", STR_OUT_OF_RANGE, 0},
        CIntervalCase{"100", STR_OUT_OF_RANGE, 0}, CIntervalCase{"-3", STR_OUT_OF_RANGE, 0},
        CIntervalCase{"99999999999", STR_OUT_OF_RANGE, 0}, CIntervalCase{"1", nullptr, 1},
        CIntervalCase{"99", nullptr, 99}, CIntervalCase{"+7", nullptr, 7}),
    [](const ::testing::TestParamInfo<CIntervalCase>& info) {
        std::string strName = "text";
        for (const char* p = info.param.pszText; *p; ++p) {
            strName += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        }
        return strName + "_" + std::to_string(info.index);
    });

TEST_F(NewsPageTest, leavingTheTabWithABadIntervalStaysUntilItIsFixed) {
    Open();
    ShowGeneral();
    Control<QLineEdit>("interval")->setText("0");
    {
        CModalResponder responder(CModalResponder::Close);
        Tabs()->setCurrentWidget(m_pSheet->FeedsPage());
        ASSERT_TRUE(responder.WaitSeen());
        EXPECT_EQ(responder.Text(), "Please enter an integer between 1 and 99.");
    }
    EXPECT_EQ(Tabs()->currentWidget(), m_pSheet->NewsPage());
    {
        CModalResponder responder(CModalResponder::Close);
        Control<QLineEdit>("interval")->setText("ten");
        Tabs()->setCurrentWidget(m_pSheet->FeedsPage());
        ASSERT_TRUE(responder.WaitSeen());
        EXPECT_EQ(responder.Text(), "Please enter an integer.");
    }
    EXPECT_EQ(Tabs()->currentWidget(), m_pSheet->NewsPage());

    Control<QLineEdit>("interval")->setText("10");
    Tabs()->setCurrentWidget(m_pSheet->FeedsPage());
    EXPECT_EQ(Tabs()->currentWidget(), m_pSheet->FeedsPage());
    Click("ok");
    EXPECT_EQ(GetProfileInt(m_main.m_strSection, "check_time", kAbsent), 10);
}

TEST_F(NewsPageTest, cancelAfterABadIntervalClosesWithoutAMessage) {
    Open();
    ShowGeneral();
    Control<QLineEdit>("interval")->setText("abc");
    CModalResponder responder(CModalResponder::Close);
    Click("cancel");
    testing_support::PumpEvents(std::chrono::milliseconds(50));
    EXPECT_FALSE(responder.WaitSeen(std::chrono::milliseconds(100)));
    EXPECT_FALSE(m_pSheet->isVisible());
    EXPECT_FALSE(HasDisplayOrIntervalSettings(m_main.m_strSection));
}

TEST_F(NewsPageTest, startWithTheDesktopWritesAndRemovesTheAutostartEntry) {
    const QString strEntry = QString::fromStdString(AutostartFile());
    ASSERT_TRUE(strEntry.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart/"));
    QFile::remove(strEntry);
    for (bool bOn : {true, false}) {
        SCOPED_TRACE(bOn);
        Open();
        ShowGeneral();
        EXPECT_NE(Control<QCheckBox>("autostart")->isChecked(), bOn);
        Control<QCheckBox>("autostart")->click();
        Click("ok");
        EXPECT_EQ(QFile::exists(strEntry), bOn);
    }
    // Written once more: it starts this program where it runs now.
    Open();
    ShowGeneral();
    Control<QCheckBox>("autostart")->click();
    Click("ok");
    QFile file(strEntry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString strText = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(strText.startsWith("[Desktop Entry]\nType=Application\n")) << strText.toStdString();
    EXPECT_TRUE(strText.contains("\nExec=\"" + QCoreApplication::applicationFilePath() + "\"\n"));
    EXPECT_TRUE(strText.contains("\nPath=" + QDir::currentPath() + "\n"));
    // Removed by hand, it reads as off.
    QFile::remove(strEntry);
    Open();
    ShowGeneral();
    EXPECT_FALSE(Control<QCheckBox>("autostart")->isChecked());
}
