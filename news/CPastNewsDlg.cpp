#include "news/CPastNewsDlg.h"

#include "gui/ResourceIds.h"
#include "hub/CChatRequest.h"
#include "hub/CMainWindow.h"
#include "news/NewsDisplay.h"
#include "news/NewsFiles.h"
#include "ui/WindowPlacement.h"
#include "util/Net.h"
#include "util/SettingsNames.h"
#include "util/Strings.h"

#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <string>
#include <vector>

namespace {

// Articles carry their URL; articles and sources carry their text as read, which the
// room's name is made from, whatever the display makes of it.
constexpr int kUrlRole = Qt::UserRole;
constexpr int kLabelRole = Qt::UserRole + 1;

const char* const STR_HEADLINE_SEPARATOR = " - ";

// The size the window opens with before a stored place replaces it; the tree fills it to
// the edges.
constexpr int kDefaultWidth = 360;
constexpr int kDefaultHeight = 420;
constexpr int kTreeFontPoints = 12;

}  // namespace

CPastNewsDlg::CPastNewsDlg(const PastNewsIndex* pIndex, QWidget* pParent)
    : QWidget(pParent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Past News");
    setWindowIcon(LoadAppIcon(IDI_MAIN));

    m_pTree = new QTreeWidget(this);
    m_pTree->setObjectName("tree");
    m_pTree->setColumnCount(1);
    m_pTree->setHeaderHidden(true);
    m_pTree->setFont(QFont("Arial", kTreeFontPoints));
    m_pTree->setRootIsDecorated(true);
    m_pTree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTree->setDragDropMode(QAbstractItemView::NoDragDrop);
    m_pTree->setDragEnabled(false);
    m_pTree->setAcceptDrops(false);
    connect(m_pTree, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* pItem, int) { OnItemClicked(pItem); });
    m_pTree->installEventFilter(this);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pTree);
    resize(kDefaultWidth, kDefaultHeight);

    Fill(pIndex);
}

CPastNewsDlg::~CPastNewsDlg() = default;

void CPastNewsDlg::Fill(const PastNewsIndex* pIndex) {
    if (!pIndex) {
        return;
    }
    CStringArray sources;
    for (const auto& [strSource, articles] : *pIndex) {
        sources.push_back(strSource);
    }
    SortStrings(sources);
    for (const std::string& strSource : sources) {
        auto* pSourceItem = new QTreeWidgetItem(m_pTree, {QString::fromStdString(strSource)});
        pSourceItem->setData(0, kLabelRole, QByteArray::fromStdString(strSource));
        const CPastNewsSource& articles = pIndex->at(strSource);
        CStringArray labels;
        for (const auto& [strLabel, strUrl] : articles) {
            labels.push_back(strLabel);
        }
        SortPastNewsLabels(labels);
        for (const std::string& strLabel : labels) {
            const QString strShown = QString::fromStdString(DisplayText(strLabel));
            auto* pArticle = new QTreeWidgetItem(pSourceItem, {strShown});
            pArticle->setToolTip(0, strShown);
            pArticle->setData(0, kUrlRole, QByteArray::fromStdString(articles.at(strLabel)));
            pArticle->setData(0, kLabelRole, QByteArray::fromStdString(strLabel));
        }
    }
}

void CPastNewsDlg::OnItemClicked(QTreeWidgetItem* pItem) {
    const QVariant url = pItem ? pItem->data(0, kUrlRole) : QVariant();
    if (!url.isValid() || !pItem->parent()) {
        return;
    }
    const std::string strUrl = url.toByteArray().toStdString();
    // Only web addresses lead to a room, as in the headline pane.
    if (!IsWebUrl(strUrl)) {
        return;
    }
    const std::string strSource = pItem->parent()->data(0, kLabelRole).toByteArray().toStdString();
    const std::string strLabel = pItem->data(0, kLabelRole).toByteArray().toStdString();
    const size_t nSeparator = strLabel.find(STR_HEADLINE_SEPARATOR);
    const std::string strHeadline =
        nSeparator == std::string::npos
            ? strLabel
            : strLabel.substr(nSeparator + std::char_traits<char>::length(STR_HEADLINE_SEPARATOR));
    if (CMainWindow* pMain = MainWnd()) {
        const CChatRequest request{ChannelNameOf(strHeadline), ChatTopicOf(strSource, strHeadline),
                                   strUrl};
        pMain->OpenChatRequest(request.Record());
    }
}

bool CPastNewsDlg::eventFilter(QObject* pWatched, QEvent* pEvent) {
    // Enter on a headline opens its room; on a source the tree expands or collapses it.
    if (pWatched == m_pTree && pEvent->type() == QEvent::KeyPress) {
        const int nKey = static_cast<QKeyEvent*>(pEvent)->key();
        QTreeWidgetItem* pCurrent = m_pTree->currentItem();
        if ((nKey == Qt::Key_Return || nKey == Qt::Key_Enter) && pCurrent && pCurrent->parent()) {
            OnItemClicked(pCurrent);
            return true;
        }
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

void CPastNewsDlg::showEvent(QShowEvent* pEvent) {
    QWidget::showEvent(pEvent);
    if (m_bPlaced) {
        return;
    }
    m_bPlaced = true;
    CMainWindow* pMain = MainWnd();
    if (!pMain) {
        return;
    }
    setGeometry(FitOnScreens(LoadWindowRect(pMain->Section(), PLACE_PAST_NEWS, geometry())));
}

void CPastNewsDlg::closeEvent(QCloseEvent* pEvent) {
    if (CMainWindow* pMain = MainWnd()) {
        SaveWindowRect(pMain->Section(), PLACE_PAST_NEWS, geometry());
    }
    QWidget::closeEvent(pEvent);
}
