#include "util/AppFiles.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

using testing_support::CTempAppDir;

TEST(MapFile, splitsAtFirstSeparatorAndSkipsLinesWithout) {
    CTempAppDir dir;
    dir.Write("in_feeds.txt",
              "a<!!div!!>b<!!div!!>c\r\nno separator here\nkey<!!div!!>first\r\n"
              "key<!!div!!>second\n<!!div!!>empty key\n\r\nlast<!!div!!>no newline");
    CStringMap map{{"kept", "old"}};
    LoadMapFile("in_feeds.txt", map);
    EXPECT_EQ(map, (CStringMap{{"a", "b<!!div!!>c"},
                               {"key", "second"},
                               {"", "empty key"},
                               {"last", "no newline"},
                               {"kept", "old"}}));
}

TEST(MapFile, roundTripsWithCrLfLines) {
    CTempAppDir dir;
    CStringMap map{{"Harbor Gazette", "http://x/feeds/a.xml"}, {"Tom & Jerry", "1700000000"}};
    EXPECT_TRUE(SaveMapFile("kim_seenurls.txt", map));
    std::string strText = dir.Read("kim_seenurls.txt");
    EXPECT_NE(strText.find("Tom & Jerry<!!div!!>1700000000\r\n"), std::string::npos);
    EXPECT_EQ(strText.find("\n\n"), std::string::npos);
    CStringMap loaded;
    LoadMapFile("kim_seenurls.txt", loaded);
    EXPECT_EQ(loaded, map);
}

TEST(MapFile, missingFileLeavesMapAsItWas) {
    CTempAppDir dir;
    CStringMap map{{"a", "b"}};
    LoadMapFile("absent.txt", map);
    EXPECT_EQ(map, (CStringMap{{"a", "b"}}));
}

TEST(ListFile, skipsEmptyLinesAndRoundTripsWithoutThem) {
    CTempAppDir dir;
    dir.Write("kim_out_feeds.txt", "Gazette\r\n\r\n\nCourier\nLedger");
    std::vector<std::string> arr{"existing"};
    LoadListFile("kim_out_feeds.txt", arr);
    EXPECT_EQ(arr, (std::vector<std::string>{"existing", "Gazette", "Courier", "Ledger"}));

    std::vector<std::string> list{"Zeta", "alpha", "Mid dle"};
    EXPECT_TRUE(SaveListFile("kim_out_feeds.txt", list));
    EXPECT_EQ(dir.Read("kim_out_feeds.txt"), "Zeta\r\nalpha\r\nMid dle\r\n");
    std::vector<std::string> loaded;
    LoadListFile("kim_out_feeds.txt", loaded);
    EXPECT_EQ(loaded, list);
}

TEST(ListFile, emptyListWritesEmptyFile) {
    CTempAppDir dir;
    dir.Write("kim_out_feeds.txt", "Gazette\r\n");
    EXPECT_TRUE(SaveListFile("kim_out_feeds.txt", {}));
    EXPECT_TRUE(dir.Exists("kim_out_feeds.txt"));
    EXPECT_EQ(dir.Read("kim_out_feeds.txt"), "");
}

TEST(SaveFiles, failedWriteKeepsTheOldFileWhole) {
    CTempAppDir dir;
    dir.Write("in_feeds.txt", "old<!!div!!>file\r\n");
    // A file size limit stands in for a full disk (and also binds root).
    rlimit oldLimit{};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = oldLimit;
    small.rlim_cur = 64;
    ::setrlimit(RLIMIT_FSIZE, &small);
    bool bSaved = SaveMapFile("in_feeds.txt", {{"new", std::string(4096, 'x')}});
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(bSaved);
    EXPECT_EQ(dir.Read("in_feeds.txt"), "old<!!div!!>file\r\n");
    EXPECT_EQ(QDir(QString::fromStdString(dir.Path())).entryList(QDir::Files).size(), 1);
}

TEST(SaveFiles, replaceTheFileAndLeaveNoTemporaryBehind) {
    CTempAppDir dir;
    dir.Write("kim_out_feeds.txt", "a long old list\r\nwith many lines\r\n");
    EXPECT_TRUE(SaveListFile("kim_out_feeds.txt", {"x"}));
    EXPECT_EQ(dir.Read("kim_out_feeds.txt"), "x\r\n");
    QDir qdir(QString::fromStdString(dir.Path()));
    EXPECT_EQ(qdir.entryList(QDir::Files).size(), 1);
}

