#include "chat/CIrcMessage.h"

#include <algorithm>

namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

void SkipBlanks(std::string_view& rest) {
    const size_t nFirst = rest.find_first_not_of(' ');
    rest.remove_prefix(nFirst == std::string_view::npos ? rest.size() : nFirst);
}

// The next blank-free token, taken off the front of rest.
std::string_view TakeToken(std::string_view& rest) {
    const size_t nEnd = std::min(rest.find(' '), rest.size());
    const std::string_view token = rest.substr(0, nEnd);
    rest.remove_prefix(nEnd);
    return token;
}

}  // namespace

CIrcMessage CIrcMessage::Decode(std::string_view strLine) {
    CIrcMessage message;
    std::string_view rest = strLine;
    SkipBlanks(rest);
    if (!rest.empty() && rest.front() == ':') {
        rest.remove_prefix(1);
        message.m_prefix = std::string(TakeToken(rest));
        SkipBlanks(rest);
    }
    message.m_strCommand = TakeToken(rest);
    for (SkipBlanks(rest); !rest.empty(); SkipBlanks(rest)) {
        const bool bColon = rest.front() == ':';
        if (bColon || message.m_params.size() + 1 == MAX_PARAMS) {
            message.m_params.emplace_back(rest.substr(bColon ? 1 : 0));
            message.m_bTrailing = true;
            break;
        }
        message.m_params.emplace_back(TakeToken(rest));
    }
    return message;
}

const std::string& CIrcMessage::Param(size_t n) const {
    static const std::string strNone;
    return n < m_params.size() ? m_params[n] : strNone;
}

bool CIrcMessage::IsCommand(std::string_view strCommand) const {
    return std::equal(m_strCommand.begin(), m_strCommand.end(), strCommand.begin(),
                      strCommand.end(),
                      [](char a, char b) { return AsciiUpper(a) == AsciiUpper(b); });
}

std::optional<int> CIrcMessage::Numeric() const {
    if (m_strCommand.size() != 3 ||
        m_strCommand.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return (m_strCommand[0] - '0') * 100 + (m_strCommand[1] - '0') * 10 + (m_strCommand[2] - '0');
}

std::string CIrcMessage::Nick() const {
    return m_prefix ? m_prefix->substr(0, m_prefix->find('!')) : std::string();
}
