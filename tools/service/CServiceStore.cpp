#include "CServiceStore.h"

#include "CPgStore.h"
#include "CSqliteStore.h"

#include <algorithm>

bool IsPostgresLocation(const std::string& strLocation) {
    for (const char* szScheme : {"postgresql://", "postgres://"}) {
        if (strLocation.rfind(szScheme, 0) == 0) {
            return true;
        }
    }
    // key=value words: the first word's key is a lower-case name.
    size_t nStart = strLocation.find_first_not_of(' ');
    size_t nEq = strLocation.find('=');
    return nStart != std::string::npos && nEq != std::string::npos && nEq > nStart &&
           std::all_of(strLocation.begin() + static_cast<std::ptrdiff_t>(nStart),
                       strLocation.begin() + static_cast<std::ptrdiff_t>(nEq),
                       [](char c) { return (c >= 'a' && c <= 'z') || c == '_'; });
}

std::unique_ptr<CServiceStore> OpenServiceStore(const std::string& strLocation,
                                                std::string& strError) {
    if (IsPostgresLocation(strLocation)) {
        auto pStore = std::make_unique<CPgStore>();
        return pStore->Open(strLocation, strError) ? std::move(pStore) : nullptr;
    }
    auto pStore = std::make_unique<CSqliteStore>();
    return pStore->Open(strLocation, strError) ? std::move(pStore) : nullptr;
}
