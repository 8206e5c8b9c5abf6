#pragma once

// The application's one notification-area icon (identifier 128), owned by the main window.
// Clicks reach the main window as UM_TRAY_NOTIFY with the icon id as wParam and the mouse
// message (WM_LBUTTONDOWN, WM_RBUTTONDOWN) as lParam. Tips are cut to 63 bytes; an empty
// tip means the default, TRAY_DEFAULT_TIP (the product's name and version). UI thread only.

#include "platform/AppEvent.h"

#include <QString>

#include <string>

constexpr int TRAY_ICON_ID = 128;

template <>
struct CAppMessage<UM_TRAY_NOTIFY> {
    using WParam = int;  // the icon's id
    using LParam = int;  // the mouse message
};
extern const char* const TRAY_DEFAULT_TIP;

bool TrayAdd();
bool TraySet(int nIconId, const std::string& strTip);
bool TrayRemove();

// Shows a notification beside the icon, where the desktop has a tray host; a click on it
// reaches the main window as UM_TRAY_NOTIFY with NIN_BALLOONUSERCLICK. False without one.
bool TrayNotify(const std::string& strTitle, const std::string& strText);
// A text as a notification shows it: never read as markup.
QString NotificationText(const std::string& strText);

// Whether the desktop has a tray host that shows the icon. Without one, TrayAdd shows
// the icon in a small window of its own that takes the same clicks, so the program can
// always be reached.
bool TrayAvailable();

// What the icon shows now; for diagnostics and tests.
struct CTrayState {
    bool bAdded = false;
    int nIconId = 0;
    std::string strTip;
    bool bStandIn = false;  // shown in a window of its own, for want of a tray host
    // Notifications asked for in this process, shown or not (no tray host), and the
    // text of the last one.
    int nNotifications = 0;
    std::string strLastNotification;
};
CTrayState TrayState();
