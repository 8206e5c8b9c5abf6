// The login window's tray icon and menu, and how it shows and hides.

#include "app/CLoginDlg.h"

#include "app/CAboutDlg.h"
#include "app/TrayMenu.h"
#include "gui/ResourceIds.h"
#include "gui/Tray.h"
#include "ui/CAlertWnd.h"
#include "ui/WindowPlacement.h"
#include "util/Version.h"

#include <QCloseEvent>
#include <QCursor>
#include <QMenu>

#include <deque>
#include <vector>

void CLoginDlg::OnTrayNotify(int nMouseMessage) {
    if (nMouseMessage == WM_LBUTTONDOWN) {
        ShowMain();
    } else if (nMouseMessage == WM_RBUTTONDOWN) {
        ShowTrayMenu(QCursor::pos());
    } else if (nMouseMessage == NIN_BALLOONUSERCLICK) {
        OnNotificationClicked();
    }
}

void CLoginDlg::Notify(const std::string& strText, std::function<void()> fnOnClick) {
    m_fnNotificationClick = std::move(fnOnClick);
    m_bOfflineNoticeLast = false;
    TrayNotify(PRODUCT_NAME, strText);
}

void CLoginDlg::OnNotificationClicked() {
    // Once: a second click on the same notification does nothing.
    const std::function<void()> fnOnClick = std::move(m_fnNotificationClick);
    m_fnNotificationClick = {};
    if (fnOnClick) {
        fnOnClick();
    }
}

void CLoginDlg::ShowLoginForm() {
    if (windowState() & Qt::WindowMinimized) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    show();
    raise();
    activateWindow();
    FocusForm();
}

QMenu* CLoginDlg::TrayMenu() const { return m_pTrayMenu; }

void CLoginDlg::ShowTrayMenu(const QPoint& ptScreen) {
    if (m_pTrayMenu) {
        m_pTrayMenu->close();
    }
    // The invitations as the menu shows them, newest first: the one chosen is taken from
    // this copy, whatever arrives while the menu is open.
    std::vector<CChatEvent> invitations;
    QStringList labels;
    const std::deque<CInvitationInbox::CEntry>& recent = CAlertWnd::Inbox().Recent();
    for (auto it = recent.rbegin(); it != recent.rend(); ++it) {
        invitations.push_back(it->event);
        labels.push_back(InvitationMenuText(it->event.Inviter(), it->event.Topic()));
    }
    m_pTrayMenu = BuildTrayPopup(m_session.InSession() ? 0 : 1, labels).release();
    m_pTrayMenu->setAttribute(Qt::WA_DeleteOnClose);
    // The command runs from the top of the event loop, once the menu is gone, so that
    // whatever it opens or ends never runs inside the menu's own handlers.
    connect(m_pTrayMenu, &QMenu::triggered, this, [this, invitations](QAction* pAction) {
        const int nID = TrayCommandOf(pAction);
        const int nIndex = RecentInvitationIndexOf(nID);
        if (nIndex >= 0 && nIndex < static_cast<int>(invitations.size())) {
            // The same as a click on the invitation's alert.
            QMetaObject::invokeMethod(
                this,
                [this, event = invitations[static_cast<size_t>(nIndex)]] {
                    m_session.AlertClicked(event);
                },
                Qt::QueuedConnection);
            return;
        }
        QMetaObject::invokeMethod(
            this, [this, nID] { OnCommand(nID); }, Qt::QueuedConnection);
    });
    // The menu opens to the left of the cursor, its right edge at the pointer.
    m_pTrayMenu->popup(QPoint(ptScreen.x() - m_pTrayMenu->sizeHint().width(), ptScreen.y()));
}

void CLoginDlg::OnCommand(int nID) {
    switch (nID) {
        case ID_QUIT: Quit(); break;
        case ID_PREFS: m_session.OpenPrefs(); break;
        case ID_UPDATE_NEWS: m_session.UpdateNews(); break;
        case ID_REVIEW_PAST_NEWS: m_session.ShowPastNews(); break;
        case ID_SIGN_IN_NEW_USER: SignInNewUser(); break;
        case ID_ABOUT: ShowAbout(); break;
        default: break;
    }
}

void CLoginDlg::ShowAbout() {
    if (RaiseIfOpen(m_pAboutDlg)) {
        return;
    }
    m_pAboutDlg = new CAboutDlg(this);
    m_pAboutDlg->setAttribute(Qt::WA_DeleteOnClose);
    m_pAboutDlg->open();
}

void CLoginDlg::closeEvent(QCloseEvent* pEvent) {
    pEvent->ignore();
    Quit();
}

void CLoginDlg::changeEvent(QEvent* pEvent) {
    QDialog::changeEvent(pEvent);
    // Minimising hides the window into the tray; without a tray host it stays minimised.
    if (pEvent->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
        TrayAvailable()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        hide();
    }
}
