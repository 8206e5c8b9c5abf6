#pragma once

// Windows laid out once, like the login form and the small dialogs: not resizable, no
// maximise button, with a status line that wraps within the window's width.

#include <string>

class QLabel;
class QWidget;

// Gives the window a title bar with close (and, when asked, minimise) buttons and fixes
// its size to its layout. Call after the layout is built.
void MakeFixedWindow(QWidget* pWindow, bool bMinimizeButton);

// Shows a status text in a wrapping label of a fixed window: plain text, at most
// MAX_STATUS_CHARS characters (a longer one ends in an ellipsis), and the window grows or
// shrinks in height only to fit it.
constexpr int MAX_STATUS_CHARS = 300;
void SetStatusText(QLabel* pStatus, const std::string& strText);
