#include "app/TrayMenu.h"

std::unique_ptr<QMenu> BuildTrayPopup(int nPopup) {
    // Popup 1, for nobody logged in, greys the news commands and has its own sign-in text.
    const bool bLoggedOut = nPopup == 1;
    auto pMenu = std::make_unique<QMenu>();
    auto add = [&](const char* pszText, int nId, bool bEnabled = true) {
        QAction* pAction = pMenu->addAction(QString::fromLatin1(pszText));
        pAction->setData(nId);
        pAction->setEnabled(bEnabled);
    };
    add("About us...", ID_ABOUT);
    pMenu->addSeparator();
    add("Prefs...", ID_PREFS);
    add("Review Past News", ID_REVIEW_PAST_NEWS, !bLoggedOut);
    add("Update News", ID_UPDATE_NEWS, !bLoggedOut);
    pMenu->addSeparator();
    add(bLoggedOut ? "Sign in new user.." : "Sign in new user...", ID_SIGN_IN_NEW_USER);
    add("Quit", ID_QUIT);
    return pMenu;
}

int TrayCommandOf(const QAction* pAction) { return pAction ? pAction->data().toInt() : 0; }
