#include "news/FeedFinder.h"
#include "news/FeedSource.h"
#include "news/NewsFiles.h"
#include "news/Opml.h"
#include "news/OwnSources.h"
#include "news/SourceStatus.h"
#include "tests/support/TestSupport.h"
#include "util/AppFiles.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <algorithm>

TEST(CleanSourceName, makesOneSafeLineOfAtMostTheCap) {
    struct CCase {
        std::string strName, strExpected;
    } cases[] = {
        {"  World\r\nnews \t today ", "World news today"},
        {"a<!!div!!>b", "a(!!div!!>b"},
        {"<!!div!!<!!div!!>>", "<!!div!!(!!div!!>>"},
        {std::string("nul\0and\x7F", 8), "nul and"},
        {std::string(MAX_SOURCE_NAME - 1, 'a') + "\xC3\xA9", std::string(MAX_SOURCE_NAME - 1, 'a')},
        {std::string(MAX_SOURCE_NAME - 1, 'a') + " b", std::string(MAX_SOURCE_NAME - 1, 'a')},
        {"", ""},
    };
    for (const CCase& c : cases) {
        EXPECT_EQ(CleanSourceName(c.strName), c.strExpected) << c.strName;
    }
}

TEST(ReadOpml, takesEveryWebFeedOnceWhereverItIsNested) {
    const std::string strOpml =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
        "<opml version=\"1.1\"><head><title>Mine</title></head><body>\n"
        "<outline text=\"News\">\n"
        "  <outline text=\"Text\" title=\"Title &amp; more\" type=\"rss\" "
        "xmlUrl=\"http://a.example/rss\" htmlUrl=\"http://a.example/\"/>\n"
        "  <outline text=\"Caf\xE9&nbsp;line\nbreak\" xmlUrl=\" https://b.example/atom \"/>\n"
        "  <outline text=\"Deeper\"><outline title=\" \" text=\"Deep &lt;!!div!!&gt;\" "
        "xmlUrl=\"http://c.example/?a=1&amp;b=2\"/></outline>\n"
        "</outline>\n"
        "<outline text=\"Again\" xmlUrl=\"http://a.example/rss\"/>\n"
        "<outline text=\"Relative\" xmlUrl=\"/rss\"/>\n"
        "<outline text=\"Ftp\" xmlUrl=\"ftp://d.example/rss\"/>\n"
        "<outline text=\"No feed\" htmlUrl=\"http://e.example/\"/>\n"
        "<outline xmlUrl=\"http://f.example/feed\"/>\n"
        "</body></opml>";
    const COpmlResult result = ReadOpml(strOpml);
    EXPECT_EQ(result.status, EOpmlStatus::Ok);
    EXPECT_EQ(result.strError, "");
    const CFeedSourceList expected = {
        {"Title & more", "http://a.example/rss"},
        {"Caf\u00e9 line break", "https://b.example/atom"},
        {"Deep (!!div!!>", "http://c.example/?a=1&b=2"},
        {"http://f.example/feed", "http://f.example/feed"},
    };
    EXPECT_EQ(result.sources, expected);
}

TEST(ReadOpml, keepsItsLimits) {
    std::string strBody;
    for (size_t i = 0; i < MAX_OPML_SOURCES + 5; ++i) {
        strBody += "<outline text=\"f\" xmlUrl=\"http://a.example/" + std::to_string(i) + "\"/>";
    }
    COpmlResult result = ReadOpml("<opml><body>" + strBody + "</body></opml><junk>");
    EXPECT_EQ(result.status, EOpmlStatus::Ok);
    EXPECT_EQ(result.sources.size(), MAX_OPML_SOURCES);

    // Outlines in elements nested past the cap are ignored.
    std::string strNested;
    for (size_t nDepth = MAX_OPML_DEPTH + 3; nDepth > 2; --nDepth) {
        strNested = "<outline text=\"d\" xmlUrl=\"http://a.example/" + std::to_string(nDepth) +
                    "\">" + strNested + "</outline>";
    }
    result = ReadOpml("<opml><body>" + strNested + "</body></opml>");
    ASSERT_EQ(result.sources.size(), MAX_OPML_DEPTH - 2);
    EXPECT_EQ(result.sources.back().strAddress,
              "http://a.example/" + std::to_string(MAX_OPML_DEPTH));
}

