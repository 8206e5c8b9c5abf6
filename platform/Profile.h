#pragma once

// The per-user settings store: named integer and string values grouped in sections,
// kept in the INI file of QSettings organisation "Talvex", application "vocalon".
//
// Readers supply the default, which is also what a value of the wrong kind reads as (a
// damaged file); reading never creates a value. Strings are bytes: text that is valid
// UTF-8 is stored readably, anything else is stored as raw bytes. Any section name is one
// flat section, whatever characters it holds. The file is kept owner-only. Safe to call
// from any thread.

#include <memory>
#include <string>

class QSettings;

int GetProfileInt(const std::string& strSection, const std::string& strEntry, int nDefault);
std::string GetProfileString(const std::string& strSection, const std::string& strEntry,
                             const std::string& strDefault = {});
bool WriteProfileInt(const std::string& strSection, const std::string& strEntry, int nValue);
bool WriteProfileString(const std::string& strSection, const std::string& strEntry,
                        const std::string& strValue);
// Takes the entry out of the file; true when it is not there (any more).
bool RemoveProfileEntry(const std::string& strSection, const std::string& strEntry);

// A stored integer clamped to [nMin, nMax]: numbers from the file go into arithmetic.
int GetProfileIntInRange(const std::string& strSection, const std::string& strEntry, int nDefault,
                         int nMin, int nMax);

// Gathers this thread's writes while it lives and writes the file once at its end, so one
// logical change (a window rectangle, a login, a page's OK) costs one rewrite. Batches
// nest; the outermost one writes. Reads in between see the new values.
class CProfileBatch final {
public:
    CProfileBatch();
    ~CProfileBatch();
    CProfileBatch(const CProfileBatch&) = delete;
    CProfileBatch& operator=(const CProfileBatch&) = delete;

private:
    std::unique_ptr<QSettings> m_pStore;
};

// Path of the settings file.
std::string ProfileFileName();