TEST(SaveFiles, writeNothingWhenTheDirectoryIsMissing) {
    CTempAppDir dir;
    EXPECT_FALSE(SaveListFile("no_such_dir/list.txt", {"x"}));
    EXPECT_FALSE(dir.Exists("no_such_dir/list.txt"));
}

TEST(AppDirPath, joinsTheSettingAndTheName) {
    CTempAppDir dir;
    EXPECT_EQ(AppDirPath("in_feeds.txt"), dir.Path() + "/in_feeds.txt");
}

TEST(SplitLines, endsLinesAtLfAndDropsOneCr) {
    EXPECT_EQ(SplitLines("a\r\nb\r\r\nc\rd\n\ne"),
              (std::vector<std::string>{"a", "b\r", "c\rd", "", "e"}));
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(ToCrLf("a\nb\n"), "a\r\nb\r\n");
}

TEST(SaveFiles, keepThePermissionsOfTheFileTheyReplace) {
    CTempAppDir dir;
    dir.Write("kim_seenurls.txt", "a<!!div!!>1\r\n");
    ::chmod(dir.FilePath("kim_seenurls.txt").c_str(), 0640);
    EXPECT_TRUE(SaveMapFile("kim_seenurls.txt", {{"b", "2"}}));
    struct stat st {};
    ASSERT_EQ(::stat(dir.FilePath("kim_seenurls.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    EXPECT_TRUE(SaveListFile("fresh.txt", {"x"}));
    ASSERT_EQ(::stat(dir.FilePath("fresh.txt").c_str(), &st), 0);
    mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
}

TEST(SaveFiles, removeTheTemporariesThatKilledSavesOfTheSameFileLeft) {
    CTempAppDir dir;
    struct Case {
        const char* pszName;
        bool bOld;
        bool bRemoved;
    } cases[] = {
        {"in_feeds.txt.a1B2c3", true, true},    // a save of in_feeds.txt killed before its rename
        {"in_feeds.txt.Q9w8E7", true, false},   // locked: a save still writing it
        {"in_feeds.txt.x7Y6z5", false, false},  // brand new: its save may not have locked it yet
        {"kim_seenurls.txt.a1B2c3", true, false},  // another file's
        {"in_feeds.txt.a1B2c", true, false},       // not what mkstemp makes
        {"in_feeds.txt.a1-2c3", true, false},      // nor this
        {"in_feeds.txt.a1B2c3.bak", true, false},  // a temporary's name is not a prefix
        {"xin_feeds.txt.a1B2c3", true, false},     // another file's
    };
    for (const Case& c : cases) {
        dir.Write(c.pszName, std::string(4096, 'x'));
        if (c.bOld) {
            timespec times[2] = {{0, UTIME_OMIT}, {std::time(nullptr) - 3600, 0}};
            ::utimensat(AT_FDCWD, dir.FilePath(c.pszName).c_str(), times, 0);
        }
    }
    int fdWriting = ::open(dir.FilePath("in_feeds.txt.Q9w8E7").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(fdWriting, LOCK_EX), 0);
    EXPECT_TRUE(SaveMapFile("in_feeds.txt", {{"a", "b"}}));
    ::close(fdWriting);
    for (const Case& c : cases) {
        EXPECT_EQ(dir.Exists(c.pszName), !c.bRemoved) << c.pszName;
    }
    EXPECT_EQ(dir.Read("in_feeds.txt"), "a<!!div!!>b\r\n");
}

TEST(AppendTextFile, fullDiskLeavesTheFileAsItWas) {
    CTempAppDir dir;
    const std::string strWhole = "a<!!div!!>1\r\nb<!!div!!>2\r\n";
    const std::string strRecords = "c<!!div!!>3\r\nd<!!div!!>4\r\ne<!!div!!>5\r\n";
    // A store ending in a whole line, and one a crash tore (the append's CR LF goes first).
    for (const std::string& strBefore : {strWhole, strWhole.substr(0, 18)}) {
        dir.Write("kim_seenurls.txt", strBefore);
        const std::string strPath = dir.FilePath("kim_seenurls.txt");
        // A file size limit a few bytes past the file stands in for a full disk; it is set
        // in a child, so nothing else this program writes meets it.
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{strBefore.size() + 8, strBefore.size() + 8};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::_exit(AppendTextFile(strPath, strRecords) ? 0 : 1);
        }
        ASSERT_GT(pid, 0);
        int nStatus = 0;
        ASSERT_EQ(::waitpid(pid, &nStatus, 0), pid);
        EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 1) << nStatus;
        EXPECT_EQ(dir.Read("kim_seenurls.txt"), strBefore);
    }
}
