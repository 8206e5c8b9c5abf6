#pragma once

// Every value the program keeps in the settings store, declared once with its section, key
// and default, and read and written with one call: call sites cannot disagree on a default
// or mistype a key. Desktop values live in the section "Prefs" whoever logs in; user values
// in the logged-in user's section (SECTION_USER_PREFIX + name, "Prefs" before the first
// log-in), which the caller passes. Integers are clamped to their range where they are read.
// Safe to call from any thread.

#include "util/SettingsNames.h"

#include <climits>
#include <string>

struct CIntSetting {
    // Null: the user's section, given at each call.
    const char* pszSection;
    const char* pszKey;
    int nDefault;
    int nMin = INT_MIN;
    int nMax = INT_MAX;
};

struct CStringSetting {
    const char* pszSection;
    const char* pszKey;
    const char* pszDefault;
};

// Desktop values. Flags count as set when not 0, as they always did.
inline constexpr CStringSetting SETTING_APP_DIR{SECTION_PREFS, "AppDir", ""};
inline constexpr CStringSetting SETTING_USERNAME{SECTION_PREFS, "username", ""};
inline constexpr CStringSetting SETTING_PASSWORD{SECTION_PREFS, "password", ""};
// One stored value, two defaults on purpose: a first start ticks the form's "Auto login"
// box, but only a stored decision logs in by itself (at start-up and on the retry timer).
inline constexpr CIntSetting SETTING_AUTOLOGIN_BOX{SECTION_PREFS, "autologin", 1};
inline constexpr CIntSetting SETTING_AUTOLOGIN{SECTION_PREFS, "autologin", 0};
inline constexpr CIntSetting SETTING_HAS_FIREWALL{SECTION_PREFS, "has_firewall", 0};
inline constexpr CIntSetting SETTING_SOUND_ON{SECTION_PREFS, "sound_on", 1};
inline constexpr CIntSetting SETTING_DO_NOT_BOTHER_ME{SECTION_PREFS, "do_not_bother_me", 0};
// The IRC servers, "host[:port]" separated by commas, taken in turn when one is lost or
// refuses; empty: the built-in server.
inline constexpr CStringSetting SETTING_IRC_SERVERS{SECTION_PREFS, "irc_servers", ""};
// The service's address, "host[:port]" or "https://host[:port]"; empty: the built-in one
// (util/Config.h, where VOCALON_SERVICE_HOST overrides it).
inline constexpr CStringSetting SETTING_SERVICE_HOST{SECTION_PREFS, "service_host", ""};
// Set while the password lives in the desktop's keyring instead of SETTING_PASSWORD.
inline constexpr CIntSetting SETTING_PASSWORD_IN_KEYRING{SECTION_PREFS, "password_in_keyring", 0};
// Invitations as desktop notifications rather than alerts; where windows cannot be placed
// (Wayland) they always are.
inline constexpr CIntSetting SETTING_ALERT_NOTIFICATION{SECTION_PREFS, "alert_notification", 0};

// User values: the news window's check period and display.
inline constexpr CIntSetting SETTING_CHECK_TIME{nullptr, "check_time", 5, 1, 99};
inline constexpr CStringSetting SETTING_NEWS_FONT{nullptr, "news_font", "Times New Roman"};
inline constexpr CIntSetting SETTING_NEWS_FONTSIZE{nullptr, "news_fontsize", 14, 1, 500};
// Colours as 0x00BBGGRR.
inline constexpr CIntSetting SETTING_NEWS_BG_COLOR{nullptr, "news_bg_color", 16777215};
inline constexpr CIntSetting SETTING_NEWS_HEADLINE_COLOR{nullptr, "news_headline_color", 16711680};
inline constexpr CIntSetting SETTING_NEWS_SOURCE_COLOR{nullptr, "news_source_color", 255};
inline constexpr CIntSetting SETTING_NEWS_DATE_COLOR{nullptr, "news_date_color", 0};
// A notification with the count and the first headline when a check brings news.
inline constexpr CIntSetting SETTING_NEWS_NOTIFY{nullptr, "news_notify", 1};

// User values: the chat connections. A lost connection comes back by itself; TLS (off by
// default, as the built-in server speaks plain text) uses its own port for servers named
// without one.
inline constexpr CIntSetting SETTING_IRC_RECONNECT{nullptr, "irc_reconnect", 1};
inline constexpr CIntSetting SETTING_IRC_TLS{nullptr, "irc_tls", 0};
inline constexpr CIntSetting SETTING_IRC_TLS_PORT{nullptr, "irc_tls_port", 6697, 1, 65535};

// User values: the chat windows. "HH:MM" before each line of the pane; a tray notification
// when a message names the user while the room's window is in the background.
inline constexpr CIntSetting SETTING_CHAT_TIMESTAMPS{nullptr, "chat_timestamps", 0, 0, 1};
inline constexpr CIntSetting SETTING_CHAT_NOTIFY{nullptr, "chat_notify", 1, 0, 1};

int ReadSetting(const CIntSetting& setting, const std::string& strUserSection = {});
std::string ReadSetting(const CStringSetting& setting, const std::string& strUserSection = {});
// An integer setting read as a yes or no.
bool ReadFlag(const CIntSetting& setting, const std::string& strUserSection = {});
bool WriteSetting(const CIntSetting& setting, int nValue, const std::string& strUserSection = {});
bool WriteSetting(const CStringSetting& setting, const std::string& strValue,
                  const std::string& strUserSection = {});
// Takes the value out of the store: it reads as its default again.
bool RemoveSetting(const CStringSetting& setting, const std::string& strUserSection = {});
