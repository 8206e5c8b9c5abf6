#include "peer/CSeenEvents.h"

std::optional<int64_t> ParseTimestamp(std::string_view strTimestamp) {
    // Twelve digits reach far past any clock, and never overflow.
    if (strTimestamp.empty() || strTimestamp.size() > 12) {
        return std::nullopt;
    }
    int64_t nValue = 0;
    for (const char c : strTimestamp) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        nValue = nValue * 10 + (c - '0');
    }
    return nValue;
}

CSeenEvents::EVerdict CSeenEvents::Admit(const std::string& strId, std::string_view strTimestamp,
                                         int64_t nNow) {
    if (strId.empty() || strId.size() > MAX_ID_LENGTH) {
        return EVerdict::BadId;
    }
    if (HasSeen(strId)) {
        return EVerdict::Seen;
    }
    const std::optional<int64_t> nTimestamp = ParseTimestamp(strTimestamp);
    if (!nTimestamp) {
        return EVerdict::BadTimestamp;
    }
    if (*nTimestamp < nNow - MAX_AGE_S || *nTimestamp <= m_nFloor) {
        return EVerdict::TooOld;
    }
    if (*nTimestamp > nNow + FUTURE_SLACK_S) {
        return EVerdict::InFuture;
    }
    Remember(strId, *nTimestamp, nNow);
    return EVerdict::New;
}

void CSeenEvents::RememberOwn(const std::string& strId, std::string_view strTimestamp,
                              int64_t nNow) {
    if (!HasSeen(strId)) {
        Remember(strId, ParseTimestamp(strTimestamp).value_or(nNow), nNow);
    }
}

void CSeenEvents::Remember(const std::string& strId, int64_t nTimestamp, int64_t nNow) {
    // Ids whose events are too old to be taken again need no memory.
    while (!m_byTime.empty() && m_byTime.begin()->first < nNow - MAX_AGE_S) {
        m_ids.erase(std::string(m_byTime.begin()->second));
        m_byTime.erase(m_byTime.begin());
    }
    const auto [it, bInserted] = m_ids.insert(strId);
    if (!bInserted) {
        return;
    }
    m_byTime.emplace(nTimestamp, *it);
    while (m_ids.size() > MAX_IDS) {
        const auto oldest = m_byTime.begin();
        m_nFloor = std::max(m_nFloor, oldest->first);
        m_ids.erase(std::string(oldest->second));
        m_byTime.erase(oldest);
    }
}
