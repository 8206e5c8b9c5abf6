#pragma once

// Built-in addresses of the outside world. Each can be overridden by an environment
// variable, which tests and the demo use to point the client at local servers.

#include <optional>
#include <string>

// The service host, optionally with ":port" (VOCALON_SERVICE_HOST).
std::string ServiceHost();
// The default IRC server and its port (VOCALON_IRC_HOST, VOCALON_IRC_PORT). The host may
// be a comma-separated list of "host[:port]".
std::string IrcHost();
unsigned IrcPort();
// What the environment says, when it says anything: the IRC servers (VOCALON_IRC_HOST), the
// port of those without one (VOCALON_IRC_PORT), TLS on or off (VOCALON_IRC_TLS, "1" or
// "0"), and a CA certificate file to trust beside the system's, for tests and demos
// (VOCALON_IRC_CA_FILE).
std::string IrcHostOverride();
std::optional<unsigned> IrcPortOverride();
std::optional<bool> IrcTlsOverride();
std::string IrcExtraCaFile();
// The port of the firewall route (VOCALON_IRC_FIREWALL_PORT).
unsigned IrcFirewallPort();
// The peer port, for listening and connecting (VOCALON_PEER_PORT).
unsigned PeerPort();
// The local address the peer listener binds to; empty means all (VOCALON_PEER_BIND).
std::string PeerBindAddress();
// The product web site.
std::string ProductWebSite();
