#pragma once

// The pop-up that tells of a chat invitation from the peer network: a small pink window at
// the bottom right of the screen, on top of the others but never taking the focus. It
// closes itself 10 seconds after it was made or after the mouse last left it, stays while
// the mouse is on it, and a click hands its event to the main window. It deletes itself
// when it closes. Where windows cannot be placed (Wayland), or when the user asks for it,
// an invitation shows instead as a desktop notification with the same text and an "Open
// room" action that does what the click does; it takes an alert's place while it is open.
// Invitations pass through one inbox for the whole process (CInvitationInbox): those that
// find every place taken wait there, and show as alerts close. Window thread only.

#include "peer/CChatEvent.h"
#include "platform/CTimerSet.h"
#include "ui/CInvitationInbox.h"

#include <QDialog>

#include <chrono>
#include <functional>
#include <string>

class CAlertWnd final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CAlertWnd)

public:
    static constexpr int CLOSE_PERIOD_MS = 10000;
    // Invitations beyond these wait: a flood from peers must not bury the desktop.
    static constexpr int MAX_OPEN = 3;
    static constexpr std::chrono::seconds INVITER_QUIET_TIME = CInvitationInbox::QUIET_TIME;

    // Not shown yet; the close timer runs from here.
    CAlertWnd();
    ~CAlertWnd() override;

    void SetText(const std::string& strText);
    // Keeps its own copy, made through the event's text form.
    void SetEvent(const CChatEvent& event);

    const std::string& Text() const { return m_text; }
    const CChatEvent& Event() const { return m_event; }
    bool IsHovered() const { return m_bHover; }

    // Takes a new "CHAT" event relayed by strSource into the inbox and shows what waits
    // there while fewer than MAX_OPEN alerts are open. An alert reads "Chat Event from "
    // inviter "!\n\n" title (absent params are empty), lies at the bottom right of the
    // primary screen, and sounds when sound is on. Returns this event's alert, or null
    // when it waits or was a repeat (the same inviter and channel within the quiet time).
    static CAlertWnd* ShowInvitation(const CChatEvent& event, const std::string& strSource = {});
    // Whether invitations go to desktop notifications (where a notification service
    // answers; alerts otherwise): where alerts cannot be placed (WindowsCanBePlaced), or
    // when SETTING_ALERT_NOTIFICATION is set.
    static bool NotifiesInvitations();
    // Whether the event's invitation is open as a desktop notification.
    static bool IsNotified(const std::string& strEventId);
    // Shows waiting invitations while places are free, and returns the last alert shown;
    // runs by itself as alerts close.
    static CAlertWnd* ShowWaiting();
    // The invitations of the process: waiting, and the recent ones for the tray menu.
    static CInvitationInbox& Inbox();
    // What a click on any alert does with its event; set by whoever shows invitations
    // (the session), cleared with an empty function.
    static void SetClickHandler(std::function<void(const CChatEvent&)> fnOnClick);

    // For tests: the close period of alerts made from now on, and a jump of the clock
    // that the quiet time reads.
    static void SetClosePeriod(int nMs);
    static void AdvanceClock(std::chrono::milliseconds duration);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;
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
