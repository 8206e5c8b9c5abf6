#include "chat/CChatRoom.h"
#include "chat/CIrcClient.h"
#include "chat/CIrcProtocol.h"
#include "chat/ChatText.h"
#include "chat/IrcCommands.h"
#include "chat/IrcLines.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A room that writes its pane as text, styles marked: <o>other nick, <s>status, <a>action,
// <!>a text that names the user; and the mentions it was told of.
class CRecordingRoom final : public CChatRoom {
public:
    using CChatRoom::CChatRoom;
    std::string m_strPane;
    int m_nMessages = 0;
    std::vector<std::string> m_mentions;

protected:
    void AppendLine(const std::string& strText, EChatStyle style) override {
        static const char* const kMarks[CHAT_STYLE_COUNT] = {"",    "<me>", "<o>",
                                                             "<s>", "<a>",  "<!>"};
        m_strPane += kMarks[static_cast<int>(style)] + strText;
    }
    void OnMessageShown() override { ++m_nMessages; }
    void OnMentioned(const std::string& strNick, std::string_view strText) override {
        m_mentions.push_back(strNick + " " + std::string(strText));
    }
};

std::vector<std::string> Lines(CIrcLineReader& reader) {
    std::vector<std::string> lines;
    std::string strLine;
    for (CIrcLineReader::EStatus status;
         (status = reader.Next(strLine)) != CIrcLineReader::EStatus::Incomplete;) {
        lines.push_back(status == CIrcLineReader::EStatus::Bad ? "<bad>" : strLine);
    }
    return lines;
}

}  // namespace

TEST(IrcLineReader, framesLinesAcrossReadsAndDropsOverlongOnes) {
    CIrcLineReader reader;
    reader.Append("one\r");
    EXPECT_TRUE(Lines(reader).empty());
    reader.Append("\ntw");
    reader.Append("o\rx\n\nthree");
    EXPECT_EQ(Lines(reader), (std::vector<std::string>{"one", "two\rx", ""}));
    EXPECT_EQ(reader.Pending(), 5u);
    reader.Append("\n" + std::string(CIrcLineReader::MAX_IRC_LINE + 10, 'x'));
    reader.Append(std::string(100000, 'y'));
    EXPECT_EQ(Lines(reader), (std::vector<std::string>{"three", "<bad>"}));
    EXPECT_LE(reader.Pending(), CIrcLineReader::MAX_IRC_LINE + 1);
    reader.Append("yyy\nafter\n");
    EXPECT_EQ(Lines(reader), (std::vector<std::string>{"after"}));
}

TEST(IrcLines, answerOnlyPingCommandsAndKeepValuesOnOneLine) {
    EXPECT_EQ(PongFor("PING :irc.local"), "PONG :irc.local\r\n");
    EXPECT_EQ(PongFor(":irc.local PING tok"), "PONG tok\r\n");
    EXPECT_EQ(PongFor(":kim0!u@h PRIVMSG #c :PING me"), std::nullopt);
    EXPECT_EQ(PongFor("PINGS x"), std::nullopt);
    EXPECT_EQ(LineSafe(std::string_view("a\r\nb\0c", 6)), "abc");
    for (const char* psz : {"#ok", "#Top-News!?"}) {
        EXPECT_TRUE(IsValidChannel(psz)) << psz;
    }
    for (const char* psz : {"", "#", "chan", "#a b", "#a,b", "#a\x07", "#a\r\n: QUIT"}) {
        EXPECT_FALSE(IsValidChannel(psz)) << psz;
    }
    // A long text goes as several lines that fit a relayed 512-byte line, cut between
    // characters, and read back as the text.
    std::string strText;
    for (int i = 0; i < 300; ++i) {
        strText += "\u00e9\u20ac ";
    }
    std::string strJoined;
    for (const std::string& strLine : PrivmsgLines("#c", strText + "\r\nx")) {
        ASSERT_EQ(strLine.rfind(": PRIVMSG #c :", 0), 0u);
        EXPECT_LE(strLine.size() + 2, 512u - 100u);
        strJoined += strLine.substr(14);
    }
    EXPECT_EQ(strJoined, strText + "x");
    // A channel that leaves no room for text sends nothing rather than loop or overflow.
    EXPECT_TRUE(PrivmsgLines("#" + std::string(500, 'c'), "hello").empty());
}

