#pragma once

// Where the chat connections go: the list of IRC servers a client takes in turn, read
// from the environment, the settings or the built-in address. Qt-free values.

#include <string>
#include <string_view>
#include <vector>

// One server: a host name or dotted address, a port, and whether to speak TLS there.
struct CIrcRoute {
    std::string strHost;
    unsigned nPort = 0;
    bool bTls = false;

    // "host:port", for texts and logs.
    std::string Text() const { return strHost + ":" + std::to_string(nPort); }
    bool operator==(const CIrcRoute&) const = default;
};

// A list names at most this many servers; the rest are ignored.
constexpr size_t MAX_IRC_SERVERS = 16;

// Reads "host[:port], host[:port], ..." in order. An entry without a port takes
// nDefaultPort; blanks around entries are dropped; an entry whose host is empty or holds
// anything but letters, digits, ".", "-" and "_", or whose port is not 1-65535, is skipped.
std::vector<CIrcRoute> ParseIrcServers(std::string_view strList, unsigned nDefaultPort, bool bTls);

// The servers of a client that is not behind a firewall: VOCALON_IRC_HOST when set, else
// the irc_servers setting when not empty, else the built-in server. TLS when
// VOCALON_IRC_TLS or else the user's irc_tls setting says so; a server named without a
// port takes VOCALON_IRC_PORT when set, else 6667, or with TLS the user's irc_tls_port.
// Never empty unless every entry named was bad.
std::vector<CIrcRoute> DefaultIrcRoutes(const std::string& strUserSection = {});
// Whether TLS is on for the user, by the same rule.
bool IrcTlsWanted(const std::string& strUserSection = {});