TEST(ReadOpml, saysWhyWhatIsNotOpmlCannotBeRead) {
    struct CCase {
        std::string strBytes;
        EOpmlStatus status;
        std::string strError;
    } cases[] = {
        {"<rss><channel/></rss>", EOpmlStatus::NotOpml, "not an OPML file: the document is <rss>"},
        {"<!DOCTYPE html><html><body/></html>", EOpmlStatus::NotOpml,
         "not an OPML file: an HTML page"},
        {"<opml><body>\n<outline text=\"a\" xmlUrl=\"http://a.example/\">\n</body></opml>",
         EOpmlStatus::BadXml, "XML error at line 3: Opening and ending tag mismatch."},
    };
    for (const CCase& c : cases) {
        const COpmlResult result = ReadOpml(c.strBytes);
        EXPECT_EQ(result.status, c.status) << c.strBytes;
        EXPECT_EQ(result.strError, c.strError) << c.strBytes;
        EXPECT_TRUE(result.sources.empty());
    }
}

TEST(WriteOpml, writesWhatReadOpmlReadsBack) {
    const CFeedSourceList sources = {
        {"Tom & Jerry <live> \"quoted\" 'single'", "http://a.example/rss?x=1&y=2"},
        {"Caf\u00e9 \u2615 \U0001F600", "https://b.example/atom"},
        {"a(!!div!!>b", "http://c.example/a%20b"},
    };
    const std::string strOpml = WriteOpml(sources, "Vocalon & co");
    EXPECT_EQ(
        strOpml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\">", 0), 0u);
    const COpmlResult result = ReadOpml(strOpml);
    EXPECT_EQ(result.status, EOpmlStatus::Ok) << result.strError;
    EXPECT_EQ(result.sources, sources);

    // What a file cannot hold is left out; line breaks survive as references.
    const std::string strOdd =
        WriteOpml({{"ctl\x01 a\tb\nc", "http://d.example/"}, {"bad", "file:///etc/passwd"}},
                  std::string("t\x02"));
    const COpmlResult odd = ReadOpml(strOdd);
    EXPECT_EQ(odd.status, EOpmlStatus::Ok) << odd.strError;
    EXPECT_EQ(odd.sources, (CFeedSourceList{{"ctl a b c", "http://d.example/"}}));
    EXPECT_NE(strOdd.find("&#9;b&#10;c"), std::string::npos);
}

TEST(OwnSources, areSavedAsAMapFileThatNoNameCanCorrupt) {
    testing_support::CTempAppDir dir;
    EXPECT_EQ(OwnSourcesFile("kim"), "kim_own_feeds.txt");
    EXPECT_EQ(OwnSourcesFile("../x"), ".._x_own_feeds.txt");
    ASSERT_TRUE(SaveOwnSources("kim", {{"Plain", "http://a.example/rss"},
                                       {"Two<!!div!!>parts", "http://b.example/rss"},
                                       {"Line\r\nbreak", "http://c.example/a b"},
                                       {"Local", "file:///etc/passwd"},
                                       {"Later", "http://d.example/"}}));
    CStringMap sources;
    LoadMapFile(OwnSourcesFile("kim"), sources);
    const CStringMap expected = {
        {"Plain", "http://a.example/rss"},
        {"Two(!!div!!>parts", "http://b.example/rss"},
        {"Line break", "http://c.example/a%20b"},
        {"Later", "http://d.example/"},
    };
    EXPECT_EQ(sources, expected);
    const std::string strText = dir.Read("kim_own_feeds.txt");
    EXPECT_EQ(std::count(strText.begin(), strText.end(), '\n'), 4);
    EXPECT_EQ(strText.rfind("Plain<!!div!!>http://a.example/rss\r\n", 0), 0u);
}

TEST(OwnSources, addedFeedsGetUniqueNamesOnceEachAndAreChosenAfterTheRest) {
    testing_support::CTempAppDir dir;
    dir.Write("in_feeds.txt", "News<!!div!!>http://catalogue.example/news\r\n");
    ASSERT_TRUE(SaveListFile(ChosenSourcesFile("kim"), {"News"}));
    const COwnSourcesChange first = AddOwnSources("kim", {{"News", "http://a.example/rss"},
                                                          {"News", "http://b.example/rss"},
                                                          {"", "http://c.example/feed"},
                                                          {"Local", "file:///etc/passwd"},
                                                          {"Again", "HTTP://A.example/rss"}});
    EXPECT_TRUE(first.bSaved);
    EXPECT_EQ(first.nAdded, 3u);
    EXPECT_EQ(first.names,
              (std::vector<std::string>{"News (2)", "News (3)", "c.example", "", "News (2)"}));
    ASSERT_TRUE(ChooseSources("kim", first.names));
    // An address met again keeps its name; nothing new is nothing written.
    const COwnSourcesChange second = AddOwnSources("kim", {{"Other", "http://b.example/rss"}});
    EXPECT_EQ(second.nAdded, 0u);
    EXPECT_EQ(second.names, std::vector<std::string>{"News (3)"});

    const CSourceDirectory directory = LoadSourceDirectory("kim");
    EXPECT_EQ(directory.at("News"), (CSourceEntry{"http://catalogue.example/news", false}));
    EXPECT_EQ(directory.at("News (2)"), (CSourceEntry{"http://a.example/rss", true}));
    EXPECT_EQ(ChosenFeedSources("kim"), (CFeedSourceList{{"News", "http://catalogue.example/news"},
                                                         {"News (2)", "http://a.example/rss"},
                                                         {"News (3)", "http://b.example/rss"},
                                                         {"c.example", "http://c.example/feed"}}));
    ASSERT_TRUE(RemoveOwnSources("kim", {"News (3)", "News"}));
    EXPECT_EQ(LoadOwnSources("kim"), (CFeedSourceList{{"News (2)", "http://a.example/rss"},
                                                      {"c.example", "http://c.example/feed"}}));
    EXPECT_EQ(LoadSourceDirectory("kim").count("News"), 1u);
}

