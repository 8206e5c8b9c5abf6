#pragma once

// A token bucket of events: nBurst at once, refilled at nRatePerSecond. Each peer
// connection has one with BURST and RATE_PER_SECOND for the events it hands us: ordinary
// relaying stays far below, as each event crosses a connection once and a burst of a few
// dozen (clients joining rooms at once) fits. Events over the rate are dropped; a peer that
// keeps the bucket from refilling to half for FLOOD_TIME is flooding and is to be
// disconnected. A plain value; one thread.

#include <chrono>

class CEventRateLimit {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr int BURST = 60;
    static constexpr int RATE_PER_SECOND = 20;
    static constexpr std::chrono::seconds FLOOD_TIME{5};

    enum class EVerdict { Take, Drop, Disconnect };

    explicit CEventRateLimit(TimePoint now, int nBurst = BURST,
                             int nRatePerSecond = RATE_PER_SECOND)
        : m_nBurst(nBurst), m_nRate(nRatePerSecond), m_dTokens(nBurst), m_last(now) {}
    // One event arrived at now.
    EVerdict Take(TimePoint now);
    // Whether events are being dropped at the moment.
    bool IsFlooding() const { return m_bFlooding; }

private:
    int m_nBurst;
    int m_nRate;
    double m_dTokens;
    TimePoint m_last;
    // Since when the bucket has not been back to half full; valid while flooding.
    TimePoint m_floodSince;
    bool m_bFlooding = false;
};
