#include "app/CClientApp.h"

#include "app/CLoginDlg.h"
#include "gui/ResourceIds.h"
#include "platform/CInstanceChannel.h"
#include "platform/CInstanceLock.h"
#include "platform/CWorkers.h"
#include "util/Net.h"
#include "util/Settings.h"
#include "util/Version.h"

#include <QDir>
#include <QMessageBox>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace {

// How long a later start waits for the running one to take its request.
constexpr std::chrono::seconds kTellDeadline{2};

// The longest a download may take (a service request's deadline). The stop ends every
// download at once, so the join should never wait that long.
constexpr std::chrono::seconds kWorkerJoinLimit{60};

bool SocketLayerWorks() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return InitHttp();
}

}  // namespace

CClientApp::CClientApp(int& argc, char** argv) : QApplication(argc, argv) {
    NameApplication();
    // The tray keeps the program alive while every window is hidden.
    setQuitOnLastWindowClosed(false);
    // Every window, message boxes included, carries the program's icon.
    setWindowIcon(LoadAppIcon(IDI_MAIN));
}

void CClientApp::NameApplication() {
    QCoreApplication::setApplicationName("vocalon");
    QCoreApplication::setOrganizationName("Talvex");
}

int CClientApp::InitInstance() {
    CInstanceLock lock("vocalon");
    const CInstanceLock::Result lockResult = lock.Acquire();
    if (lockResult == CInstanceLock::Result::HeldElsewhere) {
        // The running copy shows its window; this one still says why it ends.
        CInstanceChannel::TellRunning(lock.ChannelPath(), kTellDeadline);
        QMessageBox::information(nullptr, PRODUCT_NAME,
                                 "You are already running the Vocalon.\nCheck your taskbar.");
        return 0;
    }
    if (!SocketLayerWorks()) {
        QMessageBox::critical(nullptr, PRODUCT_NAME, "Windows sockets initialization failed.");
        return 0;
    }
    WriteSetting(SETTING_APP_DIR, QDir::currentPath().toStdString());

    {
        CLoginDlg dlg;
        CInstanceChannel channel(lock.ChannelPath(), [&dlg] { dlg.ShowMain(); });
        if (lockResult == CInstanceLock::Result::Acquired) {
            channel.Listen();
        }
        dlg.DoModal();
    }
    // Windows that ended themselves while the loop ran are deleted before the process ends.
    sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // No worker may still run, or post through the window registry, while statics are
    // destroyed. What they post now goes nowhere: the windows are gone.
    CWorkers::StopAndJoin(kWorkerJoinLimit);
    return 0;
}
