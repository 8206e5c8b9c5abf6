#include "chat/CChatDlg.h"

#include "chat/BrowserPane.h"
#include "chat/CChatHost.h"
#include "chat/CIrcClient.h"
#include "chat/IrcCommands.h"
#include "chat/IrcLines.h"
#include "gui/ResourceIds.h"
#include "gui/Shell.h"
#include "peer/CChatEvent.h"
#include "ui/WindowPlacement.h"
#include "util/Config.h"
#include "util/Net.h"
#include "util/SettingsNames.h"
#include "util/Version.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <algorithm>

namespace {

constexpr int kFlashPeriodMs = 1000;
constexpr int kUserListWidth = 150;
constexpr int kUserListHeight = 100;
// The user list's one column is this much narrower than the list, for its frame.
constexpr int kUserColumnInset = 5;
constexpr int kSendButtonSize = 32;  // square, at the end of the input row
// The least height the page keeps above the chat when the window is at its smallest.
constexpr int kMinPageHeight = 40;
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 600;
constexpr int kPaneFontPoints = 12;

std::string Encoded(const std::string& strValue) {
    return QUrl::toPercentEncoding(QString::fromStdString(strValue)).toStdString();
}

QTextCharFormat ChatFormat(const QColor& color, bool bBold) {
    QTextCharFormat format;
    format.setFontFamilies({QStringLiteral("Arial")});
    format.setFontPointSize(kPaneFontPoints);
    format.setFontWeight(bBold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(false);
    format.setFontUnderline(false);
    format.setForeground(color);
    return format;
}

// A CR would start a block of its own in the pane, so "\r\n" line ends (and stray CRs
// from the server) become plain line breaks.
QString PaneString(const std::string& strText) {
    QString str = QString::fromStdString(strText);
    str.remove(QLatin1Char('\r'));
    return str;
}

}  // namespace

std::string MailtoUrl(const std::string& strTopic, const std::string& strPageUrl) {
    const std::string strSubject = "Alert! " + strTopic + "...";
    const std::string strBody = "I thought you might find this link interesting:\r\n" + strPageUrl +
                                "\r\n\r\n" + std::string(38, '-') + "\r\nDownload " +
                                PRODUCT_NAME_VERSION + " and Pick Your Own News Community!\r\n" +
                                ProductWebSite();
    return "mailto:?subject=" + Encoded(strSubject) + "&body=" + Encoded(strBody);
}

std::string InstantMessageUrl(const std::string& strPageUrl) {
    return "aim:goim?screenname=&message=" +
           Encoded("I got this hot link from the vocalon. Check it: " + strPageUrl);
}

CChatDlg::CChatDlg(CIrcClient* pClient, const std::string& strChannel, const std::string& strUrl,
                   CChatHost* pHost)
    : QDialog(nullptr),
      CChatRoom(strChannel),
      m_pHost(pHost),
      m_timers([this](int nIDEvent) { OnTimer(nIDEvent); }),
      m_strUrl(strUrl) {
    SetClient(pClient);
    setWindowTitle("Chat");
    setWindowIcon(LoadAppIcon(IDI_MAIN));
    setWindowFlag(Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(true);
    m_formats[static_cast<int>(EChatStyle::Normal)] = ChatFormat(QColor(0, 0, 0), false);
    m_formats[static_cast<int>(EChatStyle::OwnNick)] = ChatFormat(QColor(255, 0, 0), true);
    m_formats[static_cast<int>(EChatStyle::OtherNick)] = ChatFormat(QColor(0, 0, 255), true);
    m_formats[static_cast<int>(EChatStyle::Status)] = ChatFormat(QColor(128, 128, 128), false);
    BuildControls();

    m_nLW = kUserListWidth;
    m_nLH = kUserListHeight;
    m_nS = kSendButtonSize;
    m_pUsers->setColumnWidth(0, m_nLW - kUserColumnInset);
    m_nP = m_pProgress->sizeHint().height();
    m_nLo = m_pLocation->sizeHint().height();
    m_nLbW = m_pLocationLabel->sizeHint().width();
    m_nEW = std::max(m_pEmail->sizeHint().width(), m_pInstant->sizeHint().width());
    m_nJH = m_pJoin->sizeHint().height();
    m_nTH = m_pCount->sizeHint().height();
    setMinimumSize(2 * m_nEW + m_nLbW + m_nLW, m_nLo + 2 * m_nLH + m_nP + m_nS + kMinPageHeight);
    resize(kDefaultWidth, kDefaultHeight);

    OnControlsEnabled(true);
    m_pCount->setText(QString::fromStdString(CountText()));
    LayOut();

    if (IsWebUrl(strUrl)) {
        m_pBrowser->Navigate(strUrl);
    } else {
        // Without a page to load no page ever completes, and the room must stay usable:
        // joining is possible at once. The sharing buttons stay off, as there is no page
        // to pass on.
        m_pJoin->setEnabled(true);
    }
}

CChatDlg::~CChatDlg() = default;

void CChatDlg::BuildControls() {
    m_pBrowser = CBrowserPane::Create(this);
    m_pPane = new QTextEdit(this);
    m_pPane->setObjectName("pane");
    m_pPane->setReadOnly(true);
    m_pPane->setAcceptRichText(false);
    m_pPane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Old lines drop off the top, so a busy room neither grows without end nor slows
    // every append; a capped document keeps no undo history either.
    m_pPane->document()->setMaximumBlockCount(MAX_PANE_LINES);
    m_pUsers = new QTreeWidget(this);
    m_pUsers->setObjectName("users");
    m_pUsers->setToolTip("Active users");
    m_pUsers->setColumnCount(1);
    m_pUsers->setHeaderLabels({"Active users"});
    m_pUsers->header()->setStretchLastSection(false);
    m_pUsers->setRootIsDecorated(false);
    m_pUsers->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pUsers->setUniformRowHeights(true);
    m_pCount = new QLabel(this);
    m_pCount->setObjectName("count");
    m_pCount->setTextFormat(Qt::PlainText);
    m_pInput = new QLineEdit(this);
    m_pInput->setObjectName("input");
    m_pSend = new QPushButton(LoadAppIcon(IDI_SEND), QString(), this);
    m_pSend->setObjectName("send");
    m_pJoin = new QPushButton("Join...", this);
    m_pJoin->setObjectName("join");
    m_pEmail = new QPushButton("Email...", this);
    m_pEmail->setObjectName("email");
    m_pInstant = new QPushButton("AIM...", this);
    m_pInstant->setObjectName("instant");
    m_pProgress = new QProgressBar(this);
    m_pProgress->setObjectName("progress");
    m_pProgress->setRange(0, 100);
    m_pProgress->setValue(0);
    m_pProgress->setTextVisible(false);
    m_pLocationLabel = new QLabel("Location: ", this);
    m_pLocation = new QLineEdit(this);
    m_pLocation->setObjectName("location");
    m_pLocation->setReadOnly(true);
    for (QPushButton* pButton : {m_pSend, m_pJoin, m_pEmail, m_pInstant}) {
        // Enter belongs to the input box alone: no button is pressed by it.
        pButton->setAutoDefault(false);
        pButton->setDefault(false);
    }
    for (QPushButton* pButton : {m_pJoin, m_pEmail, m_pInstant}) {
        pButton->setEnabled(false);
    }

    connect(m_pSend, &QPushButton::clicked, this, &CChatDlg::OnSend);
    connect(m_pInput, &QLineEdit::returnPressed, this, &CChatDlg::OnSend);
    connect(m_pJoin, &QPushButton::clicked, this, &CChatDlg::OnJoinOrLeave);
    connect(m_pEmail, &QPushButton::clicked, this, &CChatDlg::OnEmail);
    connect(m_pInstant, &QPushButton::clicked, this, &CChatDlg::OnInstantMessage);
    // The address shows once the page is there; until then the box says it is coming.
    connect(m_pBrowser, &CBrowserPane::BeforeNavigate, this,
            [this] { m_pLocation->setText("Downloading..."); });
    connect(m_pBrowser, &CBrowserPane::ProgressChange, m_pProgress, &QProgressBar::setValue);
    connect(m_pBrowser, &CBrowserPane::DocumentComplete, this, &CChatDlg::OnDocumentComplete);
}

void CChatDlg::OnDocumentComplete(const QString& strUrl) {
    m_pLocation->setText(strUrl);
    m_strPageUrl = strUrl.toStdString();
    for (QPushButton* pButton : {m_pEmail, m_pInstant, m_pJoin}) {
        pButton->setEnabled(true);
    }
}

void CChatDlg::LayOut() {
    const bool bJoined = m_nMode == MODE_JOINED;
    m_pInput->setVisible(bJoined);
    m_pSend->setVisible(bJoined);

    const int W = width();
    const int H = height();
    const int LW = m_nLW, LH = m_nLH, S = m_nS, P = m_nP, Lo = m_nLo, EW = m_nEW;
    const int JH = m_nJH, TH = m_nTH;
    // Watching shows one user-list height of chat; taking part two, plus the input row.
    const int nBottom = bJoined ? P + S : P;
    const int nChatH = bJoined ? 2 * LH : LH;
    const int nChatY = H - nChatH - nBottom;
    m_pBrowser->setGeometry(0, Lo, W, std::max(0, nChatY - Lo));
    m_pPane->setGeometry(0, nChatY, std::max(0, W - LW), nChatH);
    m_pUsers->setGeometry(W - LW, nChatY, LW, std::max(0, nChatH - TH - JH));
    if (bJoined) {
        m_pInput->setGeometry(0, H - S - P, std::max(0, W - S), S);
        m_pSend->setGeometry(W - S, H - S - P, S, S);
    }
    m_pCount->setGeometry(W - LW, H - TH - JH - nBottom, LW, TH);
    m_pJoin->setGeometry(W - LW, H - JH - nBottom, LW, JH);
    m_pProgress->setGeometry(0, H - P, W, P);
    m_pLocationLabel->setGeometry(0, 0, m_nLbW, Lo);
    m_pLocation->setGeometry(m_nLbW, 0, std::max(0, W - 2 * EW - m_nLbW), Lo);
    m_pEmail->setGeometry(W - 2 * EW, 0, EW, Lo);
    m_pInstant->setGeometry(W - EW, 0, EW, Lo);
}

void CChatDlg::resizeEvent(QResizeEvent* pEvent) {
    QDialog::resizeEvent(pEvent);
    LayOut();
}

void CChatDlg::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    if (!m_bFirstPaint) {
        return;
    }
    // The first time it appears the window goes where the user's last chat window was
    // closed, with its size.
    m_bFirstPaint = false;
    setGeometry(FitOnScreens(LoadWindowRect(Section(), PLACE_CHAT, geometry())));
    m_pBrowser->setFocus();
}

void CChatDlg::changeEvent(QEvent* pEvent) {
    QDialog::changeEvent(pEvent);
    if (pEvent->type() == QEvent::ActivationChange && isActiveWindow()) {
        StopFlashing();
    }
}

void CChatDlg::closeEvent(QCloseEvent* pEvent) {
    pEvent->accept();
    if (m_bClosed) {
        return;
    }
    m_bClosed = true;
    if (Client()) {
        Client()->Send(PartLine(Channel()));
    }
    SaveWindowRect(Section(), PLACE_CHAT, geometry());
    // Out of the list now, not when the event loop deletes the window: until then the
    // client could rejoin the channel for it, or the login window raise it again.
    if (Client()) {
        Client()->Rooms().RemoveRoom(this);
        SetClient(nullptr);
    }
    m_timers.KillTimer(TIMER_FLASH);
    hide();
    deleteLater();
}

QString CChatDlg::PaneText() {
    FlushPane();
    return m_pPane->toPlainText();
}

int CChatDlg::PaneLines() {
    FlushPane();
    return m_pPane->document()->blockCount();
}

void CChatDlg::AppendLine(const std::string& strText, EChatStyle style) {
    // Lines are gathered and drawn once per turn of the event loop: a busy room delivers
    // hundreds per read, and laying the pane out for each kept the window from answering.
    m_pendingRuns.emplace_back(PaneString(strText), static_cast<int>(style));
    // More than the pane keeps would only be removed again.
    if (m_pendingRuns.size() > 4 * static_cast<size_t>(MAX_PANE_LINES)) {
        m_pendingRuns.pop_front();
    }
    if (!m_bPanePending) {
        m_bPanePending = true;
        QTimer::singleShot(0, this, &CChatDlg::FlushPane);
    }
}

void CChatDlg::FlushPane() {
    m_bPanePending = false;
    if (m_pendingRuns.empty()) {
        return;
    }
    QTextCursor cursor(m_pPane->document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (const auto& [strText, nStyle] : m_pendingRuns) {
        cursor.insertText(strText, m_formats[nStyle]);
    }
    cursor.endEditBlock();
    m_pendingRuns.clear();
    m_pPane->setTextCursor(cursor);
    m_pPane->ensureCursorVisible();
}

std::string CChatDlg::Section() const {
    return m_pHost ? m_pHost->Section() : std::string(SECTION_PREFS);
}

QString CChatDlg::Title() const {
    return QString::fromStdString(Topic().empty() ? "Chat" : Topic());
}

void CChatDlg::OnTopicChanged() {
    m_bFlashPhase = false;
    setWindowTitle(Title());
}

void CChatDlg::OnUsersChanged() {
    if (m_bUsersPending) {
        return;
    }
    m_bUsersPending = true;
    QTimer::singleShot(0, this, &CChatDlg::SyncUsers);
}

void CChatDlg::SyncUsers() {
    m_bUsersPending = false;
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(Users().size()));
    for (const std::string& strUser : Users()) {
        items.append(new QTreeWidgetItem({QString::fromStdString(strUser)}));
    }
    m_pUsers->setUpdatesEnabled(false);
    m_pUsers->clear();
    m_pUsers->addTopLevelItems(items);
    m_pUsers->setUpdatesEnabled(true);
    m_pCount->setText(QString::fromStdString(CountText()));
}

void CChatDlg::OnControlsEnabled(bool bEnabled) {
    for (QWidget* pControl : {static_cast<QWidget*>(m_pPane), static_cast<QWidget*>(m_pUsers),
                              static_cast<QWidget*>(m_pInput), static_cast<QWidget*>(m_pSend)}) {
        pControl->setEnabled(bEnabled);
    }
    if (bEnabled) {
        m_pInput->setFocus();
    }
}

void CChatDlg::OnMessageShown() {
    if (isActiveWindow() || m_bFlashing) {
        return;
    }
    m_bFlashing = true;
    QApplication::alert(this);
    m_timers.SetTimer(TIMER_FLASH, kFlashPeriodMs);
}

void CChatDlg::StopFlashing() {
    if (!m_bFlashing) {
        return;
    }
    m_bFlashing = false;
    m_timers.KillTimer(TIMER_FLASH);
    OnTopicChanged();
}

void CChatDlg::OnTimer(int nIDEvent) {
    if (nIDEvent != TIMER_FLASH) {
        return;
    }
    // The caption flips between the topic and a marked topic, once a second.
    m_bFlashPhase = !m_bFlashPhase;
    setWindowTitle(m_bFlashPhase ? QStringLiteral("\u25cf ") + Title() : Title());
}

void CChatDlg::OnSend() {
    const std::string strText = m_pInput->text().toStdString();
    if (strText.empty()) {
        return;
    }
    if (Client()) {
        for (const std::string& strLine : PrivmsgLines(Channel(), strText)) {
            Client()->Send(strLine);
        }
    }
    m_pInput->clear();
    AppendLine((Client() ? Client()->DisplayName() : std::string()) + ": ", EChatStyle::OwnNick);
    AppendLine(LineSafe(strText) + "\r\n", EChatStyle::Normal);
    m_pInput->setFocus();
}

void CChatDlg::OnJoinOrLeave() {
    // Either way the room is left on the current connection and joined on the other.
    const bool bJoining = m_nMode == MODE_GUEST;
    m_nMode = bJoining ? MODE_JOINED : MODE_GUEST;
    m_pJoin->setText(bJoining ? "Leave..." : "Join...");
    LayOut();
    if (Client()) {
        Client()->Send(PartLine(Channel()));
    }
    // Nobody to talk to yet: the peers are invited into the room.
    const bool bInvite = bJoining && m_pHost && Users().empty();
    if (bInvite) {
        m_pHost->BroadcastEvent(
            CChatEvent::Invitation(Channel(), Topic(), m_strUrl, m_pHost->UserName()));
    }
    ClearUsers();
    if (m_pHost) {
        if (bJoining) {
            m_pHost->MoveChatToUser(this);
        } else {
            m_pHost->MoveChatToGuest(this);
        }
    }
    if (bInvite) {
        AppendSystemLine("Inviting some friends to chat...");
    }
}

void CChatDlg::OnEmail() { ShellOpen(MailtoUrl(Topic(), m_strPageUrl)); }

void CChatDlg::OnInstantMessage() { ShellOpen(InstantMessageUrl(m_strPageUrl)); }
