#include "chat/CIrcClient.h"

#include "chat/CChatRoom.h"
#include "chat/IrcCommands.h"
#include "platform/Logging.h"
#include "util/Config.h"
#include "util/Settings.h"

#include <QRandomGenerator>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

int Ms(std::chrono::milliseconds duration) {
    return static_cast<int>(std::clamp<long long>(duration.count(), 1, INT_MAX));
}

// Quoted, so a server's text cannot forge log lines.
QByteArray Quoted(const std::string& str) { return QByteArray::fromStdString(str); }

std::string SecondsText(std::chrono::milliseconds duration) {
    return std::to_string(std::max<long long>(1, (duration.count() + 999) / 1000)) + " s";
}

}  // namespace

CIrcRoute DefaultIrcRoute() {
    const std::vector<CIrcRoute> routes = DefaultIrcRoutes();
    return routes.empty() ? CIrcRoute{} : routes.front();
}

CIrcClient::CIrcClient(std::function<std::vector<CIrcRoute>()> fnRoutes)
    : m_socket(*this, &m_protocol),
      m_protocol(m_rooms, *this),
      m_rooms(this),
      m_fnRoutes(std::move(fnRoutes)),
      m_timers([this](int nIDEvent) { OnTimer(nIDEvent); }) {}

CIrcClient::~CIrcClient() {
    for (CChatRoom* pRoom : m_rooms.Rooms()) {
        pRoom->SetClient(nullptr);
    }
}

void CIrcClient::SetTimings(const CIrcTimings& timings) {
    m_timings = timings;
    m_pause = CRetryPause(timings.firstPause, timings.longestPause);
}

void CIrcClient::Connect() {
    if (m_state == EState::Closed || m_state == EState::Waiting) {
        Attempt();
    }
}

void CIrcClient::Attempt() {
    m_timers.KillTimer(TIMER_IRC_RECONNECT);
    m_timers.KillTimer(TIMER_IRC_SILENCE);
    m_state = EState::Connecting;
    const std::vector<CIrcRoute> routes =
        m_fnRoutes ? m_fnRoutes() : DefaultIrcRoutes(m_strSection);
    if (routes.empty()) {
        m_route = {};
        OnConnectFailed("no IRC server is set");
        return;
    }
    m_route = routes[m_nServer % routes.size()];
    qCInfo(NetLog) << "irc: connecting" << m_strNick.c_str() << "to" << m_route.strHost.c_str()
                   << m_route.nPort << (m_route.bTls ? "with TLS" : "");
    m_socket.SetConnectDeadline(m_timings.connectDeadline);
    m_socket.SetTls(m_route.bTls ? std::optional(CTlsOptions{m_route.strHost, ExtraCaFile()})
                                 : std::nullopt);
    if (!m_socket.Open(m_route.strHost, m_route.nPort)) {
        const std::string strWhy = std::strerror(m_socket.GetLastError());
        m_socket.Close();
        OnConnectFailed(strWhy);
    }
}

void CIrcClient::Close() {
    m_timers.KillTimer(TIMER_IRC_RECONNECT);
    m_timers.KillTimer(TIMER_IRC_SILENCE);
    m_state = EState::Closed;
    m_socket.Close();
}

void CIrcClient::Send(const std::string& strLine) { m_socket.SendLine(strLine); }

std::string CIrcClient::DisplayName() const {
    return IsGuestNick(m_strNick) ? m_strNick : DisplayNameOf(m_strNick);
}

void CIrcClient::ShowMessage(const std::string& strText) {
    if (m_fnShowMessage) {
        m_fnShowMessage(strText);
    }
}

void CIrcClient::OnConnected() {
    m_state = EState::Registering;
    m_bPinged = false;
    m_timers.SetTimer(TIMER_IRC_SILENCE, Ms(m_timings.silence));
    m_protocol.Register();
}

void CIrcClient::OnConnectFailed(const std::string& strWhy) {
    if (m_state != EState::Connecting) {
        return;
    }
    qCInfo(NetLog) << "irc: could not connect to" << Quoted(m_route.Text()) << ":"
                   << Quoted(strWhy);
    m_rooms.ShowToAll("Could not connect to " + m_route.Text() + ": " + strWhy);
    ScheduleReconnect();
}

void CIrcClient::OnReceived() {
    if (m_state == EState::Registering || m_state == EState::Ready) {
        m_bPinged = false;
        m_timers.SetTimer(TIMER_IRC_SILENCE, Ms(m_timings.silence));
    }
}

void CIrcClient::OnWelcome() {
    if (m_state != EState::Registering) {
        return;
    }
    m_state = EState::Ready;
    m_welcomedAt = std::chrono::steady_clock::now();
    qCInfo(NetLog) << "irc: welcome for" << Quoted(m_strNick) << "from" << Quoted(m_route.Text());
}

void CIrcClient::OnConnectionLost(const std::string& strReason) {
    const EState was = m_state;
    m_timers.KillTimer(TIMER_IRC_SILENCE);
    m_socket.Close();
    // Every room says so at once, not at the next join (a deliberate difference).
    m_rooms.DisconnectAll(strReason);
    if (was == EState::Closed || was == EState::Waiting) {
        return;
    }
    qCInfo(NetLog) << "irc: lost" << Quoted(m_route.Text()) << ":" << Quoted(strReason);
    // A connection that held a good while starts the pauses over; one that a server
    // drops at once keeps them growing.
    if (was == EState::Ready &&
        std::chrono::steady_clock::now() - m_welcomedAt >= m_timings.longestPause) {
        m_pause.Reset();
    }
    m_state = EState::Connecting;  // what failed is the connection, whatever its stage
    ScheduleReconnect();
}

void CIrcClient::ScheduleReconnect() {
    // The connection comes back by itself, not only at the next join (a deliberate
    // difference).
    m_socket.Close();
    // The next server, whether this one refused us or dropped us.
    ++m_nServer;
    if (!ReadFlag(SETTING_IRC_RECONNECT, m_strSection)) {
        m_state = EState::Closed;
        return;
    }
    m_state = EState::Waiting;
    const std::chrono::milliseconds pause =
        m_pause.Next(QRandomGenerator::global()->generateDouble());
    m_rooms.ShowToAll("Reconnecting in " + SecondsText(pause) + "...");
    m_timers.SetTimer(TIMER_IRC_RECONNECT, Ms(pause));
}

void CIrcClient::OnTimer(int nIDEvent) {
    if (nIDEvent == TIMER_IRC_RECONNECT) {
        m_timers.KillTimer(TIMER_IRC_RECONNECT);
        if (m_state == EState::Waiting) {
            Attempt();
        }
    } else if (nIDEvent == TIMER_IRC_SILENCE) {
        if (m_bPinged) {
            OnConnectionLost("the server stopped answering");
            return;
        }
        m_bPinged = true;
        m_timers.SetTimer(TIMER_IRC_SILENCE, Ms(m_timings.pingGrace));
        Send(PingLine("vocalon"));
    }
}
