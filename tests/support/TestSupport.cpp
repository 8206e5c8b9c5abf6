#include "tests/support/TestSupport.h"

#include "platform/Profile.h"
#include "util/AppFiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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
}

std::string CLocalHttpServer::Url(const std::string& strPath) const {
    return "http://127.0.0.1:" + std::to_string(m_nPort) + strPath;
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

}  // namespace testing_support
