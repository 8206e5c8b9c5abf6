#include "chat/CIrcProtocol.h"

#include "chat/CChatRoom.h"
#include "chat/CChatRoomList.h"
#include "chat/CIrcClient.h"
#include "chat/ChatText.h"
#include "chat/IrcCommands.h"
#include "platform/Logging.h"
#include "util/Strings.h"

#include <algorithm>

bool IsGuestNick(std::string_view strNick) { return StartsWithNoCase(strNick, "guest"); }

std::string DisplayNameOf(std::string_view strNick) {
    if (!strNick.empty() && strNick.back() >= '0' && strNick.back() <= '9') {
        strNick.remove_suffix(1);
    }
    return std::string(strNick);
}

bool IsPlausibleNick(std::string_view strNick) {
    return !strNick.empty() && std::none_of(strNick.begin(), strNick.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u <= 0x20 || u == 0x7F;
    });
}

void CIrcProtocol::Register() {
    m_bWelcomed = false;
    const std::string strNick = m_client.GetNick();
    m_client.Send(PassLine());
    m_client.Send(NickLine(strNick));
    m_client.Send(UserLine(strNick));
    // The rooms join again on the welcome (001): a server refuses joins from a connection
    // that has not finished registering.
}

void CIrcProtocol::HandleLine(const CIrcMessage& message) {
    if (message.IsCommand("ERROR")) {
        m_client.OnConnectionLost(JoinStrings(message.m_params, 0, " "));
        return;
    }
    // Everything else a server relays or answers carries its origin and a parameter.
    if (!message.m_prefix || message.ParamCount() == 0) {
        return;
    }
    if (const std::optional<int> nNumber = message.Numeric()) {
        HandleNumeric(*nNumber, message);
    } else {
        HandleCommand(message);
    }
}

void CIrcProtocol::HandleCommand(const CIrcMessage& message) {
    // A handler that reads parameter n needs n + 1 of them; shorter lines are ignored.
    auto room = [&](size_t n) {
        return message.ParamCount() > n ? m_rooms.FindRoom(message.Param(0)) : nullptr;
    };
    const std::string strNick = message.Nick();
    // Texts (messages, topics, reasons) are shown as sent: the last parameter whole.
    if (message.IsCommand("TOPIC")) {
        if (CChatRoom* pRoom = room(0)) {
            pRoom->SetTopic(message.Param(1));
        }
    } else if (message.IsCommand("PRIVMSG")) {
        if (CChatRoom* pRoom = room(0)) {
            // Of the CTCP requests only ACTION ("/me") is shown as what it is.
            if (const std::optional<std::string_view> action = ActionText(message.Param(1))) {
                pRoom->ShowAction(strNick, *action);
            } else {
                pRoom->ShowMessage(strNick, message.Param(1));
            }
        }
    } else if (message.IsCommand("PART")) {
        if (CChatRoom* pRoom = room(0)) {
            pRoom->UserLeft(strNick);
        }
    } else if (message.IsCommand("JOIN")) {
        if (CChatRoom* pRoom = room(0)) {
            if (strNick == m_client.GetNick()) {
                // Quoted, so a server's text cannot forge log lines.
                qCInfo(NetLog) << "irc: joined" << QByteArray::fromStdString(pRoom->Channel())
                               << "as" << QByteArray::fromStdString(strNick);
            }
            pRoom->UserJoined(strNick);
        }
    } else if (message.IsCommand("QUIT")) {
        // Another user's quit is that user leaving every room; only our own is the loss of
        // the connection.
        if (strNick == m_client.GetNick()) {
            m_client.OnConnectionLost(message.Param(0));
        } else {
            for (CChatRoom* pRoom : std::vector<CChatRoom*>(m_rooms.Rooms())) {
                pRoom->UserLeft(strNick);
            }
        }
    } else if (message.IsCommand("KICK")) {
        if (CChatRoom* pRoom = room(1)) {
            pRoom->UserKicked(message.Param(1));
        }
    } else if (message.IsCommand("NICK")) {
        const std::string& strNew = message.Param(0);
        if (strNick == m_client.GetNick()) {
            // Before the welcome a rename of ours is the server taking the nickname for
            // another registering connection; its 433 follows, and the next nickname must
            // grow from ours, not from the placeholder it gave us. A nickname we could not
            // send back whole is no nickname at all.
            if (m_bWelcomed && IsGuestNick(strNick) && !IsGuestNick(strNew)) {
                // Linked servers that each had a guest of the name rename one to its ID,
                // which would list it as a user: it comes back as the next guest.
                OnNickInUse();
            } else if (m_bWelcomed && IsPlausibleNick(strNew)) {
                m_client.SetNick(strNew);
            }
        } else {
            for (CChatRoom* pRoom : std::vector<CChatRoom*>(m_rooms.Rooms())) {
                pRoom->UserRenamed(strNick, strNew);
            }
        }
    }
}

void CIrcProtocol::HandleNumeric(int nNumber, const CIrcMessage& message) {
    // Parameter 0 is our own nickname.
    auto room = [&](size_t n) {
        return message.ParamCount() > n ? m_rooms.FindRoom(message.Param(n)) : nullptr;
    };
    switch (nNumber) {
        case 1:
            m_bWelcomed = true;
            m_client.OnWelcome();
            m_rooms.RejoinAll();
            break;
        case 331:
            if (CChatRoom* pRoom = room(1)) {
                pRoom->SetTopic("No topic");
            }
            break;
        case 332:
            if (CChatRoom* pRoom = room(1)) {
                pRoom->SetTopic(message.Param(2));
            }
            break;
        case 353:
            // ours "=" channel :names
            if (CChatRoom* pRoom = message.ParamCount() > 3 ? room(2) : nullptr) {
                pRoom->SetNames(message.Param(3));
            }
            break;
        case 433: OnNickInUse(); break;
        case 461: m_client.ShowMessage(STR_BAD_COMMAND); break;
        default: break;
    }
}

void CIrcProtocol::OnNickInUse() {
    m_client.Close();
    const std::string strNick = m_client.GetNick();
    const char cLast = strNick.empty() ? '\0' : strNick.back();
    const int k = (cLast >= '0' && cLast <= '9' ? cLast - '0' : 0) + 1;
    if (k > 9) {
        // Every nickname left has been tried: say so once and stay away, rather than
        // draw the same refusal again and again.
        m_client.ShowMessage(STR_NICK_UNUSABLE);
        return;
    }
    // The digit is replaced, or added to a nickname without one: "guest" becomes "guest1",
    // keeping the "guest" that tells others not to list it.
    m_client.SetNick(DisplayNameOf(strNick) + std::to_string(k));
    m_client.Connect();
}