class ChatProtocolTest : public ::testing::Test {
protected:
    ChatProtocolTest() {
        m_client.SetNick("kim0");
        m_client.Rooms().AddRoom(&m_room);
        m_client.Rooms().AddRoom(&m_other);
        m_client.m_fnShowMessage = [this](const std::string& str) { m_messages.push_back(str); };
    }
    void Handle(const std::string& strLine) { m_client.Protocol().HandleLine(strLine); }

    // Reconnects after a taken nickname go to a closed local port, never out.
    testing_support::CScopedEnv m_host{"VOCALON_IRC_HOST", "127.0.0.1"};
    testing_support::CScopedEnv m_port{"VOCALON_IRC_PORT",
                                       std::to_string(testing_support::UnusedPort())};
    CIrcClient m_client;
    CRecordingRoom m_room{"#Chan"};
    CRecordingRoom m_other{"#other"};
    std::vector<std::string> m_messages;
};

TEST_F(ChatProtocolTest, roomEventsChangeUsersGuestsPaneAndTopic) {
    Handle(":kim0!u@h JOIN :#Chan");
    EXPECT_EQ(m_room.m_strPane, "<s>\t\u00bb Successful join!\r\n");
    Handle(":irc.local 353 kim0 = #Chan :@kim0 +ann1 guest bob3");
    EXPECT_EQ(m_room.Users(), (std::vector<std::string>{"kim", "ann", "bob"}));
    EXPECT_EQ(m_room.CountText(), " Total users: 4");
    Handle(":irc.local 332 kim0 #Chan :Some  -  topic");
    EXPECT_EQ(m_room.Topic(), "Some  -  topic");
    m_room.m_strPane.clear();

    Handle(":ann1!u@h PRIVMSG #Chan :hello  there");
    Handle(":ann1!u@h PRIVMSG kim0 :private");  // to a nickname: no room
    Handle(":ann1!u@h PRIVMSG #chan :case");    // names are case-sensitive
    Handle(":zed2!u@h JOIN #Chan");
    Handle(":guestb!u@h JOIN #Chan");
    Handle(":guest!u@h PART #Chan");
    Handle(":bob3!u@h PART #Chan");
    EXPECT_EQ(m_room.m_strPane,
              "<o>ann: hello  there\r\n<s>\t\u00bb zed joined.\r\n<s>\t\u00bb bob left.\r\n");
    EXPECT_EQ(m_room.m_nMessages, 1);
    EXPECT_EQ(m_room.Users(), (std::vector<std::string>{"kim", "ann", "zed"}));
    EXPECT_EQ(m_room.GuestCount(), 1);

    // Another user's rename and quit change the lists; the rooms stay connected.
    Handle(":zed2!u@h NICK :max2");
    Handle(":ann1!u@h QUIT :bye");
    EXPECT_EQ(m_room.Users(), (std::vector<std::string>{"kim", "max"}));
    EXPECT_TRUE(m_room.ControlsEnabled());
    EXPECT_EQ(m_other.m_strPane, "");
    EXPECT_EQ(m_client.GetNick(), "kim0");

    // Endless names replies stop adding at the cap.
    const std::string strNames = ":irc.local 353 kim0 = #Chan :" + std::string(2000, 'a') + "1";
    for (size_t i = 0; i < MAX_ROOM_USERS + 5; ++i) {
        Handle(strNames);
    }
    EXPECT_EQ(m_room.Users().size(), MAX_ROOM_USERS);

    Handle(":op9!u@h KICK #Chan kim0 :out");
    EXPECT_FALSE(m_room.ControlsEnabled());
    EXPECT_NE(m_room.m_strPane.find("kim got booted."), std::string::npos);
}

TEST_F(ChatProtocolTest, shortAndUnknownLinesAreIgnoredAndOwnLossDisconnectsEveryRoom) {
    for (const char* psz : {"", "JOIN", ":a JOIN", ":a KICK #Chan", ":s 332 kim0", ":s 353 kim0 = ",
                            ":s 999 kim0 #Chan x", ":a FOO #Chan x", "\x01\x02 \xff\xfe x"}) {
        Handle(psz);
    }
    EXPECT_EQ(m_room.m_strPane, "");
    EXPECT_TRUE(m_messages.empty());

    Handle(":s 001 kim0 :Welcome");  // rejoins the rooms
    m_room.m_strPane.clear();
    m_other.m_strPane.clear();
    Handle(":kim0!u@h NICK :kim5");
    EXPECT_EQ(m_client.GetNick(), "kim5");
    Handle(":kim5!u@h QUIT :Quit: gone");
    for (const CRecordingRoom* pRoom : {&m_room, &m_other}) {
        EXPECT_EQ(pRoom->m_strPane, "<s>\t\u00bb Server disconnected you: Quit: gone\r\n");
        EXPECT_FALSE(pRoom->ControlsEnabled());
    }
}

