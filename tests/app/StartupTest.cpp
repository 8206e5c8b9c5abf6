// The program as a whole process: one copy per desktop user, and the application
// directory taken from where it starts.

#include "news/Opml.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using testing_support::PumpEvents;
using testing_support::UnusedPort;
using testing_support::WaitFor;
using namespace std::chrono_literals;

namespace {

class CClient {
public:
    CClient(const QTemporaryDir& home, const QString& strWorkDir, const QStringList& args = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        env.insert("XDG_DATA_HOME", home.path() + "/data");
        env.insert("XDG_RUNTIME_DIR", home.path() + "/runtime");
        env.insert("VOCALON_SERVICE_HOST", QString("127.0.0.1:%1").arg(UnusedPort()));
        env.insert("QT_LOGGING_RULES", "vocalon.app=true");
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(strWorkDir);
        m_process.start(VOCALON_BIN, args);
    }
    ~CClient() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool Logged(const char* pszText) {
        m_log += m_process.readAllStandardError();
        return m_log.contains(pszText);
    }
    QProcess m_process;
    QByteArray m_log;
};

QString AppDirIn(const QTemporaryDir& home) {
    QSettings store(home.path() + "/config/Talvex/vocalon.ini", QSettings::IniFormat);
    return store.value("Prefs/AppDir").toString();
}

}  // namespace

TEST(Startup, recordsTheWorkingDirectoryAndASecondCopyShowsTheFirstsWindow) {
    QTemporaryDir home;
    QDir(home.path()).mkpath("runtime");
    QFile::setPermissions(home.path() + "/runtime",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QTemporaryDir dirA, dirB;
    {
        CClient first(home, dirA.path());
        ASSERT_TRUE(WaitFor([&] { return AppDirIn(home) == dirA.path(); }, 20s));
        // A stranger's bytes on the instance socket are dropped.
        const QString strSocket = home.path() + "/runtime/vocalon.sock";
        ASSERT_TRUE(WaitFor([&] { return QFile::exists(strSocket); }, 10s));
        QLocalSocket stranger;
        stranger.connectToServer(strSocket);
        ASSERT_TRUE(stranger.waitForConnected(5000));
        stranger.write("show yourself\n");
        stranger.waitForBytesWritten(5000);
        EXPECT_TRUE(WaitFor([&] { return first.Logged("instance: ignored"); }, 10s));
        CClient second(home, dirB.path());
        // The second copy asks the first for its window, then stops at its "already
        // running" message before it records anything, and the first keeps running.
        EXPECT_TRUE(WaitFor([&] { return first.Logged("instance: another start asked"); }, 20s));
        PumpEvents(500ms);
        EXPECT_EQ(AppDirIn(home), dirA.path());
        EXPECT_EQ(first.m_process.state(), QProcess::Running);
        EXPECT_EQ(second.m_process.state(), QProcess::Running);
    }
    CClient again(home, dirB.path());
    EXPECT_TRUE(WaitFor([&] { return AppDirIn(home) == dirB.path(); }, 20s));
}

TEST(Startup, fromTheMenuTheDataDirectoryIsTheApplicationDirectory) {
    QTemporaryDir home, dirA;
    QDir(home.path()).mkpath("runtime");
    QFile::setPermissions(home.path() + "/runtime",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // Made as needed, data directory and all.
    const QString strMenuDir = home.path() + "/data/vocalon";
    {
        CClient fromMenu(home, dirA.path(), {"--from-menu"});
        EXPECT_TRUE(WaitFor([&] { return AppDirIn(home) == strMenuDir; }, 20s))
            << AppDirIn(home).toStdString();
    }
    EXPECT_TRUE(QFileInfo(strMenuDir).isDir());
}

TEST(Startup, opmlCommandsWorkOnTheFilesOfTheRunningCopyAndRoundTrip) {
    QTemporaryDir home;
    QDir(home.path()).mkpath("runtime");
    QFile::setPermissions(home.path() + "/runtime",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QTemporaryDir appDir, here;
    auto run = [&](const QStringList& arguments, int nExpectedCode) {
        CClient command(home, here.path(), arguments);
        EXPECT_TRUE(command.m_process.waitForFinished(20000)) << arguments.join(' ').toStdString();
        EXPECT_EQ(command.m_process.exitCode(), nExpectedCode) << arguments.join(' ').toStdString();
        return (command.m_process.readAllStandardOutput() +
                command.m_process.readAllStandardError())
            .toStdString();
    };
    EXPECT_EQ(run({"--import-opml", "in.opml"}, 1), "No user yet: log in once, then try again.\n");
    CClient running(home, appDir.path());
    ASSERT_TRUE(WaitFor([&] { return AppDirIn(home) == appDir.path(); }, 20s));
    {
        QSettings store(home.path() + "/config/Talvex/vocalon.ini", QSettings::IniFormat);
        store.setValue("Prefs/username", "kim");
    }
    QFile in(here.filePath("in.opml"));
    ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    in.write(
        "<opml version=\"1.0\"><body><outline text=\"Folder\">"
        "<outline text=\"Blog\" xmlUrl=\"http://blog.example/rss\"/>"
        "<outline text=\"Atom\" xmlUrl=\"https://atom.example/feed\"/></outline>"
        "<outline text=\"Blog again\" xmlUrl=\"http://blog.example/rss\"/></body></opml>");
    in.close();
    EXPECT_EQ(run({"--import-opml", "in.opml"}, 0), "2 sources added\n");
    EXPECT_EQ(run({"--import-opml", "in.opml"}, 0), "0 sources added\n");
    EXPECT_EQ(running.m_process.state(), QProcess::Running);
    EXPECT_TRUE(QFile::exists(appDir.filePath("kim_own_feeds.txt")));

    EXPECT_EQ(run({"--export-opml", "out.opml"}, 0), "2 sources exported\n");
    QFile out(here.filePath("out.opml"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    const COpmlResult result = ReadOpml(out.readAll().toStdString());
    EXPECT_EQ(result.sources, (CFeedSourceList{{"Blog", "http://blog.example/rss"},
                                               {"Atom", "https://atom.example/feed"}}));
    EXPECT_EQ(run({"--import-opml"}, 2).substr(0, 6), "Usage:");
}
