#pragma once

// The HTTP side of the reference service: routes, answers and the request log. One
// instance serves until Stop(); handlers run on a pool of worker threads, which only ever
// get requests whose head has arrived in full.

#include "CAccountStore.h"
#include "CGatedHttpServer.h"
#include "CNewsGenerator.h"
#include "CPeerRegistry.h"
#include "CServiceOptions.h"
#include "CServiceStore.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

class CVocalonServer final {
public:
    // The store outlives the server; every service process on it serves the same accounts
    // and peers. With a TLS context (which outlives the server too) the port serves TLS as
    // well as plain HTTP.
    CVocalonServer(const CServiceOptions& options, CServiceStore& store,
                   const CTlsContext* pTls = nullptr);
    CVocalonServer(const CVocalonServer&) = delete;
    CVocalonServer& operator=(const CVocalonServer&) = delete;

    // Reads the files the options name and binds the listening socket. Returns the port,
    // or -1 with strError set.
    int Bind(std::string& strError);
    // Serves until Stop() is called from another thread; false when listening failed.
    bool Serve();
    // Safe from any thread (not from a signal handler). Also ends the slow feed's waits.
    void Stop();

private:
    void RegisterRoutes();
    void HandleLogin(const httplib::Request& req, httplib::Response& res);
    void HandleRegister(const httplib::Request& req, httplib::Response& res);
    void HandleCatalogue(const httplib::Request& req, httplib::Response& res);
    void HandleFeed(const httplib::Request& req, httplib::Response& res);
    void HandleArticle(const httplib::Request& req, httplib::Response& res);
    void HandleStatic(const httplib::Request& req, httplib::Response& res);
    void HandleDownload(const httplib::Request& req, httplib::Response& res);
    void Log(const httplib::Request& req, const httplib::Response& res);
    // A connection answered before its request could be read (a late or oversized head).
    void LogRefusal(const std::string& strRemote, int nStatus);

    // The host the client addressed, safe to embed in URLs.
    std::string RequestHost(const httplib::Request& req) const;
    // False when the service began stopping during the wait.
    bool WaitUnlessStopping(std::chrono::seconds duration);

    const CServiceOptions& m_options;
    CAccountStore m_accounts;
    CPeerRegistry m_peers;
    CNewsGenerator m_news;
    bool m_bFixedCatalogue = false;
    std::string m_strFixedCatalogue;

    std::mutex m_stopMutex;
    std::condition_variable m_stopCondition;
    bool m_bStopping = false;
    bool m_bListenEnded = false;

    std::mutex m_logMutex;
    // Last, so it is gone (its workers drained) before anything its handlers use.
    CGatedHttpServer m_server;
};
