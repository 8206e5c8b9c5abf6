#include "news/FeedFinder.h"

#include "news/FeedDiscovery.h"
#include "news/FeedReader.h"
#include "news/WebLinks.h"
#include "platform/CWorkers.h"

#include <QString>
#include <QUrl>

namespace {

std::string DownloadError(const CHttpFetch& fetch) {
    if (fetch.nStatus != HTTP_NO_ANSWER) {
        return "HTTP " + std::to_string(fetch.nStatus);
    }
    return fetch.bTimedOut ? "timed out" : "no answer: " + fetch.strFailure;
}

// The address as typed, made absolute: blanks around it go, a bare host gets http://.
std::string TypedAddress(const std::string& strTyped) {
    const QString strText = QString::fromStdString(strTyped).trimmed();
    std::string strLink = WebLink(QUrl(), strText);
    if (strLink.empty() && !strText.contains(u"://")) {
        strLink = WebLink(QUrl(), QString("http://") + strText);
    }
    return strLink;
}

}  // namespace

CFoundFeed FindFeed(const std::string& strAddress, const CHttpOptions& options) {
    CFoundFeed found;
    const std::string strLink = TypedAddress(strAddress);
    if (strLink.empty()) {
        found.strError = "not a web address";
        return found;
    }
    const CHttpFetch page = HttpGetIfChanged(strLink, {}, options);
    if (page.nStatus != 200) {
        found.strError = DownloadError(page);
        return found;
    }
    CFeedResult result = ReadFeed(page.strBody, strLink);
    if (result.status == EFeedStatus::Ok) {
        found.bFound = true;
        found.source = {CleanSourceName(result.feed.strTitle), strLink};
        return found;
    }
    const CFeedSourceList announced = DiscoverFeeds(page.strBody, strLink);
    if (announced.empty()) {
        found.strError =
            result.status == EFeedStatus::NotAFeed ? "the page announces no feed" : result.strError;
        return found;
    }
    for (size_t i = 0; i < announced.size() && i < MAX_FEEDS_TRIED_PER_PAGE; ++i) {
        const CHttpFetch feed = HttpGetIfChanged(announced[i].strAddress, {}, options);
        if (feed.nStatus != 200) {
            found.strError = announced[i].strAddress + ": " + DownloadError(feed);
            continue;
        }
        result = ReadFeed(feed.strBody, announced[i].strAddress);
        if (result.status != EFeedStatus::Ok) {
            found.strError = announced[i].strAddress + ": " + result.strError;
            continue;
        }
        found.bFound = true;
        // The feed's own title names it; the page's title attribute is a fallback.
        std::string strName = CleanSourceName(result.feed.strTitle);
        found.source = {strName.empty() ? announced[i].strName : strName, announced[i].strAddress};
        found.strError.clear();
        return found;
    }
    return found;
}

void StartFeedFinder(CWindowHandle hWnd, const std::string& strAddress) {
    CWorkers::Start("feed finder", [hWnd, strAddress] {
        PostMessageTo<UM_FEED_FOUND>(hWnd, FindFeed(strAddress), strAddress);
    });
}
