// The headline pane of the news window: one item drawn as source, headline link and date
// in the user's font and colours. The text control knows nothing of links: they are
// ranges of character positions recorded while text is appended, found again under the
// mouse by measuring where characters are drawn.

#include "news/CNewsDlg.h"

#include "gui/Shell.h"
#include "hub/CChatRequest.h"
#include "hub/CMainWindow.h"
#include "news/NewsFiles.h"
#include "util/Net.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextLayout>

#include <cmath>

void CNewsDlg::ApplyDisplaySettings() {
    CNewsDisplay display = CNewsDisplay::Load(Section());
    QPalette palette = m_pPane->palette();
    palette.setColor(QPalette::Base, ColorFromRef(display.nBackground));
    m_pPane->setPalette(palette);
    // One line is 1.3333 times the font's pixel height; at least a pixel, as the hit test
    // divides by it.
    const double dPixels = display.nSize * logicalDpiY() / 72.0;
    m_nLineHeight = std::max(1, static_cast<int>(std::fabs(std::round(dPixels)) * 1.3333));
    m_cfDate = display.DateFormat();
    m_cfSource = display.SourceFormat();
    m_cfHeadline = display.HeadlineFormat();
    m_cfPlain = display.PlainFormat();
    // "Last checked at" starts where the pane's text does.
    m_pCaption->setIndent(m_pPane->frameWidth() +
                          static_cast<int>(m_pPane->document()->documentMargin()));
    ShowItem();
}

int CNewsDlg::TextLength() const { return m_pPane->document()->characterCount() - 1; }

void CNewsDlg::AppendText(const std::string& strText, const QTextCharFormat& format) {
    QTextCursor cursor(m_pPane->document());
    cursor.movePosition(QTextCursor::End);
    // A CR LF pair is one line break, and one character, as in the stored texts.
    std::string strPlain = strText;
    for (size_t n; (n = strPlain.find("\r\n")) != std::string::npos;) {
        strPlain.erase(n, 1);
    }
    cursor.insertText(QString::fromUtf8(strPlain), format);
}

void CNewsDlg::AppendLink(const std::string& strTarget, const std::string& strText) {
    int nFirst = TextLength();
    AppendText(strText, m_cfHeadline);
    m_links.push_back(NewsLink{nFirst, TextLength(), strTarget});
}

void CNewsDlg::ClearPane() {
    m_pPane->clear();
    m_links.clear();
}

void CNewsDlg::ShowItem() {
    if (m_items.empty()) {
        return;
    }
    const CNewsItem& item = *m_items[static_cast<size_t>(m_nCurrent)];
    ClearPane();
    AppendText(item.m_strSource + "\r\n", m_cfSource);
    // Only web addresses become links; anything else could not be opened safely.
    const std::string strHeadline = DisplayText(item.m_strHeadline);
    if (IsWebUrl(item.m_strUrl)) {
        AppendLink(item.m_strUrl, strHeadline);
    } else {
        AppendText(strHeadline, m_cfPlain);
    }
    AppendText("\r\n", m_cfPlain);
    AppendText(item.FormatLongDate(), m_cfDate);
    SetTitleFromList();
    m_pPane->verticalScrollBar()->setValue(0);
}

int CNewsDlg::LineOfChar(int nPos) const {
    QTextDocument* pDoc = m_pPane->document();
    QTextBlock target = pDoc->findBlock(nPos);
    int nLine = 0;
    for (QTextBlock block = pDoc->begin(); block.isValid() && block != target;
         block = block.next()) {
        nLine += std::max(1, block.layout()->lineCount());
    }
    if (target.isValid() && target.layout()->lineCount() > 0) {
        QTextLine line = target.layout()->lineForTextPosition(nPos - target.position());
        nLine += line.isValid() ? line.lineNumber() : target.layout()->lineCount() - 1;
    }
    return nLine;
}

int CNewsDlg::FirstCharOfLine(int nLine) const {
    int nSeen = 0;
    for (QTextBlock block = m_pPane->document()->begin(); block.isValid(); block = block.next()) {
        int nLines = std::max(1, block.layout()->lineCount());
        if (nLine < nSeen + nLines) {
            QTextLine line = block.layout()->lineAt(nLine - nSeen);
            return block.position() + (line.isValid() ? line.textStart() : 0);
        }
        nSeen += nLines;
    }
    return -1;
}

