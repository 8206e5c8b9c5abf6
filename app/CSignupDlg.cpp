#include "app/CSignupDlg.h"

#include "app/ServiceRequests.h"
#include "ui/FixedWindow.h"
#include "ui/MessageBox.h"
#include "util/Settings.h"
#include "util/Version.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

constexpr int kMaxUserName = 20;

std::string Text(const QLineEdit* pEdit) { return pEdit->text().toStdString(); }

std::string LowerAscii(std::string str) {
    for (char& c : str) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return str;
}

bool IsNameChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
           c == '-';
}

}  // namespace

CSignupDlg::CSignupDlg(QWidget* pParent) : QDialog(pParent) {
    setWindowTitle("Sign up!");
    m_pUserEdit = new QLineEdit(this);
    m_pUserEdit->setObjectName("username");
    m_pUserEdit->setMaxLength(kMaxUserName);
    m_pUserEdit->installEventFilter(this);
    m_pPasswordEdit = new QLineEdit(this);
    m_pPasswordEdit->setObjectName("password");
    m_pPasswordEdit->setEchoMode(QLineEdit::Password);
    m_pPassword2Edit = new QLineEdit(this);
    m_pPassword2Edit->setObjectName("password2");
    m_pPassword2Edit->setEchoMode(QLineEdit::Password);
    m_pEmailEdit = new QLineEdit(this);
    m_pEmailEdit->setObjectName("email");
    m_pFirewallCheck = new QCheckBox("Are you behind a firewall?", this);
    m_pFirewallCheck->setObjectName("firewall");
    m_pStatus = new QLabel(PRODUCT_TITLE, this);
    m_pStatus->setObjectName("status");
    m_pStatus->setTextFormat(Qt::PlainText);
    m_pStatus->setAlignment(Qt::AlignCenter);
    m_pStatus->setWordWrap(true);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pButtons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CSignupDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CSignupDlg::reject);

    auto* pGrid = new QGridLayout(this);
    pGrid->addWidget(new QLabel("Username:", this), 0, 0);
    pGrid->addWidget(m_pUserEdit, 0, 1);
    pGrid->addWidget(new QLabel("Password:", this), 1, 0);
    pGrid->addWidget(m_pPasswordEdit, 1, 1);
    pGrid->addWidget(new QLabel("Password (again):", this), 2, 0);
    pGrid->addWidget(m_pPassword2Edit, 2, 1);
    pGrid->addWidget(new QLabel("Email:", this), 3, 0);
    pGrid->addWidget(m_pEmailEdit, 3, 1);
    pGrid->addWidget(m_pFirewallCheck, 4, 0, 1, 2);
    pGrid->addWidget(pButtons, 5, 0, 1, 2);
    pGrid->addWidget(m_pStatus, 6, 0, 1, 2);

    m_bFirewall = ReadFlag(SETTING_HAS_FIREWALL);
    m_pFirewallCheck->setChecked(m_bFirewall);
    MakeFixedWindow(this, false);
}

CSignupDlg::~CSignupDlg() = default;

void CSignupDlg::UpdateData() {
    m_strEmail = Text(m_pEmailEdit);
    m_strPassword = Text(m_pPasswordEdit);
    m_strPassword2 = Text(m_pPassword2Edit);
    m_strUsername = Text(m_pUserEdit);
    m_bFirewall = m_pFirewallCheck->isChecked();
}

std::string CSignupDlg::CheckForm(const std::string& strUser, const std::string& strPassword,
                                  const std::string& strPassword2, const std::string& strEmail) {
    std::string strMessage;
    if (strUser.size() > kMaxUserName) {
        strMessage += "You username must be 20 characters or less.\n";
    }
    for (char c : strUser) {
        if (!IsNameChar(c)) {
            strMessage += "You username cannot contain special characters or spaces.\n";
            break;
        }
    }
    if (strPassword != strPassword2) {
        strMessage += "You did passwords don't match.\n";
    }
    if (strEmail.find('@') == std::string::npos || strEmail.size() < 7) {
        strMessage += "You did not enter a valid email.\n";
    }
    if (strUser.empty()) {
        strMessage += "You did not enter a username.\n";
    }
    if (strPassword.empty()) {
        strMessage += "You did not enter a password.\n";
    }
    return strMessage;
}

void CSignupDlg::accept() {
    UpdateData();
    m_strUsername = LowerAscii(m_strUsername);
    m_strEmail = LowerAscii(m_strEmail);
    m_pUserEdit->setText(QString::fromStdString(m_strUsername));
    m_pEmailEdit->setText(QString::fromStdString(m_strEmail));
    std::string strMessage = CheckForm(m_strUsername, m_strPassword, m_strPassword2, m_strEmail);
    if (!strMessage.empty()) {
        OpenMessageBox(this, QMessageBox::Information, "Sign up!",
                       QString::fromStdString(strMessage));
        return;
    }
    // The dialog stays open; every press of OK sends another request.
    StartSignupThread(SignupRequest{m_handle.Handle(), m_strUsername, m_strPassword, m_strEmail});
    SetStatusText(m_pStatus, "Connecting with server...");
    WriteSetting(SETTING_HAS_FIREWALL, m_bFirewall ? 1 : 0);
}

bool CSignupDlg::event(QEvent* pEvent) {
    auto* pApp = dynamic_cast<CAppEvent*>(pEvent);
    if (pApp && pApp->Message() == UM_SIGNUP_RESULT) {
        OnSignupResult(WParamOf<UM_SIGNUP_RESULT>(*pApp), LParamOf<UM_SIGNUP_RESULT>(*pApp));
        return true;
    }
    return QDialog::event(pEvent);
}

void CSignupDlg::OnSignupResult(const std::string& strCode, const std::string& strText) {
    UpdateData();
    if (strCode == RESULT_UNKNOWN_USER || strCode == RESULT_NAME_REFUSED ||
        strCode == RESULT_SERVER_ERROR) {
        m_pUserEdit->setFocus();
        SetStatusText(m_pStatus, strText);
    } else if (strCode == RESULT_OK) {
        SetStatusText(m_pStatus, "Success!");
        m_strUsername = LowerAscii(m_strUsername);
        QDialog::accept();
    }
}

bool CSignupDlg::eventFilter(QObject* pWatched, QEvent* pEvent) {
    // The edit refuses a 21st character; say why.
    if (pWatched == m_pUserEdit && pEvent->type() == QEvent::KeyPress) {
        auto* pKey = static_cast<QKeyEvent*>(pEvent);
        if (!pKey->text().isEmpty() && pKey->text().at(0).isPrint() &&
            !m_pUserEdit->hasSelectedText() && m_pUserEdit->text().size() >= kMaxUserName) {
            OpenMessageBox(this, QMessageBox::Information, "Sign up!",
                           "A username can only be 8 characters with no spaces.");
            return true;
        }
    }
    return QDialog::eventFilter(pWatched, pEvent);
}
