#pragma once

// The "Chat" page of the preferences sheet: how the chat windows show lines, whether a
// message that names the user brings a notification, and how the connections behave. It reads and
// writes the user's settings only; open chat windows take them up when the sheet closes with OK,
// the connections at their next attempt.

#include <QWidget>

#include <string>

class QCheckBox;

class CChatPage final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CChatPage)

public:
    explicit CChatPage(QWidget* pParent = nullptr);
    ~CChatPage() override;

    // Writes the switches to the user's settings.
    void OnOK();

private:
    std::string m_strSection;
    QCheckBox* m_pTimestamps = nullptr;
    QCheckBox* m_pNotify = nullptr;
    QCheckBox* m_pReconnect = nullptr;
    QCheckBox* m_pTls = nullptr;
};
