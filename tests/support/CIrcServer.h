#pragma once

// A real InspIRCd for the chat tests: its own temporary directory (config, logs, pid file)
// and a free loopback port that stays the same across Restart(). Blocking and not
// thread-safe; use it from the test's thread.

#include <sys/types.h>

#include <QTemporaryDir>

#include <csignal>
#include <string>

namespace testing_support {

class CIrcServer final {
public:
    // Starts the server and waits until its port takes connections; check Running().
    CIrcServer();
    ~CIrcServer();
    CIrcServer(const CIrcServer&) = delete;
    CIrcServer& operator=(const CIrcServer&) = delete;

    bool Running() const { return m_pid > 0; }
    int Port() const { return m_nPort; }
    std::string Host() const { return "127.0.0.1"; }

    // The signal (SIGTERM: the server says goodbye to its clients; SIGKILL: it vanishes),
    // then SIGKILL after 5 s; the process is always reaped.
    void Stop(int nSignal = SIGTERM);
    // Stops and starts again on the same port; true once the port takes connections.
    bool Restart(int nSignal = SIGTERM);

    // What the server printed and logged, for failure messages.
    std::string Log() const;

private:
    bool Start();

    QTemporaryDir m_dir;
    std::string m_strBinary;
    pid_t m_pid = -1;
    int m_nPort = 0;
};

}  // namespace testing_support
