#include "chat/CChatDlg.h"

#include "chat/BrowserPane.h"
#include "chat/CChatHost.h"
#include "chat/CIrcClient.h"
#include "chat/ChatText.h"
#include "chat/IrcCommands.h"
#include "chat/IrcLines.h"
#include "gui/ResourceIds.h"
#include "gui/Shell.h"
#include "peer/CChatEvent.h"
#include "ui/WindowPlacement.h"
#include "util/Config.h"
#include "util/Net.h"
#include "util/Settings.h"
#include "util/SettingsNames.h"
#include "util/Version.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTime>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <utility>

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
// The pane's format of links, after those of the chat styles.
constexpr int kLinkStyle = CHAT_STYLE_COUNT;
// Every link of the pane has this target and shows its address: a document keeps each
// format it was given until it goes, so a target per address would grow with every new
// address a stranger sends. A click reads the address from the link's text.
constexpr const char* kLinkTarget = "link";

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
    m_formats[static_cast<int>(EChatStyle::Action)] = ChatFormat(QColor(128, 0, 128), false);
    m_formats[static_cast<int>(EChatStyle::Action)].setFontItalic(true);
    m_formats[static_cast<int>(EChatStyle::Mention)] = ChatFormat(QColor(0, 0, 0), true);
    m_formats[static_cast<int>(EChatStyle::Mention)].setBackground(QColor(255, 236, 140));
    m_formats[kLinkStyle] = ChatFormat(QColor(0, 0, 238), false);
    m_formats[kLinkStyle].setFontUnderline(true);
    m_formats[kLinkStyle].setAnchor(true);
    m_formats[kLinkStyle].setAnchorHref(QString::fromLatin1(kLinkTarget));
    SetOwnName(pHost ? pHost->UserName() : std::string());
    ApplySettings();
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
    m_pPane = new QTextBrowser(this);
    m_pPane->setObjectName("pane");
    m_pPane->setReadOnly(true);
    m_pPane->setAcceptRichText(false);
    // Links are followed by OnLinkClicked alone (see eventFilter), and only by the mouse:
    // Tab leaves the pane instead of walking its links.
    m_pPane->setOpenLinks(false);
    m_pPane->setOpenExternalLinks(false);
    m_pPane->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse);
    m_pPane->setTabChangesFocus(true);
    m_pPane->viewport()->installEventFilter(this);
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
    m_pInput->installEventFilter(this);
    m_pSend = new QPushButton(LoadAppIcon(IDI_SEND), QString(), this);
    m_pSend->setObjectName("send");
    // Alt+J joins or leaves from anywhere in the window, the page included.
    m_pJoin = new QPushButton("&Join...", this);
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
    SetTabOrder();
}

void CChatDlg::SetTabOrder() {
    // The page is made first and would otherwise come first; the engine's view, made with
    // the first page, joins the end of the window's order.
    QWidget* const order[] = {m_pInput,   m_pSend, m_pUsers,    m_pJoin,   m_pEmail,
                              m_pInstant, m_pPane, m_pLocation, m_pBrowser};
    for (size_t n = 0; n + 1 < std::size(order); ++n) {
        setTabOrder(order[n], order[n + 1]);
    }
}

void CChatDlg::ApplySettings() {
    m_bTimestamps = ReadFlag(SETTING_CHAT_TIMESTAMPS, Section());
    m_bNotify = ReadFlag(SETTING_CHAT_NOTIFY, Section());
}

QString CChatDlg::LinkAt(const QPoint& point) const {
    const QPoint offset(m_pPane->horizontalScrollBar()->value(),
                        m_pPane->verticalScrollBar()->value());
    const int nPosition =
        m_pPane->document()->documentLayout()->hitTest(point + offset, Qt::ExactHit);
    if (nPosition < 0) {
        return {};
    }
    const QTextBlock block = m_pPane->document()->findBlock(nPosition);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        if (it.fragment().contains(nPosition)) {
            return it.fragment().charFormat().isAnchor() ? it.fragment().text() : QString();
        }
    }
    return {};
}

