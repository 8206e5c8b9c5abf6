#pragma once

// The tray menu (resource 130): popup 0 while a user is logged in, popup 1 otherwise.
// Each action carries its command id as data.

#include <QMenu>

#include <memory>

constexpr int ID_QUIT = 32774;
constexpr int ID_UPDATE_NEWS = 32775;
constexpr int ID_REVIEW_PAST_NEWS = 32776;
constexpr int ID_PREFS = 32778;
constexpr int ID_SIGN_IN_NEW_USER = 32779;
constexpr int ID_ABOUT = 32780;

std::unique_ptr<QMenu> BuildTrayPopup(int nPopup);

// The command id of an action from BuildTrayPopup, or 0 for none.
int TrayCommandOf(const QAction* pAction);
