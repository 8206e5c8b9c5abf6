#pragma once

// The pause before a lost connection is tried again: it starts at the first pause and
// doubles with each failure up to the longest, and each pause is drawn at random from the
// upper quarter of its step ([3/4, 1] of it), so clients that lost one server together do
// not all come back in the same instant. A plain value.

#include <chrono>

class CRetryPause {
public:
    using Ms = std::chrono::milliseconds;

    CRetryPause(Ms first, Ms longest) : m_first(first), m_longest(longest), m_step(first) {}

    // The pause before the next attempt, and the step doubles; fRandom in [0, 1) picks
    // where in its quarter it falls (0: the full step).
    Ms Next(double fRandom);
    // A connection that held: the next pause is the first again.
    void Reset() { m_step = m_first; }
    // The step the next pause is drawn from.
    Ms Step() const { return m_step; }

private:
    Ms m_first;
    Ms m_longest;
    Ms m_step;
};
