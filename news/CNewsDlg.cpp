#include "news/CNewsDlg.h"

#include "gui/ResourceIds.h"
#include "gui/Shell.h"
#include "gui/Tray.h"
#include "hub/CMainWindow.h"
#include "news/CPastNewsDlg.h"
#include "news/NewsCheck.h"
#include "news/NewsFiles.h"
#include "platform/Logging.h"
#include "ui/MessageBox.h"
#include "ui/WindowPlacement.h"
#include "util/Settings.h"
#include "util/Version.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextEdit>

#include <ctime>

namespace {

constexpr const char* kTitleBase = "Latest News";
constexpr const char* kTitleChecking = "Checking...";
constexpr const char* kTipUpdating = "Updating...";
constexpr int kBlinkPeriodMs = 500;
// An activation this soon after the program asked for one is the program's.
constexpr std::chrono::milliseconds kProgramActivation{1000};

// The window's layout, top to bottom: the caption, the pane, the button row (Menu at the
// left, the arrows at the right) and the status bar.
constexpr int kCaptionTop = 1;
constexpr int kPaneTop = 3;         // below the caption's height
constexpr int kPaneGap = 2;         // between the pane and the button row
constexpr int kButtonRowRise = 25;  // from the button row's top to the status bar
constexpr int kButtonSize = 24;     // every button's height and the arrows' width
constexpr int kMenuButtonWidth = 48;
constexpr int kPrevFromRight = 54;  // the arrows' left edges, from the window's right edge
constexpr int kNextFromRight = 26;
constexpr int kFailuresGap = 4;  // around the failure line in the button row
constexpr int kDefaultWidth = 300;
constexpr int kDefaultHeight = 200;
// The work area assumed while the window is on no screen.
constexpr QRect kFallbackWorkArea(0, 0, 1024, 768);

}  // namespace

bool IsFramePoint(const QRect& rcFrame, const QRect& rcClient, const QPoint& point) {
    return rcFrame.contains(point) && !rcClient.contains(point);
}

namespace {

std::string LocalTimeNow(const char* pszPattern) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char szText[32];
    size_t n = std::strftime(szText, sizeof szText, pszPattern, &local);
    return std::string(szText, n);
}

}  // namespace

CNewsDlg::CNewsDlg(QWidget* pParent)
    : QDialog(pParent), m_timers([this](int nIDEvent) { OnTimer(nIDEvent); }) {
    m_handle.emplace(this);
    setWindowTitle("News");
    setWindowIcon(LoadAppIcon(IDI_MAIN));
    setSizeGripEnabled(true);
    BuildControls();
    m_nCaptionHeight = m_pCaption->sizeHint().height();
    m_nStatusHeight = m_pStatus->sizeHint().height();
    resize(kDefaultWidth, kDefaultHeight);
    ApplyDisplaySettings();
    CheckNews();
}

CNewsDlg::~CNewsDlg() = default;

void CNewsDlg::BuildControls() {
    m_pPane = new QTextEdit(this);
    m_pPane->setObjectName("pane");
    m_pPane->setReadOnly(true);
    m_pPane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pPane->setUndoRedoEnabled(false);
    m_pPane->viewport()->setMouseTracking(true);
    m_pPane->viewport()->installEventFilter(this);
    m_pPane->installEventFilter(this);
    m_pCaption = new QLabel(this);
    m_pCaption->setObjectName("caption");
    m_pCaption->setTextFormat(Qt::PlainText);
    m_pNextButton = new QPushButton(LoadAppIcon(IDI_NEXT), QString(), this);
    m_pNextButton->setObjectName("next");
    m_pNextButton->setEnabled(false);
    m_pPrevButton = new QPushButton(LoadAppIcon(IDI_PREV), QString(), this);
    m_pPrevButton->setObjectName("prev");
    m_pPrevButton->setEnabled(false);
    m_pStatus = new QLabel("Connecting to peers...", this);
    m_pStatus->setObjectName("status");
    m_pStatus->setTextFormat(Qt::PlainText);
    m_pStatus->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_pMenuButton = new QPushButton("Menu", this);
    m_pMenuButton->setObjectName("menu");
    m_pFailures = new QLabel(this);
    m_pFailures->setObjectName("failures");
    m_pFailures->setTextFormat(Qt::RichText);
    m_pFailures->setAlignment(Qt::AlignCenter);
    m_pFailures->hide();
    connect(m_pFailures, &QLabel::linkActivated, this, [] {
        if (CMainWindow* pMain = MainWnd()) {
            pMain->OpenPrefs();
        }
    });
    for (QPushButton* pButton : {m_pNextButton, m_pPrevButton, m_pMenuButton}) {
        pButton->setAutoDefault(false);
    }
    connect(m_pNextButton, &QPushButton::clicked, this, &CNewsDlg::OnNext);
    connect(m_pPrevButton, &QPushButton::clicked, this, &CNewsDlg::OnPrev);
    connect(m_pMenuButton, &QPushButton::clicked, this, [] {
        if (CMainWindow* pMain = MainWnd()) {
            pMain->ShowTrayMenu(QCursor::pos());
        }
    });
}

