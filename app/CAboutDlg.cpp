#include "app/CAboutDlg.h"

#include "platform/ResourceIds.h"
#include "platform/Shell.h"
#include "util/Config.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

const char* const STR_ABOUT_TEXT =
    "Vocalon v2.0\n"
    "Built " __DATE__ "\n\n"
    "Your news, a chat room for every headline, and friends who drop in.\n\n"
    "Copyright Talvex. All rights reserved.";

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent) {
    setWindowTitle("About us");
    QIcon icon = LoadAppIcon(IDI_MAIN);
    setWindowIcon(icon);

    auto* pIcon = new QLabel(this);
    pIcon->setPixmap(icon.pixmap(32, 32));
    auto* pText = new QPlainTextEdit(QString::fromUtf8(STR_ABOUT_TEXT), this);
    pText->setObjectName("text");
    pText->setReadOnly(true);
    const std::string strSite = ProductWebSite();
    auto* pVisit = new QPushButton(QString::fromStdString("Visit " + strSite), this);
    pVisit->setObjectName("visit");
    connect(pVisit, &QPushButton::clicked, [strSite] { ShellOpen(strSite); });
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* pGrid = new QGridLayout(this);
    pGrid->addWidget(pIcon, 0, 0, Qt::AlignTop);
    pGrid->addWidget(pText, 0, 1);
    pGrid->addWidget(pVisit, 1, 0, 1, 2);
    pGrid->addWidget(pButtons, 2, 0, 1, 2);
    resize(380, 240);
}
