#pragma once

// Reading chat text, without sockets or widgets: what a received message is (an action),
// which parts of it are web addresses, whether it names the user, what a typed line asks
// for, and which nicknames complete a typed prefix. Every function is linear in its text
// (times the length of a name, where one is given) and takes any bytes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The text of a CTCP ACTION ("\x01ACTION text\x01"; a missing closing \x01 is tolerated,
// as some programs leave it out), or nothing when the message is not one.
std::optional<std::string_view> ActionText(std::string_view strMessage);

// A part of a text, by byte offsets.
struct CTextSpan {
    size_t nStart = 0;
    size_t nLength = 0;
    bool operator==(const CTextSpan&) const = default;
};

// The http and https addresses in a text, in order and without overlap. An address starts
// with its scheme (any case) where no letter, digit, "+", "-" or "." goes before it, has a
// letter, digit or "[" right after "://", and runs up to a blank, a control character or
// one of < > " `; punctuation at its end (. , ; : ! ? ' and a closing bracket without its
// opening one) is left out, as it belongs to the sentence. Nothing else is an address.
std::vector<CTextSpan> FindWebLinks(std::string_view strText);

// Whether the text names strName as a word: ASCII letters compared without case, neither
// preceded nor followed by a letter, digit, "_" or a byte of a non-ASCII character. The
// name followed by one digit counts too: that is the user's nickname as other programs
// show it. An empty name is never named.
bool MentionsName(std::string_view strText, std::string_view strName);

// What a line typed into the chat's input box asks for. A line that starts with one "/"
// is a command: "/me text" an action, "/topic text" a new topic ("/topic" alone: show
// it), anything else Unknown with the command word as the text. A line starting with
// "//" is a message that starts with one "/"; any other line is a message as typed.
struct CTypedLine {
    enum class EKind { Message, Action, Topic, Unknown };
    EKind kind = EKind::Message;
    std::string strText;
};
CTypedLine ParseTypedLine(std::string_view strLine);

// The commands the input box knows, as the room says it when asked for another.
constexpr const char* STR_CHAT_COMMANDS =
    "Commands: /me text (an action), /topic text (sets the topic). Start a line with // to "
    "send it with one /.";

// The users whose names start with strPrefix (ASCII letters without case), the user's own
// name left out, sorted without case, each once. None for an empty prefix.
std::vector<std::string> NickCompletions(std::string_view strPrefix,
                                         const std::vector<std::string>& users,
                                         std::string_view strOwnName);

// The desktop notification of a message that names the user: "nick in room: text", with
// control characters left out and the text cut (between characters) after
// MAX_NOTICE_TEXT bytes.
constexpr size_t MAX_NOTICE_TEXT = 200;
std::string MentionNotice(std::string_view strNick, std::string_view strRoom,
                          std::string_view strText);
