#include "gui/Tray.h"

#include "gui/ResourceIds.h"
#include "platform/AppEvent.h"
#include "util/Strings.h"
#include "util/Version.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>

const char* const TRAY_DEFAULT_TIP = PRODUCT_NAME_VERSION;

namespace {

// The stand-in window: room beside its title for the window manager's buttons, the icon's
// size and the margin around it.
constexpr int kTitleButtonsWidth = 160;
constexpr int kStandInIconSize = 48;
constexpr int kStandInMargin = 4;

void PostMouse(int nMouse) { PostMessageToMain<UM_TRAY_NOTIFY>(TRAY_ICON_ID, nMouse); }

void Notify(QSystemTrayIcon::ActivationReason reason) {
    int nMouse = 0;
    if (reason == QSystemTrayIcon::Trigger) {
        nMouse = WM_LBUTTONDOWN;
    } else if (reason == QSystemTrayIcon::Context) {
        nMouse = WM_RBUTTONDOWN;
    } else {
        return;
    }
    PostMouse(nMouse);
}

// Stands in for the tray when the desktop has no tray host: a small window with the
// icon that takes the same clicks, so the program can always be reached.
class CTrayStandIn final : public QWidget {
public:
    CTrayStandIn() {
        setWindowTitle(PRODUCT_NAME);
        setWindowFlag(Qt::WindowMaximizeButtonHint, false);
        // Wide enough for the title beside the window manager's buttons.
        setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + kTitleButtonsWidth);
        m_pButton = new QToolButton(this);
        m_pButton->setIconSize(QSize(kStandInIconSize, kStandInIconSize));
        m_pButton->setAutoRaise(true);
        m_pButton->setContextMenuPolicy(Qt::CustomContextMenu);
        auto* pLayout = new QVBoxLayout(this);
        pLayout->setContentsMargins(kStandInMargin, kStandInMargin, kStandInMargin, kStandInMargin);
        pLayout->addWidget(m_pButton);
        connect(m_pButton, &QToolButton::clicked, [] { Notify(QSystemTrayIcon::Trigger); });
        connect(m_pButton, &QToolButton::customContextMenuRequested,
                [] { Notify(QSystemTrayIcon::Context); });
    }
    void Set(const QIcon& icon, const QString& strTip) {
        m_pButton->setIcon(icon);
        m_pButton->setToolTip(strTip);
        setWindowIcon(icon);
    }

protected:
    // Closing it would leave no way back into the program; it minimises instead.
    void closeEvent(QCloseEvent* pEvent) override {
        pEvent->ignore();
        showMinimized();
    }

private:
    QToolButton* m_pButton;
};

QPointer<QSystemTrayIcon> g_pTray;
QPointer<CTrayStandIn> g_pStandIn;
int g_nIconId = 0;
std::string g_strTip;
int g_nNotifications = 0;
std::string g_strLastNotification;

constexpr size_t kMaxTip = 63;

// The tip never ends in half a character.
std::string FitTip(const std::string& strTip) {
    return CutAtCharBoundary(strTip.empty() ? std::string(TRAY_DEFAULT_TIP) : strTip, kMaxTip);
}

void Show() {
    QIcon icon = LoadAppIcon(g_nIconId);
    QString strTip = QString::fromUtf8(g_strTip);
    g_pTray->setIcon(icon);
    g_pTray->setToolTip(strTip);
    if (g_pStandIn) {
        g_pStandIn->Set(icon, strTip);
    }
}

}  // namespace

bool TrayAdd() {
    if (!g_pTray) {
        // Owned by the application so it never outlives the window system.
        g_pTray = new QSystemTrayIcon(qApp);
        QObject::connect(g_pTray, &QSystemTrayIcon::activated, Notify);
        QObject::connect(g_pTray, &QSystemTrayIcon::messageClicked,
                         [] { PostMouse(NIN_BALLOONUSERCLICK); });
    }
    g_nIconId = IDI_MAIN;
    g_strTip = TRAY_DEFAULT_TIP;
    Show();
    g_pTray->show();
    if (!TrayAvailable() && !g_pStandIn) {
        g_pStandIn = new CTrayStandIn;
        Show();
        g_pStandIn->show();
    }
    return TrayAvailable();
}

bool TraySet(int nIconId, const std::string& strTip) {
    if (!g_pTray) {
        return false;
    }
    g_nIconId = nIconId;
    g_strTip = FitTip(strTip);
    Show();
    return TrayAvailable();
}

bool TrayRemove() {
    if (!g_pTray) {
        return false;
    }
    g_pTray->hide();
    delete g_pTray;
    delete g_pStandIn;
    g_nIconId = 0;
    g_strTip.clear();
    return true;
}

bool TrayNotify(const std::string& strTitle, const std::string& strText) {
    ++g_nNotifications;
    g_strLastNotification = strText;
    if (!g_pTray || !TrayAvailable()) {
        return false;
    }
    g_pTray->showMessage(NotificationText(strTitle), NotificationText(strText),
                         QSystemTrayIcon::Information);
    return true;
}

QString NotificationText(const std::string& strText) {
    // Notifications carry the service's own texts; some desktops read markup in them, so
    // the angle brackets that would open a tag become look-alike quotes.
    QString str = QString::fromUtf8(strText);
    str.replace('<', QChar(0x2039)).replace('>', QChar(0x203A));
    return str;
}

bool TrayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

CTrayState TrayState() {
    CTrayState state;
    state.bAdded = !g_pTray.isNull();
    state.nIconId = g_nIconId;
    state.strTip = g_strTip;
    state.bStandIn = !g_pStandIn.isNull();
    state.nNotifications = g_nNotifications;
    state.strLastNotification = g_strLastNotification;
    return state;
}
