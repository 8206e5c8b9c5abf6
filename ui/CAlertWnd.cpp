#include "ui/CAlertWnd.h"

#include "hub/CMainWindow.h"
#include "platform/Profile.h"
#include "platform/gui/Shell.h"
#include "util/SettingsNames.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFont>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <deque>
#include <utility>

namespace {

// 85 x 68 dialog units of an 8-point dialog font.
constexpr int kWidth = 128;
constexpr int kHeight = 110;
constexpr int kTextMargin = 2;
const QColor kBackground(255, 128, 255);
const QColor kText(0, 0, 0);
const QColor kHoverText(0, 0, 255);

int s_nClosePeriodMs = CAlertWnd::CLOSE_PERIOD_MS;
std::chrono::steady_clock::duration s_clockSkew{};

// When each inviter last had an alert, oldest first; only the last INVITER_QUIET_TIME.
std::deque<std::pair<std::chrono::steady_clock::time_point, std::string>> s_recentInviters;

std::chrono::steady_clock::time_point Now() {
    return std::chrono::steady_clock::now() + s_clockSkew;
}

int OpenAlerts() {
    int nOpen = 0;
    for (QWidget* pWidget : QApplication::topLevelWidgets()) {
        nOpen += qobject_cast<CAlertWnd*>(pWidget) && pWidget->isVisible() ? 1 : 0;
    }
    return nOpen;
}

// Forgets old entries and notes the inviter; false when it had an alert too recently.
bool TakeInviterTurn(const std::string& strInviter) {
    const auto now = Now();
    while (!s_recentInviters.empty() &&
           now - s_recentInviters.front().first >= CAlertWnd::INVITER_QUIET_TIME) {
        s_recentInviters.pop_front();
    }
    for (const auto& [when, strName] : s_recentInviters) {
        if (strName == strInviter) {
            return false;
        }
    }
    s_recentInviters.emplace_back(now, strInviter);
    return true;
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

CAlertWnd* CAlertWnd::ShowInvitation(const CChatEvent& event) {
    if (OpenAlerts() >= MAX_OPEN || !TakeInviterTurn(event.Param(3))) {
        return nullptr;
    }
    auto* pWnd = new CAlertWnd;
    pWnd->SetText("Chat Event from " + event.Param(3) + "!\n\n" + event.Param(1));
    pWnd->SetEvent(event);
    // The available area leaves out the taskbar, so the corner is just above it. Each new
    // alert lies on top of the older ones at the same place.
    if (const QScreen* pScreen = QGuiApplication::primaryScreen()) {
        const QRect rcArea = pScreen->availableGeometry();
        pWnd->move(rcArea.x() + rcArea.width() - pWnd->width(),
                   rcArea.y() + rcArea.height() - pWnd->height());
    }
    pWnd->show();
    if (GetProfileInt(SECTION_PREFS, KEY_SOUND_ON, 1) != 0) {
        PlayNamedSound("Default Beep");
    }
    return pWnd;
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
    if (CMainWindow* pMain = MainWnd()) {
        pMain->AlertClicked(m_event);
    }
    Destroy();
}

void CAlertWnd::paintEvent(QPaintEvent* /*pEvent*/) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    QFont font("Arial");
    font.setPointSize(8);
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
