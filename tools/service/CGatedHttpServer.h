#pragma once

// An httplib server whose connections wait in a CHeadGate until their request head is
// complete, and only then take one of the worker threads. The worker reads the request from
// the bytes the gate collected and never waits on the client for more; each connection
// carries one request. Routes, handlers and the logger are set as on any httplib::Server.
// With a TLS context, connections that open with a TLS handshake are served over TLS and
// the others as plain HTTP (see CHeadGate).

#include "CHeadGate.h"

#include <httplib.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class CGatedHttpServer final : public httplib::Server {
public:
    // Told the remote address and status of every connection the gate answers itself.
    using RefusalLogFn = std::function<void(const std::string& strRemote, int nStatus)>;

    // pTls, when not null, outlives the server.
    CGatedHttpServer(size_t nWorkers, const CHeadGate::CLimits& limits, RefusalLogFn logRefusal,
                     const CTlsContext* pTls = nullptr);
    ~CGatedHttpServer() override;

    // Call once listen_after_bind() has returned: closes the connections still waiting for
    // their heads and waits until the workers have answered the requests they hold.
    void Drain();

private:
    bool process_and_close_socket(socket_t sock) override;
    void Process(int fd, SSL* pSsl, std::string strReceived);

    const RefusalLogFn m_logRefusal;
    httplib::ThreadPool m_workers;
    std::unique_ptr<CHeadGate> m_pGate;
    bool m_bDrained = false;
};
