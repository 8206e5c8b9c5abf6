#pragma once

// The chat window of one article: the article's page in a browser pane, and the IRC room
// of its channel with the chat pane, the user list and the input box. It starts watching
// through the guest client; "Join..." moves it to the user's own client so the user can
// write, "Leave..." moves it back. Created by the login window, deleted when closed.

#include "chat/CChatRoom.h"
#include "platform/CTimerSet.h"

#include <QDialog>
#include <QTextCharFormat>

#include <deque>
#include <string>
#include <utility>

class CBrowserPane;
class CChatHost;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTextEdit;
class QTreeWidget;

// The links the sharing buttons hand to the desktop: a mailto: URI with the topic in its
// subject and the page in its body, and an instant-message link carrying the page; every
// value percent-encoded.
std::string MailtoUrl(const std::string& strTopic, const std::string& strPageUrl);
std::string InstantMessageUrl(const std::string& strPageUrl);

class CChatDlg final : public QDialog, public CChatRoom {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CChatDlg)

public:
    static constexpr int MODE_GUEST = 1;
    static constexpr int MODE_JOINED = 2;

    // Lines the chat pane keeps; older ones go from the top.
    static constexpr int MAX_PANE_LINES = 5000;

    // A window for the channel, sending through pClient until a room list takes it. It
    // loads strUrl when it is a web address (http or https).
    // pHost (may be null: the window then only watches) outlives the window.
    CChatDlg(CIrcClient* pClient, const std::string& strChannel, const std::string& strUrl,
             CChatHost* pHost = nullptr);
    ~CChatDlg() override;

    int Mode() const { return m_nMode; }
    const std::string& ArticleUrl() const { return m_strUrl; }
    // The address of the page the browser pane last finished loading.
    const std::string& PageUrl() const { return m_strPageUrl; }
    bool IsFlashing() const { return m_bFlashing; }
    // Sends the typed text (also Enter in the input box).
    void OnSend();
    // The join or leave button.
    void OnJoinOrLeave();
    void OnEmail();
    void OnInstantMessage();

    // For tests: the chat pane's text, the browser pane.
    QString PaneText();
    int PaneLines();
    CBrowserPane* Browser() const { return m_pBrowser; }

protected:
    // CChatRoom
    void AppendLine(const std::string& strText, EChatStyle style) override;
    void OnTopicChanged() override;
    void OnUsersChanged() override;
    void OnControlsEnabled(bool bEnabled) override;
    void OnMessageShown() override;

    void closeEvent(QCloseEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void accept() override {}
    void reject() override {}

private:
    void BuildControls();
    void LayOut();
    // Draws the lines gathered since the last turn of the event loop.
    void FlushPane();
    void OnTimer(int nIDEvent);
    void StopFlashing();
    // The settings section that keeps the window's place.
    std::string Section() const;
    // The topic, or "Chat" before the server has named one.
    QString Title() const;
    // Rebuilds the user list and its count, once per turn of the event loop: a server
    // may send thousands of names replies in one read.
    void SyncUsers();
    void OnDocumentComplete(const QString& strUrl);

    CChatHost* m_pHost;
    CTimerSet m_timers;
    CBrowserPane* m_pBrowser = nullptr;
    QTextEdit* m_pPane = nullptr;
    QTreeWidget* m_pUsers = nullptr;
    QLabel* m_pCount = nullptr;
    QLineEdit* m_pInput = nullptr;
    QPushButton* m_pSend = nullptr;
    QPushButton* m_pJoin = nullptr;
    QPushButton* m_pEmail = nullptr;
    QPushButton* m_pInstant = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QLabel* m_pLocationLabel = nullptr;
    QLineEdit* m_pLocation = nullptr;
    QTextCharFormat m_formats[4];
    std::string m_strUrl;
    std::string m_strPageUrl;
    int m_nMode = MODE_GUEST;
    bool m_bFirstPaint = true;
    std::deque<std::pair<QString, int>> m_pendingRuns;
    bool m_bPanePending = false;
    bool m_bFlashing = false;
    bool m_bFlashPhase = false;
    bool m_bUsersPending = false;
    bool m_bClosed = false;
    // Layout sizes, measured once: user-list width and height, send button, progress
    // bar, location box, its label, e-mail button, join button and count label.
    int m_nLW = 0, m_nLH = 0, m_nS = 0, m_nP = 0, m_nLo = 0, m_nLbW = 0, m_nEW = 0, m_nJH = 0,
        m_nTH = 0;
};
