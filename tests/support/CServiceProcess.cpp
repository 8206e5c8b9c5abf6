#include "tests/support/CServiceProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#ifndef VOCALON_SERVICE_BIN
#error "VOCALON_SERVICE_BIN must name the service binary"
#endif

namespace {

using Clock = std::chrono::steady_clock;

// The argument vector for execv, built before fork() so the child only calls functions
// that are safe there.
class CArgv final {
public:
    explicit CArgv(const std::vector<std::string>& arrArgs) : m_arrArgs(arrArgs) {
        m_arrArgs.insert(m_arrArgs.begin(), VOCALON_SERVICE_BIN);
        for (std::string& strArg : m_arrArgs) {
            m_arrPointers.push_back(strArg.data());
        }
        m_arrPointers.push_back(nullptr);
    }
    char* const* Get() { return m_arrPointers.data(); }

private:
    std::vector<std::string> m_arrArgs;
    std::vector<char*> m_arrPointers;
};

// Replaces the child with the service; never returns.
[[noreturn]] void ExecService(CArgv& argv, int fdStdout, int fdStderr) {
    // A crashed test must not leave services behind.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(fdStdout, STDOUT_FILENO);
    dup2(fdStderr, STDERR_FILENO);
    execv(VOCALON_SERVICE_BIN, argv.Get());
    _exit(127);
}

// Waits for the child; -1 when it did not exit by itself in time (it is killed then).
int WaitForExit(pid_t pid, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    int nStatus = 0;
    while (true) {
        pid_t done = waitpid(pid, &nStatus, WNOHANG);
        if (done == pid) {
            return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
        }
        if (done < 0) {
            return -1;
        }
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &nStatus, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Reads both pipes to their ends; false when that takes longer than the deadline.
bool ReadBoth(int fdOut, int fdErr, std::string& strOut, std::string& strErr,
              Clock::time_point deadline) {
    pollfd fds[2] = {{fdOut, POLLIN, 0}, {fdErr, POLLIN, 0}};
    std::string* arrTargets[2] = {&strOut, &strErr};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (Clock::now() > deadline) {
            return false;
        }
        if (poll(fds, 2, 50) <= 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && fds[i].revents != 0) {
                char buf[4096];
                ssize_t n = read(fds[i].fd, buf, sizeof buf);
                if (n <= 0) {
                    fds[i].fd = -1;  // poll() ignores negative descriptors
                } else {
                    arrTargets[i]->append(buf, static_cast<size_t>(n));
                }
            }
        }
    }
    return true;
}

}  // namespace

CServiceProcess::CServiceProcess() {
    std::string strTemplate =
        (std::filesystem::temp_directory_path() / "vocalon-service-test-XXXXXX").string();
    if (mkdtemp(strTemplate.data()) != nullptr) {
        m_strDir = strTemplate;
    }
}

CServiceProcess::~CServiceProcess() {
    if (IsRunning()) {
        Stop(SIGKILL);
    }
    if (!m_strDir.empty()) {
        std::error_code error;
        std::filesystem::remove_all(m_strDir, error);
    }
}

std::string CServiceProcess::Path(const std::string& strRelativePath) const {
    return (std::filesystem::path(m_strDir) / strRelativePath).string();
}

std::string CServiceProcess::WriteFile(const std::string& strRelativePath,
                                       const std::string& strContent) const {
    std::filesystem::path path = Path(strRelativePath);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << strContent;
    return path.string();
}

std::string CServiceProcess::HostPort() const { return "127.0.0.1:" + std::to_string(m_nPort); }

bool CServiceProcess::Start(const std::vector<std::string>& arrExtraArgs) {
    return Launch(arrExtraArgs) && AwaitStartup();
}