void CChatDlg::OnLinkClicked(const QString& strLink) {
    const QUrl url(strLink);
    const std::string strUrl = url.toString(QUrl::FullyEncoded).toStdString();
    if (IsWebUrl(strUrl) && !url.host().isEmpty()) {
        ShellOpen(strUrl);
    }
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
    // The room's controls, not the page, have the keyboard first.
    if (m_nMode == MODE_JOINED) {
        m_pInput->setFocus();
    } else {
        m_pUsers->setFocus();
    }
}

void CChatDlg::changeEvent(QEvent* pEvent) {
    QDialog::changeEvent(pEvent);
    if (pEvent->type() == QEvent::ActivationChange) {
        OnActivationChanged(isActiveWindow());
    }
}

void CChatDlg::OnActivationChanged(bool bActive) {
    if (!bActive) {
        if (!m_bAway && isVisible()) {
            FlushPane();
            m_bAway = true;
            m_bUnread = false;
            m_readMark = QTextCursor(m_pPane->document());
            m_readMark.movePosition(QTextCursor::End);
            // Lines that come meanwhile go after the mark, which stays where they begin.
            m_readMark.setKeepPositionOnInsert(true);
        }
        return;
    }
    StopFlashing();
    if (m_bAway) {
        m_bAway = false;
        if (m_bUnread) {
            PlaceUnreadMarker();
        }
    }
}

