#pragma once

// The sources a user can choose: the service's catalogue (CATALOGUE_FILE, shared by every
// user) and the feeds the user added (OwnSourcesFile), and the changes the sources page
// and the command line make to them. Reads and writes files of the application directory;
// safe in any thread, but two writers of one user's files are not serialised.
//
// Names are unique across both: an added feed whose name the catalogue or another own
// source already has becomes "name (2)", "name (3)" ... A catalogue that later gains the
// name of an own source does not take it over: the own source keeps the name, and the
// catalogue's source of that name cannot be chosen while it exists.

#include "news/FeedSource.h"

#include <map>
#include <set>
#include <string>
#include <vector>

struct CSourceEntry {
    std::string strAddress;
    bool bOwn = false;

    bool operator==(const CSourceEntry&) const = default;
};

// Every source the user can choose, by name.
using CSourceDirectory = std::map<std::string, CSourceEntry>;

// The user's own sources, in name order.
CFeedSourceList LoadOwnSources(const std::string& strUser);

// The catalogue and the user's own sources together.
CSourceDirectory LoadSourceDirectory(const std::string& strUser);

// strName (as CleanSourceName makes it; the address's host when nothing is left of it) if
// taken does not hold it, else the first of "name (2)", "name (3)" ... that it does not.
std::string UniqueSourceName(const std::string& strName, const std::string& strAddress,
                             const std::set<std::string>& taken);

struct COwnSourcesChange {
    bool bSaved = false;
    // For every source given, in order, the name under which it is now an own source:
    // its own, made unique, or that of the own source that already had its address.
    // Empty for a source whose address is not an http or https address.
    std::vector<std::string> names;
    size_t nAdded = 0;  // sources that were not own sources before
};

// Adds the sources to the user's own ones and saves them (nothing is written when none is
// new). Addresses are compared in WebLink's form; a source whose address is an own
// source's, or met before in the list, is not added twice.
COwnSourcesChange AddOwnSources(const std::string& strUser, const CFeedSourceList& sources);

// Removes the own sources of these names; false when the file could not be written.
bool RemoveOwnSources(const std::string& strUser, const std::set<std::string>& names);

// Appends the names the user has not chosen yet to the chosen-sources file, in order.
bool ChooseSources(const std::string& strUser, const std::vector<std::string>& names);

// The user's chosen sources that can be found, in the file's order (each name once),
// with their addresses.
CFeedSourceList ChosenFeedSources(const std::string& strUser);
