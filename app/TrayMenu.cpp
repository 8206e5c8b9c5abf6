#include "app/TrayMenu.h"

#include "util/Strings.h"

namespace {

constexpr size_t kMaxLabelBytes = 60;

}  // namespace

std::unique_ptr<QMenu> BuildTrayPopup(int nPopup, const QStringList& recentInvitations) {
    // Popup 1, for nobody logged in, greys the news commands and has its own sign-in text.
    const bool bLoggedOut = nPopup == 1;
    auto pMenu = std::make_unique<QMenu>();
    auto add = [](QMenu* pTo, const QString& strText, int nId, bool bEnabled = true) {
        QAction* pAction = pTo->addAction(strText);
        pAction->setData(nId);
        pAction->setEnabled(bEnabled);
    };
    add(pMenu.get(), "About us...", ID_ABOUT);
    pMenu->addSeparator();
    add(pMenu.get(), "Prefs...", ID_PREFS);
    add(pMenu.get(), "Review Past News", ID_REVIEW_PAST_NEWS, !bLoggedOut);
    add(pMenu.get(), "Update News", ID_UPDATE_NEWS, !bLoggedOut);
    // A missed alert can still be taken from here.
    QMenu* pRecent = pMenu->addMenu("Recent invitations");
    for (int i = 0; i < recentInvitations.size() && i < MAX_RECENT_INVITATIONS; ++i) {
        add(pRecent, recentInvitations[i], ID_RECENT_INVITATION + i);
    }
    pRecent->setEnabled(!bLoggedOut && !recentInvitations.isEmpty());
    pMenu->addSeparator();
    add(pMenu.get(), bLoggedOut ? "Sign in new user.." : "Sign in new user...",
        ID_SIGN_IN_NEW_USER);
    add(pMenu.get(), "Quit", ID_QUIT);
    return pMenu;
}

int TrayCommandOf(const QAction* pAction) { return pAction ? pAction->data().toInt() : 0; }

int RecentInvitationIndexOf(int nID) {
    return nID >= ID_RECENT_INVITATION && nID < ID_RECENT_INVITATION + MAX_RECENT_INVITATIONS
               ? nID - ID_RECENT_INVITATION
               : -1;
}

QString InvitationMenuText(const std::string& strInviter, const std::string& strTitle) {
    std::string strLabel = CutAtCharBoundary(strInviter + ": " + strTitle, kMaxLabelBytes);
    for (char& c : strLabel) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = ' ';
        }
    }
    return QString::fromStdString(strLabel).replace('&', "&&");
}
