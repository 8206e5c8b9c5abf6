// Raw peers for the end-to-end tests, plain sockets without the client's code:
//   close ADDRESS PORT SECONDS      listens on ADDRESS:PORT and closes every connection it
//                                   accepts at once, as a full or hostile client does
//   hold PREFIX COUNT TO PORT SECONDS
//                                   connects from PREFIX.1 .. PREFIX.COUNT to TO:PORT and
//                                   keeps the connections open, reading and dropping
//                                   whatever comes
// Each runs for SECONDS at most, then prints what it did and exits.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

sockaddr_in AddressOf(const std::string& strAddress, int nPort) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(nPort));
    if (inet_pton(AF_INET, strAddress.c_str(), &addr.sin_addr) != 1) {
        std::fprintf(stderr, "not an address: %s\n", strAddress.c_str());
        std::exit(2);
    }
    return addr;
}

int Close(const std::string& strAddress, int nPort, int nSeconds) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int nOn = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof nOn);
    sockaddr_in addr = AddressOf(strAddress, nPort);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 64) != 0) {
        std::perror("listen");
        return 1;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(nSeconds);
    long nAccepted = 0;
    while (std::chrono::steady_clock::now() < end) {
        pollfd waiting{fd, POLLIN, 0};
        if (::poll(&waiting, 1, 200) > 0) {
            const int conn = ::accept(fd, nullptr, nullptr);
            if (conn >= 0) {
                ++nAccepted;
                ::close(conn);
            }
        }
    }
    std::printf("accepted and closed %ld connections\n", nAccepted);
    return 0;
}

int Hold(const std::string& strPrefix, int nCount, const std::string& strTo, int nPort,
         int nSeconds) {
    std::vector<pollfd> open;
    const sockaddr_in to = AddressOf(strTo, nPort);
    for (int i = 1; i <= nCount; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in from = AddressOf(strPrefix + "." + std::to_string(i), 0);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
            ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
            std::perror("connect");
            ::close(fd);
            continue;
        }
        open.push_back({fd, POLLIN, 0});
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(nSeconds);
    char buffer[4096];
    while (std::chrono::steady_clock::now() < end) {
        if (::poll(open.data(), open.size(), 200) <= 0) {
            continue;
        }
        for (pollfd& entry : open) {
            if (entry.fd >= 0 && (entry.revents & (POLLIN | POLLHUP | POLLERR)) &&
                ::read(entry.fd, buffer, sizeof buffer) <= 0) {
                ::close(entry.fd);
                entry.fd = -1;  // poll skips it from now on
            }
        }
    }
    int nStillOpen = 0;
    for (const pollfd& entry : open) {
        nStillOpen += entry.fd >= 0 ? 1 : 0;
    }
    std::printf("%d of %d connections still open\n", nStillOpen, nCount);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 4 && args[0] == "close") {
        return Close(args[1], std::atoi(args[2].c_str()), std::atoi(args[3].c_str()));
    }
    if (args.size() == 6 && args[0] == "hold") {
        return Hold(args[1], std::atoi(args[2].c_str()), args[3], std::atoi(args[4].c_str()),
                    std::atoi(args[5].c_str()));
    }
    std::fprintf(stderr,
                 "usage: %s close ADDRESS PORT SECONDS | hold PREFIX COUNT TO PORT SECONDS\n",
                 argv[0]);
    return 2;
}