bool CServiceProcess::Launch(const std::vector<std::string>& arrExtraArgs) {
    if (m_strDir.empty() || IsRunning()) {
        return false;
    }
    m_strStartupLine.clear();
    m_nPort = 0;
    std::vector<std::string> arrArgs = {
        "--port", "0", "--bind", "127.0.0.1", "--db", Path("accounts.db"), "--hash-cost", "min"};
    arrArgs.insert(arrArgs.end(), arrExtraArgs.begin(), arrExtraArgs.end());

    int fdPipe[2];
    if (pipe2(fdPipe, O_CLOEXEC) != 0) {
        return false;
    }
    int fdLog = open(Path("service.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    CArgv argv(arrArgs);
    m_pid = fork();
    if (m_pid == 0) {
        ExecService(argv, fdPipe[1], fdLog);
    }
    close(fdPipe[1]);
    close(fdLog);
    m_fdStdout = fdPipe[0];
    if (m_pid < 0) {
        close(m_fdStdout);
        m_fdStdout = -1;
        return false;
    }
    return true;
}

bool CServiceProcess::AwaitStartup() {
    if (!IsRunning()) {
        return false;
    }
    // The start-up line is the only thing the service prints on stdout.
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (m_strStartupLine.find('\n') == std::string::npos && Clock::now() < deadline) {
        pollfd pfd{m_fdStdout, POLLIN, 0};
        if (poll(&pfd, 1, 100) > 0) {
            char buf[256];
            ssize_t n = read(m_fdStdout, buf, sizeof buf);
            if (n <= 0) {
                break;
            }
            m_strStartupLine.append(buf, static_cast<size_t>(n));
        }
    }
    const std::string strPrefix = "listening on 127.0.0.1:";
    const std::string& strLine = m_strStartupLine;
    bool bWellFormed = strLine.size() > strPrefix.size() + 1 &&
                       strLine.compare(0, strPrefix.size(), strPrefix) == 0 &&
                       strLine.back() == '\n';
    std::string strPort =
        bWellFormed ? strLine.substr(strPrefix.size(), strLine.size() - strPrefix.size() - 1)
                    : std::string();
    if (!bWellFormed || strPort.size() > 5 ||
        strPort.find_first_not_of("0123456789") != std::string::npos) {
        Stop(SIGKILL);
        return false;
    }
    m_nPort = std::stoi(strPort);
    return m_nPort > 0;
}

int CServiceProcess::Stop(int nSignal) {
    if (!IsRunning()) {
        return -1;
    }
    kill(m_pid, nSignal);
    int nExit = WaitForExit(m_pid, std::chrono::seconds(5));
    m_pid = -1;
    close(m_fdStdout);
    m_fdStdout = -1;
    return nExit;
}

std::string CServiceProcess::LogText() const {
    std::ifstream file(Path("service.log"), std::ios::binary);
    std::ostringstream stream;
    stream << file.rdbuf();
    return stream.str();
}

int CServiceProcess::RunToExit(const std::vector<std::string>& arrArgs, std::string& strStdout,
                               std::string& strStderr) {
    int fdOut[2];
    int fdErr[2];
    if (pipe2(fdOut, O_CLOEXEC) != 0) {
        return -1;
    }
    if (pipe2(fdErr, O_CLOEXEC) != 0) {
        close(fdOut[0]);
        close(fdOut[1]);
        return -1;
    }
    CArgv argv(arrArgs);
    pid_t pid = fork();
    if (pid == 0) {
        ExecService(argv, fdOut[1], fdErr[1]);
    }
    close(fdOut[1]);
    close(fdErr[1]);
    bool bEnded =
        ReadBoth(fdOut[0], fdErr[0], strStdout, strStderr, Clock::now() + std::chrono::seconds(5));
    close(fdOut[0]);
    close(fdErr[0]);
    if (pid < 0) {
        return -1;
    }
    // A run that keeps its output open past the deadline is one that started serving.
    if (!bEnded) {
        kill(pid, SIGKILL);
    }
    return WaitForExit(pid, std::chrono::seconds(5));
}
