#pragma once

// What becomes of the invitations the peer network brings, apart from their alerts. A
// repeat (the same inviter into the same channel within QUIET_TIME) is dropped. Every
// other one joins the MAX_RECENT newest, which the tray menu offers, and waits in a queue
// of at most MAX_WAITING until an alert can show it. When a list is full, the oldest entry
// of the source (the peer that relayed it) holding most of the list goes, so the newest is
// kept and one peer's flood cannot push out another peer's invitation. No widgets; window
// thread only.

#include "peer/CChatEvent.h"

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>

class CInvitationInbox {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr size_t MAX_WAITING = 10;
    static constexpr size_t MAX_RECENT = 10;
    static constexpr std::chrono::seconds QUIET_TIME{10};
    // Inviter and channel pairs remembered for the quiet time; past this the oldest go.
    static constexpr size_t MAX_QUIET_PAIRS = 4096;

    struct CEntry {
        CChatEvent event;
        std::string strSource;
    };

    // A new invitation relayed by strSource at now: false for a repeat, which is dropped;
    // otherwise it is recent and waiting.
    bool Take(const CChatEvent& event, const std::string& strSource, TimePoint now);
    // The oldest waiting invitation, taken out of the queue; none when nothing waits.
    std::optional<CChatEvent> NextWaiting();
    const std::deque<CEntry>& Waiting() const { return m_waiting; }
    // Oldest first.
    const std::deque<CEntry>& Recent() const { return m_recent; }
    void Clear();

private:
    std::deque<CEntry> m_waiting;
    std::deque<CEntry> m_recent;
    // The pairs of the last QUIET_TIME, oldest first, and the same as a set.
    std::deque<std::pair<TimePoint, std::string>> m_quietOrder;
    std::unordered_set<std::string> m_quietPairs;
};
