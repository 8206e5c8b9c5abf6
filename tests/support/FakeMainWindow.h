#pragma once

// A main window for window tests: set as MainWnd() for its lifetime, with a user name and
// settings section the test chooses, recording the chat requests and events it is handed.

#include "hub/CMainWindow.h"

#include <string>
#include <vector>

class CFakeMainWindow final : public CMainWindow {
public:
    explicit CFakeMainWindow(std::string strUser = "kim");
    ~CFakeMainWindow() override;
    CFakeMainWindow(const CFakeMainWindow&) = delete;
    CFakeMainWindow& operator=(const CFakeMainWindow&) = delete;

    void Quit() override {}
    void OpenPrefs() override { ++m_nPrefsOpened; }
    void ShowMain() override {}
    void OpenChatRequest(const std::string& strRequest) override;
    void ShowTrayMenu(const QPoint&) override {}
    void MoveChatToUser(CChatDlg* pDlg) override { m_movedToUser.push_back(pDlg); }
    void MoveChatToGuest(CChatDlg* pDlg) override { m_movedToGuest.push_back(pDlg); }
    void BroadcastEvent(const CChatEvent& event) override;
    void AlertClicked(const CChatEvent& event) override;
    std::string UserName() const override { return m_strUser; }
    std::string Password() const override { return {}; }

    std::string m_strUser;
    std::vector<std::string> m_chatRequests;
    std::vector<CChatDlg*> m_movedToUser;
    std::vector<CChatDlg*> m_movedToGuest;
    // The texts of the events handed over.
    std::vector<std::string> m_broadcasts;
    std::vector<std::string> m_alertClicks;
    int m_nPrefsOpened = 0;

private:
    CMainWindow* m_pPrevious;
};
