#include "chat/CIrcMessage.h"
#include "chat/IrcCommands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Params = std::vector<std::string>;

CIrcMessage Message(std::optional<std::string> prefix, std::string strCommand, Params params,
                    bool bTrailing) {
    CIrcMessage message;
    message.m_prefix = std::move(prefix);
    message.m_strCommand = std::move(strCommand);
    message.m_params = std::move(params);
    message.m_bTrailing = bTrailing;
    return message;
}

}  // namespace

void PrintTo(const CIrcMessage& message, std::ostream* pOut) {
    *pOut << "{prefix " << (message.m_prefix ? "'" + *message.m_prefix + "'" : "none")
          << ", command '" << message.m_strCommand << "', params";
    for (const std::string& strParam : message.m_params) {
        *pOut << " '" << strParam << "'";
    }
    *pOut << (message.m_bTrailing ? ", trailing}" : "}");
}

TEST(IrcMessage, decodesPrefixCommandMiddlesAndTheTrailingParameterWhole) {
    const std::string strFifteen = ":s 005 a b c d e f g h i j k l m n o p :q r";
    struct Case {
        std::string strLine;
        CIrcMessage expected;
    } cases[] = {
        {":ann1!u@h PRIVMSG #Chan :hello  there ",
         Message("ann1!u@h", "PRIVMSG", {"#Chan", "hello  there "}, true)},
        {":kim0!u@h JOIN :#Chan", Message("kim0!u@h", "JOIN", {"#Chan"}, true)},
        {"  :s   353  kim0 = #Chan :@kim0 +ann1",
         Message("s", "353", {"kim0", "=", "#Chan", "@kim0 +ann1"}, true)},
        {":a PRIVMSG #c ::-)  x", Message("a", "PRIVMSG", {"#c", ":-)  x"}, true)},
        {":a PRIVMSG #c :", Message("a", "PRIVMSG", {"#c", ""}, true)},
        {":a PRIVMSG #c a:b c ", Message("a", "PRIVMSG", {"#c", "a:b", "c"}, false)},
        {"PING :irc.local", Message(std::nullopt, "PING", {"irc.local"}, true)},
        {"ERROR", Message(std::nullopt, "ERROR", {}, false)},
        {": NICK kim0", Message("", "NICK", {"kim0"}, false)},
        {":only", Message("only", "", {}, false)},
        {"", Message(std::nullopt, "", {}, false)},
        {":a NICK :a\rb\x01", Message("a", "NICK", {"a\rb\x01"}, true)},
        // Past the cap the last parameter is the rest of the line, blanks and ":" kept.
        {strFifteen,
         Message("s", "005",
                 {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o p :q r"},
                 true)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CIrcMessage::Decode(c.strLine), c.expected) << c.strLine;
    }
    const CIrcMessage message = CIrcMessage::Decode(":ann1!u@h privMsg #c :x");
    EXPECT_TRUE(message.IsCommand("PRIVMSG"));
    EXPECT_FALSE(message.IsCommand("PRIVMS"));
    EXPECT_EQ(message.Nick(), "ann1");
    EXPECT_EQ(message.Param(1), "x");
    EXPECT_EQ(message.Param(2), "");
    EXPECT_EQ(message.Numeric(), std::nullopt);
    EXPECT_EQ(CIrcMessage::Decode(":s 001 kim0 :hi").Numeric(), 1);
    for (const char* psz : {":s 01 k", ":s 0001 k", ":s +01 k", ":s 4a1 k"}) {
        EXPECT_EQ(CIrcMessage::Decode(psz).Numeric(), std::nullopt) << psz;
    }
    EXPECT_EQ(CIrcMessage::Decode("PING x").Nick(), "");
}

TEST(IrcCommands, writeEveryLineAsBeforeAndKeepEachValueOnIt) {
    const std::string strCr = "a\rQUIT :x\n";
    struct Case {
        std::string strLine;
        const char* pszExpected;
    } cases[] = {
        {PassLine(), ": PASS *"},
        {NickLine("kim0"), ": NICK kim0"},
        {NickLine("a\rQUI1"), ": NICK aQUI1"},
        {UserLine("kim0"), ": USER guest 8 * :kim0"},
        {JoinLine("#Chan", "marigold"), ": JOIN #Chan marigold"},
        {JoinLine(strCr, strCr), ": JOIN aQUIT :x aQUIT :x"},
        {SecretModeLine("#Chan"), ": MODE #Chan +s"},
        {KeyModeLine("#Chan", "marigold"), ": MODE #Chan +k marigold"},
        {TopicLine("#Chan", "Gazette - Wow! 50%"), ": TOPIC #Chan :Gazette - Wow! 50%"},
        {TopicLine("#Chan", strCr), ": TOPIC #Chan :aQUIT :x"},
        {PartLine("#Chan"), ": PART #Chan"},
        {PartLine(strCr), ": PART aQUIT :x"},
        {PongLine(CIrcMessage::Decode("PING :irc.local")), "PONG :irc.local\r\n"},
        {PongLine(CIrcMessage::Decode(":s PING a :b\rc")), "PONG a :bc\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.strLine, c.pszExpected);
    }
    EXPECT_EQ(PrivmsgLines("#c\r", "hi\nthere"), std::vector<std::string>{": PRIVMSG #c :hithere"});
    EXPECT_EQ(PongFor("ping x"), "PONG x\r\n");
}
