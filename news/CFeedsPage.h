#pragma once

// The "Sources" page of the preferences sheet: the catalogue's sources on the left, the
// user's chosen sources on the right, both kept sorted by name ignoring case.

#include <QWidget>

#include <string>
#include <vector>

class QListWidget;
class QPushButton;

class CFeedsPage final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CFeedsPage)

public:
    explicit CFeedsPage(QWidget* pParent = nullptr);
    ~CFeedsPage() override;

    // Writes the chosen list, top to bottom, as the user's chosen-sources file.
    void OnOK();

    // The names of the chosen list, top to bottom.
    std::vector<std::string> ChosenNames() const;

private:
    void OnAdd();
    void OnRemove();

    QListWidget* m_pAvailable = nullptr;
    QListWidget* m_pChosen = nullptr;
    QPushButton* m_pAdd = nullptr;
    QPushButton* m_pRemove = nullptr;
};
