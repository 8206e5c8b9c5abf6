#include "ui/MessageBox.h"

QMessageBox* OpenMessageBox(QWidget* pParent, QMessageBox::Icon icon, const QString& strTitle,
                            const QString& strText, std::function<void()> onClosed) {
    auto* pBox = new QMessageBox(icon, strTitle, strText, QMessageBox::Ok, pParent);
    pBox->setTextFormat(Qt::PlainText);
    pBox->setAttribute(Qt::WA_DeleteOnClose);
    pBox->setWindowModality(pParent ? Qt::WindowModal : Qt::ApplicationModal);
    if (onClosed) {
        QObject::connect(pBox, &QMessageBox::finished, pBox, [onClosed] { onClosed(); });
    }
    pBox->open();
    return pBox;
}
