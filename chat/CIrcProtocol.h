#pragma once

// What the client does with each received IRC line: cuts it into tokens, acts on the
// commands and numeric replies it knows, and tells the rooms. Also the registration lines
// and the nickname rules.

#include <string>
#include <string_view>

class CChatRoomList;
class CIrcClient;

// A nickname is a guest's when, lower-cased, it begins with "guest".
bool IsGuestNick(std::string_view strNick);
// Another user's name as shown: the nickname without its last character (user nicknames
// carry one digit that is never shown).
std::string DisplayNameOf(std::string_view strNick);
// The nickname of a prefix (":nick!user@host"): one leading ":" dropped, up to the "!".
std::string NickFromPrefix(std::string_view strPrefix);

constexpr const char* STR_BAD_COMMAND = "Bad command sent. Not enough params.";
constexpr const char* STR_NICK_UNUSABLE = "That nickname can't be used on this IRC server.";

class CIrcProtocol {
public:
    CIrcProtocol(CChatRoomList& rooms, CIrcClient& client) : m_rooms(rooms), m_client(client) {}

    // One received line, without its terminator.
    void HandleLine(const std::string& strLine);
    // The registration lines; every room joins again once the server welcomes us.
    void Register();

private:
    void OnNickInUse();

    CChatRoomList& m_rooms;
    CIrcClient& m_client;
    // Set by the welcome (001): until then the nickname is still being settled.
    bool m_bWelcomed = false;
};
