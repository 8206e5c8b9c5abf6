#include "news/CFeedsPage.h"

#include "hub/CMainWindow.h"
#include "news/NewsFiles.h"
#include "util/AppFiles.h"
#include "util/Strings.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <set>
#include <utility>

namespace {

// Names are bytes; the item keeps them exactly, whatever its display text makes of them.
constexpr int kNameRole = Qt::UserRole;

std::string NameOf(const QListWidgetItem* pItem) {
    return pItem->data(kNameRole).toByteArray().toStdString();
}

QListWidgetItem* MakeItem(const std::string& strName) {
    auto* pItem = new QListWidgetItem(QString::fromStdString(strName));
    pItem->setData(kNameRole, QByteArray::fromStdString(strName));
    return pItem;
}

// After any entries equal but for case, so the order is the one SortStrings gives.
void InsertSorted(QListWidget* pList, const std::string& strName) {
    int nLow = 0;
    int nHigh = pList->count();
    while (nLow < nHigh) {
        const int nMid = nLow + (nHigh - nLow) / 2;
        if (CompareNoCase(NameOf(pList->item(nMid)), strName) <= 0) {
            nLow = nMid + 1;
        } else {
            nHigh = nMid;
        }
    }
    pList->insertItem(nLow, MakeItem(strName));
}

// Fills an empty list: sorted once, then appended, as a catalogue can hold many thousands.
void FillSorted(QListWidget* pList, std::vector<std::string> names) {
    SortStrings(names);
    for (const std::string& strName : names) {
        pList->addItem(MakeItem(strName));
    }
}

std::vector<std::string> NamesOf(const QListWidget* pList) {
    std::vector<std::string> names;
    for (int nRow = 0; nRow < pList->count(); ++nRow) {
        names.push_back(NameOf(pList->item(nRow)));
    }
    return names;
}

QListWidget* MakeList(QWidget* pParent, const char* pszName) {
    auto* pList = new QListWidget(pParent);
    pList->setObjectName(pszName);
    pList->setSelectionMode(QAbstractItemView::SingleSelection);
    // Order is kept by InsertSorted; the widget's own sort would be case-sensitive.
    pList->setSortingEnabled(false);
    return pList;
}

void MoveSelected(QListWidget* pFrom, QListWidget* pTo) {
    const QList<QListWidgetItem*> selected = pFrom->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const std::string strName = NameOf(selected.first());
    delete pFrom->takeItem(pFrom->row(selected.first()));
    InsertSorted(pTo, strName);
}

}  // namespace

CFeedsPage::CFeedsPage(QWidget* pParent) : QWidget(pParent) {
    m_pAvailable = MakeList(this, "available");
    m_pChosen = MakeList(this, "chosen");
    m_pAdd = new QPushButton(">>", this);
    m_pAdd->setObjectName("add");
    m_pRemove = new QPushButton("<<", this);
    m_pRemove->setObjectName("remove");
    connect(m_pAdd, &QPushButton::clicked, this, &CFeedsPage::OnAdd);
    connect(m_pRemove, &QPushButton::clicked, this, &CFeedsPage::OnRemove);

    auto* pButtons = new QVBoxLayout;
    pButtons->addStretch();
    pButtons->addWidget(m_pAdd);
    pButtons->addWidget(m_pRemove);
    pButtons->addStretch();
    auto* pGrid = new QGridLayout(this);
    pGrid->addWidget(new QLabel("News Options:", this), 0, 0);
    pGrid->addWidget(new QLabel("Your News:", this), 0, 2);
    pGrid->addWidget(m_pAvailable, 1, 0);
    pGrid->addLayout(pButtons, 1, 1);
    pGrid->addWidget(m_pChosen, 1, 2);

    CStringMap catalogue;
    LoadMapFile(CATALOGUE_FILE, catalogue);
    std::vector<std::string> chosen;
    if (CMainWindow* pMain = MainWnd()) {
        LoadListFile(ChosenSourcesFile(pMain->UserName()), chosen);
    }
    // Chosen names stay even when the catalogue no longer lists them.
    const std::set<std::string> chosenSet(chosen.begin(), chosen.end());
    std::vector<std::string> available;
    for (const auto& [strName, strUrl] : catalogue) {
        if (!chosenSet.count(strName)) {
            available.push_back(strName);
        }
    }
    FillSorted(m_pChosen, std::move(chosen));
    FillSorted(m_pAvailable, std::move(available));
}

CFeedsPage::~CFeedsPage() = default;

std::vector<std::string> CFeedsPage::ChosenNames() const { return NamesOf(m_pChosen); }

void CFeedsPage::OnAdd() { MoveSelected(m_pAvailable, m_pChosen); }

void CFeedsPage::OnRemove() { MoveSelected(m_pChosen, m_pAvailable); }

void CFeedsPage::OnOK() {
    // Without a main window there is no user whose file this would be.
    if (CMainWindow* pMain = MainWnd()) {
        SaveListFile(ChosenSourcesFile(pMain->UserName()), ChosenNames());
    }
}
