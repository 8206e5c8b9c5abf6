#include "tests/support/FakeMainWindow.h"

#include "peer/CChatEvent.h"

#include <utility>

CFakeMainWindow::CFakeMainWindow(std::string strUser)
    : m_strUser(std::move(strUser)), m_pPrevious(MainWnd()) {
    m_strSection = "Prefs-" + m_strUser;
    SetMainWnd(this);
}

CFakeMainWindow::~CFakeMainWindow() { SetMainWnd(m_pPrevious); }

void CFakeMainWindow::OpenChatRequest(const std::string& strRequest) {
    m_chatRequests.push_back(strRequest);
}

void CFakeMainWindow::BroadcastEvent(const CChatEvent& event) {
    m_broadcasts.push_back(event.ToXml());
}

void CFakeMainWindow::AlertClicked(const CChatEvent& event) {
    m_alertClicks.push_back(event.ToXml());
}
