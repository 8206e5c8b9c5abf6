#pragma once

// Small desktop services: opening URLs, named sounds and the hand cursor.

#include <string>

class QCursor;

// Opens a URL with the desktop's handler; false when none would take it.
bool ShellOpen(const std::string& strUrl);

// Plays a named system sound such as "Default Beep", best effort and without waiting;
// failures are silent.
void PlayNamedSound(const std::string& strName);

// The cursor shown over links.
QCursor HandCursor();
