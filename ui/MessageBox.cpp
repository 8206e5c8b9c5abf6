#include "ui/MessageBox.h"

#include <QSet>

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

QMessageBox* OpenMessageBoxOnce(QWidget* pParent, QMessageBox::Icon icon, const QString& strTitle,
                                const QString& strText) {
    // Window thread only, like every widget. A box's key goes when the box does, however
    // it goes, so the set holds no more keys than boxes are open.
    static QSet<QString> s_openKeys;
    const QString strKey = strTitle + QChar(0) + strText;
    if (s_openKeys.contains(strKey)) {
        return nullptr;
    }
    s_openKeys.insert(strKey);
    QMessageBox* pBox = OpenMessageBox(pParent, icon, strTitle, strText);
    QObject::connect(pBox, &QObject::destroyed, [strKey] { s_openKeys.remove(strKey); });
    return pBox;
}
