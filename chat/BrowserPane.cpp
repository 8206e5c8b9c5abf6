#include "chat/BrowserPane.h"

#include "chat/WebView.h"
#include "platform/Logging.h"
#include "util/Net.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLibrary>
#include <QOpenGLContext>
#include <QResizeEvent>
#include <QTimer>

#include <QtGui/private/qopenglcontext_p.h>

#include <cstdlib>
#include <cstring>

namespace {

// Where the engine's module is looked for: beside an installed program, then in the build
// tree the program was built in.
QStringList WebViewModulePaths() {
    const QString strName = QStringLiteral(VOCALON_WEBVIEW_MODULE_NAME);
    return {QDir(QCoreApplication::applicationDirPath())
                .filePath(QStringLiteral(VOCALON_WEBVIEW_MODULE_RELATIVE_DIR "/") + strName),
            QStringLiteral(VOCALON_WEBVIEW_MODULE_BUILD_DIR "/") + strName};
}

// The engine draws through OpenGL contexts shared with the application's. Qt makes that
// shared context at start-up when asked to before the application exists, which loads the
// whole OpenGL stack into a program that may never open a chat; so it is made here, just
// before the engine's library is loaded, which checks for it as it loads.
void ShareOpenGLContexts() {
    if (qt_gl_global_share_context()) {
        return;
    }
    // The engine reads the attribute too. Qt warns that it belongs before the application
    // exists; here it comes late on purpose, with the context it stands for made by hand.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    qInstallMessageHandler(previous);
    auto* pContext = new QOpenGLContext(qApp);
    pContext->setFormat(QSurfaceFormat::defaultFormat());
    if (!pContext->create()) {
        qCWarning(AppLog) << "no OpenGL context to share with the web engine";
    }
    qt_gl_set_global_share_context(pContext);
}

// Loads the module once per process; null (and why) when it cannot be loaded.
WebViewFactory LoadWebViewFactory(QString& strWhy) {
    static QLibrary* s_pLibrary = nullptr;
    static WebViewFactory s_factory = nullptr;
    static QString s_strWhy;
    if (s_factory || !s_strWhy.isEmpty()) {
        strWhy = s_strWhy;
        return s_factory;
    }
    for (const QString& strPath : WebViewModulePaths()) {
        if (!QFileInfo::exists(strPath)) {
            continue;
        }
        ShareOpenGLContexts();
        // Kept loaded for the life of the process: views made from it may live until exit.
        s_pLibrary = new QLibrary(strPath);
        s_factory = reinterpret_cast<WebViewFactory>(s_pLibrary->resolve(WEBVIEW_ENTRY));
        if (s_factory) {
            qCInfo(AppLog) << "web engine loaded from" << strPath;
            return s_factory;
        }
        s_strWhy = s_pLibrary->errorString();
        break;
    }
    if (s_strWhy.isEmpty()) {
        s_strWhy = "the web engine module is not installed";
    }
    qCWarning(AppLog) << "web engine not loaded:" << s_strWhy;
    strWhy = s_strWhy;
    return nullptr;
}

class CWebBrowserPane final : public CBrowserPane {
public:
    explicit CWebBrowserPane(QWidget* pParent) : CBrowserPane(pParent) {}

    void Navigate(const std::string& strUrl) override {
        if (!IsWebUrl(strUrl)) {
            return;
        }
        if (EnsureView()) {
            m_pView->Load(strUrl);
            return;
        }
        // Without the engine the room must still work: the navigation completes with the
        // reason in place of the page.
        const QString strAddress = QString::fromStdString(strUrl);
        emit BeforeNavigate(strAddress);
        QTimer::singleShot(0, this, [this, strAddress] {
            emit ProgressChange(100);
            emit DocumentComplete(strAddress);
        });
    }

protected:
    void resizeEvent(QResizeEvent* pEvent) override {
        QWidget::resizeEvent(pEvent);
        if (m_pView) {
            m_pView->Widget()->setGeometry(rect());
        } else if (m_pNoEngine) {
            m_pNoEngine->setGeometry(rect());
        }
    }

private:
    // The view (and with it the engine's module and processes) comes with the first page,
    // so a session that never opens a chat never pays for the engine.
    bool EnsureView() {
        if (m_pView) {
            return true;
        }
        QString strWhy;
        WebViewFactory factory = LoadWebViewFactory(strWhy);
        if (!factory) {
            if (!m_pNoEngine) {
                m_pNoEngine = new QLabel("The page cannot be shown here: " + strWhy + ".", this);
                m_pNoEngine->setTextFormat(Qt::PlainText);
                m_pNoEngine->setAlignment(Qt::AlignCenter);
                m_pNoEngine->setWordWrap(true);
                m_pNoEngine->setGeometry(rect());
                m_pNoEngine->show();
            }
            return false;
        }
        CWebViewEvents events;
        events.fnAccept = [](const std::string& strUrl) { return IsWebUrl(strUrl); };
        events.fnStarted = [this](const QString& strUrl) { emit BeforeNavigate(strUrl); };
        events.fnProgress = [this](int nPercent) { emit ProgressChange(nPercent); };
        events.fnFinished = [this](const QString& strUrl) { emit DocumentComplete(strUrl); };
        m_pView = factory(this, &events);
        m_pView->Widget()->setGeometry(rect());
        m_pView->Widget()->show();
        return true;
    }

    CWebView* m_pView = nullptr;
    QLabel* m_pNoEngine = nullptr;
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
