#pragma once

// Small desktop services: opening URLs, the sound theme's events and the hand cursor.

#include <functional>
#include <string>

class QCursor;

// Opens a URL with the desktop's handler; false when none would take it.
bool ShellOpen(const std::string& strUrl);

// Plays a named sound such as "Default Beep" as the event of the desktop's sound theme it
// stands for (SoundEventOf), best effort: on a worker thread, one sound at a time (a sound
// asked for while one plays is dropped), given up after a few seconds; without a sound
// server it fails quietly. Never waits.
void PlayNamedSound(const std::string& strName);

// The sound theme's event for a named sound: "Default Beep", the program's news and
// invitation sound, is "message-new-instant"; any other name is "bell".
std::string SoundEventOf(const std::string& strName);

// Replaces what plays a sound event (tests record the events instead) and returns what it
// replaced; an empty function restores the desktop's player. Window thread.
using SoundEventPlayer = std::function<void(const std::string& strEventId)>;
SoundEventPlayer SetSoundEventPlayer(SoundEventPlayer player);

// The cursor shown over links.
QCursor HandCursor();
