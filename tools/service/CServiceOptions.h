#pragma once

// The service's settings, from the command line and from environment variables named
// VOCALON_SVC_<FLAG> (upper case, '-' as '_', e.g. VOCALON_SVC_SLOW_DELAY). Flags win
// over the environment.

#include "CAccountStore.h"

#include <string>

struct CServiceOptions {
    std::string strBind = "127.0.0.1";
    int nPort = 8080;  // 0 lets the system choose
    std::string strDatabase = "vocalon-service.db";
    std::string strVersionCount = "1";
    std::string strVersionUrl;  // empty: http://<request host>/download/
    std::string strFirewallRoute;
    int nArticleInterval = 180;  // seconds between two articles of one source
    int nFeedSize = 15;
    int nSlowDelay = 8;      // seconds
    int nPeerWindow = 1800;  // seconds
    CAccountStore::HashCost hashCost = CAccountStore::HashCost::Interactive;
    std::string strCatalogueFile;
    std::string strStaticDir;
    // PEM files; both or neither. With them the port serves TLS as well as plain HTTP.
    std::string strTlsCert;
    std::string strTlsKey;
    bool bHelp = false;
};

// Fills options from the environment, then from argv. On a bad flag or value returns false
// with strError set to a one-line reason.
bool ParseServiceOptions(int argc, char** argv, CServiceOptions& options, std::string& strError);

// The --help text.
std::string ServiceUsage(const std::string& strProgram);
