#pragma once

// Built-in addresses of the outside world. Each can be overridden by an environment
// variable, which tests and the demo use to point the client at local servers.

#include <string>

// The service host, optionally with ":port" (VOCALON_SERVICE_HOST).
std::string ServiceHost();
// The default IRC server and its port (VOCALON_IRC_HOST, VOCALON_IRC_PORT).
std::string IrcHost();
unsigned IrcPort();
// The port of the firewall route (VOCALON_IRC_FIREWALL_PORT).
unsigned IrcFirewallPort();
// The peer port, for listening and connecting (VOCALON_PEER_PORT).
unsigned PeerPort();
// The local address the peer listener binds to; empty means all (VOCALON_PEER_BIND).
std::string PeerBindAddress();
// The product web site.
std::string ProductWebSite();
