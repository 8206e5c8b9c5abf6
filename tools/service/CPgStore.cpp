#include "CPgStore.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

// Connections per process. Each statement holds one only while it runs, so a few serve
// the service's workers; an idle process keeps just the first.
constexpr size_t kPoolSize = 8;
constexpr std::chrono::seconds kAcquireTimeout{5};
// Used unless the connection string sets connect_timeout itself.
const char* const kConnectTimeoutSeconds = "5";

const char* const kSession =
    "SET statement_timeout = 5000;"
    // CREATE ... IF NOT EXISTS speaks a notice for every table that is already there.
    "SET client_min_messages = warning";

// The advisory lock makes a second process starting at the same moment wait until the
// first has created everything: IF NOT EXISTS alone races on the catalogue.
const char* const kSchema =
    "BEGIN;"
    "SELECT pg_advisory_xact_lock(6226893307506224238);"
    "CREATE TABLE IF NOT EXISTS accounts ("
    " username TEXT PRIMARY KEY,"
    " pwhash TEXT NOT NULL,"
    " email TEXT NOT NULL,"
    " created BIGINT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS peers ("
    " address TEXT PRIMARY KEY,"
    " username TEXT NOT NULL,"
    " seen TIMESTAMPTZ NOT NULL);"
    "CREATE INDEX IF NOT EXISTS peers_seen ON peers (seen, address);"
    "COMMIT";

const char* const kUniqueViolation = "23505";

const std::pair<const char*, const char*> kStatements[] = {
    {"look_up", "SELECT pwhash FROM accounts WHERE username = $1"},
    {"insert_account",
     "INSERT INTO accounts (username, pwhash, email, created)"
     " VALUES ($1, $2, $3, extract(epoch FROM now())::bigint)"},
    {"record_peer",
     "INSERT INTO peers (address, username, seen) VALUES ($1, $2, now())"
     " ON CONFLICT (address) DO UPDATE SET username = excluded.username, seen = excluded.seen"},
    // The inner query walks the seen index from its newest end and stops after $3 rows,
    // however many peers there are.
    {"sample_peers",
     "SELECT address FROM (SELECT address FROM peers"
     " WHERE seen >= now() - make_interval(secs => $1::integer) AND address <> $2"
     " ORDER BY seen DESC LIMIT $3::integer) AS recent ORDER BY random() LIMIT $4::integer"},
    {"prune_peers", "DELETE FROM peers WHERE seen < now() - make_interval(secs => $1::integer)"},
};

// libpq's messages end with a line feed, sometimes with more lines after it.
std::string FirstLine(const char* szMessage) {
    std::string strLine = szMessage ? szMessage : "";
    strLine.resize(std::min(strLine.find('\n'), strLine.size()));
    return strLine.empty() ? "unknown error" : strLine;
}

bool Succeeded(PGresult* pResult) {
    ExecStatusType status = PQresultStatus(pResult);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

}  // namespace

void CPgStore::CResultDeleter::operator()(pg_result* pResult) const { PQclear(pResult); }

CPgStore::~CPgStore() {
    for (PGconn* pConn : m_arrIdle) {
        PQfinish(pConn);
    }
}

bool CPgStore::Open(const std::string& strConnInfo, std::string& strError) {
    m_strConnInfo = strConnInfo;
    PGconn* pConn = Connect(true, strError);
    if (pConn == nullptr) {
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_arrIdle.push_back(pConn);
    m_nOpen = 1;
    return true;
}

PGconn* CPgStore::Connect(bool bCreateSchema, std::string& strError) {
    // Words before "dbname" are defaults that the expanded connection string overrides.
    const char* const arrKeywords[] = {"connect_timeout", "fallback_application_name", "dbname",
                                       nullptr};
    const char* const arrValues[] = {kConnectTimeoutSeconds, "vocalon-service",
                                     m_strConnInfo.c_str(), nullptr};
    PGconn* pConn = PQconnectdbParams(arrKeywords, arrValues, 1);
    auto Fail = [&](const char* szWhat, const char* szMessage) -> PGconn* {
        strError = std::string("PostgreSQL ") + szWhat + ": " + FirstLine(szMessage);
        PQfinish(pConn);
        return nullptr;
    };
    if (PQstatus(pConn) != CONNECTION_OK) {
        return Fail("connection", PQerrorMessage(pConn));
    }
    std::vector<const char*> arrSetup = {kSession};
    if (bCreateSchema) {
        arrSetup.push_back(kSchema);
    }
    for (const char* szSetup : arrSetup) {
        CResult result(PQexec(pConn, szSetup));
        if (!Succeeded(result.get())) {
            return Fail("set-up", PQerrorMessage(pConn));
        }
    }
    for (const auto& [szName, szSql] : kStatements) {
        CResult result(PQprepare(pConn, szName, szSql, 0, nullptr));
        if (!Succeeded(result.get())) {
            return Fail("statement", PQerrorMessage(pConn));
        }
    }
    return pConn;
}

PGconn* CPgStore::Acquire() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_idleCondition.wait_for(lock, kAcquireTimeout,
                                  [this] { return !m_arrIdle.empty() || m_nOpen < kPoolSize; })) {
        std::fprintf(stderr, "store: no database connection free within %lld s\n",
                     static_cast<long long>(kAcquireTimeout.count()));
        return nullptr;
    }
    if (!m_arrIdle.empty()) {
        PGconn* pConn = m_arrIdle.back();
        m_arrIdle.pop_back();
        return pConn;
    }
    ++m_nOpen;
    lock.unlock();
    std::string strError;
    PGconn* pConn = Connect(false, strError);
    if (pConn == nullptr) {
        std::fprintf(stderr, "store: %s\n", strError.c_str());
        lock.lock();
        --m_nOpen;
        m_idleCondition.notify_one();
    }
    return pConn;
}