void CNewsDlg::Destroy() {
    m_handle.reset();
    m_timers.KillTimer(TIMER_NEWS_CHECK);
    m_timers.KillTimer(TIMER_TRAY_BLINK);
    hide();
    deleteLater();
}

std::string CNewsDlg::Section() const { return UserSection(); }

std::string CNewsDlg::UserName() const { return CurrentUser(); }

void CNewsDlg::LayOut() {
    const int W = width();
    const int H = height();
    const int T = m_nCaptionHeight;
    const int S = m_nStatusHeight;
    const int nButtonTop = H - S - kButtonRowRise;
    m_pCaption->setGeometry(0, kCaptionTop, W, T);
    m_pPane->setGeometry(0, T + kPaneTop, W, nButtonTop - kPaneGap - (T + kPaneTop));
    m_pMenuButton->setGeometry(0, nButtonTop, kMenuButtonWidth, kButtonSize);
    m_pPrevButton->setGeometry(W - kPrevFromRight, nButtonTop, kButtonSize, kButtonSize);
    m_pNextButton->setGeometry(W - kNextFromRight, nButtonTop, kButtonSize, kButtonSize);
    // Between Menu and the arrows.
    const int nFailuresLeft = kMenuButtonWidth + kFailuresGap;
    m_pFailures->setGeometry(nFailuresLeft, nButtonTop,
                             std::max(0, W - kPrevFromRight - kFailuresGap - nFailuresLeft),
                             kButtonSize);
    m_pStatus->setGeometry(0, H - S, W, S);
}

void CNewsDlg::resizeEvent(QResizeEvent* pEvent) {
    QDialog::resizeEvent(pEvent);
    LayOut();
}

void CNewsDlg::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    if (!m_bFirstPaint) {
        return;
    }
    // The first time it appears the window goes where it was last closed, or by default
    // to the bottom right corner of the work area.
    m_bFirstPaint = false;
    const std::string strSection = Section();
    QRect work = screen() ? screen()->availableGeometry() : kFallbackWorkArea;
    // The default corner depends on the stored size, so the size is read first.
    QRect size = LoadWindowRect(strSection, PLACE_NEWS, QRect(0, 0, width(), height()));
    QRect corner(work.x() + work.width() - size.width(), work.y() + work.height() - size.height(),
                 size.width(), size.height());
    setGeometry(FitOnScreens(LoadWindowRect(strSection, PLACE_NEWS, corner)));
}

void CNewsDlg::closeEvent(QCloseEvent* pEvent) {
    pEvent->ignore();
    SaveWindowRect(Section(), PLACE_NEWS, geometry());
    hide();
    m_bMayRefresh = true;
}

void CNewsDlg::ShowNewsWindow() {
    show();
    raise();
    m_activationAsked = std::chrono::steady_clock::now();
    activateWindow();
    StopBlink(IDI_MAIN);
    // The user dealt with what was shown: what waited comes now.
    if (m_bMayRefresh && !m_waiting.empty()) {
        ShowWaiting();
    }
    m_pPane->moveCursor(QTextCursor::Start);
    ShowItem();
    m_bMayRefresh = false;
}

void CNewsDlg::UpdateNews() {
    // What waits is shown first; then the check's news waits behind it, not replacing it.
    if (!m_waiting.empty()) {
        ShowWaiting();
        m_bMayRefresh = false;
    } else {
        m_bMayRefresh = true;
    }
    CheckNews();
}

