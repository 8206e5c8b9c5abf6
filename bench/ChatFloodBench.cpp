// Measures a flood end to end: a local server sends N PRIVMSG lines into a joined room
// whose chat window is open (offscreen), then a PING; the time until the PONG comes back
// covers reading, framing, the protocol and drawing every line. Also the longest gap
// between two turns of the event loop while the flood runs, which is how long the window
// could not answer the user.
//
//   bench_chat_flood [lines=100000]

#include "chat/CChatDlg.h"
#include "chat/CIrcClient.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// One client, served on a loopback port: registration answered, the join echoed, then
// the flood and a PING; it records when the PONG arrives.
class CFloodServer {
public:
    explicit CFloodServer(int nLines) : m_nLines(nLines) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_fd, 1);
        socklen_t nLength = sizeof addr;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &nLength);
        m_nPort = ntohs(addr.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~CFloodServer() {
        m_thread.join();
        ::close(m_fd);
    }
    int Port() const { return m_nPort; }
    std::atomic<bool> m_bDone{false};
    Clock::time_point m_floodStart, m_pongSeen;

private:
    void Send(int fd, const std::string& str) {
        for (size_t nDone = 0; nDone < str.size();) {
            ssize_t n = ::send(fd, str.data() + nDone, str.size() - nDone, MSG_NOSIGNAL);
            if (n <= 0) {
                return;
            }
            nDone += static_cast<size_t>(n);
        }
    }
    // Reads until the text holds strWanted (or the peer goes).
    bool ReadUntil(int fd, std::string& strSeen, const std::string& strWanted) {
        char buffer[4096];
        while (strSeen.find(strWanted) == std::string::npos) {
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                return false;
            }
            strSeen.append(buffer, static_cast<size_t>(n));
        }
        return true;
    }
    void Serve() {
        int fd = ::accept(m_fd, nullptr, nullptr);
        std::string strSeen;
        if (fd >= 0 && ReadUntil(fd, strSeen, "USER")) {
            Send(fd, ":irc.bench 001 kim0 :Welcome\r\n");
            if (ReadUntil(fd, strSeen, "JOIN #flood")) {
                Send(fd, ":kim0!k@h JOIN :#flood\r\n");
                std::string strFlood;
                for (int i = 0; i < m_nLines; ++i) {
                    strFlood += ":ann1!a@host.example PRIVMSG #flood :line " + std::to_string(i) +
                                " of a busy room, about as long as people write\r\n";
                }
                strFlood += "PING :flood-end\r\n";
                m_floodStart = Clock::now();
                Send(fd, strFlood);
                strSeen.clear();
                if (ReadUntil(fd, strSeen, "PONG :flood-end")) {
                    m_pongSeen = Clock::now();
                }
            }
        }
        if (fd >= 0) {
            ::close(fd);
        }
        m_bDone = true;
    }

    int m_nLines;
    int m_fd = -1;
    int m_nPort = 0;
    std::thread m_thread;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("VOCALON_NO_WEBENGINE", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int nLines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;

    CFloodServer server(nLines);
    qputenv("VOCALON_IRC_HOST", "127.0.0.1");
    qputenv("VOCALON_IRC_PORT", QByteArray::number(server.Port()));
    CIrcClient client;
    client.SetNick("kim0");
    auto* pDlg = new CChatDlg(&client, "#flood", "about:blank");
    client.Rooms().AddRoom(pDlg);
    pDlg->show();
    client.Connect();

    // The longest pause between two turns of the event loop.
    QElapsedTimer sinceLastTurn;
    qint64 nLongestGapMs = 0;
    QTimer turns;
    QObject::connect(&turns, &QTimer::timeout, [&] {
        if (sinceLastTurn.isValid()) {
            nLongestGapMs = std::max(nLongestGapMs, sinceLastTurn.elapsed());
        }
        sinceLastTurn.restart();
    });
    turns.start(0);
    // A loop of our own: quitting the application would close the window first.
    QEventLoop loop;
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (server.m_bDone) {
            loop.quit();
        }
    });
    done.start(10);
    QTimer::singleShot(300000, &loop, &QEventLoop::quit);
    loop.exec();
    const int nPaneLines = pDlg->PaneLines();

    if (server.m_pongSeen == Clock::time_point()) {
        std::printf("chat flood: no PONG came back\n");
        return 1;
    }
    const double dSeconds =
        std::chrono::duration<double>(server.m_pongSeen - server.m_floodStart).count();
    std::printf(
        "chat flood into an open window: %d lines + PING in %.2f s, %.0f lines/s "
        "(target >= 10600); longest event-loop gap %lld ms (target <= 50); pane "
        "keeps %d lines\n",
        nLines, dSeconds, nLines / dSeconds, static_cast<long long>(nLongestGapMs),
        pDlg->PaneLines());
    std::printf("summary | chat flood into an open window | %.0f lines/s | target >= 10600\n",
                nLines / dSeconds);
    std::printf("summary | longest event-loop gap in the flood | %lld ms | target <= 50 ms\n",
                static_cast<long long>(nLongestGapMs));
    delete pDlg;
    return 0;
}
