#pragma once

// One IRC connection of the logged-in user: the socket, the line handler, the rooms it
// serves and the nickname it registers with. The login window owns two: the user's own
// and the guest's. Window thread only.

#include "chat/CChatRoomList.h"
#include "chat/CIrcProtocol.h"
#include "chat/CIrcSocket.h"

#include <functional>
#include <string>

// Where a client connects: a host name or dotted address, and a port.
struct CIrcRoute {
    std::string strHost;
    unsigned nPort = 0;
};

// The built-in IRC server (or the one the environment names).
CIrcRoute DefaultIrcRoute();

class CIrcClient final {
public:
    // fnRoute is asked at each Connect, so a changed firewall setting takes effect at the
    // next connection; without it the client goes to the built-in server.
    explicit CIrcClient(std::function<CIrcRoute()> fnRoute = {});
    // Its rooms stay, sending nowhere until another client takes them.
    ~CIrcClient();
    CIrcClient(const CIrcClient&) = delete;
    CIrcClient& operator=(const CIrcClient&) = delete;

    // Connects unless connected, to the route its builder gives. A pending attempt starts
    // over.
    void Connect();
    void Close();
    // Sends one protocol line; lost while not connected.
    void Send(const std::string& strLine);

    void SetNick(const std::string& strNick) { m_strNick = strNick; }
    const std::string& GetNick() const { return m_strNick; }
    // The nickname as the chat pane shows it: a guest's whole, a user's without its digit.
    std::string DisplayName() const;

    CChatRoomList& Rooms() { return m_rooms; }
    bool IsConnected() const { return m_socket.IsConnected(); }
    CIrcSocket& Socket() { return m_socket; }
    CIrcProtocol& Protocol() { return m_protocol; }

    // Shows one of the protocol's messages; the owner opens a box without a nested loop.
    std::function<void(const std::string&)> m_fnShowMessage;
    void ShowMessage(const std::string& strText);
    // Our own connection ended (closed, ERROR, our own QUIT): every room is told.
    void OnConnectionLost(const std::string& strReason);

private:
    CIrcSocket m_socket;
    CIrcProtocol m_protocol;
    CChatRoomList m_rooms;
    std::string m_strNick;
    std::function<CIrcRoute()> m_fnRoute;
};
