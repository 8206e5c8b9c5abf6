// The first chat window of a process: the time from opening it to its page loaded, which
// includes loading the web engine's module, the OpenGL stack and the engine's processes,
// and the memory they add. Run it on a real display (tools/bench.sh starts a virtual X
// server): offscreen hides the OpenGL stack.

#include "chat/CChatDlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>

namespace {

// Serves one small page to every connection on a loopback port, until the process ends.
int ServePage() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(fd, 8);
    socklen_t nLength = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &nLength);
    std::thread([fd] {
        const std::string strPage =
            "<html><head><title>Bread</title></head><body><h1>Bread rises</h1></body></html>";
        const std::string strAnswer =
            "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
            "Connection: close\r\nContent-Length: " +
            std::to_string(strPage.size()) + "\r\n\r\n" + strPage;
        for (;;) {
            const int client = ::accept(fd, nullptr, nullptr);
            if (client < 0) {
                return;
            }
            char buffer[4096];
            [[maybe_unused]] const ssize_t nRead = ::recv(client, buffer, sizeof buffer, 0);
            [[maybe_unused]] const ssize_t nSent =
                ::send(client, strAnswer.data(), strAnswer.size(), MSG_NOSIGNAL);
            ::close(client);
        }
    }).detach();
    return ntohs(addr.sin_port);
}

long ResidentKb() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').front().toLong();
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::string strUrl = "http://127.0.0.1:" + std::to_string(ServePage()) + "/article";
    const long nBeforeKb = ResidentKb();

    QElapsedTimer timer;
    timer.start();
    auto* pDlg = new CChatDlg(nullptr, "#bench", strUrl);
    pDlg->show();
    double dMs = -1;
    // A loop of its own: quitting the application would close the window as well.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!pDlg->PageUrl().empty()) {
            dMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            loop.quit();
        } else if (timer.elapsed() > 30000) {
            loop.quit();
        }
    });
    poll.start(5);
    loop.exec();
    const double dAddedMb = static_cast<double>(ResidentKb() - nBeforeKb) / 1024.0;
    delete pDlg;

    std::printf("first chat window, open to page loaded: %.0f ms (target < 1500), on %s\n", dMs,
                qPrintable(QGuiApplication::platformName()));
    std::printf("memory the web engine adds to the program: %.1f MB\n", dAddedMb);
    std::printf("summary | first chat window with its page | %.0f ms | target < 1500 ms\n", dMs);
    return dMs < 0 ? 1 : 0;
}
