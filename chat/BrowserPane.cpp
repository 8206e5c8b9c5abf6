#include "chat/BrowserPane.h"

#include "util/Net.h"

#include <QLabel>
#include <QResizeEvent>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cstdlib>
#include <cstring>

namespace {

// Pages may link anywhere; the pane follows web links only, so a page cannot steer it to
// local files or to handlers of other schemes.
class CWebOnlyPage final : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
        return IsWebUrl(url.toString().toStdString());
    }
};

class CWebBrowserPane final : public CBrowserPane {
public:
    explicit CWebBrowserPane(QWidget* pParent) : CBrowserPane(pParent) {}

    void Navigate(const std::string& strUrl) override {
        if (!IsWebUrl(strUrl)) {
            return;
        }
        EnsureView();
        // The view may report the new address before it reports the start of the load.
        m_bLoading = true;
        m_pView->load(QUrl(QString::fromStdString(strUrl)));
    }

protected:
    void resizeEvent(QResizeEvent* pEvent) override {
        QWidget::resizeEvent(pEvent);
        if (m_pView) {
            m_pView->setGeometry(rect());
        }
    }

private:
    // The view (and with it the engine's processes) comes with the first page, so a
    // session that never opens a chat never pays for the engine.
    void EnsureView() {
        if (m_pView) {
            return;
        }
        m_pView = new QWebEngineView(this);
        m_pView->setPage(new CWebOnlyPage(m_pView));
        m_pView->setGeometry(rect());
        m_pView->show();
        connect(m_pView, &QWebEngineView::loadStarted, this, [this] {
            m_bLoading = true;
            emit BeforeNavigate(m_pView->url().toString());
        });
        // During a load a new address is a redirect; after it, a move within the page
        // (an anchor, a script), which loads nothing and is there at once.
        connect(m_pView, &QWebEngineView::urlChanged, this, [this](const QUrl& url) {
            if (m_bLoading) {
                emit BeforeNavigate(url.toString());
            } else {
                emit DocumentComplete(url.toString());
            }
        });
        connect(m_pView, &QWebEngineView::loadProgress, this,
                [this](int nPercent) { emit ProgressChange(qBound(0, nPercent, 100)); });
        // A failed load completes too: the view shows its error page, and the buttons
        // that wait for a page must not stay disabled for good.
        connect(m_pView, &QWebEngineView::loadFinished, this, [this](bool) {
            m_bLoading = false;
            emit DocumentComplete(m_pView->url().toString());
        });
    }

    QWebEngineView* m_pView = nullptr;
    bool m_bLoading = false;
};

class CPlainBrowserPane final : public CBrowserPane {
public:
    explicit CPlainBrowserPane(QWidget* pParent)
        : CBrowserPane(pParent), m_pAddress(new QLabel(this)) {
        m_pAddress->setTextFormat(Qt::PlainText);
        m_pAddress->setAlignment(Qt::AlignCenter);
    }

    void Navigate(const std::string& strUrl) override {
        if (!IsWebUrl(strUrl)) {
            return;
        }
        const QString strAddress = QString::fromStdString(strUrl);
        m_pAddress->setText(strAddress);
        emit BeforeNavigate(strAddress);
        // Completes the way a real load would: later, never inside the caller.
        QTimer::singleShot(0, this, [this, strAddress] {
            emit ProgressChange(100);
            emit DocumentComplete(strAddress);
        });
    }

protected:
    void resizeEvent(QResizeEvent* pEvent) override {
        QWidget::resizeEvent(pEvent);
        m_pAddress->setGeometry(rect());
    }

private:
    QLabel* m_pAddress;
};

}  // namespace

CBrowserPane* CBrowserPane::Create(QWidget* pParent) {
    const char* pszNoEngine = std::getenv("VOCALON_NO_WEBENGINE");
    if (pszNoEngine && std::strcmp(pszNoEngine, "1") == 0) {
        return new CPlainBrowserPane(pParent);
    }
    return new CWebBrowserPane(pParent);
}
