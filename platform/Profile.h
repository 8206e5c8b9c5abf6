#pragma once

// The per-user settings store: named integer and string values grouped in sections,
// kept in the INI file of QSettings organisation "Talvex", application "vocalon".
//
// Readers supply the default; reading never creates a value. Strings are bytes: text
// that is valid UTF-8 is stored readably, anything else is stored as raw bytes. Any
// section name is one flat section, whatever characters it holds. The file is kept
// owner-only. Safe to call from any thread.

#include <string>

int GetProfileInt(const std::string& strSection, const std::string& strEntry, int nDefault);
std::string GetProfileString(const std::string& strSection, const std::string& strEntry,
                             const std::string& strDefault = {});
bool WriteProfileInt(const std::string& strSection, const std::string& strEntry, int nValue);
bool WriteProfileString(const std::string& strSection, const std::string& strEntry,
                        const std::string& strValue);

// Path of the settings file.
std::string ProfileFileName();
