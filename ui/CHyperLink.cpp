#include "ui/CHyperLink.h"

#include "gui/Shell.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QStyleOptionFocusRect>

CHyperLink::CHyperLink(const QString& strText, QWidget* pParent) : QLabel(strText, pParent) {
    setCursor(HandCursor());
    setWordWrap(true);
    // Reachable with Tab like a button, so the keyboard can follow it too.
    setFocusPolicy(Qt::TabFocus);
}

void CHyperLink::keyPressEvent(QKeyEvent* pEvent) {
    switch (pEvent->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space: emit activated(); return;
        default: QLabel::keyPressEvent(pEvent);
    }
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* pEvent) {
    // A focusable label would keep the release; the owner acts on it.
    pEvent->ignore();
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
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}
