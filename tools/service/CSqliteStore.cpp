#include "CSqliteStore.h"

#include <sqlite3.h>

#include <cstdio>
#include <ctime>
#include <utility>

namespace {

// Written by the first process to open the file. IMMEDIATE takes the write lock at once,
// so a second process starting at the same moment waits (busy timeout) and then finds
// the tables there.
const char* const kSchema =
    "BEGIN IMMEDIATE;"
    "CREATE TABLE IF NOT EXISTS accounts ("
    " username TEXT PRIMARY KEY NOT NULL,"
    " pwhash TEXT NOT NULL,"
    " email TEXT NOT NULL,"
    " created INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS peers ("
    " address TEXT PRIMARY KEY NOT NULL,"
    " username TEXT NOT NULL,"
    " seen INTEGER NOT NULL);"  // milliseconds since 1970
    // With the address in it, the peer sample reads this index alone.
    "CREATE INDEX IF NOT EXISTS peers_seen ON peers (seen, address);"
    "COMMIT;";

// Another process (a second service, a shell) may hold the write lock briefly.
constexpr int kBusyTimeoutMs = 2000;

// Resets a prepared statement when a scope ends, however it ends.
class CStatementReset final {
public:
    explicit CStatementReset(sqlite3_stmt* pStatement) : m_pStatement(pStatement) {}
    ~CStatementReset() {
        sqlite3_reset(m_pStatement);
        sqlite3_clear_bindings(m_pStatement);
    }
    CStatementReset(const CStatementReset&) = delete;
    CStatementReset& operator=(const CStatementReset&) = delete;

private:
    sqlite3_stmt* m_pStatement;
};

bool BindText(sqlite3_stmt* pStatement, int nIndex, const std::string& str) {
    return sqlite3_bind_text(pStatement, nIndex, str.data(), static_cast<int>(str.size()),
                             SQLITE_TRANSIENT) == SQLITE_OK;
}

bool BindInt(sqlite3_stmt* pStatement, int nIndex, sqlite3_int64 nValue) {
    return sqlite3_bind_int64(pStatement, nIndex, nValue) == SQLITE_OK;
}

sqlite3_int64 NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

sqlite3_int64 CutoffMs(std::chrono::seconds window) {
    return NowMs() - std::chrono::duration_cast<std::chrono::milliseconds>(window).count();
}

}  // namespace

CSqliteStore::~CSqliteStore() { Close(); }

void CSqliteStore::Close() {
    for (sqlite3_stmt** ppStatement : {&m_pLookUp, &m_pInsert, &m_pRecord, &m_pSample, &m_pPrune}) {
        sqlite3_finalize(*ppStatement);
        *ppStatement = nullptr;
    }
    sqlite3_close(m_pDb);
    m_pDb = nullptr;
}

bool CSqliteStore::Open(const std::string& strPath, std::string& strError) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Close();
    int nResult = sqlite3_open_v2(strPath.c_str(), &m_pDb,
                                  SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (nResult == SQLITE_OK) {
        sqlite3_busy_timeout(m_pDb, kBusyTimeoutMs);
        // WAL lets readers in one process go on while another writes.
        nResult = sqlite3_exec(m_pDb, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;",
                               nullptr, nullptr, nullptr);
    }
    if (nResult == SQLITE_OK) {
        nResult = sqlite3_exec(m_pDb, kSchema, nullptr, nullptr, nullptr);
    }
    const std::pair<sqlite3_stmt**, const char*> arrStatements[] = {
        {&m_pLookUp, "SELECT pwhash FROM accounts WHERE username = ?1"},
        {&m_pInsert,
         "INSERT INTO accounts (username, pwhash, email, created) VALUES (?1, ?2, ?3, ?4)"},
        {&m_pRecord,
         "INSERT INTO peers (address, username, seen) VALUES (?1, ?2, ?3)"
         " ON CONFLICT (address) DO UPDATE SET username = excluded.username, seen = excluded.seen"},
        // The inner query walks the seen index from its newest end and stops after ?3 rows,
        // however many peers there are.
        {&m_pSample,
         "SELECT address FROM (SELECT address FROM peers WHERE seen >= ?1 AND address <> ?2"
         " ORDER BY seen DESC LIMIT ?3) ORDER BY random() LIMIT ?4"},
        {&m_pPrune, "DELETE FROM peers WHERE seen < ?1"},
    };
    for (const auto& [ppStatement, szSql] : arrStatements) {
        if (nResult == SQLITE_OK) {
            nResult = sqlite3_prepare_v2(m_pDb, szSql, -1, ppStatement, nullptr);
        }
    }
    if (nResult != SQLITE_OK) {
        strError = strPath + ": " + (m_pDb ? sqlite3_errmsg(m_pDb) : sqlite3_errstr(nResult));
        Close();
        return false;
    }
    return true;
}

