#pragma once

// The service store in a PostgreSQL database, for several service processes (on one
// machine or many) that must agree on accounts and peers. Statements run on a small pool
// of connections opened as needed; each connection has a statement timeout, and opening
// one a connect timeout unless the connection string sets its own. A connection the
// server dropped is replaced (with the idle ones: the server most likely restarted), and
// a statement that may safely run twice is retried once on a new connection. Times (when a peer was
// seen) are the server's.

#include "CServiceStore.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

class CPgStore final : public CServiceStore {
public:
    CPgStore() = default;
    ~CPgStore() override;
    CPgStore(const CPgStore&) = delete;
    CPgStore& operator=(const CPgStore&) = delete;

    // strConnInfo: a libpq connection string, a URI or key=value words. Connects once and
    // creates the tables when missing; strError tells why when that fails.
    bool Open(const std::string& strConnInfo, std::string& strError);

    bool LookUpHash(const std::string& strUser, std::string& strHash) override;
    InsertResult InsertAccount(const std::string& strUser, const std::string& strHash,
                               const std::string& strEmail) override;
    bool RecordPeer(const std::string& strAddress, const std::string& strUser) override;
    bool SamplePeers(const std::string& strOwnAddress, std::chrono::seconds window, size_t nPool,
                     size_t nSample, std::vector<std::string>& arrPeers) override;
    bool PrunePeers(std::chrono::seconds window) override;

private:
    struct CResultDeleter {
        void operator()(pg_result* pResult) const;
    };
    using CResult = std::unique_ptr<pg_result, CResultDeleter>;

    // A new connection with the statements prepared, after creating the tables when
    // bCreateSchema; null with strError set on failure.
    pg_conn* Connect(bool bCreateSchema, std::string& strError);
    // An idle connection, or a new one while fewer than the pool's size are open; null
    // (reported) when none comes in time.
    pg_conn* Acquire();
    void Release(pg_conn* pConn);
    // Runs a prepared statement. Null (reported) when it failed; strState then holds the
    // error's SQLSTATE. bRetry: may run again on a fresh connection if the server dropped
    // the first one.
    CResult Execute(const char* szStatement, const std::vector<std::string>& arrParams, bool bRetry,
                    std::string& strState);

    std::string m_strConnInfo;
    std::mutex m_mutex;
    std::condition_variable m_idleCondition;
    std::vector<pg_conn*> m_arrIdle;
    size_t m_nOpen = 0;
};
