#pragma once

// The chat rooms that one IRC client serves, in the order they came. It owns none: a
// room leaves the list when it is destroyed.

#include <string>
#include <string_view>
#include <vector>

class CChatRoom;
class CIrcClient;

class CChatRoomList {
public:
    explicit CChatRoomList(CIrcClient* pClient) : m_pClient(pClient) {}

    // The first room of the channel (one leading ":" dropped; exact, case-sensitive).
    CChatRoom* FindRoom(std::string_view strChannel) const;
    // Appends the room and makes it send through this list's client.
    void AddRoom(CChatRoom* pRoom);
    // Removes the first room of the channel (no ":" dropped) and returns it.
    CChatRoom* RemoveRoom(const std::string& strChannel);
    // Removes this room wherever it stands.
    void RemoveRoom(const CChatRoom* pRoom);
    void DisconnectAll(const std::string& strReason);
    // Each room joins again, and sets the topic it was opened with if that is still unset.
    void RejoinAll();
    // A system line in every room (a failed connection, the pause before the next).
    void ShowToAll(const std::string& strText);

    const std::vector<CChatRoom*>& Rooms() const { return m_rooms; }

private:
    CIrcClient* m_pClient;
    std::vector<CChatRoom*> m_rooms;
};
