#pragma once

// The pop-up that tells of a chat invitation from the peer network: a small pink window at
// the bottom right of the screen, on top of the others but never taking the focus. It
// closes itself 10 seconds after it was made or after the mouse last left it, stays while
// the mouse is on it, and a click hands its event to the main window. It deletes itself
// when it closes. Window thread only.

#include "peer/CChatEvent.h"
#include "platform/CTimerSet.h"

#include <QDialog>

#include <chrono>
#include <string>

class CAlertWnd final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CAlertWnd)

public:
    static constexpr int CLOSE_PERIOD_MS = 10000;
    // Invitations beyond these are dropped: a flood from peers must not bury the desktop.
    static constexpr int MAX_OPEN = 3;
    static constexpr std::chrono::seconds INVITER_QUIET_TIME{10};

    // Not shown yet; the close timer runs from here.
    CAlertWnd();
    ~CAlertWnd() override;

    void SetText(const std::string& strText);
    // Keeps its own copy, made through the event's text form.
    void SetEvent(const CChatEvent& event);

    const std::string& Text() const { return m_text; }
    const CChatEvent& Event() const { return m_event; }
    bool IsHovered() const { return m_bHover; }

    // Shows the alert for a new "CHAT" event: "Chat Event from " inviter "!\n\n" title
    // (absent params are empty), at the bottom right of the primary screen, with the alert
    // sound when sound is on. Returns null and shows nothing while MAX_OPEN alerts are
    // open, or when the same inviter had an alert less than INVITER_QUIET_TIME ago.
    static CAlertWnd* ShowInvitation(const CChatEvent& event);

    // For tests: the close period of alerts made from now on, and a jump of the clock
    // that the per-inviter limit reads.
    static void SetClosePeriod(int nMs);
    static void AdvanceClock(std::chrono::milliseconds duration);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void enterEvent(QEnterEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;

private:
    void OnTimer(int nIDEvent);
    void SetHover(bool bHover);
    void Destroy();

    bool m_bHover = false;
    std::string m_text = "Alert!";
    CChatEvent m_event;
    CTimerSet m_timers;
};
