#include "platform/Profile.h"

#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(Profile, absentValuesReadAsTheCallersDefaultAndAreNotCreated) {
    EXPECT_EQ(GetProfileInt("Prefs", "autologin_absent", 1), 1);
    EXPECT_EQ(GetProfileInt("Prefs", "autologin_absent", 0), 0);
    EXPECT_EQ(GetProfileString("Prefs-new", "news_font", "Times New Roman"), "Times New Roman");
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Talvex", "vocalon");
    EXPECT_FALSE(store.contains("Prefs/autologin_absent"));
    EXPECT_FALSE(store.childGroups().contains("Prefs-new"));
}

TEST(Profile, roundTripsIntegersAndStrings) {
    WriteProfileInt("Prefs", "check_time", 7);
    WriteProfileInt("Prefs", "negative", -42);
    WriteProfileInt("Prefs", "colour", 16711680);
    WriteProfileString("Prefs", "username", "kim");
    WriteProfileString("Prefs", "empty", "");
    EXPECT_EQ(GetProfileInt("Prefs", "check_time", 5), 7);
    EXPECT_EQ(GetProfileInt("Prefs", "negative", 0), -42);
    EXPECT_EQ(GetProfileInt("Prefs", "colour", 0), 16711680);
    EXPECT_EQ(GetProfileString("Prefs", "username"), "kim");
    EXPECT_EQ(GetProfileString("Prefs", "empty", "default"), "");
    WriteProfileString("Prefs", "username", "lee");
    EXPECT_EQ(GetProfileString("Prefs", "username"), "lee");
}

TEST(Profile, keepsStringBytesExactly) {
    const std::string strUtf8 = "p\xC3\xA4ss w=rd;#[x]\\/\"";
    const std::string strBinary = std::string("raw\xFF\xFE\x01 bytes", 12);
    WriteProfileString("Prefs", "password", strUtf8);
    WriteProfileString("Prefs", "binary", strBinary);
    EXPECT_EQ(GetProfileString("Prefs", "password"), strUtf8);
    EXPECT_EQ(GetProfileString("Prefs", "binary"), strBinary);
}

TEST(Profile, nonNumericTextReadsAsTheIntegerDefault) {
    WriteProfileString("Prefs", "check_time_text", "soon");
    EXPECT_EQ(GetProfileInt("Prefs", "check_time_text", 5), 5);
    WriteProfileString("Prefs", "check_time_text", "12");
    EXPECT_EQ(GetProfileInt("Prefs", "check_time_text", 5), 12);
}

TEST(Profile, sectionsWithSlashesStayFlatAndSeparate) {
    WriteProfileInt("Prefs-a/b", "check_time", 3);
    WriteProfileInt("Prefs-a\\b", "check_time", 4);
    WriteProfileInt("Prefs-a%2Fb", "check_time", 6);
    WriteProfileInt("Prefs-a", "check_time", 9);
    EXPECT_EQ(GetProfileInt("Prefs-a/b", "check_time", 0), 3);
    EXPECT_EQ(GetProfileInt("Prefs-a\\b", "check_time", 0), 4);
    EXPECT_EQ(GetProfileInt("Prefs-a%2Fb", "check_time", 0), 6);
    EXPECT_EQ(GetProfileInt("Prefs-a", "check_time", 0), 9);
    // "../Prefs" must not reach the Prefs section.
    WriteProfileString("../Prefs", "username", "intruder");
    WriteProfileString("Prefs", "username", "kim");
    EXPECT_EQ(GetProfileString("Prefs", "username"), "kim");
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Talvex", "vocalon");
    for (const QString& strGroup : store.childGroups()) {
        store.beginGroup(strGroup);
        EXPECT_TRUE(store.childGroups().isEmpty()) << strGroup.toStdString();
        store.endGroup();
    }
}

TEST(Profile, fileIsOwnerOnly) {
    WriteProfileString("Prefs", "password", "secret");
    struct stat st {};
    ASSERT_EQ(::stat(ProfileFileName().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    WriteProfileInt("Prefs", "autologin", 1);
    ASSERT_EQ(::stat(ProfileFileName().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(Profile, damagedFileReadsAsDefaultsAndStillTakesNewValues) {
    std::string strJunk;
    for (int i = 0; i < 4096; ++i) {
        strJunk += static_cast<char>((i * 7919 + 13) % 256);  // every byte value, NUL too
    }
    // Values of the wrong kind, a serialised list claiming four billion entries, a line
    // of a megabyte and a section that never closes, between runs of binary junk.
    const std::string strFile = strJunk + "\n[Prefs]\nautologin=@Rect(1 2 3 4)\n" +
                                "check_time=" + std::string(1 << 20, '9') + "\n" +
                                "username=kim, lee\n" +
                                "news_font=@Variant(\\0\\0\\0\\v\\0\\xff\\xff\\xff\\xfe)\n" +
                                "has_firewall=@Variant(\\0\\0\\0\\t\\0\\x7f\\xff\\xff\\xff)\n" +
                                "password=@Size(\n[Prefs\n" + strJunk;
    {
        QFile file(QString::fromStdString(ProfileFileName()));
        QDir().mkpath(QFileInfo(file).absolutePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(strFile.data(), static_cast<qint64>(strFile.size()));
    }
    for (const char* pszEntry : {"autologin", "check_time", "has_firewall", "username"}) {
        EXPECT_EQ(GetProfileInt("Prefs", pszEntry, 7), 7) << pszEntry;
    }
    for (const char* pszEntry : {"username", "news_font", "has_firewall", "autologin"}) {
        EXPECT_EQ(GetProfileString("Prefs", pszEntry, "default"), "default") << pszEntry;
    }
    WriteProfileString("Prefs", "username", "kim");
    WriteProfileInt("Prefs", "autologin", 1);
    EXPECT_EQ(GetProfileString("Prefs", "username"), "kim");
    EXPECT_EQ(GetProfileInt("Prefs", "autologin", 0), 1);
    testing_support::ClearProfile();
}
