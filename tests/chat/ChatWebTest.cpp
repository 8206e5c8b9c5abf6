// The chat window with the real web engine in its browser pane.

#include "chat/BrowserPane.h"
#include "chat/CChatDlg.h"
#include "chat/CIrcClient.h"
#include "tests/chat/ChatWindowTest.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>
#include <httplib.h>

#include <unistd.h>

#include <atomic>
#include <string>

using testing_support::WaitFor;

namespace {

// The engine's helper processes this process has started: they come with the engine.
int EngineProcesses() {
    int nCount = 0;
    for (const QString& strPid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat("/proc/" + strPid + "/stat");
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        // "pid (comm) state ppid ..."; comm may hold blanks, so split after its ")".
        const QByteArray line = stat.readAll();
        const qsizetype nOpen = line.indexOf('(');
        const qsizetype nClose = line.lastIndexOf(')');
        if (nOpen < 0 || nClose < nOpen) {
            continue;
        }
        const QList<QByteArray> fields = line.mid(nClose + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == ::getpid() &&
            line.mid(nOpen + 1, nClose - nOpen - 1).startsWith("QtWebEngine")) {
            ++nCount;
        }
    }
    return nCount;
}

// Whether the engine's library is mapped into this process (this test program, like the
// client, does not link it).
bool EngineMapped() {
    QFile maps("/proc/self/maps");
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngineCore");
}

// The page's view, made by the engine's module; found by class name, as this program
// knows nothing of the engine's types.
QWidget* EngineView(CChatDlg& dlg) {
    for (QWidget* pChild : dlg.Browser()->findChildren<QWidget*>()) {
        if (pChild->inherits("QWebEngineView")) {
            return pChild;
        }
    }
    return nullptr;
}

// A chat window on an unconnected client (what it sends is dropped), its page served
// from loopback.
class ChatWebTest : public ChatWindowTest {
protected:
    ChatWebTest() {
        m_http.Server().Get("/article", [this](const httplib::Request&, httplib::Response& res) {
            ++m_nRequests;
            res.set_content("<html><head><title>Bread news</title></head><body>Bread</body></html>",
                            "text/html");
        });
        m_http.Start();
    }

    testing_support::CCleanProfile m_profile;
    testing_support::CLocalHttpServer m_http;
    std::atomic<int> m_nRequests{0};
};

TEST_F(ChatWebTest, engineStartsWithTheFirstPageAndTheLoadedPageEnablesTheButtons) {
    EXPECT_EQ(EngineProcesses(), 0);
    EXPECT_FALSE(EngineMapped());
    const std::string strUrl = m_http.Url("/article");
    CChatDlg& dlg = Open(strUrl);
    EXPECT_FALSE(Child<QPushButton>("join")->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return !dlg.PageUrl().empty(); }, std::chrono::seconds(60)));

    EXPECT_EQ(dlg.PageUrl(), strUrl);
    EXPECT_EQ(Child<QLineEdit>("location")->text().toStdString(), strUrl);
    EXPECT_EQ(Child<QProgressBar>("progress")->value(), 100);
    for (const char* pszButton : {"email", "instant", "join"}) {
        EXPECT_TRUE(Child<QPushButton>(pszButton)->isEnabled()) << pszButton;
    }
    // A failed load completes too; this one really came from the server.
    EXPECT_EQ(m_nRequests, 1);
    QWidget* pView = EngineView(dlg);
    ASSERT_NE(pView, nullptr);
    EXPECT_EQ(pView->property("title").toString(), "Bread news");
    EXPECT_GT(EngineProcesses(), 0);
    EXPECT_TRUE(EngineMapped());
}

TEST_F(ChatWebTest, addressThatIsNotAWebPageNeverReachesTheEngine) {
    const bool bMappedBefore = EngineMapped();
    for (const char* pszUrl : {"file:///etc/passwd", "javascript:alert(1)"}) {
        SCOPED_TRACE(pszUrl);
        CChatDlg& dlg = Open(pszUrl);
        testing_support::PumpEvents(std::chrono::milliseconds(200));
        EXPECT_EQ(EngineView(dlg), nullptr);
        EXPECT_EQ(EngineMapped(), bMappedBefore);
        EXPECT_EQ(dlg.PageUrl(), "");
        EXPECT_EQ(Child<QLineEdit>("location")->text(), "");
        EXPECT_EQ(Child<QProgressBar>("progress")->value(), 0);
        EXPECT_FALSE(Child<QPushButton>("email")->isEnabled());
        EXPECT_FALSE(Child<QPushButton>("instant")->isEnabled());
        EXPECT_TRUE(Child<QPushButton>("join")->isEnabled());
    }
}

TEST_F(ChatWebTest, theKeyboardReachesTheRoomsControlsBeforeThePage) {
    CChatDlg& dlg = Open(m_http.Url("/article"));
    ASSERT_TRUE(WaitFor([&] { return !dlg.PageUrl().empty(); }, std::chrono::seconds(60)));
    dlg.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return dlg.isActiveWindow(); }));
    QWidget* pView = EngineView(dlg);
    ASSERT_NE(pView, nullptr);
    auto inPage = [&] {
        QWidget* pFocus = QApplication::focusWidget();
        return pFocus && (pFocus == pView || pView->isAncestorOf(pFocus));
    };
    EXPECT_FALSE(inPage());
    EXPECT_EQ(QApplication::focusWidget(), Child<QTreeWidget>("users"));

    dlg.OnJoinOrLeave();
    Child<QLineEdit>("input")->setFocus();
    QStringList before;
    for (int i = 0; i < 12 && !inPage(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (!inPage()) {
            before << QApplication::focusWidget()->objectName();
        }
    }
    // Every control of the room first; the page is still reached by the keyboard.
    EXPECT_TRUE(inPage());
    EXPECT_EQ(before,
              (QStringList{"send", "users", "join", "email", "instant", "pane", "location"}));
}

}  // namespace
