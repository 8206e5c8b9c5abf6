#pragma once

// Reads the time stamps of web feeds into seconds since 1970-01-01 00:00 UTC. Safe in any
// thread.

#include <ctime>
#include <string_view>

// RFC 822 dates as RSS writes them, loosely: "Tue, 08 Dec 2026 02:47:26 +0100". The
// weekday is optional (and not checked), month names are English in any case and may be
// spelt out, day and month may come in either order, seconds are optional, two-digit
// years are 1950-2049 and three-digit ones count from 1900. The zone is "+hhmm" or
// "-hhmm" (a colon between is allowed), GMT, UT, UTC, Z, the North American EST, EDT,
// CST, CDT, MST, MDT, PST and PDT, or absent (UTC); other zone names count as UTC.
// 0 when the text is not such a date or a field is out of range (day 31 of a 30-day month,
// hour 24, a zone past 23:59, a time before 1970 or after 9999).
std::time_t ParseRfc822Date(std::string_view strText);

// RFC 3339 (ISO 8601) dates as Atom and Dublin Core write them:
// "2026-12-08T02:47:26.123-05:00"; the "T" may be a blank or lower case, fractions of a
// second are dropped, the zone is "Z", "+hh:mm", "+hhmm", "+hh" or absent (UTC), and a date
// alone is its midnight in UTC. 0 as for ParseRfc822Date.
std::time_t ParseRfc3339Date(std::string_view strText);

// Either form, whichever the text is in, with blanks around it ignored.
std::time_t ParseFeedDate(std::string_view strText);
