#pragma once

// How long to leave alone a peer address that closed on us, refused us or could not be
// reached: a pause per address that starts at FIRST_PAUSE and doubles with each failure up
// to MAX_PAUSE, so a full or hostile peer is asked rarely however often it is listed. An
// address is forgotten once it has stayed quiet for MAX_PAUSE past its pause; at most
// MAX_ENTRIES are kept (the one due soonest goes first). A plain value; one thread.

#include <chrono>
#include <string>
#include <unordered_map>

class CPeerBackoff {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::seconds FIRST_PAUSE{30};
    static constexpr std::chrono::seconds MAX_PAUSE{30 * 60};
    static constexpr size_t MAX_ENTRIES = 1024;

    // Whether an attempt to the address may start at now.
    bool MayConnect(const std::string& strAddress, TimePoint now) const;
    // The address failed us at now. bFresh: it had stayed connected a good while, so its
    // pause starts over from FIRST_PAUSE.
    void Failed(const std::string& strAddress, TimePoint now, bool bFresh = false);
    // The current pause of an address; zero when it has none.
    std::chrono::seconds PauseOf(const std::string& strAddress) const;
    size_t Size() const { return m_entries.size(); }

private:
    struct CEntry {
        std::chrono::seconds pause;
        TimePoint retryAt;
    };
    void Prune(TimePoint now);

    std::unordered_map<std::string, CEntry> m_entries;
};
