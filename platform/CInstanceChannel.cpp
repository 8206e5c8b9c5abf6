#include "platform/CInstanceChannel.h"

#include "platform/Logging.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <cstring>

CInstanceChannel::CInstanceChannel(std::string strPath, std::function<void()> fnOnShow)
    : m_strPath(std::move(strPath)), m_fnOnShow(std::move(fnOnShow)) {}

CInstanceChannel::~CInstanceChannel() = default;

bool CInstanceChannel::Listen() {
    const QString strPath = QString::fromStdString(m_strPath);
    // Only the lock's holder gets here, so a socket file is a crashed holder's.
    QLocalServer::removeServer(strPath);
    m_pServer = new QLocalServer(this);
    m_pServer->setSocketOptions(QLocalServer::UserAccessOption);
    m_pServer->setMaxPendingConnections(MAX_CONNECTIONS);
    connect(m_pServer, &QLocalServer::newConnection, this, &CInstanceChannel::OnConnection);
    if (!m_pServer->listen(strPath)) {
        qCWarning(AppLog) << "instance: cannot listen on" << strPath << m_pServer->errorString();
        return false;
    }
    return true;
}

void CInstanceChannel::OnConnection() {
    while (QLocalSocket* pSocket = m_pServer->nextPendingConnection()) {
        const int nOpen = static_cast<int>(findChildren<QLocalSocket*>().size());
        connect(pSocket, &QLocalSocket::disconnected, pSocket, &QObject::deleteLater);
        if (nOpen > MAX_CONNECTIONS) {
            pSocket->abort();
            pSocket->deleteLater();
            continue;
        }
        pSocket->setParent(this);
        pSocket->setReadBufferSize(MAX_MESSAGE);
        connect(pSocket, &QLocalSocket::readyRead, this, [this, pSocket] { OnReadable(pSocket); });
        QTimer::singleShot(READ_DEADLINE, pSocket, [pSocket] {
            pSocket->abort();
            pSocket->deleteLater();
        });
        OnReadable(pSocket);
    }
}

void CInstanceChannel::OnReadable(QLocalSocket* pSocket) {
    const QByteArray bytes = pSocket->peek(MAX_MESSAGE);
    const int nEnd = static_cast<int>(bytes.indexOf('\n'));
    if (nEnd < 0 && bytes.size() < MAX_MESSAGE) {
        return;  // more to come, within the deadline
    }
    // One message per connection, whatever it was.
    const bool bShow = bytes == SHOW_REQUEST;
    pSocket->abort();
    pSocket->deleteLater();
    if (!bShow) {
        qCInfo(AppLog) << "instance: ignored a message that is not the show request";
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (m_nTaken > 0 && now - m_lastTaken < MIN_INTERVAL) {
        return;
    }
    m_lastTaken = now;
    ++m_nTaken;
    qCInfo(AppLog) << "instance: another start asked for the window";
    if (m_fnOnShow) {
        m_fnOnShow();
    }
}

bool CInstanceChannel::TellRunning(const std::string& strPath, std::chrono::milliseconds deadline) {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(strPath));
    const int nMs = static_cast<int>(deadline.count());
    if (!socket.waitForConnected(nMs)) {
        return false;
    }
    socket.write(SHOW_REQUEST, static_cast<qint64>(std::strlen(SHOW_REQUEST)));
    const bool bSent = socket.waitForBytesWritten(nMs);
    socket.disconnectFromServer();
    return bSent;
}
