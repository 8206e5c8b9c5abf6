#pragma once

// A news source the user adds: a name and the address of its feed, as OPML files,
// feed discovery and the user's own-sources file hand them on. Safe in any thread.

#include <string>
#include <string_view>
#include <vector>

struct CFeedSource {
    std::string strName;
    std::string strAddress;  // an absolute http or https address (see WebLink)

    bool operator==(const CFeedSource&) const = default;
};

using CFeedSourceList = std::vector<CFeedSource>;

// A longer source name is cut to this many bytes.
constexpr size_t MAX_SOURCE_NAME = 200;

// A name that can stand as one key of an application-directory map file: runs of blanks,
// line breaks and other control characters become one space, the ends are trimmed, the
// map separator "<!!div!!>" cannot occur (its "<" becomes "("), and the name is cut to
// MAX_SOURCE_NAME bytes at a character boundary.
std::string CleanSourceName(std::string_view strName);
