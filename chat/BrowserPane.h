#pragma once

// The browser pane of the chat window: shows the article's page and reports the loading
// as it goes. Only web addresses (http, https) are loaded. Window thread only.

#include <QWidget>

#include <string>

class CBrowserPane : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CBrowserPane)

public:
    // The web engine's pane, or, when VOCALON_NO_WEBENGINE=1 (tests), a plain one that
    // loads nothing and completes each navigation on the next turn of the event loop. The
    // engine itself starts with the first page the pane loads, never at program start.
    static CBrowserPane* Create(QWidget* pParent);

    // Starts loading a web address; anything else is ignored and reports nothing.
    virtual void Navigate(const std::string& strUrl) = 0;

signals:
    // A page starts loading (or, while loading, moved on to another address).
    void BeforeNavigate(const QString& strUrl);
    // Loading progress in percent, 0 to 100.
    void ProgressChange(int nPercent);
    // The page is there (or failed to load and shows why, or moved within itself without
    // loading); the address it ended on.
    void DocumentComplete(const QString& strUrl);

protected:
    explicit CBrowserPane(QWidget* pParent) : QWidget(pParent) {}
};
