#include "peer/CPeerBackoff.h"

#include <algorithm>

bool CPeerBackoff::MayConnect(const std::string& strAddress, TimePoint now) const {
    const auto it = m_entries.find(strAddress);
    return it == m_entries.end() || now >= it->second.retryAt;
}

void CPeerBackoff::Failed(const std::string& strAddress, TimePoint now, bool bFresh) {
    auto it = m_entries.find(strAddress);
    // An entry quiet for long enough counts as new, as if it had been pruned already.
    if (it != m_entries.end() && (bFresh || now >= it->second.retryAt + MAX_PAUSE)) {
        m_entries.erase(it);
        it = m_entries.end();
    }
    if (it != m_entries.end()) {
        it->second.pause = std::min(it->second.pause * 2, std::chrono::seconds(MAX_PAUSE));
        it->second.retryAt = now + it->second.pause;
        return;
    }
    if (m_entries.size() >= MAX_ENTRIES) {
        Prune(now);
    }
    m_entries.emplace(strAddress, CEntry{FIRST_PAUSE, now + FIRST_PAUSE});
}

std::chrono::seconds CPeerBackoff::PauseOf(const std::string& strAddress) const {
    const auto it = m_entries.find(strAddress);
    return it == m_entries.end() ? std::chrono::seconds(0) : it->second.pause;
}

void CPeerBackoff::Prune(TimePoint now) {
    // Runs only when the table is full: one pass over at most MAX_ENTRIES entries.
    std::erase_if(m_entries,
                  [&](const auto& entry) { return now >= entry.second.retryAt + MAX_PAUSE; });
    if (m_entries.size() >= MAX_ENTRIES) {
        m_entries.erase(std::min_element(
            m_entries.begin(), m_entries.end(),
            [](const auto& a, const auto& b) { return a.second.retryAt < b.second.retryAt; }));
    }
}
