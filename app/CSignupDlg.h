#pragma once

// The sign-up dialog: checks a new account's details, sends the registration request and,
// on success, ends with OK holding the registered user name (lower case) and password.

#include "platform/AppEvent.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;

class CSignupDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CSignupDlg)

public:
    explicit CSignupDlg(QWidget* pParent = nullptr);
    ~CSignupDlg() override;

    CWindowHandle Handle() const { return m_handle.Handle(); }
    const std::string& UserName() const { return m_strUsername; }
    const std::string& Password() const { return m_strPassword; }

    // The message of every failed check, one per line in the order the user reads them;
    // empty when the form may be sent. The user name is expected in lower case.
    static std::string CheckForm(const std::string& strUser, const std::string& strPassword,
                                 const std::string& strPassword2, const std::string& strEmail);

protected:
    void accept() override;
    bool event(QEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void UpdateData();
    void OnSignupResult(const std::string& strCode, const std::string& strText);

    CHandleRegistration m_handle{this};
    QLabel* m_pStatus = nullptr;
    QLineEdit* m_pUserEdit = nullptr;
    QLineEdit* m_pPasswordEdit = nullptr;
    QLineEdit* m_pPassword2Edit = nullptr;
    QLineEdit* m_pEmailEdit = nullptr;
    QCheckBox* m_pFirewallCheck = nullptr;
    std::string m_strEmail;
    std::string m_strPassword;
    std::string m_strPassword2;
    std::string m_strUsername;
    bool m_bFirewall = false;
};
