#pragma once

// How a later start of the program reaches the running one: a local socket beside the
// instance lock, in the user's runtime directory and owner-only. The later start sends
// SHOW_REQUEST and the running one shows its window. Only that request counts: a
// connection may send at most MAX_MESSAGE bytes within READ_DEADLINE and is closed once it
// has, at most MAX_CONNECTIONS are served at once (later ones are closed at once), and a
// request within MIN_INTERVAL of the last one taken is ignored. Window thread only.

#include <QObject>

#include <chrono>
#include <functional>
#include <string>

class QLocalServer;
class QLocalSocket;

class CInstanceChannel final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CInstanceChannel)

public:
    static constexpr const char* SHOW_REQUEST = "vocalon show\n";
    static constexpr int MAX_MESSAGE = 64;
    static constexpr int MAX_CONNECTIONS = 4;
    static constexpr std::chrono::milliseconds READ_DEADLINE{2000};
    static constexpr std::chrono::milliseconds MIN_INTERVAL{500};

    // fnOnShow runs for each request taken.
    CInstanceChannel(std::string strPath, std::function<void()> fnOnShow);
    ~CInstanceChannel() override;

    // For the holder of the instance lock only: a socket file left by a holder that
    // crashed is replaced. False when the socket cannot be made.
    bool Listen();
    // For a later start: asks the running instance to show its window. False when nobody
    // listens, or the request could not be handed over within the deadline.
    static bool TellRunning(const std::string& strPath, std::chrono::milliseconds deadline);

    // Requests taken so far.
    int Taken() const { return m_nTaken; }

private:
    void OnConnection();
    void OnReadable(QLocalSocket* pSocket);

    std::string m_strPath;
    std::function<void()> m_fnOnShow;
    QLocalServer* m_pServer = nullptr;
    int m_nTaken = 0;
    std::chrono::steady_clock::time_point m_lastTaken{};
};
