#pragma once

// The tray menu (resource 130): popup 0 while a user is logged in, popup 1 otherwise.
// Each action carries its command id as data.

#include <QMenu>
#include <QStringList>

#include <memory>
#include <string>

constexpr int ID_QUIT = 32774;
constexpr int ID_UPDATE_NEWS = 32775;
constexpr int ID_REVIEW_PAST_NEWS = 32776;
constexpr int ID_PREFS = 32778;
constexpr int ID_SIGN_IN_NEW_USER = 32779;
constexpr int ID_ABOUT = 32780;
// The entries of "Recent invitations": the first id, and as many as follow it.
constexpr int ID_RECENT_INVITATION = 32800;
constexpr int MAX_RECENT_INVITATIONS = 10;

// recentInvitations: the labels of the "Recent invitations" submenu, in order, at most
// MAX_RECENT_INVITATIONS of them; the submenu is greyed when it has none or nobody is
// logged in.
std::unique_ptr<QMenu> BuildTrayPopup(int nPopup, const QStringList& recentInvitations = {});

// The command id of an action from BuildTrayPopup, or 0 for none.
int TrayCommandOf(const QAction* pAction);
// The index of a recent invitation's command id, or -1 for another command.
int RecentInvitationIndexOf(int nID);

// The menu label of an invitation: inviter and title, cut short, with "&" shown as
// itself and control characters as blanks (both come from a peer).
QString InvitationMenuText(const std::string& strInviter, const std::string& strTitle);
