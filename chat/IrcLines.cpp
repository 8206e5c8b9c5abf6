#include "chat/IrcLines.h"

#include <algorithm>

namespace {

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
