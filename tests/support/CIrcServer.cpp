#include "tests/support/CIrcServer.h"

#include "tests/support/TestSupport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#ifndef VOCALON_INSPIRCD_CONF
#error "VOCALON_INSPIRCD_CONF must name the InspIRCd configuration template"
#endif

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;

std::string ReadFile(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary);
    std::ostringstream stream;
    stream << file.rdbuf();
    return stream.str();
}

void ReplaceAll(std::string& strText, const std::string& strFrom, const std::string& strTo) {
    for (size_t nAt = strText.find(strFrom); nAt != std::string::npos;
         nAt = strText.find(strFrom, nAt + strTo.size())) {
        strText.replace(nAt, strFrom.size(), strTo);
    }
}

// The daemon lives in sbin, which an ordinary user's PATH often lacks.
std::string FindInspircd() {
    std::string strPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    strPath += ":/usr/sbin:/usr/local/sbin";
    std::istringstream stream(strPath);
    for (std::string strDir; std::getline(stream, strDir, ':');) {
        std::string strCandidate = strDir + "/inspircd";
        if (!strDir.empty() && access(strCandidate.c_str(), X_OK) == 0) {
            return strCandidate;
        }
    }
    return {};
}

bool AcceptsConnections(int nPort) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(nPort));
    // A loopback connect is answered at once: accepted or refused, never pending.
    bool bAccepted = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return bAccepted;
}

}  // namespace

CIrcServer::CIrcServer() : CIrcServer(COptions()) {}

CIrcServer::CIrcServer(COptions options)
    : m_options(std::move(options)), m_strBinary(FindInspircd()), m_nPort(UnusedPort()) {
    if (!m_options.strCertFile.empty()) {
        m_nTlsPort = UnusedPort();
    }
    Start();
}

CIrcServer::~CIrcServer() { Stop(); }

bool CIrcServer::Start() {
    if (Running() || m_strBinary.empty() || !m_dir.isValid()) {
        return false;
    }
    std::string strDir = m_dir.path().toStdString();
    // The other templates lie beside the main one.
    const std::string strTemplates = VOCALON_INSPIRCD_CONF;
    const std::string strTemplateDir = strTemplates.substr(0, strTemplates.rfind('/') + 1);
    std::string strConfig = ReadFile(strTemplates);
    if (!m_options.strCertFile.empty()) {
        strConfig += ReadFile(strTemplateDir + "inspircd-tls.conf.in");
    }
    if (m_options.nLinkPort != 0) {
        strConfig += ReadFile(strTemplateDir + "inspircd-link.conf.in");
    }
    ReplaceAll(strConfig, "@PORT@", std::to_string(m_nPort));
    ReplaceAll(strConfig, "@DIR@", strDir);
    ReplaceAll(strConfig, "@NAME@", m_options.strName);
    ReplaceAll(strConfig, "@SID@", m_options.strSid);
    ReplaceAll(strConfig, "@TLSPORT@", std::to_string(m_nTlsPort));
    ReplaceAll(strConfig, "@CERT@", m_options.strCertFile);
    ReplaceAll(strConfig, "@KEY@", m_options.strKeyFile);
    ReplaceAll(strConfig, "@LINKPORT@", std::to_string(m_options.nLinkPort));
    ReplaceAll(strConfig, "@PEERNAME@", m_options.strPeerName);
    ReplaceAll(strConfig, "@PEERLINKPORT@", std::to_string(m_options.nPeerLinkPort));
    ReplaceAll(strConfig, "@LINKPASS@", m_options.strLinkPassword);
    std::string strConfigPath = strDir + "/inspircd.conf";
    std::ofstream(strConfigPath, std::ios::binary | std::ios::trunc) << strConfig;

    // Everything the child needs is prepared before fork(), so it only calls dup2/execv.
    std::vector<std::string> arrArgs = {m_strBinary, "--config=" + strConfigPath, "--nofork"};
    if (geteuid() == 0) {
        arrArgs.emplace_back("--runasroot");
    }
    std::vector<char*> arrArgv;
    for (std::string& strArg : arrArgs) {
        arrArgv.push_back(strArg.data());
    }
    arrArgv.push_back(nullptr);
    int fdNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    int fdLog =
        open((strDir + "/server.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);

    m_pid = fork();
    if (m_pid == 0) {
        // A crashed test must not leave servers behind.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(fdNull, STDIN_FILENO);
        dup2(fdLog, STDOUT_FILENO);
        dup2(fdLog, STDERR_FILENO);
        execv(arrArgv[0], arrArgv.data());
        _exit(127);
    }
    close(fdNull);
    close(fdLog);
    if (m_pid < 0) {
        return false;
    }

    auto deadline = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < deadline) {
        int nStatus = 0;
        if (waitpid(m_pid, &nStatus, WNOHANG) != 0) {
            m_pid = -1;  // exited early: bad config, port taken, missing module
            return false;
        }
        if (AcceptsConnections(m_nPort) && (m_nTlsPort == 0 || AcceptsConnections(m_nTlsPort))) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Stop();
    return false;
}

void CIrcServer::Stop(int nSignal) {
    if (!Running()) {
        return;
    }
    kill(m_pid, nSignal);
    auto deadline = Clock::now() + std::chrono::seconds(5);
    int nStatus = 0;
    while (waitpid(m_pid, &nStatus, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &nStatus, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    m_pid = -1;
}

bool CIrcServer::Restart(int nSignal) {
    Stop(nSignal);
    return Start();
}

std::string CIrcServer::Log() const {
    if (m_strBinary.empty()) {
        return "inspircd not found in PATH, /usr/sbin or /usr/local/sbin (tools/deps.sh installs "
               "it)";
    }
    std::string strDir = m_dir.path().toStdString();
    return "--- output ---\n" + ReadFile(strDir + "/server.log") + "--- inspircd.log ---\n" +
           ReadFile(strDir + "/inspircd.log");
}

}  // namespace testing_support
