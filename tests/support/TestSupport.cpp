#include "tests/support/TestSupport.h"

#include "platform/CWorkers.h"
#include "platform/Profile.h"
#include "util/AppFiles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QSettings>
#include <QThread>

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <thread>

namespace testing_support {

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeout.count()) {
            return condition();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(1);
    }
    return true;
}

void ClearProfile() {
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Talvex", "vocalon");
    store.clear();
    store.sync();
}

void PumpEvents(std::chrono::milliseconds duration) {
    WaitFor([] { return false; }, duration);
}

CTempAppDir::CTempAppDir() { WriteProfileString("Prefs", "AppDir", Path()); }

CTempAppDir::~CTempAppDir() { WriteProfileString("Prefs", "AppDir", ""); }

std::string CTempAppDir::Path() const { return m_dir.path().toStdString(); }

std::string CTempAppDir::FilePath(const std::string& strName) const {
    return Path() + "/" + strName;
}

void CTempAppDir::Write(const std::string& strName, const std::string& strContent) const {
    SaveTextFile(FilePath(strName), strContent);
}

std::string CTempAppDir::Read(const std::string& strName) const {
    std::string strText;
    ReadTextFile(FilePath(strName), strText);
    return strText;
}

bool CTempAppDir::Exists(const std::string& strName) const {
    return ::access(FilePath(strName).c_str(), F_OK) == 0;
}

CLocalHttpServer::CLocalHttpServer() : m_pServer(std::make_unique<httplib::Server>()) {}

CLocalHttpServer::CLocalHttpServer(const std::string& strCertFile, const std::string& strKeyFile)
    : m_pServer(std::make_unique<httplib::SSLServer>(strCertFile.c_str(), strKeyFile.c_str())),
      m_bTls(true) {}

CLocalHttpServer::~CLocalHttpServer() {
    m_pServer->stop();
    if (m_pThread) {
        m_pThread->join();
        delete m_pThread;
    }
}

void CLocalHttpServer::Start() {
    m_nPort = m_pServer->bind_to_any_port("127.0.0.1");
    m_pThread = new std::thread([this] { m_pServer->listen_after_bind(); });
    // stop() is ignored until the listener runs: a test that ends at once would otherwise
    // leave it listening and its destructor waiting for ever.
    for (int i = 0; i < 5000 && m_nPort > 0 && !m_pServer->is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string CLocalHttpServer::Url(const std::string& strPath) const {
    return (m_bTls ? "https" : "http") + std::string("://127.0.0.1:") + std::to_string(m_nPort) +
           strPath;
}

CTestCa::CTestCa() {
    const std::string strCommand =
        std::string("bash '") + VOCALON_MAKE_TEST_CA + "' '" + m_dir.path().toStdString() + "'";
    m_bMade = std::system(strCommand.c_str()) == 0;
}

const CTestCa& CTestCa::Get() {
    static const CTestCa s_ca;
    return s_ca;
}

std::string CTestCa::File(const std::string& strName) const {
    return m_dir.path().toStdString() + "/" + strName;
}

namespace {

std::mutex s_logMutex;
std::string s_strNetLog;
QtMessageHandler s_previousHandler = nullptr;

}  // namespace

CNetLogCapture::CNetLogCapture() {
    {
        std::lock_guard<std::mutex> lock(s_logMutex);
        s_strNetLog.clear();
    }
    QLoggingCategory::setFilterRules("vocalon.net=true");
    s_previousHandler = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext& context, const QString& strMsg) {
            if (context.category && std::string_view(context.category) == "vocalon.net") {
                std::lock_guard<std::mutex> lock(s_logMutex);
                s_strNetLog += strMsg.toStdString() + "\n";
            }
        });
}

CNetLogCapture::~CNetLogCapture() {
    qInstallMessageHandler(s_previousHandler);
    QLoggingCategory::setFilterRules("");
}

std::string CNetLogCapture::Text() const {
    std::lock_guard<std::mutex> lock(s_logMutex);
    return s_strNetLog;
}

int UnusedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t nLen = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &nLen);
    ::close(fd);
    return ntohs(addr.sin_port);
}

int ListenOnLoopback(int nBacklog, int& nPort) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(fd, nBacklog);
    socklen_t nLen = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &nLen);
    nPort = ntohs(addr.sin_port);
    return fd;
}

CBlackHole::CBlackHole() { m_fd = ListenOnLoopback(64, m_nPort); }

CBlackHole::~CBlackHole() { ::close(m_fd); }

CSilentAddress::CSilentAddress(const std::string& strAddress, int nPort) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(nPort));
    ::inet_pton(AF_INET, strAddress.c_str(), &addr.sin_addr);
    m_fdListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int nOn = 1;
    ::setsockopt(m_fdListen, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof nOn);
    ::bind(m_fdListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    // A backlog of 0 holds one connection; the one made here fills it.
    ::listen(m_fdListen, 0);
    socklen_t nLen = sizeof addr;
    ::getsockname(m_fdListen, reinterpret_cast<sockaddr*>(&addr), &nLen);
    m_nPort = ntohs(addr.sin_port);
    m_fdQueued = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::connect(m_fdQueued, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
}

CSilentAddress::~CSilentAddress() {
    ::close(m_fdQueued);
    ::close(m_fdListen);
}

CModalResponder::CModalResponder(std::function<void(QWidget*)> act)
    : m_act(std::move(act)), m_pTimer(new QTimer) {
    QObject::connect(m_pTimer, &QTimer::timeout, [this] {
        QWidget* pModal = QApplication::activeModalWidget();
        if (!pModal || m_bSeen) {
            return;
        }
        m_bSeen = true;
        m_pTimer->stop();
        m_strTitle = pModal->windowTitle().toStdString();
        if (auto* pBox = qobject_cast<QMessageBox*>(pModal)) {
            m_strText = pBox->text().toStdString();
        }
        m_act(pModal);
    });
    m_pTimer->start(10);
}

CModalResponder::~CModalResponder() { delete m_pTimer; }

bool CModalResponder::WaitSeen(std::chrono::milliseconds timeout) const {
    return WaitFor([this] { return m_bSeen; }, timeout);
}

void CModalResponder::Close(QWidget* pModal) {
    if (auto* pDialog = qobject_cast<QDialog*>(pModal)) {
        pDialog->reject();
    } else {
        pModal->close();
    }
}

void CModalResponder::ClickButton(QWidget* pModal, const QString& strObjectOrText) {
    for (QAbstractButton* pButton : pModal->findChildren<QAbstractButton*>()) {
        if (pButton->objectName() == strObjectOrText || pButton->text() == strObjectOrText) {
            pButton->click();
            return;
        }
    }
    Close(pModal);
}

CScopedEnv::CScopedEnv(const char* pszName, const std::string& strValue) : m_strName(pszName) {
    const char* pszOld = std::getenv(pszName);
    m_bHadValue = pszOld != nullptr;
    m_strOld = pszOld ? pszOld : "";
    setenv(pszName, strValue.c_str(), 1);
}

CResumeWorkers::~CResumeWorkers() { CWorkers::Resume(); }

CScopedEnv::~CScopedEnv() {
    if (m_bHadValue) {
        setenv(m_strName.c_str(), m_strOld.c_str(), 1);
    } else {
        unsetenv(m_strName.c_str());
    }
}

}  // namespace testing_support