bool CSqliteStore::Report(const char* szWhat) {
    std::fprintf(stderr, "store: %s: %s\n", szWhat, m_pDb ? sqlite3_errmsg(m_pDb) : "not open");
    return false;
}

bool CSqliteStore::LookUpHash(const std::string& strUser, std::string& strHash) {
    std::lock_guard<std::mutex> lock(m_mutex);
    strHash.clear();
    if (m_pLookUp == nullptr) {
        return Report("account look-up");
    }
    CStatementReset reset(m_pLookUp);
    CountStatement();
    int nResult = BindText(m_pLookUp, 1, strUser) ? sqlite3_step(m_pLookUp) : SQLITE_ERROR;
    if (nResult == SQLITE_ROW) {
        const unsigned char* pText = sqlite3_column_text(m_pLookUp, 0);
        strHash = pText ? reinterpret_cast<const char*>(pText) : "";
        return true;
    }
    return nResult == SQLITE_DONE || Report("account look-up");
}

CServiceStore::InsertResult CSqliteStore::InsertAccount(const std::string& strUser,
                                                        const std::string& strHash,
                                                        const std::string& strEmail) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pInsert == nullptr) {
        Report("account insert");
        return InsertResult::Failed;
    }
    CStatementReset reset(m_pInsert);
    CountStatement();
    bool bBound = BindText(m_pInsert, 1, strUser) && BindText(m_pInsert, 2, strHash) &&
                  BindText(m_pInsert, 3, strEmail) &&
                  BindInt(m_pInsert, 4, static_cast<sqlite3_int64>(std::time(nullptr)));
    int nResult = bBound ? sqlite3_step(m_pInsert) : SQLITE_ERROR;
    if (nResult == SQLITE_DONE) {
        return InsertResult::Inserted;
    }
    if ((nResult & 0xff) == SQLITE_CONSTRAINT) {
        return InsertResult::Exists;
    }
    Report("account insert");
    return InsertResult::Failed;
}

bool CSqliteStore::RecordPeer(const std::string& strAddress, const std::string& strUser) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pRecord == nullptr) {
        return Report("peer record");
    }
    CStatementReset reset(m_pRecord);
    CountStatement();
    bool bBound = BindText(m_pRecord, 1, strAddress) && BindText(m_pRecord, 2, strUser) &&
                  BindInt(m_pRecord, 3, NowMs());
    return (bBound && sqlite3_step(m_pRecord) == SQLITE_DONE) || Report("peer record");
}

bool CSqliteStore::SamplePeers(const std::string& strOwnAddress, std::chrono::seconds window,
                               size_t nPool, size_t nSample, std::vector<std::string>& arrPeers) {
    arrPeers.clear();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pSample == nullptr) {
        return Report("peer sample");
    }
    CStatementReset reset(m_pSample);
    CountStatement();
    bool bBound = BindInt(m_pSample, 1, CutoffMs(window)) &&
                  BindText(m_pSample, 2, strOwnAddress) &&
                  BindInt(m_pSample, 3, static_cast<sqlite3_int64>(nPool)) &&
                  BindInt(m_pSample, 4, static_cast<sqlite3_int64>(nSample));
    int nResult = bBound ? SQLITE_ROW : SQLITE_ERROR;
    while (nResult == SQLITE_ROW && (nResult = sqlite3_step(m_pSample)) == SQLITE_ROW) {
        const unsigned char* pText = sqlite3_column_text(m_pSample, 0);
        arrPeers.emplace_back(pText ? reinterpret_cast<const char*>(pText) : "");
    }
    if (nResult != SQLITE_DONE) {
        arrPeers.clear();
        return Report("peer sample");
    }
    return true;
}

bool CSqliteStore::PrunePeers(std::chrono::seconds window) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pPrune == nullptr) {
        return Report("peer prune");
    }
    CStatementReset reset(m_pPrune);
    CountStatement();
    return (BindInt(m_pPrune, 1, CutoffMs(window)) && sqlite3_step(m_pPrune) == SQLITE_DONE) ||
           Report("peer prune");
}
