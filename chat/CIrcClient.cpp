#include "chat/CIrcClient.h"

#include "chat/CChatRoom.h"
#include "platform/Logging.h"
#include "util/Config.h"

CIrcRoute DefaultIrcRoute() { return {IrcHost(), IrcPort()}; }

CIrcClient::CIrcClient(std::function<CIrcRoute()> fnRoute)
    : m_socket(*this, &m_protocol),
      m_protocol(m_rooms, *this),
      m_rooms(this),
      m_fnRoute(std::move(fnRoute)) {}

CIrcClient::~CIrcClient() {
    for (CChatRoom* pRoom : m_rooms.Rooms()) {
        pRoom->SetClient(nullptr);
    }
}

void CIrcClient::Connect() {
    if (m_socket.IsConnected()) {
        return;
    }
    const CIrcRoute route = m_fnRoute ? m_fnRoute() : DefaultIrcRoute();
    qCInfo(NetLog) << "irc: connecting" << m_strNick.c_str() << "to" << route.strHost.c_str()
                   << route.nPort;
    if (route.strHost.empty() || !m_socket.Open(route.strHost, route.nPort)) {
        m_socket.Close();
    }
}

void CIrcClient::Close() { m_socket.Close(); }

void CIrcClient::Send(const std::string& strLine) { m_socket.SendLine(strLine); }

std::string CIrcClient::DisplayName() const {
    return IsGuestNick(m_strNick) ? m_strNick : DisplayNameOf(m_strNick);
}

void CIrcClient::ShowMessage(const std::string& strText) {
    if (m_fnShowMessage) {
        m_fnShowMessage(strText);
    }
}

void CIrcClient::OnConnectionLost(const std::string& strReason) {
    // Every room says so at once, not at the next join (a deliberate difference).
    m_socket.Close();
    m_rooms.DisconnectAll(strReason);
}
