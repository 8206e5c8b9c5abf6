#pragma once

// Shared test helpers.

#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace testing_support {

// Empties the test program's settings store.
void ClearProfile();

// Empties the settings store when constructed: make it a fixture's first member, so the
// members after it (a CTempAppDir, say) write into a clean store.
struct CCleanProfile {
    CCleanProfile() { ClearProfile(); }
};

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

// An HTTP server on a free loopback port, running in its own thread; given a certificate
// and its key (PEM files), an HTTPS server.
class CLocalHttpServer {
public:
    CLocalHttpServer();
    CLocalHttpServer(const std::string& strCertFile, const std::string& strKeyFile);
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
    bool m_bTls = false;
};

// The throw-away certificate authority of tools/make-test-ca.sh, made once per test program:
// File("ca.pem"), "server.pem"/"server.key" (127.0.0.1), "other-host.pem"/".key" (another
// host), "stranger.pem"/".key" (127.0.0.1, from an authority nobody trusts).
class CTestCa {
public:
    static const CTestCa& Get();
    bool Made() const { return m_bMade; }
    std::string File(const std::string& strName) const;

private:
    CTestCa();
    QTemporaryDir m_dir;
    bool m_bMade = false;
};

// Collects the lines of the network log (vocalon.net) while it lives, turning the category on.
class CNetLogCapture {
public:
    CNetLogCapture();
    ~CNetLogCapture();
    CNetLogCapture(const CNetLogCapture&) = delete;
    CNetLogCapture& operator=(const CNetLogCapture&) = delete;
    // Every line so far, each ending in "\n".
    std::string Text() const;
};

// A loopback port that nothing listens on (bound, then released).
int UnusedPort();

// A TCP socket listening on a free loopback port with the given backlog; sets nPort.
int ListenOnLoopback(int nBacklog, int& nPort);

// A loopback port that takes connections but never answers: requests to it hang until
// their client gives up.
class CBlackHole {
public:
    CBlackHole();
    ~CBlackHole();
    CBlackHole(const CBlackHole&) = delete;
    CBlackHole& operator=(const CBlackHole&) = delete;
    int Port() const { return m_nPort; }
    std::string HostPort() const { return "127.0.0.1:" + std::to_string(m_nPort); }

private:
    int m_fd = -1;
    int m_nPort = 0;
};

// An address and port where connects never complete, as on a network that drops
// everything: a listener whose one-place accept queue is taken, so the kernel drops every
// further connection request. Port 0 picks a free port.
class CSilentAddress {
public:
    explicit CSilentAddress(const std::string& strAddress = "127.0.0.1", int nPort = 0);
    ~CSilentAddress();
    CSilentAddress(const CSilentAddress&) = delete;
    CSilentAddress& operator=(const CSilentAddress&) = delete;
    int Port() const { return m_nPort; }

private:
    int m_fdListen = -1;
    int m_fdQueued = -1;
    int m_nPort = 0;
};

// Acts once on the next modal dialog or message box that opens, from inside its own
// event loop, so code under test that runs one does not block the test.
class CModalResponder {
public:
    explicit CModalResponder(std::function<void(QWidget*)> act);
    ~CModalResponder();
    CModalResponder(const CModalResponder&) = delete;
    CModalResponder& operator=(const CModalResponder&) = delete;

    bool Seen() const { return m_bSeen; }
    // Runs the event loop until the responder has acted, or the time is up. Windows open
    // their boxes without a nested loop, so the box appears only once the loop runs.
    bool WaitSeen(std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    // The dialog's title, and for a message box its text.
    const std::string& Title() const { return m_strTitle; }
    const std::string& Text() const { return m_strText; }

    // Common answers.
    static void Close(QWidget* pModal);
    static void ClickButton(QWidget* pModal, const QString& strObjectOrText);

private:
    std::function<void(QWidget*)> m_act;
    QTimer* m_pTimer;
    bool m_bSeen = false;
    std::string m_strTitle;
    std::string m_strText;
};

// Lets the process's workers start again when it goes (CWorkers::Resume): a test that
// stops them leaves the tests after it a working registry.
class CResumeWorkers {
public:
    CResumeWorkers() = default;
    ~CResumeWorkers();
    CResumeWorkers(const CResumeWorkers&) = delete;
    CResumeWorkers& operator=(const CResumeWorkers&) = delete;
};

// Sets an environment variable for the object's lifetime.
class CScopedEnv {
public:
    CScopedEnv(const char* pszName, const std::string& strValue);
    ~CScopedEnv();

private:
    std::string m_strName;
    bool m_bHadValue;
    std::string m_strOld;
};

}  // namespace testing_support