TEST(SourceStatus, readsBackWhatItWroteAndClampsWhatAHandEdited) {
    testing_support::CTempAppDir dir;
    CSourceStatusMap statuses;
    statuses["A"] = {ESourceResult::Ok, 0, 12, "", 1700000000};
    statuses["B"] = {ESourceResult::HttpError, 503, 0, "", 0};
    statuses["C"] = {ESourceResult::BadXml, 0, 0, "XML error at line 3:\tbad\r\nthing", 5};
    ASSERT_TRUE(SaveSourceStatus("kim", statuses));
    CSourceStatusMap loaded = LoadSourceStatus("kim");
    EXPECT_EQ(loaded["C"].strDetail, "XML error at line 3: bad  thing");
    loaded["C"].strDetail = statuses["C"].strDetail;
    EXPECT_EQ(loaded, statuses);

    dir.Write("kim_feed_status.txt",
              "Big<!!div!!>ok\t99999\t99999999999999999999\t-5\t\r\n"
              "Short<!!div!!>ok\t1\r\nOdd<!!div!!>what\t0\t0\t0\t\r\n");
    loaded = LoadSourceStatus("kim");
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded["Big"].nHttpStatus, 999);
    EXPECT_EQ(loaded["Big"].nItems, 1000000u);
    EXPECT_EQ(loaded["Big"].lastNew, 0);
    EXPECT_EQ(loaded["Odd"].result, ESourceResult::Unknown);
    EXPECT_FALSE(loaded["Odd"].Failed());

    dir.Write("kim_feed_validators.txt",
              "http://a/<!!div!!>\"x\"\tMon\r\nhttp://b/<!!div!!>\t\r\n"
              "http://c/<!!div!!>" +
                  std::string(MAX_HTTP_VALIDATOR + 1, 'e') + "\t\r\n");
    EXPECT_EQ(LoadFeedValidators("kim"),
              (CFeedValidatorsMap{{"http://a/", CHttpValidators{"\"x\"", "Mon"}}}));
}

TEST(FindFeed, takesAFeedOrThePageAnnouncedOneAndSaysWhyNot) {
    testing_support::CLocalHttpServer server;
    const std::string strRss =
        "<rss version=\"2.0\"><channel><title>Kim's  blog</title></channel></rss>";
    server.Server().Get("/rss", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(strRss, "application/rss+xml");
    });
    server.Server().Get("/page", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(
            "<html><head><link rel=\"alternate\" type=\"application/rss+xml\" "
            "href=\"/gone\"><link rel=\"alternate\" "
            "type=\"application/atom+xml\" title=\"Page feed\" href=\"rss\">"
            "</head></html>",
            "text/html");
    });
    server.Server().Get("/bare", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<html><body>no feed</body></html>", "text/html");
    });
    server.Start();
    const std::string strHostPort = server.Url("/rss").substr(7, server.Url("/rss").size() - 11);
    struct CCase {
        std::string strTyped, strName, strAddress, strError;
    } cases[] = {
        {server.Url("/rss"), "Kim's blog", server.Url("/rss"), ""},
        {" " + strHostPort + "/page ", "Kim's blog", server.Url("/rss"), ""},
        {server.Url("/bare"), "", "", "the page announces no feed"},
        {server.Url("/gone"), "", "", "HTTP 404"},
        {"ftp://x.example/", "", "", "not a web address"},
    };
    for (const CCase& c : cases) {
        const CFoundFeed found = FindFeed(c.strTyped);
        EXPECT_EQ(found.bFound, c.strError.empty()) << c.strTyped;
        EXPECT_EQ(found.source, (CFeedSource{c.strName, c.strAddress})) << c.strTyped;
        EXPECT_EQ(found.strError, c.strError) << c.strTyped;
    }
}
