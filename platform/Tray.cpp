#include "platform/Tray.h"

#include "platform/AppEvent.h"
#include "platform/ResourceIds.h"

#include <QApplication>
#include <QIcon>
#include <QPointer>
#include <QSystemTrayIcon>

const char* const TRAY_DEFAULT_TIP = "Vocalon 2.0";

namespace {

QPointer<QSystemTrayIcon> g_pTray;
int g_nIconId = 0;
std::string g_strTip;

constexpr size_t kMaxTip = 63;

// Cuts at a UTF-8 character boundary so the tip never ends in half a character.
std::string FitTip(const std::string& strTip) {
    std::string strOut = strTip.empty() ? std::string(TRAY_DEFAULT_TIP) : strTip;
    if (strOut.size() > kMaxTip) {
        size_t nCut = kMaxTip;
        while (nCut > 0 && (static_cast<unsigned char>(strOut[nCut]) & 0xC0) == 0x80) {
            --nCut;
        }
        strOut.resize(nCut);
    }
    return strOut;
}

void Notify(QSystemTrayIcon::ActivationReason reason) {
    int nMouse = 0;
    if (reason == QSystemTrayIcon::Trigger) {
        nMouse = WM_LBUTTONDOWN;
    } else if (reason == QSystemTrayIcon::Context) {
        nMouse = WM_RBUTTONDOWN;
    } else {
        return;
    }
    PostToMainWindow(UM_TRAY_NOTIFY, MakeParam(TRAY_ICON_ID), MakeParam(nMouse));
}

}  // namespace

bool TrayAdd() {
    if (!g_pTray) {
        // Owned by the application so it never outlives the window system.
        g_pTray = new QSystemTrayIcon(qApp);
        QObject::connect(g_pTray, &QSystemTrayIcon::activated, Notify);
    }
    g_nIconId = IDI_MAIN;
    g_strTip = TRAY_DEFAULT_TIP;
    g_pTray->setIcon(LoadAppIcon(IDI_MAIN));
    g_pTray->setToolTip(QString::fromUtf8(g_strTip));
    g_pTray->show();
    return TrayAvailable();
}

bool TraySet(int nIconId, const std::string& strTip) {
    if (!g_pTray) {
        return false;
    }
    g_nIconId = nIconId;
    g_strTip = FitTip(strTip);
    g_pTray->setIcon(LoadAppIcon(nIconId));
    g_pTray->setToolTip(QString::fromUtf8(g_strTip));
    return TrayAvailable();
}

bool TrayRemove() {
    if (!g_pTray) {
        return false;
    }
    g_pTray->hide();
    delete g_pTray;
    g_nIconId = 0;
    g_strTip.clear();
    return true;
}

bool TrayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

CTrayState TrayState() {
    return CTrayState{!g_pTray.isNull(), g_nIconId, g_strTip};
}
