#pragma once

// Reads the feeds' time stamps: "Mon D YYYY H:MMAM" (or PM, or a 24-hour "H:MM"), in
// universal time. Safe in any thread.

#include <ctime>
#include <string>

// Seconds since 1970-01-01 00:00 UTC, or 0 when the text does not split into the five
// parts month, day, year, hour and minute. Out-of-range fields carry into their
// neighbours (hour 25 is 1 AM of the next day).
std::time_t ParseFeedTime(const std::string& strText);
