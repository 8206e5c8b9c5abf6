#pragma once

// The contract between the chat window's browser pane and the web engine. The engine lives
// in a module of its own (vocalon_webview), loaded with the first page a chat window shows:
// until then the program neither maps the engine nor the OpenGL stack it brings, which
// would otherwise more than double the memory of a client idling in the tray. Both sides
// use only this header and Qt Widgets. Window thread only.

#include <functional>
#include <string>

class QString;
class QWidget;

// What the view reports, and the one question it asks.
struct CWebViewEvents {
    // Whether the view may go to this address; asked for every navigation.
    std::function<bool(const std::string&)> fnAccept;
    // A page starts loading, or the page moved on to another address.
    std::function<void(const QString&)> fnStarted;
    // Loading progress, 0 to 100.
    std::function<void(int)> fnProgress;
    // The page is there, or failed to load and shows why; the address it ended on.
    std::function<void(const QString&)> fnFinished;
};

class CWebView {
public:
    virtual ~CWebView() = default;
    // The view's widget, a child of the parent it was made with, which owns it (and with
    // it this object).
    virtual QWidget* Widget() = 0;
    virtual void Load(const std::string& strUrl) = 0;
};

// The module's one entry point, exported unmangled under this name.
constexpr const char* WEBVIEW_ENTRY = "VocalonCreateWebView";
using WebViewFactory = CWebView* (*)(QWidget* pParent, const CWebViewEvents* pEvents);
