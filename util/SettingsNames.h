#pragma once

// The names under which the settings store and the application directory keep things, in
// one place: a typo in a name would silently read the default. Defaults stay with the
// code that reads each value.

// Sections: the desktop user's, and the logged-in user's (prefix + user name).
constexpr const char* SECTION_PREFS = "Prefs";
constexpr const char* SECTION_USER_PREFIX = "Prefs-";

// Entries of SECTION_PREFS.
constexpr const char* KEY_APP_DIR = "AppDir";
constexpr const char* KEY_USERNAME = "username";
constexpr const char* KEY_PASSWORD = "password";
constexpr const char* KEY_AUTOLOGIN = "autologin";
constexpr const char* KEY_HAS_FIREWALL = "has_firewall";
constexpr const char* KEY_SOUND_ON = "sound_on";
constexpr const char* KEY_DO_NOT_BOTHER_ME = "do_not_bother_me";

// Entries of the user section.
constexpr const char* KEY_CHECK_TIME = "check_time";
constexpr const char* KEY_NEWS_FONT = "news_font";
constexpr const char* KEY_NEWS_FONTSIZE = "news_fontsize";
constexpr const char* KEY_NEWS_BG_COLOR = "news_bg_color";
constexpr const char* KEY_NEWS_HEADLINE_COLOR = "news_headline_color";
constexpr const char* KEY_NEWS_SOURCE_COLOR = "news_source_color";
constexpr const char* KEY_NEWS_DATE_COLOR = "news_date_color";
// Window places: prefix + "x", "y", "cx", "cy".
constexpr const char* PLACE_NEWS = "news_";
constexpr const char* PLACE_PAST_NEWS = "past_news_";
constexpr const char* PLACE_CHAT = "irc_";

// The catalogue of news sources in the application directory, shared by every user.
constexpr const char* CATALOGUE_FILE = "in_feeds.txt";
