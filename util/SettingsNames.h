#pragma once

// The names under which the settings store and the application directory keep things, in
// one place: a typo in a name would silently read the default. The values themselves, with
// their keys and defaults, are the table in util/Settings.h.

// Sections: the desktop user's, and the logged-in user's (prefix + user name).
constexpr const char* SECTION_PREFS = "Prefs";
constexpr const char* SECTION_USER_PREFIX = "Prefs-";

// Window places: prefix + "x", "y", "cx", "cy".
constexpr const char* PLACE_NEWS = "news_";
constexpr const char* PLACE_PAST_NEWS = "past_news_";
constexpr const char* PLACE_CHAT = "irc_";

// The catalogue of news sources in the application directory, shared by every user.
constexpr const char* CATALOGUE_FILE = "in_feeds.txt";
