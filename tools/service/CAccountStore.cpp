#include "CAccountStore.h"

#include <sodium.h>

bool CAccountStore::InitHashing(std::string& strError) {
    if (sodium_init() < 0) {
        strError = "libsodium could not be initialised";
        return false;
    }
    return true;
}

CAccountStore::CAccountStore(CServiceStore& store, HashCost cost)
    : m_store(store),
      m_nOpsLimit(cost == HashCost::Min ? crypto_pwhash_OPSLIMIT_MIN
                                        : crypto_pwhash_OPSLIMIT_INTERACTIVE),
      m_nMemLimit(cost == HashCost::Min ? crypto_pwhash_MEMLIMIT_MIN
                                        : crypto_pwhash_MEMLIMIT_INTERACTIVE) {}

CAccountStore::CreateResult CAccountStore::Create(const std::string& strUser,
                                                  const std::string& strPassword,
                                                  const std::string& strEmail) {
    // A taken name is answered without the cost of a hash.
    std::string strExisting;
    if (!m_store.LookUpHash(strUser, strExisting)) {
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
    // Someone, maybe through another service process, may have taken the name while the
    // hash was being computed: the store's key decides.
    switch (m_store.InsertAccount(strUser, szHash, strEmail)) {
        case CServiceStore::InsertResult::Inserted: return CreateResult::Created;
        case CServiceStore::InsertResult::Exists: return CreateResult::NameTaken;
        case CServiceStore::InsertResult::Failed: break;
    }
    return CreateResult::Failed;
}

CAccountStore::CheckResult CAccountStore::Check(const std::string& strUser,
                                                const std::string& strPassword) {
    std::string strHash;
    if (!m_store.LookUpHash(strUser, strHash)) {
        return CheckResult::Failed;
    }
    if (strHash.empty()) {
        return CheckResult::UnknownUser;
    }
    return crypto_pwhash_str_verify(strHash.c_str(), strPassword.data(), strPassword.size()) == 0
               ? CheckResult::Ok
               : CheckResult::WrongPassword;
}
