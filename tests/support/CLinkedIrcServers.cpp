#include "tests/support/CLinkedIrcServers.h"

#include "tests/support/CRawIrcLine.h"
#include "tests/support/TestSupport.h"

#include <QRandomGenerator>

#include <thread>

namespace testing_support {

CLinkedIrcServers::CLinkedIrcServers() {
    // Both ports are chosen before either server starts: each names the other's.
    const int nFirstLink = UnusedPort();
    const int nSecondLink = UnusedPort();
    const std::string strPassword = std::to_string(QRandomGenerator::global()->generate64()) + "x" +
                                    std::to_string(QRandomGenerator::global()->generate64());
    CIrcServer::COptions first;
    first.strName = "irc1.test";
    first.strSid = "1AA";
    first.nLinkPort = nFirstLink;
    first.strPeerName = "irc2.test";
    first.nPeerLinkPort = nSecondLink;
    first.strLinkPassword = strPassword;
    CIrcServer::COptions second = first;
    second.strName = "irc2.test";
    second.strSid = "2BB";
    second.nLinkPort = nSecondLink;
    second.strPeerName = "irc1.test";
    second.nPeerLinkPort = nFirstLink;
    m_pFirst = std::make_unique<CIrcServer>(first);
    m_pSecond = std::make_unique<CIrcServer>(second);
    m_bLinked = m_pFirst->Running() && m_pSecond->Running() && WaitLinked();
}

bool CLinkedIrcServers::WaitLinked(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    CRawIrcLine client(m_pFirst->Host(), m_pFirst->Port());
    if (!client.Send("NICK linkwatch") || !client.Send("USER linkwatch 8 * :linkwatch") ||
        !client.WaitFor(" 001 linkwatch ", timeout)) {
        return false;
    }
    while (std::chrono::steady_clock::now() < deadline) {
        if (!client.Send("LINKS") || !client.WaitFor(" 365 linkwatch ")) {
            return false;
        }
        if (client.Transcript().find(" 364 linkwatch " + m_pSecond->Name()) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

std::string CLinkedIrcServers::ServerList() const {
    return m_pFirst->HostPort() + "," + m_pSecond->HostPort();
}

std::string CLinkedIrcServers::Log() const {
    return "=== " + m_pFirst->Name() + "\n" + m_pFirst->Log() + "=== " + m_pSecond->Name() + "\n" +
           m_pSecond->Log();
}

}  // namespace testing_support
