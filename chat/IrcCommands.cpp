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

std::vector<std::string> PrivmsgLines(const std::string& strChannel, const std::string& strText) {
    const std::string strHead = ": PRIVMSG " + LineSafe(strChannel) + " :";
    std::vector<std::string> lines;
    // A channel too long to leave room for text sends nothing (valid channels always do).
    if (strHead.size() + kRelayPrefixReserve + 2 + 4 > kMaxLine) {
        return lines;
    }
    const size_t nRoom = kMaxLine - kRelayPrefixReserve - strHead.size() - 2;
    const std::string strSafe = LineSafe(strText);
    for (size_t nPos = 0; nPos < strSafe.size();) {
        size_t nCut = std::min(strSafe.size(), nPos + nRoom);
        // Back over at most three continuation bytes, so a character is never split.
        for (size_t nBack = 0; nCut < strSafe.size() && nBack < 3 &&
                               (static_cast<unsigned char>(strSafe[nCut]) & 0xC0) == 0x80;
             ++nBack) {
            --nCut;
        }
        lines.push_back(strHead + strSafe.substr(nPos, nCut - nPos));
        nPos = nCut;
    }
    return lines;
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
