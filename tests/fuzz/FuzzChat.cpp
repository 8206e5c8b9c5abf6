// The IRC side of chat: line framing, the decoded message, the checks on values that go
// into protocol lines, received lines through the protocol into a room list, and the
// readers of chat text (links, mentions, actions, typed lines). The first
// byte picks the target (see kTargets); the first line is its parameter.

#include "chat/CChatRoom.h"
#include "chat/CIrcClient.h"
#include "chat/CIrcMessage.h"
#include "chat/CIrcProtocol.h"
#include "chat/ChatText.h"
#include "chat/IrcCommands.h"
#include "chat/IrcLines.h"
#include "tests/fuzz/FuzzSupport.h"
#include "util/Net.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace {

constexpr std::string_view kTargets = "fspmt";
constexpr size_t kMaxLine = CIrcLineReader::MAX_IRC_LINE;

// A line of the whole stream as a plain split at LF finds it, and its length on the wire
// before the LF, which decides whether the reader may drop it.
struct CRawLine {
    std::string strLine;
    size_t nWire = 0;
};

// The bytes go in as chunks whose sizes cycle through the parameter's bytes (all at once
// when it is empty). Lines come out in order, none lost but over-long ones, each of those
// reported as Bad at most once; a stream without over-long lines comes out whole.
void CheckFraming(std::string_view strSizes, std::string_view strStream) {
    std::vector<CRawLine> expected;
    size_t nStart = 0;
    for (size_t nEnd; (nEnd = strStream.find('\n', nStart)) != std::string_view::npos;
         nStart = nEnd + 1) {
        CRawLine raw{std::string(strStream.substr(nStart, nEnd - nStart)), nEnd - nStart};
        if (!raw.strLine.empty() && raw.strLine.back() == '\r') {
            raw.strLine.pop_back();
        }
        expected.push_back(std::move(raw));
    }
    const size_t nTrailing = strStream.size() - nStart;
    const size_t nLong = std::count_if(expected.begin(), expected.end(),
                                       [](const CRawLine& raw) { return raw.nWire > kMaxLine; }) +
                         (nTrailing > kMaxLine ? 1 : 0);

    CIrcLineReader reader;
    size_t nNext = 0, nBad = 0;
    std::string strLine;
    auto drain = [&] {
        for (CIrcLineReader::EStatus status;
             (status = reader.Next(strLine)) != CIrcLineReader::EStatus::Incomplete;) {
            if (status == CIrcLineReader::EStatus::Bad) {
                ++nBad;
                continue;
            }
            while (nNext < expected.size() && expected[nNext].strLine != strLine) {
                FUZZ_CHECK(expected[nNext].nWire > kMaxLine);
                ++nNext;
            }
            FUZZ_CHECK(nNext < expected.size());
            ++nNext;
        }
        FUZZ_CHECK(reader.Pending() <= kMaxLine);
    };
    for (size_t nPos = 0, k = 0; nPos < strStream.size(); ++k) {
        const size_t nChunk =
            strSizes.empty()
                ? strStream.size()
                : static_cast<unsigned char>(strSizes[k % strSizes.size()]) * 37 % 12000 + 1;
        reader.Append(strStream.substr(nPos, nChunk));
        nPos += nChunk;
        drain();
    }
    drain();
    for (; nNext < expected.size(); ++nNext) {
        FUZZ_CHECK(expected[nNext].nWire > kMaxLine);
    }
    FUZZ_CHECK(nBad <= nLong);
    if (nLong == 0) {
        FUZZ_CHECK(nBad == 0 && reader.Pending() == nTrailing);
    }
}

