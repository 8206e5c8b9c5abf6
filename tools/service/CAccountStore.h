#pragma once

// User accounts in an SQLite file: name (lower case), password hash, e-mail address and
// creation time. Passwords are kept only as libsodium password hashes (salted, memory
// hard); hashing and verifying run outside the database lock so slow hashes never queue
// behind each other. Safe to use from any thread once opened.

#include <cstddef>
#include <mutex>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

class CAccountStore final {
public:
    // Min is for tests: fast and weak. Interactive is libsodium's recommendation for
    // on-line log-ins.
    enum class HashCost { Min, Interactive };
    enum class CreateResult { Created, NameTaken, Failed };
    enum class CheckResult { Ok, UnknownUser, WrongPassword, Failed };

    explicit CAccountStore(HashCost cost);
    ~CAccountStore();
    CAccountStore(const CAccountStore&) = delete;
    CAccountStore& operator=(const CAccountStore&) = delete;

    // Opens or creates the database file; strError tells why when it fails.
    bool Open(const std::string& strPath, std::string& strError);

    // strUser must already be validated and in lower case.
    CreateResult Create(const std::string& strUser, const std::string& strPassword,
                        const std::string& strEmail);
    CheckResult Check(const std::string& strUser, const std::string& strPassword);

private:
    // The stored hash, empty when the user is unknown; false on a database error.
    bool LookUpHash(const std::string& strUser, std::string& strHash);
    void Close();

    std::mutex m_mutex;
    sqlite3* m_pDb = nullptr;
    sqlite3_stmt* m_pInsert = nullptr;
    sqlite3_stmt* m_pSelect = nullptr;
    unsigned long long m_nOpsLimit;
    size_t m_nMemLimit;
};
