#pragma once

// What the main window (the login window) offers the rest of the program. Windows and
// protocol code of other subsystems reach it through MainWnd(), read the members below
// and call the operations; the login window implements them. Qt Core only, so protocol
// code can call the hub without linking widgets. Window thread only.

#include "hub/CChatRequest.h"
#include "util/SettingsNames.h"

#include <QPoint>

#include <string>

// The session's connections, owned by the main window once chat and peers are built.
class CIrcClient;
class CPeerNet;
class CChatEvent;
class CChatDlg;

class CMainWindow {
public:
    virtual ~CMainWindow() = default;

    // Ends the process.
    virtual void Quit() = 0;
    // Opens the preferences sheet (or raises it when it is open).
    virtual void OpenPrefs() = 0;
    // What a left click on the tray icon does.
    virtual void ShowMain() = 0;
    // Opens or raises the chat window of a request's record (CChatRequest::Record).
    virtual void OpenChatRequest(const std::string& strRequest) = 0;
    // Pops up the tray menu at a screen position; the chosen command runs later.
    virtual void ShowTrayMenu(const QPoint& ptScreen) = 0;
    // Move a chat window to the user's own IRC client (to take part), or back to the
    // guest's (to watch); the window has already left its channel on the old one.
    virtual void MoveChatToUser(CChatDlg* pDlg) = 0;
    virtual void MoveChatToGuest(CChatDlg* pDlg) = 0;
    // Hands an event made here (a chat invitation) to the peer network.
    virtual void BroadcastEvent(const CChatEvent& event) = 0;
    // What a click on an alert does: a "NEWS" event shows the main window, any other the
    // chat room the event names.
    virtual void AlertClicked(const CChatEvent& event) = 0;

    // The user and password of the form, as last read.
    virtual std::string UserName() const = 0;
    virtual std::string Password() const = 0;

    // The settings section of the logged-in user: "Prefs" until the first login.
    std::string m_strSection = SECTION_PREFS;
    // Chat route for users behind a firewall, from the login answer.
    std::string m_strFirewallRoute;
    // Set while a user is logged in (the news window exists).
    bool m_bSession = false;
};

// The main window of the process; null before it exists and after it is gone.
CMainWindow* MainWnd();
void SetMainWnd(CMainWindow* pMainWnd);

// The user of the main window's form; empty without a main window.
std::string CurrentUser();
// The settings section for the user's display and window places: the main window's
// user section, else "Prefs".
std::string UserSection();
