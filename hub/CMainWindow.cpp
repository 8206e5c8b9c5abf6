#include "hub/CMainWindow.h"

#include "util/SettingsNames.h"

namespace {

// Only the window thread reads or sets it.
CMainWindow* g_pMainWnd = nullptr;

}  // namespace

CMainWindow* MainWnd() { return g_pMainWnd; }

void SetMainWnd(CMainWindow* pMainWnd) { g_pMainWnd = pMainWnd; }

std::string CurrentUser() { return g_pMainWnd ? g_pMainWnd->UserName() : std::string(); }

std::string UserSection() {
    return g_pMainWnd ? g_pMainWnd->Section() : std::string(SECTION_PREFS);
}
