#pragma once

// Window places kept in the settings store as four integers: prefix + "x", "y", "cx", "cy"
// (for example "past_news_x"). Geometry is the client rectangle on the screen.

#include <QRect>

#include <string>

// The stored rectangle; each absent value takes the one of rcDefault.
QRect LoadWindowRect(const std::string& strSection, const std::string& strPrefix,
                     const QRect& rcDefault);
void SaveWindowRect(const std::string& strSection, const std::string& strPrefix,
                    const QRect& rect);
