#include "ui/CInvitationInbox.h"

#include <algorithm>
#include <map>

namespace {

// Drops the oldest entry of the source that holds most entries; on a tie, of the one
// whose oldest entry is oldest. The lists are short, so counting is cheap.
void DropFromBusiestSource(std::deque<CInvitationInbox::CEntry>& entries) {
    std::map<std::string, size_t> counts;
    for (const CInvitationInbox::CEntry& entry : entries) {
        ++counts[entry.strSource];
    }
    size_t nMost = 0;
    for (const auto& [strSource, nCount] : counts) {
        nMost = std::max(nMost, nCount);
    }
    const auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& entry) {
        return counts[entry.strSource] == nMost;
    });
    entries.erase(it);
}

void Append(std::deque<CInvitationInbox::CEntry>& entries, const CInvitationInbox::CEntry& entry,
            size_t nMax) {
    entries.push_back(entry);
    if (entries.size() > nMax) {
        DropFromBusiestSource(entries);
    }
}

}  // namespace

bool CInvitationInbox::Take(const CChatEvent& event, const std::string& strSource, TimePoint now) {
    while (!m_quietOrder.empty() && (now - m_quietOrder.front().first >= QUIET_TIME ||
                                     m_quietOrder.size() >= MAX_QUIET_PAIRS)) {
        m_quietPairs.erase(m_quietOrder.front().second);
        m_quietOrder.pop_front();
    }
    // The length prefix keeps every pair apart, whatever bytes the names hold.
    std::string strPair =
        std::to_string(event.Inviter().size()) + ":" + event.Inviter() + event.Channel();
    if (!m_quietPairs.insert(strPair).second) {
        return false;
    }
    m_quietOrder.emplace_back(now, std::move(strPair));
    const CEntry entry{event, strSource};
    Append(m_waiting, entry, MAX_WAITING);
    Append(m_recent, entry, MAX_RECENT);
    return true;
}

std::optional<CChatEvent> CInvitationInbox::NextWaiting() {
    if (m_waiting.empty()) {
        return std::nullopt;
    }
    CChatEvent event = std::move(m_waiting.front().event);
    m_waiting.pop_front();
    return event;
}

void CInvitationInbox::Clear() {
    m_waiting.clear();
    m_recent.clear();
    m_quietOrder.clear();
    m_quietPairs.clear();
}
