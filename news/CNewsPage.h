#pragma once

// The "General" page of the preferences sheet: the news display (font and colours, with a
// sample), the firewall, sound and notification switches, invitations as desktop
// notifications, starting with the desktop and the news check interval.

#include "news/NewsDisplay.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QLineEdit;
class QTextEdit;

class CNewsPage final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CNewsPage)

public:
    explicit CNewsPage(QWidget* pParent = nullptr);
    ~CNewsPage() override;

    // The message that tells why the interval text cannot be taken; empty when it can.
    QString IntervalError() const;
    // Says what is wrong with the interval and puts the user back on it; false then.
    bool Validate();
    // Validates, then writes the display, the switches and the interval; false (nothing
    // written) when the interval is refused.
    bool OnOK();

    const CNewsDisplay& Display() const { return m_display; }

    // The font and colour choosers: they offer the current value and call back with the
    // user's choice, or never when the user cancels. They default to the standard dialogs,
    // opened without a nested event loop; tests replace them.
    std::function<void(const QFont&, std::function<void(const QFont&)>)> m_fnChooseFont;
    std::function<void(const QColor&, std::function<void(const QColor&)>)> m_fnChooseColor;

private:
    // The interval in minutes, or the message saying why the text is not one.
    QString ReadInterval(int& nMinutes) const;
    void RenderSample();
    void OnFont();
    void ChooseColor(int CNewsDisplay::*pnColor);

    CNewsDisplay m_display;
    std::string m_strSection;
    QTextEdit* m_pSample = nullptr;
    QCheckBox* m_pFirewall = nullptr;
    QCheckBox* m_pSound = nullptr;
    QCheckBox* m_pAutostart = nullptr;
    QCheckBox* m_pAlertNotification = nullptr;
    QCheckBox* m_pNotify = nullptr;
    QLineEdit* m_pInterval = nullptr;
};
