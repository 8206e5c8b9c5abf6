#include "news/CFeedsPage.h"

#include "hub/CMainWindow.h"
#include "news/CNewsItem.h"
#include "news/NewsFiles.h"
#include "news/Opml.h"
#include "news/WebLinks.h"
#include "platform/Logging.h"
#include "util/AppFiles.h"
#include "util/Strings.h"

#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

namespace {

// Names are bytes; the item keeps them exactly, whatever its display text makes of them.
constexpr int kNameRole = Qt::UserRole;
// OPML files past this size are not read.
constexpr qint64 kMaxOpmlBytes = 16 << 20;

std::string NameOf(const QListWidgetItem* pItem) {
    return pItem->data(kNameRole).toByteArray().toStdString();
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

QPushButton* MakeButton(QWidget* pParent, const char* pszText, const char* pszName) {
    auto* pButton = new QPushButton(pszText, pParent);
    pButton->setObjectName(pszName);
    pButton->setAutoDefault(false);
    return pButton;
}

QListWidgetItem* Selected(const QListWidget* pList) {
    const QList<QListWidgetItem*> selected = pList->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

std::string TimeText(std::time_t time) { return CNewsItem("", "", "", "", time).FormatLongDate(); }

// The standard dialogs, modal to the sheet without a nested event loop.
void AskAddress(QWidget* pParent, CFeedsPage::CAnswerFn fnAnswer) {
    auto* pDialog = new QInputDialog(pParent);
    pDialog->setObjectName("addressDialog");
    pDialog->setAttribute(Qt::WA_DeleteOnClose);
    pDialog->setWindowTitle("Add a source");
    pDialog->setLabelText("The address of a feed, or of a web page that announces one:");
    QObject::connect(pDialog, &QInputDialog::textValueSelected, pParent, std::move(fnAnswer));
    pDialog->open();
}

void ChooseFile(QWidget* pParent, bool bSave, CFeedsPage::CAnswerFn fnAnswer) {
    auto* pDialog = new QFileDialog(pParent, bSave ? "Export OPML" : "Import OPML", QString(),
                                    "OPML files (*.opml *.xml);;All files (*)");
    pDialog->setAttribute(Qt::WA_DeleteOnClose);
    pDialog->setAcceptMode(bSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    pDialog->setFileMode(bSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (bSave) {
        pDialog->setDefaultSuffix("opml");
    }
    QObject::connect(pDialog, &QFileDialog::fileSelected, pParent, std::move(fnAnswer));
    pDialog->open();
}

}  // namespace

CFeedsPage::CFeedsPage(QWidget* pParent) : QWidget(pParent) {
    m_fnAskAddress = [this](CAnswerFn fnAnswer) { AskAddress(this, std::move(fnAnswer)); };
    m_fnChooseImportFile = [this](CAnswerFn fnAnswer) {
        ChooseFile(this, false, std::move(fnAnswer));
    };
    m_fnChooseExportFile = [this](CAnswerFn fnAnswer) {
        ChooseFile(this, true, std::move(fnAnswer));
    };
    m_pAvailable = MakeList(this, "available");
    m_pChosen = MakeList(this, "chosen");
    m_pAdd = MakeButton(this, ">>", "add");
    m_pRemove = MakeButton(this, "<<", "remove");
    m_pAddSource = MakeButton(this, "&Add...", "addSource");
    m_pRemoveSource = MakeButton(this, "&Remove", "removeSource");
    m_pImport = MakeButton(this, "&Import OPML...", "import");
    m_pExport = MakeButton(this, "E&xport OPML...", "export");
    m_pNote = new QLabel(this);
    m_pNote->setObjectName("note");
    m_pNote->setTextFormat(Qt::PlainText);
    m_pNote->setWordWrap(true);
    connect(m_pAdd, &QPushButton::clicked, this, &CFeedsPage::OnAdd);
    connect(m_pRemove, &QPushButton::clicked, this, &CFeedsPage::OnRemove);
    connect(m_pRemoveSource, &QPushButton::clicked, this, &CFeedsPage::OnRemoveOwn);
    connect(m_pAddSource, &QPushButton::clicked, this, [this] {
        m_fnAskAddress([this](const QString& strAddress) { AddAddress(strAddress); });
    });
    connect(m_pImport, &QPushButton::clicked, this, [this] {
        m_fnChooseImportFile([this](const QString& strPath) { ImportOpml(strPath); });
    });
    connect(m_pExport, &QPushButton::clicked, this, [this] {
        m_fnChooseExportFile([this](const QString& strPath) { ExportOpml(strPath); });
    });
    // Both lists keep a selection; "Remove" acts on the one the user selected in last.
    for (QListWidget* pList : {m_pAvailable, m_pChosen}) {
        connect(pList, &QListWidget::itemSelectionChanged, this, [this, pList] {
            if (Selected(pList)) {
                m_pLastSelected = pList;
            }
            UpdateButtons();
        });
    }

    auto* pButtons = new QVBoxLayout;
    pButtons->addStretch();
    pButtons->addWidget(m_pAdd);
    pButtons->addWidget(m_pRemove);
    pButtons->addStretch();
    auto* pOwnButtons = new QHBoxLayout;
    for (QPushButton* pButton : {m_pAddSource, m_pRemoveSource, m_pImport, m_pExport}) {
        pOwnButtons->addWidget(pButton);
    }
    pOwnButtons->addStretch();
    auto* pGrid = new QGridLayout(this);
    pGrid->addWidget(new QLabel("News Options:", this), 0, 0);
    pGrid->addWidget(new QLabel("Your News:", this), 0, 2);
    pGrid->addWidget(m_pAvailable, 1, 0);
    pGrid->addLayout(pButtons, 1, 1);
    pGrid->addWidget(m_pChosen, 1, 2);
    pGrid->addLayout(pOwnButtons, 2, 0, 1, 3);
    pGrid->addWidget(m_pNote, 3, 0, 1, 3);

    std::vector<std::string> chosen;
    if (CMainWindow* pMain = MainWnd()) {
        m_strUser = pMain->UserName();
        LoadListFile(ChosenSourcesFile(m_strUser), chosen);
        m_directory = LoadSourceDirectory(m_strUser);
        m_statuses = LoadSourceStatus(m_strUser);
    } else {
        CStringMap catalogue;
        LoadMapFile(CATALOGUE_FILE, catalogue);
        for (auto& [strName, strUrl] : catalogue) {
            m_directory[strName] = {std::move(strUrl), false};
        }
    }
    // Chosen names stay even when no source has them any more.
    const std::set<std::string> chosenSet(chosen.begin(), chosen.end());
    std::vector<std::string> available;
    for (const auto& [strName, entry] : m_directory) {
        m_taken.insert(strName);
        if (!chosenSet.count(strName)) {
            available.push_back(strName);
        }
    }
    // Filled sorted once, then appended, as a catalogue can hold many thousands.
    SortStrings(chosen);
    SortStrings(available);
    for (const std::string& strName : chosen) {
        m_pChosen->addItem(MakeItem(strName));
    }
    for (const std::string& strName : available) {
        m_pAvailable->addItem(MakeItem(strName));
    }
    UpdateButtons();
}

CFeedsPage::~CFeedsPage() = default;

QListWidgetItem* CFeedsPage::MakeItem(const std::string& strName) const {
    auto it = m_directory.find(strName);
    const bool bOwn = it != m_directory.end() && it->second.bOwn;
    auto* pItem = new QListWidgetItem(QString::fromStdString(bOwn ? strName + " (own)" : strName));
    pItem->setData(kNameRole, QByteArray::fromStdString(strName));
    QStringList tip;
    if (bOwn) {
        QFont font = pItem->font();
        font.setItalic(true);
        pItem->setFont(font);
        tip << QString::fromStdString("Your own source: " + it->second.strAddress);
    }
    auto status = m_statuses.find(strName);
    if (status != m_statuses.end()) {
        tip << QString::fromStdString("Last check: " + status->second.Text());
        tip << QString::fromStdString(
            "Last new headline: " +
            (status->second.lastNew ? TimeText(status->second.lastNew) : std::string("none yet")));
        if (status->second.Failed()) {
            pItem->setForeground(Qt::red);
        }
    }
    pItem->setToolTip(tip.join('\n'));
    return pItem;
}

// After any entries equal but for case, so the order is the one SortStrings gives.
void CFeedsPage::InsertSorted(QListWidget* pList, const std::string& strName) {
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

std::vector<std::string> CFeedsPage::ChosenNames() const { return NamesOf(m_pChosen); }

void CFeedsPage::OnAdd() {
    if (QListWidgetItem* pItem = Selected(m_pAvailable)) {
        const std::string strName = NameOf(pItem);
        delete m_pAvailable->takeItem(m_pAvailable->row(pItem));
        InsertSorted(m_pChosen, strName);
    }
}

void CFeedsPage::OnRemove() {
    if (QListWidgetItem* pItem = Selected(m_pChosen)) {
        const std::string strName = NameOf(pItem);
        delete m_pChosen->takeItem(m_pChosen->row(pItem));
        InsertSorted(m_pAvailable, strName);
    }
}

QListWidgetItem* CFeedsPage::SelectedOwn() const {
    QListWidgetItem* pItem = m_pLastSelected ? Selected(m_pLastSelected) : nullptr;
    auto it = pItem ? m_directory.find(NameOf(pItem)) : m_directory.end();
    return it != m_directory.end() && it->second.bOwn ? pItem : nullptr;
}

void CFeedsPage::OnRemoveOwn() {
    QListWidgetItem* pItem = SelectedOwn();
    if (!pItem) {
        return;
    }
    const std::string strName = NameOf(pItem);
    m_directory.erase(strName);
    const size_t nPending = std::erase_if(
        m_added, [&](const CFeedSource& source) { return source.strName == strName; });
    if (nPending == 0) {
        m_removed.insert(strName);
    }
    delete m_pLastSelected->takeItem(m_pLastSelected->row(pItem));
    SetNote(QString::fromStdString("Removed " + strName));
}

void CFeedsPage::UpdateButtons() {
    m_pRemoveSource->setEnabled(SelectedOwn() != nullptr);
    m_pAddSource->setEnabled(!m_bFinding);
}

void CFeedsPage::SetNote(const QString& strNote) {
    m_pNote->setText(strNote);
    qCInfo(AppLog).noquote() << "sources:" << strNote;
}

QString CFeedsPage::Note() const { return m_pNote->text(); }

void CFeedsPage::AddAddress(const QString& strAddress) {
    if (m_bFinding || strAddress.trimmed().isEmpty()) {
        return;
    }
    m_bFinding = true;
    UpdateButtons();
    SetNote("Looking for a feed at " + strAddress.trimmed() + "...");
    StartFeedFinder(m_handle.Handle(), strAddress.toStdString());
}

bool CFeedsPage::event(QEvent* pEvent) {
    auto* pApp = dynamic_cast<CAppEvent*>(pEvent);
    if (!pApp || pApp->Message() != UM_FEED_FOUND) {
        return QWidget::event(pEvent);
    }
    OnFeedFound(WParamOf<UM_FEED_FOUND>(*pApp), LParamOf<UM_FEED_FOUND>(*pApp));
    return true;
}

void CFeedsPage::OnFeedFound(const CFoundFeed& found, const std::string& strTyped) {
    m_bFinding = false;
    UpdateButtons();
    if (!found.bFound) {
        SetNote(QString::fromStdString("No feed found at " + strTyped + ": " + found.strError));
        return;
    }
    bool bNew = false;
    const std::string strName = AddOwn(found.source, bNew);
    if (strName.empty()) {
        SetNote(QString::fromStdString("No feed found at " + strTyped + ": not a web address"));
        return;
    }
    SetNote(QString::fromStdString((bNew ? "Added " : "Already a source: ") + strName + " (" +
                                   found.source.strAddress + ")"));
}

std::string CFeedsPage::AddOwn(const CFeedSource& source, bool& bNew) {
    bNew = false;
    const std::string strAddress = WebLink(QUrl(), QString::fromStdString(source.strAddress));
    if (strAddress.empty()) {
        return {};
    }
    std::string strName;
    for (const auto& [strOwnName, entry] : m_directory) {
        if (entry.bOwn && entry.strAddress == strAddress) {
            strName = strOwnName;
        }
    }
    bNew = strName.empty();
    if (bNew) {
        strName = UniqueSourceName(source.strName, strAddress, m_taken);
        m_taken.insert(strName);
        m_directory[strName] = {strAddress, true};
        m_added.push_back({strName, strAddress});
    }
    // Chosen, and selected where it now stands.
    for (QListWidget* pList : {m_pAvailable, m_pChosen}) {
        for (int nRow = 0; nRow < pList->count(); ++nRow) {
            if (NameOf(pList->item(nRow)) == strName) {
                delete pList->takeItem(nRow);
                break;
            }
        }
    }
    InsertSorted(m_pChosen, strName);
    for (int nRow = 0; nRow < m_pChosen->count(); ++nRow) {
        if (NameOf(m_pChosen->item(nRow)) == strName) {
            m_pChosen->setCurrentRow(nRow);
        }
    }
    return strName;
}

void CFeedsPage::ImportOpml(const QString& strPath) {
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxOpmlBytes) {
        SetNote("Cannot read " + strPath);
        return;
    }
    const QByteArray bytes = file.read(kMaxOpmlBytes);
    const COpmlResult result = ReadOpml(std::string_view(bytes.constData(), bytes.size()));
    if (result.status != EOpmlStatus::Ok) {
        SetNote("Cannot import " + strPath + ": " + QString::fromStdString(result.strError));
        return;
    }
    int nAdded = 0;
    for (const CFeedSource& source : result.sources) {
        bool bNew = false;
        AddOwn(source, bNew);
        nAdded += bNew ? 1 : 0;
    }
    SetNote(nAdded == 1 ? QString("1 source added") : QString("%1 sources added").arg(nAdded));
}

void CFeedsPage::ExportOpml(const QString& strPath) {
    CFeedSourceList sources;
    for (const std::string& strName : ChosenNames()) {
        auto it = m_directory.find(strName);
        if (it != m_directory.end()) {
            sources.push_back({strName, it->second.strAddress});
        }
    }
    if (!SaveTextFile(strPath.toStdString(), WriteOpml(sources, "Vocalon sources"))) {
        SetNote("Cannot write " + strPath);
        return;
    }
    SetNote(QString("%1 sources exported to %2").arg(sources.size()).arg(strPath));
}

void CFeedsPage::OnOK() {
    // Without a main window there is no user whose files these would be.
    if (!MainWnd()) {
        return;
    }
    RemoveOwnSources(m_strUser, m_removed);
    // Names are made unique again against the files as they are now; the chosen list
    // follows any that changed.
    const COwnSourcesChange change = AddOwnSources(m_strUser, m_added);
    std::map<std::string, std::string> renamed;
    for (size_t i = 0; i < m_added.size() && i < change.names.size(); ++i) {
        renamed[m_added[i].strName] = change.names[i];
    }
    std::vector<std::string> chosen = ChosenNames();
    for (std::string& strName : chosen) {
        if (auto it = renamed.find(strName); it != renamed.end() && !it->second.empty()) {
            strName = it->second;
        }
    }
    SaveListFile(ChosenSourcesFile(m_strUser), chosen);
}
