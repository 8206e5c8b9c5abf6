#pragma once

// What the service keeps beyond a request: the accounts and the peer registry. Every
// service process opened on the same database sees the same accounts and hands out the
// same peers. Two stores implement it: an SQLite file (one machine; the default) and a
// PostgreSQL database (any number of service processes on any number of machines).
//
// Every call runs one statement, bounded by an index, and is safe from any thread. A call
// that fails (the database is gone, or busy past its timeout) returns false or Failed and
// writes the reason to standard error as "store: ...". Times are the database's: the
// SQLite store uses this machine's wall clock, the PostgreSQL store the server's, so the
// processes of one database agree on what is recent.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CServiceStore {
public:
    enum class InsertResult { Inserted, Exists, Failed };

    virtual ~CServiceStore() = default;

    // The password hash of strUser (validated, lower case); empty when there is no such
    // account. False on a database error.
    virtual bool LookUpHash(const std::string& strUser, std::string& strHash) = 0;
    // Exists when the name is taken, also when another process took it a moment ago.
    virtual InsertResult InsertAccount(const std::string& strUser, const std::string& strHash,
                                       const std::string& strEmail) = 0;

    // Marks strAddress as seen now, by strUser; one row per address.
    virtual bool RecordPeer(const std::string& strAddress, const std::string& strUser) = 0;
    // Up to nSample distinct addresses in random order, drawn from the nPool seen most
    // recently within window, never strOwnAddress. arrPeers is replaced.
    virtual bool SamplePeers(const std::string& strOwnAddress, std::chrono::seconds window,
                             size_t nPool, size_t nSample, std::vector<std::string>& arrPeers) = 0;
    // Deletes the peers not seen within window. They are never listed anyway; this only
    // keeps the table to the size of the window.
    virtual bool PrunePeers(std::chrono::seconds window) = 0;

    // Statements sent to the database so far, for measurements.
    std::uint64_t Statements() const { return m_nStatements.load(std::memory_order_relaxed); }

protected:
    void CountStatement() { m_nStatements.fetch_add(1, std::memory_order_relaxed); }

private:
    std::atomic<std::uint64_t> m_nStatements{0};
};

// True when strLocation is a PostgreSQL connection string: a "postgresql://" or
// "postgres://" URI, or key=value words ("host=/run/db dbname=vocalon"). Anything else
// names an SQLite file ("./a=b.db" for a file whose name looks like a key=value word).
bool IsPostgresLocation(const std::string& strLocation);

// Opens the store strLocation names and creates its tables when they are missing, safely
// when several processes start at once. Null with strError set when that fails; strError
// never repeats a connection string, which may hold a password.
std::unique_ptr<CServiceStore> OpenServiceStore(const std::string& strLocation,
                                                std::string& strError);
