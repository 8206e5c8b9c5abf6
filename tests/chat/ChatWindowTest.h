#pragma once

// Base of the chat window tests: one window at a time on an unconnected client (what it
// sends is dropped), deleted with the test.

#include "chat/CChatDlg.h"
#include "chat/CIrcClient.h"

#include <QPointer>

#include <gtest/gtest.h>

#include <string>

class ChatWindowTest : public ::testing::Test {
protected:
    ChatWindowTest() { m_client.SetNick("kim0"); }
    ~ChatWindowTest() override { delete m_pDlg.data(); }

    // Replaces the open window by a new one for #chan showing strUrl, with pHost (none: it
    // only watches).
    CChatDlg& Open(const std::string& strUrl, CChatHost* pHost = nullptr) {
        delete m_pDlg.data();
        m_pDlg = new CChatDlg(&m_client, "#chan", strUrl, pHost);
        m_client.Rooms().AddRoom(m_pDlg);
        m_pDlg->show();
        return *m_pDlg;
    }
    template <typename T>
    T* Child(const char* pszName) const {
        return m_pDlg->findChild<T*>(pszName);
    }

    CIrcClient m_client;
    QPointer<CChatDlg> m_pDlg;
};
