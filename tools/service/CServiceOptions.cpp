#include "CServiceOptions.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <vector>

namespace {

bool ParseInt(const std::string& strValue, int nMin, int nMax, int& nOut) {
    int nValue = 0;
    const char* pEnd = strValue.data() + strValue.size();
    auto [pStop, error] = std::from_chars(strValue.data(), pEnd, nValue);
    if (strValue.empty() || error != std::errc() || pStop != pEnd || nValue < nMin ||
        nValue > nMax) {
        return false;
    }
    nOut = nValue;
    return true;
}

// Values sent inside the log-in answer: the client cuts elements at '<' and reads one
// line per element, so neither '<' nor control characters may appear.
bool IsElementSafe(const std::string& strValue) {
    return std::none_of(strValue.begin(), strValue.end(), [](char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return u == '<' || u < 0x20 || u == 0x7f;
    });
}

bool SetText(const std::string& strValue, std::string& strOut) {
    strOut = strValue;
    return !strValue.empty();
}

// Stores a value into the options; false when the value is not acceptable.
using ApplyFunction = bool (*)(const std::string& strValue, CServiceOptions& options);

struct CFlagInfo {
    const char* szName;
    const char* szValue;  // nullptr for --help, the only flag without a value
    const char* szHelp;
    ApplyFunction pfnApply;
};

const std::vector<CFlagInfo>& Flags() {
    // Short names keep the table one flag per few lines.
    using Value = const std::string&;
    using Options = CServiceOptions&;
    static const std::vector<CFlagInfo> s_arrFlags = {
        {"port", "N", "TCP port, 0 picks a free one (default 8080)",
         [](Value v, Options o) { return ParseInt(v, 0, 65535, o.nPort); }},
        {"bind", "ADDR", "address to listen on (default 127.0.0.1)",
         [](Value v, Options o) { return SetText(v, o.strBind); }},
        {"db", "PATH|CONNINFO",
         "SQLite file or PostgreSQL connection string (default vocalon-service.db)",
         [](Value v, Options o) { return SetText(v, o.strDatabase); }},
        {"version-count", "N", "version number sent with log-ins (default 1)",
         [](Value v, Options o) {
             int nIgnored = 0;
             o.strVersionCount = v;
             return ParseInt(v, 0, 1000000000, nIgnored);
         }},
        {"version-url", "URL", "update URL sent with log-ins (default http://HOST/download/)",
         [](Value v, Options o) { return SetText(v, o.strVersionUrl) && IsElementSafe(v); }},
        {"firewall-route", "TEXT", "firewall route sent with log-ins (default empty)",
         [](Value v, Options o) {
             o.strFirewallRoute = v;
             return IsElementSafe(v);
         }},
        {"article-interval", "SEC", "seconds between two articles of a source (default 180)",
         [](Value v, Options o) { return ParseInt(v, 1, 7 * 24 * 3600, o.nArticleInterval); }},
        {"feed-size", "N", "articles per feed (default 15)",
         [](Value v, Options o) { return ParseInt(v, 1, 1000, o.nFeedSize); }},
        {"slow-delay", "SEC", "delay of the slow source's feed (default 8)",
         [](Value v, Options o) { return ParseInt(v, 0, 3600, o.nSlowDelay); }},
        {"peer-window", "SEC", "how long a log-in stays in the peer list (default 1800)",
         [](Value v, Options o) { return ParseInt(v, 1, 7 * 24 * 3600, o.nPeerWindow); }},
        {"hash-cost", "min|interactive", "password hashing cost (default interactive)",
         [](Value v, Options o) {
             o.hashCost =
                 v == "min" ? CAccountStore::HashCost::Min : CAccountStore::HashCost::Interactive;
             return v == "min" || v == "interactive";
         }},
        {"catalogue", "FILE", "serve this file as the catalogue ({HOST} is replaced)",
         [](Value v, Options o) { return SetText(v, o.strCatalogueFile); }},
        {"static-dir", "DIR", "serve the files of DIR under /static/NAME",
         [](Value v, Options o) { return SetText(v, o.strStaticDir); }},
        {"tls-cert", "FILE", "serve TLS too, with this certificate chain (PEM; needs --tls-key)",
         [](Value v, Options o) { return SetText(v, o.strTlsCert); }},
        {"tls-key", "FILE", "the private key of --tls-cert (PEM)",
         [](Value v, Options o) { return SetText(v, o.strTlsKey); }},
        {"help", nullptr, "show this help", nullptr},
    };
    return s_arrFlags;
}

std::string EnvName(const std::string& strFlag) {
    std::string strName = "VOCALON_SVC_";
    for (char c : strFlag) {
        strName += c == '-' ? '_' : static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return strName;
}

const CFlagInfo* FindFlag(const std::string& strName) {
    const std::vector<CFlagInfo>& arrFlags = Flags();
    auto it = std::find_if(arrFlags.begin(), arrFlags.end(),
                           [&](const CFlagInfo& flag) { return strName == flag.szName; });
    return it == arrFlags.end() ? nullptr : &*it;
}

bool ApplyFlag(const CFlagInfo& flag, const std::string& strValue, CServiceOptions& options,
               std::string& strError) {
    if (flag.pfnApply(strValue, options)) {
        return true;
    }
    strError = std::string("bad value for --") + flag.szName + ": '" + strValue + "'";
    return false;
}

}  // namespace

bool ParseServiceOptions(int argc, char** argv, CServiceOptions& options, std::string& strError) {
    for (const CFlagInfo& flag : Flags()) {
        const char* szEnv = flag.pfnApply ? std::getenv(EnvName(flag.szName).c_str()) : nullptr;
        if (szEnv != nullptr && !ApplyFlag(flag, szEnv, options, strError)) {
            strError += " (from " + EnvName(flag.szName) + ")";
            return false;
        }
    }
    for (int i = 1; i < argc; ++i) {
        std::string strArg = argv[i];
        if (strArg.rfind("--", 0) != 0) {
            strError = "unexpected argument '" + strArg + "'";
            return false;
        }
        std::string strName = strArg.substr(2);
        std::string strValue;
        size_t nEq = strName.find('=');
        bool bInlineValue = nEq != std::string::npos;
        if (bInlineValue) {
            strValue = strName.substr(nEq + 1);
            strName.resize(nEq);
        }
        const CFlagInfo* pFlag = FindFlag(strName);
        if (pFlag == nullptr) {
            strError = "unknown flag --" + strName;
            return false;
        }
        if (pFlag->pfnApply == nullptr) {
            if (bInlineValue) {
                strError = "--" + strName + " takes no value";
                return false;
            }
            options.bHelp = true;
            continue;
        }
        if (!bInlineValue) {
            if (i + 1 >= argc) {
                strError = "--" + strName + " needs a value";
                return false;
            }
            strValue = argv[++i];
        }
        if (!ApplyFlag(*pFlag, strValue, options, strError)) {
            return false;
        }
    }
    if (options.strTlsCert.empty() != options.strTlsKey.empty()) {
        strError = "--tls-cert and --tls-key go together";
        return false;
    }
    return true;
}

std::string ServiceUsage(const std::string& strProgram) {
    std::string strOut = "Usage: " + strProgram +
                         " [--flag VALUE]...\n\n"
                         "The local reference service of the Vocalon client.\n\nFlags:\n";
    for (const CFlagInfo& flag : Flags()) {
        std::string strLeft = std::string("  --") + flag.szName;
        if (flag.szValue != nullptr) {
            strLeft += std::string(" ") + flag.szValue;
        }
        strLeft.resize(std::max<size_t>(strLeft.size() + 2, 34), ' ');
        strOut += strLeft + flag.szHelp + "\n";
    }
    strOut +=
        "\nEvery flag with a value can also be set with an environment variable "
        "VOCALON_SVC_<FLAG>,\ne.g. VOCALON_SVC_SLOW_DELAY=2. Flags win.\n";
    return strOut;
}
