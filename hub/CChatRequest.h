#pragma once

// What opens a chat room: the channel, the room's topic and the article's address. It
// crosses the main window's interface (CMainWindow::OpenChatRequest) as one text record,
// made and read here only.

#include <optional>
#include <string>
#include <string_view>

// The record is channel "!!" topic "!!" URL, with "%" written "%25" and "!" written "%21"
// inside each field, so any field text survives and a record always has exactly three
// fields; for fields without "%" or "!" it is the plain join. Nothing is checked about the
// values themselves: whoever opens a room checks its channel.
class CChatRequest {
public:
    std::string Record() const;
    // The request a record holds; nothing unless it has exactly three fields, no other
    // "!" and no "%" but the two escapes.
    static std::optional<CChatRequest> FromRecord(std::string_view strRecord);

    bool operator==(const CChatRequest&) const = default;

    std::string m_strChannel;
    std::string m_strTopic;
    std::string m_strUrl;
};
