#include "ui/CAlertWnd.h"

#include "gui/CDesktopNotifier.h"
#include "gui/Shell.h"
#include "ui/WindowPlacement.h"
#include "util/Settings.h"
#include "util/Version.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFont>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <set>

namespace {

// 85 x 68 dialog units of an 8-point dialog font.
constexpr int kWidth = 128;
constexpr int kHeight = 110;
constexpr int kTextMargin = 2;  // left and right of the text
constexpr int kFontPoints = 8;
const QColor kBackground(255, 128, 255);
const QColor kText(0, 0, 0);
const QColor kHoverText(0, 0, 255);

int s_nClosePeriodMs = CAlertWnd::CLOSE_PERIOD_MS;
std::chrono::steady_clock::duration s_clockSkew{};

std::chrono::steady_clock::time_point Now() {
    return std::chrono::steady_clock::now() + s_clockSkew;
}

const char* const kNotificationAction = "Open room";

std::function<void(const CChatEvent&)>& ClickHandler() {
    static std::function<void(const CChatEvent&)> s_fnOnClick;
    return s_fnOnClick;
}

void RunClickHandler(const CChatEvent& event) {
    if (ClickHandler()) {
        ClickHandler()(event);
    }
}

// The events whose notifications are open; no more than the notifier keeps.
std::set<std::string>& Notified() {
    static std::set<std::string> s_ids;
    return s_ids;
}

int OpenAlerts() {
    int nOpen = static_cast<int>(Notified().size());
    for (QWidget* pWidget : QApplication::topLevelWidgets()) {
        nOpen += qobject_cast<CAlertWnd*>(pWidget) && pWidget->isVisible() ? 1 : 0;
    }
    return nOpen;
}

void PlaySound() {
    if (ReadFlag(SETTING_SOUND_ON)) {
        PlayNamedSound("Default Beep");
    }
}

bool NotifyInvitation(const CChatEvent& event, const std::string& strText) {
    const std::string strId = event.id;
    const bool bSent = CDesktopNotifier::Instance().Notify(
        PRODUCT_NAME, strText, kNotificationAction, s_nClosePeriodMs,
        [event] { RunClickHandler(event); },
        [strId] {
            Notified().erase(strId);
            // From the top of the event loop, as when an alert closes.
            QTimer::singleShot(0, QCoreApplication::instance(), [] { CAlertWnd::ShowWaiting(); });
        });
    if (bSent) {
        Notified().insert(strId);
        PlaySound();
    }
    return bSent;
}

// The alert, or null when the invitation went to a notification.
CAlertWnd* ShowAlert(const CChatEvent& event) {
    const std::string strText = "Chat Event from " + event.Inviter() + "!\n\n" + event.Topic();
    if (CAlertWnd::NotifiesInvitations() && NotifyInvitation(event, strText)) {
        return nullptr;
    }
    auto* pWnd = new CAlertWnd;
    pWnd->SetText(strText);
    pWnd->SetEvent(event);
    // The available area leaves out the taskbar, so the corner is just above it. Each new
    // alert lies on top of the older ones at the same place.
    if (const QScreen* pScreen = QGuiApplication::primaryScreen()) {
        const QRect rcArea = pScreen->availableGeometry();
        pWnd->move(rcArea.x() + rcArea.width() - pWnd->width(),
                   rcArea.y() + rcArea.height() - pWnd->height());
    }
    pWnd->show();
    PlaySound();
    return pWnd;
}

}  // namespace

CAlertWnd::CAlertWnd() : m_timers([this](int nIDEvent) { OnTimer(nIDEvent); }) {
    // A tool window has no taskbar entry; the pop-up must not take the focus from what
    // the user is typing into.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Closed by the window manager too, it must still go.
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setCursor(HandCursor());
    setFixedSize(kWidth, kHeight);
    m_timers.SetTimer(TIMER_ALERT_CLOSE, s_nClosePeriodMs);
}

CAlertWnd::~CAlertWnd() = default;

void CAlertWnd::SetText(const std::string& strText) {
    m_text = strText;
    update();
}

void CAlertWnd::SetEvent(const CChatEvent& event) { m_event.FromXml(event.ToXml()); }

