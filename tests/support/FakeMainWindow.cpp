#include "tests/support/FakeMainWindow.h"

#include "peer/CChatEvent.h"
#include "ui/CAlertWnd.h"

#include <utility>

CFakeMainWindow::CFakeMainWindow(std::string strUser)
    : m_strUser(std::move(strUser)), m_strSection("Prefs-" + m_strUser), m_pPrevious(MainWnd()) {
    SetMainWnd(this);
    CAlertWnd::SetClickHandler(
        [this](const CChatEvent& event) { m_alertClicks.push_back(event.ToXml()); });
}

CFakeMainWindow::~CFakeMainWindow() {
    CAlertWnd::SetClickHandler({});
    SetMainWnd(m_pPrevious);
}

void CFakeMainWindow::OpenChatRequest(const std::string& strRequest) {
    m_chatRequests.push_back(strRequest);
}

void CFakeMainWindow::BroadcastEvent(const CChatEvent& event) {
    m_broadcasts.push_back(event.ToXml());
}
