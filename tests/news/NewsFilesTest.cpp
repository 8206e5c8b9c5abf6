#include "news/NewsFiles.h"

#include "hub/CChatRequest.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(ChannelName, removesPunctuationAndBlanksAndCutsAt25Bytes) {
    struct Case {
        const char* pszHeadline;
        const char* pszChannel;
    } cases[] = {
        {"Stocks fall: Dow (INDU) down 2.5%", "#StocksfallDowINDUdown25%"},
        {"Tom &amp; Jerry", "#TomJerry"},
        {"Tom & Jerry", "#TomJerry"},
        {"It's here; really, (no).", "#Itsherereallyno"},
        {"What? Yes! 24-7", "#What?Yes!24-7"},
        {"Line\r\nbreak", "#Linebreak"},
        {"", "#"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChannelNameOf(c.pszHeadline), c.pszChannel) << c.pszHeadline;
    }
    EXPECT_EQ(ChannelNameOf(std::string(40, 'a')), "#" + std::string(24, 'a'));
}

TEST(ChannelName, dropsControlCharactersAndNeverSplitsACharacter) {
    EXPECT_EQ(ChannelNameOf(std::string("Tab\tbell\a nul") + '\0' + "x\x7F" + "end"),
              "#Tabbellnulxend");
    // 23 letters and a two-byte letter: the letter would end at byte 26, so it goes.
    std::string strHeadline = std::string(23, 'a') + "\xC3\xA9" + "b";
    EXPECT_EQ(ChannelNameOf(strHeadline), "#" + std::string(23, 'a'));
    std::string strFits = std::string(22, 'a') + "\xC3\xA9" + "b";
    EXPECT_EQ(ChannelNameOf(strFits), "#" + std::string(22, 'a') + "\xC3\xA9");
}

TEST(ChannelName, cutsTextThatIsNotUtf8AtTheByteAndKeepsTheHash) {
    EXPECT_EQ(ChannelNameOf(std::string(30, '\x80')), "#" + std::string(24, '\x80'));
    // Two pound signs in Latin-1 look like UTF-8 continuation bytes.
    EXPECT_EQ(ChannelNameOf(std::string(23, 'a') + "\xA3\xA3" + "b"),
              "#" + std::string(23, 'a') + "\xA3");
}

TEST(ChatRequest, joinsChannelTopicAndUrl) {
    EXPECT_EQ(ChatTopicOf("Ham &amp; Eggs", "Tom & Jerry"), "Ham & Eggs - Tom & Jerry");
    EXPECT_EQ((CChatRequest{"#TomJerry", "Gazette - Tom & Jerry", "http://x/a"}.Record()),
              "#TomJerry!!Gazette - Tom & Jerry!!http://x/a");
}

TEST(ChatRequest, anyFieldTextSurvivesTheRecordAndOnlyWellFormedRecordsRead) {
    const CChatRequest requests[] = {
        {"#WowMarketsrally", "Gazette - Wow! Markets rally", "http://x/a"},
        {"#Isthisit?!", "Gazette - Is this it?!", "http://x/b?q=!!&r=100%"},
        {"#a!!!", "!!", "%21%25!"},
        {"", "", ""},
    };
    for (const CChatRequest& request : requests) {
        const std::string strRecord = request.Record();
        EXPECT_EQ(CChatRequest::FromRecord(strRecord), request) << strRecord;
        EXPECT_EQ(strRecord.find('!'), strRecord.find("!!")) << strRecord;
    }
    EXPECT_EQ(requests[1].Record(),
              "#Isthisit?%21!!Gazette - Is this it?%21!!http://x/b?q=%21%21&r=100%25");
    for (const char* psz : {"#ok!!Topic", "#ok!!T!!u!!x", "#ok!!Top!c!!http://x", "#a!!!b!!c",
                            "#ok!!T!!http://x!", "#ok!!50%!!u", "#ok!!%2!!u", "#ok!!%41!!u"}) {
        EXPECT_EQ(CChatRequest::FromRecord(psz), std::nullopt) << psz;
    }
}

TEST(UserFiles, takeTheUserNameAsPrefixButNeverLeaveTheDirectory) {
    EXPECT_EQ(ChosenSourcesFile("kim"), "kim_out_feeds.txt");
    EXPECT_EQ(SeenStoreFile("kim"), "kim_seenurls.txt");
    EXPECT_EQ(SeenStoreFile("Kim Lee"), "Kim Lee_seenurls.txt");
    EXPECT_EQ(ChosenSourcesFile("../../etc/x"), ".._.._etc_x_out_feeds.txt");
    EXPECT_EQ(SeenStoreFile("a\\b"), "a_b_seenurls.txt");
    EXPECT_EQ(SeenStoreFile(std::string("a\0b", 3)), "a_b_seenurls.txt");
}

TEST(UserFiles, chosenSourcesNeedANonEmptyLine) {
    testing_support::CTempAppDir dir;
    EXPECT_FALSE(HasChosenSources("kim"));
    dir.Write("kim_out_feeds.txt", "\r\n\r\n");
    EXPECT_FALSE(HasChosenSources("kim"));
    dir.Write("kim_out_feeds.txt", "\r\nGazette\r\n");
    EXPECT_TRUE(HasChosenSources("kim"));
}
