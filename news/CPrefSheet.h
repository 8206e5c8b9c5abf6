#pragma once

// The preferences sheet: "Sources", "General" and "Chat" pages, OK / Cancel / Apply. OK hands its
// step to every page the user has opened, in page order; Cancel writes nothing.

#include <QDialog>

class QShowEvent;
class QTabWidget;
class CChatPage;
class CFeedsPage;
class CNewsPage;

class CPrefSheet final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CPrefSheet)

public:
    explicit CPrefSheet(QWidget* pParent = nullptr);
    ~CPrefSheet() override;

    CFeedsPage* FeedsPage() const { return m_pFeedsPage; }
    CNewsPage* NewsPage() const { return m_pNewsPage; }
    CChatPage* ChatPage() const { return m_pChatPage; }

protected:
    void accept() override;
    void showEvent(QShowEvent* pEvent) override;

private:
    void OnCurrentChanged(int nIndex);

    QTabWidget* m_pTabs = nullptr;
    CFeedsPage* m_pFeedsPage = nullptr;
    CNewsPage* m_pNewsPage = nullptr;
    CChatPage* m_pChatPage = nullptr;
    int m_nCurrent = 0;
    bool m_bFeedsShown = false;
    bool m_bNewsShown = false;
    bool m_bChatShown = false;
};
