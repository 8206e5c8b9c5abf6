#include "platform/CTimerSet.h"

#include <QTimer>

CTimerSet::CTimerSet(std::function<void(int)> onTimer) : m_onTimer(std::move(onTimer)) {}

CTimerSet::~CTimerSet() = default;

void CTimerSet::SetTimer(int nIDEvent, int nElapseMs) {
    std::unique_ptr<QTimer>& pTimer = m_timers[nIDEvent];
    if (!pTimer) {
        pTimer = std::make_unique<QTimer>();
        QObject::connect(pTimer.get(), &QTimer::timeout, [this, nIDEvent] { m_onTimer(nIDEvent); });
    }
    pTimer->start(nElapseMs);
}

void CTimerSet::KillTimer(int nIDEvent) {
    auto it = m_timers.find(nIDEvent);
    if (it != m_timers.end()) {
        it->second->stop();
    }
}

bool CTimerSet::IsActive(int nIDEvent) const {
    auto it = m_timers.find(nIDEvent);
    return it != m_timers.end() && it->second->isActive();
}

int CTimerSet::Interval(int nIDEvent) const {
    auto it = m_timers.find(nIDEvent);
    return it == m_timers.end() ? 0 : it->second->interval();
}
