#include "chat/CIrcProtocol.h"

#include "chat/CChatRoom.h"
#include "chat/CChatRoomList.h"
#include "chat/CIrcClient.h"
#include "util/Strings.h"

#include <cctype>

bool IsGuestNick(std::string_view strNick) { return StartsWithNoCase(strNick, "guest"); }

std::string DisplayNameOf(std::string_view strNick) {
    return std::string(strNick.substr(0, strNick.empty() ? 0 : strNick.size() - 1));
}

std::string NickFromPrefix(std::string_view strPrefix) {
    if (!strPrefix.empty() && strPrefix.front() == ':') {
        strPrefix.remove_prefix(1);
    }
    return std::string(strPrefix.substr(0, strPrefix.find('!')));
}

void CIrcProtocol::Register() {
    m_bWelcomed = false;
    const std::string strNick = m_client.GetNick();
    m_client.Send(": PASS *");
    m_client.Send(": NICK " + strNick);
    m_client.Send(": USER guest 8 * :" + strNick);
    // The rooms join again on the welcome (001): a server refuses joins from a connection
    // that has not finished registering.
}

void CIrcProtocol::HandleLine(const std::string& strLine) {
    CStringArray t;
    SplitString(strLine, t, " ");
    // ERROR has no prefix and may come alone: the server is ending our connection.
    if (!t.empty() && t[0] == "ERROR") {
        m_client.OnConnectionLost(JoinStrings(t, 1, " "));
        return;
    }
    if (t.size() <= 2) {
        return;
    }
    // A handler that reads token n needs n + 1 tokens; shorter lines are ignored.
    auto room = [&](size_t n) { return t.size() > n ? m_rooms.FindRoom(t[n]) : nullptr; };
    const int nNumber = ParseInt(t[1]);
    if (nNumber == 0) {
        std::string strCommand = t[1];
        for (char& c : strCommand) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        const std::string strNick = NickFromPrefix(t[0]);
        if (strCommand == "TOPIC") {
            if (CChatRoom* pRoom = room(2)) {
                pRoom->SetTopic(JoinStrings(t, 3, " "));
            }
        } else if (strCommand == "PRIVMSG") {
            if (CChatRoom* pRoom = room(2)) {
                pRoom->ShowMessage(strNick, JoinStrings(t, 3, " "));
            }
        } else if (strCommand == "PART") {
            if (CChatRoom* pRoom = room(2)) {
                pRoom->UserLeft(strNick);
            }
        } else if (strCommand == "JOIN") {
            if (CChatRoom* pRoom = room(2)) {
                pRoom->UserJoined(strNick);
            }
        } else if (strCommand == "QUIT") {
            // Another user's quit is that user leaving every room; only our own is the
            // loss of the connection.
            if (strNick == m_client.GetNick()) {
                m_client.OnConnectionLost(JoinStrings(t, 2, " "));
            } else {
                for (CChatRoom* pRoom : std::vector<CChatRoom*>(m_rooms.Rooms())) {
                    pRoom->UserLeft(strNick);
                }
            }
        } else if (strCommand == "KICK") {
            if (CChatRoom* pRoom = t.size() > 3 ? room(2) : nullptr) {
                pRoom->UserKicked(t[3]);
            }
        } else if (strCommand == "NICK") {
            std::string strNew = t[2];
            if (!strNew.empty() && strNew.front() == ':') {
                strNew.erase(0, 1);
            }
            if (strNick == m_client.GetNick()) {
                // Before the welcome a rename of ours is the server taking the nickname
                // for another registering connection; its 433 follows, and the next
                // nickname must grow from ours, not from the placeholder it gave us.
                if (m_bWelcomed) {
                    m_client.SetNick(strNew);
                }
            } else {
                for (CChatRoom* pRoom : std::vector<CChatRoom*>(m_rooms.Rooms())) {
                    pRoom->UserRenamed(strNick, strNew);
                }
            }
        }
        return;
    }
    switch (nNumber) {
        case 1:
            m_bWelcomed = true;
            m_rooms.RejoinAll();
            break;
        case 331:
            if (CChatRoom* pRoom = room(3)) {
                pRoom->SetTopic("No topic");
            }
            break;
        case 332:
            if (CChatRoom* pRoom = room(3)) {
                pRoom->SetTopic(JoinStrings(t, 4, " "));
            }
            break;
        case 353:
            if (CChatRoom* pRoom = t.size() > 5 ? room(4) : nullptr) {
                pRoom->SetNames(JoinStrings(t, 5, " "));
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
    // A guest keeps the "guest" that tells others not to list it: "guest" becomes
    // "guest1", not "gues1", which every client would show as a user named "gues".
    const bool bKeepWhole = IsGuestNick(strNick) && !(cLast >= '0' && cLast <= '9');
    m_client.SetNick((bKeepWhole ? strNick : DisplayNameOf(strNick)) + std::to_string(k));
    m_client.Connect();
}
