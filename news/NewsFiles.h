#pragma once

// Names of the news files in the application directory, and the chat request that a
// headline leads to.

#include <string>

// The catalogue of sources, one per desktop.
extern const char* const CATALOGUE_FILE;  // "in_feeds.txt"

// The user's chosen sources and seen headlines: the user name as a plain prefix. Characters
// that would leave the application directory ('/', '\\', NUL) become '_'.
std::string ChosenSourcesFile(const std::string& strUser);
std::string SeenStoreFile(const std::string& strUser);

// Whether the user's chosen-sources file has a non-empty line.
bool HasChosenSources(const std::string& strUser);

// The chat channel of a headline: "#" and the headline without "&amp;", blanks, line
// breaks, ".,()':;", "&" and other control characters, cut to 25 bytes at a character
// boundary. Case, "!", "?", "-" and digits stay.
std::string ChannelNameOf(const std::string& strHeadline);

// The chat room's topic: source " - " headline, with "&amp;" turned into "&".
std::string ChatTopicOf(const std::string& strSource, const std::string& strHeadline);

// The request record handed to the main window: channel "!!" topic "!!" URL.
std::string MakeChatRequest(const std::string& strChannel, const std::string& strTopic,
                            const std::string& strUrl);
