#pragma once

// The news window of a logged-in user: a headline pane showing one item at a time with
// previous and next buttons, when news was last checked, the peer count and a menu button.
// It runs the check cycle, takes the checks' results, and announces new headlines by
// blinking the tray icon, playing a sound and one notification per check. Created hidden
// after login; it shows itself only when asked (a click on the tray icon).
//
// Checks run on the timer whatever is shown, but the shown list is never replaced behind
// the user's back: headlines that come while the user has not dealt with the shown ones
// (see MayRefresh) wait, and the title and status line count them; "Update News" or
// moving past the last shown item shows them. When sources failed, a line in the button
// row says how many and opens the preferences.

#include "news/CNewsItem.h"
#include "news/NewsDisplay.h"
#include "news/SourceStatus.h"
#include "platform/AppEvent.h"
#include "platform/CTimerSet.h"

#include <QDialog>
#include <QTextCharFormat>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTextEdit;

// A link in the pane: characters first..end (both included) lead to target.
struct NewsLink {
    int nFirst = 0;
    int nEnd = 0;
    std::string strTarget;
};

// Whether a screen point lies on a window's frame (title bar, borders): inside the frame
// rectangle, outside the client one.
bool IsFramePoint(const QRect& rcFrame, const QRect& rcClient, const QPoint& point);

class CNewsDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CNewsDlg)

public:
    // Prepares the window hidden and starts the first check.
    explicit CNewsDlg(QWidget* pParent = nullptr);
    ~CNewsDlg() override;

    CWindowHandle Handle() const { return m_handle ? m_handle->Handle() : 0; }
    // Ends the window: it takes no more results, stops its timers and hides at once, and
    // is deleted by the event loop (it may be inside one of its own handlers now).
    void Destroy();

    void ShowNewsWindow();
    void UpdateNews();
    void ApplyDisplaySettings();
    void ShowPastNews();
    void SetPeerCount(int nPeers);
    // Other clients cannot connect to this one: the peer line says so and why, under
    // the count, until the window goes.
    void SetUnreachable(const std::string& strWhy);
    void CheckNews();

    // The pane.
    void ShowItem();
    void ClearPane();
    void AppendText(const std::string& strText, const QTextCharFormat& format);
    void AppendLink(const std::string& strTarget, const std::string& strText);
    // The target of the link under a point of the pane's viewport.
    std::optional<std::string> HitTestLink(const QPoint& point) const;
    // What a left click at a point of the pane does.
    void OnPaneClick(const QPoint& point);

    void OnNext();
    void OnPrev();
    void OnTimer(int nIDEvent);
    // Opens the chat room of the headline shown (Enter or Space does it too).
    void OpenCurrentRoom();

    // At most this many headlines wait; the oldest go first (they are in past news).
    static constexpr size_t MAX_WAITING = 500;

    // State, for the windows that use it and for tests.
    const CNewsItemList& Items() const { return m_items; }
    const CNewsItemList& Waiting() const { return m_waiting; }
    // How many chosen sources the last check could not read.
    size_t FailedSources() const { return m_nFailed; }
    int Current() const { return m_nCurrent; }
    bool MayRefresh() const { return m_bMayRefresh; }
    bool IsBlinking() const { return m_bBlinking; }
    bool IsChecking() const { return m_bChecking; }
    const PastNewsIndex* PastNews() const { return m_pPastNews.get(); }
    const std::vector<NewsLink>& Links() const { return m_links; }
    int LineHeight() const { return m_nLineHeight; }
    QTextEdit* Pane() const { return m_pPane; }
    const CTimerSet& Timers() const { return m_timers; }

protected:
    bool event(QEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    void keyReleaseEvent(QKeyEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    // Enter and Escape never close the window.
    void accept() override {}
    void reject() override {}

private:
    void BuildControls();
    void LayOut();
    void StartCheck();
    // The user has seen the news: checks may replace it, the blink stops.
    void Acknowledge();
    bool IsPointerOnFrame() const;
    // Left/Right and, where the pane does not scroll, Page Up/Down move between items.
    bool OnNavigationKey(const QKeyEvent* pEvent);
    void OnNewsItems(CNewsItemList* pItems, const CSourceStatusMap* pStatuses);
    // The waiting headlines replace the shown ones.
    void ShowWaiting();
    void ShowFailures(const CSourceStatusMap& statuses);
    void NotifyNews(const CNewsItemList& items);
    void OpenItemRoom(const CNewsItem& item, const std::string& strUrl);
    void StartBlink(int nIconId);
    void StopBlink(int nIconId);
    void SetTitleFromList();
    void ShowPeerLine();
    std::string Section() const;
    std::string UserName() const;
    int TextLength() const;
    int LineOfChar(int nPos) const;
    int FirstCharOfLine(int nLine) const;
    int FirstVisibleLine() const;
    QPoint PosFromChar(int nPos) const;

    std::optional<CHandleRegistration> m_handle;
    CTimerSet m_timers;

    QTextEdit* m_pPane = nullptr;          // 1005
    QLabel* m_pCaption = nullptr;          // 1008
    QPushButton* m_pNextButton = nullptr;  // 1009
    QPushButton* m_pPrevButton = nullptr;  // 1010
    QLabel* m_pStatus = nullptr;           // 1004
    QPushButton* m_pMenuButton = nullptr;  // 1046
    QLabel* m_pFailures = nullptr;         // "N sources failed: see Prefs"

    CNewsItemList m_items;
    CNewsItemList m_waiting;  // oldest first
    size_t m_nFailed = 0;
    int m_nCurrent = 0;
    std::unique_ptr<PastNewsIndex> m_pPastNews;
    bool m_bMayRefresh = true;
    bool m_bBlinking = false;
    bool m_bBlinkPhase = false;
    int m_nBlinkIcon = 0;
    bool m_bFirstPaint = true;
    int m_nCaptionHeight = 0;
    int m_nStatusHeight = 0;
    int m_nPeers = -1;  // none reported yet
    std::string m_strUnreachable;
    // One check at a time: a check asked for while one runs waits for it.
    bool m_bChecking = false;
    bool m_bCheckQueued = false;
    // When the program last asked for the window to be activated.
    std::chrono::steady_clock::time_point m_activationAsked{};

    // The pane's formats and links.
    QTextCharFormat m_cfDate;
    QTextCharFormat m_cfSource;
    QTextCharFormat m_cfHeadline;
    QTextCharFormat m_cfPlain;
    std::vector<NewsLink> m_links;
    int m_nLineHeight = 1;
};
