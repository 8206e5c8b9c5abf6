#pragma once

// The "Sources" page of the preferences sheet: the sources the user may choose on the
// left (the catalogue's and the user's own, marked "(own)"), the chosen ones on the right,
// both kept sorted by name ignoring case. Each chosen source shows its last check's result
// as a tooltip, with the time of its last new headline; failed ones are red.
//
// "Add..." asks for an address (a feed's, or a web page's that announces one), finds the
// feed on a worker thread and adds it as an own source, chosen; "Remove" deletes the
// selected own source; "Import OPML..." adds a file's feeds the same way; "Export
// OPML..." writes the chosen sources to a file at once. An own source gets a name that no
// other source has (see UniqueSourceName). OK writes the chosen list and the changes to
// the own sources (see OwnSources.h); Cancel writes neither.

#include "news/FeedFinder.h"
#include "news/FeedSource.h"
#include "news/OwnSources.h"
#include "news/SourceStatus.h"
#include "platform/AppEvent.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <set>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

class CFeedsPage final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CFeedsPage)

public:
    explicit CFeedsPage(QWidget* pParent = nullptr);
    ~CFeedsPage() override;

    // Writes the own sources' changes, then the chosen list, top to bottom, as the user's
    // chosen-sources file.
    void OnOK();

    // The names of the chosen list, top to bottom.
    std::vector<std::string> ChosenNames() const;

    // Looks for the feed at an address; the result arrives later. One search at a time.
    void AddAddress(const QString& strAddress);
    // Adds the feeds of an OPML file as own sources, chosen.
    void ImportOpml(const QString& strPath);
    // Writes the chosen sources to an OPML file.
    void ExportOpml(const QString& strPath);
    // What the last of these said ("Added ...", "No feed at ...: why", "3 sources added").
    QString Note() const;
    bool IsFinding() const { return m_bFinding; }

    // The questions the buttons ask: each calls back with the answer, or never when the
    // user cancels. They default to the standard dialogs, opened without a nested event
    // loop; tests replace them.
    using CAnswerFn = std::function<void(const QString&)>;
    std::function<void(CAnswerFn)> m_fnAskAddress;
    std::function<void(CAnswerFn)> m_fnChooseImportFile;
    std::function<void(CAnswerFn)> m_fnChooseExportFile;

protected:
    bool event(QEvent* pEvent) override;

private:
    void OnAdd();
    void OnRemove();
    void OnRemoveOwn();
    void OnFeedFound(const CFoundFeed& found, const std::string& strTyped);
    // Adds a feed as an own source unless its address is one already, and chooses it:
    // its name (empty when the address is not a web address); bNew when it was not one.
    std::string AddOwn(const CFeedSource& source, bool& bNew);
    QListWidgetItem* MakeItem(const std::string& strName) const;
    void InsertSorted(QListWidget* pList, const std::string& strName);
    void SetNote(const QString& strNote);
    void UpdateButtons();
    // The own source selected in the list the user selected in last, if any.
    QListWidgetItem* SelectedOwn() const;

    CHandleRegistration m_handle{this};
    std::string m_strUser;
    CSourceDirectory m_directory;  // as loaded, with this page's changes
    CSourceStatusMap m_statuses;
    std::set<std::string> m_taken;  // every name ever listed here
    CFeedSourceList m_added;        // own sources added here, in order
    std::set<std::string> m_removed;
    bool m_bFinding = false;

    QListWidget* m_pAvailable = nullptr;
    QListWidget* m_pChosen = nullptr;
    QPushButton* m_pAdd = nullptr;
    QPushButton* m_pRemove = nullptr;
    QPushButton* m_pAddSource = nullptr;
    QPushButton* m_pRemoveSource = nullptr;
    QPushButton* m_pImport = nullptr;
    QPushButton* m_pExport = nullptr;
    QLabel* m_pNote = nullptr;
    QListWidget* m_pLastSelected = nullptr;
};
