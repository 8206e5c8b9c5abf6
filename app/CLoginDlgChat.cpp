// The login window's chat rooms: opening a room from a request record, and moving a room
// between the guest's connection and the user's own.

#include "app/CLoginDlg.h"

#include "chat/CChatDlg.h"
#include "chat/IrcLines.h"
#include "ui/MessageBox.h"
#include "ui/WindowPlacement.h"

namespace {

void Raise(CChatRoom* pRoom) {
    auto* pDlg = static_cast<CChatDlg*>(pRoom);
    pDlg->show();
    RaiseIfOpen(pDlg);
}

}  // namespace

void CLoginDlg::InitChatClients() {
    for (CIrcClient* pClient : {&m_ircUser, &m_ircGuest}) {
        // A server may repeat a reply a thousand times: one box of each text at a time.
        pClient->m_fnShowMessage = [](const std::string& strText) {
            OpenMessageBoxOnce(nullptr, QMessageBox::Information, "Vocalon",
                               QString::fromStdString(strText));
        };
    }
}

void CLoginDlg::CloseChatWindows() {
    for (CIrcClient* pClient : {&m_ircUser, &m_ircGuest}) {
        // Each window leaves the list as it goes.
        while (!pClient->Rooms().Rooms().empty()) {
            delete static_cast<CChatDlg*>(pClient->Rooms().Rooms().front());
        }
    }
}

void CLoginDlg::OpenChatRequest(const std::string& strRequest) {
    const std::optional<CChatRequest> request = CChatRequest::FromRecord(strRequest);
    // The record comes from feeds and peers: a channel that is not a plain channel token
    // could smuggle a protocol line in, so it opens nothing.
    if (!request || !IsValidChannel(request->m_strChannel)) {
        return;
    }
    if (CChatRoom* pRoom = m_ircUser.Rooms().FindRoom(request->m_strChannel)) {
        Raise(pRoom);
        return;
    }
    OpenChat(request->m_strChannel, request->m_strTopic, request->m_strUrl);
}

void CLoginDlg::OpenChat(const std::string& strChannel, const std::string& strTopic,
                         const std::string& strUrl) {
    if (!IsValidChannel(strChannel)) {
        return;
    }
    m_ircGuest.Connect();
    if (CChatRoom* pRoom = m_ircGuest.Rooms().FindRoom(strChannel)) {
        Raise(pRoom);
        return;
    }
    auto* pDlg = new CChatDlg(&m_ircGuest, strChannel, strUrl);
    pDlg->Join(strChannel, strTopic);
    pDlg->show();
    m_ircGuest.Rooms().AddRoom(pDlg);
}

void CLoginDlg::MoveChat(CChatDlg* pDlg, CIrcClient& from, CIrcClient& to) {
    to.Connect();
    if (to.Rooms().FindRoom(pDlg->Channel())) {
        return;
    }
    from.Rooms().RemoveRoom(pDlg->Channel());
    to.Rooms().AddRoom(pDlg);
    pDlg->Join(pDlg->Channel(), pDlg->Topic());
}

void CLoginDlg::MoveChatToUser(CChatDlg* pDlg) { MoveChat(pDlg, m_ircGuest, m_ircUser); }

void CLoginDlg::MoveChatToGuest(CChatDlg* pDlg) { MoveChat(pDlg, m_ircUser, m_ircGuest); }