TEST_F(ChatProtocolTest, nicknameInUseCountsUpAndGivesUpOnceAfterNine) {
    Handle(":s 433 * kim0 :Nickname is already in use");
    EXPECT_EQ(m_client.GetNick(), "kim1");
    m_client.SetNick("guest");
    Handle(":s 433 * guest :in use");
    EXPECT_EQ(m_client.GetNick(), "guest1");
    Handle(":s 433 * guest1 :in use");
    EXPECT_EQ(m_client.GetNick(), "guest2");
    // A server that hands the nickname to another registering connection first renames us
    // to a placeholder: the next try still grows from ours.
    Handle(":guest2!689AAAAAA@h NICK :689AAAAAA");
    Handle(":s 433 guest2 guest2 :Nickname overruled.");
    EXPECT_EQ(m_client.GetNick(), "guest3");
    m_client.SetNick("kim9");
    Handle(":s 433 * kim9 :in use");
    EXPECT_EQ(m_client.GetNick(), "kim9");
    Handle(":s 461 kim9 JOIN :Not enough parameters");
    EXPECT_EQ(m_messages, (std::vector<std::string>{STR_NICK_UNUSABLE, STR_BAD_COMMAND}));
}

TEST_F(ChatProtocolTest, aGuestRenamedToAnIdAfterTheWelcomeComesBackAsTheNextGuest) {
    m_client.SetNick("guest");
    Handle(":s 001 guest :Welcome");
    Handle(":guest!u@h NICK :2BBAAAAAC");
    EXPECT_EQ(m_client.GetNick(), "guest1");
    // A guest renamed to another guest, or a user renamed, keeps the new name.
    Handle(":s 001 guest1 :Welcome");
    Handle(":guest1!u@h NICK :guest7");
    EXPECT_EQ(m_client.GetNick(), "guest7");
    m_client.SetNick("kim0");
    Handle(":kim0!u@h NICK :2BBAAAAAD");
    EXPECT_EQ(m_client.GetNick(), "2BBAAAAAD");
}

TEST_F(ChatProtocolTest, textsShowAsSentAndOnlyAUserNicknamesDigitIsDropped) {
    Handle(":carol!u@h JOIN #Chan");
    Handle(":kim10!u@h JOIN #Chan");
    Handle(":carol!u@h PRIVMSG #Chan ::-)   spaced  ");
    Handle(":irc.local 353 kim0 = #Chan :dave7 eve guest");
    Handle(":carol!u@h TOPIC #Chan ::  two  blanks");
    Handle(":op9!u@h KICK #Chan carol :out");
    Handle(":eve!u@h PART #Chan");
    EXPECT_EQ(m_room.m_strPane,
              "<s>\t\u00bb carol joined.\r\n<s>\t\u00bb kim1 joined.\r\n"
              "<o>carol: :-)   spaced  \r\n<s>\t\u00bb carol got booted.\r\n"
              "<s>\t\u00bb eve left.\r\n");
    EXPECT_EQ(m_room.Topic(), ":  two  blanks");
    EXPECT_EQ(m_room.Users(), (std::vector<std::string>{"kim1", "dave"}));
    EXPECT_EQ(m_room.GuestCount(), 1);
    for (const auto& [pszNick, pszShown] : {std::pair{"kim0", "kim"},
                                            {"carol", "carol"},
                                            {"guest", "guest"},
                                            {"r2d2", "r2d"},
                                            {"", ""}}) {
        EXPECT_EQ(DisplayNameOf(pszNick), pszShown) << pszNick;
    }
}

