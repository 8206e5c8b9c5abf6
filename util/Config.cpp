#include "util/Config.h"

#include <cstdlib>

namespace {

constexpr const char* kServiceHost = "service.vocalon.net";
constexpr const char* kIrcHost = "irc.vocalon.net";
constexpr unsigned kIrcPort = 6667;
constexpr unsigned kFirewallPort = 443;
constexpr unsigned kPeerPort = 443;

std::string EnvOr(const char* pszName, const std::string& strDefault) {
    const char* pszValue = std::getenv(pszName);
    return pszValue && *pszValue ? std::string(pszValue) : strDefault;
}

std::optional<unsigned> PortEnv(const char* pszName) {
    std::string strValue = EnvOr(pszName, {});
    if (strValue.empty() || strValue.size() > 5) {
        return std::nullopt;
    }
    unsigned nPort = 0;
    for (char c : strValue) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        nPort = nPort * 10 + static_cast<unsigned>(c - '0');
    }
    return nPort >= 1 && nPort <= 65535 ? std::optional(nPort) : std::nullopt;
}

unsigned PortEnvOr(const char* pszName, unsigned nDefault) {
    return PortEnv(pszName).value_or(nDefault);
}

}  // namespace

std::string ServiceHost() { return EnvOr("VOCALON_SERVICE_HOST", kServiceHost); }
std::string IrcHost() { return EnvOr("VOCALON_IRC_HOST", kIrcHost); }
unsigned IrcPort() { return PortEnvOr("VOCALON_IRC_PORT", kIrcPort); }
std::string IrcHostOverride() { return EnvOr("VOCALON_IRC_HOST", {}); }
std::optional<unsigned> IrcPortOverride() { return PortEnv("VOCALON_IRC_PORT"); }
std::optional<bool> IrcTlsOverride() {
    const std::string strValue = EnvOr("VOCALON_IRC_TLS", {});
    if (strValue == "1" || strValue == "0") {
        return strValue == "1";
    }
    return std::nullopt;
}
std::string IrcExtraCaFile() { return EnvOr("VOCALON_IRC_CA_FILE", {}); }
unsigned IrcFirewallPort() { return PortEnvOr("VOCALON_IRC_FIREWALL_PORT", kFirewallPort); }
unsigned PeerPort() { return PortEnvOr("VOCALON_PEER_PORT", kPeerPort); }
std::string PeerBindAddress() { return EnvOr("VOCALON_PEER_BIND", {}); }
std::string ProductWebSite() { return "http://www.vocalon.net/"; }
