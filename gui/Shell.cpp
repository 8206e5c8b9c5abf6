#include "gui/Shell.h"

#include "gui/ResourceIds.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QIcon>
#include <QUrl>

#include <map>

bool ShellOpen(const std::string& strUrl) {
    QUrl url = QUrl::fromEncoded(QByteArray::fromStdString(strUrl), QUrl::TolerantMode);
    return url.isValid() && QDesktopServices::openUrl(url);
}

void PlayNamedSound(const std::string& /*strName*/) {
    // The desktop offers no portable named sounds; the bell is the sound users know.
    QApplication::beep();
}

QCursor HandCursor() { return QCursor(Qt::PointingHandCursor); }

namespace {

QIcon RenderAppIcon(int nIconId) {
    const char* pszFile = nullptr;
    switch (nIconId) {
        case IDI_MAIN: pszFile = ":/icons/main.svg"; break;
        case IDI_UPDATING: pszFile = ":/icons/updating.svg"; break;
        case IDI_NEWS: pszFile = ":/icons/news.svg"; break;
        case IDI_OFFLINE: pszFile = ":/icons/offline.svg"; break;
        case IDI_NEXT: pszFile = ":/icons/next.svg"; break;
        case IDI_PREV: pszFile = ":/icons/prev.svg"; break;
        case IDI_SEND: pszFile = ":/icons/send.svg"; break;
        default: return QIcon();
    }
    // Rendered once at the sizes trays and buttons ask for: the tray blink sets an icon
    // twice a second for hours, and rendering SVG each time was most of its cost.
    const QIcon svg(QString::fromLatin1(pszFile));
    QIcon icon;
    for (int nSize : {16, 22, 24, 32, 48, 64}) {
        icon.addPixmap(svg.pixmap(nSize, nSize));
    }
    return icon;
}

}  // namespace

QIcon LoadAppIcon(int nIconId) {
    // Icons are made on the window thread only, so the cache needs no lock. Pixmaps must go
    // before the application object does.
    static std::map<int, QIcon>* s_pIcons = nullptr;
    if (!s_pIcons) {
        s_pIcons = new std::map<int, QIcon>;
        qAddPostRoutine([] {
            delete s_pIcons;
            s_pIcons = nullptr;
        });
    }
    auto it = s_pIcons->find(nIconId);
    if (it == s_pIcons->end()) {
        it = s_pIcons->emplace(nIconId, RenderAppIcon(nIconId)).first;
    }
    return it->second;
}
