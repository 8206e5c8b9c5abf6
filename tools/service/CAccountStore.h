#pragma once

// User accounts: name (lower case), password hash, e-mail address and creation time, kept
// in the service store. Passwords are kept only as libsodium password hashes (salted,
// memory hard); hashing and verifying run outside the store, so slow hashes never queue
// behind each other. A sign-up costs two store statements (look-up, insert), a log-in
// check one. Safe to use from any thread.

#include "CServiceStore.h"

#include <cstddef>
#include <string>

class CAccountStore final {
public:
    // Min is for tests: fast and weak. Interactive is libsodium's recommendation for
    // on-line log-ins.
    enum class HashCost { Min, Interactive };
    enum class CreateResult { Created, NameTaken, Failed };
    enum class CheckResult { Ok, UnknownUser, WrongPassword, Failed };

    // Call once before any account is created or checked; strError tells why it failed.
    static bool InitHashing(std::string& strError);

    CAccountStore(CServiceStore& store, HashCost cost);
    CAccountStore(const CAccountStore&) = delete;
    CAccountStore& operator=(const CAccountStore&) = delete;

    // strUser must already be validated and in lower case.
    CreateResult Create(const std::string& strUser, const std::string& strPassword,
                        const std::string& strEmail);
    CheckResult Check(const std::string& strUser, const std::string& strPassword);

private:
    CServiceStore& m_store;
    unsigned long long m_nOpsLimit;
    size_t m_nMemLimit;
};
