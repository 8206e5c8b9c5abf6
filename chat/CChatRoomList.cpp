#include "chat/CChatRoomList.h"

#include "chat/CChatRoom.h"

#include <algorithm>

CChatRoom* CChatRoomList::FindRoom(std::string_view strChannel) const {
    if (!strChannel.empty() && strChannel.front() == ':') {
        strChannel.remove_prefix(1);
    }
    for (CChatRoom* pRoom : m_rooms) {
        if (pRoom->Channel() == strChannel) {
            return pRoom;
        }
    }
    return nullptr;
}

void CChatRoomList::AddRoom(CChatRoom* pRoom) {
    m_rooms.push_back(pRoom);
    pRoom->SetClient(m_pClient);
}

CChatRoom* CChatRoomList::RemoveRoom(const std::string& strChannel) {
    auto it = std::find_if(m_rooms.begin(), m_rooms.end(),
                           [&](const CChatRoom* pRoom) { return pRoom->Channel() == strChannel; });
    if (it == m_rooms.end()) {
        return nullptr;
    }
    CChatRoom* pRoom = *it;
    m_rooms.erase(it);
    return pRoom;
}

void CChatRoomList::RemoveRoom(const CChatRoom* pRoom) { std::erase(m_rooms, pRoom); }

void CChatRoomList::DisconnectAll(const std::string& strReason) {
    // A room may close itself while it is told; walk a copy.
    for (CChatRoom* pRoom : std::vector<CChatRoom*>(m_rooms)) {
        pRoom->ServerDisconnected(strReason);
    }
}

void CChatRoomList::RejoinAll() {
    for (CChatRoom* pRoom : std::vector<CChatRoom*>(m_rooms)) {
        pRoom->Join(pRoom->Channel(), {});
    }
}

void CChatRoomList::ShowToAll(const std::string& strText) {
    for (CChatRoom* pRoom : std::vector<CChatRoom*>(m_rooms)) {
        pRoom->AppendSystemLine(strText);
    }
}
