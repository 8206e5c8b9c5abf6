#pragma once

// What the main window (the login window) offers the rest of the program. Windows of
// other subsystems reach it through MainWnd(), read the members below and call the
// operations; the login window implements them.

#include <QPoint>

#include <string>

class CMainWindow {
public:
    virtual ~CMainWindow() = default;

    // Ends the process.
    virtual void Quit() = 0;
    // Runs the preferences sheet.
    virtual void OpenPrefs() = 0;
    // What a left click on the tray icon does.
    virtual void ShowMain() = 0;
    // Opens or raises the chat window named by channel "!!" topic "!!" URL.
    virtual void OpenChatRequest(const std::string& strRequest) = 0;
    // Pops up the tray menu at a screen position and runs the chosen command.
    virtual void ShowTrayMenu(const QPoint& ptScreen) = 0;

    // The user and password of the form, as last read.
    virtual std::string UserName() const = 0;
    virtual std::string Password() const = 0;

    // The settings section of the logged-in user: "Prefs" until the first login.
    std::string m_strSection = "Prefs";
    // Chat route for users behind a firewall, from the login answer.
    std::string m_strFirewallRoute;
    // Set while a user is logged in (the news window exists).
    bool m_bSession = false;
};

// The main window of the process; null before it exists and after it is gone.
CMainWindow* MainWnd();
void SetMainWnd(CMainWindow* pMainWnd);
