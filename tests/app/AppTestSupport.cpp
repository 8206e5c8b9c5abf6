#include "tests/app/AppTestSupport.h"

#include "app/ServiceRequests.h"
#include "util/AppFiles.h"
#include "util/Net.h"

#include <unistd.h>

CRecordingWindow::CRecordingWindow(bool bMain) : m_bMain(bMain) {
    if (m_bMain) {
        SetMainWindowHandle(Handle());
    }
}

CRecordingWindow::~CRecordingWindow() {
    if (m_bMain) {
        SetMainWindowHandle(0);
    }
}

std::vector<int> CRecordingWindow::Messages() const {
    std::vector<int> messages;
    for (const CPosted& posted : m_posted) {
        messages.push_back(posted.nMessage);
    }
    return messages;
}

bool CRecordingWindow::WaitForMessage(int nMessage) {
    return testing_support::WaitFor([&] { return Find(nMessage) != nullptr; });
}

const CPosted* CRecordingWindow::Find(int nMessage) const {
    for (const CPosted& posted : m_posted) {
        if (posted.nMessage == nMessage) {
            return &posted;
        }
    }
    return nullptr;
}

bool CRecordingWindow::event(QEvent* pEvent) {
    auto* pApp = dynamic_cast<CAppEvent*>(pEvent);
    if (!pApp) {
        return QObject::event(pEvent);
    }
    CPosted posted;
    posted.nMessage = pApp->Message();
    if (auto* p = pApp->WParam<std::string>()) {
        posted.strW = *p;
    }
    if (auto* p = pApp->LParam<std::string>()) {
        posted.strL = *p;
    }
    if (posted.nMessage == UM_PEER_LIST) {
        posted.addresses = WParamOf<UM_PEER_LIST>(*pApp);
    }
    posted.bCatalogueOnDisk = ::access(AppDirPath("in_feeds.txt").c_str(), F_OK) == 0;
    m_posted.push_back(std::move(posted));
    return true;
}

CLocalService::CLocalService(const std::vector<std::string>& arrArgs) {
    m_bStarted = m_process.Start(arrArgs);
    if (m_bStarted) {
        m_pHostEnv = std::make_unique<testing_support::CScopedEnv>("VOCALON_SERVICE_HOST",
                                                                   m_process.HostPort());
    }
}

bool CLocalService::Register(const std::string& strUser, const std::string& strPassword,
                             const std::string& strEmail) {
    std::string strBody;
    if (HttpGet(RegisterUrl(strUser, strPassword, strEmail), strBody) != 200) {
        return false;
    }
    return ParseLoginAnswer(strBody).strErrorCode == "0";
}
