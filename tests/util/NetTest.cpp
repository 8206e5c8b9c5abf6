#include "util/Net.h"

#include "platform/CWorkers.h"
#include "tests/support/TestSupport.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <QByteArray>
#include <QLoggingCategory>

#include <atomic>
#include <chrono>
#include <string_view>
#include <thread>
#include <vector>

using testing_support::CLocalHttpServer;
using testing_support::CResumeWorkers;
using testing_support::UnusedPort;
using testing_support::WaitFor;

class HttpGetTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& server = m_server.Server();
        server.Get("/text", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("line one\r\nline two\nlast", "text/plain");
        });
        server.Get("/newline", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("one\ntwo\n", "text/plain");
        });
        server.Get("/empty", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("", "text/plain");
        });
        server.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("not here\n", "text/plain");
        });
        server.Get("/agent", [this](const httplib::Request& req, httplib::Response& res) {
            m_strAgent = req.get_header_value("User-Agent");
            m_strCache = req.get_header_value("Cache-Control");
            res.set_content("ok", "text/plain");
        });
        server.Get("/hop", [](const httplib::Request& req, httplib::Response& res) {
            int n = req.has_param("n") ? std::stoi(req.get_param_value("n")) : 0;
            res.set_redirect(n > 0 ? "/hop?n=" + std::to_string(n - 1) : "/newline");
        });
        server.Get("/to-file", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("file:///etc/passwd");
        });
        server.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("text/plain", [this](size_t, httplib::DataSink& sink) {
                sink.write("first line\npartial", 18);
                ++m_nStalls;
                while (!m_bStop) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
                return false;
            });
        });
        server.Get("/trickle", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("text/plain", [this](size_t, httplib::DataSink& sink) {
                // Fast enough for the stall check, so only a deadline ends it.
                while (!m_bStop && sink.write("x\n", 2)) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                }
                return false;
            });
        });
        server.Get("/huge", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(4096, 'x'), "text/plain");
        });
        m_server.Start();
    }
    void TearDown() override { m_bStop = true; }

    std::string Url(const std::string& strPath) { return m_server.Url(strPath); }

    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nStalls{0};  // answers of /stall begun
    std::string m_strAgent, m_strCache;
    CLocalHttpServer m_server;
};

TEST_F(HttpGetTest, appendsBodyLinesWithAFinalNewline) {
    std::string strBody = "before\n";
    EXPECT_EQ(HttpGet(Url("/text"), strBody), 200);
    EXPECT_EQ(strBody, "before\nline one\r\nline two\nlast\n");

    std::string strNewline;
    EXPECT_EQ(HttpGet(Url("/newline"), strNewline), 200);
    EXPECT_EQ(strNewline, "one\ntwo\n");

    std::string strEmpty;
    EXPECT_EQ(HttpGet(Url("/empty"), strEmpty), 200);
    EXPECT_EQ(strEmpty, "");
}

TEST_F(HttpGetTest, otherStatusLeavesBodyUnchanged) {
    std::string strBody = "keep";
    EXPECT_EQ(HttpGet(Url("/missing"), strBody), 404);
    EXPECT_EQ(strBody, "keep");
}

TEST_F(HttpGetTest, sendsAgentAndBypassesCaches) {
    std::string strBody;
    ASSERT_EQ(HttpGet(Url("/agent"), strBody), 200);
    EXPECT_EQ(m_strAgent, "Vocalon v2.0");
    EXPECT_EQ(m_strCache, "no-cache");
}

TEST_F(HttpGetTest, followsAFewRedirectsOnlyToWebUrls) {
    std::string strBody;
    EXPECT_EQ(HttpGet(Url("/hop?n=3"), strBody), 200);
    EXPECT_EQ(strBody, "one\ntwo\n");

    std::string strTooMany;
    EXPECT_EQ(HttpGet(Url("/hop?n=8"), strTooMany), -1);

    std::string strFile;
    EXPECT_EQ(HttpGet(Url("/to-file"), strFile), -1);
    EXPECT_EQ(strFile, "");
}

