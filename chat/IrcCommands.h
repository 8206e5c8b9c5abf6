#pragma once

// Every line the client sends to an IRC server, written by pure functions: values in, one
// protocol line out, without its line end unless said otherwise (the socket adds LF). Every
// value, whether typed by the user, read from a feed or a peer or set by the server, goes
// through LineSafe here, so none can end a line early or start another.

#include "chat/CIrcMessage.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Registration: ": PASS *", ": NICK nick", ": USER guest 8 * :nick".
std::string PassLine();
std::string NickLine(std::string_view strNick);
std::string UserLine(std::string_view strRealName);

// Entering and locking a channel: ": JOIN channel key", ": MODE channel +s" (secret),
// ": MODE channel +k key", ": TOPIC channel :topic".
std::string JoinLine(std::string_view strChannel, std::string_view strKey);
std::string SecretModeLine(std::string_view strChannel);
std::string KeyModeLine(std::string_view strChannel, std::string_view strKey);
std::string TopicLine(std::string_view strChannel, std::string_view strTopic);
// ": PART channel".
std::string PartLine(std::string_view strChannel);

// ": PRIVMSG channel :text" lines for a typed text, cut at UTF-8 boundaries so that each
// line, as the server relays it with a sender prefix, stays within 512 bytes. None when
// the channel leaves no room for text.
std::vector<std::string> PrivmsgLines(const std::string& strChannel, const std::string& strText);
// The same for an action the user types (CTCP): ": PRIVMSG channel :\x01ACTION text\x01",
// the text cut as above with each part framed; a \x01 in the text, which would end the
// action early, is left out.
std::vector<std::string> ActionLines(const std::string& strChannel, const std::string& strText);
// A topic the user types into a room of a valid channel (IsValidChannel): ": TOPIC channel
// :topic", as TopicLine writes it, with the topic cut (between characters) where the
// relayed line would pass 512 bytes.
std::string UserTopicLine(std::string_view strChannel, std::string_view strTopic);

// ": PING :token", asking a silent server for a sign of life.
std::string PingLine(std::string_view strToken);

// The answer to a server's PING: "PONG", its parameters each after one blank (the trailing
// one after " :"), and "\r\n".
std::string PongLine(const CIrcMessage& ping);
// PongLine of the line when its command is PING (any case), else nothing.
std::optional<std::string> PongFor(std::string_view strLine);