void CPgStore::Release(PGconn* pConn) {
    // A connection the server dropped, or one left inside a transaction, is not reused.
    bool bDropped = PQstatus(pConn) != CONNECTION_OK;
    bool bBroken = bDropped || PQtransactionStatus(pConn) != PQTRANS_IDLE;
    std::vector<PGconn*> arrClose;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (bBroken) {
            arrClose.push_back(pConn);
        } else {
            m_arrIdle.push_back(pConn);
        }
        // The server most likely restarted: the idle ones are dead too.
        if (bDropped) {
            arrClose.insert(arrClose.end(), m_arrIdle.begin(), m_arrIdle.end());
            m_arrIdle.clear();
        }
        m_nOpen -= arrClose.size();
        m_idleCondition.notify_all();
    }
    for (PGconn* pClose : arrClose) {
        PQfinish(pClose);
    }
}

CPgStore::CResult CPgStore::Execute(const char* szStatement,
                                    const std::vector<std::string>& arrParams, bool bRetry,
                                    std::string& strState) {
    std::vector<const char*> arrValues;
    for (const std::string& strParam : arrParams) {
        arrValues.push_back(strParam.c_str());
    }
    for (int nAttempt = 0;; ++nAttempt) {
        PGconn* pConn = Acquire();
        if (pConn == nullptr) {
            return nullptr;
        }
        CountStatement();
        CResult result(PQexecPrepared(pConn, szStatement, static_cast<int>(arrValues.size()),
                                      arrValues.data(), nullptr, nullptr, 0));
        bool bOk = Succeeded(result.get());
        bool bDropped = PQstatus(pConn) != CONNECTION_OK;
        const char* szState = result ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr;
        strState = szState ? szState : "";
        std::string strMessage = bOk ? "" : FirstLine(PQerrorMessage(pConn));
        Release(pConn);
        if (bOk) {
            return result;
        }
        // After a restart of the server every pooled connection is dead; one try on a new
        // connection keeps that from failing a request per connection.
        if (bDropped && bRetry && nAttempt == 0) {
            continue;
        }
        if (strState != kUniqueViolation) {
            std::fprintf(stderr, "store: %s: %s\n", szStatement, strMessage.c_str());
        }
        return nullptr;
    }
}

bool CPgStore::LookUpHash(const std::string& strUser, std::string& strHash) {
    strHash.clear();
    std::string strState;
    CResult result = Execute("look_up", {strUser}, true, strState);
    if (!result) {
        return false;
    }
    if (PQntuples(result.get()) > 0) {
        strHash = PQgetvalue(result.get(), 0, 0);
    }
    return true;
}

CServiceStore::InsertResult CPgStore::InsertAccount(const std::string& strUser,
                                                    const std::string& strHash,
                                                    const std::string& strEmail) {
    // Not retried: the first attempt may have committed before the connection was lost.
    std::string strState;
    if (Execute("insert_account", {strUser, strHash, strEmail}, false, strState)) {
        return InsertResult::Inserted;
    }
    return strState == kUniqueViolation ? InsertResult::Exists : InsertResult::Failed;
}

bool CPgStore::RecordPeer(const std::string& strAddress, const std::string& strUser) {
    std::string strState;
    return Execute("record_peer", {strAddress, strUser}, true, strState) != nullptr;
}

bool CPgStore::SamplePeers(const std::string& strOwnAddress, std::chrono::seconds window,
                           size_t nPool, size_t nSample, std::vector<std::string>& arrPeers) {
    arrPeers.clear();
    std::string strState;
    CResult result = Execute("sample_peers",
                             {std::to_string(window.count()), strOwnAddress, std::to_string(nPool),
                              std::to_string(nSample)},
                             true, strState);
    if (!result) {
        return false;
    }
    int nRows = PQntuples(result.get());
    arrPeers.reserve(static_cast<size_t>(nRows));
    for (int nRow = 0; nRow < nRows; ++nRow) {
        arrPeers.emplace_back(PQgetvalue(result.get(), nRow, 0));
    }
    return true;
}

bool CPgStore::PrunePeers(std::chrono::seconds window) {
    std::string strState;
    return Execute("prune_peers", {std::to_string(window.count())}, true, strState) != nullptr;
}
