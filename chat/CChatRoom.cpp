#include "chat/CChatRoom.h"

#include "chat/CIrcClient.h"
#include "chat/CIrcProtocol.h"
#include "chat/ChatText.h"
#include "chat/IrcCommands.h"
#include "util/Strings.h"

#include <algorithm>

namespace {

std::string_view DropColon(std::string_view str) {
    if (!str.empty() && str.front() == ':') {
        str.remove_prefix(1);
    }
    return str;
}

}  // namespace

CChatRoom::CChatRoom(std::string strChannel) : m_strChannel(std::move(strChannel)) {}

CChatRoom::~CChatRoom() {
    if (m_pClient) {
        m_pClient->Rooms().RemoveRoom(this);
    }
}

std::string CChatRoom::CountText() const {
    return " Total users: " + std::to_string(m_users.size() + m_guests.size());
}

void CChatRoom::SetControlsEnabled(bool bEnabled) {
    m_bControlsEnabled = bEnabled;
    OnControlsEnabled(bEnabled);
}

void CChatRoom::Join(const std::string& strChannel, const std::string& strTopic) {
    // A topic that cannot be sent yet waits for the welcome's rejoin (a deliberate
    // difference: it used to be lost).
    if (!strTopic.empty()) {
        m_strWantedTopic = strTopic;
    }
    if (m_pClient && m_pClient->IsReady()) {
        m_pClient->Send(JoinLine(strChannel, CHANNEL_KEY));
        m_pClient->Send(SecretModeLine(strChannel));
        m_pClient->Send(KeyModeLine(strChannel, CHANNEL_KEY));
        if (!m_strWantedTopic.empty()) {
            m_pClient->Send(TopicLine(strChannel, m_strWantedTopic));
            m_strWantedTopic.clear();
        }
        AppendSystemLine("Trying to join as " + m_pClient->DisplayName() + "...");
    } else if (m_pClient) {
        AppendSystemLine("Not connected to the chat server yet: joining once connected...");
    }
    SetControlsEnabled(false);
}

void CChatRoom::ClearUsers() {
    m_users.clear();
    m_guests.clear();
    OnUsersChanged();
}

void CChatRoom::AppendSystemLine(const std::string& strText) {
    AppendLine(STATUS_PREFIX + strText + "\r\n", EChatStyle::Status);
}

void CChatRoom::SetTopic(std::string_view strText) {
    m_strTopic = strText;
    OnTopicChanged();
}

void CChatRoom::SetNames(std::string_view strNames) {
    std::vector<std::string> names;
    SplitString(std::string(DropColon(strNames)), names, " ");
    for (std::string& strName : names) {
        if (strName.front() == '@' || strName.front() == '+') {
            strName.erase(0, 1);
        }
        if (!strName.empty()) {
            AddUser(strName);
        }
    }
    OnUsersChanged();
}

void CChatRoom::ShowMessage(const std::string& strNick, std::string_view strText) {
    const bool bMention = MentionsName(strText, m_strOwnName);
    AppendLine(DisplayNameOf(strNick) + ": ", EChatStyle::OtherNick);
    AppendLine(std::string(strText) + "\r\n", bMention ? EChatStyle::Mention : EChatStyle::Normal);
    OnMessageShown();
    if (bMention) {
        OnMentioned(strNick, strText);
    }
}

void CChatRoom::ShowAction(const std::string& strNick, std::string_view strText) {
    const bool bMention = MentionsName(strText, m_strOwnName);
    AppendLine("* " + DisplayNameOf(strNick) + " " + std::string(strText) + "\r\n",
               bMention ? EChatStyle::Mention : EChatStyle::Action);
    OnMessageShown();
    if (bMention) {
        OnMentioned(strNick, strText);
    }
}

void CChatRoom::UserJoined(const std::string& strNick) {
    if (m_pClient && strNick == m_pClient->GetNick()) {
        AppendSystemLine("Successful join!");
        SetControlsEnabled(true);
    } else {
        AddUser(strNick);
        if (!IsGuestNick(strNick)) {
            AppendSystemLine(DisplayNameOf(strNick) + " joined.");
        }
    }
    OnUsersChanged();
}

void CChatRoom::AddUser(const std::string& strNick) {
    if (IsGuestNick(strNick)) {
        if (m_guests.size() < MAX_ROOM_USERS) {
            m_guests.insert(strNick);
        }
    } else if (m_users.size() < MAX_ROOM_USERS) {
        m_users.push_back(DisplayNameOf(strNick));
    }
}

bool CChatRoom::RemoveUser(const std::string& strNick) {
    if (IsGuestNick(strNick)) {
        // A guest who was never counted here (a quit seen by every room) changes nothing.
        if (auto it = m_guests.find(strNick); it != m_guests.end()) {
            m_guests.erase(it);
        }
        return false;
    }
    auto it = std::find(m_users.begin(), m_users.end(), DisplayNameOf(strNick));
    if (it == m_users.end()) {
        return false;
    }
    m_users.erase(it);
    return true;
}

void CChatRoom::UserLeft(const std::string& strNick) {
    if (RemoveUser(strNick)) {
        AppendSystemLine(DisplayNameOf(strNick) + " left.");
    }
    OnUsersChanged();
}

void CChatRoom::UserKicked(const std::string& strNick) {
    RemoveUser(strNick);
    if (!IsGuestNick(strNick)) {
        AppendSystemLine(DisplayNameOf(strNick) + " got booted.");
    }
    if (m_pClient && strNick == m_pClient->GetNick()) {
        SetControlsEnabled(false);
    }
    OnUsersChanged();
}

void CChatRoom::UserRenamed(const std::string& strOldNick, const std::string& strNewNick) {
    const auto listed = std::find(m_users.begin(), m_users.end(), DisplayNameOf(strOldNick));
    const bool bListed = !IsGuestNick(strOldNick) && listed != m_users.end();
    if (bListed && !IsGuestNick(strNewNick)) {
        *listed = DisplayNameOf(strNewNick);  // keeps its place in the list
    } else if (bListed || (IsGuestNick(strOldNick) && m_guests.count(strOldNick) != 0)) {
        RemoveUser(strOldNick);
        AddUser(strNewNick);
    } else {
        return;  // not in this room
    }
    OnUsersChanged();
}

void CChatRoom::ServerDisconnected(const std::string& strReason) {
    AppendSystemLine("Server disconnected you: " + strReason);
    SetControlsEnabled(false);
    ClearUsers();
}
