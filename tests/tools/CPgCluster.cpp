#include "CPgCluster.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Only the socket file's name; nothing listens on TCP.
const char* const kPort = "5432";
const char* const kSuperuser = "vocalon";

bool IsExecutable(const std::filesystem::path& path) { return access(path.c_str(), X_OK) == 0; }

// Waits for the child; false when it did not end within the timeout (it is killed then)
// or did not exit with 0.
bool WaitForSuccess(pid_t pid, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    int nStatus = 0;
    while (waitpid(pid, &nStatus, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &nStatus, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
}

}  // namespace

std::string CPgCluster::BinDir() {
    std::error_code error;
    std::filesystem::path best;
    int nBestVersion = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
        const std::string strVersion = entry.path().filename().string();
        if (strVersion.empty() || strVersion.size() > 4 ||
            strVersion.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::filesystem::path bin = entry.path() / "bin";
        if (std::stoi(strVersion) > nBestVersion && IsExecutable(bin / "initdb") &&
            IsExecutable(bin / "postgres") && IsExecutable(bin / "createdb")) {
            best = bin;
            nBestVersion = std::stoi(strVersion);
        }
    }
    return best.string();
}

CPgCluster::CPgCluster() : m_strBinDir(BinDir()), m_uid(geteuid()), m_gid(getegid()) {
    if (m_uid == 0) {
        if (const passwd* pUser = getpwnam("nobody")) {
            m_uid = pUser->pw_uid;
            m_gid = pUser->pw_gid;
        }
    }
    std::string strTemplate =
        (std::filesystem::temp_directory_path() / "vocalon-pg-test-XXXXXX").string();
    if (mkdtemp(strTemplate.data()) != nullptr && chown(strTemplate.c_str(), m_uid, m_gid) == 0) {
        m_strDir = strTemplate;
    }
}

CPgCluster::~CPgCluster() {
    Stop();
    if (!m_strDir.empty()) {
        std::error_code error;
        std::filesystem::remove_all(m_strDir, error);
    }
}

pid_t CPgCluster::Spawn(const std::vector<std::string>& arrArgs) {
    // Everything the child needs is built before fork(): it may only call functions that
    // are safe there.
    std::vector<std::string> arrOwned = arrArgs;
    arrOwned[0] = m_strBinDir + "/" + arrOwned[0];
    std::vector<char*> arrArgv;
    for (std::string& strArg : arrOwned) {
        arrArgv.push_back(strArg.data());
    }
    arrArgv.push_back(nullptr);
    int fdLog =
        open((m_strDir + "/server.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    bool bSwitchUser = geteuid() == 0;
    pid_t pid = fork();
    if (pid == 0) {
        if (bSwitchUser &&
            (setgroups(0, nullptr) != 0 || setgid(m_gid) != 0 || setuid(m_uid) != 0)) {
            _exit(126);
        }
        // Set after the change of user, which clears it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(fdLog, STDOUT_FILENO);
        dup2(fdLog, STDERR_FILENO);
        if (chdir(m_strDir.c_str()) != 0) {
            _exit(126);
        }
        execv(arrArgv[0], arrArgv.data());
        _exit(127);
    }
    close(fdLog);
    return pid;
}

bool CPgCluster::RunTool(const std::vector<std::string>& arrArgs) {
    pid_t pid = Spawn(arrArgs);
    if (pid < 0 || !WaitForSuccess(pid, std::chrono::seconds(60))) {
        m_strError = arrArgs[0] + " failed:\n" + LogText();
        return false;
    }
    return true;
}

bool CPgCluster::Start() {
    if (m_strBinDir.empty() || m_strDir.empty()) {
        m_strError = m_strBinDir.empty() ? "no PostgreSQL server binaries in /usr/lib/postgresql"
                                         : "cannot make a directory for the cluster";
        return false;
    }
    const std::string strData = m_strDir + "/data";
    if (!std::filesystem::exists(strData) &&
        !RunTool({"initdb", "--pgdata=" + strData, "--username=" + std::string(kSuperuser),
                  "--auth=trust", "--encoding=UTF8", "--no-sync", "--no-instructions"})) {
        return false;
    }
    m_pidServer = Spawn({"postgres", "-D", strData, "-k", m_strDir, "-p", kPort, "-c",
                         "listen_addresses=", "-c", "fsync=off", "-c", "synchronous_commit=off",
                         "-c", "full_page_writes=off"});
    // pg_ctl -w waits the same way: for the server to write "ready" into its pid file.
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (m_pidServer > 0 && Clock::now() < deadline) {
        std::ifstream pidFile(strData + "/postmaster.pid");
        std::string strLine;
        while (std::getline(pidFile, strLine)) {
            if (strLine.rfind("ready", 0) == 0) {
                return true;
            }
        }
        int nStatus = 0;
        if (waitpid(m_pidServer, &nStatus, WNOHANG) == m_pidServer) {
            m_pidServer = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_strError = "the server did not start:\n" + LogText();
    Stop();
    return false;
}

bool CPgCluster::Stop() {
    if (m_pidServer <= 0) {
        return false;
    }
    // SIGINT: fast shutdown, open connections are ended.
    kill(m_pidServer, SIGINT);
    bool bStopped = WaitForSuccess(m_pidServer, std::chrono::seconds(10));
    m_pidServer = -1;
    return bStopped;
}

bool CPgCluster::CreateDatabase(const std::string& strName) {
    return RunTool({"createdb", "--host=" + m_strDir, "--port=" + std::string(kPort),
                    "--username=" + std::string(kSuperuser), strName});
}

std::string CPgCluster::ConnInfo(const std::string& strDatabase) const {
    return "host=" + m_strDir + " port=" + kPort + " user=" + kSuperuser + " dbname=" + strDatabase;
}

std::string CPgCluster::LogText() const {
    std::ifstream file(m_strDir + "/server.log", std::ios::binary);
    std::ostringstream stream;
    stream << file.rdbuf();
    return stream.str();
}