bool HasLineBreak(std::string_view str) {
    return str.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Values that go into protocol lines cannot end or split one.
void CheckLineValues(std::string_view strParam, std::string_view strText) {
    std::string strFiltered;
    std::copy_if(strText.begin(), strText.end(), std::back_inserter(strFiltered),
                 [](char c) { return c != '\r' && c != '\n' && c != '\0'; });
    const std::string strSafe = LineSafe(strText);
    FUZZ_CHECK(strSafe == strFiltered && LineSafe(strSafe) == strSafe);

    if (const std::optional<std::string> pong = PongFor(strParam)) {
        FUZZ_CHECK(pong->rfind("PONG", 0) == 0 && pong->size() >= 6);
        FUZZ_CHECK(pong->substr(pong->size() - 2) == "\r\n");
        FUZZ_CHECK(!HasLineBreak(std::string_view(*pong).substr(0, pong->size() - 2)));
        std::string strUpper(strParam);
        for (char& c : strUpper) {
            c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        }
        FUZZ_CHECK(strUpper.find("PING") != std::string::npos);
    }

    if (IsValidChannel(strParam)) {
        FUZZ_CHECK(strParam.size() >= 2 && strParam.size() <= 200 && strParam[0] == '#');
        for (char c : strParam) {
            const auto u = static_cast<unsigned char>(c);
            FUZZ_CHECK(u > ' ' && u != 0x7F && c != ',' && c != '\a');
        }
    }
    // Rooms open only on channels that pass the check.
    const std::string strChannel = IsValidChannel(strParam) ? std::string(strParam) : "#c";
    const std::string strHead = ": PRIVMSG " + strChannel + " :";
    std::string strJoined;
    for (const std::string& strLine : PrivmsgLines(strChannel, std::string(strText))) {
        FUZZ_CHECK(strLine.rfind(strHead, 0) == 0 && strLine.size() > strHead.size());
        FUZZ_CHECK(strLine.size() + 2 <= 512 - 100);
        FUZZ_CHECK(!HasLineBreak(strLine));
        const std::string strPart = strLine.substr(strHead.size());
        if (fuzz_support::IsUtf8(strSafe)) {
            FUZZ_CHECK(fuzz_support::IsUtf8(strPart));
        }
        strJoined += strPart;
    }
    FUZZ_CHECK(strJoined == strSafe);
}

// The blank-free tokens of a text, split at every run of blanks.
std::vector<std::string> Tokens(std::string_view str) {
    std::vector<std::string> tokens;
    std::string strToken;
    for (char c : str) {
        if (c != ' ') {
            strToken += c;
        } else if (!strToken.empty()) {
            tokens.push_back(std::move(strToken));
            strToken.clear();
        }
    }
    if (!strToken.empty()) {
        tokens.push_back(std::move(strToken));
    }
    return tokens;
}

// The decoder against a simple reader: the trailing parameter begins at the first " :"
// after the command, and the middle ones are the tokens before it. Also: decoding what the
// message says, written back with single blanks, gives the same message.
void CheckMessage(std::string_view strLine) {
    const CIrcMessage message = CIrcMessage::Decode(strLine);
    FUZZ_CHECK(message.ParamCount() <= CIrcMessage::MAX_PARAMS);
    FUZZ_CHECK(!message.m_bTrailing || message.ParamCount() > 0);
    FUZZ_CHECK(message.m_strCommand.find(' ') == std::string::npos);
    FUZZ_CHECK(!message.m_prefix || message.m_prefix->find(' ') == std::string::npos);
    const size_t nMiddles = message.ParamCount() - (message.m_bTrailing ? 1 : 0);
    for (size_t n = 0; n < nMiddles; ++n) {
        const std::string& strParam = message.Param(n);
        FUZZ_CHECK(!strParam.empty() && strParam.front() != ':' &&
                   strParam.find(' ') == std::string::npos);
    }

    std::string_view rest =
        strLine.substr(std::min(strLine.find_first_not_of(' '), strLine.size()));
    std::optional<std::string> prefix;
    if (!rest.empty() && rest.front() == ':') {
        const size_t nBlank = std::min(rest.find(' '), rest.size());
        prefix = std::string(rest.substr(1, nBlank - 1));
        rest.remove_prefix(nBlank);
    }
    rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
    const size_t nCommandEnd = std::min(rest.find(' '), rest.size());
    const std::string strCommand(rest.substr(0, nCommandEnd));
    rest.remove_prefix(nCommandEnd);
    const size_t nTrailing = rest.find(" :");
    std::vector<std::string> params = Tokens(rest.substr(0, nTrailing));
    if (params.size() < CIrcMessage::MAX_PARAMS) {
        const bool bTrailing = nTrailing != std::string_view::npos;
        if (bTrailing) {
            params.emplace_back(rest.substr(nTrailing + 2));
        }
        FUZZ_CHECK(message.m_prefix == prefix && message.m_strCommand == strCommand);
        FUZZ_CHECK(message.m_params == params && message.m_bTrailing == bTrailing);
    }

    std::string strWritten = message.m_prefix ? ":" + *message.m_prefix + " " : std::string();
    strWritten += message.m_strCommand;
    for (size_t n = 0; n < message.ParamCount(); ++n) {
        strWritten += n == nMiddles ? " :" : " ";
        strWritten += message.Param(n);
    }
    FUZZ_CHECK(CIrcMessage::Decode(strWritten) == message);
}

// A room without a window that checks what it would draw: received text never starts a
// line of the pane, only the end of a text does.
class CCheckingRoom final : public CChatRoom {
public:
    using CChatRoom::CChatRoom;

protected:
    void AppendLine(const std::string& strText, EChatStyle /*style*/) override {
        const size_t nBreak = strText.find('\n');
        FUZZ_CHECK(nBreak == std::string::npos || nBreak + 1 == strText.size());
    }
};

// Every line of the stream goes where the socket would send it: a ping is answered, the
// rest is the protocol's. Rooms stay within their caps and list no guest, and the loss of
// the connection empties them.
void CheckProtocol(std::string_view strStream) {
    CIrcClient client;
    client.SetNick("kim0");
    CCheckingRoom room("#Chan");
    CCheckingRoom other("#other");
    client.Rooms().AddRoom(&room);
    client.Rooms().AddRoom(&other);
    CIrcLineReader reader;
    reader.Append(strStream);
    std::string strLine;
    for (CIrcLineReader::EStatus status;
         (status = reader.Next(strLine)) != CIrcLineReader::EStatus::Incomplete;) {
        if (status == CIrcLineReader::EStatus::Bad || PongFor(strLine)) {
            continue;
        }
        client.Protocol().HandleLine(strLine);
        const bool bLost =
            strLine.rfind("ERROR", 0) == 0 && (strLine.size() == 5 || strLine[5] == ' ');
        for (const CCheckingRoom* pRoom : {&room, &other}) {
            FUZZ_CHECK(pRoom->Users().size() <= MAX_ROOM_USERS);
            FUZZ_CHECK(static_cast<size_t>(pRoom->GuestCount()) <= MAX_ROOM_USERS);
            FUZZ_CHECK(std::none_of(pRoom->Users().begin(), pRoom->Users().end(), IsGuestNick));
            FUZZ_CHECK(!bLost || (pRoom->Users().empty() && pRoom->GuestCount() == 0 &&
                                  !pRoom->ControlsEnabled()));
        }
    }
    FUZZ_CHECK(client.Rooms().Rooms().size() == 2);
}

bool IsWordByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || u >= 0x80;
}

