#pragma once

// Window places kept in the settings store as four integers: prefix + "x", "y", "cx", "cy"
// (for example "past_news_x"). Geometry is the client rectangle on the screen.

#include <QList>
#include <QRect>

class QWidget;

#include <string>

// The stored rectangle; each absent value takes the one of rcDefault. Values are clamped
// to sane ranges (a size of at least one pixel and at most a few screens).
QRect LoadWindowRect(const std::string& strSection, const std::string& strPrefix,
                     const QRect& rcDefault);
// Writes the four values at once.
void SaveWindowRect(const std::string& strSection, const std::string& strPrefix, const QRect& rect);

// The rectangle, moved (and shrunk if need be) onto the nearest of the screens when it
// lies on none of them, as after a monitor was unplugged. The second form uses the
// desktop's screens' work areas.
QRect FitOnScreens(const QRect& rect, const QList<QRect>& screens);
QRect FitOnScreens(const QRect& rect);

// Whether the program may put its windows where it likes: not under Wayland, where the
// compositor places them (and cannot say where the pointer is outside them).
bool WindowsCanBePlaced();

// Brings an open window to the front and returns true; false when there is none, so the
// caller opens one: windows opened once are raised when asked for again.
bool RaiseIfOpen(QWidget* pWindow);
