#pragma once

// What the windows of every subsystem may ask of the program around them: the hub. The
// session (app/) implements it and registers itself with SetMainWnd; windows reach it
// through MainWnd(). Code without widgets never calls it: it is given what it needs by
// whoever builds it. Qt Core only. Window thread only.

#include "hub/CChatRequest.h"

#include <QPoint>

#include <functional>
#include <string>

class CMainWindow {
public:
    virtual ~CMainWindow() = default;

    // Ends the process.
    virtual void Quit() = 0;
    // Opens the preferences sheet (or raises it when it is open).
    virtual void OpenPrefs() = 0;
    // What a left click on the tray icon does: the news window while a user is logged in,
    // the login form otherwise.
    virtual void ShowMain() = 0;
    // Opens or raises the chat window of a request's record (CChatRequest::Record).
    virtual void OpenChatRequest(const std::string& strRequest) = 0;
    // Pops up the tray menu at a screen position; the chosen command runs later.
    virtual void ShowTrayMenu(const QPoint& ptScreen) = 0;
    // A desktop notification whose click runs fnOnClick (unless a later one replaced it).
    virtual void Notify(const std::string& strText, std::function<void()> fnOnClick) = 0;

    // The logged-in user's name and password, as last logged in with.
    virtual std::string UserName() const = 0;
    virtual std::string Password() const = 0;
    // The settings section of the logged-in user: "Prefs" until the first login.
    virtual std::string Section() const = 0;
    // Whether a user is logged in (the news window exists).
    virtual bool InSession() const = 0;
};

// The main window of the process; null before it exists and after it is gone.
CMainWindow* MainWnd();
void SetMainWnd(CMainWindow* pMainWnd);

// The logged-in user; empty without a main window.
std::string CurrentUser();
// The settings section for the user's display and window places: the main window's
// user section, else "Prefs".
std::string UserSection();