void CChatDlg::PlaceUnreadMarker() {
    FlushPane();
    QTextDocument* pDocument = m_pPane->document();
    QScrollBar* pScroll = m_pPane->verticalScrollBar();
    const bool bAtEnd = pScroll->value() == pScroll->maximum();
    // One marker at a time: the last one goes, unless old lines took it with them.
    if (!m_marker.isNull()) {
        const QTextBlock block = pDocument->findBlock(m_marker.position());
        if (block.isValid() && block.position() == m_marker.position() &&
            block.text() == QString::fromUtf8(UNREAD_MARKER)) {
            QTextCursor old(block);
            old.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
            old.removeSelectedText();
        }
    }
    const int nPosition = m_readMark.position();
    QTextCursor cursor(pDocument);
    cursor.setPosition(nPosition);
    cursor.insertText(QString::fromUtf8(UNREAD_MARKER) + QLatin1Char('\n'),
                      m_formats[static_cast<int>(EChatStyle::Status)]);
    m_marker = QTextCursor(pDocument);
    m_marker.setPosition(nPosition);
    if (bAtEnd) {
        pScroll->setValue(pScroll->maximum());
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
    const QString strStamp = m_bLineStart && m_bTimestamps ? Timestamp() : QString();
    m_bLineStart = !strText.empty() && strText.back() == '\n';
    m_bUnread = m_bUnread || m_bAway;
    const bool bText =
        style == EChatStyle::Normal || style == EChatStyle::Action || style == EChatStyle::Mention;
    QueueRun(strStamp, strText, static_cast<int>(style), bText);
    // More than the pane keeps would only be removed again.
    while (m_pendingRuns.size() > 8 * static_cast<size_t>(MAX_PANE_LINES)) {
        m_pendingRuns.pop_front();
    }
    if (!m_bPanePending) {
        m_bPanePending = true;
        QTimer::singleShot(0, this, &CChatDlg::FlushPane);
    }
}

void CChatDlg::QueueRun(const QString& strLead, const std::string& strText, int nStyle,
                        bool bFindLinks) {
    // The lead (a timestamp) takes the look of the text it stands before, never a link's:
    // a run of its own would be one more piece of every line for the pane to lay out.
    QString strPending = strLead;
    auto text = [&](size_t nStart, size_t nLength) {
        QString strRun = PaneString(strText.substr(nStart, nLength));
        if (!strPending.isEmpty()) {
            strRun.prepend(strPending);
            strPending.clear();
        }
        m_pendingRuns.push_back({std::move(strRun), nStyle});
    };
    size_t nPos = 0;
    if (bFindLinks) {
        for (const CTextSpan& link : FindWebLinks(strText)) {
            if (link.nStart > nPos || !strPending.isEmpty()) {
                text(nPos, link.nStart - nPos);
            }
            m_pendingRuns.push_back(
                {PaneString(strText.substr(link.nStart, link.nLength)), kLinkStyle});
            nPos = link.nStart + link.nLength;
        }
    }
    if (nPos == 0 || nPos < strText.size()) {
        text(nPos, std::string::npos);
    }
}

const QString& CChatDlg::Timestamp() {
    // A flood brings tens of thousands of lines a second: the text is made once a minute.
    const long long nMinute = std::chrono::duration_cast<std::chrono::minutes>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count();
    if (nMinute != m_nStampMinute) {
        m_nStampMinute = nMinute;
        m_strStamp = QTime::currentTime().toString(QStringLiteral("HH:mm")) + QLatin1Char(' ');
    }
    return m_strStamp;
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
    if (bEnabled && m_nMode == MODE_JOINED) {
        m_pInput->setFocus();
    }
}

void CChatDlg::OnMentioned(const std::string& strNick, std::string_view strText) {
    if (!m_pHost || !m_bNotify || isActiveWindow()) {
        return;
    }
    m_pHost->NotifyMention(this,
                           MentionNotice(DisplayNameOf(strNick), Title().toStdString(), strText));
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
    const QString strTyped = m_pInput->text();
    if (strTyped.isEmpty()) {
        return;
    }
    Remember(strTyped);
    m_pInput->clear();
    const CTypedLine typed = ParseTypedLine(strTyped.toStdString());
    const std::string strNick = Client() ? Client()->DisplayName() : std::string();
    switch (typed.kind) {
        case CTypedLine::EKind::Message:
            if (Client()) {
                for (const std::string& strLine : PrivmsgLines(Channel(), typed.strText)) {
                    Client()->Send(strLine);
                }
            }
            AppendLine(strNick + ": ", EChatStyle::OwnNick);
            AppendLine(LineSafe(typed.strText) + "\r\n", EChatStyle::Normal);
            break;
        case CTypedLine::EKind::Action: {
            std::string strAction = LineSafe(typed.strText);
            strAction.erase(std::remove(strAction.begin(), strAction.end(), '\x01'),
                            strAction.end());
            if (strAction.empty()) {
                AppendSystemLine(STR_CHAT_COMMANDS);
                break;
            }
            if (Client()) {
                for (const std::string& strLine : ActionLines(Channel(), strAction)) {
                    Client()->Send(strLine);
                }
            }
            AppendLine("* " + strNick + " " + strAction + "\r\n", EChatStyle::Action);
            break;
        }
        case CTypedLine::EKind::Topic:
            // The server's echo of the new topic renames the window.
            if (typed.strText.empty()) {
                AppendSystemLine("Topic: " + (Topic().empty() ? std::string("none") : Topic()));
            } else if (Client()) {
                Client()->Send(UserTopicLine(Channel(), typed.strText));
            }
            break;
        case CTypedLine::EKind::Unknown:
            AppendSystemLine("There is no command " + LineSafe(typed.strText) + ". " +
                             STR_CHAT_COMMANDS);
            break;
    }
    m_pInput->setFocus();
}

void CChatDlg::Remember(const QString& strLine) {
    if (m_history.empty() || m_history.back() != strLine) {
        m_history.push_back(strLine);
        if (m_history.size() > static_cast<size_t>(MAX_HISTORY)) {
            m_history.pop_front();
        }
    }
    m_nHistoryPos = m_history.size();
    m_strDraft.clear();
}

void CChatDlg::WalkHistory(int nStep) {
    const size_t nEnd = m_history.size();
    if ((nStep < 0 && m_nHistoryPos == 0) || (nStep > 0 && m_nHistoryPos >= nEnd)) {
        return;
    }
    // Leaving the line being typed keeps it for the way back.
    if (m_nHistoryPos == nEnd) {
        m_strDraft = m_pInput->text();
    }
    m_nHistoryPos = nStep < 0 ? m_nHistoryPos - 1 : m_nHistoryPos + 1;
    m_pInput->setText(m_nHistoryPos == nEnd ? m_strDraft : m_history[m_nHistoryPos]);
}

bool CChatDlg::CompleteNick() {
    const QString strText = m_pInput->text();
    const int nCursor = m_pInput->cursorPosition();
    // Another Tab right after one goes on to the next name.
    if (!m_completions.isEmpty() && nCursor == m_nCompletionEnd) {
        m_nCompletion = (m_nCompletion + 1) % static_cast<int>(m_completions.size());
    } else {
        const int nStart =
            nCursor == 0 ? 0 : strText.lastIndexOf(QLatin1Char(' '), nCursor - 1) + 1;
        const std::string strPrefix = strText.mid(nStart, nCursor - nStart).toStdString();
        m_completions.clear();
        for (const std::string& strName : NickCompletions(strPrefix, Users(), OwnName())) {
            m_completions.append(QString::fromStdString(strName));
        }
        if (m_completions.isEmpty()) {
            return false;
        }
        m_nCompletion = 0;
        m_nCompletionStart = nStart;
        m_nCompletionEnd = nCursor;
    }
    // At the start of the line the name addresses its user.
    const QString strName = m_completions[m_nCompletion] +
                            (m_nCompletionStart == 0 ? QStringLiteral(": ") : QStringLiteral(" "));
    m_pInput->setText(strText.left(m_nCompletionStart) + strName + strText.mid(m_nCompletionEnd));
    m_nCompletionEnd = m_nCompletionStart + static_cast<int>(strName.size());
    m_pInput->setCursorPosition(m_nCompletionEnd);
    return true;
}

bool CChatDlg::eventFilter(QObject* pWatched, QEvent* pEvent) {
    // A click on a link, as the browser has it: pressed and released on the same link,
    // without selecting text.
    if (pWatched == m_pPane->viewport() && (pEvent->type() == QEvent::MouseButtonPress ||
                                            pEvent->type() == QEvent::MouseButtonRelease)) {
        const auto* pMouse = static_cast<QMouseEvent*>(pEvent);
        if (pMouse->button() != Qt::LeftButton) {
            return false;
        }
        const QString strLink = LinkAt(pMouse->position().toPoint());
        if (pEvent->type() == QEvent::MouseButtonPress) {
            m_strPressedLink = strLink;
        } else if (!strLink.isEmpty() && strLink == m_strPressedLink &&
                   !m_pPane->textCursor().hasSelection()) {
            OnLinkClicked(strLink);
        }
        return false;
    }
    if (pWatched == m_pInput && pEvent->type() == QEvent::KeyPress) {
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        const bool bPlain = (pKey->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (pKey->key() == Qt::Key_Tab && bPlain) {
            return CompleteNick();
        }
        m_completions.clear();
        if (bPlain && (pKey->key() == Qt::Key_Up || pKey->key() == Qt::Key_Down)) {
            WalkHistory(pKey->key() == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    return QDialog::eventFilter(pWatched, pEvent);
}

void CChatDlg::OnJoinOrLeave() {
    // Either way the room is left on the current connection and joined on the other.
    const bool bJoining = m_nMode == MODE_GUEST;
    m_nMode = bJoining ? MODE_JOINED : MODE_GUEST;
    m_pJoin->setText(bJoining ? "&Leave..." : "&Join...");
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
