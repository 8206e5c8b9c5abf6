#include "app/CAboutDlg.h"

#include "gui/ResourceIds.h"
#include "gui/Shell.h"
#include "ui/FixedWindow.h"
#include "util/Config.h"
#include "util/Version.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

constexpr int kIconSize = 32;  // the program's icon beside the text
// Room for the text without a scroll bar.
constexpr int kTextMinWidth = 300;
constexpr int kTextMinHeight = 150;

QString AboutText() {
    // The compiler pads one-digit days with a blank ("Dec  7 2026").
    const QString strBuilt = QString::fromLatin1(__DATE__).simplified();
    return QString(PRODUCT_TITLE) + "\nBuilt " + strBuilt +
           "\n\nYour news, a chat room for every headline, and friends who drop in.\n\n"
           "Copyright Talvex. All rights reserved.";
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent) {
    setWindowTitle("About us");
    QIcon icon = LoadAppIcon(IDI_MAIN);
    setWindowIcon(icon);

    auto* pIcon = new QLabel(this);
    pIcon->setPixmap(icon.pixmap(kIconSize, kIconSize));
    auto* pText = new QPlainTextEdit(AboutText(), this);
    pText->setMinimumSize(kTextMinWidth, kTextMinHeight);
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
    MakeFixedWindow(this, false);
}
