#include "platform/CInstanceChannel.h"

#include "tests/support/TestSupport.h"

#include <QFileInfo>
#include <QLocalSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using testing_support::PumpEvents;
using testing_support::WaitFor;
using namespace std::chrono_literals;

namespace {

class InstanceChannel : public testing::Test {
protected:
    std::string Path() const { return (m_dir.path() + "/vocalon.sock").toStdString(); }
    std::unique_ptr<CInstanceChannel> Listening() {
        auto pChannel = std::make_unique<CInstanceChannel>(Path(), [this] { ++m_nShown; });
        EXPECT_TRUE(pChannel->Listen());
        return pChannel;
    }
    // A client of the same user that sends the bytes and keeps the connection open.
    std::unique_ptr<QLocalSocket> Send(const QByteArray& bytes) {
        auto pSocket = std::make_unique<QLocalSocket>();
        pSocket->connectToServer(QString::fromStdString(Path()));
        EXPECT_TRUE(pSocket->waitForConnected(2000));
        pSocket->write(bytes);
        pSocket->waitForBytesWritten(2000);
        return pSocket;
    }

    QTemporaryDir m_dir;
    int m_nShown = 0;
};

TEST_F(InstanceChannel, aLaterStartIsHeardOwnerOnlyAndOnlyWhileSomeoneListens) {
    EXPECT_FALSE(CInstanceChannel::TellRunning(Path(), 500ms));
    // A crashed holder's socket file is replaced.
    QFile stale(QString::fromStdString(Path()));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    auto pChannel = Listening();
    EXPECT_EQ(QFileInfo(QString::fromStdString(Path())).permissions() & 0x0077, 0);

    EXPECT_TRUE(CInstanceChannel::TellRunning(Path(), 2s));
    EXPECT_TRUE(WaitFor([&] { return m_nShown == 1; }));
    // Requests closer than the interval are one request.
    EXPECT_TRUE(CInstanceChannel::TellRunning(Path(), 2s));
    PumpEvents(100ms);
    EXPECT_EQ(m_nShown, 1);
    PumpEvents(CInstanceChannel::MIN_INTERVAL);
    EXPECT_TRUE(CInstanceChannel::TellRunning(Path(), 2s));
    EXPECT_TRUE(WaitFor([&] { return m_nShown == 2; }));
    pChannel.reset();
    EXPECT_FALSE(CInstanceChannel::TellRunning(Path(), 500ms));
}

TEST_F(InstanceChannel, anythingButTheRequestIsDroppedWithinItsCapAndDeadline) {
    auto pChannel = Listening();
    const QByteArray request(CInstanceChannel::SHOW_REQUEST);
    struct Case {
        const char* pszName;
        QByteArray bytes;
    };
    for (const Case& c :
         {Case{"garbage line", "hello\n"}, Case{"the request twice", request + request},
          Case{"the request with a tail", request + "x"},
          Case{"no line end past the cap", QByteArray(1 << 16, 'v')},
          Case{"binary", QByteArray("\0\xff\n", 3)}}) {
        SCOPED_TRACE(c.pszName);
        auto pSocket = Send(c.bytes);
        // Closed by the listener once it has seen enough, long before the deadline.
        EXPECT_TRUE(WaitFor([&] { return pSocket->state() == QLocalSocket::UnconnectedState; },
                            CInstanceChannel::READ_DEADLINE / 2));
    }
    // A half request and silent connections are closed at the deadline; meanwhile more
    // connections than the cap are closed at once, and the request still gets through.
    std::vector<std::unique_ptr<QLocalSocket>> silent;
    silent.push_back(Send(request.left(4)));
    for (int n = 0; n < CInstanceChannel::MAX_CONNECTIONS + 2; ++n) {
        silent.push_back(Send({}));
    }
    PumpEvents(200ms);
    EXPECT_EQ(m_nShown, 0);
    const auto closed = [&] {
        int nClosed = 0;
        for (const auto& pSocket : silent) {
            nClosed += pSocket->state() == QLocalSocket::UnconnectedState ? 1 : 0;
        }
        return nClosed;
    };
    EXPECT_GE(closed(), 2);
    EXPECT_TRUE(WaitFor([&] { return closed() == static_cast<int>(silent.size()); },
                        CInstanceChannel::READ_DEADLINE + 2s));
    EXPECT_EQ(m_nShown, 0);
    EXPECT_TRUE(CInstanceChannel::TellRunning(Path(), 2s));
    EXPECT_TRUE(WaitFor([&] { return m_nShown == 1; }));
}

}  // namespace
