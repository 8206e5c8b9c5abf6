#pragma once

// Which events from peers are new: an event is taken once, and only while its time stamp
// lies within the acceptance window (at most MAX_AGE old, at most FUTURE_SLACK ahead of
// our clock), so a replayed old event is refused however many others came since. Ids are
// remembered as long as their event could be taken, at most MAX_IDS of them; when the cap
// forces out an id still inside the window, nothing at or before its time stamp is taken
// any more (the floor), so that id can never come back. A plain value; one thread.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

// The seconds since 1970 a time stamp names: 1 to 12 decimal digits and nothing else
// (no sign, no blanks); none otherwise.
std::optional<int64_t> ParseTimestamp(std::string_view strTimestamp);

class CSeenEvents {
public:
    static constexpr int64_t MAX_AGE_S = 10 * 60;
    static constexpr int64_t FUTURE_SLACK_S = 2 * 60;
    static constexpr size_t MAX_IDS = 10000;
    // Our own ids are 27 bytes; a longer one is refused rather than stored.
    static constexpr size_t MAX_ID_LENGTH = 64;

    enum class EVerdict {
        New,           // taken and remembered
        Seen,          // a duplicate
        BadId,         // empty or longer than MAX_ID_LENGTH
        BadTimestamp,  // missing or not a plain decimal number
        TooOld,        // older than MAX_AGE, or at or before the floor
        InFuture,      // more than FUTURE_SLACK ahead
    };
    // Judges an event from a peer at nNow (seconds since 1970); a new one is remembered.
    EVerdict Admit(const std::string& strId, std::string_view strTimestamp, int64_t nNow);
    // Remembers an event of our own, dated now when its time stamp is unusable.
    void RememberOwn(const std::string& strId, std::string_view strTimestamp, int64_t nNow);
    bool HasSeen(const std::string& strId) const { return m_ids.count(strId) != 0; }
    size_t Size() const { return m_ids.size(); }
    // Nothing at or before this time is taken; 0 until the cap first forced an id out.
    int64_t Floor() const { return m_nFloor; }

private:
    void Remember(const std::string& strId, int64_t nTimestamp, int64_t nNow);

    std::unordered_set<std::string> m_ids;
    // The same ids by time stamp; the views point into m_ids, whose elements never move.
    std::multimap<int64_t, std::string_view> m_byTime;
    int64_t m_nFloor = 0;
};
