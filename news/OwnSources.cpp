#include "news/OwnSources.h"

#include "news/NewsFiles.h"
#include "news/WebLinks.h"
#include "util/AppFiles.h"
#include "util/Strings.h"

#include <QString>
#include <QUrl>

namespace {

std::string CanonicalAddress(const std::string& strAddress) {
    return WebLink(QUrl(), QString::fromStdString(strAddress));
}

std::set<std::string> TakenNames(const std::string& strUser) {
    std::set<std::string> taken;
    CStringMap catalogue;
    LoadMapFile(CATALOGUE_FILE, catalogue);
    for (const auto& [strName, strAddress] : catalogue) {
        taken.insert(strName);
    }
    for (const CFeedSource& source : LoadOwnSources(strUser)) {
        taken.insert(source.strName);
    }
    return taken;
}

}  // namespace

CFeedSourceList LoadOwnSources(const std::string& strUser) {
    CStringMap own;
    LoadMapFile(OwnSourcesFile(strUser), own);
    CFeedSourceList sources;
    for (auto& [strName, strAddress] : own) {
        // A hand-edited line may hold anything: only what could have been written stays.
        const std::string strLink = CanonicalAddress(strAddress);
        if (!strName.empty() && !strLink.empty() && CleanSourceName(strName) == strName) {
            sources.push_back({strName, strLink});
        }
    }
    return sources;
}

CSourceDirectory LoadSourceDirectory(const std::string& strUser) {
    CStringMap catalogue;
    LoadMapFile(CATALOGUE_FILE, catalogue);
    CSourceDirectory directory;
    for (auto& [strName, strAddress] : catalogue) {
        directory[strName] = {std::move(strAddress), false};
    }
    for (CFeedSource& source : LoadOwnSources(strUser)) {
        directory[source.strName] = {std::move(source.strAddress), true};
    }
    return directory;
}

std::string UniqueSourceName(const std::string& strName, const std::string& strAddress,
                             const std::set<std::string>& taken) {
    std::string strBase = CleanSourceName(strName);
    if (strBase.empty()) {
        strBase = CleanSourceName(QUrl(QString::fromStdString(strAddress)).host().toStdString());
    }
    if (strBase.empty()) {
        strBase = "Feed";
    }
    if (!taken.count(strBase)) {
        return strBase;
    }
    for (size_t n = 2;; ++n) {
        const std::string strSuffix = " (" + std::to_string(n) + ")";
        std::string strHead = strBase;
        if (strHead.size() + strSuffix.size() > MAX_SOURCE_NAME) {
            strHead =
                CleanSourceName(CutAtCharBoundary(strBase, MAX_SOURCE_NAME - strSuffix.size()));
        }
        if (!taken.count(strHead + strSuffix)) {
            return strHead + strSuffix;
        }
    }
}

COwnSourcesChange AddOwnSources(const std::string& strUser, const CFeedSourceList& sources) {
    COwnSourcesChange change;
    CFeedSourceList own = LoadOwnSources(strUser);
    std::set<std::string> taken = TakenNames(strUser);
    std::map<std::string, std::string> nameOfAddress;
    for (const CFeedSource& source : own) {
        nameOfAddress[source.strAddress] = source.strName;
    }
    for (const CFeedSource& source : sources) {
        const std::string strAddress = CanonicalAddress(source.strAddress);
        if (strAddress.empty()) {
            change.names.emplace_back();
            continue;
        }
        auto [it, bNew] = nameOfAddress.try_emplace(strAddress);
        if (bNew) {
            it->second = UniqueSourceName(source.strName, strAddress, taken);
            taken.insert(it->second);
            own.push_back({it->second, strAddress});
            ++change.nAdded;
        }
        change.names.push_back(it->second);
    }
    change.bSaved = change.nAdded == 0 || SaveOwnSources(strUser, own);
    return change;
}

bool RemoveOwnSources(const std::string& strUser, const std::set<std::string>& names) {
    CFeedSourceList own = LoadOwnSources(strUser);
    const size_t nBefore = own.size();
    std::erase_if(own, [&](const CFeedSource& source) { return names.count(source.strName); });
    return own.size() == nBefore || SaveOwnSources(strUser, own);
}

bool ChooseSources(const std::string& strUser, const std::vector<std::string>& names) {
    std::vector<std::string> chosen;
    LoadListFile(ChosenSourcesFile(strUser), chosen);
    std::set<std::string> present(chosen.begin(), chosen.end());
    const size_t nBefore = chosen.size();
    for (const std::string& strName : names) {
        if (!strName.empty() && present.insert(strName).second) {
            chosen.push_back(strName);
        }
    }
    return chosen.size() == nBefore || SaveListFile(ChosenSourcesFile(strUser), chosen);
}

CFeedSourceList ChosenFeedSources(const std::string& strUser) {
    const CSourceDirectory directory = LoadSourceDirectory(strUser);
    std::vector<std::string> chosen;
    LoadListFile(ChosenSourcesFile(strUser), chosen);
    std::set<std::string> seen;
    CFeedSourceList sources;
    for (const std::string& strName : chosen) {
        auto it = directory.find(strName);
        if (it != directory.end() && seen.insert(strName).second) {
            sources.push_back({strName, it->second.strAddress});
        }
    }
    return sources;
}
