#pragma once

// A label drawn like a web link: blue, underlined, with the hand cursor. It has no click
// action of its own; mouse clicks fall through to the window that owns it.

#include <QLabel>

#include <optional>

class CHyperLink final : public QLabel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CHyperLink)

public:
    explicit CHyperLink(const QString& strText, QWidget* pParent = nullptr);

    // The font the link draws with: the label's font at its first paint, underlined.
    std::optional<QFont> UnderlineFont() const { return m_underlineFont; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    std::optional<QFont> m_underlineFont;
};
