#include "platform/Shell.h"

#include "platform/ResourceIds.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QIcon>
#include <QUrl>

bool ShellOpen(const std::string& strUrl) {
    QUrl url = QUrl::fromEncoded(QByteArray::fromStdString(strUrl), QUrl::TolerantMode);
    return url.isValid() && QDesktopServices::openUrl(url);
}

void PlayNamedSound(const std::string& /*strName*/) {
    // The desktop offers no portable named sounds; the bell is the sound users know.
    QApplication::beep();
}

QCursor HandCursor() { return QCursor(Qt::PointingHandCursor); }

QIcon LoadAppIcon(int nIconId) {
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
    return QIcon(QString::fromLatin1(pszFile));
}
