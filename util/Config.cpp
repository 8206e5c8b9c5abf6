#include "util/Config.h"

#include "util/Settings.h"
#include "util/Strings.h"

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

// Host names, IPv4 and bracketed IPv6 addresses, with an optional port.
bool IsHostAndPort(const std::string& strValue) {
    if (strValue.empty()) {
        return false;
    }
    for (char c : strValue) {
        const bool bOk = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                         (c >= 'A' && c <= 'Z') || c == '.' || c == '-' || c == '_' || c == ':' ||
                         c == '[' || c == ']';
        if (!bOk) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string ServiceBaseUrl() {
    std::string strValue = EnvOr("VOCALON_SERVICE_HOST", ReadSetting(SETTING_SERVICE_HOST));
    if (strValue.empty()) {
        strValue = kServiceHost;
    }
    std::string strScheme = "http://";
    if (StartsWithNoCase(strValue, "https://")) {
        strScheme = "https://";
        strValue.erase(0, 8);
    } else if (StartsWithNoCase(strValue, "http://")) {
        strValue.erase(0, 7);
    }
    if (!strValue.empty() && strValue.back() == '/') {
        strValue.pop_back();
    }
    return IsHostAndPort(strValue) ? strScheme + strValue : std::string();
}
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
unsigned IrcFirewallPort() { return PortEnvOr("VOCALON_IRC_FIREWALL_PORT", kFirewallPort); }
unsigned PeerPort() { return PortEnvOr("VOCALON_PEER_PORT", kPeerPort); }
std::string PeerBindAddress() { return EnvOr("VOCALON_PEER_BIND", {}); }
std::string ExtraCaFile() { return EnvOr("VOCALON_EXTRA_CA_FILE", {}); }
std::string ProductWebSite() { return "http://www.vocalon.net/"; }
