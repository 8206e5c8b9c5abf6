#include "chat/IrcLines.h"

#include <algorithm>

namespace {

// Room left in a 512-byte line for the prefix a server puts before a relayed message
// (":" nick "!" user "@" host " "), which the client cannot see.
constexpr size_t kRelayPrefixReserve = 120;
constexpr size_t kMaxLine = 512;
constexpr size_t kMaxChannel = 200;

}  // namespace

void CIrcLineReader::Append(std::string_view bytes) {
    // Handed-out bytes go once they are the larger part, so the buffer stays linear.
    if (m_nStart > 0 && m_nStart >= m_strBuffer.size() / 2) {
        m_strBuffer.erase(0, m_nStart);
        m_nStart = 0;
    }
    m_strBuffer.append(bytes);
}

CIrcLineReader::EStatus CIrcLineReader::Next(std::string& strLine) {
    for (;;) {
        if (m_bReportDrop) {
            m_bReportDrop = false;
            return EStatus::Bad;
        }
        const size_t nEnd = m_strBuffer.find('\n', m_nStart + m_nScanned);
        if (nEnd == std::string::npos) {
            m_nScanned = m_strBuffer.size() - m_nStart;
            if (m_nScanned > MAX_IRC_LINE) {
                // Too long to be a line: what came so far goes, and the rest up to its LF.
                m_strBuffer.resize(m_nStart);
                m_nScanned = 0;
                m_bReportDrop = !m_bDropping;
                m_bDropping = true;
                continue;
            }
            return EStatus::Incomplete;
        }
        size_t nLineEnd = nEnd;
        if (nLineEnd > m_nStart && m_strBuffer[nLineEnd - 1] == '\r') {
            --nLineEnd;
        }
        const bool bDropped = m_bDropping;
        if (!bDropped) {
            strLine.assign(m_strBuffer, m_nStart, nLineEnd - m_nStart);
        }
        m_nStart = nEnd + 1;
        m_nScanned = 0;
        m_bDropping = false;
        if (!bDropped) {
            return EStatus::Complete;
        }
    }
}

std::optional<std::string> PongFor(std::string_view strLine) {
    std::string_view rest = strLine;
    auto skipBlanks = [&rest] {
        while (!rest.empty() && rest.front() == ' ') {
            rest.remove_prefix(1);
        }
    };
    skipBlanks();
    if (!rest.empty() && rest.front() == ':') {
        const size_t nBlank = rest.find(' ');
        rest = nBlank == std::string_view::npos ? std::string_view() : rest.substr(nBlank);
        skipBlanks();
    }
    const size_t nCommandEnd = std::min(rest.find(' '), rest.size());
    if (rest.substr(0, nCommandEnd) != "PING") {
        return std::nullopt;
    }
    return "PONG" + LineSafe(rest.substr(nCommandEnd)) + "\r\n";
}

std::string LineSafe(std::string_view strValue) {
    std::string strOut;
    strOut.reserve(strValue.size());
    for (char c : strValue) {
        if (c != '\r' && c != '\n' && c != '\0') {
            strOut += c;
        }
    }
    return strOut;
}

bool IsValidChannel(std::string_view strChannel) {
    if (strChannel.size() < 2 || strChannel.size() > kMaxChannel || strChannel.front() != '#') {
        return false;
    }
    return std::none_of(strChannel.begin(), strChannel.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x21 || u == 0x7F || c == ',';
    });
}

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
