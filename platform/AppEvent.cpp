#include "platform/AppEvent.h"

#include <QCoreApplication>

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace {

// Handles are never reused, so a stale handle can only miss, never hit another window.
std::mutex g_registryMutex;
std::unordered_map<CWindowHandle, QObject*> g_registry;
CWindowHandle g_nextHandle = 1;
std::atomic<CWindowHandle> g_mainWindow{0};

}  // namespace

CAppEvent::CAppEvent(int nMessage, std::unique_ptr<CEventParam> pWParam,
                     std::unique_ptr<CEventParam> pLParam)
    : QEvent(static_cast<QEvent::Type>(nMessage)),
      m_pWParam(std::move(pWParam)),
      m_pLParam(std::move(pLParam)) {}

CHandleRegistration::CHandleRegistration(QObject* pOwner) {
    std::lock_guard lock(g_registryMutex);
    m_hWnd = g_nextHandle++;
    g_registry.emplace(m_hWnd, pOwner);
}

CHandleRegistration::~CHandleRegistration() {
    std::lock_guard lock(g_registryMutex);
    g_registry.erase(m_hWnd);
}

bool IsWindow(CWindowHandle hWnd) {
    std::lock_guard lock(g_registryMutex);
    return g_registry.count(hWnd) != 0;
}

bool PostAppEvent(CWindowHandle hWnd, int nMessage, std::unique_ptr<CEventParam> pWParam,
                  std::unique_ptr<CEventParam> pLParam) {
    auto pEvent = std::make_unique<CAppEvent>(nMessage, std::move(pWParam), std::move(pLParam));
    // The lock keeps the window from unregistering, and so from being destroyed, between
    // the look-up and the post.
    std::lock_guard lock(g_registryMutex);
    auto it = g_registry.find(hWnd);
    if (it == g_registry.end()) {
        return false;
    }
    QCoreApplication::postEvent(it->second, pEvent.release());
    return true;
}

void SetMainWindowHandle(CWindowHandle hWnd) { g_mainWindow.store(hWnd); }

CWindowHandle MainWindowHandle() { return g_mainWindow.load(); }

bool PostToMainWindow(int nMessage, std::unique_ptr<CEventParam> pWParam,
                      std::unique_ptr<CEventParam> pLParam) {
    return PostAppEvent(MainWindowHandle(), nMessage, std::move(pWParam), std::move(pLParam));
}

void BadAppEventPayload(int nMessage) {
    qFatal("application message %d arrived with a payload of another type", nMessage);
}
