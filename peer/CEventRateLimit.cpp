#include "peer/CEventRateLimit.h"

#include <algorithm>

CEventRateLimit::EVerdict CEventRateLimit::Take(TimePoint now) {
    // A clock that steps back refills nothing.
    const double dSeconds =
        std::chrono::duration<double>(std::max(now - m_last, TimePoint::duration::zero())).count();
    m_last = std::max(now, m_last);
    m_dTokens = std::min<double>(m_nBurst, m_dTokens + dSeconds * m_nRate);
    if (m_bFlooding && m_dTokens >= m_nBurst / 2.0) {
        m_bFlooding = false;
    }
    if (m_dTokens >= 1.0) {
        m_dTokens -= 1.0;
        return EVerdict::Take;
    }
    if (!m_bFlooding) {
        m_bFlooding = true;
        m_floodSince = now;
    }
    return now - m_floodSince >= FLOOD_TIME ? EVerdict::Disconnect : EVerdict::Drop;
}
