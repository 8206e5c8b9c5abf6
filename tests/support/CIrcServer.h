#pragma once

// A real InspIRCd for the chat tests: its own temporary directory (config, logs, pid file)
// and free loopback ports that stay the same across Restart(). It may also take TLS
// clients on a port of their own, and be one of a linked pair (CLinkedIrcServers).
// Blocking and not thread-safe; use it from the test's thread.

#include <sys/types.h>

#include <QTemporaryDir>

#include <csignal>
#include <string>

namespace testing_support {

class CIrcServer final {
public:
    struct COptions {
        // The server's name and id, unique within a linked network.
        std::string strName = "irc.test";
        std::string strSid = "1AA";
        // PEM files: a TLS listener on TlsPort() besides the plain one (empty: none).
        std::string strCertFile;
        std::string strKeyFile;
        // Linked: the port this server takes other servers on, the other server's name
        // and link port, and the password both use (0, empty: not linked).
        int nLinkPort = 0;
        std::string strPeerName;
        int nPeerLinkPort = 0;
        std::string strLinkPassword;
    };

    // Starts the server and waits until its port takes connections; check Running().
    CIrcServer();
    explicit CIrcServer(COptions options);
    ~CIrcServer();
    CIrcServer(const CIrcServer&) = delete;
    CIrcServer& operator=(const CIrcServer&) = delete;

    bool Running() const { return m_pid > 0; }
    int Port() const { return m_nPort; }
    int TlsPort() const { return m_nTlsPort; }
    std::string Host() const { return "127.0.0.1"; }
    const std::string& Name() const { return m_options.strName; }
    // "127.0.0.1:port", as a server list names it.
    std::string HostPort() const { return Host() + ":" + std::to_string(m_nPort); }

    // The signal (SIGTERM: the server says goodbye to its clients; SIGKILL: it vanishes),
    // then SIGKILL after 5 s; the process is always reaped.
    void Stop(int nSignal = SIGTERM);
    // Stops and starts again on the same ports; true once the port takes connections.
    bool Restart(int nSignal = SIGTERM);
    bool Start();

    // What the server printed and logged, for failure messages.
    std::string Log() const;

private:
    COptions m_options;
    QTemporaryDir m_dir;
    std::string m_strBinary;
    pid_t m_pid = -1;
    int m_nPort = 0;
    int m_nTlsPort = 0;
};

}  // namespace testing_support
