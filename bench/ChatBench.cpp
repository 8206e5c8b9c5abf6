// Measures the IRC line handling without windows: bytes framed into lines, each line cut
// into tokens and dispatched by the protocol to one of 1,000 rooms.
//
//   bench_chat [lines=1000000]

#include "chat/CChatRoom.h"
#include "chat/CIrcClient.h"
#include "chat/IrcLines.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int nLines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000000;
    constexpr int kRooms = 1000;

    CIrcClient client;
    client.SetNick("kim0");
    std::vector<std::unique_ptr<CChatRoom>> rooms;
    for (int i = 0; i < kRooms; ++i) {
        rooms.push_back(std::make_unique<CChatRoom>("#room" + std::to_string(i)));
        client.Rooms().AddRoom(rooms.back().get());
    }
    // What a busy server sends: messages, joins and parts, in 4 KiB reads.
    std::string strStream;
    for (int i = 0; i < nLines; ++i) {
        const std::string strRoom = "#room" + std::to_string(i % kRooms);
        switch (i % 10) {
            case 0: strStream += ":ann1!a@h JOIN " + strRoom + "\r\n"; break;
            case 1: strStream += ":ann1!a@h PART " + strRoom + " :bye\r\n"; break;
            default:
                strStream += ":bob2!b@host.example PRIVMSG " + strRoom +
                             " :a line of ordinary chat, about this long\r\n";
        }
    }
    const auto start = std::chrono::steady_clock::now();
    CIrcLineReader reader;
    std::string strLine;
    long long nHandled = 0;
    for (size_t nPos = 0; nPos < strStream.size(); nPos += 4096) {
        reader.Append(std::string_view(strStream).substr(nPos, 4096));
        while (reader.Next(strLine) == CIrcLineReader::EStatus::Complete) {
            const CIrcMessage message = CIrcMessage::Decode(strLine);
            if (!message.IsCommand("PING")) {
                client.Protocol().HandleLine(message);
            }
            ++nHandled;
        }
    }
    const double dSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "irc lines through framing + protocol + %d rooms: %.0f lines/s "
        "(%lld lines in %.2f s; target >= 200000)\n",
        kRooms, nHandled / dSeconds, nHandled, dSeconds);
    std::printf("summary | irc lines into 1,000 rooms | %.0f lines/s | target >= 200000\n",
                nHandled / dSeconds);
    return 0;
}
