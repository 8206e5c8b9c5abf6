#pragma once

// The "Past News" window: every article of the latest check as a tree of sources and
// their headlines, newest first (by the time each label carries). A click on a headline, or
// Enter on the current one, opens its chat room. The window is modeless, remembers its place per
// user and deletes itself when closed.

#include "news/CNewsItem.h"

#include <QWidget>

class QCloseEvent;
class QShowEvent;
class QTreeWidget;
class QTreeWidgetItem;

class CPastNewsDlg final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CPastNewsDlg)

public:
    // The index is read here only; it may be null.
    explicit CPastNewsDlg(const PastNewsIndex* pIndex, QWidget* pParent = nullptr);
    ~CPastNewsDlg() override;

protected:
    void showEvent(QShowEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void Fill(const PastNewsIndex* pIndex);
    void OnItemClicked(QTreeWidgetItem* pItem);

    QTreeWidget* m_pTree = nullptr;
    bool m_bPlaced = false;
};
