#pragma once

// One received IRC line, decoded once into a value: no socket, no widget. The protocol
// handler and the socket act on this value instead of cutting the line themselves.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A line is [":" prefix] command {parameter}, its parts separated by runs of blanks (' '
// only; leading blanks are skipped). A parameter that begins with ":" is the trailing one:
// everything after that ":" up to the end of the line, byte for byte, blanks and all.
// Other parameters ("middle" ones) hold no blank and never begin with ":". There are at
// most MAX_PARAMS: the last one possible is the trailing one even without its ":", the rest
// of the line whole. Any bytes are accepted; nothing is checked against a character set,
// and CR, NUL or other control bytes stay where they were. Linear in the line's length.
class CIrcMessage {
public:
    static constexpr size_t MAX_PARAMS = 15;

    static CIrcMessage Decode(std::string_view strLine);

    // Parameter n (middle ones first, then the trailing one), empty past the end.
    const std::string& Param(size_t n) const;
    size_t ParamCount() const { return m_params.size(); }
    // Whether the command is strCommand, ASCII letters compared without case.
    bool IsCommand(std::string_view strCommand) const;
    // The number of a numeric reply (a command of exactly three digits), else nothing.
    std::optional<int> Numeric() const;
    // The sender's nickname: the prefix up to its first "!"; empty without a prefix.
    std::string Nick() const;

    bool operator==(const CIrcMessage&) const = default;

    // Without the ":"; nothing when the line has no prefix (":" alone is an empty one).
    std::optional<std::string> m_prefix;
    // As sent; empty for an empty line or one with a prefix only.
    std::string m_strCommand;
    std::vector<std::string> m_params;
    // Whether the last parameter is the trailing one (it may then be empty or hold blanks).
    bool m_bTrailing = false;
};
