#include "peer/CChatEvent.h"
#include "peer/EventStream.h"

#include <gtest/gtest.h>

#include <string>

namespace {

CChatEvent Read(const std::string& strText) {
    CChatEvent event;
    event.FromXml(strText);
    return event;
}

TEST(ChatEvent, newEventWritesIdAndTimeStampOnly) {
    const CChatEvent event;
    EXPECT_EQ(event.ToXml(), "<event>\n<id>" + event.id + "</id>\n<timestamp>" + event.timestamp +
                                 "</timestamp>\n</event>\n");
    // The id starts with the time stamp; the rest tells events of one second apart.
    EXPECT_EQ(event.id.rfind(event.timestamp + "-", 0), 0u);
    const CChatEvent other;
    EXPECT_NE(event.id, other.id);
}

TEST(ChatEvent, writesEveryFieldInOrderAndReadsItBack) {
    CChatEvent event;
    event.id = "7";
    event.timestamp = "8";
    event.type = "CHAT";
    event.params = {"#a_b", "", "http://x/?a=1&b=<2>", "kim"};
    event.cats = {"c1", ""};
    const std::string strText = event.ToXml();
    EXPECT_EQ(strText,
              "<event>\n<id>7</id>\n<type>CHAT</type>\n<timestamp>8</timestamp>\n"
              "<param>#a_b</param>\n<param></param>\n<param>http://x/?a=1&b=<2></param>\n"
              "<param>kim</param>\n<cat>c1</cat>\n<cat></cat>\n</event>\n");
    // An empty title no longer ends the list: the URL and the inviter survive a copy.
    const CChatEvent copy = Read(strText);
    EXPECT_EQ(copy.ToXml(), strText);
    EXPECT_EQ(copy.Param(3), "kim");
    EXPECT_EQ(copy.Param(9), "");
}

TEST(ChatEvent, readerTakesWhatIsThereAndNeverFails) {
    struct Case {
        const char* pszText;
        const char* pszId;
        const char* pszType;
        size_t nParams;
    };
    for (const Case& c : {
             Case{"<id>1</id><type>NEWS</type><param>a</param>", "1", "NEWS", 1},
             Case{"<event><type></type><id>2</id></event>", "2", "", 0},
             Case{"<event><param>x</param>", "", "", 1},  // no closing tag: the whole text
             Case{"", "", "", 0},
             Case{"<param>a</param>\n</param>\n</param>", "", "", 1},
             Case{"<id>3<param>", "", "", 0},
         }) {
        SCOPED_TRACE(c.pszText);
        const CChatEvent event = Read(c.pszText);
        EXPECT_EQ(event.id, c.pszId);
        EXPECT_EQ(event.type, c.pszType);
        EXPECT_EQ(event.params.size(), c.nParams);
        EXPECT_TRUE(event.cats.empty());
    }
    // A present but empty type stays empty and is not written.
    EXPECT_EQ(Read("<type></type><id>5</id>").ToXml(), "<event>\n<id>5</id>\n</event>\n");
}

TEST(EventStream, cutsCompleteEventsAndWaitsForTheRest) {
    const std::string strOne = "<event>\n<id>1</id>\n</event>\n";
    const std::string strBuffer = "junk\n" + strOne + "<event>\n<id>2</id>";
    const CEventCut first = CutEvent(strBuffer);
    ASSERT_EQ(first.status, CEventCut::EStatus::Complete);
    EXPECT_EQ(first.strContent, "\n<id>1</id>\n");
    EXPECT_EQ(first.nConsumed, strBuffer.find(strOne) + strOne.size() - 1);
    // The second event has not ended yet; text without an opening tag is not an event.
    EXPECT_EQ(CutEvent(std::string_view(strBuffer).substr(first.nConsumed)).status,
              CEventCut::EStatus::Incomplete);
    EXPECT_EQ(CutEvent("<events></event>").status, CEventCut::EStatus::Incomplete);

    const std::string strHuge = "<event>" + std::string(MAX_EVENT_TEXT, 'x') + "</event>tail";
    const CEventCut huge = CutEvent(strHuge);
    EXPECT_EQ(huge.status, CEventCut::EStatus::Bad);
    EXPECT_EQ(strHuge.substr(huge.nConsumed), "tail");
}

}  // namespace
