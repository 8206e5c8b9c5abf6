#include "ui/CMainWindow.h"

namespace {

// Only the window thread reads or sets it.
CMainWindow* g_pMainWnd = nullptr;

}  // namespace

CMainWindow* MainWnd() { return g_pMainWnd; }

void SetMainWnd(CMainWindow* pMainWnd) { g_pMainWnd = pMainWnd; }