void CAlertWnd::SetClosePeriod(int nMs) { s_nClosePeriodMs = nMs; }

void CAlertWnd::AdvanceClock(std::chrono::milliseconds duration) { s_clockSkew += duration; }

void CAlertWnd::SetClickHandler(std::function<void(const CChatEvent&)> fnOnClick) {
    ClickHandler() = std::move(fnOnClick);
}

CInvitationInbox& CAlertWnd::Inbox() {
    static CInvitationInbox s_inbox;
    return s_inbox;
}

CAlertWnd* CAlertWnd::ShowInvitation(const CChatEvent& event, const std::string& strSource) {
    if (!Inbox().Take(event, strSource, Now())) {
        return nullptr;
    }
    // Whatever waited comes first; the new one shows only when a place is left for it.
    CAlertWnd* pLast = ShowWaiting();
    return pLast && pLast->Event().id == event.id ? pLast : nullptr;
}

bool CAlertWnd::NotifiesInvitations() {
    return !WindowsCanBePlaced() || ReadFlag(SETTING_ALERT_NOTIFICATION);
}

bool CAlertWnd::IsNotified(const std::string& strEventId) {
    return Notified().count(strEventId) != 0;
}

CAlertWnd* CAlertWnd::ShowWaiting() {
    CAlertWnd* pLast = nullptr;
    while (OpenAlerts() < MAX_OPEN) {
        const std::optional<CChatEvent> next = Inbox().NextWaiting();
        if (!next) {
            break;
        }
        if (CAlertWnd* pWnd = ShowAlert(*next)) {
            pLast = pWnd;
        }
    }
    return pLast;
}

void CAlertWnd::OnTimer(int nIDEvent) {
    if (nIDEvent == TIMER_ALERT_CLOSE) {
        Destroy();
    }
}

void CAlertWnd::Destroy() {
    m_timers.KillTimer(TIMER_ALERT_CLOSE);
    hide();
    deleteLater();
}

void CAlertWnd::SetHover(bool bHover) {
    if (bHover) {
        m_timers.KillTimer(TIMER_ALERT_CLOSE);
    } else if (m_bHover) {
        // A full period from the moment the mouse left.
        m_timers.SetTimer(TIMER_ALERT_CLOSE, s_nClosePeriodMs);
    }
    if (bHover != m_bHover) {
        m_bHover = bHover;
        update();
    }
}

void CAlertWnd::enterEvent(QEnterEvent* /*pEvent*/) { SetHover(true); }

void CAlertWnd::leaveEvent(QEvent* /*pEvent*/) { SetHover(false); }

void CAlertWnd::mouseMoveEvent(QMouseEvent* pEvent) {
    // While a button is held the moves keep coming from outside too.
    SetHover(rect().contains(pEvent->position().toPoint()));
}

void CAlertWnd::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (pEvent->button() != Qt::LeftButton || !rect().contains(pEvent->position().toPoint())) {
        return;
    }
    // The handler may open a window at once: the alert goes first either way.
    const CChatEvent event = m_event;
    Destroy();
    RunClickHandler(event);
}

void CAlertWnd::hideEvent(QHideEvent* pEvent) {
    QDialog::hideEvent(pEvent);
    // From the top of the event loop, once this alert no longer counts as open.
    QTimer::singleShot(0, QCoreApplication::instance(), [] { ShowWaiting(); });
}

void CAlertWnd::paintEvent(QPaintEvent* /*pEvent*/) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    QFont font("Arial");
    font.setPointSize(kFontPoints);
    font.setUnderline(m_bHover);
    painter.setFont(font);
    painter.setPen(m_bHover ? kHoverText : kText);
    constexpr int kFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
    const QString strText = QString::fromStdString(m_text);
    QRect rcText = rect().adjusted(kTextMargin, 0, -kTextMargin, 0);
    const int nTextHeight = painter.fontMetrics().boundingRect(rcText, kFlags, strText).height();
    // Centred as a block; a text taller than the window starts above it and is clipped.
    rcText.setTop((height() - nTextHeight) / 2);
    painter.drawText(rcText, kFlags, strText);
}
