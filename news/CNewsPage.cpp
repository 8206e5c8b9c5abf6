#include "news/CNewsPage.h"

#include "gui/Autostart.h"
#include "hub/CMainWindow.h"
#include "ui/MessageBox.h"
#include "ui/WindowPlacement.h"
#include "util/Settings.h"
#include "util/Version.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDir>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include <cctype>
#include <climits>

namespace {

const char* const STR_NOT_INTEGER = "Please enter an integer.";
const char* const STR_OUT_OF_RANGE = "Please enter an integer between 1 and 99.";

// Blanks around the number are allowed, anything else is not. A number too long for an int
// is an integer all the same, just not one in range: it reads as something above INT_MAX.
bool ParseInterval(const std::string& strText, long long& nValue) {
    size_t nPos = 0;
    auto isBlank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (nPos < strText.size() && isBlank(strText[nPos])) {
        ++nPos;
    }
    bool bNegative = false;
    if (nPos < strText.size() && (strText[nPos] == '+' || strText[nPos] == '-')) {
        bNegative = strText[nPos] == '-';
        ++nPos;
    }
    const size_t nDigits = nPos;
    nValue = 0;
    while (nPos < strText.size() && std::isdigit(static_cast<unsigned char>(strText[nPos]))) {
        if (nValue <= INT_MAX) {
            nValue = nValue * 10 + (strText[nPos] - '0');
        }
        ++nPos;
    }
    if (nPos == nDigits) {
        return false;
    }
    while (nPos < strText.size() && isBlank(strText[nPos])) {
        ++nPos;
    }
    if (bNegative) {
        nValue = -nValue;
    }
    return nPos == strText.size();
}

QPushButton* MakeButton(const char* pszText, const char* pszName, QWidget* pParent) {
    auto* pButton = new QPushButton(pszText, pParent);
    pButton->setObjectName(pszName);
    return pButton;
}

}  // namespace

CNewsPage::CNewsPage(QWidget* pParent) : QWidget(pParent), m_strSection(UserSection()) {
    // The dialogs are children of the page: should the page go first, they go with it and
    // the answer goes nowhere.
    m_fnChooseFont = [this](const QFont& current, std::function<void(const QFont&)> onChosen) {
        auto* pDialog = new QFontDialog(current, this);
        pDialog->setWindowTitle("Font");
        pDialog->setOption(QFontDialog::DontUseNativeDialog);
        pDialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(pDialog, &QFontDialog::fontSelected, this, std::move(onChosen));
        pDialog->open();
    };
    m_fnChooseColor = [this](const QColor& current, std::function<void(const QColor&)> onChosen) {
        auto* pDialog = new QColorDialog(current, this);
        pDialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(pDialog, &QColorDialog::colorSelected, this, std::move(onChosen));
        pDialog->open();
    };

    auto* pDisplay = new QGroupBox("Display", this);
    auto* pFont = MakeButton("Font", "font", pDisplay);
    auto* pBackground = MakeButton("Background", "background", pDisplay);
    auto* pSource = MakeButton("Source Color", "source_color", pDisplay);
    auto* pHeadline = MakeButton("Headline Color", "headline_color", pDisplay);
    auto* pDate = MakeButton("Date Color", "date_color", pDisplay);
    m_pSample = new QTextEdit(pDisplay);
    m_pSample->setObjectName("sample");
    m_pSample->setReadOnly(true);
    connect(pFont, &QPushButton::clicked, this, &CNewsPage::OnFont);
    connect(pBackground, &QPushButton::clicked, this,
            [this] { ChooseColor(&CNewsDisplay::nBackground); });
    connect(pSource, &QPushButton::clicked, this,
            [this] { ChooseColor(&CNewsDisplay::nSourceColor); });
    connect(pHeadline, &QPushButton::clicked, this,
            [this] { ChooseColor(&CNewsDisplay::nHeadlineColor); });
    connect(pDate, &QPushButton::clicked, this, [this] { ChooseColor(&CNewsDisplay::nDateColor); });
    auto* pDisplayGrid = new QGridLayout(pDisplay);
    pDisplayGrid->addWidget(pFont, 0, 0);
    pDisplayGrid->addWidget(pBackground, 1, 0);
    pDisplayGrid->addWidget(pSource, 2, 0);
    pDisplayGrid->addWidget(pHeadline, 3, 0);
    pDisplayGrid->addWidget(pDate, 4, 0);
    pDisplayGrid->addWidget(new QLabel("Sample:", pDisplay), 0, 1);
    pDisplayGrid->addWidget(m_pSample, 1, 1, 4, 1);

    auto* pConnection = new QGroupBox("Connection", this);
    m_pFirewall = new QCheckBox("I am behind a firewall (must restart app)", pConnection);
    m_pFirewall->setObjectName("firewall");
    auto* pConnectionLayout = new QVBoxLayout(pConnection);
    pConnectionLayout->addWidget(m_pFirewall);

    auto* pOther = new QGroupBox("Other", this);
    m_pSound = new QCheckBox("Sound?", pOther);
    m_pSound->setObjectName("sound");
    m_pAutostart = new QCheckBox("Start with the desktop", pOther);
    m_pAutostart->setObjectName("autostart");
    m_pInterval = new QLineEdit(pOther);
    m_pInterval->setObjectName("interval");
    m_pNotify = new QCheckBox("Notify me of new headlines", pOther);
    m_pNotify->setObjectName("notify");
    auto* pOtherLayout = new QVBoxLayout(pOther);
    pOtherLayout->addWidget(m_pSound);
    pOtherLayout->addWidget(m_pAutostart);
    m_pAlertNotification = new QCheckBox("Show invitations as desktop notifications", pOther);
    m_pAlertNotification->setObjectName("alert_notification");
    pOtherLayout->addWidget(m_pAlertNotification);
    pOtherLayout->addWidget(m_pNotify);
    auto* pIntervalRow = new QHBoxLayout;
    pIntervalRow->addWidget(new QLabel("Check for news every", pOther));
    pIntervalRow->addWidget(m_pInterval);
    pIntervalRow->addWidget(new QLabel("minutes.", pOther));
    pIntervalRow->addStretch();
    pOtherLayout->addLayout(pIntervalRow);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pDisplay);
    pLayout->addWidget(pConnection);
    pLayout->addWidget(pOther);

    m_display = CNewsDisplay::Load(m_strSection);
    RenderSample();
    m_pInterval->setText(QString::number(CheckIntervalMinutes(m_strSection)));
    m_pFirewall->setChecked(ReadFlag(SETTING_HAS_FIREWALL));
    m_pSound->setChecked(ReadFlag(SETTING_SOUND_ON));
    // The entry itself is the setting: one removed by hand reads as off.
    m_pAutostart->setChecked(IsAutostartOn());
    // Where alerts cannot be placed, invitations are notifications whatever is stored.
    m_pAlertNotification->setChecked(ReadFlag(SETTING_ALERT_NOTIFICATION) || !WindowsCanBePlaced());
    m_pAlertNotification->setEnabled(WindowsCanBePlaced());
    m_pNotify->setChecked(ReadFlag(SETTING_NEWS_NOTIFY, m_strSection));
}

