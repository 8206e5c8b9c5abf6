#include "chat/IrcServers.h"

#include "util/Config.h"
#include "util/Settings.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace {

std::string_view Trimmed(std::string_view str) {
    while (!str.empty() && (str.front() == ' ' || str.front() == '\t')) {
        str.remove_prefix(1);
    }
    while (!str.empty() && (str.back() == ' ' || str.back() == '\t')) {
        str.remove_suffix(1);
    }
    return str;
}

bool IsHostChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}

std::optional<unsigned> ReadPort(std::string_view str) {
    if (str.empty() || str.size() > 5 ||
        !std::all_of(str.begin(), str.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    unsigned nPort = 0;
    for (char c : str) {
        nPort = nPort * 10 + static_cast<unsigned>(c - '0');
    }
    return nPort >= 1 && nPort <= 65535 ? std::optional(nPort) : std::nullopt;
}

}  // namespace

std::vector<CIrcRoute> ParseIrcServers(std::string_view strList, unsigned nDefaultPort, bool bTls) {
    std::vector<CIrcRoute> routes;
    while (!strList.empty() && routes.size() < MAX_IRC_SERVERS) {
        const size_t nComma = strList.find(',');
        const std::string_view strEntry = Trimmed(strList.substr(0, nComma));
        strList.remove_prefix(nComma == std::string_view::npos ? strList.size() : nComma + 1);
        const size_t nColon = strEntry.find(':');
        const std::string_view strHost = strEntry.substr(0, nColon);
        const std::optional<unsigned> nPort = nColon == std::string_view::npos
                                                  ? std::optional(nDefaultPort)
                                                  : ReadPort(strEntry.substr(nColon + 1));
        if (!strHost.empty() && std::all_of(strHost.begin(), strHost.end(), IsHostChar) && nPort &&
            *nPort >= 1 && *nPort <= 65535) {
            routes.push_back({std::string(strHost), *nPort, bTls});
        }
    }
    return routes;
}

bool IrcTlsWanted(const std::string& strUserSection) {
    return IrcTlsOverride().value_or(ReadFlag(SETTING_IRC_TLS, strUserSection));
}

std::vector<CIrcRoute> DefaultIrcRoutes(const std::string& strUserSection) {
    const bool bTls = IrcTlsWanted(strUserSection);
    const unsigned nPort = IrcPortOverride().value_or(
        bTls ? static_cast<unsigned>(ReadSetting(SETTING_IRC_TLS_PORT, strUserSection))
             : IrcPort());
    std::string strList = IrcHostOverride();
    if (strList.empty()) {
        strList = ReadSetting(SETTING_IRC_SERVERS);
    }
    if (strList.empty()) {
        strList = IrcHost();
    }
    return ParseIrcServers(strList, nPort, bTls);
}
