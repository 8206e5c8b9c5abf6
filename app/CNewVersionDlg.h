#pragma once

// Asks what to do about a newer version: download now (OK), remind later (Cancel), or
// never ask again (Cancel, and the question is silenced for good).

#include <QDialog>

class CNewVersionDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CNewVersionDlg)

public:
    explicit CNewVersionDlg(QWidget* pParent = nullptr);
};