bool SameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Links lie in order inside the text, each a web address that a blank, a control character
// or a quote never enters, preceded by no scheme character; every "http://" or "https://"
// at a word's start followed by a host's first character is inside one. A name of word
// characters is mentioned when a word of the text is the name, or the name and a digit.
// Actions and typed lines keep their text; notices and action lines hold no line break.
void CheckChatText(std::string_view strName, std::string_view strText) {
    const std::vector<CTextSpan> links = FindWebLinks(strText);
    size_t nEnd = 0;
    for (const CTextSpan& link : links) {
        FUZZ_CHECK(link.nStart >= nEnd && link.nLength > 0 &&
                   link.nStart + link.nLength <= strText.size());
        const std::string_view strLink = strText.substr(link.nStart, link.nLength);
        FUZZ_CHECK(IsWebUrl(std::string(strLink)));
        FUZZ_CHECK(std::none_of(strLink.begin(), strLink.end(), [](char c) {
            return static_cast<unsigned char>(c) <= ' ' || c == 0x7F || c == '"' || c == '<' ||
                   c == '>' || c == '`';
        }));
        FUZZ_CHECK(std::string_view(".,;:!?'").find(strLink.back()) == std::string_view::npos);
        FUZZ_CHECK(link.nStart == 0 ||
                   !(std::isalnum(static_cast<unsigned char>(strText[link.nStart - 1])) ||
                     strText[link.nStart - 1] == '+' || strText[link.nStart - 1] == '-' ||
                     strText[link.nStart - 1] == '.'));
        nEnd = link.nStart + link.nLength;
    }
    for (size_t n = 0; n < strText.size(); ++n) {
        for (std::string_view strScheme : {"http://", "https://"}) {
            const size_t nHost = n + strScheme.size();
            if (!SameNoCase(strText.substr(n, strScheme.size()), strScheme) ||
                nHost >= strText.size() ||
                !(std::isalnum(static_cast<unsigned char>(strText[nHost])) ||
                  strText[nHost] == '[') ||
                (n > 0 &&
                 (std::isalnum(static_cast<unsigned char>(strText[n - 1])) ||
                  strText[n - 1] == '+' || strText[n - 1] == '-' || strText[n - 1] == '.'))) {
                continue;
            }
            FUZZ_CHECK(std::any_of(links.begin(), links.end(), [&](const CTextSpan& link) {
                return link.nStart <= n && n < link.nStart + link.nLength;
            }));
        }
    }

    if (!strName.empty() && std::all_of(strName.begin(), strName.end(), IsWordByte)) {
        bool bWord = false;
        for (size_t n = 0; n < strText.size();) {
            size_t nWordEnd = n;
            while (nWordEnd < strText.size() && IsWordByte(strText[nWordEnd])) {
                ++nWordEnd;
            }
            const std::string_view strWord = strText.substr(n, nWordEnd - n);
            bWord = bWord || SameNoCase(strWord, strName) ||
                    (strWord.size() == strName.size() + 1 &&
                     std::isdigit(static_cast<unsigned char>(strWord.back())) &&
                     SameNoCase(strWord.substr(0, strName.size()), strName));
            n = std::max(nWordEnd, n + 1);
        }
        FUZZ_CHECK(MentionsName(strText, strName) == bWord);
    }

    if (const std::optional<std::string_view> action = ActionText(strText)) {
        FUZZ_CHECK(strText.rfind("\x01"
                                 "ACTION",
                                 0) == 0 &&
                   action->size() + 7 <= strText.size());
    }
    const CTypedLine typed = ParseTypedLine(strText);
    if (typed.kind == CTypedLine::EKind::Message) {
        FUZZ_CHECK(typed.strText == strText ||
                   ("/" + typed.strText == strText && strText.rfind("//", 0) == 0));
    } else {
        FUZZ_CHECK(!strText.empty() && strText.front() == '/');
    }
    const std::string strNotice = MentionNotice(strName, "room", strText);
    FUZZ_CHECK(std::none_of(strNotice.begin(), strNotice.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    }));
    FUZZ_CHECK(strNotice.size() <= 3 * (MAX_NOTICE_TEXT + 3) + 8);
    for (const std::string& strLine : ActionLines("#c", std::string(strText))) {
        FUZZ_CHECK(strLine.rfind(": PRIVMSG #c :\x01"
                                 "ACTION ",
                                 0) == 0 &&
                   strLine.back() == '\x01');
        FUZZ_CHECK(strLine.find('\x01', 15) == strLine.size() - 1 && !HasLineBreak(strLine));
        FUZZ_CHECK(strLine.size() + 2 <= 512 - 100);
    }
}

}  // namespace

// A taken nickname (433) makes the client connect again: its settings go to a private
// directory, and its connections to a loopback port that is bound but never listens.
extern "C" int LLVMFuzzerInitialize(int* pArgc, char*** pArgv) {
    static QCoreApplication app(*pArgc, *pArgv);
    static QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &nLength) != 0) {
        std::fprintf(stderr, "cannot hold a loopback port\n");
        std::abort();
    }
    setenv("VOCALON_IRC_HOST", "127.0.0.1", 1);
    setenv("VOCALON_IRC_PORT", std::to_string(ntohs(addr.sin_port)).c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const fuzz_support::CInput input = fuzz_support::SplitInput(pData, nSize, kTargets);
    switch (kTargets[input.nTarget]) {
        case 'f': CheckFraming(input.strParam.substr(0, 16), input.strRest); break;
        case 's': CheckLineValues(input.strParam, input.strRest); break;
        case 'p': CheckProtocol(input.strBody); break;
        case 'm': CheckMessage(input.strBody); break;
        case 't': CheckChatText(input.strParam, input.strRest); break;
    }
    // Closed sockets hand their notifiers to the event loop, which never runs here.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