TEST_F(ChatProtocolTest, ownNicknameChangesOnlyToOneThatCanBeSentBack) {
    Handle(":s 001 kim0 :Welcome");
    for (const char* psz : {":kim0!u@h NICK :a\rQUI", ":kim0!u@h NICK :", ":kim0!u@h NICK :a b",
                            ":kim0!u@h NICK :a\x01", ":kim0!u@h NICK :a\x7F"}) {
        Handle(psz);
        EXPECT_EQ(m_client.GetNick(), "kim0") << psz;
    }
    Handle(":kim0!u@h NICK :kim5");
    EXPECT_EQ(m_client.GetNick(), "kim5");
}

TEST_F(ChatProtocolTest, actionsShowAsActionsAndTextsThatNameTheUserAreMarked) {
    m_room.SetOwnName("kim");
    Handle(
        ":ann1!u@h PRIVMSG #Chan :\x01"
        "ACTION waves\x01");
    Handle(
        ":ann1!u@h PRIVMSG #Chan :\x01"
        "ACTION hugs Kim\x01");
    Handle(
        ":ann1!u@h PRIVMSG #Chan :\x01"
        "ACTION shrugs");                                // closing \x01 left out
    Handle(":ann1!u@h PRIVMSG #Chan :\x01VERSION\x01");  // other requests: as sent
    Handle(":ann1!u@h PRIVMSG #Chan :kim0: look");
    Handle(":ann1!u@h PRIVMSG #Chan :kimchi for all");
    EXPECT_EQ(m_room.m_strPane,
              "<a>* ann waves\r\n<!>* ann hugs Kim\r\n<a>* ann shrugs\r\n"
              "<o>ann: \x01VERSION\x01\r\n<o>ann: <!>kim0: look\r\n<o>ann: kimchi for all\r\n");
    EXPECT_EQ(m_room.m_nMessages, 6);
    EXPECT_EQ(m_room.m_mentions, (std::vector<std::string>{"ann1 hugs Kim", "ann1 kim0: look"}));
    // Without a name of its own the room marks nothing.
    Handle(":ann1!u@h PRIVMSG #other :kim, hi");
    EXPECT_EQ(m_other.m_strPane, "<o>ann: kim, hi\r\n");
    EXPECT_TRUE(m_other.m_mentions.empty());
}

