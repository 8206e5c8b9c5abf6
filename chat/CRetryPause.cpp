#include "chat/CRetryPause.h"

#include <algorithm>

CRetryPause::Ms CRetryPause::Next(double fRandom) {
    const Ms step = std::min(m_step, m_longest);
    const double fCut = std::clamp(fRandom, 0.0, 1.0) * 0.25;
    m_step = std::min(step * 2, m_longest);
    return std::max(Ms(1),
                    Ms(static_cast<Ms::rep>(static_cast<double>(step.count()) * (1 - fCut))));
}
