#pragma once

// What the news checks learn about each source and keep between runs: the last result of
// every chosen source, shown in the sources list and counted in the news window, and the
// HTTP validators of every feed address, sent back so that an unchanged feed costs a short
// answer. Both are map files of the application directory, one line per source or
// address; lines that cannot be read are skipped and numbers are clamped where read. Safe
// in any thread; the caller serialises the writers of one user's files.

#include "util/Net.h"

#include <ctime>
#include <map>
#include <string>

enum class ESourceResult {
    Unknown,      // not checked yet
    Ok,           // read: nItems items
    NotModified,  // the server said it has not changed since the last read (nItems then)
    HttpError,    // an HTTP status other than 200 and 304: nHttpStatus
    TimedOut,     // no answer within the download's deadlines
    NoAnswer,     // no answer: strDetail says why
    NotAFeed,     // strDetail: the reader's text ("not a feed: an HTML page")
    BadXml,       // strDetail: the reader's text ("XML error at line 3: ...")
};

struct CSourceStatus {
    ESourceResult result = ESourceResult::Unknown;
    int nHttpStatus = 0;
    size_t nItems = 0;
    std::string strDetail;    // one line of at most MAX_STATUS_DETAIL bytes
    std::time_t lastNew = 0;  // when a headline of it was last new; 0: never yet

    // Whether the last check could not read it.
    bool Failed() const;
    // For people: "ok, 12 items", "unchanged, 12 items", "HTTP 404", "timed out",
    // "no answer: Couldn't connect to server", "not a feed: an HTML page", "XML error ...".
    std::string Text() const;

    bool operator==(const CSourceStatus&) const = default;
};

constexpr size_t MAX_STATUS_DETAIL = 300;

// By source name.
using CSourceStatusMap = std::map<std::string, CSourceStatus>;

// How many of the sources failed.
size_t FailedCount(const CSourceStatusMap& statuses);

CSourceStatusMap LoadSourceStatus(const std::string& strUser);
// Replaces the user's status file with these sources' lines.
bool SaveSourceStatus(const std::string& strUser, const CSourceStatusMap& statuses);

// By feed address.
using CFeedValidatorsMap = std::map<std::string, CHttpValidators>;

// Validators read back are one line each within MAX_HTTP_VALIDATOR, or dropped.
CFeedValidatorsMap LoadFeedValidators(const std::string& strUser);
// Replaces the user's validators file; addresses without validators are left out.
bool SaveFeedValidators(const std::string& strUser, const CFeedValidatorsMap& validators);
