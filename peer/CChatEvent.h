#pragma once

// The one message clients pass to each other over the peer network: an id that relaying
// clients use to drop duplicates, a type ("CHAT" invites to a chat room), a time stamp and
// two ordered lists of texts. Written and read as a short XML-like text without escaping.
// A plain value; any thread.

#include "util/Strings.h"

#include <string>
#include <string_view>

class CChatEvent {
public:
    // The invitation to a chat room; its params are channel, topic, article URL and the
    // inviting user's name.
    static constexpr const char* TYPE_CHAT = "CHAT";
    // Brings the news window forward when its alert is clicked; nothing here sends one.
    static constexpr const char* TYPE_NEWS = "NEWS";

    // Reads the clock once: the time stamp is the seconds since 1970, and the id is the
    // same seconds followed by "-" and 64 random bits, so two events made in the same
    // second never pass for each other. Peers compare ids as opaque text.
    CChatEvent();

    // The event's text: "<event>\n", the id, type and time stamp lines when not empty,
    // a line per param and per cat, "</event>\n"; values written exactly as they are.
    std::string ToXml() const;
    // Replaces every field by what the text holds; absent elements leave fields empty,
    // an empty param or cat element is kept as an empty value. Never fails.
    void FromXml(std::string_view strText);

    // A "CHAT" event: the invitation of strInviter into the room of a channel, with its
    // topic and the article's address, in the params in that order.
    static CChatEvent Invitation(const std::string& strChannel, const std::string& strTopic,
                                 const std::string& strUrl, const std::string& strInviter);

    // The param at nIndex, or empty when the event has fewer.
    const std::string& Param(size_t nIndex) const;
    // The params of a "CHAT" event by name (empty when absent).
    const std::string& Channel() const { return Param(0); }
    const std::string& Topic() const { return Param(1); }
    const std::string& Url() const { return Param(2); }
    const std::string& Inviter() const { return Param(3); }

    std::string id;
    std::string type;
    std::string timestamp;
    CStringArray params;
    CStringArray cats;
};
