#pragma once

// Runs the real service binary for a test: a private temporary directory (database, log,
// any files a test wants to hand the service), the process started with "--port 0" on
// 127.0.0.1 and the cheap hash cost, and the port read from its start-up line. The process
// dies with the thread that started it, so start it from one that outlives it.

#include <sys/types.h>

#include <string>
#include <vector>

class CServiceProcess final {
public:
    CServiceProcess();
    // Stops the process if it still runs and removes the directory.
    ~CServiceProcess();
    CServiceProcess(const CServiceProcess&) = delete;
    CServiceProcess& operator=(const CServiceProcess&) = delete;

    // Writes a file into the temporary directory (creating sub-directories) and returns
    // its full path.
    std::string WriteFile(const std::string& strRelativePath, const std::string& strContent) const;
    std::string Path(const std::string& strRelativePath) const;

    // Starts the service with the fixed arguments followed by arrExtraArgs. False when
    // it did not announce its port within a few seconds; StartupLine() then tells what
    // it printed.
    bool Start(const std::vector<std::string>& arrExtraArgs = {});
    // Start in two steps, so that several services can be started at the same moment:
    // Launch only forks and runs the binary, AwaitStartup reads the start-up line.
    bool Launch(const std::vector<std::string>& arrExtraArgs = {});
    bool AwaitStartup();
    int Port() const { return m_nPort; }
    // "127.0.0.1:PORT", the Host header an ordinary client sends.
    std::string HostPort() const;
    const std::string& StartupLine() const { return m_strStartupLine; }

    // Sends the signal and waits for the exit. Returns the exit status, or -1 when the
    // process had to be killed or did not exit normally.
    int Stop(int nSignal = 15);
    bool IsRunning() const { return m_pid > 0; }

    // Everything the service wrote to stderr so far.
    std::string LogText() const;

    // Runs the binary to completion without the fixed arguments; for flag checks.
    static int RunToExit(const std::vector<std::string>& arrArgs, std::string& strStdout,
                         std::string& strStderr);

private:
    std::string m_strDir;
    pid_t m_pid = -1;
    int m_fdStdout = -1;
    int m_nPort = 0;
    std::string m_strStartupLine;
};
