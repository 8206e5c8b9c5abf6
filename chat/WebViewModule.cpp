// The web engine behind the chat window's browser pane, built as a module of its own and
// loaded with the first page (see chat/WebView.h).

#include "chat/WebView.h"

#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

// Pages may link anywhere; the view follows only what the pane accepts, so a page cannot
// steer it to local files or to handlers of other schemes.
class CGuardedPage final : public QWebEnginePage {
public:
    CGuardedPage(QObject* pParent, std::function<bool(const std::string&)> fnAccept)
        : QWebEnginePage(pParent), m_fnAccept(std::move(fnAccept)) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
        return m_fnAccept && m_fnAccept(url.toString().toStdString());
    }

private:
    std::function<bool(const std::string&)> m_fnAccept;
};

class CEngineView final : public QWebEngineView, public CWebView {
public:
    CEngineView(QWidget* pParent, const CWebViewEvents& events) : QWebEngineView(pParent) {
        setPage(new CGuardedPage(this, events.fnAccept));
        connect(this, &QWebEngineView::loadStarted, this, [this, fn = events.fnStarted] {
            m_bLoading = true;
            fn(url().toString());
        });
        // During a load a new address is a redirect; after it, a move within the page (an
        // anchor, a script), which loads nothing and is there at once.
        connect(this, &QWebEngineView::urlChanged, this,
                [this, fnStarted = events.fnStarted, fnFinished = events.fnFinished](
                    const QUrl& url) { (m_bLoading ? fnStarted : fnFinished)(url.toString()); });
        connect(this, &QWebEngineView::loadProgress, this,
                [fn = events.fnProgress](int nPercent) { fn(qBound(0, nPercent, 100)); });
        // A failed load finishes too: the view shows its error page, and whatever waits
        // for a page must not wait for good.
        connect(this, &QWebEngineView::loadFinished, this, [this, fn = events.fnFinished](bool) {
            m_bLoading = false;
            fn(url().toString());
        });
    }

    QWidget* Widget() override { return this; }
    void Load(const std::string& strUrl) override {
        // The view may report the new address before it reports the start of the load.
        m_bLoading = true;
        load(QUrl(QString::fromStdString(strUrl)));
    }

private:
    bool m_bLoading = false;
};

}  // namespace

extern "C" Q_DECL_EXPORT CWebView* VocalonCreateWebView(QWidget* pParent,
                                                        const CWebViewEvents* pEvents) {
    return new CEngineView(pParent, *pEvents);
}
