#pragma once

// A label drawn like a web link: blue, underlined, with the hand cursor. It has no click
// action of its own; mouse clicks fall through to the window that owns it. It takes the
// keyboard focus with Tab, and Enter or Space there emit activated().

#include <QLabel>

#include <optional>

class CHyperLink final : public QLabel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CHyperLink)

public:
    explicit CHyperLink(const QString& strText, QWidget* pParent = nullptr);

    // The font the link draws with: the label's font at its first paint, underlined.
    std::optional<QFont> UnderlineFont() const { return m_underlineFont; }

signals:
    void activated();

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;

private:
    std::optional<QFont> m_underlineFont;
};