TEST_F(HttpGetTest, failsForOtherSchemesAndUnreachableServers) {
    std::string strBody;
    EXPECT_EQ(HttpGet("file:///etc/passwd", strBody), -1);
    EXPECT_EQ(HttpGet("ftp://127.0.0.1/x", strBody), -1);
    EXPECT_EQ(HttpGet("not a url", strBody), -1);
    EXPECT_EQ(HttpGet("http://127.0.0.1:" + std::to_string(UnusedPort()) + "/", strBody), -1);
    EXPECT_EQ(HttpGet("http://no-such-host.invalid/", strBody), -1);
    EXPECT_EQ(strBody, "");
}

TEST_F(HttpGetTest, givesUpOnAStalledTransferKeepingCompleteLines) {
    CHttpOptions options;
    options.stallTime = std::chrono::seconds(1);
    std::string strBody;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(HttpGet(Url("/stall"), strBody, options), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(strBody, "first line\n");
    m_bStop = true;
}

TEST_F(HttpGetTest, givesUpOnATrickleAtTheDeadline) {
    CHttpOptions options;
    options.deadline = std::chrono::milliseconds(800);
    std::string strBody;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(HttpGet(Url("/trickle"), strBody, options), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(strBody.substr(0, 4), "x\nx\n");
}

TEST_F(HttpGetTest, aStopEndsADownloadInFlightAtOnceAndFailsLaterOnesUntilResumed) {
    CResumeWorkers resume;
    int nStatus = 0;
    std::string strBody;
    ASSERT_TRUE(CWorkers::Start("stalled", [&] { nStatus = HttpGet(Url("/stall"), strBody); }));
    EXPECT_TRUE(WaitFor([&] { return m_nStalls == 1; }));
    // At once: curl by itself would look again only at its next timer, 200 ms or more away.
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(CWorkers::StopAndJoin(std::chrono::seconds(10)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(nStatus, -1);
    EXPECT_EQ(strBody, "first line\n");

    // Started after the stop: no request reaches the server.
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(HttpGet(Url("/stall"), strBody), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_EQ(m_nStalls, 1);
    CWorkers::Resume();
    EXPECT_EQ(HttpGet(Url("/text"), strBody), 200);
}

TEST_F(HttpGetTest, logsTheRequestWithoutPasswords) {
    static std::vector<std::string> s_arrLines;
    s_arrLines.clear();
    QLoggingCategory::setFilterRules("vocalon.net=true");
    QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext& context, const QString& strMsg) {
            if (std::string_view(context.category) == "vocalon.net") {
                s_arrLines.push_back(strMsg.toStdString());
            }
        });
    std::string strBody;
    HttpGet(Url("/text?username=kim&password=Zebra%26Quartz"), strBody);
    HttpGet(Url("/missing?pass%77ord=Zebra"), strBody);
    HttpGet(Url("/text").insert(7, "kim:Zebra@"), strBody);
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules("");

    ASSERT_EQ(s_arrLines.size(), 3u);
    EXPECT_NE(s_arrLines[0].find("/text?username=kim&password=*** -> 200"), std::string::npos)
        << s_arrLines[0];
    EXPECT_NE(s_arrLines[0].find("bytes in"), std::string::npos) << s_arrLines[0];
    EXPECT_NE(s_arrLines[1].find("-> 404"), std::string::npos) << s_arrLines[1];
    for (const std::string& strLine : s_arrLines) {
        EXPECT_EQ(strLine.find("Zebra"), std::string::npos) << strLine;
    }
}

TEST_F(HttpGetTest, refusesBodiesOverTheCap) {
    CHttpOptions options;
    options.nMaxBody = 1000;
    std::string strBody;
    EXPECT_EQ(HttpGet(Url("/huge"), strBody, options), -1);
    EXPECT_EQ(HttpGet(Url("/huge"), strBody), 200);
    EXPECT_EQ(strBody.size(), 4097u);
}

TEST_F(HttpGetTest, conditionalGetKeepsValidatorsTakesCompressedBodiesAndCountsTheWire) {
    const std::string strBody(20000, 'a');
    m_server.Server().Get("/cond", [&](const httplib::Request& req, httplib::Response& res) {
        if (req.get_header_value("If-None-Match") == "\"v1\"" ||
            req.get_header_value("If-Modified-Since") == "Tue, 01 Jan 2030 00:00:00 GMT") {
            res.status = 304;
            return;
        }
        res.set_header("ETag", req.has_param("bad") ? "\"a\x01b\"" : "\"v1\"");
        res.set_header("last-modified", "Tue, 01 Jan 2030 00:00:00 GMT");
        // deflate is zlib's stream: qCompress's output after its length.
        if (req.get_header_value("Accept-Encoding").find("deflate") != std::string::npos) {
            res.set_header("Content-Encoding", "deflate");
            res.set_content(qCompress(QByteArray::fromStdString(strBody)).mid(4).toStdString(),
                            "text/xml");
        } else {
            res.set_content(strBody, "text/xml");
        }
    });
    const CHttpFetch first = HttpGetIfChanged(Url("/cond"), {});
    ASSERT_EQ(first.nStatus, 200);
    EXPECT_EQ(first.strBody, strBody + "\n");
    EXPECT_EQ(first.validators, (CHttpValidators{"\"v1\"", "Tue, 01 Jan 2030 00:00:00 GMT"}));
    EXPECT_LT(first.nWireBytes, 2000u);

    const std::pair<CHttpValidators, int> cases[] = {
        {first.validators, 304},
        {{"\"v1\"", ""}, 304},
        {{"", "Tue, 01 Jan 2030 00:00:00 GMT"}, 304},
        {{"\"old\"", ""}, 200},
        // A validator that cannot go on a header line is not sent.
        {{"\"v1\"\r\nX-Evil: 1", ""}, 200},
    };
    for (const auto& [known, nStatus] : cases) {
        const CHttpFetch again = HttpGetIfChanged(Url("/cond"), known);
        EXPECT_EQ(again.nStatus, nStatus) << known.strETag;
        EXPECT_EQ(again.strBody.empty(), nStatus == 304);
    }
    EXPECT_LT(HttpGetIfChanged(Url("/cond"), first.validators).nWireBytes, 500u);
    // A validator with a control character is not kept.
    EXPECT_EQ(HttpGetIfChanged(Url("/cond?bad=1"), {}).validators.strETag, "");

    // The cap holds for the decoded body, whatever came on the wire.
    CHttpOptions small;
    small.nMaxBody = 10000;
    const CHttpFetch capped = HttpGetIfChanged(Url("/cond"), {}, small);
    EXPECT_EQ(capped.nStatus, HTTP_NO_ANSWER);
    EXPECT_EQ(capped.strFailure, "body over the cap");
    EXPECT_FALSE(capped.bTimedOut);
}

TEST(ResolveHost, givesDottedAddressesOrEmpty) {
    EXPECT_EQ(ResolveHost("127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(ResolveHost("10.1.2.3"), "10.1.2.3");
    EXPECT_EQ(ResolveHost("localhost"), "127.0.0.1");
    EXPECT_EQ(ResolveHost("no-such-host.invalid"), "");
    EXPECT_EQ(ResolveHost(""), "");
}

TEST(IsWebUrl, acceptsOnlyHttpAndHttps) {
    EXPECT_TRUE(IsWebUrl("http://example.org/"));
    EXPECT_TRUE(IsWebUrl("HTTPS://example.org/"));
    EXPECT_FALSE(IsWebUrl("file:///etc/passwd"));
    EXPECT_FALSE(IsWebUrl("javascript:alert(1)"));
    EXPECT_FALSE(IsWebUrl("http:/x"));
    EXPECT_FALSE(IsWebUrl(""));
}

TEST(UrlEncode, escapesEverythingButUnreservedCharacters) {
    EXPECT_EQ(UrlEncode("kim_lee-2.x~"), "kim_lee-2.x~");
    EXPECT_EQ(UrlEncode("a&b#c d?e=f%g+h"), "a%26b%23c%20d%3Fe%3Df%25g%2Bh");
    EXPECT_EQ(UrlEncode("\xC3\xA9"), "%C3%A9");
    EXPECT_EQ(UrlEncode(""), "");
}
