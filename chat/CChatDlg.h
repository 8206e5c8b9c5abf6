#pragma once

// The chat window of one article: the article's page in a browser pane, and the IRC room
// of its channel with the chat pane, the user list and the input box. It starts watching
// through the guest client; "Join..." moves it to the user's own client so the user can
// write, "Leave..." moves it back. The input box takes commands (ParseTypedLine), walks
// back through the lines sent (Up, Down) and completes nicknames (Tab); the pane shows web
// addresses as links, marks messages that name the user (and, from the background, has
// the host notify) and where the unseen lines begin. Created by the session, deleted when
// closed.

#include "chat/CChatRoom.h"
#include "platform/CTimerSet.h"

#include <QDialog>
#include <QStringList>
#include <QTextCharFormat>
#include <QTextCursor>

#include <deque>
#include <string>

class CBrowserPane;
class CChatHost;
class QLabel;
class QLineEdit;
class QPoint;
class QProgressBar;
class QPushButton;
class QTextBrowser;
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
    // Lines sent in this room that Up and Down in the input box walk back through.
    static constexpr int MAX_HISTORY = 50;
    // The line the pane shows where the lines that came while the window was in the
    // background begin.
    static constexpr const char* UNREAD_MARKER =
        "\u2500\u2500\u2500\u2500 new \u2500\u2500\u2500\u2500";

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
    // Reads the chat settings of the user (timestamps, notifications), as the window does
    // when it opens; the session calls it again when the preferences change them.
    void ApplySettings();
    // "HH:MM " before each line from now on, in the look of the line's start (a nickname,
    // an action, a system line).
    void ShowTimestamps(bool bShow) { m_bTimestamps = bShow; }
    // Sends the typed text (also Enter in the input box): a message, or a command (see
    // ParseTypedLine): an action, a topic; the room says which commands exist when it is
    // given another.
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
    void OnMentioned(const std::string& strNick, std::string_view strText) override;

    void closeEvent(QCloseEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void accept() override {}
    void reject() override {}

private:
    void BuildControls();
    // Input, send, user list, the buttons, then the pane and the page: the page's links
    // come after everything of the room's own.
    void SetTabOrder();
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
    // The text of the pane's link at a point of its viewport, or nothing.
    QString LinkAt(const QPoint& point) const;
    // Web addresses only go to the desktop's browser.
    void OnLinkClicked(const QString& strLink);
    // Queues a run of the pane, strLead before it; runs of text are cut into text and links.
    void QueueRun(const QString& strLead, const std::string& strText, int nStyle, bool bFindLinks);
    // The window went to the background, or came back: the marker goes where the lines
    // that came meanwhile begin.
    void OnActivationChanged(bool bActive);
    void PlaceUnreadMarker();
    // "HH:MM ", made once a minute.
    const QString& Timestamp();
    // Up and Down in the input box; Tab completes a nickname (false: nothing to complete,
    // and Tab moves on).
    void WalkHistory(int nStep);
    void Remember(const QString& strLine);
    bool CompleteNick();

    CChatHost* m_pHost;
    CTimerSet m_timers;
    CBrowserPane* m_pBrowser = nullptr;
    QTextBrowser* m_pPane = nullptr;
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
    // One per EChatStyle, then links.
    QTextCharFormat m_formats[CHAT_STYLE_COUNT + 1];
    std::string m_strUrl;
    std::string m_strPageUrl;
    int m_nMode = MODE_GUEST;
    bool m_bFirstPaint = true;
    struct CRun {
        QString strText;
        int nStyle;
    };
    std::deque<CRun> m_pendingRuns;
    bool m_bPanePending = false;
    // The link under the last press of the mouse in the pane.
    QString m_strPressedLink;
    bool m_bLineStart = true;
    bool m_bTimestamps = false;
    bool m_bNotify = true;
    long long m_nStampMinute = -1;
    QString m_strStamp;
    // While in the background: where the pane ended when the window left the foreground,
    // and whether lines came since; the marker shown last.
    bool m_bAway = false;
    bool m_bUnread = false;
    QTextCursor m_readMark;
    QTextCursor m_marker;
    // Lines sent, oldest first; the place Up and Down have reached (size: the line being
    // typed, kept in m_strDraft).
    std::deque<QString> m_history;
    size_t m_nHistoryPos = 0;
    QString m_strDraft;
    // A completion Tab may go on with: the names, the one shown, and where it stands.
    QStringList m_completions;
    int m_nCompletion = 0;
    int m_nCompletionStart = 0;
    int m_nCompletionEnd = 0;
    bool m_bFlashing = false;
    bool m_bFlashPhase = false;
    bool m_bUsersPending = false;
    bool m_bClosed = false;
    // Layout sizes, measured once: user-list width and height, send button, progress
    // bar, location box, its label, e-mail button, join button and count label.
    int m_nLW = 0, m_nLH = 0, m_nS = 0, m_nP = 0, m_nLo = 0, m_nLbW = 0, m_nEW = 0, m_nJH = 0,
        m_nTH = 0;
};
