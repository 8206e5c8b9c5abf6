#pragma once

// Built-in addresses of the outside world. Each can be overridden by an environment
// variable, which tests and the demo use to point the client at local servers.

#include <optional>
#include <string>

// The service's address without a path: "http://host[:port]" or "https://host[:port]". It
// comes from VOCALON_SERVICE_HOST, else the desktop setting service_host, else the built-in
// host over plain HTTP. A value "host[:port]" means plain HTTP and "https://host[:port]"
// TLS ("http://" may be written too; a final "/" is dropped). Anything else (another
// scheme, a path, blanks, user information) gives an empty address, which every request
// refuses: a mistyped https address never turns into plain HTTP.
std::string ServiceBaseUrl();
// The default IRC server and its port (VOCALON_IRC_HOST, VOCALON_IRC_PORT). The host may
// be a comma-separated list of "host[:port]".
std::string IrcHost();
unsigned IrcPort();
// What the environment says, when it says anything: the IRC servers (VOCALON_IRC_HOST), the
// port of those without one (VOCALON_IRC_PORT), TLS on or off (VOCALON_IRC_TLS, "1" or
// "0").
std::string IrcHostOverride();
std::optional<unsigned> IrcPortOverride();
std::optional<bool> IrcTlsOverride();
// The port of the firewall route (VOCALON_IRC_FIREWALL_PORT).
unsigned IrcFirewallPort();
// The peer port, for listening and connecting (VOCALON_PEER_PORT).
unsigned PeerPort();
// The local address the peer listener binds to; empty means all (VOCALON_PEER_BIND).
std::string PeerBindAddress();
// Test only: a PEM file of one more certificate authority for HTTPS and IRC over TLS to
// trust besides the
// system's (VOCALON_EXTRA_CA_FILE); empty when unset. Certificates are verified all the same.
std::string ExtraCaFile();
// The product web site.
std::string ProductWebSite();
