#include "app/CNewVersionDlg.h"

#include "ui/FixedWindow.h"
#include "util/Settings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CNewVersionDlg::CNewVersionDlg(QWidget* pParent) : QDialog(pParent) {
    setWindowTitle("New version notification");
    auto* pText = new QLabel("There is a new version of the Vocalon! Click below to get it.", this);
    pText->setAlignment(Qt::AlignCenter);
    pText->setWordWrap(true);
    auto* pDownload = new QPushButton("Download now!", this);
    pDownload->setObjectName("download");
    pDownload->setDefault(true);
    auto* pLater = new QPushButton("Remind me later.", this);
    pLater->setObjectName("later");
    auto* pNever = new QPushButton("Don't bother me!", this);
    pNever->setObjectName("never");
    connect(pDownload, &QPushButton::clicked, this, &QDialog::accept);
    connect(pLater, &QPushButton::clicked, this, &QDialog::reject);
    connect(pNever, &QPushButton::clicked, this, [this] {
        WriteSetting(SETTING_DO_NOT_BOTHER_ME, 1);
        reject();
    });

    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(pDownload);
    pButtons->addWidget(pLater);
    pButtons->addWidget(pNever);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pText);
    pLayout->addLayout(pButtons);
    MakeFixedWindow(this, false);
}
