#include "CPeerRegistry.h"

#include "ServiceText.h"

#include <algorithm>

namespace {

// Bounds memory when many distinct addresses log in within one window; far more than
// the list ever shows.
constexpr size_t kMaxRemembered = 4096;

}  // namespace

CPeerRegistry::CPeerRegistry(std::chrono::seconds window, size_t nMaxPeers)
    : m_window(window), m_nMaxPeers(nMaxPeers) {}

void CPeerRegistry::Record(const std::string& strAddress, const std::string& strUser,
                           Clock::time_point now) {
    std::string strDotted = DottedIPv4(strAddress);
    if (strDotted.empty()) {
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    std::erase_if(m_arrEntries, [&](const CEntry& entry) { return entry.strAddress == strDotted; });
    m_arrEntries.insert(m_arrEntries.begin(), CEntry{strDotted, strUser, now});
    PruneLocked(now);
    if (m_arrEntries.size() > kMaxRemembered) {
        m_arrEntries.resize(kMaxRemembered);
    }
}

std::vector<std::string> CPeerRegistry::Recent(const std::string& strOwnAddress,
                                               Clock::time_point now) {
    std::string strOwn = DottedIPv4(strOwnAddress);
    std::vector<std::string> arrPeers;
    std::lock_guard<std::mutex> lock(m_mutex);
    PruneLocked(now);
    for (const CEntry& entry : m_arrEntries) {
        if (arrPeers.size() >= m_nMaxPeers) {
            break;
        }
        if (entry.strAddress != strOwn) {
            arrPeers.push_back(entry.strAddress);
        }
    }
    return arrPeers;
}

void CPeerRegistry::PruneLocked(Clock::time_point now) {
    // Entries are newest first, so the stale ones form the tail.
    auto itStale = std::find_if(m_arrEntries.begin(), m_arrEntries.end(),
                                [&](const CEntry& entry) { return now - entry.time > m_window; });
    m_arrEntries.erase(itStale, m_arrEntries.end());
}