void CNewsDlg::ShowWaiting() {
    m_items = std::move(m_waiting);
    m_waiting.clear();
    m_nCurrent = 0;
    m_pPrevButton->setEnabled(!m_items.empty());
    m_pNextButton->setEnabled(!m_items.empty());
    ShowItem();
    ShowPeerLine();
}

void CNewsDlg::CheckNews() {
    if (!HasChosenSources(UserName())) {
        ClearPane();
        AppendLink("prefs:", "Click here to add some feeds.");
        return;
    }
    // Checks run whatever is shown; what they bring waits while the user reads.
    m_timers.KillTimer(TIMER_NEWS_CHECK);
    if (m_items.empty()) {
        setWindowTitle(kTitleChecking);
    }
    TraySet(IDI_UPDATING, kTipUpdating);
    StartCheck();
}

void CNewsDlg::StartCheck() {
    if (m_bChecking) {
        m_bCheckQueued = true;
        return;
    }
    m_bChecking = true;
    NewsThreadParams params;
    params.hWnd = Handle();
    params.strUser = UserName();
    StartNewsThread(std::move(params));
}

void CNewsDlg::Acknowledge() {
    m_bMayRefresh = true;
    StopBlink(IDI_MAIN);
}

bool CNewsDlg::IsPointerOnFrame() const {
    return IsFramePoint(frameGeometry(), geometry(), QCursor::pos());
}

bool CNewsDlg::event(QEvent* pEvent) {
    switch (pEvent->type()) {
        case QEvent::NonClientAreaMouseButtonPress:
            // A click on the title bar or frame acknowledges the news, where the platform
            // reports one.
            Acknowledge();
            return QDialog::event(pEvent);
        case QEvent::Move:
            // Dragged by its title bar: on X11 the window manager takes the press itself.
            if (isVisible() && isActiveWindow() && IsPointerOnFrame()) {
                Acknowledge();
            }
            return QDialog::event(pEvent);
        default: break;
    }
    auto* pApp = dynamic_cast<CAppEvent*>(pEvent);
    if (!pApp) {
        return QDialog::event(pEvent);
    }
    switch (pApp->Message()) {
        case UM_NEWS_OFFLINE: TraySet(IDI_OFFLINE, "Offline"); break;
        case UM_NEWS_INDEX:
            m_pPastNews =
                std::make_unique<PastNewsIndex>(std::move(WParamOf<UM_NEWS_INDEX>(*pApp)));
            break;
        case UM_NEWS_ITEMS:
            OnNewsItems(&WParamOf<UM_NEWS_ITEMS>(*pApp), &LParamOf<UM_NEWS_ITEMS>(*pApp));
            break;
        default: return QDialog::event(pEvent);
    }
    return true;
}

void CNewsDlg::SetTitleFromList() {
    QString strTitle = kTitleBase;
    if (!m_items.empty()) {
        strTitle = QString("%1 - (%2 of %3)")
                       .arg(kTitleBase)
                       .arg(m_nCurrent + 1)
                       .arg(static_cast<int>(m_items.size()));
    }
    if (!m_waiting.empty()) {
        strTitle += QString(", %1 waiting").arg(static_cast<int>(m_waiting.size()));
    }
    setWindowTitle(strTitle);
}

void CNewsDlg::OnNewsItems(CNewsItemList* pItems, const CSourceStatusMap* pStatuses) {
    qCInfo(AppLog) << "news: check done," << (pItems ? pItems->size() : 0) << "new";
    m_bChecking = false;
    TraySet(IDI_MAIN, "");
    m_pCaption->setText(QString::fromStdString("Last checked at " + LocalTimeNow("%I:%M %p")));
    m_timers.KillTimer(TIMER_NEWS_CHECK);
    if (pStatuses) {
        ShowFailures(*pStatuses);
    }
    if (pItems && !pItems->empty()) {
        StartBlink(IDI_NEWS);
        if (ReadFlag(SETTING_SOUND_ON)) {
            PlayNamedSound("Default Beep");
        }
        NotifyNews(*pItems);
        for (std::unique_ptr<CNewsItem>& pItem : *pItems) {
            m_waiting.push_back(std::move(pItem));
        }
        if (m_waiting.size() > MAX_WAITING) {
            m_waiting.erase(m_waiting.begin(),
                            m_waiting.begin() + static_cast<long>(m_waiting.size() - MAX_WAITING));
        }
        // Shown at once only when the user has dealt with what is shown; what waited
        // comes first.
        if (m_bMayRefresh || m_items.empty()) {
            ShowWaiting();
            m_bMayRefresh = false;
        } else {
            SetTitleFromList();
            ShowPeerLine();
        }
    } else {
        SetTitleFromList();
        // Unacknowledged news keeps blinking until the user deals with it.
        if (m_bMayRefresh || m_items.empty()) {
            StopBlink(IDI_MAIN);
        }
        if (m_items.empty()) {
            ClearPane();
            AppendText("No new news.", m_cfPlain);
            m_pPrevButton->setEnabled(false);
            m_pNextButton->setEnabled(false);
            m_bMayRefresh = true;
        }
    }
    m_timers.SetTimer(TIMER_NEWS_CHECK, CheckIntervalMinutes(Section()) * 60000);
    if (m_bCheckQueued) {
        // A check asked for meanwhile: it runs now, and its news replace what is shown.
        m_bCheckQueued = false;
        m_bMayRefresh = true;
        CheckNews();
    }
}