TEST(ChatText, actionTextIsReadOnlyFromAnActionRequest) {
    const std::pair<std::string_view, std::optional<std::string_view>> cases[] = {
        {"\x01"
         "ACTION waves\x01",
         "waves"},
        {"\x01"
         "ACTION  two  blanks\x01",
         " two  blanks"},
        {"\x01"
         "ACTION\x01",
         ""},
        {"\x01"
         "ACTION no end",
         "no end"},
        {"\x01"
         "ACTIONS x\x01",
         std::nullopt},
        {"\x01"
         "action waves\x01",
         std::nullopt},
        {"ACTION waves", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [strMessage, expected] : cases) {
        EXPECT_EQ(ActionText(strMessage), expected) << strMessage;
    }
}

TEST(ChatText, onlyHttpAndHttpsAddressesAreLinksWithoutTheSentencesPunctuation) {
    auto links = [](std::string_view strText) {
        std::vector<std::string> found;
        for (const CTextSpan& span : FindWebLinks(strText)) {
            found.emplace_back(strText.substr(span.nStart, span.nLength));
        }
        return found;
    };
    using Links = std::vector<std::string>;
    const std::pair<std::string_view, Links> cases[] = {
        {"see https://example.org/a?b=1&c=%20#x.", {"https://example.org/a?b=1&c=%20#x"}},
        {"HTTP://EXAMPLE.ORG, and http://b.example/p_(x)) too",
         {"HTTP://EXAMPLE.ORG", "http://b.example/p_(x)"}},
        {"(http://c.example/d) <https://e.example>\"https://f.example\"",
         {"http://c.example/d", "https://e.example", "https://f.example"}},
        {"http://[::1]:8080/x!?", {"http://[::1]:8080/x"}},
        {"javascript:alert(1) file:///etc/passwd mailto:a@b.example ftp://g.example", {}},
        {"xhttp://h.example git+https://i.example http:// https:///j http://", {}},
        {"https://k.example/\x02"
         "bold\x0f http://l.example\x01",
         {"https://k.example/", "http://l.example"}},
        {"http://m.example/\u00e9t\u00e9 done", {"http://m.example/\u00e9t\u00e9"}},
    };
    for (const auto& [strText, expected] : cases) {
        EXPECT_EQ(links(strText), expected) << strText;
    }
    // A message full of links: every one found, linear.
    std::string strMany;
    for (int i = 0; i < 1000; ++i) {
        strMany += "https://n.example/" + std::to_string(i) + " ";
    }
    EXPECT_EQ(FindWebLinks(strMany).size(), 1000u);
}

TEST(ChatText, aNameIsMentionedAsAWordIgnoringCaseWithOrWithoutItsDigit) {
    for (const char* psz :
         {"kim", "Kim: hi", "hi KIM!", "@kim, look", "kim0 there", "(kim's)", "ask kim_ no, kim"}) {
        EXPECT_TRUE(MentionsName(psz, "kim")) << psz;
    }
    for (const char* psz :
         {"", "kimchi", "akim", "kim42", "kim_", "ki m", "\u00e9kim", "kim\u00e9"}) {
        EXPECT_FALSE(MentionsName(psz, "kim")) << psz;
    }
    EXPECT_FALSE(MentionsName("anything", ""));
}

TEST(ChatText, typedLinesAreMessagesOrCommands) {
    using K = CTypedLine::EKind;
    const std::tuple<std::string_view, K, std::string_view> cases[] = {
        {"hello", K::Message, "hello"},
        {"//shrug /", K::Message, "/shrug /"},
        {"/me waves", K::Action, "waves"},
        {"/ME   waves  back", K::Action, "waves  back"},
        {"/me", K::Action, ""},
        {"/topic New  topic", K::Topic, "New  topic"},
        {"/topic", K::Topic, ""},
        {"/join #x", K::Unknown, "/join"},
        {"/mee x", K::Unknown, "/mee"},
        {"/", K::Unknown, "/"},
    };
    for (const auto& [strLine, kind, strText] : cases) {
        const CTypedLine typed = ParseTypedLine(strLine);
        EXPECT_EQ(typed.kind, kind) << strLine;
        EXPECT_EQ(typed.strText, strText) << strLine;
    }
}

TEST(ChatText, completionsAndNoticesFollowTheRules) {
    const std::vector<std::string> users = {"kim", "Anna", "ann", "bob", "ann", "Andy"};
    EXPECT_EQ(NickCompletions("an", users, "kim"),
              (std::vector<std::string>{"Andy", "ann", "Anna"}));
    EXPECT_EQ(NickCompletions("K", users, "kim"), std::vector<std::string>{});
    EXPECT_EQ(NickCompletions("", users, "kim"), std::vector<std::string>{});

    EXPECT_EQ(MentionNotice("ann", "Bread news", "kim: \x02look\x0f\r\n"),
              "ann in Bread news: kim: look");
    std::string strLong;
    for (int i = 0; i < 150; ++i) {
        strLong += "\u00e9";  // two bytes each
    }
    const std::string strNotice = MentionNotice("ann", "r", strLong + "x");
    EXPECT_EQ(strNotice, "ann in r: " + strLong.substr(0, MAX_NOTICE_TEXT) + "\u2026");
}

TEST(IrcLines, actionsAndTypedTopicsStayWithinOneRelayedLine) {
    EXPECT_EQ(ActionLines("#c", "waves\x01 \r\nback"),
              (std::vector<std::string>{": PRIVMSG #c :\x01"
                                        "ACTION waves back\x01"}));
    EXPECT_TRUE(ActionLines("#c", "\x01").empty());
    std::string strJoined;
    for (const std::string& strLine : ActionLines("#c", std::string(1000, 'x'))) {
        ASSERT_EQ(strLine.rfind(": PRIVMSG #c :\x01"
                                "ACTION ",
                                0),
                  0u);
        ASSERT_EQ(strLine.back(), '\x01');
        EXPECT_LE(strLine.size() + 2, 512u - 100u);
        strJoined += strLine.substr(22, strLine.size() - 23);
    }
    EXPECT_EQ(strJoined, std::string(1000, 'x'));

    EXPECT_EQ(UserTopicLine("#c", "New\r\n topic"), ": TOPIC #c :New topic");
    EXPECT_EQ(UserTopicLine("#c", "New topic"), TopicLine("#c", "New topic"));
    const std::string strLong = UserTopicLine("#c", std::string(1000, 'y'));
    EXPECT_LE(strLong.size() + 2, 512u - 100u);
    EXPECT_GT(strLong.size(), 300u);
}
