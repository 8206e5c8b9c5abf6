#pragma once

// Two InspIRCds linked into one network, "irc1.test" and "irc2.test", on free loopback
// ports. Each retries the link every second while the other is away, so a server that is
// restarted links again by itself. Blocking; use it from the test's thread.

#include "tests/support/CIrcServer.h"

#include <chrono>
#include <memory>
#include <string>

namespace testing_support {

class CLinkedIrcServers final {
public:
    // Starts both and waits until they are linked; check Linked().
    CLinkedIrcServers();
    CLinkedIrcServers(const CLinkedIrcServers&) = delete;
    CLinkedIrcServers& operator=(const CLinkedIrcServers&) = delete;

    // The first (0) or the second (1) server.
    CIrcServer& operator[](int nIndex) { return nIndex == 0 ? *m_pFirst : *m_pSecond; }
    bool Linked() const { return m_bLinked; }
    // Waits until a client of the first server sees the second in its LINKS reply.
    bool WaitLinked(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // "127.0.0.1:p1,127.0.0.1:p2", the list a client is given.
    std::string ServerList() const;
    std::string Log() const;

private:
    std::unique_ptr<CIrcServer> m_pFirst;
    std::unique_ptr<CIrcServer> m_pSecond;
    bool m_bLinked = false;
};

}  // namespace testing_support
