#pragma once

// One chat room as the IRC side sees it: its channel, topic, users and guests, and what
// each IRC event does to it. The chat window derives from it and draws what the hooks
// report; without a window (tests, benchmarks) the room keeps the same state.

#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CIrcClient;

// The character formats of the chat pane: a message's text, the nickname before it (ours
// or another's), system lines, actions ("* nick text") and the text of a message that
// names the user.
enum class EChatStyle { Normal, OwnNick, OtherNick, Status, Action, Mention };
constexpr int CHAT_STYLE_COUNT = 6;

// The key every client joins and locks its channels with.
constexpr const char* CHANNEL_KEY = "marigold";
// A room lists at most this many users and counts at most this many guests: a server
// that repeats its names replies must not grow them without end.
constexpr size_t MAX_ROOM_USERS = 10000;
// Shown before every system line: tab, the character », a blank.
constexpr const char* STATUS_PREFIX = "\t\u00bb ";

class CChatRoom {
public:
    explicit CChatRoom(std::string strChannel);
    // Leaves its client's room list.
    virtual ~CChatRoom();
    CChatRoom(const CChatRoom&) = delete;
    CChatRoom& operator=(const CChatRoom&) = delete;

    const std::string& Channel() const { return m_strChannel; }
    const std::string& Topic() const { return m_strTopic; }
    // Display names of the non-guest users, in the order they came.
    const std::vector<std::string>& Users() const { return m_users; }
    int GuestCount() const { return static_cast<int>(m_guests.size()); }
    // " Total users: %d" with users and guests.
    std::string CountText() const;
    bool ControlsEnabled() const { return m_bControlsEnabled; }

    // The user's name, which messages that name it are highlighted for; empty: none are.
    const std::string& OwnName() const { return m_strOwnName; }
    void SetOwnName(std::string strName) { m_strOwnName = std::move(strName); }

    // The client this room sends through; set by the room list that takes it.
    CIrcClient* Client() const { return m_pClient; }
    void SetClient(CIrcClient* pClient) { m_pClient = pClient; }

    // Sends the join lines (and the topic when not empty) and waits, controls disabled,
    // for the client's own JOIN echo. Before the client is welcomed the room says so and
    // keeps the topic: the welcome's rejoin sends both.
    void Join(const std::string& strChannel, const std::string& strTopic);
    // Forgets who is in the room, as when it moves to the other client.
    void ClearUsers();

    // What the IRC events do to the room. Topics and messages are the texts as sent; the
    // names are a names reply's list (one leading ":" dropped).
    void SetTopic(std::string_view strText);
    void SetNames(std::string_view strNames);
    void ShowMessage(const std::string& strNick, std::string_view strText);
    // An action: "* nick text".
    void ShowAction(const std::string& strNick, std::string_view strText);
    void UserJoined(const std::string& strNick);
    void UserLeft(const std::string& strNick);
    void UserKicked(const std::string& strNick);
    void UserRenamed(const std::string& strOldNick, const std::string& strNewNick);
    // Says why, disables the controls and forgets every user and guest.
    void ServerDisconnected(const std::string& strReason);

    void AppendSystemLine(const std::string& strText);

protected:
    // Hooks for the window.
    virtual void AppendLine(const std::string& /*strText*/, EChatStyle /*style*/) {}
    virtual void OnTopicChanged() {}
    virtual void OnUsersChanged() {}
    virtual void OnControlsEnabled(bool /*bEnabled*/) {}
    // A message arrived; the window flashes when it is not active.
    virtual void OnMessageShown() {}
    // A message or action arrived that names the user (after OnMessageShown).
    virtual void OnMentioned(const std::string& /*strNick*/, std::string_view /*strText*/) {}

private:
    void SetControlsEnabled(bool bEnabled);
    // Adds a user (listed) or a guest (counted), up to MAX_ROOM_USERS of each.
    void AddUser(const std::string& strNick);
    // Removes a user by nickname; true when a listed (non-guest) user went.
    bool RemoveUser(const std::string& strNick);

    std::string m_strChannel;
    std::string m_strTopic;
    // The topic of the last Join, until a connection could send it.
    std::string m_strWantedTopic;
    std::string m_strOwnName;
    std::vector<std::string> m_users;
    // Guests are counted, never listed; their nicknames tell which guest leaves.
    std::multiset<std::string> m_guests;
    bool m_bControlsEnabled = true;
    CIrcClient* m_pClient = nullptr;
};
