#pragma once

// The "About us" dialog: the build text and a button that opens the product web site.

#include <QDialog>

class CAboutDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CAboutDlg)

public:
    explicit CAboutDlg(QWidget* pParent = nullptr);
};

// The build text shown in the dialog.
extern const char* const STR_ABOUT_TEXT;