void CNewsDlg::ShowFailures(const CSourceStatusMap& statuses) {
    m_nFailed = FailedCount(statuses);
    if (m_nFailed == 0) {
        m_pFailures->hide();
        return;
    }
    const QString strText = m_nFailed == 1 ? QString("1 source failed: see Prefs")
                                           : QString("%1 sources failed: see Prefs").arg(m_nFailed);
    m_pFailures->setText(QString("<a href=\"prefs:\">%1</a>").arg(strText));
    // The first few reasons, one a line; the sources page has them all.
    constexpr size_t kMaxReasons = 10;
    QStringList reasons;
    for (const auto& [strName, status] : statuses) {
        if (status.Failed() && static_cast<size_t>(reasons.size()) < kMaxReasons) {
            reasons << QString::fromStdString(strName + ": " + status.Text());
        }
    }
    m_pFailures->setToolTip(reasons.join('\n'));
    m_pFailures->show();
}

void CNewsDlg::NotifyNews(const CNewsItemList& items) {
    CMainWindow* pMain = MainWnd();
    if (items.empty() || !pMain || !ReadFlag(SETTING_NEWS_NOTIFY, Section())) {
        return;
    }
    const std::string strCount = items.size() == 1
                                     ? std::string("1 new headline: ")
                                     : std::to_string(items.size()) + " new headlines: ";
    pMain->Notify(strCount + DisplayText(items.front()->m_strHeadline), [] {
        if (CMainWindow* pMain = MainWnd()) {
            pMain->ShowMain();
        }
    });
}

void CNewsDlg::StartBlink(int nIconId) {
    m_bBlinking = true;
    TraySet(nIconId, kTipUpdating);
    m_bBlinkPhase = true;
    m_nBlinkIcon = nIconId;
    m_timers.SetTimer(TIMER_TRAY_BLINK, kBlinkPeriodMs);
}

void CNewsDlg::StopBlink(int nIconId) {
    m_bBlinking = false;
    TraySet(nIconId, "");
    m_timers.KillTimer(TIMER_TRAY_BLINK);
}

void CNewsDlg::OnTimer(int nIDEvent) {
    if (nIDEvent == TIMER_NEWS_CHECK) {
        CheckNews();
    } else if (nIDEvent == TIMER_TRAY_BLINK) {
        m_bBlinkPhase = !m_bBlinkPhase;
        TraySet(m_bBlinkPhase ? m_nBlinkIcon : IDI_MAIN, kTipUpdating);
    }
}

void CNewsDlg::changeEvent(QEvent* pEvent) {
    QDialog::changeEvent(pEvent);
    if (pEvent->type() != QEvent::ActivationChange || !isActiveWindow()) {
        return;
    }
    // Activated by a click on its title bar (the pointer is on the frame, which only the
    // window manager sees) counts as the title-bar press. A click inside also stops the
    // blink; activation by keyboard or program does neither.
    if (IsPointerOnFrame()) {
        Acknowledge();
    } else if (!WindowsCanBePlaced() &&
               std::chrono::steady_clock::now() - m_activationAsked > kProgramActivation) {
        // Under Wayland the title bar is the compositor's and the pointer on it is never
        // seen: an activation the program did not ask for stands for the title-bar click.
        Acknowledge();
    } else if (m_bBlinking && QGuiApplication::mouseButtons() != Qt::NoButton) {
        StopBlink(IDI_MAIN);
    }
}

