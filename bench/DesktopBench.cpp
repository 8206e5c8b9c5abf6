// Measures the desktop side of the client's idle work: the tray blink, which sets an icon
// twice a second for as long as news waits unread, and the settings writes of one logical
// change. Each is shown as the earlier way against the current one.
//
//   bench_desktop [toggles=2000]

#include "gui/ResourceIds.h"
#include "gui/Tray.h"
#include "platform/Profile.h"
#include "ui/WindowPlacement.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A tray host draws the icon at its size; 22 pixels is the common one.
constexpr int kTraySize = 22;

double BlinkFromSvg(int nToggles) {
    const auto start = Clock::now();
    for (int i = 0; i < nToggles; ++i) {
        const QIcon icon(i % 2 ? ":/icons/news.svg" : ":/icons/main.svg");
        (void)icon.pixmap(kTraySize, kTraySize);
    }
    return MsSince(start) / nToggles;
}

double BlinkCached(int nToggles) {
    const auto start = Clock::now();
    for (int i = 0; i < nToggles; ++i) {
        TraySet(i % 2 ? IDI_NEWS : IDI_MAIN, "Updating...");
        (void)LoadAppIcon(i % 2 ? IDI_NEWS : IDI_MAIN).pixmap(kTraySize, kTraySize);
    }
    return MsSince(start) / nToggles;
}

double WindowRectWrites(int nTimes, bool bBatch) {
    const auto start = Clock::now();
    for (int i = 0; i < nTimes; ++i) {
        if (bBatch) {
            SaveWindowRect("Prefs-bench", "news_", QRect(i, i, 300, 200));
        } else {
            for (const char* pszName : {"news_x", "news_y", "news_cx", "news_cy"}) {
                WriteProfileInt("Prefs-bench", pszName, i);
            }
        }
    }
    return MsSince(start) / nTimes;
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int nToggles = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    TrayAdd();

    const double dSvg = BlinkFromSvg(nToggles);
    const double dCached = BlinkCached(nToggles);
    std::printf("tray blink, per toggle:       from SVG %.4f ms, cached %.4f ms (%.1fx)\n", dSvg,
                dCached, dSvg / dCached);

    const int nWrites = 50;
    const double dEach = WindowRectWrites(nWrites, false);
    const double dBatch = WindowRectWrites(nWrites, true);
    std::printf("window place save (4 values): one write each %.2f ms, one batch %.2f ms (%.1fx)\n",
                dEach, dBatch, dEach / dBatch);
    TrayRemove();
    return 0;
}
