#pragma once

// What a chat window asks of the program that opened it: moving between the guest's and
// the user's connections, inviting others through the peer network, telling the desktop
// that someone named the user, and who the user is.
// The session implements it; a window without a host (tests, benchmarks) only watches.
// Window thread only.

#include <string>

class CChatDlg;
class CChatEvent;

class CChatHost {
public:
    virtual ~CChatHost() = default;
    // Move a chat window to the user's own connection (to take part), or back to the
    // guest's (to watch); the window has already left its channel on the old one.
    virtual void MoveChatToUser(CChatDlg* pDlg) = 0;
    virtual void MoveChatToGuest(CChatDlg* pDlg) = 0;
    // Hands an invitation made here to the peer network.
    virtual void BroadcastEvent(const CChatEvent& event) = 0;
    // A message in the window's room named the user while the window was in the
    // background: a desktop notification whose click brings the room forward. The host
    // limits how often these show; the text is made by MentionNotice.
    virtual void NotifyMention(CChatDlg* pDlg, const std::string& strText) = 0;
    // The logged-in user, who invites; the settings section that keeps window places.
    virtual std::string UserName() const = 0;
    virtual std::string Section() const = 0;
};
