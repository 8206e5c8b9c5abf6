// What the reference service's store costs as the network grows, on each store (an SQLite
// file, and PostgreSQL on a private cluster started here): the time of a peer list and
// of the store's part of a log-in with 10,000 and 100,000 peers registered, the store
// statements per log-in, and whole log-ins over HTTP against the real service (hash cost
// min) with 100,000 peers registered.

#include "CAccountStore.h"
#include "CPeerRegistry.h"
#include "CServiceStore.h"
#include "tests/support/CServiceProcess.h"
#include "tests/tools/CPgCluster.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 200;
constexpr int kHttpLogIns = 300;
constexpr int kFillThreads = 4;
const int kPeerCounts[] = {10000, 100000};
const char* const kOwnAddress = "10.255.255.255";

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string PeerAddress(int n) {
    return "10." + std::to_string(n >> 16 & 255) + "." + std::to_string(n >> 8 & 255) + "." +
           std::to_string(n & 255);
}

// Records peers nFrom..nTo-1, each from its own address.
void RegisterPeers(CPeerRegistry& peers, int nFrom, int nTo) {
    std::vector<std::thread> arrThreads;
    for (int nThread = 0; nThread < kFillThreads; ++nThread) {
        arrThreads.emplace_back([&, nThread] {
            for (int n = nFrom + nThread; n < nTo; n += kFillThreads) {
                peers.Record(PeerAddress(n), "bench");
            }
        });
    }
    for (std::thread& thread : arrThreads) {
        thread.join();
    }
}

struct CFigures {
    std::string strStore;
    int nPeers = 0;
    size_t nListed = 0;
    double dListMs = 0;
    double dStoreLogInMs = 0;
    double dStatements = 0;
    double dHttpLogInMs = -1;
};

// The store's part of kRounds log-ins as the server runs it: the sample, the account
// check, the caller's record.
CFigures MeasureStore(CServiceStore& store, CAccountStore& accounts, CPeerRegistry& peers) {
    CFigures figures;
    std::vector<std::string> arrPeers;
    auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        peers.Sample(kOwnAddress, arrPeers);
    }
    figures.dListMs = MsSince(start) / kRounds;
    figures.nListed = arrPeers.size();

    std::uint64_t nBefore = store.Statements();
    start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        peers.Sample(kOwnAddress, arrPeers);
        if (accounts.Check("bench", "bench-pw") != CAccountStore::CheckResult::Ok) {
            std::fprintf(stderr, "the bench account does not log in\n");
        }
        peers.Record(kOwnAddress, "bench");
    }
    figures.dStoreLogInMs = MsSince(start) / kRounds;
    figures.dStatements = static_cast<double>(store.Statements() - nBefore) / kRounds;
    return figures;
}

// Sequential log-ins over HTTP from 127.0.0.1 through a service on the same store.
double MeasureHttpLogIns(const std::string& strLocation) {
    CServiceProcess service;
    if (!service.Start({"--db", strLocation})) {
        std::fprintf(stderr, "the service did not start: %s\n", service.LogText().c_str());
        return -1;
    }
    auto start = Clock::now();
    for (int i = 0; i < kHttpLogIns; ++i) {
        httplib::Client client("127.0.0.1", service.Port());
        auto result = client.Get("/cgi-local/login2.pl?username=bench&password=bench-pw");
        if (!result || result->status != 200 ||
            result->body.find("<errorcode>0</errorcode>") != 0) {
            std::fprintf(stderr, "a log-in failed\n");
            return -1;
        }
    }
    return MsSince(start) / kHttpLogIns;
}

void RunStore(const std::string& strName, const std::string& strLocation,
              std::vector<CFigures>& arrFigures) {
    std::string strError;
    std::unique_ptr<CServiceStore> pStore = OpenServiceStore(strLocation, strError);
    if (!pStore) {
        std::fprintf(stderr, "%s: %s\n", strName.c_str(), strError.c_str());
        return;
    }
    CAccountStore accounts(*pStore, CAccountStore::HashCost::Min);
    accounts.Create("bench", "bench-pw", "bench@example.org");
    // The whole window: nobody drops out while the figures are taken.
    CPeerRegistry peers(*pStore, std::chrono::hours(1));
    int nRegistered = 0;
    for (int nPeers : kPeerCounts) {
        auto start = Clock::now();
        RegisterPeers(peers, nRegistered, nPeers);
        std::printf("%-10s %7d peers registered in %.1f s\n", strName.c_str(), nPeers,
                    MsSince(start) / 1000);
        nRegistered = nPeers;
        CFigures figures = MeasureStore(*pStore, accounts, peers);
        figures.strStore = strName;
        figures.nPeers = nPeers;
        arrFigures.push_back(figures);
    }
    arrFigures.back().dHttpLogInMs = MeasureHttpLogIns(strLocation);
}

}  // namespace

int main() {
    std::string strError;
    if (!CAccountStore::InitHashing(strError)) {
        std::fprintf(stderr, "%s\n", strError.c_str());
        return 1;
    }
    std::vector<CFigures> arrFigures;
    std::string strDir = (std::filesystem::temp_directory_path() / "vocalon-bench-XXXXXX").string();
    if (mkdtemp(strDir.data()) != nullptr) {
        RunStore("sqlite", strDir + "/bench.db", arrFigures);
        std::error_code error;
        std::filesystem::remove_all(strDir, error);
    }

    CPgCluster cluster;
    if (cluster.Start() && cluster.CreateDatabase("bench")) {
        RunStore("postgresql", cluster.ConnInfo("bench"), arrFigures);
    } else {
        std::fprintf(stderr, "postgresql skipped: %s\n", cluster.Error().c_str());
    }

    std::printf("\n%-10s %7s %8s %12s %16s %12s %14s\n", "store", "peers", "listed", "list ms",
                "store log-in ms", "statements", "HTTP log-in ms");
    for (const CFigures& figures : arrFigures) {
        char szHttp[32] = "-";
        if (figures.dHttpLogInMs >= 0) {
            std::snprintf(szHttp, sizeof szHttp, "%.3f", figures.dHttpLogInMs);
        }
        std::printf("%-10s %7d %8zu %12.3f %16.3f %12.2f %14s\n", figures.strStore.c_str(),
                    figures.nPeers, figures.nListed, figures.dListMs, figures.dStoreLogInMs,
                    figures.dStatements, szHttp);
    }
    for (const CFigures& figures : arrFigures) {
        std::printf("summary | peer list, %s, %d peers | %.2f ms | does not grow with peers\n",
                    figures.strStore.c_str(), figures.nPeers, figures.dListMs);
        if (figures.dHttpLogInMs >= 0) {
            std::printf(
                "summary | log-in over HTTP, %s, %d peers | %.2f ms, %.0f statements | "
                "hash cost min\n",
                figures.strStore.c_str(), figures.nPeers, figures.dHttpLogInMs,
                figures.dStatements);
        }
    }
    return arrFigures.empty() ? 1 : 0;
}
