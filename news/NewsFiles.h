#pragma once

// Names of the news files in the application directory, the user's seen store, and the
// chat room's channel and topic that a headline leads to.

#include "news/FeedSource.h"
#include "util/SettingsNames.h"

#include <chrono>
#include <ctime>
#include <deque>
#include <memory_resource>
#include <string>
#include <string_view>
#include <unordered_map>

// The user's chosen sources and seen headlines: the user name as a plain prefix. Characters
// that would leave the application directory ('/', '\\', NUL) become '_'.
std::string ChosenSourcesFile(const std::string& strUser);
std::string SeenStoreFile(const std::string& strUser);
// The feeds the user added: a map file, name "<!!div!!>" feed address per line like the
// catalogue, read with LoadMapFile (a name twice: the later line).
std::string OwnSourcesFile(const std::string& strUser);

// What the user's news checks keep between runs: each feed address's HTTP validators
// (see SaveFeedValidators) and each chosen source's last result (see SaveSourceStatus).
std::string FeedValidatorsFile(const std::string& strUser);
std::string SourceStatusFile(const std::string& strUser);

// Replaces the user's own-sources file atomically with the sources in order. Every name
// is written as CleanSourceName makes it, so no name can split or end its line; a source
// whose address is not an http or https address (see WebLink) is left out, the others are
// written in WebLink's encoded form.
bool SaveOwnSources(const std::string& strUser, const CFeedSourceList& sources);

// Seen-store records older than this are dropped when the store is compacted.
constexpr std::chrono::hours SEEN_STORE_MAX_AGE{24 * 60};

// The user's seen store as a check uses it: a map file from headline to the time it was
// first kept, in decimal seconds since 1970. A later line replaces an earlier one, so a
// check appends only its new records; the file is rewritten (atomically, without replaced,
// unreadable or expired lines) only when those lines outnumber the live records. A last
// line torn by a crash reads like any other: its headline counts as seen, and its time,
// cut short, reads as unreadable or long past, so the next compaction drops it. The
// caller serialises the load and save of one store.
class CSeenStore {
public:
    // Reads the file as LoadMapFile would. Times are clamped where read: a time past now
    // reads as now (the clock went back), one that is not a plain decimal number as
    // expired.
    CSeenStore(const std::string& strUser, std::time_t now);
    CSeenStore(const CSeenStore&) = delete;
    CSeenStore& operator=(const CSeenStore&) = delete;

    // Expired records still count as seen until the store is compacted.
    bool Contains(std::string_view strHeadline) const;
    // Records a headline not seen before as seen now.
    void Add(const std::string& strHeadline);
    // Appends the added records (nothing at all when there are none; a missing file is
    // created), or compacts the file when replaced, unreadable and expired lines outnumber
    // the live records.
    bool Save() const;

private:
    bool IsLive(long long nTime) const;

    std::string m_strPath;
    std::time_t m_now;
    std::string m_strFileText;  // the keys below point into it
    // Nodes are never freed one by one: an arena saves a malloc and a free per record.
    std::pmr::monotonic_buffer_resource m_arena;
    std::pmr::unordered_map<std::string_view, long long> m_records{&m_arena};
    std::deque<std::string> m_added;  // keys of records added since loading (stable addresses)
    size_t m_nFileLines = 0;          // lines in the file, replaced and broken ones included
    size_t m_nLive = 0;               // records neither expired nor unreadable
    bool m_bFileExists = false;
};

// Whether the user's chosen-sources file has a non-empty line.
bool HasChosenSources(const std::string& strUser);

// The chat channel of a headline: "#" and the headline without "&amp;", blanks, line
// breaks, ".,()':;", "&" and other control characters, cut to 25 bytes at a character
// boundary (at the byte when the text is not UTF-8). Case, "!", "?", "-" and digits stay.
std::string ChannelNameOf(const std::string& strHeadline);

// The chat room's topic: source " - " headline, with "&amp;" turned into "&".
std::string ChatTopicOf(const std::string& strSource, const std::string& strHeadline);
