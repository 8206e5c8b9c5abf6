#pragma once

// Who logged in recently and from where: the peer list sent with every log-in answer.
// Kept in memory only; a restarted service starts with an empty list, and clients fill
// it again as they log in. Safe to use from any thread.

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

class CPeerRegistry final {
public:
    // A monotonic clock: a stepped wall clock neither revives nor drops entries.
    using Clock = std::chrono::steady_clock;

    // Entries older than window are forgotten; at most nMaxPeers are listed.
    CPeerRegistry(std::chrono::seconds window, size_t nMaxPeers);

    // Records a successful log-in. Addresses that are not dotted IPv4 are ignored: the
    // client can only use those.
    void Record(const std::string& strAddress, const std::string& strUser, Clock::time_point now);

    // Distinct addresses seen within the window, newest first, without strOwnAddress.
    std::vector<std::string> Recent(const std::string& strOwnAddress, Clock::time_point now);

private:
    struct CEntry {
        std::string strAddress;
        std::string strUser;
        Clock::time_point time;
    };

    void PruneLocked(Clock::time_point now);

    std::mutex m_mutex;
    // Newest first; one entry per address.
    std::vector<CEntry> m_arrEntries;
    std::chrono::seconds m_window;
    size_t m_nMaxPeers;
};
