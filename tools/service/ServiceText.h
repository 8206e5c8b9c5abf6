#pragma once

// Text helpers of the reference service: escaping, the feeds' time stamps, host names
// taken from requests and the request line as it may be logged. All are pure functions,
// safe in any thread.

#include <ctime>
#include <map>
#include <string>

// Escapes '&', '<' and '>' so text can sit inside an XML or HTML element. Quotes stay as
// they are: the client's feed reader decodes only these three entities, and no generated
// text goes into an attribute value.
std::string XmlEscape(const std::string& strText);

// The feeds' time stamp of t in universal time: "Jan 15 2001 3:45PM" (month abbreviation,
// day and hour without leading zero, 12-hour clock with AM/PM glued to the minutes).
std::string FormatHarvestTime(std::time_t t);

// "2024-05-01T12:00:00Z", for log lines.
std::string FormatLogTime(std::time_t t);

// The Host header value when it looks like "name[:port]" or "[v6]:port" (letters, digits,
// '.', '-', ':', '[' and ']' only, at most 255 bytes); strFallback otherwise. Everything we
// generate embeds this value in URLs, so nothing else may pass.
std::string SafeHost(const std::string& strHostHeader, const std::string& strFallback);

// The request for the log, built from the path and the query parameters as the server
// parsed them (never from the raw target, whose spellings of a key are many): each part
// percent-encoded again, so the line stays one unambiguous line, the value of every
// parameter whose name contains "password" in any case shown as "***", and the whole cut
// to a sane length. "-" when there is no path, as for a request that could not be read.
std::string LoggableRequest(const std::string& strPath,
                            const std::multimap<std::string, std::string>& params);

// The bytes outside printable ASCII (and backslashes) shown as \xHH, so a request can
// never break or forge a log line.
std::string PrintableForLog(const std::string& strText);

// A remote address as dotted IPv4 when it is one (an IPv4-mapped IPv6 address loses its
// "::ffff:" prefix); empty otherwise.
std::string DottedIPv4(const std::string& strAddress);

// ASCII lower case; other bytes stay as they are.
std::string ToLowerAscii(std::string str);

// Turns CRLF and lone CR line ends into LF.
std::string ToLfLineEnds(const std::string& strText);
