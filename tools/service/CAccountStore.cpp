#include "CAccountStore.h"

#include <sodium.h>
#include <sqlite3.h>

#include <ctime>

namespace {

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS accounts ("
    " username TEXT PRIMARY KEY NOT NULL,"
    " pwhash TEXT NOT NULL,"
    " email TEXT NOT NULL,"
    " created INTEGER NOT NULL)";

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

}  // namespace

CAccountStore::CAccountStore(HashCost cost)
    : m_nOpsLimit(cost == HashCost::Min ? crypto_pwhash_OPSLIMIT_MIN
                                        : crypto_pwhash_OPSLIMIT_INTERACTIVE),
      m_nMemLimit(cost == HashCost::Min ? crypto_pwhash_MEMLIMIT_MIN
                                        : crypto_pwhash_MEMLIMIT_INTERACTIVE) {}

CAccountStore::~CAccountStore() { Close(); }

void CAccountStore::Close() {
    sqlite3_finalize(m_pInsert);
    sqlite3_finalize(m_pSelect);
    sqlite3_close(m_pDb);
    m_pInsert = nullptr;
    m_pSelect = nullptr;
    m_pDb = nullptr;
}

bool CAccountStore::Open(const std::string& strPath, std::string& strError) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Close();
    if (sodium_init() < 0) {
        strError = "libsodium could not be initialised";
        return false;
    }
    int nResult = sqlite3_open_v2(strPath.c_str(), &m_pDb,
                                  SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (nResult == SQLITE_OK) {
        // Another process (a second service, a shell) may hold the file briefly.
        sqlite3_busy_timeout(m_pDb, 2000);
        nResult = sqlite3_exec(m_pDb, kSchema, nullptr, nullptr, nullptr);
    }
    if (nResult == SQLITE_OK) {
        nResult = sqlite3_prepare_v2(m_pDb,
                                     "INSERT INTO accounts (username, pwhash, email, created)"
                                     " VALUES (?1, ?2, ?3, ?4)",
                                     -1, &m_pInsert, nullptr);
    }
    if (nResult == SQLITE_OK) {
        nResult = sqlite3_prepare_v2(m_pDb, "SELECT pwhash FROM accounts WHERE username = ?1", -1,
                                     &m_pSelect, nullptr);
    }
    if (nResult != SQLITE_OK) {
        strError = strPath + ": " + (m_pDb ? sqlite3_errmsg(m_pDb) : sqlite3_errstr(nResult));
        Close();
        return false;
    }
    return true;
}

bool CAccountStore::LookUpHash(const std::string& strUser, std::string& strHash) {
    std::lock_guard<std::mutex> lock(m_mutex);
    strHash.clear();
    if (m_pSelect == nullptr) {
        return false;
    }
    CStatementReset reset(m_pSelect);
    if (!BindText(m_pSelect, 1, strUser)) {
        return false;
    }
    int nResult = sqlite3_step(m_pSelect);
    if (nResult == SQLITE_ROW) {
        const unsigned char* pText = sqlite3_column_text(m_pSelect, 0);
        strHash = pText ? reinterpret_cast<const char*>(pText) : "";
        return true;
    }
    return nResult == SQLITE_DONE;
}

CAccountStore::CreateResult CAccountStore::Create(const std::string& strUser,
                                                  const std::string& strPassword,
                                                  const std::string& strEmail) {
    std::string strExisting;
    if (!LookUpHash(strUser, strExisting)) {
        return CreateResult::Failed;
    }
    if (!strExisting.empty()) {
        return CreateResult::NameTaken;
    }
    char szHash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(szHash, strPassword.data(), strPassword.size(), m_nOpsLimit,
                          m_nMemLimit) != 0) {
        return CreateResult::Failed;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    CStatementReset reset(m_pInsert);
    if (!BindText(m_pInsert, 1, strUser) || !BindText(m_pInsert, 2, szHash) ||
        !BindText(m_pInsert, 3, strEmail) ||
        sqlite3_bind_int64(m_pInsert, 4, static_cast<sqlite3_int64>(std::time(nullptr))) !=
            SQLITE_OK) {
        return CreateResult::Failed;
    }
    int nResult = sqlite3_step(m_pInsert);
    if (nResult == SQLITE_DONE) {
        return CreateResult::Created;
    }
    // Someone registered the same name while the hash was being computed.
    return (nResult & 0xff) == SQLITE_CONSTRAINT ? CreateResult::NameTaken : CreateResult::Failed;
}

CAccountStore::CheckResult CAccountStore::Check(const std::string& strUser,
                                                const std::string& strPassword) {
    std::string strHash;
    if (!LookUpHash(strUser, strHash)) {
        return CheckResult::Failed;
    }
    if (strHash.empty()) {
        return CheckResult::UnknownUser;
    }
    return crypto_pwhash_str_verify(strHash.c_str(), strPassword.data(), strPassword.size()) == 0
               ? CheckResult::Ok
               : CheckResult::WrongPassword;
}
