#pragma once

// Starting with the desktop: the XDG autostart entry "autostart/vocalon.desktop" in the
// user's configuration directory ($XDG_CONFIG_HOME, else ~/.config). The entry starts the
// given program in the given working directory, so the news files stay where they are.

#include <string>

// Where the entry lives.
std::string AutostartFile();
// Whether the entry is there.
bool IsAutostartOn();
// Writes the entry (making the directory as needed) or removes it; false when that failed.
bool SetAutostart(bool bOn, const std::string& strProgram, const std::string& strWorkDir);
