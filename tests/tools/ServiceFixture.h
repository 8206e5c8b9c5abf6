#pragma once

// The fixture the service suites share: one service process per suite, started with the
// suite's flags, plus the requests most tests make.

#include "ServiceHttp.h"
#include "tests/support/CServiceProcess.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

inline bool StartsWith(const std::string& str, const std::string& strPrefix) {
    return str.compare(0, strPrefix.size(), strPrefix) == 0;
}

inline bool EndsWith(const std::string& str, const std::string& strSuffix) {
    return str.size() >= strSuffix.size() &&
           str.compare(str.size() - strSuffix.size(), strSuffix.size(), strSuffix) == 0;
}

// One service for all tests of a suite. TSuite::Flags(service) returns the suite's extra
// flags; it may first write files into the service's directory.
template <class TSuite>
class SharedServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_pService = std::make_unique<CServiceProcess>();
        s_bStarted = s_pService->Start(TSuite::Flags(*s_pService));
    }
    static void TearDownTestSuite() { s_pService.reset(); }
    void SetUp() override {
        ASSERT_TRUE(s_bStarted) << "start-up line: " << s_pService->StartupLine()
                                << "\nlog: " << s_pService->LogText();
    }

    static int Port() { return s_pService->Port(); }

    static CServiceAnswer Register(const std::string& strUser, const std::string& strPassword,
                                   const std::string& strEmail = "someone@example.org") {
        CHttpReply reply = HttpGet(Port(), RegisterTarget(strUser, strPassword, strEmail));
        EXPECT_EQ(reply.nStatus, 200);
        EXPECT_EQ(reply.strContentType, "text/plain");
        CServiceAnswer answer = ParseRegisterAnswer(reply.strBody);
        EXPECT_TRUE(answer.bWellFormed) << reply.strBody;
        return answer;
    }

    static CServiceAnswer LogIn(const std::string& strUser, const std::string& strPassword,
                                const std::string& strHost = "") {
        CHttpReply reply = HttpGet(Port(), LoginTarget(strUser, strPassword), strHost);
        EXPECT_EQ(reply.nStatus, 200);
        EXPECT_EQ(reply.strContentType, "text/plain");
        CServiceAnswer answer = ParseLoginAnswer(reply.strBody);
        EXPECT_TRUE(answer.bWellFormed) << reply.strBody;
        return answer;
    }

    static inline std::unique_ptr<CServiceProcess> s_pService;
    static inline bool s_bStarted = false;
};
