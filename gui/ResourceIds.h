#pragma once

// Resource numbers that code outside the resource files refers to.

class QIcon;

constexpr int IDI_MAIN = 128;
constexpr int IDR_TASKBAR = 130;  // the tray menu
constexpr int IDI_UPDATING = 134;
constexpr int IDI_NEXT = 139;
constexpr int IDI_PREV = 140;
constexpr int IDI_SEND = 142;
constexpr int IDI_NEWS = 144;
constexpr int IDI_OFFLINE = 145;

constexpr int IDD_LOGIN = 102;
constexpr int IDD_NEWS = 133;
constexpr int IDD_CHAT = 140;
constexpr int IDD_ALERT = 141;
constexpr int IDD_FEEDS_PAGE = 142;
constexpr int IDD_NEWS_PAGE = 145;
constexpr int IDD_PAST_NEWS = 146;
constexpr int IDD_SIGNUP = 150;
constexpr int IDD_ABOUT = 151;
constexpr int IDD_NEW_VERSION = 152;

// The icon of a resource number; a null icon for numbers that name none.
QIcon LoadAppIcon(int nIconId);
