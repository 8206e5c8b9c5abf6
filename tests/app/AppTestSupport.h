#pragma once

// Helpers of the application tests: a stand-in main window that records what workers post,
// and the reference service pointed at by VOCALON_SERVICE_HOST.

#include "platform/AppEvent.h"
#include "tests/support/CServiceProcess.h"
#include "tests/support/TestSupport.h"
#include "util/Strings.h"

#include <QObject>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// One posted message as the receiver saw it.
struct CPosted {
    int nMessage = 0;
    std::string strW, strL;                 // string payloads, when there were any
    std::optional<CStringArray> addresses;  // UM_PEER_LIST's list, when there was one
    bool bCatalogueOnDisk = false;          // whether in_feeds.txt existed on arrival
};

class CRecordingWindow final : public QObject {
public:
    // bMain: register as the process's main window, where the login workers post.
    explicit CRecordingWindow(bool bMain = true);
    ~CRecordingWindow() override;

    CWindowHandle Handle() const { return m_handle.Handle(); }
    std::vector<int> Messages() const;
    bool WaitForMessage(int nMessage);
    const CPosted* Find(int nMessage) const;

    std::vector<CPosted> m_posted;
    std::string m_strCataloguePath;

protected:
    bool event(QEvent* pEvent) override;

private:
    CHandleRegistration m_handle{this};
    bool m_bMain;
};

// The reference service with a temporary database, and VOCALON_SERVICE_HOST pointing at it.
class CLocalService {
public:
    explicit CLocalService(const std::vector<std::string>& arrArgs = {});
    bool Running() const { return m_bStarted; }
    // Registers an account directly over HTTP; true on "0".
    bool Register(const std::string& strUser, const std::string& strPassword,
                  const std::string& strEmail = "someone@example.org");
    CServiceProcess& Process() { return m_process; }

private:
    CServiceProcess m_process;
    bool m_bStarted = false;
    std::unique_ptr<testing_support::CScopedEnv> m_pHostEnv;
};
