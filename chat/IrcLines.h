#pragma once

// IRC line framing, without sockets: bytes in, lines out; and the checks a value passes
// before it may go into a protocol line (the lines themselves: chat/IrcCommands.h).

#include <string>
#include <string_view>

// Cuts received bytes into lines. A line ends at LF; one CR before the LF is dropped, a
// lone CR stays. A line longer than MAX_IRC_LINE without its LF is dropped up to its end.
class CIrcLineReader {
public:
    static constexpr size_t MAX_IRC_LINE = 8192;

    enum class EStatus { Complete, Incomplete, Bad };

    void Append(std::string_view bytes);
    // Complete: strLine is the next line. Incomplete: no whole line is buffered yet. Bad:
    // an over-long line was dropped (once per such line); call again for the next.
    EStatus Next(std::string& strLine);
    // Bytes held for a line not yet complete.
    size_t Pending() const { return m_strBuffer.size() - m_nStart; }

private:
    std::string m_strBuffer;
    size_t m_nStart = 0;       // first byte not yet handed out
    size_t m_nScanned = 0;     // bytes from m_nStart already searched for LF
    bool m_bDropping = false;  // inside an over-long line, until its LF
    bool m_bReportDrop = false;
};

// The value with CR, LF and NUL removed, so it cannot end a protocol line early.
std::string LineSafe(std::string_view strValue);

// A channel token the client may send: "#", then no blank, comma, BEL or other control
// character, at most 200 bytes.
bool IsValidChannel(std::string_view strChannel);