void CNewsDlg::mousePressEvent(QMouseEvent* pEvent) {
    // Where nothing reaches the program for a title-bar click (the window is already
    // active), a press on the window's own background stands for it: the "Last checked"
    // line, the status line, the space around the buttons. The pane and the buttons take
    // their own presses and never get here.
    if (pEvent->button() == Qt::LeftButton) {
        Acknowledge();
    }
    QDialog::mousePressEvent(pEvent);
}

void CNewsDlg::OnNext() {
    // Past the last item shown, the waiting ones come.
    if (!m_waiting.empty() && m_nCurrent + 1 >= static_cast<int>(m_items.size())) {
        ShowWaiting();
        return;
    }
    if (m_items.empty()) {
        m_nCurrent = 0;
        return;
    }
    m_nCurrent = std::min(m_nCurrent + 1, static_cast<int>(m_items.size()) - 1);
    ShowItem();
}

void CNewsDlg::OnPrev() {
    if (m_items.empty()) {
        m_nCurrent = 0;
        return;
    }
    m_nCurrent = std::max(m_nCurrent - 1, 0);
    ShowItem();
}

void CNewsDlg::keyReleaseEvent(QKeyEvent* pEvent) {
    if (pEvent->key() == Qt::Key_Delete) {
        OnNext();
    } else if (pEvent->key() == Qt::Key_Print) {
        OnPrev();
    }
    QDialog::keyReleaseEvent(pEvent);
}

bool CNewsDlg::OnNavigationKey(const QKeyEvent* pEvent) {
    // The pane has no caret, so the arrows are free; the page keys go to it while it has
    // something to scroll.
    const bool bPaneScrolls = m_pPane->verticalScrollBar()->maximum() > 0;
    switch (pEvent->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space: OpenCurrentRoom(); return true;
        case Qt::Key_Right: OnNext(); return true;
        case Qt::Key_Left: OnPrev(); return true;
        case Qt::Key_PageDown:
            if (!bPaneScrolls) {
                OnNext();
                return true;
            }
            return false;
        case Qt::Key_PageUp:
            if (!bPaneScrolls) {
                OnPrev();
                return true;
            }
            return false;
        default: return false;
    }
}

void CNewsDlg::keyPressEvent(QKeyEvent* pEvent) {
    if (!OnNavigationKey(pEvent)) {
        QDialog::keyPressEvent(pEvent);
    }
}

void CNewsDlg::ShowPastNews() {
    if (!m_pPastNews) {
        OpenMessageBox(nullptr, QMessageBox::Information, PRODUCT_NAME, "News not updated yet.");
        return;
    }
    // The window copies what it needs while it fills its tree.
    auto* pPast = new CPastNewsDlg(m_pPastNews.get());
    pPast->show();
}

void CNewsDlg::SetPeerCount(int nPeers) {
    m_nPeers = nPeers;
    ShowPeerLine();
}

void CNewsDlg::SetUnreachable(const std::string& strWhy) {
    m_strUnreachable = strWhy;
    ShowPeerLine();
}

void CNewsDlg::ShowPeerLine() {
    QString strLine = m_nPeers < 0 ? QString("Connecting to peers...")
                                   : QString("You are connected to %1 peers.").arg(m_nPeers);
    if (!m_waiting.empty()) {
        strLine =
            (m_waiting.size() == 1
                 ? QString("1 new headline waits. ")
                 : QString("%1 new headlines wait. ").arg(static_cast<int>(m_waiting.size()))) +
            strLine;
    }
    if (!m_strUnreachable.empty()) {
        strLine += " Others cannot reach you: " + QString::fromStdString(m_strUnreachable);
        m_pStatus->setToolTip(
            "Other clients connect to yours on the peer port to bring invitations. Let the "
            "program use it (setcap cap_net_bind_service=+ep on its binary), or give every "
            "client another port with VOCALON_PEER_PORT.");
    }
    m_pStatus->setText(strLine);
    // The reason takes a second line.
    m_pStatus->setWordWrap(!m_strUnreachable.empty());
    m_nStatusHeight = std::max(m_nStatusHeight, m_pStatus->heightForWidth(width()));
    LayOut();
}
