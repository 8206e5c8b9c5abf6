#include "chat/IrcCommands.h"

#include "chat/IrcLines.h"

#include <algorithm>

namespace {

// Room left in a 512-byte line for the prefix a server puts before a relayed message
// (":" nick "!" user "@" host " "), which the client cannot see.
constexpr size_t kRelayPrefixReserve = 120;
constexpr size_t kMaxLine = 512;

}  // namespace

std::string PassLine() { return ": PASS *"; }

std::string NickLine(std::string_view strNick) { return ": NICK " + LineSafe(strNick); }

std::string UserLine(std::string_view strRealName) {
    return ": USER guest 8 * :" + LineSafe(strRealName);
}

std::string JoinLine(std::string_view strChannel, std::string_view strKey) {
    return ": JOIN " + LineSafe(strChannel) + " " + LineSafe(strKey);
}

std::string SecretModeLine(std::string_view strChannel) {
    return ": MODE " + LineSafe(strChannel) + " +s";
}

std::string KeyModeLine(std::string_view strChannel, std::string_view strKey) {
    return ": MODE " + LineSafe(strChannel) + " +k " + LineSafe(strKey);
}

std::string TopicLine(std::string_view strChannel, std::string_view strTopic) {
    return ": TOPIC " + LineSafe(strChannel) + " :" + LineSafe(strTopic);
}

std::string PingLine(std::string_view strToken) { return ": PING :" + LineSafe(strToken); }

std::string PartLine(std::string_view strChannel) { return ": PART " + LineSafe(strChannel); }

namespace {

// Bytes of text a line starting with strHead (and ending with nTail more bytes) may carry
// so that, relayed with a sender prefix, it stays within 512 bytes; 0 when none.
size_t TextRoom(const std::string& strHead, size_t nTail) {
    const size_t nFixed = strHead.size() + nTail + kRelayPrefixReserve + 2;
    // A channel too long to leave room for some text sends nothing (valid channels always
    // leave room).
    return nFixed + 4 > kMaxLine ? 0 : kMaxLine - nFixed;
}

// Where to cut strText at or before nPos + nRoom: back over at most three continuation
// bytes, so a character is never split.
size_t CutAt(const std::string& strText, size_t nPos, size_t nRoom) {
    size_t nCut = std::min(strText.size(), nPos + nRoom);
    for (size_t nBack = 0; nCut < strText.size() && nBack < 3 &&
                           (static_cast<unsigned char>(strText[nCut]) & 0xC0) == 0x80;
         ++nBack) {
        --nCut;
    }
    return nCut;
}

// strText cut into lines strHead + part + strTail, each within TextRoom.
std::vector<std::string> CutLines(const std::string& strHead, const std::string& strText,
                                  const std::string& strTail) {
    std::vector<std::string> lines;
    const size_t nRoom = TextRoom(strHead, strTail.size());
    if (nRoom == 0) {
        return lines;
    }
    for (size_t nPos = 0; nPos < strText.size();) {
        const size_t nCut = CutAt(strText, nPos, nRoom);
        lines.push_back(strHead + strText.substr(nPos, nCut - nPos) + strTail);
        nPos = nCut;
    }
    return lines;
}

}  // namespace

std::vector<std::string> PrivmsgLines(const std::string& strChannel, const std::string& strText) {
    return CutLines(": PRIVMSG " + LineSafe(strChannel) + " :", LineSafe(strText), "");
}

std::vector<std::string> ActionLines(const std::string& strChannel, const std::string& strText) {
    std::string strSafe = LineSafe(strText);
    strSafe.erase(std::remove(strSafe.begin(), strSafe.end(), '\x01'), strSafe.end());
    return CutLines(": PRIVMSG " + LineSafe(strChannel) +
                        " :\x01"
                        "ACTION ",
                    strSafe, "\x01");
}

std::string UserTopicLine(std::string_view strChannel, std::string_view strTopic) {
    const std::string strHead = ": TOPIC " + LineSafe(strChannel) + " :";
    const std::string strSafe = LineSafe(strTopic);
    return strHead + strSafe.substr(0, CutAt(strSafe, 0, TextRoom(strHead, 0)));
}

std::string PongLine(const CIrcMessage& ping) {
    std::string strLine = "PONG";
    for (size_t n = 0; n < ping.ParamCount(); ++n) {
        const bool bTrailing = ping.m_bTrailing && n + 1 == ping.ParamCount();
        strLine += bTrailing ? " :" : " ";
        strLine += LineSafe(ping.Param(n));
    }
    return strLine + "\r\n";
}

std::optional<std::string> PongFor(std::string_view strLine) {
    const CIrcMessage message = CIrcMessage::Decode(strLine);
    if (!message.IsCommand("PING")) {
        return std::nullopt;
    }
    return PongLine(message);
}
