#include "news/CPrefSheet.h"

#include "gui/ResourceIds.h"
#include "news/CChatPage.h"
#include "news/CFeedsPage.h"
#include "news/CNewsPage.h"
#include "platform/Profile.h"

#include <QDialogButtonBox>
#include <QIcon>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int kFeedsTab = 0;
constexpr int kNewsTab = 1;
constexpr int kChatTab = 2;

}  // namespace

CPrefSheet::CPrefSheet(QWidget* pParent) : QDialog(pParent) {
    setWindowTitle("Prefs");
    setWindowIcon(LoadAppIcon(IDI_MAIN));

    m_pTabs = new QTabWidget(this);
    m_pTabs->setObjectName("tabs");
    m_pFeedsPage = new CFeedsPage(m_pTabs);
    m_pNewsPage = new CNewsPage(m_pTabs);
    m_pTabs->insertTab(kFeedsTab, m_pFeedsPage, "Sources");
    m_pTabs->insertTab(kNewsTab, m_pNewsPage, "General");
    m_pChatPage = new CChatPage(m_pTabs);
    m_pTabs->insertTab(kChatTab, m_pChatPage, "Chat");
    m_pTabs->setCurrentIndex(kFeedsTab);
    m_nCurrent = kFeedsTab;
    connect(m_pTabs, &QTabWidget::currentChanged, this, &CPrefSheet::OnCurrentChanged);

    auto* pButtons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    pButtons->button(QDialogButtonBox::Ok)->setObjectName("ok");
    pButtons->button(QDialogButtonBox::Ok)->setDefault(true);
    pButtons->button(QDialogButtonBox::Cancel)->setObjectName("cancel");
    // No page ever reports a pending change, so there is never anything to apply.
    pButtons->button(QDialogButtonBox::Apply)->setObjectName("apply");
    pButtons->button(QDialogButtonBox::Apply)->setEnabled(false);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CPrefSheet::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CPrefSheet::reject);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pTabs);
    pLayout->addWidget(pButtons);
}

CPrefSheet::~CPrefSheet() = default;

void CPrefSheet::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    OnCurrentChanged(m_pTabs->currentIndex());
}

void CPrefSheet::OnCurrentChanged(int nIndex) {
    // Leaving "General" with an interval it refuses puts the user back there.
    if (m_nCurrent == kNewsTab && nIndex != kNewsTab && !m_pNewsPage->IntervalError().isEmpty()) {
        {
            const QSignalBlocker blocker(m_pTabs);
            m_pTabs->setCurrentIndex(kNewsTab);
        }
        m_pNewsPage->Validate();
        return;
    }
    m_nCurrent = nIndex;
    if (nIndex == kFeedsTab) {
        m_bFeedsShown = true;
    } else if (nIndex == kNewsTab) {
        m_bNewsShown = true;
    } else if (nIndex == kChatTab) {
        m_bChatShown = true;
    }
}

void CPrefSheet::accept() {
    // Checked before any page writes, so a refused OK leaves every setting as it was.
    if (m_bNewsShown && !m_pNewsPage->IntervalError().isEmpty()) {
        {
            const QSignalBlocker blocker(m_pTabs);
            m_pTabs->setCurrentIndex(kNewsTab);
        }
        m_nCurrent = kNewsTab;
        m_pNewsPage->Validate();
        return;
    }
    {
        CProfileBatch batch;
        if (m_bFeedsShown) {
            m_pFeedsPage->OnOK();
        }
        if (m_bNewsShown && !m_pNewsPage->OnOK()) {
            return;
        }
        if (m_bChatShown) {
            m_pChatPage->OnOK();
        }
    }
    QDialog::accept();
}
