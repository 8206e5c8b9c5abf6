// The Vocalon reference service: parses the flags, opens the store (accounts and peers) and
// the TLS certificate if one is given, binds, announces "listening on ADDR:PORT" on stdout
// and serves until SIGINT or SIGTERM.

#include "CAccountStore.h"
#include "CServiceOptions.h"
#include "CServiceStore.h"
#include "CTlsContext.h"
#include "CVocalonServer.h"

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>

namespace {

// Signals are taken by a dedicated thread with sigwait(), so stopping the server runs as
// ordinary code instead of inside an asynchronous handler. SIGUSR1 only wakes that
// thread when the server ends for another reason.
sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGUSR1);
    return set;
}

}  // namespace

int main(int argc, char** argv) {
    CServiceOptions options;
    std::string strError;
    std::string strProgram = argc > 0 ? argv[0] : "vocalon-service";
    if (!ParseServiceOptions(argc, argv, options, strError)) {
        std::fprintf(stderr, "%s: %s\n\n%s", strProgram.c_str(), strError.c_str(),
                     ServiceUsage(strProgram).c_str());
        return 2;
    }
    if (options.bHelp) {
        std::fputs(ServiceUsage(strProgram).c_str(), stdout);
        return 0;
    }

    // Block before any thread exists, so every thread inherits the mask and only the
    // signal thread ever receives these.
    sigset_t stopSignals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<CServiceStore> pStore;
    if (CAccountStore::InitHashing(strError)) {
        pStore = OpenServiceStore(options.strDatabase, strError);
    }
    if (pStore == nullptr) {
        std::fprintf(stderr, "%s: %s\n", strProgram.c_str(), strError.c_str());
        return 1;
    }
    std::unique_ptr<CTlsContext> pTls;
    if (!options.strTlsCert.empty()) {
        pTls = CTlsContext::Load(options.strTlsCert, options.strTlsKey, strError);
        if (pTls == nullptr) {
            std::fprintf(stderr, "%s: %s\n", strProgram.c_str(), strError.c_str());
            return 1;
        }
    }
    CVocalonServer server(options, *pStore, pTls.get());
    int nPort = server.Bind(strError);
    if (nPort < 0) {
        std::fprintf(stderr, "%s: %s\n", strProgram.c_str(), strError.c_str());
        return 1;
    }
    std::printf("listening on %s:%d\n", options.strBind.c_str(), nPort);
    std::fflush(stdout);

    std::thread signalThread([&server, stopSignals] {
        int nSignal = 0;
        sigwait(&stopSignals, &nSignal);
        if (nSignal != SIGUSR1) {
            std::fprintf(stderr, "stopping on signal %d\n", nSignal);
        }
        server.Stop();
    });
    bool bOk = server.Serve();
    if (!bOk) {
        std::fprintf(stderr, "%s: the server stopped unexpectedly\n", strProgram.c_str());
    }
    pthread_kill(signalThread.native_handle(), SIGUSR1);
    signalThread.join();
    return bOk ? 0 : 1;
}