int CNewsDlg::FirstVisibleLine() const {
    return LineOfChar(m_pPane->cursorForPosition(QPoint(0, 0)).position());
}

QPoint CNewsDlg::PosFromChar(int nPos) const {
    QTextCursor cursor(m_pPane->document());
    cursor.setPosition(std::clamp(nPos, 0, TextLength()));
    return m_pPane->cursorRect(cursor).topLeft();
}

std::optional<std::string> CNewsDlg::HitTestLink(const QPoint& point) const {
    // Only the characters of twice the visible lines from the first visible line are
    // measured, so the cost does not grow with the text.
    const int nVisible = m_pPane->height() / m_nLineHeight;
    const int nFirstLine = FirstVisibleLine();
    const int nStart = std::max(0, FirstCharOfLine(nFirstLine));
    int nStop = FirstCharOfLine(nFirstLine + 2 * nVisible);
    if (nStop < 0 || nStop > TextLength() - 1) {
        nStop = TextLength() - 1;
    }
    for (int i = nStart; i < nStop; ++i) {
        const int nLine = LineOfChar(i);
        if (nLine < nFirstLine) {
            continue;
        }
        const QPoint topLeft = PosFromChar(i);
        QRect box;
        if (nLine == LineOfChar(i + 1)) {
            const QPoint next = PosFromChar(i + 1);
            box = QRect(topLeft, QPoint(next.x(), next.y() + m_nLineHeight));
        } else {
            box = QRect(topLeft, QPoint(m_pPane->viewport()->width(), topLeft.y() + m_nLineHeight));
        }
        if (!box.contains(point)) {
            continue;
        }
        for (const NewsLink& link : m_links) {
            if (link.nFirst <= i && i <= link.nEnd) {
                return link.strTarget;
            }
        }
    }
    return std::nullopt;
}

void CNewsDlg::OnPaneClick(const QPoint& point) {
    std::optional<std::string> target = HitTestLink(point);
    CMainWindow* pMain = MainWnd();
    if (!target || !pMain) {
        return;
    }
    if (target->find("prefs:") != std::string::npos) {
        pMain->OpenPrefs();
        return;
    }
    if (m_items.empty()) {
        return;
    }
    OpenItemRoom(*m_items[static_cast<size_t>(m_nCurrent)], *target);
}

void CNewsDlg::OpenCurrentRoom() {
    if (m_items.empty()) {
        return;
    }
    const CNewsItem& item = *m_items[static_cast<size_t>(m_nCurrent)];
    // As for a click: only a web address is a link.
    if (IsWebUrl(item.m_strUrl)) {
        OpenItemRoom(item, item.m_strUrl);
    }
}

void CNewsDlg::OpenItemRoom(const CNewsItem& item, const std::string& strUrl) {
    if (CMainWindow* pMain = MainWnd()) {
        const CChatRequest request{ChannelNameOf(item.m_strHeadline),
                                   ChatTopicOf(item.m_strSource, item.m_strHeadline), strUrl};
        pMain->OpenChatRequest(request.Record());
    }
}

bool CNewsDlg::eventFilter(QObject* pWatched, QEvent* pEvent) {
    // The pane would take the arrows and page keys for scrolling.
    if (pWatched == m_pPane && pEvent->type() == QEvent::KeyPress &&
        OnNavigationKey(static_cast<QKeyEvent*>(pEvent))) {
        return true;
    }
    if (pWatched == m_pPane->viewport()) {
        if (pEvent->type() == QEvent::MouseMove) {
            auto* pMouse = static_cast<QMouseEvent*>(pEvent);
            if (HitTestLink(pMouse->position().toPoint())) {
                m_pPane->viewport()->setCursor(HandCursor());
            } else {
                m_pPane->viewport()->setCursor(Qt::IBeamCursor);
            }
        } else if (pEvent->type() == QEvent::MouseButtonRelease) {
            auto* pMouse = static_cast<QMouseEvent*>(pEvent);
            if (pMouse->button() == Qt::LeftButton) {
                OnPaneClick(pMouse->position().toPoint());
            }
        }
    }
    // The pane then handles the event as usual.
    return QDialog::eventFilter(pWatched, pEvent);
}
