#pragma once

// A blocking IRC line client for tests that need to see the server's exact replies.
// Every call has a deadline; lines longer than a cap are dropped, and the transcript is
// capped too, so a misbehaving server cannot stall or flood a test.

#include <chrono>
#include <string>

namespace testing_support {

class CRawIrcLine final {
public:
    // Connects within the timeout; check Connected().
    CRawIrcLine(const std::string& strHost, int nPort,
                std::chrono::milliseconds timeout = std::chrono::seconds(5));
    ~CRawIrcLine();
    CRawIrcLine(const CRawIrcLine&) = delete;
    CRawIrcLine& operator=(const CRawIrcLine&) = delete;

    // False once the connection failed or the server closed it.
    bool Connected() const { return m_fd >= 0; }

    // Sends the line with a single LF appended.
    bool Send(const std::string& strLine,
              std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Reads lines until one contains the text (it becomes LastLine()). Answers PING on the
    // way. False on timeout or when the connection ends first.
    bool WaitFor(const std::string& strText,
                 std::chrono::milliseconds timeout = std::chrono::seconds(5));

    const std::string& LastLine() const { return m_strLastLine; }
    // Every line received so far (capped), for failure messages.
    const std::string& Transcript() const { return m_strTranscript; }

private:
    void Close();
    // Takes one complete line out of the buffer; false when none is there yet.
    bool NextLine(std::string& strLine);

    int m_fd = -1;
    std::string m_strBuffer;
    size_t m_nStart = 0;         // start of the first unread line in m_strBuffer
    bool m_bDiscarding = false;  // inside an over-long line, skipping to its end
    std::string m_strLastLine;
    std::string m_strTranscript;
};

}  // namespace testing_support
