#pragma once

// A stand-in for the session in window tests: set as MainWnd() and as the alerts' click
// handler for its lifetime, with a user name and settings section the test chooses, and
// the host chat windows are given; it records the chat requests, moves, invitations and
// alert clicks it is handed.

#include "chat/CChatHost.h"
#include "hub/CMainWindow.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

class CFakeMainWindow final : public CMainWindow, public CChatHost {
public:
    explicit CFakeMainWindow(std::string strUser = "kim");
    ~CFakeMainWindow() override;
    CFakeMainWindow(const CFakeMainWindow&) = delete;
    CFakeMainWindow& operator=(const CFakeMainWindow&) = delete;

    void Quit() override {}
    void OpenPrefs() override { ++m_nPrefsOpened; }
    void ShowMain() override { ++m_nShown; }
    void OpenChatRequest(const std::string& strRequest) override;
    void ShowTrayMenu(const QPoint&) override {}
    void Notify(const std::string& strText, std::function<void()> fnOnClick) override {
        m_notifications.push_back(strText);
        m_fnNotificationClick = std::move(fnOnClick);
    }
    std::string UserName() const override { return m_strUser; }
    std::string Password() const override { return {}; }
    std::string Section() const override { return m_strSection; }
    bool InSession() const override { return true; }
    void MoveChatToUser(CChatDlg* pDlg) override { m_movedToUser.push_back(pDlg); }
    void MoveChatToGuest(CChatDlg* pDlg) override { m_movedToGuest.push_back(pDlg); }
    void BroadcastEvent(const CChatEvent& event) override;
    void NotifyMention(CChatDlg* pDlg, const std::string& strText) override {
        m_mentions.emplace_back(pDlg, strText);
    }

    std::string m_strUser;
    std::string m_strSection;
    std::vector<std::string> m_chatRequests;
    std::vector<CChatDlg*> m_movedToUser;
    std::vector<CChatDlg*> m_movedToGuest;
    // The texts of the events handed over.
    std::vector<std::string> m_broadcasts;
    std::vector<std::string> m_alertClicks;
    std::vector<std::pair<CChatDlg*, std::string>> m_mentions;
    int m_nPrefsOpened = 0;
    int m_nShown = 0;
    std::vector<std::string> m_notifications;
    std::function<void()> m_fnNotificationClick;  // the last notification's

private:
    CMainWindow* m_pPrevious;
};
