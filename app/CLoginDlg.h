#pragma once

// The login window: the main window for the whole life of the process.

#include "platform/AppEvent.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CLoginDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CLoginDlg)

public:
    explicit CLoginDlg(QWidget* pParent = nullptr);
    ~CLoginDlg() override;

    CWindowHandle Handle() const { return m_handle.Handle(); }

    // Shows the window and runs until it ends; the rest of the program lives inside.
    int DoModal();

    std::string m_strSection = "Prefs";

protected:
    void reject() override {}
    void accept() override {}
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void BuildForm();

    CHandleRegistration m_handle{this};
    QLineEdit* m_pUserEdit = nullptr;
    QLineEdit* m_pPasswordEdit = nullptr;
    QCheckBox* m_pAutoLoginCheck = nullptr;
    QCheckBox* m_pFirewallCheck = nullptr;
    QPushButton* m_pLoginButton = nullptr;
    QPushButton* m_pCancelButton = nullptr;
    QLabel* m_pLink = nullptr;
    QLabel* m_pStatus = nullptr;
};
