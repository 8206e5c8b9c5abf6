#include "ui/CHyperLink.h"

#include "platform/Shell.h"

#include <QPainter>
#include <QPalette>

CHyperLink::CHyperLink(const QString& strText, QWidget* pParent) : QLabel(strText, pParent) {
    setCursor(HandCursor());
    setWordWrap(true);
}

void CHyperLink::paintEvent(QPaintEvent* /*pEvent*/) {
    if (!m_underlineFont) {
        QFont font = this->font();
        font.setUnderline(true);
        m_underlineFont = font;
    }
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    painter.setFont(*m_underlineFont);
    painter.setPen(QColor(0, 0, 255));
    // Each line centred, the block drawn from the top, long text wrapped at words.
    painter.drawText(rect(), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text());
}