CNewsPage::~CNewsPage() = default;

void CNewsPage::RenderSample() {
    QPalette palette = m_pSample->palette();
    palette.setColor(QPalette::Base, ColorFromRef(m_display.nBackground));
    m_pSample->setPalette(palette);

    m_pSample->clear();
    QTextCursor cursor(m_pSample->document());
    cursor.movePosition(QTextCursor::End);
    // Each line break starts a block whose character format is the one given with it.
    cursor.insertText("Source\n", m_display.SourceFormat());
    cursor.insertText("headline text", m_display.HeadlineFormat());
    cursor.insertText("\n", m_display.PlainFormat());
    cursor.insertText("date", m_display.DateFormat());
    m_pSample->moveCursor(QTextCursor::Start);
    m_pSample->verticalScrollBar()->setValue(0);
}

void CNewsPage::OnFont() {
    // The dialog starts from the font actually drawn, so OK without changes keeps it.
    const QFontInfo used(m_display.Font());
    QFont current(used.family());
    current.setPointSizeF(used.pointSizeF());
    m_fnChooseFont(current, [this](const QFont& font) {
        m_display.strFace = font.family().toStdString();
        // Sizes in tenths of a point are truncated; a font given in pixels has no point
        // size, and the old size stays then.
        if (font.pointSizeF() >= 1) {
            m_display.nSize = static_cast<int>(font.pointSizeF());
        }
        RenderSample();
    });
}

void CNewsPage::ChooseColor(int CNewsDisplay::*pnColor) {
    m_fnChooseColor(ColorFromRef(m_display.*pnColor), [this, pnColor](const QColor& color) {
        if (!color.isValid()) {
            return;
        }
        m_display.*pnColor = ColorRefOf(color);
        RenderSample();
    });
}

QString CNewsPage::ReadInterval(int& nMinutes) const {
    long long nValue = 0;
    if (!ParseInterval(m_pInterval->text().toStdString(), nValue)) {
        return STR_NOT_INTEGER;
    }
    if (nValue < MIN_CHECK_MINUTES || nValue > MAX_CHECK_MINUTES) {
        return STR_OUT_OF_RANGE;
    }
    nMinutes = static_cast<int>(nValue);
    return {};
}

QString CNewsPage::IntervalError() const {
    int nMinutes = 0;
    return ReadInterval(nMinutes);
}

bool CNewsPage::Validate() {
    int nMinutes = 0;
    const QString strError = ReadInterval(nMinutes);
    if (strError.isEmpty()) {
        return true;
    }
    OpenMessageBox(this, QMessageBox::Warning, PRODUCT_NAME, strError);
    m_pInterval->setFocus();
    m_pInterval->selectAll();
    return false;
}

bool CNewsPage::OnOK() {
    if (!Validate()) {
        return false;
    }
    m_display.Save(m_strSection);
    const bool bFirewall = m_pFirewall->isChecked();
    const bool bSound = m_pSound->isChecked();
    const bool bNotify = m_pNotify->isChecked();
    int nInterval = 0;
    ReadInterval(nInterval);
    WriteSetting(SETTING_HAS_FIREWALL, bFirewall ? 1 : 0);
    WriteSetting(SETTING_SOUND_ON, bSound ? 1 : 0);
    if (m_pAlertNotification->isEnabled()) {
        WriteSetting(SETTING_ALERT_NOTIFICATION, m_pAlertNotification->isChecked() ? 1 : 0);
    }
    WriteSetting(SETTING_NEWS_NOTIFY, bNotify ? 1 : 0, m_strSection);
    WriteSetting(SETTING_CHECK_TIME, nInterval, m_strSection);
    const bool bAutostart = m_pAutostart->isChecked();
    // Started by the desktop, the program runs where it runs now: its files are here.
    if (bAutostart != IsAutostartOn() &&
        !SetAutostart(bAutostart, QCoreApplication::applicationFilePath().toStdString(),
                      QDir::currentPath().toStdString())) {
        OpenMessageBox(this, QMessageBox::Warning, PRODUCT_NAME,
                       QString::fromStdString("Can't write file " + AutostartFile()));
    }
    return true;
}
