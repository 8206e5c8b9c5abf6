#include "ui/FixedWindow.h"

#include <QLabel>
#include <QLayout>
#include <QWidget>

namespace {

// Fixes the window's width to what its other controls need and its height to what the
// wrapped status then takes.
void FitFixedWindow(QWidget* pWindow) {
    QLayout* pLayout = pWindow->layout();
    if (!pLayout) {
        return;
    }
    pLayout->invalidate();
    pLayout->activate();
    const int nWidth = pLayout->sizeHint().width();
    const int nHeight = pLayout->hasHeightForWidth() ? pLayout->totalHeightForWidth(nWidth)
                                                     : pLayout->sizeHint().height();
    pWindow->setFixedSize(nWidth, nHeight);
}

}  // namespace

void MakeFixedWindow(QWidget* pWindow, bool bMinimizeButton) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (bMinimizeButton) {
        flags |= Qt::WindowMinimizeButtonHint;
    } else {
        // A dialog type keeps it above its parent; top-level windows stay normal windows
        // so the window manager offers them a minimise button.
        flags = (flags & ~Qt::WindowType_Mask) | Qt::Dialog;
    }
    pWindow->setWindowFlags(flags);
    for (QLabel* pLabel : pWindow->findChildren<QLabel*>()) {
        if (pLabel->wordWrap()) {
            // Wrapped texts take the width the rest of the form gives them.
            pLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        }
    }
    FitFixedWindow(pWindow);
}

void SetStatusText(QLabel* pStatus, const std::string& strText) {
    QString strShown = QString::fromUtf8(strText);
    if (strShown.size() > MAX_STATUS_CHARS) {
        qsizetype nCut = MAX_STATUS_CHARS;
        if (strShown.at(nCut - 1).isHighSurrogate()) {
            --nCut;  // never half a character
        }
        strShown = strShown.left(nCut) + QChar(0x2026);
    }
    pStatus->setText(strShown);
    if (QWidget* pWindow = pStatus->window(); pWindow->minimumSize() == pWindow->maximumSize()) {
        FitFixedWindow(pWindow);
    }
}
