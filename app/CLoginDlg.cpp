#include "app/CLoginDlg.h"

#include "platform/ResourceIds.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CLoginDlg::CLoginDlg(QWidget* pParent) : QDialog(pParent) {
    setWindowTitle("Vocalon");
    setWindowIcon(LoadAppIcon(IDI_MAIN));
    setModal(false);
    BuildForm();
}

CLoginDlg::~CLoginDlg() = default;

void CLoginDlg::BuildForm() {
    auto* pGrid = new QGridLayout(this);
    m_pUserEdit = new QLineEdit(this);
    m_pPasswordEdit = new QLineEdit(this);
    m_pPasswordEdit->setEchoMode(QLineEdit::Password);
    m_pAutoLoginCheck = new QCheckBox("Auto login", this);
    m_pFirewallCheck = new QCheckBox("Firewall?", this);
    m_pLoginButton = new QPushButton("Login", this);
    m_pLoginButton->setDefault(true);
    m_pCancelButton = new QPushButton("Cancel", this);
    m_pCancelButton->setEnabled(false);
    m_pLink = new QLabel("Need To Register? Click Here!", this);
    m_pLink->setAlignment(Qt::AlignCenter);
    m_pStatus = new QLabel("Vocalon v2.0", this);
    m_pStatus->setAlignment(Qt::AlignCenter);

    pGrid->addWidget(new QLabel("Username:", this), 0, 0);
    pGrid->addWidget(m_pUserEdit, 0, 1, 1, 2);
    pGrid->addWidget(new QLabel("Password:", this), 1, 0);
    pGrid->addWidget(m_pPasswordEdit, 1, 1, 1, 2);
    pGrid->addWidget(m_pAutoLoginCheck, 2, 1);
    pGrid->addWidget(m_pFirewallCheck, 2, 2);
    pGrid->addWidget(m_pLoginButton, 3, 1);
    pGrid->addWidget(m_pCancelButton, 3, 2);
    pGrid->addWidget(m_pLink, 4, 0, 1, 3);
    pGrid->addWidget(m_pStatus, 5, 0, 1, 3);
}

int CLoginDlg::DoModal() {
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    show();
    loop.exec();
    return result();
}

void CLoginDlg::closeEvent(QCloseEvent* pEvent) {
    pEvent->accept();
    done(QDialog::Accepted);
}
