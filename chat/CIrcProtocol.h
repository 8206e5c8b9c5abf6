#pragma once

// What the client does with each received IRC message: acts on the commands and numeric
// replies it knows and tells the rooms. Also the registration and the nickname rules.

#include "chat/CIrcMessage.h"

#include <string>
#include <string_view>

class CChatRoomList;
class CIrcClient;

// A nickname is a guest's when, lower-cased, it begins with "guest".
bool IsGuestNick(std::string_view strNick);
// A user's name as shown: a user's nickname is the user name and one digit 0-9, which is
// never shown, so a last digit is dropped; any other nickname (another program's user, a
// guest) shows whole.
std::string DisplayNameOf(std::string_view strNick);
// Whether a nickname the server gives us may be taken: not empty, and no blank or other
// control character.
bool IsPlausibleNick(std::string_view strNick);

constexpr const char* STR_BAD_COMMAND = "Bad command sent. Not enough params.";
constexpr const char* STR_NICK_UNUSABLE = "That nickname can't be used on this IRC server.";

class CIrcProtocol {
public:
    CIrcProtocol(CChatRoomList& rooms, CIrcClient& client) : m_rooms(rooms), m_client(client) {}

    // One received message; lines without a prefix are ignored but ERROR (the server
    // ending our connection), and so are those with fewer parameters than their command
    // needs. Channels are matched exactly; command names without case.
    void HandleLine(const CIrcMessage& message);
    // The same for one received line, without its terminator.
    void HandleLine(std::string_view strLine) { HandleLine(CIrcMessage::Decode(strLine)); }
    // The registration lines; every room joins again once the server welcomes us (and
    // the client hears of the welcome).
    void Register();

private:
    void HandleCommand(const CIrcMessage& message);
    void HandleNumeric(int nNumber, const CIrcMessage& message);
    void OnNickInUse();

    CChatRoomList& m_rooms;
    CIrcClient& m_client;
    // Set by the welcome (001): until then the nickname is still being settled.
    bool m_bWelcomed = false;
};
