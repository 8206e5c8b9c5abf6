#pragma once

// Numbered timers of one window, after the fashion of SetTimer/KillTimer: every timer has
// a fixed id, is periodic until killed, and all of them report to one handler.

#include <QObject>

#include <functional>
#include <map>
#include <memory>

class QTimer;

// The timer ids of the program's windows.
constexpr int TIMER_NEWS_CHECK = 100;
constexpr int TIMER_TRAY_BLINK = 101;
constexpr int TIMER_ALERT_CLOSE = 102;
constexpr int TIMER_FLASH = 103;
constexpr int TIMER_PEER_REFRESH = 104;
constexpr int TIMER_LOGIN_RETRY = 105;
constexpr int TIMER_IRC_RECONNECT = 106;
constexpr int TIMER_IRC_SILENCE = 107;

class CTimerSet final {
public:
    explicit CTimerSet(std::function<void(int)> onTimer);
    ~CTimerSet();
    CTimerSet(const CTimerSet&) = delete;
    CTimerSet& operator=(const CTimerSet&) = delete;

    // (Re)starts the timer with a full period.
    void SetTimer(int nIDEvent, int nElapseMs);
    void KillTimer(int nIDEvent);
    bool IsActive(int nIDEvent) const;
    // The period the timer was last set with; 0 when it never was.
    int Interval(int nIDEvent) const;

private:
    std::function<void(int)> m_onTimer;
    std::map<int, std::unique_ptr<QTimer>> m_timers;
};
