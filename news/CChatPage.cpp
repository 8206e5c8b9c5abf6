#include "news/CChatPage.h"

#include "hub/CMainWindow.h"
#include "util/Settings.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

CChatPage::CChatPage(QWidget* pParent) : QWidget(pParent), m_strSection(UserSection()) {
    auto* pPane = new QGroupBox("Chat window", this);
    m_pTimestamps = new QCheckBox("Show the time before each line", pPane);
    m_pTimestamps->setObjectName("timestamps");
    auto* pPaneLayout = new QVBoxLayout(pPane);
    pPaneLayout->addWidget(m_pTimestamps);

    auto* pNotices = new QGroupBox("Notifications", this);
    m_pNotify = new QCheckBox(
        "Notify me when a message names me while its room is in the background", pNotices);
    m_pNotify->setObjectName("notify");
    auto* pNoticesLayout = new QVBoxLayout(pNotices);
    pNoticesLayout->addWidget(m_pNotify);

    auto* pConnection = new QGroupBox("Connection", this);
    m_pReconnect = new QCheckBox("Reconnect when the connection is lost", pConnection);
    m_pReconnect->setObjectName("reconnect");
    m_pTls = new QCheckBox("Use TLS (encrypted) connections", pConnection);
    m_pTls->setObjectName("tls");
    auto* pConnectionLayout = new QVBoxLayout(pConnection);
    pConnectionLayout->addWidget(m_pReconnect);
    pConnectionLayout->addWidget(m_pTls);

    // Groups go one under the other, room left below for more.
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pPane);
    pLayout->addWidget(pNotices);
    pLayout->addWidget(pConnection);
    pLayout->addStretch();

    m_pTimestamps->setChecked(ReadFlag(SETTING_CHAT_TIMESTAMPS, m_strSection));
    m_pNotify->setChecked(ReadFlag(SETTING_CHAT_NOTIFY, m_strSection));
    m_pReconnect->setChecked(ReadFlag(SETTING_IRC_RECONNECT, m_strSection));
    m_pTls->setChecked(ReadFlag(SETTING_IRC_TLS, m_strSection));
}

CChatPage::~CChatPage() = default;

void CChatPage::OnOK() {
    WriteSetting(SETTING_CHAT_TIMESTAMPS, m_pTimestamps->isChecked() ? 1 : 0, m_strSection);
    WriteSetting(SETTING_CHAT_NOTIFY, m_pNotify->isChecked() ? 1 : 0, m_strSection);
    WriteSetting(SETTING_IRC_RECONNECT, m_pReconnect->isChecked() ? 1 : 0, m_strSection);
    WriteSetting(SETTING_IRC_TLS, m_pTls->isChecked() ? 1 : 0, m_strSection);
}
