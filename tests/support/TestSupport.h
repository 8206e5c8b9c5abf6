#pragma once

// Shared test helpers.

#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <string>

namespace httplib {
class Server;
}

namespace testing_support {

// Runs the Qt event loop until the condition holds or the time is up; returns the
// condition's last value.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Runs the event loop for a while, for checks that something does NOT happen.
void PumpEvents(std::chrono::milliseconds duration);

// A fresh application directory, set as the "AppDir" setting for its lifetime.
class CTempAppDir {
public:
    CTempAppDir();
    ~CTempAppDir();
    std::string Path() const;
    std::string FilePath(const std::string& strName) const;
    void Write(const std::string& strName, const std::string& strContent) const;
    std::string Read(const std::string& strName) const;
    bool Exists(const std::string& strName) const;

private:
    QTemporaryDir m_dir;
};

// An HTTP server on a free loopback port, running in its own thread.
class CLocalHttpServer {
public:
    CLocalHttpServer();
    ~CLocalHttpServer();
    httplib::Server& Server() { return *m_pServer; }
    // Starts listening; call after registering the handlers.
    void Start();
    int Port() const { return m_nPort; }
    std::string Url(const std::string& strPath) const;

private:
    std::unique_ptr<httplib::Server> m_pServer;
    std::thread* m_pThread = nullptr;
    int m_nPort = 0;
};

// A loopback port that nothing listens on (bound, then released).
int UnusedPort();

}  // namespace testing_support
