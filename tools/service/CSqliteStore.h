#pragma once

// The service store in an SQLite file: the default, for one machine. The file is in WAL
// mode with a busy timeout, so several service processes may share it; each process uses
// one connection, serialised by a mutex. Commits are synchronous to the log only
// (synchronous=NORMAL): a power cut may lose the last log-ins and sign-ups, never the file.

#include "CServiceStore.h"

#include <mutex>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

class CSqliteStore final : public CServiceStore {
public:
    CSqliteStore() = default;
    ~CSqliteStore() override;
    CSqliteStore(const CSqliteStore&) = delete;
    CSqliteStore& operator=(const CSqliteStore&) = delete;

    // Opens or creates the file and its tables; strError tells why when it fails.
    bool Open(const std::string& strPath, std::string& strError);

    bool LookUpHash(const std::string& strUser, std::string& strHash) override;
    InsertResult InsertAccount(const std::string& strUser, const std::string& strHash,
                               const std::string& strEmail) override;
    bool RecordPeer(const std::string& strAddress, const std::string& strUser) override;
    bool SamplePeers(const std::string& strOwnAddress, std::chrono::seconds window, size_t nPool,
                     size_t nSample, std::vector<std::string>& arrPeers) override;
    bool PrunePeers(std::chrono::seconds window) override;

private:
    void Close();
    // Writes the connection's last error to stderr; returns false for the caller to pass on.
    bool Report(const char* szWhat);

    std::mutex m_mutex;
    sqlite3* m_pDb = nullptr;
    sqlite3_stmt* m_pLookUp = nullptr;
    sqlite3_stmt* m_pInsert = nullptr;
    sqlite3_stmt* m_pRecord = nullptr;
    sqlite3_stmt* m_pSample = nullptr;
    sqlite3_stmt* m_pPrune = nullptr;
};
