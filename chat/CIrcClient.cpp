#include "chat/CIrcClient.h"

#include "chat/CChatRoom.h"
#include "hub/CMainWindow.h"
#include "platform/Logging.h"
#include "util/Config.h"
#include "util/Settings.h"

CIrcClient::CIrcClient()
    : m_socket(*this, &m_protocol), m_protocol(m_rooms, *this), m_rooms(this) {}

CIrcClient::~CIrcClient() {
    for (CChatRoom* pRoom : m_rooms.Rooms()) {
        pRoom->SetClient(nullptr);
    }
}

void CIrcClient::Connect() {
    if (m_socket.IsConnected()) {
        return;
    }
    const bool bFirewall = ReadFlag(SETTING_HAS_FIREWALL);
    const std::string strHost = bFirewall && MainWnd() ? MainWnd()->m_strFirewallRoute : IrcHost();
    const unsigned nPort = bFirewall ? IrcFirewallPort() : IrcPort();
    qCInfo(NetLog) << "irc: connecting" << m_strNick.c_str() << "to" << strHost.c_str() << nPort;
    if (strHost.empty() || !m_socket.Open(strHost, nPort)) {
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
    m_socket.Close();
    m_rooms.DisconnectAll(strReason);
}
