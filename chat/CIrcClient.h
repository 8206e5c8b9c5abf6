#pragma once

// One IRC connection of the logged-in user: the socket, the line handler, the rooms it
// serves and the nickname it registers with. The session owns two: the user's own and the
// guest's. Window thread only.
//
// The connection's states: Closed (never opened, or closed on purpose) -> Connecting (TCP,
// then TLS when the route asks for it, within the connect deadline) -> Registering (the
// registration lines sent, waiting for the welcome) -> Ready (welcomed: the rooms join).
// A connection lost or refused in any state but Closed tells the rooms and, unless the
// user's irc_reconnect setting is off, waits (Waiting) before the next attempt, on the
// next server of the list: a pause that doubles from the first to the longest (see
// CRetryPause), started over once a connection has held for the longest pause. A server
// silent for the silence period is sent a PING; silent for the grace period after it, the
// connection counts as lost.

#include "chat/CChatRoomList.h"
#include "chat/CIrcProtocol.h"
#include "chat/CIrcSocket.h"
#include "chat/CRetryPause.h"
#include "chat/IrcServers.h"
#include "platform/CTimerSet.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// The built-in IRC server (or the one the environment names): the first of
// DefaultIrcRoutes.
CIrcRoute DefaultIrcRoute();

// The pauses and deadlines of a connection; tests shorten them.
struct CIrcTimings {
    std::chrono::milliseconds firstPause{2000};
    std::chrono::milliseconds longestPause{120000};
    std::chrono::milliseconds silence{120000};
    std::chrono::milliseconds pingGrace{60000};
    std::chrono::milliseconds connectDeadline{10000};
};

class CIrcClient final {
public:
    enum class EState { Closed, Waiting, Connecting, Registering, Ready };

    // fnRoutes is asked at each attempt, so a changed setting (the firewall, the servers)
    // takes effect at the next connection; without it the client takes DefaultIrcRoutes of
    // its settings section.
    explicit CIrcClient(std::function<std::vector<CIrcRoute>()> fnRoutes = {});
    // Its rooms stay, sending nowhere until another client takes them.
    ~CIrcClient();
    CIrcClient(const CIrcClient&) = delete;
    CIrcClient& operator=(const CIrcClient&) = delete;

    // Starts an attempt unless one is under way or the client is connected; a pause
    // before a reconnection is cut short.
    void Connect();
    // Closes on purpose (sign-out, quit, a nickname given up): nothing reconnects until
    // the next Connect.
    void Close();
    // Sends one protocol line; lost while not connected.
    void Send(const std::string& strLine);

    void SetNick(const std::string& strNick) { m_strNick = strNick; }
    const std::string& GetNick() const { return m_strNick; }
    // The nickname as the chat pane shows it: a guest's whole, a user's without its digit.
    std::string DisplayName() const;
    // The user's settings section (irc_reconnect, the TLS settings).
    void SetSection(const std::string& strSection) { m_strSection = strSection; }
    void SetTimings(const CIrcTimings& timings);

    CChatRoomList& Rooms() { return m_rooms; }
    EState State() const { return m_state; }
    bool IsConnected() const { return m_socket.IsConnected(); }
    // Welcomed by the server: joins may be sent.
    bool IsReady() const { return m_state == EState::Ready; }
    // The server of the attempt under way or the last one.
    const CIrcRoute& Route() const { return m_route; }
    CIrcSocket& Socket() { return m_socket; }
    CIrcProtocol& Protocol() { return m_protocol; }

    // Shows one of the protocol's messages; the owner opens a box without a nested loop.
    std::function<void(const std::string&)> m_fnShowMessage;
    void ShowMessage(const std::string& strText);

    // What the socket and the protocol report.
    void OnConnected();
    void OnConnectFailed(const std::string& strWhy);
    void OnReceived();
    void OnWelcome();
    // Our own connection ended (closed, ERROR, our own QUIT, silence): every room is told.
    void OnConnectionLost(const std::string& strReason);

private:
    void Attempt();
    // After a loss or a failed attempt: the next server, after a pause, unless closed on
    // purpose or the user turned reconnection off.
    void ScheduleReconnect();
    void OnTimer(int nIDEvent);

    CIrcSocket m_socket;
    CIrcProtocol m_protocol;
    CChatRoomList m_rooms;
    std::string m_strNick;
    std::string m_strSection;
    std::function<std::vector<CIrcRoute>()> m_fnRoutes;
    CIrcTimings m_timings;
    CRetryPause m_pause{m_timings.firstPause, m_timings.longestPause};
    CTimerSet m_timers;
    EState m_state = EState::Closed;
    CIrcRoute m_route;
    // The turn of the server list the next attempt takes.
    size_t m_nServer = 0;
    // A PING went out after a silence; the next silence ends the connection.
    bool m_bPinged = false;
    std::chrono::steady_clock::time_point m_welcomedAt;
};
